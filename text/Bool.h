#pragma once

#include "text/Types.h"

namespace quelpath {

Text Bool_ToText(bool value);  // "真" or "假"

}  // namespace quelpath
