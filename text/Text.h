// The operations on Text.
//
// Positions are 1-based byte positions; searches return -1 when nothing is found. Character-aware
// operations walk by one rule: a byte of 0x80 or more starts a two-byte character together with
// the byte after it, any other byte is a character of its own. Ignoring letter case folds ASCII
// letters only, on every byte of a compared stretch (second bytes of two-byte characters too).
#pragma once

#include <initializer_list>
#include <string_view>

#include "text/Types.h"

namespace quelpath {

// Byte ranges: counted in bytes, never character-aware; out-of-range counts are clamped.
int Text_Length(const Text& text);
Text Text_Left(const Text& text, int count);
Text Text_Right(const Text& text, int count);
// Empty when position < 1, position > length or count <= 0.
Text Text_Mid(const Text& text, int position, int count);
// The text without `count` bytes at `position` (position clamped to 1..length+1).
Text Text_RemoveRange(const Text& text, int position, int count);

// Building.
Text Text_ConcatList(std::initializer_list<std::string_view> parts);
template <class... T>
Text Text_Concat(const T&... texts) {
  return Text_ConcatList({static_cast<const Text&>(texts).view()...});
}
Text Text_Blank(int count);  // `count` spaces; empty when count <= 0

// Comparison.
bool Text_Equals(const Text& a, const Text& b);
// 0 when equal; otherwise the sign of the first differing byte (unsigned), a proper prefix being
// the smaller. Without caseSensitive, one-byte letters compare as lower case.
int Text_Compare(const Text& a, const Text& b, bool caseSensitive);

// Searching. A start of 1 or less searches the whole text; a start past the end finds nothing.
// An empty sought text is found at 1 whenever the searched region holds a byte. Matches begin
// only at character starts of a walk that begins at the region's first byte.
int Text_Find(const Text& text, const Text& sought, int start = 1, bool ignoreCase = false);
// The greatest matching character start of the whole text; occurrences may overlap.
int Text_FindLast(const Text& text, const Text& sought, bool ignoreCase = false);

// Replaces occurrences of `sought` from `start` on, left to right, never re-examining inserted
// text. count < 0 replaces every occurrence, count 0 none. Unchanged when nothing matches.
Text Text_Replace(const Text& text, const Text& sought, const Text& replacement = Text(),
                  int start = 1, int count = -1, bool caseSensitive = false);

// Splits at every `separator` (letter case matters). No member for an empty text; an empty
// member between two separators and before a leading one; none after a trailing one.
TextList Text_Split(const Text& text, const Text& separator);

Bytes Text_ToBytes(const Text& text);  // the text's bytes, no terminator

Text Text_Lower(const Text& text);  // one-byte ASCII letters only
// Drops spaces and full-width spaces (A1 A1) at both ends, and a lone lead byte at the very end.
Text Text_Trim(const Text& text);

// Marker routines: the empty text whenever a marker is missing.
// The text between the first `left` found from `start` and the first `right` after it. "#引号"
// in either marker stands for a double quote.
Text Text_Between(const Text& text, const Text& left, const Text& right, int start = 1,
                  bool caseSensitive = false);
// The bytes before the first occurrence of `marker` found from `start`.
Text Text_BeforeFirst(const Text& text, const Text& marker, int start = 1, bool ignoreCase = false);
// The bytes after the last occurrence of `marker`.
Text Text_AfterLast(const Text& text, const Text& marker, bool ignoreCase = false);
// Applies the pairs one after another with the same count, start and case choice.
Text Text_ReplaceSeveral(const Text& text, std::initializer_list<TextPair> pairs, int count = -1,
                         int start = 1, bool caseSensitive = false);

}  // namespace quelpath
