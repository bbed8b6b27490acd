#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Gbk.h"
#include "text/Code.h"

namespace quelpath {
namespace {

using namespace std::literals;
using test::G;
using test::Hex;

Bytes B(std::string_view bytes) { return Bytes(bytes); }

std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | c >> 18);
    s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

// glibc's conversion of `in`; nothing when it refuses some of it.
std::optional<std::string> Iconv(iconv_t cd, std::string in) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char out[16];
  char* src = in.data();
  std::size_t srcLeft = in.size();
  char* dst = out;
  std::size_t dstLeft = sizeof out;
  if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return {};
  return std::string(out, static_cast<std::size_t>(dst - out));
}

struct Case {
  const char* label;
  std::string in;
  std::string out;
};

void ExpectCases(const std::vector<Case>& cases, Text (*routine)(const std::string&)) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Hex(routine(c.in).view()), Hex(c.out));
  }
}

Text FromUtf8Bytes(const std::string& in) { return Code_Utf8BytesToLocal(Bytes(in)); }
Text FromUtf8Text(const std::string& in) { return Code_Utf8ToGbk(Text(in)); }
Text FromBig5(const std::string& in) { return Code_Big5ToGbkSimplified(Text(in)); }

const std::string kAscii = [] {
  std::string s;
  for (int c = 1; c < 0x80; ++c) s += static_cast<char>(c);
  return s;
}();

TEST(CodeRoutines, ByteExamples) {
  ExpectCases({{"empty", "", ""},
               {"中文", "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
               {"ends at NUL", "abc\0def"s, "abc"},
               {"e + U+0301 composed to é", "e\xCC\x81", "\xA8\xA6"},
               {"ASCII", kAscii, kAscii}},
              FromUtf8Bytes);
  ExpectCases({{"empty", "", ""},
               {"中文", "\xE4\xB8\xAD\xE6\x96\x87", "\xD6\xD0\xCE\xC4"},
               {"e + U+0301 one by one: the mark is not in 936", "e\xCC\x81", "e?"},
               {"ASCII", kAscii, kAscii}},
              FromUtf8Text);
  ExpectCases({{"empty", "", ""},
               {"國 to 国", "\xB0\xEA", "\xB9\xFA"},
               // 國‧家: U+2027 has no form in 936, not even a best fit; the rest stays.
               {"unrepresentable", "\xB0\xEA\xA1\x45\xAE\x61", G("国?家").str()},
               {"ASCII", kAscii, kAscii}},
              FromBig5);
}

TEST(CodeRoutines, UnrepresentableAndMalformedBecomeQuestionMarks) {
  ExpectCases({{"stray byte",
                "a\xFF"
                "b",
                "a?b"},
               {"truncated at the end", "a\xE4\xB8", "a?"},
               {"truncated before ASCII",
                "\xE4\xB8"
                "a",
                "?a"},
               {"truncated before NUL", "\xE4\xB8\0b"s, "?"},
               {"overlong NUL", "\xC0\x80", "??"},
               {"encoded surrogate", "\xED\xA0\x80", "???"},
               {"outside the BMP",
                "\xF0\x9F\x98\x80"
                "a",
                "?a"},
               // ICU's own substitution would drop these default-ignorable characters.
               {"U+200B",
                "a\xE2\x80\x8B"
                "b",
                "a?b"},
               {"U+FEFF",
                "\xEF\xBB\xBF"
                "a",
                "?a"}},
              FromUtf8Bytes);
  // The same text decoded from Big5: a byte pair outside the table, and a lone lead byte.
  ExpectCases({{"stray bytes",
                "a\xA1\x30"
                "b",
                "a?0b"},
               {"lone lead", "a\xA4", "a?"}},
              FromBig5);
}

TEST(CodeRoutines, CompositionTakesAdjacentPairsOnly) {
  ExpectCases({{"ü + U+0301 to ǘ, in turn", "u\xCC\x88\xCC\x81", G("ǘ").str()},
               {"mark without a base",
                "\xCC\x81"
                "e",
                "?e"},
               {"no precomposed form", "\xE4\xB8\xAD\xCC\x81", G("中").str() + "?"},
               {"mark after a NUL", "e\0\xCC\x81"s, "e"},
               {"composed mid-text", "ae\u0301中b", G("aé中b").str()},
               // Full NFC would turn U+FA0C into U+5140 兀 and change the bytes.
               {"compatibility ideograph kept", "\xEF\xA8\x8C", FromUtf8Text("\xEF\xA8\x8C").str()},
               {"angstrom sign kept", "\xE2\x84\xAB", FromUtf8Text("\xE2\x84\xAB").str()}},
              FromUtf8Bytes);
  EXPECT_NE(FromUtf8Bytes("\xEF\xA8\x8C"), G("兀"));
}

// Builds a little-endian wide buffer from UTF-16 code units.
Bytes Wide(std::u16string_view units) {
  std::string s;
  for (char16_t u : units) {
    s += static_cast<char>(u & 0xFF);
    s += static_cast<char>(u >> 8);
  }
  return Bytes(std::move(s));
}

TEST(CodeSteps, LengthsTerminatorsAndNuls) {
  // Decoding with a length converts NULs and adds no terminator; decoding a Text adds one.
  EXPECT_EQ(Code_Utf8BytesToWide(B("a\0b"s)), Wide(u"a\0b"sv));
  EXPECT_EQ(Code_Utf8BytesToWide(Bytes()), Bytes());
  EXPECT_EQ(Code_TextToWide(Text("ab")), Wide(u"ab\0"sv));
  EXPECT_EQ(Code_TextToWide(Text()), Wide(u"\0"sv));
  EXPECT_EQ(Code_TextToWide(G("中文"), 936), Wide(u"中文\0"sv));
  EXPECT_EQ(Code_TextToWide(Text("\xB0\xEA"), 950), Wide(u"國\0"sv));

  // Encoding reads up to the first NUL unit, or the whole buffer, and ignores an odd byte.
  EXPECT_EQ(Code_WideBytesToLocal(Wide(u"中\0文"sv)), G("中"));
  EXPECT_EQ(Code_WideBytesToLocal(Bytes(Wide(u"ab").str() + "c")), Text("ab"));
  EXPECT_EQ(Code_WideToText(Wide(u"中\0文"sv)), G("中"));
  EXPECT_EQ(Code_WideToText(Wide(u"中文")), G("中文"));
  EXPECT_EQ(Code_WideToText(Wide(u"國"), 950), Text("\xB0\xEA"));
  EXPECT_EQ(Code_WideToText(Wide(u"中文"), 65001), Text("\xE4\xB8\xAD\xE6\x96\x87"));
  // An unpaired surrogate is one character the code page lacks.
  EXPECT_EQ(Code_WideToText(Wide(u"a\xD800"
                                 u"b")),
            Text("a?b"));
  EXPECT_EQ(Code_WideBytesToLocal(Wide(u"a\xDC00")), Text("a?"));

  // The buffer holds twice what 936 needs: "€€€" is 3 bytes there, 9 in UTF-8, so two fit.
  EXPECT_EQ(Code_WideToText(Wide(u"€€€"), 65001), Text("\xE2\x82\xAC\xE2\x82\xAC"));

  // A code page without a table converts nothing.
  EXPECT_EQ(Code_TextToWide(Text("ab"), 1252), Bytes());
  EXPECT_EQ(Code_WideToText(Wide(u"ab"), 1252), Text());
}

TEST(CodeSteps, SimplifiedKeepsEveryCharacterInPlace) {
  const std::vector<Case> cases = {
      {"traditional", G("歷史與發展ABC").str(), G("历史与发展ABC").str()},
      {"already simplified", G("国家").str(), G("国家").str()},
      // Hant-Hans turns the phrase 甚麼 into 什么; character by character it is 甚么.
      {"no phrase rules", G("甚麼").str(), G("甚么").str()},
      // 儸's simplified form U+3469 is not in 936, so 儸 stays.
      {"simplified form missing", G("儸").str(), G("儸").str()},
      {"lead byte at the end", G("國").str() + "\x81", G("国").str() + "\x81"},
      {"lead byte before ASCII",
       "\x81"
       "0" +
           G("國").str(),
       "\x81"
       "0" +
           G("国").str()},
      {"ASCII", kAscii, kAscii}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const Text out = Code_ToSimplified(Text(c.in));
    EXPECT_EQ(Hex(out.view()), Hex(c.out));
  }
  EXPECT_EQ(Code_ToSimplified(Text()), Text());
}

// Each routine takes shortcuts past its steps (no wide buffer, no conversion after a NUL); on
// any input it must give what its steps give.
TEST(CodeRoutines, EqualTheirSteps) {
  const std::string pieces[] = {"a",      "\r\n",     "\0"s,      "中",   "國",    "e",
                                "\u0301", "\u0308",   "\xE4\xB8", "\xFF", "\xCC",  "\xED\xA0\x80",
                                "😀",      "\xB0\xEA", "\xA1\x45", "\x81", "\u200B"};
  std::mt19937 random(3);
  for (int i = 0; i < 3000; ++i) {
    std::string in;
    for (int k = random() % 8; k > 0; --k) in += pieces[random() % std::size(pieces)];
    SCOPED_TRACE(Hex(in));
    const Bytes bytes(in);
    EXPECT_EQ(Code_Utf8BytesToLocal(bytes), Code_WideBytesToLocal(Code_Utf8BytesToWide(bytes)));
    const Text text(in);
    EXPECT_EQ(Code_Utf8ToGbk(text), Code_WideToText(Code_TextToWide(text), 936));
    EXPECT_EQ(Code_Big5ToGbkSimplified(text), Code_ToSimplified(Code_Big5ToGbk(text)));
  }
}

// The code page 936 table against glibc's, over every scalar value of the BMP except NUL,
// which a Text cannot hold. Where they differ, it is one of three known classes:
//  - U+E000..U+E864: private use. The Windows table maps GBK's user-defined areas (AAA1..AFFE,
//    F8A1..FEFE, A140..A7A0) and a few more to these; glibc maps none of them.
//  - U+F8F5: the single byte FF in the Windows table.
//  - Best fit: the Windows table's one-way substitutes (U+00B2 to "2", U+00E2 to "a", U+F900..
//    compatibility ideographs to their unified forms...), 417 of them; glibc refuses them.
//    Each must decode, through glibc, to some other character.
// Any other difference fails the test.
TEST(CodeTable, AgreesWithGlibcCp936) {
  iconv_t encode = iconv_open("CP936", "UTF-8");
  iconv_t decode = iconv_open("UTF-8", "CP936");
  ASSERT_NE(encode, reinterpret_cast<iconv_t>(-1));
  ASSERT_NE(decode, reinterpret_cast<iconv_t>(-1));
  int privateUse = 0;
  int bestFit = 0;
  std::vector<std::string> unexpected;
  for (char32_t c = 1; c < 0x10000; ++c) {
    if (c >= 0xD800 && c < 0xE000) continue;
    const std::string utf8 = Utf8(c);
    const std::string ours = Code_Utf8ToGbk(Text(utf8)).str();
    const std::optional<std::string> theirs = Iconv(encode, utf8);
    if (theirs ? ours == *theirs : ours == "?") continue;
    if (!theirs && ((c >= 0xE000 && c <= 0xE864) || c == 0xF8F5) && ours != "?") {
      ++privateUse;
      continue;
    }
    const std::optional<std::string> back = theirs ? std::nullopt : Iconv(decode, ours);
    if (back && *back != utf8 && ours != "?") {
      ++bestFit;
      continue;
    }
    char label[64];
    std::snprintf(label, sizeof label, "U+%04X ours %s glibc %s", static_cast<unsigned>(c),
                  Hex(ours).c_str(), theirs ? Hex(*theirs).c_str() : "refuses");
    unexpected.push_back(label);
  }
  iconv_close(encode);
  iconv_close(decode);
  EXPECT_EQ(privateUse, 0xE864 - 0xE000 + 1 + 1);
  EXPECT_EQ(bestFit, 417);
  EXPECT_EQ(unexpected.size(), 0u);
  for (std::size_t i = 0; i < unexpected.size() && i < 20; ++i) ADD_FAILURE() << unexpected[i];
}

TEST(CodeRoutines, ConcurrentCallsAgree) {
  const Text big5("\xB0\xEA\xA1\x45\xAE\x61");  // 國‧家
  const Bytes utf8 =
      B("\xE4\xB8\xAD\xE6\x96\x87"
        "e\xCC\x81");  // 中文é, the é composed
  const Text expectBig5 = G("国?家");
  const Text expectUtf8 = Text("\xD6\xD0\xCE\xC4\xA8\xA6");
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        if (Code_Big5ToGbkSimplified(big5) != expectBig5) ++failures[t];
        if (Code_Utf8BytesToLocal(utf8) != expectUtf8) ++failures[t];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace quelpath
