// The fetch call: the record it sends, the address it completes, the wait and its time-out,
// and what it hands back.
#include <gtest/gtest.h>

#include <climits>
#include <mutex>
#include <vector>

#include "fetch/Literals.h"
#include "fetch/Page.h"
#include "fetch/Wait.h"
#include "tests/fetch/Workers.h"
#include "tests/support/Gbk.h"
#include "tests/support/LocalServer.h"
#include "tests/support/LocalSockets.h"
#include "text/Bytes.h"
#include "text/Events.h"
#include "text/Text.h"

namespace quelpath {
namespace {
using test::B;
using test::Fetch;
using test::G;
using test::T;

const std::string kMessage = lit::kTimeoutMessage.text().str();

// Installs a wait service for one test.
class ScopedWait {
 public:
  explicit ScopedWait(std::shared_ptr<WaitService> service)
      : previous_(Wait_Install(std::move(service))) {}
  ~ScopedWait() { Wait_Install(previous_); }

 private:
  std::shared_ptr<WaitService> previous_;
};

// Reports `others` wake-ups by window events first, then waits as the headless one does; it
// records the time-out of every pass.
class EventfulWait : public WaitService {
 public:
  explicit EventfulWait(int others) : others_(others), inner_(Wait_Service()) {}
  WaitOutcome Wait(const std::atomic<bool>& ended, int32_t timeoutMs) override {
    timeouts.push_back(timeoutMs);
    if (others_-- > 0) return WaitOutcome::Other;
    return inner_->Wait(ended, timeoutMs);
  }
  void Wake() override { inner_->Wake(); }
  std::vector<int32_t> timeouts;  // only the fetch's own thread touches it

 private:
  int others_;
  std::shared_ptr<WaitService> inner_;
};

// Notices the worker's end only once the whole time-out has passed: a worker that ended
// after the deadline but before the wait saw it.
class LateWait : public WaitService {
 public:
  WaitOutcome Wait(const std::atomic<bool>& ended, int32_t timeoutMs) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
    while (!ended.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return WaitOutcome::Ended;
  }
  void Wake() override {}
};

class FetchCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Get("/page", [](const httplib::Request&, httplib::Response& res) {
      res.set_header("Set-Cookie", "call=1; path=/call");
      res.set_content("page", "text/html");
    });
    server_.Get("/utf8", [](const httplib::Request&, httplib::Response& res) {
      res.set_content(std::string("\xE4\xB8\xAD\xE6\x96\x87\0tail", 11), "text/plain");
    });
    server_.Get("/big5", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("\xA4\xA4\xA4\xE5", "text/plain");  // 中文 in Big5
    });
    server_.Get("/empty", [](const httplib::Request&, httplib::Response&) {});
    server_.Start();
  }
  void TearDown() override { EXPECT_TRUE(test::WaitForWorkers()); }

  test::LocalServer server_;
};

TEST(FetchRecordTest, RequestRecordTable) {
  const Text yes = G("真"), no = G("假");
  const FetchRecord full =
      Page_MakeRecord(T("http://h/x"), {.method = 1,
                                        .proxy = T("p:1"),
                                        .extraHeaders = T("X: 1\r\n"),
                                        .postData = B(std::string_view("a\0b", 3)),
                                        .cookies = T("c=1"),
                                        .noRedirect = true,
                                        .noCookieStore = false,
                                        .noSystemCookies = true});
  const std::vector<std::string> want = {
      "http://h/x", "POST",    "p:1",    "X: 1\r\n", std::string("a\0b", 3),
      "c=1",        yes.str(), no.str(), yes.str()};
  ASSERT_EQ(full.count(), kFetchSlots);
  for (int k = 0; k < kFetchSlots; ++k) EXPECT_EQ(full.at(k + 1).str(), want[k]) << k;

  for (int method : {0, 2, -1}) {
    SCOPED_TRACE(method);
    const FetchRecord record = Page_MakeRecord(T("http://h/x"), {.method = method});
    EXPECT_EQ(record.at(2).str(), "GET");
    for (int k : {2, 3, 4, 5}) EXPECT_TRUE(record.at(k + 1).empty()) << k;
    for (int k : {6, 7, 8}) EXPECT_EQ(record.at(k + 1).str(), no.str()) << k;
  }
}

TEST(FetchRecordTest, FixedTextsHaveTheirLengths) {
  EXPECT_EQ(lit::kUserAgent.text().length(), 119);
  EXPECT_EQ(lit::kTimeoutMessage.text().length(), 94);
  EXPECT_EQ(lit::kLanguageLine.text().view(), "Accept-Language: zh-cn\r\n");
}

TEST_F(FetchCallTest, BlankAddressesFetchNothing) {
  for (const char* blank : {"", "   "}) {
    Text address = T(blank);
    EXPECT_TRUE(Page_Fetch(address, {.超时返回 = 0}).empty());
    EXPECT_EQ(address.view(), blank);
  }
  EXPECT_TRUE(server_.Seen().empty());
}

TEST_F(FetchCallTest, AddressIsTrimmedAndCompleted) {
  const std::string hostPort = "127.0.0.1:" + std::to_string(server_.port());
  struct Case {
    std::string given, sent;
  } cases[] = {
      {hostPort + "/page", "http://" + hostPort + "/page"},
      {"  http://" + hostPort + "/page ", "http://" + hostPort + "/page"},
      {"HTTP://" + hostPort + "/page", "HTTP://" + hostPort + "/page"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    Text address(c.given);
    EXPECT_EQ(Page_Fetch(address).str(), "page");
    EXPECT_EQ(address.str(), c.sent);
    EXPECT_EQ(server_.Last().Header("Referer"), c.sent);
  }
}

TEST_F(FetchCallTest, TimeOutsOfNoneOrLessAnswerWithTheMessage) {
  for (int seconds : {0, -1, INT_MIN}) {
    SCOPED_TRACE(seconds);
    Text address(server_.Url("/page"));
    Text headers = T("unchanged");
    EXPECT_EQ(
        Page_Fetch(address, {.超时返回 = seconds, .responseHeaders = &headers, .conversion = 1})
            .str(),
        kMessage);
    EXPECT_EQ(headers.view(), "unchanged");
  }
}

TEST_F(FetchCallTest, AHugeTimeOutIsClampedNotWrapped) {
  EXPECT_EQ(Fetch(server_.Url("/page"), {.超时返回 = INT_MAX}).str(), "page");
}

TEST_F(FetchCallTest, AWorkerEndingAfterTheDeadlineStillTimesOut) {
  ScopedWait late(std::make_shared<LateWait>());
  EXPECT_EQ(Fetch(server_.Url("/page"), {.超时返回 = 1}).str(), kMessage);
}

TEST_F(FetchCallTest, WindowEventsAreProcessedAfterEveryWakeUp) {
  auto wait = std::make_shared<EventfulWait>(2);
  ScopedWait installed(wait);
  int pumps = 0;
  const EventPump previous = Events_Install([&pumps] { ++pumps; });
  EXPECT_EQ(Fetch(server_.Url("/page")).str(), "page");
  Events_Install(previous);
  EXPECT_EQ(pumps, 3);
  ASSERT_EQ(wait->timeouts.size(), 3u);
  // Each pass waits for what remains of the 60 s, never for a fresh time-out.
  EXPECT_LE(wait->timeouts[0], 60000);
  EXPECT_LE(wait->timeouts[1], wait->timeouts[0]);
  EXPECT_LE(wait->timeouts[2], wait->timeouts[1]);
}

TEST_F(FetchCallTest, OutParametersReceiveHeadersAndCookies) {
  Text headers, cookies;
  EXPECT_EQ(
      Fetch(server_.Url("/page"), {.responseHeaders = &headers, .responseCookies = &cookies}).str(),
      "page");
  EXPECT_EQ(Text_Find(headers, T("HTTP/1.1 200")), 1);
  EXPECT_NE(Text_Find(headers, T("Set-Cookie: call=1; path=/call\r\n")), -1);
  EXPECT_EQ(cookies.view(), "call=1;");
}

TEST_F(FetchCallTest, AFailedExchangeGivesEmptyOutParameters) {
  test::RefusedPort refused;
  Text headers = T("x"), cookies = T("y");
  EXPECT_TRUE(Fetch("http://127.0.0.1:" + std::to_string(refused.port()) + "/",
                    {.cookies = T("c=1"), .responseHeaders = &headers, .responseCookies = &cookies})
                  .empty());
  EXPECT_TRUE(headers.empty());
  EXPECT_TRUE(cookies.empty());
}

TEST_F(FetchCallTest, ConversionTable) {
  struct Case {
    const char* path;
    int conversion;
    std::string want;
  } cases[] = {
      {"/utf8", 0, std::string("\xE4\xB8\xAD\xE6\x96\x87\0tail", 11)},  // NUL bytes kept
      {"/utf8", 3, std::string("\xE4\xB8\xAD\xE6\x96\x87\0tail", 11)},
      {"/utf8", 1, G("中文").str()},  // cut at the NUL, then converted
      {"/big5", 2, G("中文").str()},
      {"/empty", 1, ""},
      {"/empty", 2, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " " + std::to_string(c.conversion));
    EXPECT_EQ(Fetch(server_.Url(c.path), {.conversion = c.conversion}).str(), c.want);
  }
}

TEST_F(FetchCallTest, ASilentServerTimesOutAndTheTransferLetsGo) {
  test::SilentServer silent;
  EXPECT_EQ(Fetch("http://127.0.0.1:" + std::to_string(silent.port()) + "/", {.超时返回 = 1}).str(),
            kMessage);
  EXPECT_TRUE(silent.WaitForClosed(1));  // the given-up worker closed its connection
}

TEST_F(FetchCallTest, AConnectThatNeverCompletesTimesOutAndEnds) {
  test::StalledServer stalled;
  EXPECT_EQ(
      Fetch("http://127.0.0.1:" + std::to_string(stalled.port()) + "/", {.超时返回 = 1}).str(),
      kMessage);
  EXPECT_TRUE(test::WaitForWorkers());
}

}  // namespace
}  // namespace quelpath
