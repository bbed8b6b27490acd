// Text primitives: ranges, search, replace, split, trim, case, comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Gbk.h"
#include "text/Bool.h"
#include "text/Int.h"
#include "text/Text.h"

namespace quelpath {
namespace {
using test::G;
using test::Hex;
using test::T;

// Two-byte characters whose second byte is an ASCII letter, a quote or a backslash.
const std::string kLeadA = "\x81\x41";      // second byte 'A'
const std::string kLeada = "\x81\x61";      // second byte 'a'
const std::string kLeadQuote = "\x81\x22";  // second byte '"'
const std::string kLeadSlash = "\x95\x5C";  // second byte '\'

TEST(TextTest, ConstructionStopsAtTheFirstZeroByte) {
  EXPECT_EQ(Text(std::string_view("ab\0cd", 5)).view(), "ab");
  EXPECT_EQ(Text(std::string("\0x", 2)).length(), 0);
}

TEST(TextTest, ByteRangesClampTheirArguments) {
  struct Case {
    const char* label;
    Text got;
    const char* want;
  } cases[] = {
      {"left past end", Text_Left(T("abc"), 5), "abc"},
      {"left zero", Text_Left(T("abc"), 0), ""},
      {"left negative", Text_Left(T("abc"), -1), ""},
      {"right two", Text_Right(T("abc"), 2), "bc"},
      {"right past end", Text_Right(T("abc"), 9), "abc"},
      {"right negative", Text_Right(T("abc"), -2), ""},
      {"mid runs past end", Text_Mid(T("abcdef"), 3, 10), "cdef"},
      {"mid from 0", Text_Mid(T("abc"), 0, 2), ""},
      {"mid past end", Text_Mid(T("abc"), 4, 1), ""},
      {"mid zero count", Text_Mid(T("abc"), 2, 0), ""},
      {"remove scheme", Text_RemoveRange(T("http://h/x"), 1, 7), "h/x"},
      {"remove past end", Text_RemoveRange(T("abc"), 2, 10), "a"},
      {"remove at 0", Text_RemoveRange(T("abc"), 0, 1), "bc"},
      {"remove negative count", Text_RemoveRange(T("abc"), 2, -1), "abc"},
      {"remove beyond text", Text_RemoveRange(T("abc"), 9, 1), "abc"},
      {"blank", Text_Blank(3), "   "},
      {"blank negative", Text_Blank(-3), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(c.got.view(), c.want);
  }
}

TEST(TextTest, RangesMaySplitTwoByteCharacters) {
  const Text zhong = G("中");  // D6 D0
  EXPECT_EQ(Text_Left(zhong, 1).view(), "\xD6");
  EXPECT_EQ(Text_Right(zhong, 1).view(), "\xD0");
}

TEST(TextTest, FindTable) {
  struct Case {
    const char* label;
    std::string text, sought;
    int start;
    bool ignoreCase;
    int want;
  } cases[] = {
      {"start 1", "abc", "b", 1, false, 2},
      {"start 0 searches all", "abc", "b", 0, false, 2},
      {"negative start", "abc", "b", -5, false, 2},
      {"position in whole text", "abcabc", "a", 2, false, 4},
      {"start at the match", "abc", "c", 3, false, 3},
      {"start past end", "abc", "c", 4, false, -1},
      {"empty sought", "abc", "", 3, false, 1},
      {"empty sought, empty region", "abc", "", 4, false, -1},
      {"empty sought, empty text", "", "", 1, false, -1},
      {"empty text", "", "a", 1, false, -1},
      {"ignore case", "HREF=", "href=", 1, true, 1},
      {"respect case", "HREF=", "href=", 1, false, -1},
      {"not on a second byte", kLeadA, "A", 1, false, -1},
      {"not on a second byte, folded", kLeada, "A", 1, true, -1},
      {"folding reaches second bytes", kLeadA, kLeada, 1, true, 1},
      {"second bytes differ in case", kLeadA, kLeada, 1, false, -1},
      {"quote inside a character", "x" + kLeadQuote + "\"", "\"", 1, false, 4},
      {"backslash inside a character", kLeadSlash + "\\", "\\", 1, false, 3},
      {"after a run of characters", kLeadA + kLeadA + "A", "A", 1, false, 5},
      {"region starts on a second byte", kLeadA + "A", "A", 2, false, 2},
      {"match runs into a character", "a\x81\x41", "a\x81", 1, false, 1},
      {"lone lead byte at the end", "ab\x81", "\x81", 1, false, 3},
      {"longer than text", "ab", "abc", 1, false, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Text_Find(T(c.text), T(c.sought), c.start, c.ignoreCase), c.want);
  }
}

// An obviously correct oracle: walk the region character by character and compare.
int SlowFind(std::string_view t, std::string_view s, int start, bool fold) {
  const std::size_t offset = start <= 1 ? 0 : start - 1;
  if (offset >= t.size()) return -1;
  if (s.empty()) return 1;
  auto low = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
  for (std::size_t i = offset; i + s.size() <= t.size();
       i += static_cast<unsigned char>(t[i]) >= 0x80 ? 2 : 1) {
    bool equal = true;
    for (std::size_t j = 0; j < s.size() && equal; ++j) {
      unsigned char a = t[i + j], b = s[j];
      equal = fold ? low(a) == low(b) : a == b;
    }
    if (equal) return static_cast<int>(i + 1);
  }
  return -1;
}

TEST(TextTest, FindAgreesWithACharacterWalkOnMixedText) {
  // Small alphabet so that matches, near-matches and runs of lead bytes are frequent.
  const char alphabet[] = {'a', 'A', '"', '\x81', '\xA1', '\x41', ' '};
  unsigned seed = 7;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int round = 0; round < 3000; ++round) {
    std::string t, s;
    const int tl = next() % 24, sl = 1 + next() % 3;
    for (int i = 0; i < tl; ++i) t += alphabet[(next() >> 8) % sizeof alphabet];
    for (int i = 0; i < sl; ++i) s += alphabet[(next() >> 8) % sizeof alphabet];
    const int start = static_cast<int>(next() % 6) - 1;
    const bool fold = next() & 0x100;
    SCOPED_TRACE(Hex(t) + " / " + Hex(s) + " from " + std::to_string(start));
    ASSERT_EQ(Text_Find(T(t), T(s), start, fold), SlowFind(t, s, start, fold));
  }
}

TEST(TextTest, FindLastTakesTheGreatestCharacterStart) {
  EXPECT_EQ(Text_FindLast(T("a-b-c"), T("-")), 4);
  EXPECT_EQ(Text_FindLast(T("aaa"), T("aa")), 2);  // candidates overlap
  EXPECT_EQ(Text_FindLast(T("abc"), T("x")), -1);
  EXPECT_EQ(Text_FindLast(T("abc"), T("")), 1);
  EXPECT_EQ(Text_FindLast(T(""), T("")), -1);
  EXPECT_EQ(Text_FindLast(T("A" + kLeadA), T("A")), 1);
  EXPECT_EQ(Text_FindLast(T("xAxa"), T("XA"), true), 3);
  // A run of lead bytes: only every other byte starts a character.
  EXPECT_EQ(Text_FindLast(T("\x81\x81\x81\x81\x81"), T("\x81\x81")), 3);
}

TEST(TextTest, ReplaceTable) {
  struct Case {
    const char* label;
    std::string text, sought, replacement;
    int start, count;
    bool caseSensitive;
    std::string want;
  } cases[] = {
      {"all", "a&amp;b&amp;c", "amp;", "", 1, -1, true, "a&b&c"},
      {"folded", "a&AMP;b", "amp;", "", 1, -1, false, "a&b"},
      {"case kept", "a&AMP;b", "amp;", "", 1, -1, true, "a&AMP;b"},
      {"count 1", "a&amp;b&amp;c", "amp;", "", 1, 1, true, "a&b&amp;c"},
      {"count 0", "aaa", "a", "b", 1, 0, true, "aaa"},
      {"from 3", "aaaa", "a", "b", 3, -1, true, "aabb"},
      {"no overlap", "aaa", "aa", "b", 1, -1, true, "ba"},
      {"empty sought", "abc", "", "x", 1, -1, true, "abc"},
      {"start past end", "abc", "c", "x", 4, -1, true, "abc"},
      {"negative start", "abc", "a", "x", -3, -1, true, "xbc"},
      {"replacement not rescanned", "aa", "a", "aa", 1, -1, true, "aaaa"},
      {"one pass only", "aamp;mp;", "amp;", "", 1, -1, true, "amp;"},
      {"second byte untouched", kLeadA + "A", "A", "x", 1, -1, true, kLeadA + "x"},
      {"folded second bytes", kLeadA + kLeada, kLeada, "x", 1, -1, false, "xx"},
      {"lone lead byte kept", "a\x81", "a", "b", 1, -1, true, "b\x81"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Text_Replace(T(c.text), T(c.sought), T(c.replacement), c.start, c.count,
                           c.caseSensitive)
                  .str(),
              c.want);
  }
}

TEST(TextTest, ReplaceIgnoresCaseWhenCaseSensitivityIsOmitted) {
  EXPECT_EQ(Text_Replace(T("xAx"), T("a"), T("b")).view(), "xbx");
}

TEST(TextTest, SplitTable) {
  struct Case {
    const char* label;
    std::string text;
    std::vector<std::string> want;
  } cases[] = {
      {"empty", "", {}},
      {"one", "a", {"a"}},
      {"trailing separator", "a\r\n", {"a"}},
      {"leading separator", "\r\na", {"", "a"}},
      {"empty middle", "a\r\n\r\nb", {"a", "", "b"}},
      {"separator alone", "\r\n", {""}},
      {"LF alone is no separator", "a\nb", {"a\nb"}},
      {"CR as a second byte", "\x81\r\na", {"\x81\r\na"}},
      {"spaces kept", " a \r\n b ", {" a ", " b "}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::string> got;
    for (const Text& member : Text_Split(T(c.text), T("\r\n"))) got.push_back(member.str());
    EXPECT_EQ(got, c.want);
  }
  const TextList whole = Text_Split(T("a,b"), T(""));
  ASSERT_EQ(whole.count(), 1);
  EXPECT_EQ(whole.at(1).view(), "a,b");
}

TEST(TextTest, TrimTable) {
  const std::string fw = "\xA1\xA1";  // full-width space
  struct Case {
    const char* label;
    std::string text, want;
  } cases[] = {
      {"spaces", "  ab  ", "ab"},
      {"full-width spaces", fw + "ab" + fw, "ab"},
      {"mixed", " " + fw + " a b " + fw + " ", "a b"},
      {"tab stays", "\tab ", "\tab"},
      {"line break stays", " ab\r\n", "ab\r\n"},
      {"spaces only", "   ", ""},
      {"empty", "", ""},
      // A1 A1 made of a character's second byte and the next lead is not a full-width space.
      {"straddling pair", "a\x81\xA1\xA1", "a\x81\xA1"},
      {"lone lead cut, spaces before it kept", "ab \x81", "ab "},
      {"character then spaces", "\x81\x41  ", "\x81\x41"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Hex(Text_Trim(T(c.text)).str()), Hex(c.want));
  }
}

TEST(TextTest, LowerLeavesSecondBytesAlone) {
  EXPECT_EQ(Text_Lower(T("Set-Cookie: AbC")).view(), "set-cookie: abc");
  EXPECT_EQ(Text_Lower(T("A" + kLeadA + "Z")).str(), "a" + kLeadA + "z");
}

TEST(TextTest, CompareTable) {
  struct Case {
    const char* label;
    std::string a, b;
    bool caseSensitive;
    int sign;
  } cases[] = {
      {"equal", "http://", "http://", true, 0},
      {"folded", "HTTP://", "http://", false, 0},
      {"case kept", "HTTP://", "http://", true, -1},
      {"prefix is smaller", "ab", "abc", true, -1},
      {"longer is larger", "abc", "ab", false, 1},
      {"unsigned bytes", "\x81\x40", "a", true, 1},
      {"second bytes not folded", kLeadA, kLeada, false, -1},
      {"empty", "", "", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const int got = Text_Compare(T(c.a), T(c.b), c.caseSensitive);
    EXPECT_EQ((got > 0) - (got < 0), c.sign);
  }
}

TEST(TextTest, ConcatAndEquals) {
  EXPECT_EQ(Text_Concat(T("a"), T(""), T("bc")).view(), "abc");
  EXPECT_TRUE(Text_Equals(Text(), T("")));
  EXPECT_FALSE(Text_Equals(T("a"), T("A")));
}

TEST(TextTest, ScalarsAsText) {
  EXPECT_EQ(Int_ToText(-5).view(), "-5");
  EXPECT_EQ(Int_ToText(0).view(), "0");
  EXPECT_EQ(Int_ToText(-2147483647 - 1).view(), "-2147483648");
  EXPECT_EQ(Int_BitOr(0x80000000 | 0x10, 0x4000), static_cast<int>(0x80004010));
  EXPECT_EQ(Hex(Bool_ToText(true).str()), "D5 E6");   // 真
  EXPECT_EQ(Hex(Bool_ToText(false).str()), "BC D9");  // 假
}

}  // namespace
}  // namespace quelpath
