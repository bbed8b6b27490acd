// Marker routines: what is cut out, and the empty text whenever a marker is missing.
#include <gtest/gtest.h>

#include "tests/support/Gbk.h"
#include "text/Text.h"

namespace quelpath {
namespace {
using test::G;
using test::T;

TEST(MarkerTest, BetweenTable) {
  const Text href = T("href=\""), quote = T("\"");
  struct Case {
    const char* label;
    Text got;
    const char* want;
  } cases[] = {
      {"plain", Text_Between(T("x href=\"abc\" y"), href, quote), "abc"},
      {"case ignored by default", Text_Between(T("x HREF=\"abc\""), href, quote), "abc"},
      {"case respected", Text_Between(T("x HREF=\"abc\""), href, quote, 1, true), ""},
      {"empty value", Text_Between(T("href=\"\""), href, quote), ""},
      {"no left marker", Text_Between(T("abc\""), href, quote), ""},
      {"no right marker", Text_Between(T("href=\"abc"), href, quote), ""},
      {"first left marker only", Text_Between(T("href=\"a"), T("href"), T("b")), ""},
      {"quote placeholder", Text_Between(T("x href=\"abc\""), G("href=#引号"), G("#引号")), "abc"},
      {"right marker after the left", Text_Between(T("a=b=c"), T("="), T("=")), "b"},
      {"start past the first", Text_Between(T("<a><b>"), T("<"), T(">"), 2), "b"},
      {"start past end", Text_Between(T("<a>"), T("<"), T(">"), 9), ""},
      {"user agent", Text_Between(T("User-Agent: abc\r\nX"), T("User-Agent:"), T("\r\n")), " abc"},
      {"user agent unterminated", Text_Between(T("User-Agent: abc"), T("User-Agent:"), T("\r\n")),
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.got.view(), c.want);
  }
}

TEST(MarkerTest, BetweenNeverMatchesASecondByte) {
  // 0x81 0x22: a two-byte character whose second byte is a quote; the real quote follows it.
  EXPECT_EQ(Text_Between(T("href=\"a\x81\"b\""), T("href=\""), T("\"")).view(), "a\x81\"b");
}

TEST(MarkerTest, BeforeFirstAndAfterLastTable) {
  struct Case {
    const char* label;
    Text got;
    const char* want;
  } cases[] = {
      {"before", Text_BeforeFirst(T("a=1; path=/"), T(";")), "a=1"},
      {"marker first", Text_BeforeFirst(T(";a"), T(";")), ""},
      {"no marker: empty, not all", Text_BeforeFirst(T("a=1"), T(";")), ""},
      {"start past end", Text_BeforeFirst(T("a;b"), T(";"), 9), ""},
      {"start 0", Text_BeforeFirst(T("a;b"), T(";"), 0), "a"},
      {"negative start", Text_BeforeFirst(T("a;b"), T(";"), -4), "a"},
      {"start beyond the first", Text_BeforeFirst(T("a;b;c"), T(";"), 3), "a;b"},
      {"case respected by default", Text_BeforeFirst(T("aXbx"), T("x")), "aXb"},
      {"case ignored", Text_BeforeFirst(T("aXbx"), T("x"), 1, true), "a"},
      {"after last", Text_AfterLast(T("AxBxC"), T("x")), "C"},
      {"marker at end", Text_AfterLast(T("AxBx"), T("x")), ""},
      {"no marker", Text_AfterLast(T("ABC"), T("x")), ""},
      {"multi-byte marker", Text_AfterLast(T("a--b--c"), T("--")), "c"},
      {"ignore case", Text_AfterLast(T("aXbxc"), T("X"), true), "c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.got.view(), c.want);
  }
}

TEST(MarkerTest, AfterLastUsesTheSecondOccurrenceOfTheSaveMarker) {
  const Text marker = G("转存到我的百度云");
  const Text page = Text_Concat(T("one"), marker, T("two"), marker, T("three"));
  EXPECT_EQ(Text_AfterLast(page, marker).view(), "three");
}

TEST(MarkerTest, ReplaceSeveralTable) {
  struct Case {
    const char* label;
    Text got;
    const char* want;
  } cases[] = {
      {"case ignored by default", Text_ReplaceSeveral(T("a&amp;b&AMP;c"), {{T("amp;"), T("")}}),
       "a&b&c"},
      {"count 1", Text_ReplaceSeveral(T("a&amp;b&amp;c"), {{T("amp;"), T("")}}, 1), "a&b&amp;c"},
      {"pairs in order", Text_ReplaceSeveral(T("ab"), {{T("a"), T("b")}, {T("b"), T("c")}}), "cc"},
      {"count per pair",
       Text_ReplaceSeveral(T("aabb"), {{T("a"), T("x")}, {T("b"), T("y")}}, 1), "xayb"},
      {"empty pairs change nothing", Text_ReplaceSeveral(T("abc"), {{T(""), T("x")}, {}}), "abc"},
      {"start 0 is 1", Text_ReplaceSeveral(T("aa"), {{T("a"), T("b")}}, -1, 0), "bb"},
      {"case respected", Text_ReplaceSeveral(T("aA"), {{T("a"), T("b")}}, -1, 1, true), "bA"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.got.view(), c.want);
  }
}

}  // namespace
}  // namespace quelpath
