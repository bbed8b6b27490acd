// Exchanges with real servers on 127.0.0.1: what the server sees, what comes back, the cookie
// store shared by all exchanges, TLS, the proxy, and servers that misbehave.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <thread>

#include "fetch/CurlSession.h"
#include "fetch/Literals.h"
#include "fetch/Page.h"
#include "tests/fetch/Workers.h"
#include "tests/support/Gbk.h"
#include "tests/support/LocalProxy.h"
#include "tests/support/LocalServer.h"
#include "tests/support/LocalSockets.h"
#include "tests/support/TestTls.h"
#include "text/Text.h"

namespace quelpath {
namespace {
using test::B;
using test::Fetch;
using test::T;

// The fetch reads SSL_CERT_FILE once, so the test authority is made before any test runs.
class TrustTestAuthority : public ::testing::Environment {
 public:
  void SetUp() override { test::TestTls_TrustTestAuthority(); }
};
[[maybe_unused]] ::testing::Environment* const kTrust =
    ::testing::AddGlobalTestEnvironment(new TrustTestAuthority);

// Compared without printing: a body that is not the message may be megabytes long.
bool IsTimeoutMessage(const Bytes& body) {
  return body.view() == lit::kTimeoutMessage.text().view();
}

// A server's body provider that never ends; it tells when its client has gone.
class EndlessBody {
 public:
  // A trickle that outlasts any short time-out, or a flood that fills any limit.
  httplib::ContentProviderWithoutLength Provider(bool flood) {
    return [this, flood](size_t, httplib::DataSink& sink) {
      const std::string chunk(flood ? 256 * 1024 : 1024, 'e');
      if (!flood) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (sink.write(chunk.data(), chunk.size())) return true;
      std::lock_guard lock(mutex_);
      gone_ = true;
      changed_.notify_all();
      return false;
    };
  }
  bool WaitUntilGone() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return gone_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool gone_ = false;
};

// Routes shared by the HTTP and HTTPS servers.
void AddRoutes(test::LocalServer& server, EndlessBody& endless) {
  server.Get("/page", [](const httplib::Request&, httplib::Response& res) {
    res.set_content("page", "text/html");
  });
  server.Get(R"(/hop/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
    const int left = std::stoi(req.matches[1]);
    if (left == 0) return res.set_content("arrived", "text/plain");
    res.set_redirect("/hop/" + std::to_string(left - 1));
  });
  server.Post("/moved", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/page", 302);
  });
  server.Post("/kept", [](const httplib::Request&, httplib::Response& res) {
    res.set_redirect("/echo", 307);
  });
  server.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(req.body, "text/plain");
  });
  server.Get(R"(/c/set/(.*))", [](const httplib::Request& req, httplib::Response& res) {
    res.set_header("Set-Cookie", httplib::detail::decode_url(req.matches[1], false));
    res.set_content("set", "text/plain");
  });
  server.Get(R"(/c(/p)?/cookies)", [](const httplib::Request& req, httplib::Response& res) {
    res.set_content(req.get_header_value("Cookie"), "text/plain");
  });
  server.Get("/nul", [](const httplib::Request&, httplib::Response& res) {
    std::string body(1 << 20, '\0');
    for (std::size_t i = 0; i < body.size(); i += 3) body[i] = static_cast<char>('a' + i % 26);
    res.set_content(body, "application/octet-stream");
  });
  server.Get("/long-headers", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("X-Long", std::string(3000, 'h'));
    res.set_header("Set-Cookie", "late=1; path=/late");
    res.set_content("long", "text/plain");
  });
  server.Get("/endless", [&endless](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", endless.Provider(false));
  });
  server.Get("/flood", [&endless](const httplib::Request&, httplib::Response& res) {
    res.set_chunked_content_provider("application/octet-stream", endless.Provider(true));
  });
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AddRoutes(http_, endless_);
    http_.Start();
  }
  void TearDown() override { EXPECT_TRUE(test::WaitForWorkers()); }

  EndlessBody endless_;
  test::LocalServer http_;
};

TEST_F(ExchangeTest, PlainGetCarriesTheDefaultHeaders) {
  Text headers;
  EXPECT_EQ(Fetch(http_.Url("/page?q=1"), {.responseHeaders = &headers}).str(), "page");
  const test::SeenRequest seen = http_.Last();
  EXPECT_EQ(seen.method, "GET");
  EXPECT_EQ(seen.target, "/page?q=1");
  EXPECT_EQ(seen.Header("User-Agent"), lit::kUserAgent.text().str());
  const std::string accept = lit::kAcceptLine.text().str();
  EXPECT_EQ(seen.Header("Accept"), accept.substr(8, accept.size() - 10));
  EXPECT_EQ(seen.Header("Referer"), http_.Url("/page?q=1"));
  EXPECT_EQ(seen.Header("Accept-Language"), "zh-cn");
  EXPECT_FALSE(seen.Has("Cookie"));
  EXPECT_FALSE(seen.Has("Content-Length"));
  EXPECT_EQ(Text_Find(headers, T("HTTP/1.1 200 OK\r\n")), 1);
  EXPECT_EQ(Text_Right(headers, 4).view(), "\r\n\r\n");
}

TEST_F(ExchangeTest, RedirectsAreFollowedUpToTwentyHops) {
  struct Case {
    const char* path;
    FetchOptions options;
    const char* body;
    const char* status;
  } cases[] = {
      {"/hop/1", {}, "arrived", "HTTP/1.1 200"},
      {"/hop/20", {}, "arrived", "HTTP/1.1 200"},
      {"/hop/21", {}, "", ""},  // one hop too many: the exchange fails
      {"/hop/1", {.noRedirect = true}, "", "HTTP/1.1 302"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.path);
    Text headers;
    c.options.responseHeaders = &headers;
    EXPECT_EQ(Fetch(http_.Url(c.path), c.options).str(), c.body);
    EXPECT_EQ(Text_Left(headers, 12).view(), c.status);
  }
}

TEST_F(ExchangeTest, PostSendsItsBodyAndBecomesGetOnAFoundRedirect) {
  EXPECT_EQ(Fetch(http_.Url("/echo"), {.method = 1, .postData = B("a=1&b")}).str(), "a=1&b");
  test::SeenRequest seen = http_.Last();
  EXPECT_EQ(seen.method, "POST");
  EXPECT_EQ(seen.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(seen.Header("Content-Length"), "5");
  EXPECT_FALSE(seen.Has("Expect"));

  EXPECT_EQ(Fetch(http_.Url("/echo"), {.method = 1}).str(), "");
  seen = http_.Last();
  EXPECT_EQ(seen.method, "POST");
  EXPECT_FALSE(seen.Has("Content-Type"));

  EXPECT_EQ(Fetch(http_.Url("/moved"), {.method = 1, .postData = B("x=1")}).str(), "page");
  seen = http_.Last();
  EXPECT_EQ(seen.method, "GET");
  EXPECT_FALSE(seen.Has("Content-Length"));
  EXPECT_FALSE(seen.Has("Content-Type"));

  EXPECT_EQ(Fetch(http_.Url("/kept"), {.method = 1, .postData = B("y=2")}).str(), "y=2");
}

// Cookies live under /c, so that they reach no other test's requests in the same process.
bool Sends(const std::string& cookieHeader, const std::string& cookie) {
  return ("; " + cookieHeader + ";").find("; " + cookie + ";") != std::string::npos;
}

TEST_F(ExchangeTest, CookiesSetByOneExchangeAreSentByTheNext) {
  Text collected;
  Fetch(http_.Url("/c/set/one%3D1%3B%20path%3D%2Fc"), {.responseCookies = &collected});
  EXPECT_EQ(collected.view(), "one=1;");
  EXPECT_TRUE(Sends(Fetch(http_.Url("/c/cookies")).str(), "one=1"));
  // Own cookies keep the store out, both ways.
  EXPECT_EQ(Fetch(http_.Url("/c/cookies"), {.cookies = T("mine=2")}).str(), "mine=2");
  EXPECT_EQ(Fetch(http_.Url("/c/cookies"), {.noSystemCookies = true}).str(), "");
}

TEST_F(ExchangeTest, TheCookiePassStoresWhatTheStoreWasKeptOutOf) {
  // Without the library's own cookie handling, the cookie pass alone puts cookies in the store.
  struct Case {
    const char* label;
    const char* cookie;
    const char* attributes;
    FetchOptions options;
    bool atC, atP;
  } cases[] = {
      {"host-only", "a1=1", "%3B%20path%3D%2Fc", {.noSystemCookies = true}, true, true},
      {"with a path", "a2=2", "%3B%20path%3D%2Fc%2Fp", {.noSystemCookies = true}, false, true},
      {"expiring later",
       "a3=3",
       "%3B%20path%3D%2Fc%3B%20max-age%3D600",
       {.noSystemCookies = true},
       true,
       true},
      {"kept out entirely",
       "a4=4",
       "%3B%20path%3D%2Fc",
       {.noCookieStore = true, .noSystemCookies = true},
       false,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const std::string name = std::string(c.cookie).substr(0, 2);
    Fetch(http_.Url("/c/set/" + name + "%3D" + std::string(c.cookie).substr(3) + c.attributes),
          c.options);
    EXPECT_EQ(Sends(Fetch(http_.Url("/c/cookies")).str(), c.cookie), c.atC);
    EXPECT_EQ(Sends(Fetch(http_.Url("/c/p/cookies")).str(), c.cookie), c.atP);
    // Removed again through the pass as well: an expiry in the past deletes.
    Fetch(http_.Url("/c/set/" + name + "%3Dx" + c.attributes + "%3B%20max-age%3D0"),
          {.noSystemCookies = true});
    EXPECT_EQ(Fetch(http_.Url("/c/p/cookies")).str().find(name + "="), std::string::npos);
  }
}

TEST_F(ExchangeTest, AnExpiryDateInThePastDeletes) {
  Fetch(http_.Url("/c/set/old%3D1%3B%20path%3D%2Fc"));
  ASSERT_TRUE(Sends(Fetch(http_.Url("/c/cookies")).str(), "old=1"));
  Fetch(
      http_.Url(
          "/c/set/"
          "old%3D1%3B%20path%3D%2Fc%3B%20expires%3DThu%2C%2001%20Jan%201970%2000%3A00%3A01%20GMT"),
      {.noSystemCookies = true});
  EXPECT_FALSE(Sends(Fetch(http_.Url("/c/cookies")).str(), "old=1"));
}

TEST_F(ExchangeTest, BodiesComeBackWholeWithTheirNulBytes) {
  const std::string body = Fetch(http_.Url("/nul")).str();
  ASSERT_EQ(body.size(), std::size_t{1} << 20);
  for (std::size_t i = 0; i < body.size(); ++i) {
    ASSERT_EQ(body[i], i % 3 == 0 ? static_cast<char>('a' + i % 26) : '\0') << i;
  }
}

TEST_F(ExchangeTest, RawHeadersOverTwoKilobytesComeBackWhole) {
  Text headers, cookies;
  EXPECT_EQ(
      Fetch(http_.Url("/long-headers"), {.responseHeaders = &headers, .responseCookies = &cookies})
          .str(),
      "long");
  EXPECT_GT(headers.length(), 3000);
  EXPECT_NE(Text_Find(headers, T("X-Long: " + std::string(3000, 'h') + "\r\n")), -1);
  EXPECT_EQ(cookies.view(), "late=1;");
}

TEST_F(ExchangeTest, AnEndlessBodyTimesOutAndTheTransferLetsGo) {
  EXPECT_TRUE(IsTimeoutMessage(Fetch(http_.Url("/endless"), {.超时返回 = 1})));
  EXPECT_TRUE(endless_.WaitUntilGone());
}

TEST_F(ExchangeTest, ABodyIsCutAtItsLimit) {
  EXPECT_EQ(Fetch(http_.Url("/flood"), {.超时返回 = 600}).view().size(), CurlSession::kBodyLimit);
  EXPECT_TRUE(endless_.WaitUntilGone());
}

TEST_F(ExchangeTest, NothingThatWouldBreakALineReachesTheServer) {
  struct Case {
    const char* label;
    std::string address;
    FetchOptions options;
  } cases[] = {
      {"line end in the path", http_.Url("/page\r\nX-Injected: 1"), {}},
      {"line end in the port", "http://127.0.0.1:8\r\n0/page", {}},
      {"bare line feed in a header line",
       http_.Url("/page"),
       {.extraHeaders = T("X: a\nY: b\r\n")}},
      {"a user in the host", "http://x@127.0.0.1:" + std::to_string(http_.port()) + "/page", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_TRUE(Fetch(c.address, c.options).empty());
  }
  EXPECT_TRUE(http_.Seen().empty());
}

TEST_F(ExchangeTest, ARefusedPortGivesAnEmptyBody) {
  test::RefusedPort refused;
  EXPECT_TRUE(Fetch("http://127.0.0.1:" + std::to_string(refused.port()) + "/").empty());
}

class SecureExchangeTest : public ExchangeTest {
 protected:
  void SetUp() override {
    AddRoutes(https_, secureEndless_);
    https_.Start();
    AddRoutes(http_, endless_);
    http_.Get("/to-secure", [this](const httplib::Request&, httplib::Response& res) {
      res.set_redirect(https_.Url("/page"));
    });
    http_.Start();
  }
  EndlessBody secureEndless_;
  test::LocalServer https_{test::TestTls_ServerIdentity()};
};

TEST_F(SecureExchangeTest, TrustedCertificateOnItsOwnPort) {
  Text headers;
  EXPECT_EQ(Fetch(https_.Url("/hop/2"), {.responseHeaders = &headers}).str(), "arrived");
  EXPECT_EQ(https_.Last().Header("Referer"), https_.Url("/hop/2"));
  EXPECT_EQ(Text_Left(headers, 12).view(), "HTTP/1.1 200");
}

TEST_F(SecureExchangeTest, AnUnknownCertificateGivesAnEmptyBody) {
  test::LocalServer unknown{test::TestTls_UnknownIdentity()};
  AddRoutes(unknown, secureEndless_);
  unknown.Start();
  EXPECT_TRUE(Fetch(unknown.Url("/page")).empty());
  EXPECT_TRUE(unknown.Seen().empty());
}

TEST_F(SecureExchangeTest, AnEndlessSecureBodyTimesOut) {
  EXPECT_TRUE(IsTimeoutMessage(Fetch(https_.Url("/endless"), {.超时返回 = 1})));
  EXPECT_TRUE(secureEndless_.WaitUntilGone());
}

TEST_F(SecureExchangeTest, TheProxyServesHttpHopsOnly) {
  test::LocalProxy proxy;
  // The redirect from http to https is followed, and the secure hop goes direct: the proxy
  // would refuse to tunnel to the https port.
  struct Case {
    std::string address;
    const char* body;
    bool viaProxy;
  } cases[] = {
      {http_.Url("/page"), "page", true},
      {https_.Url("/page"), "page", false},
      {http_.Url("/to-secure"), "page", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    EXPECT_EQ(Fetch(c.address, {.proxy = T(proxy.Address())}).str(), c.body);
  }
  const std::vector<test::SeenRequest> plain = http_.Seen();
  ASSERT_EQ(plain.size(), 2u);
  for (const test::SeenRequest& seen : plain) {
    EXPECT_NE(seen.Header("Via").find("tinyproxy"), std::string::npos) << seen.target;
  }
  for (const test::SeenRequest& seen : https_.Seen()) EXPECT_FALSE(seen.Has("Via"));
  EXPECT_EQ(https_.Seen().size(), 2u);
  const std::string log = proxy.Log();
  EXPECT_NE(log.find("GET " + http_.Url("/to-secure")), std::string::npos);
  EXPECT_EQ(log.find("CONNECT 127"), std::string::npos);
}

}  // namespace
}  // namespace quelpath
