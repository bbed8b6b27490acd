// The text primitives against slow, obviously correct references that walk byte by byte, and
// against invariants. Input: [operation] [start] [flags] sought \0 text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/Text.h"

namespace {
using namespace quelpath;

void Check(bool ok) {
  if (!ok) std::abort();
}

unsigned char Low(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
std::size_t Step(std::string_view t, std::size_t i) { return static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1; }

bool EqualAt(std::string_view t, std::size_t i, std::string_view s, bool fold) {
  if (i + s.size() > t.size()) return false;
  for (std::size_t j = 0; j < s.size(); ++j) {
    const unsigned char a = t[i + j], b = s[j];
    if (fold ? Low(a) != Low(b) : a != b) return false;
  }
  return true;
}

std::vector<std::size_t> CharStarts(std::string_view t, std::size_t from) {
  std::vector<std::size_t> starts;
  for (std::size_t i = from; i < t.size(); i += Step(t, i)) starts.push_back(i);
  return starts;
}

int SlowFind(std::string_view t, std::string_view s, int start, bool fold) {
  const std::size_t k = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (k >= t.size()) return -1;
  if (s.empty()) return 1;
  for (std::size_t i : CharStarts(t, k)) {
    if (EqualAt(t, i, s, fold)) return static_cast<int>(i + 1);
  }
  return -1;
}

int SlowFindLast(std::string_view t, std::string_view s, bool fold) {
  if (t.empty()) return -1;
  if (s.empty()) return 1;
  int last = -1;
  for (std::size_t i : CharStarts(t, 0)) {
    if (EqualAt(t, i, s, fold)) last = static_cast<int>(i + 1);
  }
  return last;
}

std::string SlowReplace(std::string_view t, std::string_view s, std::string_view r, int start,
                        int count, bool caseSensitive) {
  const std::size_t k = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
  if (t.empty() || s.empty() || k >= t.size() || count == 0) return std::string(t);
  std::string out(t.substr(0, k));
  std::size_t i = k;
  while (i + s.size() <= t.size()) {
    if (EqualAt(t, i, s, !caseSensitive)) {
      out += r;
      i += s.size();
      if (count > 0 && --count == 0) break;
    } else {
      const std::size_t n = std::min(Step(t, i), t.size() - i);
      out += t.substr(i, n);
      i += n;
    }
  }
  out += t.substr(i < t.size() ? i : t.size());
  return out;
}

void CheckSplit(const Text& text, const Text& sep) {
  const TextList members = Text_Split(text, sep);
  if (text.empty()) return Check(members.count() == 0);
  if (sep.empty()) return Check(members.count() == 1 && members.at(1) == text);
  std::string joined;
  for (int k = 1; k <= members.count(); ++k) {
    if (k > 1) joined += sep.str();
    joined += members.at(k).str();
  }
  const std::string& t = text.str();
  const bool endsInSeparator = joined.size() + sep.str().size() == t.size() &&
                               t.compare(joined.size(), std::string::npos, sep.str()) == 0;
  Check(joined == t || endsInSeparator);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int op = data[0] % 5;
  const int start = static_cast<int8_t>(data[1]);
  const bool flag = data[2] & 1;
  const int count = (data[2] >> 1) % 4 - 1;  // -1 (all), 0, 1, 2
  const std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
  const std::size_t nul = rest.find('\0');
  const std::string_view s = rest.substr(0, nul);
  const std::string_view t = nul == std::string_view::npos ? "" : rest.substr(nul + 1);
  const Text text(t), sought(s);  // the text stops at any further NUL
  const std::string_view tv = text.view();

  switch (op) {
    case 0: {
      const int p = Text_Find(text, sought, start, flag);
      Check(p == SlowFind(tv, s, start, flag));
      break;
    }
    case 1:
      Check(Text_FindLast(text, sought, flag) == SlowFindLast(tv, s, flag));
      break;
    case 2: {
      const Text got = Text_Replace(text, sought, Text(), start, count, flag);
      Check(got.str() == SlowReplace(tv, s, "", start, count, flag));
      Check(got.length() <= text.length());
      Check(Text_Replace(text, sought, Text("xy"), start, count, flag).str() ==
            SlowReplace(tv, s, "xy", start, count, flag));
      break;
    }
    case 3:
      CheckSplit(text, sought);
      break;
    case 4: {
      const Text trimmed = Text_Trim(text);
      // A cut lone lead byte leaves the spaces before it, so trimming twice may cut more.
      Check(tv.find(trimmed.view()) != std::string_view::npos);
      Check(Text_Lower(text).length() == text.length());
      const Text between = Text_Between(text, sought, Text("\""), start, flag);
      Check(between.length() <= text.length());
      break;
    }
  }
  return 0;
}
