// Internal: the search that every character-aware operation of Text shares.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace quelpath::detail {

constexpr unsigned char Fold(unsigned char c) { return static_cast<unsigned>(c - 'A') < 26u ? c + 32 : c; }
constexpr bool IsLead(unsigned char c) { return c >= 0x80; }

// Bytes of the character that starts at `p` (2 for a lead byte, cut at the end of `s`).
inline std::size_t CharLength(std::string_view s, std::size_t p) {
  return IsLead(static_cast<unsigned char>(s[p])) && p + 1 < s.size() ? 2 : 1;
}

// Finds `sought` (non-empty) in `hay` at character starts only. Candidates come from a fast
// byte search; whether one is a character start is decided from the nearest byte below 0x80
// before it, which is never further back than the previous call's position, so a whole scan
// stays linear.
class CharSearch {
 public:
  CharSearch(std::string_view hay, std::string_view sought, bool ignoreCase);
  // The first match at or after `from`, where `from` is taken as a character start; npos if
  // none.
  std::size_t Next(std::size_t from);

 private:
  std::size_t Candidate(std::size_t from) const;
  bool IsCharStart(std::size_t p);

  std::string_view hay_;
  std::string_view sought_;
  bool ignoreCase_;
  std::array<unsigned char, 256> skip_{};  // Horspool shifts over folded bytes
  std::size_t walk_ = 0;                   // a known character start, never past a candidate
};

}  // namespace quelpath::detail
