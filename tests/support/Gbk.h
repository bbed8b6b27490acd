// Test texts: written in UTF-8 in the test, turned into the code page 936 Text under test.
#pragma once

#include <string>
#include <string_view>

#include "text/Literal.h"

namespace quelpath::test {

inline Text G(std::string_view utf8) { return Literal_Convert(utf8); }
inline Text T(std::string_view bytes) { return Text(bytes); }

// Shows bytes as hex, so a failed comparison of two-byte text reads well.
std::string Hex(std::string_view bytes);

}  // namespace quelpath::test
