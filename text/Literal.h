// A fixed text of the system. Written in the source as ordinary UTF-8 and turned into code page
// 936 once, on first use, so that no literal stands in the code as bare hex bytes.
#pragma once

#include <memory>
#include <mutex>
#include <string_view>

#include "text/Types.h"

namespace quelpath {

class Literal {
 public:
  explicit constexpr Literal(std::string_view utf8) : utf8_(utf8) {}
  Literal(const Literal&) = delete;
  Literal& operator=(const Literal&) = delete;

  const Text& text() const;  // thread-safe
  operator const Text&() const { return text(); }
  std::string_view utf8() const { return utf8_; }

 private:
  std::string_view utf8_;
  mutable std::once_flag once_;
  mutable std::unique_ptr<const Text> text_;  // set once by text()
};

// The UTF-8 text in code page 936; a character the code page lacks becomes "?".
Text Literal_Convert(std::string_view utf8);

}  // namespace quelpath
