// Internal: the ICU conversions that the Code_* steps are made of.
#pragma once

#include <string>
#include <string_view>

namespace quelpath::detail {

// The character sets the system converts between, by their Windows code page numbers.
enum class Charset { kUtf8 = 65001, kGbk = 936, kBig5 = 950 };

// The charset of a code page number (0, the ANSI code page, is 936); false for any other.
bool Icu_Charset(int codePage, Charset& charset);

// Decodes `bytes` into UTF-16; a malformed or unmapped sequence becomes U+FFFD.
std::u16string Icu_Decode(Charset charset, std::string_view bytes);

// Encodes UTF-16 into `charset`, with the table's best-fit substitutes. Every code point the
// charset cannot hold, an unpaired surrogate included, becomes one "?".
std::string Icu_Encode(Charset charset, std::u16string_view units);

// Replaces each base character followed by a nonspacing mark with their precomposed character
// where one exists (pairwise, as the platform's composite check does; not full NFC). The
// precomposed result may take the next mark in turn.
void Icu_ComposePairs(std::u16string& units);

}  // namespace quelpath::detail
