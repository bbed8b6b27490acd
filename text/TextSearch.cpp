// Find, FindLast, Replace and Split: everything that walks a text for a sought text.
#include <cstring>
#include <string>

#include "text/CharSearch.h"
#include "text/Text.h"

namespace quelpath {
namespace detail {

CharSearch::CharSearch(std::string_view hay, std::string_view sought, bool ignoreCase)
    : hay_(hay), sought_(sought), ignoreCase_(ignoreCase) {
  if (!ignoreCase_) return;
  const std::size_t m = sought_.size();
  const unsigned char shift = static_cast<unsigned char>(m < 255 ? m : 255);
  skip_.fill(shift);
  for (std::size_t i = 0; i + 1 < m; ++i) {
    const std::size_t s = m - 1 - i;
    skip_[Fold(static_cast<unsigned char>(sought_[i]))] =
        static_cast<unsigned char>(s < shift ? s : shift);
  }
}

std::size_t CharSearch::Candidate(std::size_t from) const {
  const std::size_t m = sought_.size();
  if (from > hay_.size() || hay_.size() - from < m) return std::string_view::npos;
  if (!ignoreCase_) {
    const void* hit = memmem(hay_.data() + from, hay_.size() - from, sought_.data(), m);
    return hit ? static_cast<const char*>(hit) - hay_.data() : std::string_view::npos;
  }
  const auto* h = reinterpret_cast<const unsigned char*>(hay_.data());
  const auto* s = reinterpret_cast<const unsigned char*>(sought_.data());
  for (std::size_t j = from; j + m <= hay_.size();) {
    std::size_t i = m;
    while (i > 0 && Fold(h[j + i - 1]) == Fold(s[i - 1])) --i;
    if (i == 0) return j;
    j += skip_[Fold(h[j + m - 1])];
  }
  return std::string_view::npos;
}

bool CharSearch::IsCharStart(std::size_t p) {
  std::size_t run = p;  // start of the run of lead-range bytes that ends at p
  while (run > walk_ && IsLead(static_cast<unsigned char>(hay_[run - 1]))) --run;
  const bool start = (p - run) % 2 == 0;
  walk_ = start ? p : p + 1;
  return start;
}

std::size_t CharSearch::Next(std::size_t from) {
  walk_ = from;
  for (std::size_t p = Candidate(from); p != std::string_view::npos; p = Candidate(walk_)) {
    if (IsCharStart(p)) return p;
  }
  return std::string_view::npos;
}

}  // namespace detail

namespace {
constexpr auto npos = std::string_view::npos;
}  // namespace

int Text_Find(const Text& text, const Text& sought, int start, bool ignoreCase) {
  const std::string_view t = text.view();
  const std::size_t offset = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (offset >= t.size()) return -1;
  if (sought.empty()) return 1;
  detail::CharSearch search(t.substr(offset), sought.view(), ignoreCase);
  const std::size_t p = search.Next(0);
  return p == npos ? -1 : static_cast<int>(offset + p + 1);
}

int Text_FindLast(const Text& text, const Text& sought, bool ignoreCase) {
  const std::string_view t = text.view();
  if (t.empty()) return -1;
  if (sought.empty()) return 1;
  detail::CharSearch search(t, sought.view(), ignoreCase);
  std::size_t last = npos;
  for (std::size_t p = search.Next(0); p != npos; p = search.Next(p + detail::CharLength(t, p))) {
    last = p;
  }
  return last == npos ? -1 : static_cast<int>(last + 1);
}

Text Text_Replace(const Text& text, const Text& sought, const Text& replacement, int start,
                  int count, bool caseSensitive) {
  const std::string_view t = text.view();
  const std::size_t k = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (t.empty() || sought.empty() || k >= t.size() || count == 0) return text;
  detail::CharSearch search(t, sought.view(), !caseSensitive);
  std::string out(t.substr(0, k));
  std::size_t from = k;
  for (std::size_t p = search.Next(from); p != npos; p = search.Next(from)) {
    out.append(t.substr(from, p - from)).append(replacement.view());
    from = p + sought.view().size();
    if (count > 0 && --count == 0) break;
  }
  out.append(t.substr(from));
  return Text(std::move(out));
}

TextList Text_Split(const Text& text, const Text& separator) {
  TextList members;
  const std::string_view t = text.view();
  if (t.empty()) return members;
  if (separator.empty()) {
    members.append(text);
    return members;
  }
  detail::CharSearch search(t, separator.view(), false);
  std::size_t begin = 0;
  for (std::size_t p = search.Next(begin); p != npos; p = search.Next(begin)) {
    members.append(Text(t.substr(begin, p - begin)));
    begin = p + separator.view().size();
  }
  if (begin < t.size()) members.append(Text(t.substr(begin)));
  return members;
}

}  // namespace quelpath
