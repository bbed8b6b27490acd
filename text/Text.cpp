// Byte ranges, building, comparison, case and trimming.
#include "text/Text.h"

#include <algorithm>
#include <string>

#include "text/Bytes.h"
#include "text/CharSearch.h"

namespace quelpath {
namespace {
using detail::Fold;
using detail::IsLead;

std::string_view Prefix(std::string_view s, int count) {
  return count <= 0 ? std::string_view() : s.substr(0, static_cast<std::size_t>(count));
}
}  // namespace

Text::Text(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))) {}

Text::Text(std::string&& bytes) : bytes_(std::move(bytes)) {
  const std::size_t nul = bytes_.find('\0');
  if (nul != std::string::npos) bytes_.resize(nul);
}

int Text_Length(const Text& text) { return text.length(); }

Text Text_Left(const Text& text, int count) { return Text(Prefix(text.view(), count)); }

Text Text_Right(const Text& text, int count) {
  if (count <= 0) return Text();
  const std::string_view t = text.view();
  const std::size_t n = std::min(static_cast<std::size_t>(count), t.size());
  return Text(t.substr(t.size() - n));
}

Text Text_Mid(const Text& text, int position, int count) {
  if (position < 1 || position > text.length() || count <= 0) return Text();
  return Text(text.view().substr(static_cast<std::size_t>(position) - 1,
                                 static_cast<std::size_t>(count)));
}

Text Text_RemoveRange(const Text& text, int position, int count) {
  const std::string_view t = text.view();
  const int k = std::clamp(position - 1, 0, text.length());
  const int n = std::min(std::max(count, 0), text.length() - k);
  std::string out(t.substr(0, static_cast<std::size_t>(k)));
  out.append(t.substr(static_cast<std::size_t>(k + n)));
  return Text(std::move(out));
}

Text Text_ConcatList(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view p : parts) total += p.size();
  std::string out;
  out.reserve(total);
  for (std::string_view p : parts) out.append(p);
  return Text(std::move(out));
}

Text Text_Blank(int count) { return Text(std::string(count > 0 ? count : 0, ' ')); }

bool Text_Equals(const Text& a, const Text& b) { return a.view() == b.view(); }

int Text_Compare(const Text& a, const Text& b, bool caseSensitive) {
  const std::string_view x = a.view(), y = b.view();
  const std::size_t n = std::min(x.size(), y.size());
  bool secondByte = false;
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char cx = static_cast<unsigned char>(x[i]), cy = static_cast<unsigned char>(y[i]);
    if (!caseSensitive && !secondByte) cx = Fold(cx), cy = Fold(cy);
    if (cx != cy) return cx < cy ? -1 : 1;
    secondByte = !secondByte && IsLead(cx);
  }
  if (x.size() == y.size()) return 0;
  return x.size() < y.size() ? -1 : 1;
}

Text Text_Lower(const Text& text) {
  std::string out(text.view());
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (IsLead(c)) {
      ++i;  // the second byte stays as it is
    } else {
      out[i] = static_cast<char>(Fold(c));
    }
  }
  return Text(std::move(out));
}

Text Text_Trim(const Text& text) {
  const std::string_view t = text.view();
  auto fullWidthSpaceAt = [&](std::size_t i) {
    return i + 1 < t.size() && static_cast<unsigned char>(t[i]) == 0xA1 &&
           static_cast<unsigned char>(t[i + 1]) == 0xA1;
  };
  std::size_t begin = 0;
  while (begin < t.size()) {
    if (t[begin] == ' ') {
      begin += 1;
    } else if (fullWidthSpaceAt(begin)) {
      begin += 2;
    } else {
      break;
    }
  }
  std::size_t end = t.size(), run = std::string_view::npos;
  for (std::size_t i = begin; i < t.size();) {
    const bool lead = IsLead(static_cast<unsigned char>(t[i]));
    if (lead && i + 1 == t.size()) {  // a lone lead byte ends the text: cut it alone
      return Text(t.substr(begin, i - begin));
    }
    const bool blank = t[i] == ' ' || fullWidthSpaceAt(i);
    if (!blank) {
      run = std::string_view::npos;
    } else if (run == std::string_view::npos) {
      run = i;
    }
    i += lead ? 2 : 1;
  }
  if (run != std::string_view::npos) end = run;
  return Text(t.substr(begin, end - begin));
}

Bytes Text_ToBytes(const Text& text) { return Bytes(text.view()); }

}  // namespace quelpath
