#include "text/Int.h"

#include <string>

namespace quelpath {

Text Int_ToText(int value) { return Text(std::to_string(value)); }

int Int_BitOr(int a, int b) { return a | b; }

}  // namespace quelpath
