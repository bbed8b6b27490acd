// Address parsing: host, path and port of the addresses the fetch is given.
#include <gtest/gtest.h>

#include "fetch/Url.h"
#include "tests/support/Gbk.h"

namespace quelpath {
namespace {
using test::T;

TEST(UrlTest, HostPathPortTable) {
  struct Case {
    const char* address;
    const char* host;
    const char* path;
    int port;
  } cases[] = {
      {"http://H1/a/b?x=1#f", "h1", "/a/b?x=1#f", 80},
      {"https://H1/a", "h1", "/a", 443},
      {"http://abcdefg:8080/a", "abcdefg", "/a", 8080},
      {"http://h1:81/a", "h1", "/a", 81},  // a short host keeps its port
      {"http://abcdef:1/", "abcdef", "/", 1},
      {"https://h1:8443/a", "h1", "/a", 8443},
      {"http://h1", "h1", "/", 80},
      {"http://h1?x=1", "h1", "/?x=1", 80},
      {"http://h1:82?x=1", "h1", "/?x=1", 82},
      {"http://h1#top", "h1", "/#top", 80},
      {"http://h1/r?u=http://h2/", "h1", "/r?u=http://h2/", 80},
      {"http://h1/r?u=https://h2:99/", "h1", "/r?u=https://h2:99/", 80},
      {"HTTP://H1/a", "h1", "/a", 80},
      {"HtTpS://H1/a", "h1", "/a", 443},
      {"http://h/x", "h", "/x", 80},  // the host also occurs inside the scheme
      {"", "", "/", 80},
      {"h1:90/a", "h1", "/a", 90},                // no scheme: host, port and path alone
      {"x http://h1/a", "x http", "//h1/a", 80},  // only a leading scheme counts
      {"http://[::1]:8080/a", "[::1]", "/a", 8080},
      {"http://[::1]/a", "[::1]", "/a", 80},
      {"https://[FE80::1]", "[fe80::1]", "/", 443},
      {"http://h1:/a", "h1", "/a", 80},
      {"http://h1:80x/a", "h1", "/a", 80},
      {"http://h1:0/a", "h1", "/a", 80},
      {"http://h1:65535/a", "h1", "/a", 65535},
      {"http://h1:65536/a", "h1", "/a", 80},
      {"https://h1:99999999999999999999/a", "h1", "/a", 443},
      {"http://h1:-1/a", "h1", "/a", 80},
      {"http://h1:00081/a", "h1", "/a", 81},
      {"http://", "", "/", 80},
      {"https://", "", "/", 443},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(Url_Host(T(c.address)).view(), c.host);
    EXPECT_EQ(Url_Path(T(c.address)).view(), c.path);
    EXPECT_EQ(Url_Port(T(c.address)), c.port);
  }
}

TEST(UrlTest, TwoByteCharactersStayWhole) {
  // 0xB0 0xA1 is one character; the host is lower-cased in its one-byte letters only.
  EXPECT_EQ(Url_Host(T("http://AB\xB0\xA1.cn/\xB0\xA1")).view(), "ab\xB0\xA1.cn");
  EXPECT_EQ(Url_Path(T("http://AB\xB0\xA1.cn/\xB0\xA1")).view(), "/\xB0\xA1");
}

TEST(UrlTest, SecureOnlyByItsScheme) {
  struct Case {
    const char* address;
    bool secure;
  } cases[] = {
      {"https://h/", true},   {"HTTPS://h/", true}, {"http://h/?u=https://x", false},
      {"h/https://x", false}, {"", false},          {"https:/h", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(Url_IsSecure(T(c.address)), c.secure);
  }
}

TEST(UrlTest, SendableUnlessALineCouldBreak) {
  EXPECT_TRUE(Url_IsSendable(T("http://h/a b?\xB0\xA1")));
  for (const char* bad : {"http://h/a\r\nX: 1", "http://h\n/", "http://h/\t", "http://h/\x7F",
                          "http://h:8\r\n0/x", "http://h/\x1A"}) {
    SCOPED_TRACE(test::Hex(bad));
    EXPECT_FALSE(Url_IsSendable(T(bad)));
  }
}

}  // namespace
}  // namespace quelpath
