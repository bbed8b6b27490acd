// Every fixed text is code page 936 with the byte length the format depends on.
#include <gtest/gtest.h>

#include "app/Literals.h"
#include "tests/support/Gbk.h"

namespace quelpath {
namespace {

TEST(LiteralsTest, BatchLiteralsHaveTheirCodePage936Lengths) {
  struct Case {
    const Literal& literal;
    int bytes;
  } cases[] = {
      {lit::kLineBreak, 2},   {lit::kMarkerSave, 16},    {lit::kMarkerDownload, 4},
      {lit::kMarkerHref, 6},  {lit::kMarkerQuote, 1},    {lit::kEntity, 4},
      {lit::kEntryEnd, 4},    {lit::kCaptionCopied, 22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.literal.utf8()));
    EXPECT_EQ(c.literal.text().length(), c.bytes);
  }
  EXPECT_EQ(test::Hex(lit::kMarkerDownload.text().str()), "CF C2 D4 D8");  // 下载
}

}  // namespace
}  // namespace quelpath
