#pragma once

#include "text/Types.h"

namespace quelpath {

Text Int_ToText(int value);  // signed decimal, no grouping, no leading zeros
int Int_BitOr(int a, int b);

}  // namespace quelpath
