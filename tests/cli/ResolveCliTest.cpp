// quelpath-resolve run as a subprocess against a real server on 127.0.0.1.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/LocalProxy.h"
#include "tests/support/LocalServer.h"

namespace quelpath::test {
namespace {

struct Result {
  std::string out, err;
  int status = -1;
};

std::string Quoted(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

Result Resolve(const std::vector<std::string>& args, const std::string& input = "") {
  const auto dir = std::filesystem::temp_directory_path() /
                   ("quelpath-cli-" + std::to_string(::getpid()) + "-" +
                    std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "in", std::ios::binary) << input;
  std::string command = QUELPATH_RESOLVE;
  for (const std::string& a : args) command += " " + Quoted(a);
  command += " < " + Quoted(dir / "in") + " > " + Quoted(dir / "out") + " 2> " +
             Quoted(dir / "err");
  const int raw = std::system(command.c_str());
  Result r{Slurp(dir / "out"), Slurp(dir / "err"), WIFEXITED(raw) ? WEXITSTATUS(raw) : -1};
  std::filesystem::remove_all(dir);
  return r;
}

// A share page (UTF-8, as served) whose download anchor points at `link`.
std::string SharePage(const std::string& link) {
  return "<p>转存到我的百度云</p><a href=\"" + link + "\">下载</a>";
}

class ResolveCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Get(R"(/page/(\w+))", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(SharePage("https://d.example/" + req.matches[1].str() + "?a=1&amp;b=2"),
                      "text/html; charset=utf-8");
    });
    server_.Get("/plain", [](const httplib::Request&, httplib::Response& res) {
      res.set_content("no markers here", "text/html");
    });
    server_.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
      std::this_thread::sleep_for(std::chrono::seconds(3));
      res.set_content(SharePage("late"), "text/html");
    });
    server_.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
      res.set_redirect("/page/moved");
    });
    server_.Get("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(SharePage(req.get_header_value("X-Test") + req.get_header_value("Cookie")),
                      "text/html");
    });
    server_.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(SharePage("posted-" + req.body), "text/html");
    });
    server_.Start();
  }
  std::string Url(const std::string& path) { return server_.Url(path); }

  LocalServer server_;
};

TEST_F(ResolveCliTest, StandardInputGivesOneLinkALineInOrder) {
  const Result r = Resolve({}, "\xEF\xBB\xBF" + Url("/page/one") + "\r\n" + Url("/page/two") + "\r\n");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "https://d.example/one?a=1&b=2\nhttps://d.example/two?a=1&b=2\n");
  EXPECT_EQ(r.err, "");  // progress only on a terminal
}

TEST_F(ResolveCliTest, JsonNamesEveryStatusAndTheExitCodeTellsOfMisses) {
  const Result r = Resolve({"--format", "json", "--timeout", "1", Url("/page/ok"), Url("/plain"),
                            "", "http://127.0.0.1:1/refused", Url("/slow")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            "{\"address\":\"" + Url("/page/ok") +
                "\",\"link\":\"https://d.example/ok?a=1&b=2\",\"status\":\"ok\"}\n"
                "{\"address\":\"" + Url("/plain") + "\",\"link\":\"\",\"status\":\"no link\"}\n"
                "{\"address\":\"\",\"link\":\"\",\"status\":\"empty\"}\n"
                "{\"address\":\"http://127.0.0.1:1/refused\",\"link\":\"\",\"status\":\"empty\"}\n"
                "{\"address\":\"" + Url("/slow") + "\",\"link\":\"\",\"status\":\"time-out\"}\n");
}

TEST_F(ResolveCliTest, WindowFormatIsTheLowerBoxText) {
  const Result r = Resolve({"--format", "window", Url("/page/a"), "", Url("/plain")});
  EXPECT_EQ(r.status, 1);  // the blank line does not count, the page without a link does
  EXPECT_EQ(r.out, "https://d.example/a?a=1&b=2\r\n\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(ResolveCliTest, BlankLinesAloneStillSucceed) {
  const Result r = Resolve({Url("/page/a"), ""});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "https://d.example/a?a=1&b=2\n");  // a trailing blank line is trimmed away
}

TEST_F(ResolveCliTest, OptionsReachTheServer) {
  EXPECT_EQ(Resolve({"--header", "X-Test: hdr", "--cookie", "c=1", Url("/echo")}).out, "hdrc=1\n");
  EXPECT_EQ(Resolve({"--data", "k=v", Url("/echo")}).out, "posted-k=v\n");
  EXPECT_EQ(server_.Last().method, "POST");
  EXPECT_EQ(Resolve({Url("/moved")}).out, "https://d.example/moved?a=1&b=2\n");
  const Result kept = Resolve({"--no-redirect", Url("/moved")});
  EXPECT_EQ(kept.out, "\n");
  EXPECT_EQ(kept.status, 1);

  LocalProxy proxy;
  EXPECT_EQ(Resolve({"--proxy", proxy.Address(), Url("/page/via")}).out,
            "https://d.example/via?a=1&b=2\n");
  EXPECT_NE(server_.Last().Header("Via"), "");  // tinyproxy marks what it forwards
}

TEST_F(ResolveCliTest, UsageErrorsExitWithTwoAndNameTheOption) {
  const Result r = Resolve({"--frobnicate"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "quelpath-resolve: unknown option --frobnicate (see --help)\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Resolve({"--help"}).status, 0);
  EXPECT_NE(Resolve({"--version"}).out.find("quelpath-resolve "), std::string::npos);
}

}  // namespace
}  // namespace quelpath::test
