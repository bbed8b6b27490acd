// The exchange as the session sees it: every call and argument the worker makes, shown by a
// fake session, and the record it writes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fetch/Literals.h"
#include "fetch/Page.h"
#include "tests/fetch/Workers.h"
#include "tests/support/Gbk.h"
#include "text/Bytes.h"
#include "text/Stream.h"
#include "text/Text.h"

namespace quelpath {
namespace {
using test::B;
using test::G;
using test::T;

class FakeSession : public HttpSession {
 public:
  // What the fake answers.
  bool openFails = false, connectFails = false, requestFails = false;
  std::string body;
  int chunkLimit = kHttpChunk;  // the most one read hands out
  std::string rawHeaders;

  // What the worker did, in order: one word a call.
  std::vector<std::string> calls;
  Text agent, proxyList, host, method, path, version, headers;
  HttpAccess access{};
  uint16_t port = 0;
  HttpFlags flags = 0;
  Bytes data;
  std::vector<std::size_t> readSizes;
  struct Cookie {
    std::string url, name, data;
  };
  std::vector<Cookie> cookies;

  HttpHandle Open(const Text& a, HttpAccess type, const Text& list) override {
    calls.push_back("Open");
    agent = a, access = type, proxyList = list;
    return openFails ? HttpHandle{} : HttpHandle{1};
  }
  HttpHandle Connect(HttpHandle internet, const Text& h, uint16_t p) override {
    calls.push_back("Connect");
    EXPECT_EQ(internet, HttpHandle{1});
    host = h, port = p;
    return connectFails ? HttpHandle{} : HttpHandle{2};
  }
  HttpHandle OpenRequest(HttpHandle connection, const Text& m, const Text& p, const Text& v,
                         HttpFlags f) override {
    calls.push_back("OpenRequest");
    EXPECT_EQ(connection, HttpHandle{2});
    method = m, path = p, version = v, flags = f;
    return requestFails ? HttpHandle{} : HttpHandle{3};
  }
  bool Send(HttpHandle request, const Text& h, const Bytes& d) override {
    calls.push_back("Send");
    EXPECT_EQ(request, HttpHandle{3});
    headers = h, data = d;
    return true;
  }
  int QueryDataAvailable(HttpHandle request) override {
    calls.push_back("QueryDataAvailable");
    EXPECT_EQ(request, HttpHandle{3});
    return static_cast<int>(body.size() - read_);
  }
  int ReadFile(HttpHandle request, std::span<char> buffer) override {
    calls.push_back("ReadFile");
    EXPECT_EQ(request, HttpHandle{3});
    readSizes.push_back(buffer.size());
    const std::size_t n =
        std::min({buffer.size(), body.size() - read_, static_cast<std::size_t>(chunkLimit)});
    std::copy_n(body.data() + read_, n, buffer.data());
    read_ += n;
    return static_cast<int>(n);
  }
  Text QueryRawHeaders(HttpHandle request) override {
    calls.push_back("QueryRawHeaders");
    EXPECT_EQ(request, HttpHandle{3});
    return Text(rawHeaders);
  }
  void Close(HttpHandle handle) override { calls.push_back("Close" + std::to_string(handle.id)); }
  bool SetCookie(const Text& url, const Text& name, const Text& d) override {
    calls.push_back("SetCookie");
    cookies.push_back({url.str(), name.str(), d.str()});
    return true;
  }

  bool sent() const { return std::count(calls.begin(), calls.end(), "Send") > 0; }

 private:
  std::size_t read_ = 0;
};

// Runs the worker on `record` through a stream, as the fetch call does; the record it wrote.
FetchRecord Exchange(FakeSession& session, const FetchRecord& record) {
  const StreamHandle stream = Stream_Open();
  EXPECT_TRUE(Stream_WriteBytesList(stream, record));
  Page_FetchWorker(stream, session);
  FetchRecord out(kFetchSlots);
  EXPECT_TRUE(Stream_SeekStart(stream));
  EXPECT_TRUE(Stream_ReadBytesList(stream, out));
  Stream_Close(stream);
  return out;
}

FetchRecord Record(const char* address, const FetchOptions& options = {}) {
  return Page_MakeRecord(T(address), options);
}

Text Slot(const FetchRecord& record, int k) { return Bytes_ToText(record.at(k + 1)); }

const std::string kAccept = lit::kAcceptLine.text().str();
const std::string kLanguage = lit::kLanguageLine.text().str();

TEST(WorkerTest, HeaderTextTable) {
  struct Case {
    const char* label;
    const char* method;
    const char* extra;
    const char* body;
    const char* cookies;
    std::string want;
  } cases[] = {
      {"defaults", "GET", "", "", "", kAccept + "Referer: http://h/x\r\n" + kLanguage},
      {"own language line in lower case", "GET", "accept-language: en\r\n", "", "",
       "accept-language: en\r\nReferer: http://h/x\r\n"},
      {"any header beginning with Accept", "GET", "Accept-Charset: gbk\r\n", "", "",
       "Accept-Charset: gbk\r\nReferer: http://h/x\r\n" + kLanguage},
      {"RefererNo taken out", "GET", "X: 1\r\nRefererNo", "", "", "X: 1\r\n" + kAccept + kLanguage},
      {"only the first RefererNo", "GET", "RefererNoRefererNo\r\n", "", "",
       "RefererNo\r\n" + kAccept + kLanguage},
      {"refererno found, not removed", "GET", "refererno\r\n", "", "",
       "refererno\r\n" + kAccept + kLanguage},
      {"own Referer", "GET", "Referer: http://r/\r\n", "", "",
       "Referer: http://r/\r\n" + kAccept + kLanguage},
      {"cookie line last", "GET", "", "", "a=1; b=2",
       kAccept + "Referer: http://h/x\r\n" + kLanguage + "Cookie: a=1; b=2\r\n\r\n"},
      {"blank cookies still sent", "GET", "", "", "  ",
       kAccept + "Referer: http://h/x\r\n" + kLanguage + "Cookie:   \r\n\r\n"},
      {"POST, empty body", "POST", "", "", "", kAccept + "Referer: http://h/x\r\n" + kLanguage},
      {"POST, body", "POST", "", "a=1&b", "c=3",
       kAccept + "Referer: http://h/x\r\n" + kLanguage + lit::kFormTypeLine.text().str() +
           "Content-Length: 5\r\nCookie: c=3\r\n\r\n"},
      {"POST, own content type", "POST", "content-type: text/plain\r\n", "abc", "",
       "content-type: text/plain\r\n" + kAccept + "Referer: http://h/x\r\n" + kLanguage +
           "Content-Length: 3\r\n"},
      {"POST, own length", "POST", "Content-Length: 9\r\n", "abc", "",
       "Content-Length: 9\r\n" + kAccept + "Referer: http://h/x\r\n" + kLanguage +
           lit::kFormTypeLine.text().str()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FakeSession session;
    Exchange(session, Record("http://h/x", {.method = std::string(c.method) == "POST" ? 1 : 0,
                                            .extraHeaders = T(c.extra),
                                            .postData = B(c.body),
                                            .cookies = T(c.cookies)}));
    EXPECT_EQ(session.headers.str(), c.want);
    EXPECT_EQ(session.data.str(), std::string(c.method) == "POST" ? c.body : "");
  }
}

TEST(WorkerTest, UserAgentTable) {
  struct Case {
    const char* extra;
    std::string agent;
  } cases[] = {
      {"", lit::kUserAgent.text().str()},
      {"User-Agent: Agent/1\r\n", "Agent/1"},
      {"X: 1\r\nuser-agent:   Agent 2  \r\nY: 2\r\n", "Agent 2"},
      {"X: 1\r\nUser-Agent: Agent/3", ""},  // no line end after it
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.extra);
    FakeSession session;
    Exchange(session, Record("http://h/x", {.extraHeaders = T(c.extra)}));
    EXPECT_EQ(session.agent.str(), c.agent);
    // The caller's lines, the User-Agent line among them, are sent as they came.
    EXPECT_EQ(Text_Left(session.headers, static_cast<int>(std::strlen(c.extra))).view(), c.extra);
  }
}

TEST(WorkerTest, ConnectionAndFlagsTable) {
  constexpr HttpFlags kAlways = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
  struct Case {
    const char* label;
    const char* address;
    FetchOptions options;
    uint16_t port;
    HttpFlags flags;
  } cases[] = {
      {"http", "http://H/x", {}, 80, 0x80004010},
      {"https", "https://h/x", {}, 443, 0x80800010},
      {"https on its own port", "https://h:8443/x", {}, 8443, 0x80800010},
      {"https only in the query",
       "http://h/r?u=https://x/",
       {},
       80,
       kAlways | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS},
      {"no redirect",
       "http://h/x",
       {.noRedirect = true},
       80,
       0x80004010 | INTERNET_FLAG_NO_AUTO_REDIRECT},
      {"https, no redirect",
       "https://h/x",
       {.noRedirect = true},
       443,
       0x80800010 | INTERNET_FLAG_NO_AUTO_REDIRECT},
      {"cookies given",
       "http://h/x",
       {.cookies = T("a=1")},
       80,
       0x80004010 | INTERNET_FLAG_NO_COOKIES},
      {"no system cookies",
       "https://h/x",
       {.noSystemCookies = true},
       443,
       0x80800010 | INTERNET_FLAG_NO_COOKIES},
      {"blank cookies do not bypass", "http://h/x", {.cookies = T("   ")}, 80, 0x80004010},
      {"no cookie store alone does not bypass",
       "http://h/x",
       {.noCookieStore = true},
       80,
       0x80004010},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FakeSession session;
    Exchange(session, Record(c.address, c.options));
    EXPECT_EQ(session.host.view(), "h");
    EXPECT_EQ(session.port, c.port);
    EXPECT_EQ(session.flags, c.flags);
    EXPECT_EQ(session.version.view(), "HTTP/1.1");
    EXPECT_EQ(session.method.view(), "GET");
    EXPECT_EQ(session.path.view(),
              std::string(c.address).find("?u=") != std::string::npos ? "/r?u=https://x/" : "/x");
  }
}

TEST(WorkerTest, ProxyListNamesTheHttpProxy) {
  FakeSession direct, proxied;
  Exchange(direct, Record("http://h/x"));
  Exchange(proxied, Record("http://h/x", {.proxy = T("127.0.0.1:3128")}));
  EXPECT_EQ(direct.access, HttpAccess::Direct);
  EXPECT_EQ(direct.proxyList.view(), "");
  EXPECT_EQ(proxied.access, HttpAccess::Proxy);
  EXPECT_EQ(proxied.proxyList.view(), "http=127.0.0.1:3128");
}

TEST(WorkerTest, CompletedExchangeCallsInOrderAndWritesTheResponse) {
  FakeSession session;
  session.body = std::string(5000, 'b') + std::string("\0z", 2);
  session.chunkLimit = 1500;  // short reads do not end the body
  session.rawHeaders = "HTTP/1.1 200 OK\r\nX: 1\r\n\r\n";
  const FetchRecord request = Record("http://h/x", {.proxy = T("p:1"),
                                                    .extraHeaders = T("X: 1\r\n"),
                                                    .postData = B("d"),
                                                    .cookies = T("c=1"),
                                                    .noRedirect = true});
  const FetchRecord out = Exchange(session, request);

  const std::vector<std::string> want = {
      "Open",     "Connect",  "OpenRequest", "Send",     "QueryDataAvailable", "ReadFile",
      "ReadFile", "ReadFile", "ReadFile",    "ReadFile", "QueryRawHeaders",    "Close3",
      "Close2",   "Close1"};
  EXPECT_EQ(session.calls, want);
  EXPECT_TRUE(std::all_of(session.readSizes.begin(), session.readSizes.end(),
                          [](std::size_t n) { return n == kHttpChunk; }));
  EXPECT_EQ(out.at(1).str(), session.body);  // NUL bytes included
  EXPECT_EQ(out.at(2).str(), "");            // no cookies came
  EXPECT_EQ(out.at(6).str(), session.rawHeaders);
  for (int k : {2, 3, 4, 6, 7, 8}) {
    SCOPED_TRACE(k);
    EXPECT_EQ(out.at(k + 1), request.at(k + 1));
  }
}

TEST(WorkerTest, MethodsOtherThanGetAndPostAreNeverSent) {
  for (const char* method : {"HEAD", "get", "Post", ""}) {
    SCOPED_TRACE(method);
    FakeSession session;
    session.rawHeaders = "HTTP/1.1 200 OK\r\n\r\n";
    FetchRecord record = Record("http://h/x", {.cookies = T("a=1")});
    record.at(2) = B(method);
    const FetchRecord out = Exchange(session, record);
    EXPECT_EQ(session.method.view(), method);
    EXPECT_FALSE(session.sent());
    // The exchange runs on: reads, header query, closes and write-back.
    EXPECT_EQ(session.calls.back(), "Close1");
    EXPECT_TRUE(out.at(1).empty());
    EXPECT_EQ(out.at(6).str(), session.rawHeaders);
  }
}

TEST(WorkerTest, AnAddressThatWouldBreakALineIsNeverSent) {
  for (const char* address : {"http://h/x\r\nX: 1", "http://h:8\r\n0/x", "http://h\n/x"}) {
    SCOPED_TRACE(test::Hex(address));
    FakeSession session;
    Exchange(session, Record(address));
    EXPECT_FALSE(session.sent());
  }
}

TEST(WorkerTest, FailedOpensWriteAnEmptyResponseFirstThenClose) {
  struct Case {
    const char* label;
    bool open, connect, request;
    std::vector<std::string> calls;
  } cases[] = {
      {"no Internet handle", true, false, false, {"Open"}},
      {"no connection", false, true, false, {"Open", "Connect", "Close1"}},
      {"no request", false, false, true, {"Open", "Connect", "OpenRequest", "Close2", "Close1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FakeSession session;
    session.openFails = c.open, session.connectFails = c.connect, session.requestFails = c.request;
    const FetchRecord request = Record("http://h/x", {.cookies = T("a=1")});
    const FetchRecord out = Exchange(session, request);
    EXPECT_EQ(session.calls, c.calls);
    // No body, and neither the method nor the cookies to send come back as response values.
    for (int k : {0, 1, 5}) EXPECT_TRUE(out.at(k + 1).empty()) << k;
    for (int k : {2, 3, 4, 6, 7, 8}) EXPECT_EQ(out.at(k + 1), request.at(k + 1)) << k;
  }
}

TEST(WorkerTest, CookiePassTable) {
  using Cookies = std::vector<FakeSession::Cookie>;
  struct Case {
    const char* label;
    std::string raw;
    bool noCookieStore;
    const char* collected;
    Cookies stored;
  } cases[] = {
      {"two cookies",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nset-cookie: b=2\r\n\r\n",
       false,
       "a=1;;",
       {{"http://h", "a", "1; path=/"}, {"http://h", "b", "2"}}},
      {"none", "HTTP/1.1 200 OK\r\nX: 1\r\n\r\n", false, "", {}},
      {"no equals sign",
       "HTTP/1.1 200 OK\r\nSet-Cookie: flag; secure\r\n\r\n",
       false,
       "flag;",
       {{"http://h", "", "flag; secure"}}},
      {"kept out of the store",
       "HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\n\r\n",
       true,
       "a=1;",
       {}},
      {"a 0x1A byte does not stop the pass",
       std::string("HTTP/1.1 200 OK\r\nSet-Cookie: a=1\x1A; x\r\nSet-Cookie: b=2; y\r\n\r\n"),
       false,
       ";b=2;",
       {{"http://h", "a", "1"}, {"http://h", "b", "2; y"}}},
      {"header name anywhere in the line",
       "HTTP/1.1 200 OK\r\nX-Set-Cookie: q=1; z\r\n\r\n",
       false,
       ": q=1;",
       {{"http://h", ": q", "1; z"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FakeSession session;
    session.rawHeaders = c.raw;
    const FetchRecord out =
        Exchange(session, Record("https://H:8443/x", {.noCookieStore = c.noCookieStore}));
    EXPECT_EQ(Slot(out, 1).view(), c.collected);
    ASSERT_EQ(session.cookies.size(), c.stored.size());
    for (std::size_t i = 0; i < c.stored.size(); ++i) {
      EXPECT_EQ(session.cookies[i].url, c.stored[i].url);
      EXPECT_EQ(session.cookies[i].name, c.stored[i].name);
      EXPECT_EQ(session.cookies[i].data, c.stored[i].data);
    }
    // Cookies are handed to the store only after every handle is closed.
    const auto first = std::find(session.calls.begin(), session.calls.end(), "SetCookie");
    EXPECT_TRUE(first == session.calls.end() || *(first - 1) == "Close1");
  }
}

TEST(WorkerTest, SwitchesAreReadByteForByte) {
  // Only "假" in slot 6 follows redirects; only "真" in slots 7 and 8 switches those off.
  FakeSession session;
  session.rawHeaders = "HTTP/1.1 200 OK\r\nSet-Cookie: a=1\r\n\r\n";
  FetchRecord record = Record("http://h/x");
  record.at(7) = B("false");
  record.at(8) = Text_ToBytes(G("真 "));
  record.at(9) = Text_ToBytes(G("是"));
  Exchange(session, record);
  EXPECT_EQ(session.flags, 0x80004010 | INTERNET_FLAG_NO_AUTO_REDIRECT);
  EXPECT_EQ(session.cookies.size(), 1u);
}

TEST(WorkerTest, AnUnreadableRecordIsLeftAlone) {
  FakeSession session;
  const StreamHandle stream = Stream_Open();
  Stream_WriteBytesList(stream, BytesList{B("http://h/x"), B("GET")});
  Page_FetchWorker(stream, session);
  EXPECT_TRUE(session.calls.empty());
  BytesList two(2);
  Stream_SeekStart(stream);
  ASSERT_TRUE(Stream_ReadBytesList(stream, two));
  EXPECT_EQ(two.at(1).str(), "http://h/x");
  Stream_Close(stream);
}

}  // namespace
}  // namespace quelpath
