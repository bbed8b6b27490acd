// Bytes and the conversions between Bytes and Text.
#include <gtest/gtest.h>

#include "text/Bytes.h"
#include "text/Text.h"

namespace quelpath {
namespace {
using namespace std::string_view_literals;

TEST(BytesTest, ZeroBytesAreKeptUntilTheyBecomeText) {
  const Bytes b("ab\0cd"sv);
  EXPECT_EQ(Bytes_Length(b), 5);
  EXPECT_EQ(Bytes_ToText(b).view(), "ab");
  EXPECT_TRUE(Bytes_ToText(Bytes("\0ab"sv)).empty());
  EXPECT_TRUE(Bytes_ToText(Bytes()).empty());
}

TEST(BytesTest, TextToBytesAddsNoTerminator) {
  EXPECT_EQ(Bytes_Length(Text_ToBytes(Text())), 0);
  EXPECT_EQ(Bytes_Length(Text_ToBytes(Text("ab"))), 2);
}

TEST(BytesTest, BuildingAndCutting) {
  EXPECT_EQ(Bytes_Concat(Bytes("a\0"sv), Bytes(), Bytes("b"sv)).view(), "a\0b"sv);
  EXPECT_TRUE(Bytes_Concat(Bytes(), Bytes()).empty());
  EXPECT_EQ(Bytes_Blank(3).view(), "\0\0\0"sv);
  EXPECT_TRUE(Bytes_Blank(-1).empty());
  EXPECT_EQ(Bytes_Left(Bytes("a\0c"sv), 2).view(), "a\0"sv);
  EXPECT_EQ(Bytes_Left(Bytes("abc"sv), 9).view(), "abc");
  EXPECT_TRUE(Bytes_Left(Bytes("abc"sv), 0).empty());
  EXPECT_TRUE(Bytes_Equals(Bytes(), Bytes(""sv)));
  EXPECT_FALSE(Bytes_Equals(Bytes("a\0"sv), Bytes("a"sv)));
}

}  // namespace
}  // namespace quelpath
