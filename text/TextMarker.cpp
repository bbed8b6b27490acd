// The marker routines: pieces of a text cut out by the texts around them.
#include "text/Literal.h"
#include "text/Text.h"

namespace quelpath {
namespace {
constinit const Literal kQuotePlaceholder{"#引号"};

Text WithQuotes(const Text& marker) {
  return Text_Replace(marker, kQuotePlaceholder, Text("\""), 1, -1, true);
}
}  // namespace

Text Text_Between(const Text& text, const Text& left, const Text& right, int start,
                  bool caseSensitive) {
  const Text l = WithQuotes(left), r = WithQuotes(right);
  const int p = Text_Find(text, l, start, !caseSensitive);
  if (p == -1) return Text();
  const int q = p + Text_Length(l);
  const int e = Text_Find(text, r, q, !caseSensitive);
  if (e == -1) return Text();
  return Text_Mid(text, q, e - q);
}

Text Text_BeforeFirst(const Text& text, const Text& marker, int start, bool ignoreCase) {
  const int p = Text_Find(text, marker, start <= 0 ? 1 : start, ignoreCase);
  return p == -1 ? Text() : Text_Left(text, p - 1);
}

Text Text_AfterLast(const Text& text, const Text& marker, bool ignoreCase) {
  const int p = Text_FindLast(text, marker, ignoreCase);
  if (p == -1) return Text();
  return Text_Right(text, Text_Length(text) - Text_Length(marker) - p + 1);
}

Text Text_ReplaceSeveral(const Text& text, std::initializer_list<TextPair> pairs, int count,
                         int start, bool caseSensitive) {
  Text out = text;
  for (const TextPair& pair : pairs) {
    out = Text_Replace(out, pair.sought, pair.replacement, start == 0 ? 1 : start, count,
                       caseSensitive);
  }
  return out;
}

}  // namespace quelpath
