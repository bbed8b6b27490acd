#include "text/Bool.h"

#include "text/Literal.h"

namespace quelpath {
namespace {
constinit const Literal kTrue{"真"};
constinit const Literal kFalse{"假"};
}  // namespace

Text Bool_ToText(bool value) { return value ? kTrue.text() : kFalse.text(); }

}  // namespace quelpath
