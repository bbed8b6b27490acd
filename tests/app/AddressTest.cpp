// The address batch, run against a window made of plain texts and a scripted page source.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/Address.h"
#include "tests/support/Gbk.h"
#include "text/Text.h"

namespace quelpath {
namespace {
using test::G;
using test::T;

class FakeWindow : public WindowAccess {
 public:
  std::map<Control, Text> boxes;
  Text caption = T("hint");
  Text clipboard = T("old");
  bool clipboardWorks = true;
  int clipboardWrites = 0;

  Text GetContent(Control box) override { return boxes[box]; }
  void SetContent(Control box, const Text& text) override { boxes[box] = text; }
  void SetCaption(Control, const Text& text) override { caption = text; }
  bool PutOnClipboard(const Text& text) override {
    ++clipboardWrites;
    if (clipboardWorks) clipboard = text;
    return clipboardWorks;
  }
  std::string Lower() { return boxes[Control::编辑框_实际下载地址].str(); }
};

// A share page whose download anchor carries `href`.
Text SharePage(const std::string& href) {
  return Text_Concat(G("<html>转存到我的百度云</html><a "), T(href), G(">下载</a>"));
}

struct BatchRun {
  FakeWindow window;
  std::vector<std::string> asked;

  void Batch(const std::string& source, std::function<Text(const Text&)> pages = nullptr) {
    window.boxes[Control::编辑框_原地址] = T(source);
    Address_ResolveAll(window, [&](const Text& address) {
      asked.push_back(address.str());
      return pages ? pages(address) : SharePage("href=\"L" + address.str() + "\"");
    });
  }
};

TEST(AddressTest, SourceSplitsIntoLinesAsPasted) {
  struct Case {
    const char* label;
    std::string source;
    std::vector<std::string> lines;
  } cases[] = {
      {"two", "a\r\nb", {"a", "b"}},
      {"trailing break", "a\r\nb\r\n", {"a", "b"}},
      {"empty middle", "a\r\n\r\nb", {"a", "", "b"}},
      {"leading break", "\r\na", {"", "a"}},
      {"break alone", "\r\n", {""}},
      {"ends trimmed, inner spaces kept", "  a  \r\n  b  ", {"a  ", "  b"}},
      {"tab not trimmed", "\ta\t", {"\ta\t"}},
      {"LF alone does not split", "a\nb", {"a\nb"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    BatchRun run;
    run.Batch(c.source);
    EXPECT_EQ(run.asked, c.lines);
    std::string want;
    for (const std::string& line : c.lines) want += "L" + line + "\r\n\r\n";
    EXPECT_EQ(run.window.Lower(), want);
    EXPECT_EQ(run.window.clipboard.str(), want);
    EXPECT_EQ(run.window.caption, G("下载地址已复制到剪贴板"));
  }
}

TEST(AddressTest, EmptySourceTouchesNeitherClipboardNorLabel) {
  for (const char* source : {"", "   ", "\xA1\xA1 "}) {
    SCOPED_TRACE(source);
    BatchRun run;
    run.window.boxes[Control::编辑框_实际下载地址] = T("previous");
    run.Batch(source);
    EXPECT_TRUE(run.asked.empty());
    EXPECT_EQ(run.window.Lower(), "");
    EXPECT_EQ(run.window.clipboard.view(), "old");
    EXPECT_EQ(run.window.caption.view(), "hint");
  }
}

TEST(AddressTest, LinkRecipeTable) {
  const Text save = G("转存到我的百度云"), down = G("下载");
  struct Case {
    const char* label;
    Text page;
    std::string link;
  } cases[] = {
      {"entity removed", SharePage("href=\"x?a=1&amp;b=2\""), "x?a=1&b=2"},
      {"capital attribute", SharePage("HREF=\"x?a=1&amp;b=2\""), "x?a=1&b=2"},
      {"capital entity", SharePage("href=\"x&AMP;y\""), "x&y"},
      {"double entity in one pass", SharePage("href=\"x&amp;amp;y\""), "x&y"},
      {"no second removal", SharePage("href=\"aamp;mp;\""), "amp;"},
      {"empty value", SharePage("href=\"\""), ""},
      {"only text after the last save marker",
       Text_Concat(save, T("<a href=\"first\">"), down, save, T("<a href=\"second\">"), down),
       "second"},
      {"no save marker", Text_Concat(T("<a href=\"x\">"), down), ""},
      {"no download marker after it", Text_Concat(down, save, T("<a href=\"x\">")), ""},
      {"href only after the download marker", Text_Concat(save, down, T("href=\"x\"")), ""},
      {"no closing quote before the download marker",
       Text_Concat(save, T("href=\"x"), down, T("\"")), ""},
      {"time-out message", G("超时返回，指定网站不能访问"), ""},
      {"empty page", Text(), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Address_ExtractLink(c.page).str(), c.link);
  }
}

TEST(AddressTest, EveryLineEndsInAnEntryEvenWithoutALink) {
  BatchRun run;
  run.Batch("a\r\nb\r\nc", [](const Text& address) {
    return address.view() == "b" ? Text() : SharePage("href=\"" + address.str() + "\"");
  });
  EXPECT_EQ(run.window.Lower(), "a\r\n\r\n\r\n\r\nc\r\n\r\n");
}

TEST(AddressTest, UserEditsToTheLowerBoxSurvive) {
  BatchRun run;
  run.Batch("a\r\nb", [&](const Text& address) {
    if (address.view() == "b") {  // the user types while the second page loads
      run.window.boxes[Control::编辑框_实际下载地址] =
          Text_Concat(run.window.boxes[Control::编辑框_实际下载地址], T("typed"));
      run.window.boxes[Control::编辑框_原地址] = T("ignored\r\nnow");
    }
    return SharePage("href=\"" + address.str() + "\"");
  });
  EXPECT_EQ(run.asked, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(run.window.Lower(), "a\r\n\r\ntypedb\r\n\r\n");
  EXPECT_EQ(run.window.clipboard.str(), run.window.Lower());
}

TEST(AddressTest, ANestedBatchRunsToItsEndBeforeTheOuterGoesOn) {
  BatchRun run;
  std::vector<std::string> clipboards;
  bool nested = false;
  std::function<Text(const Text&)> pages = [&](const Text& address) {
    if (address.view() == "o2" && !nested) {  // second press while the outer batch waits
      nested = true;
      run.window.boxes[Control::编辑框_原地址] = T("i1\r\ni2");
      Address_ResolveAll(run.window, [&](const Text& inner) {
        run.asked.push_back(inner.str());
        return pages(inner);
      });
      clipboards.push_back(run.window.clipboard.str());
    }
    return SharePage("href=\"" + address.str() + "\"");
  };
  run.Batch("o1\r\no2\r\no3", pages);
  EXPECT_EQ(run.asked, (std::vector<std::string>{"o1", "o2", "i1", "i2", "o3"}));
  // The inner batch emptied the box (o1's entry is gone) and copied its own list.
  EXPECT_EQ(clipboards, (std::vector<std::string>{"i1\r\n\r\ni2\r\n\r\n"}));
  EXPECT_EQ(run.window.Lower(), "i1\r\n\r\ni2\r\n\r\no2\r\n\r\no3\r\n\r\n");
  EXPECT_EQ(run.window.clipboard.str(), run.window.Lower());
}

TEST(AddressTest, AFailedCopyIsNotAnnounced) {
  BatchRun run;
  run.window.clipboardWorks = false;
  run.Batch("a");
  EXPECT_EQ(run.window.clipboardWrites, 1);
  EXPECT_EQ(run.window.caption.view(), "hint");
  EXPECT_EQ(run.window.Lower(), "La\r\n\r\n");
}

}  // namespace
}  // namespace quelpath
