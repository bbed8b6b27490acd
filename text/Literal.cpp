#include "text/Literal.h"

#include "text/Code.h"

namespace quelpath {

const Text& Literal::text() const {
  std::call_once(once_, [this] { text_ = std::make_unique<const Text>(Literal_Convert(utf8_)); });
  return *text_;
}

// The table, best fit and "?" of the page conversions, so a literal matches the text it marks.
Text Literal_Convert(std::string_view utf8) { return Code_Utf8ToGbk(Text(utf8)); }

}  // namespace quelpath
