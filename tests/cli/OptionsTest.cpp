// The command line: what each option sets, and the one-line message for a bad one.
#include <gtest/gtest.h>

#include "cli/Input.h"
#include "cli/Options.h"

#include <sstream>

namespace quelpath::cli {
namespace {

TEST(OptionsTest, ValuesInBothSpellingsAndAddressesInOrder) {
  const Parsed p = Options_Parse({"a", "--format=json", "--timeout", "5", "--header", "X: 1",
                                  "--header=Y: 2", "--data", "k=v", "--no-redirect", "-", "b"});
  ASSERT_TRUE(p.command) << p.error;
  EXPECT_EQ(p.command->format, Format::Json);
  EXPECT_EQ(p.command->timeoutSeconds, 5);
  EXPECT_EQ(p.command->headers, (std::vector<std::string>{"X: 1", "Y: 2"}));
  EXPECT_EQ(p.command->data, "k=v");
  EXPECT_TRUE(p.command->noRedirect);
  EXPECT_FALSE(p.command->noCookieStore);
  EXPECT_EQ(p.command->addresses, (std::vector<std::string>{"a", "-", "b"}));
}

TEST(OptionsTest, BadOptionsAreNamed) {
  struct Case {
    std::vector<std::string> args;
    const char* error;
  } cases[] = {
      {{"--bogus"}, "unknown option --bogus"},
      {{"--timeout"}, "option --timeout needs a value"},
      {{"--timeout", "soon"}, "bad value for --timeout: 'soon'"},
      {{"--timeout=-1"}, "bad value for --timeout: '-1'"},
      {{"--format", "xml"}, "bad value for --format: 'xml'"},
      {{"--header", "no colon"}, "bad value for --header: 'no colon'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    const Parsed p = Options_Parse(c.args);
    EXPECT_FALSE(p.command);
    EXPECT_EQ(p.error, c.error);
  }
}

TEST(OptionsTest, InputDropsTheByteOrderMarkAndCarriageReturns) {
  std::istringstream in("\xEF\xBB\xBF" "a\r\n\r\nb\rc\nd");
  EXPECT_EQ(Input_ReadLines(in), (std::vector<std::string>{"a", "", "b\rc", "d"}));
}

}  // namespace
}  // namespace quelpath::cli
