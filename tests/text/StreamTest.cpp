#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Gbk.h"
#include "text/Stream.h"

namespace quelpath {
namespace {

using namespace std::literals;
using test::G;
using test::Hex;

Bytes B(std::string_view bytes) { return Bytes(bytes); }

// Closes the stream when the test leaves.
class OpenStream {
 public:
  OpenStream() : handle_(Stream_Open()) {}
  ~OpenStream() { Stream_Close(handle_); }
  OpenStream(const OpenStream&) = delete;
  OpenStream& operator=(const OpenStream&) = delete;
  operator StreamHandle() const { return handle_; }

 private:
  StreamHandle handle_;
};

// The data of a stream whose every line ends at a NUL byte (and holds no other line end), read
// back through Stream_ReadLine.
std::string Dump(StreamHandle h) {
  std::string out;
  EXPECT_TRUE(Stream_SeekStart(h));
  while (!Stream_AtEnd(h)) out += Stream_ReadLine(h).str() + '\0';
  return out;
}

// Puts `data` (NULs allowed) at position 4 of the stream and leaves the position there: the
// data goes in as one member, then text overwrites the member's length field.
void PutAt4(StreamHandle h, std::string data) {
  ASSERT_TRUE(Stream_WriteBytesList(h, BytesList{Bytes(std::move(data))}));
  ASSERT_TRUE(Stream_SeekStart(h));
  ASSERT_TRUE(Stream_WriteText(h, Text("head")));
}

std::vector<std::string> AllLines(StreamHandle h) {
  std::vector<std::string> lines;
  for (std::size_t guard = 0; !Stream_AtEnd(h) && guard < 1000; ++guard) {
    lines.push_back(Stream_ReadLine(h).str());
  }
  return lines;
}

BytesList Record() {
  return BytesList{B("GET"),
                   Bytes(),
                   B("http://127.0.0.1/"),
                   B("a\0b\x1A\n"s),
                   Bytes(),
                   Bytes(G("真").view()),
                   Bytes(std::string(300, 'x')),
                   B("\0"s),
                   Bytes()};
}

TEST(StreamMembers, FormatByteForByte) {
  OpenStream h;
  ASSERT_TRUE(Stream_WriteBytesList(h, BytesList{B("ab"), Bytes()}));
  EXPECT_EQ(Hex(Dump(h)), Hex("\x02\0\0\0ab\0\0\0\0"s));

  // A length above 255 uses the second byte; an empty list writes nothing.
  OpenStream wide;
  ASSERT_TRUE(Stream_WriteBytesList(wide, BytesList{Bytes(std::string(258, 'x')), Bytes()}));
  ASSERT_TRUE(Stream_WriteBytesList(wide, BytesList{}));
  EXPECT_EQ(Hex(Dump(wide)), Hex("\x02\x01\0\0"s + std::string(258, 'x') + "\0\0\0\0"s));
}

TEST(StreamMembers, RoundTripAndShorterAndLongerLists) {
  OpenStream h;
  const BytesList record = Record();
  ASSERT_TRUE(Stream_WriteBytesList(h, record));
  EXPECT_TRUE(Stream_AtEnd(h));

  ASSERT_TRUE(Stream_SeekStart(h));
  BytesList nine(9);
  ASSERT_TRUE(Stream_ReadBytesList(h, nine));
  EXPECT_EQ(nine, record);
  EXPECT_TRUE(Stream_AtEnd(h));

  ASSERT_TRUE(Stream_SeekStart(h));
  BytesList eight(8);
  ASSERT_TRUE(Stream_ReadBytesList(h, eight));
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(eight.at(k), record.at(k)) << "member " << k;
  EXPECT_FALSE(Stream_AtEnd(h));

  // Reading ten fails, keeps the list and the position: the next read starts where it did.
  ASSERT_TRUE(Stream_SeekStart(h));
  BytesList ten{B("keep"), Bytes(), B("me"), Bytes(), Bytes(),
                Bytes(),   Bytes(), Bytes(), Bytes(), B("last")};
  const BytesList before = ten;
  EXPECT_FALSE(Stream_ReadBytesList(h, ten));
  EXPECT_EQ(ten, before);
  BytesList again(9);
  ASSERT_TRUE(Stream_ReadBytesList(h, again));
  EXPECT_EQ(again, record);

  // Read back into the very list it came from, as the fetch does.
  ASSERT_TRUE(Stream_SeekStart(h));
  BytesList same = record;
  ASSERT_TRUE(Stream_ReadBytesList(h, same));
  EXPECT_EQ(same, record);
}

TEST(StreamMembers, CutShortDataFailsAndKeepsThePosition) {
  const struct {
    const char* label;
    std::string data;  // from position 4
  } cases[] = {{"no length field", ""},
               {"half a length field", "\x02\0"s},
               {"member cut short", "\x05\0\0\0abc"s},
               {"second member missing", "\x01\0\0\0a"s},
               {"length beyond any Bytes",
                "\xFF\xFF\xFF\xFF"
                "abc"s}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    OpenStream h;
    PutAt4(h, c.data);
    BytesList two{B("x"), B("y")};
    EXPECT_FALSE(Stream_ReadBytesList(h, two));
    EXPECT_EQ(two, (BytesList{B("x"), B("y")}));
    // Still at 4: the data reads back as the line it is.
    EXPECT_EQ(Hex(Stream_ReadLine(h).view()), Hex(Text(c.data).view()));
  }
}

TEST(StreamWrite, OverwritesAtThePositionAndExtendsPastTheEnd) {
  OpenStream h;
  EXPECT_TRUE(Stream_WriteText(h, Text("abcdef")));
  EXPECT_TRUE(Stream_SeekStart(h));
  EXPECT_TRUE(Stream_WriteText(h, Text("XY")));
  EXPECT_TRUE(Stream_WriteText(h, Text()));
  EXPECT_FALSE(Stream_AtEnd(h));
  EXPECT_EQ(Stream_ReadLine(h), Text("cdef"));
  EXPECT_TRUE(Stream_WriteText(h, Text("gh")));
  EXPECT_TRUE(Stream_SeekStart(h));
  EXPECT_EQ(Stream_ReadLine(h), Text("XYcdefgh"));

  // Growth across many capacity steps keeps every byte.
  OpenStream big;
  std::string expect;
  for (int i = 0; i < 5000; ++i) {
    const std::string piece = std::to_string(i) + ",";
    ASSERT_TRUE(Stream_WriteText(big, Text(piece)));
    expect += piece;
  }
  ASSERT_TRUE(Stream_SeekStart(big));
  EXPECT_EQ(Stream_ReadLine(big).str(), expect);

  // Large streams one after another: each reads back its own bytes, never an earlier one's.
  for (char fill : {'p', 'q', 'r'}) {
    SCOPED_TRACE(fill);
    OpenStream large;
    const BytesList record{Bytes(std::string((5u << 20) + fill, fill))};
    ASSERT_TRUE(Stream_WriteBytesList(large, record));
    ASSERT_TRUE(Stream_SeekStart(large));
    BytesList back(1);
    ASSERT_TRUE(Stream_ReadBytesList(large, back));
    EXPECT_TRUE(back == record);
    EXPECT_TRUE(Stream_AtEnd(large));
  }
}

TEST(StreamLines, Examples) {
  const struct {
    const char* label;
    std::string data;
    std::vector<std::string> lines;
  } cases[] = {
      {"CR LF", "a\r\nb", {"a", "b"}},
      {"empty line", "a\r\n\r\nb", {"a", "", "b"}},
      {"only a final CR is dropped", "a\rb\n", {"a\rb"}},
      {"no extra line after the last CR LF", "a\r\n", {"a"}},
      {"LF only", "\n\n", {"", ""}},
      {"second byte 0A is no line end", "\x81\nx\ny", {"\x81\nx", "y"}},
      {"double-byte text", G("中文\r\n行").str(), {G("中文").str(), G("行").str()}},
      {"NUL and 1A end lines",
       "a\0b\x1A"
       "c"s,
       {"a", "b", "c"}},
      {"CR before NUL dropped", "a\r\0b"s, {"a", "b"}},
      {"lone lead byte at the end", "a\n\x81", {"a", "\x81"}},
      // A Text holds no NUL: the line stops at the NUL that the lead byte took along.
      {"NUL as a second byte", "\x81\0b\nc"s, {"\x81", "c"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    OpenStream h;
    PutAt4(h, c.data);
    EXPECT_EQ(AllLines(h), c.lines);
    EXPECT_EQ(Stream_ReadLine(h), Text());
  }

  OpenStream fresh;
  EXPECT_TRUE(Stream_AtEnd(fresh));
  EXPECT_EQ(Stream_ReadLine(fresh), Text());
}

TEST(StreamLines, ReadingLoopEndsOnAnyData) {
  // Every sequence of up to four bytes drawn from the bytes that matter to the scan.
  const std::string alphabet =
      "\0\n\r\x1A"
      "a\x80\x81\xFF"s;
  std::vector<std::string> inputs;
  for (std::size_t len = 1; len <= 4; ++len) {
    std::vector<std::size_t> digit(len, 0);
    for (;;) {
      std::string s;
      for (std::size_t d : digit) s += alphabet[d];
      inputs.push_back(s);
      std::size_t i = 0;
      while (i < len && ++digit[i] == alphabet.size()) digit[i++] = 0;
      if (i == len) break;
    }
  }
  // And a long stretch of noise that is mostly NUL and 1A.
  std::mt19937 random(7);
  std::string noise;
  for (int i = 0; i < 1 << 16; ++i) {
    const unsigned r = random() % 8;
    noise += r < 3 ? '\0' : r < 6 ? '\x1A' : static_cast<char>(random());
  }
  inputs.push_back(noise);

  for (const std::string& data : inputs) {
    OpenStream h;
    PutAt4(h, data);
    std::size_t calls = 0;
    while (!Stream_AtEnd(h) && calls <= data.size()) {
      Stream_ReadLine(h);
      ++calls;
    }
    ASSERT_TRUE(Stream_AtEnd(h)) << Hex(data.substr(0, 16));
    ASSERT_LE(calls, data.size()) << Hex(data.substr(0, 16));
  }
}

TEST(StreamHandles, ClosedOrUnknownHandlesFail) {
  StreamHandle closed = Stream_Open();
  ASSERT_NE(closed, 0);
  ASSERT_TRUE(Stream_WriteText(closed, Text("abc")));
  Stream_Close(closed);
  OpenStream reopened;
  EXPECT_NE(static_cast<StreamHandle>(reopened), closed);  // a stale handle reaches nothing

  for (StreamHandle h : {closed, StreamHandle{0}, StreamHandle{-12345}}) {
    SCOPED_TRACE(h);
    BytesList list{B("kept")};
    EXPECT_TRUE(Stream_AtEnd(h));
    EXPECT_EQ(Stream_ReadLine(h), Text());
    EXPECT_FALSE(Stream_SeekStart(h));
    EXPECT_FALSE(Stream_WriteText(h, Text("x")));
    EXPECT_FALSE(Stream_WriteBytesList(h, list));
    EXPECT_FALSE(Stream_ReadBytesList(h, list));
    EXPECT_EQ(list, BytesList{B("kept")});
    Stream_Close(h);
  }
  EXPECT_TRUE(Stream_WriteText(reopened, Text("still open")));
}

TEST(StreamHandles, ManyThreadsOpenUseAndCloseAtOnce) {
  constexpr int kThreads = 6;
  constexpr int kRounds = 300;
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const StreamHandle h = Stream_Open();
        // Now and then a large member, whose storage passes from stream to stream.
        const std::size_t size = i % 50 == 0 ? (3u << 20) + i : i;
        const BytesList record{Bytes(std::to_string(t)), Bytes(std::string(size, 'a' + t)),
                               Bytes()};
        BytesList back(3);
        const bool ok = Stream_WriteBytesList(h, record) && Stream_SeekStart(h) &&
                        Stream_ReadBytesList(h, back) && back == record && Stream_AtEnd(h);
        if (!ok) ++failures;
        Stream_Close(h);
      }
    });
  }
  // Meanwhile one more thread closes a stream that another is using: each operation there
  // either works or fails as on a closed handle.
  const StreamHandle shared = Stream_Open();
  std::thread user([&] {
    for (int i = 0; i < 2000; ++i) {
      Stream_WriteText(shared, Text("line\n"));
      Stream_SeekStart(shared);
      Stream_ReadLine(shared);
    }
  });
  std::thread closer([&] { Stream_Close(shared); });
  for (std::thread& th : threads) th.join();
  user.join();
  closer.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_TRUE(Stream_AtEnd(shared));
}

}  // namespace
}  // namespace quelpath
