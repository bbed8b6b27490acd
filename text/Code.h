// Code-page conversion into code page 936 (GBK), through UTF-16. A wide buffer is Bytes of
// little-endian UTF-16 code units. A character that code page 936 lacks becomes "?".
#pragma once

#include "text/Types.h"

namespace quelpath {

Text Code_Utf8BytesToLocal(const Bytes& utf8);     // composes base + combining mark
Text Code_Utf8ToGbk(const Text& utf8);             // no composition
Text Code_Big5ToGbkSimplified(const Text& big5);  // traditional characters made simplified

// The steps the routines are made of.
Bytes Code_Utf8BytesToWide(const Bytes& utf8);
Text Code_WideBytesToLocal(const Bytes& wide);
Bytes Code_TextToWide(const Text& text, int codePage = 65001);  // NUL-terminated
Text Code_WideToText(const Bytes& wide, int codePage = 0);      // 0: the ANSI code page, 936
Text Code_Big5ToGbk(const Text& big5);
Text Code_ToSimplified(const Text& text);

}  // namespace quelpath
