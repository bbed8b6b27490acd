// Code-page conversion into code page 936 (GBK), through UTF-16. A wide buffer is Bytes of
// little-endian UTF-16 code units. Encoding uses the tables' best-fit substitutes; a character
// that the target still lacks becomes "?", and malformed source bytes decode to U+FFFD, which
// becomes "?" too. Code pages: 65001 (UTF-8), 936, 950, and 0 for 936; any other converts
// nothing.
#pragma once

#include "text/Types.h"

namespace quelpath {

Text Code_Utf8BytesToLocal(const Bytes& utf8);    // composes base + combining mark
Text Code_Utf8ToGbk(const Text& utf8);            // no composition
Text Code_Big5ToGbkSimplified(const Text& big5);  // traditional characters made simplified
// The way out, for front ends that speak UTF-8: a code page 936 Text as UTF-8 bytes.
Bytes Code_LocalToUtf8(const Text& local);

// The steps the routines are made of.
Bytes Code_Utf8BytesToWide(const Bytes& utf8);
Text Code_WideBytesToLocal(const Bytes& wide);
Bytes Code_TextToWide(const Text& text, int codePage = 65001);  // NUL-terminated
Text Code_WideToText(const Bytes& wide, int codePage = 0);      // 0: the ANSI code page, 936
Text Code_Big5ToGbk(const Text& big5);
// Each traditional character whose simplified form is another double-byte character of code page
// 936 becomes that form; every other byte stays, so the length is the same.
Text Code_ToSimplified(const Text& text);

}  // namespace quelpath
