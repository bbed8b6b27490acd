#include "text/Literal.h"

#include <unicode/ucnv.h>

#include <string>

namespace quelpath {

const Text& Literal::text() const {
  std::call_once(once_, [this] { text_ = std::make_unique<const Text>(Literal_Convert(utf8_)); });
  return *text_;
}

Text Literal_Convert(std::string_view utf8) {
  if (utf8.empty()) return Text();
  std::string out(utf8.size() * 2 + 2, '\0');
  UErrorCode err = U_ZERO_ERROR;
  const int32_t n = ucnv_convert("windows-936-2000", "UTF-8", out.data(),
                                 static_cast<int32_t>(out.size()), utf8.data(),
                                 static_cast<int32_t>(utf8.size()), &err);
  if (U_FAILURE(err)) return Text();
  out.resize(static_cast<std::size_t>(n));
  return Text(std::move(out));
}

}  // namespace quelpath
