// The exchange's header composition and cookie pass on arbitrary extra headers, cookies and raw
// response headers, through a session that answers with the fuzzer's bytes.
// Input: [flags] extra headers \0 cookies \0 raw response headers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "fetch/Http.h"
#include "fetch/Page.h"
#include "text/Stream.h"
#include "text/Text.h"

namespace {
using namespace quelpath;

class ScriptedSession : public HttpSession {
 public:
  explicit ScriptedSession(Text rawHeaders) : rawHeaders_(std::move(rawHeaders)) {}
  HttpHandle Open(const Text&, HttpAccess, const Text&) override { return HttpHandle{1}; }
  HttpHandle Connect(HttpHandle, const Text&, uint16_t port) override {
    if (port == 0) std::abort();
    return HttpHandle{2};
  }
  HttpHandle OpenRequest(HttpHandle, const Text&, const Text& path, const Text&,
                         HttpFlags) override {
    if (path.empty() || path.view()[0] != '/') std::abort();
    return HttpHandle{3};
  }
  bool Send(HttpHandle, const Text&, const Bytes&) override { return true; }
  int QueryDataAvailable(HttpHandle) override { return body_ ? 5 : 0; }
  int ReadFile(HttpHandle, std::span<char> buffer) override {
    if (!body_ || buffer.size() < 5) return 0;
    body_ = false;
    std::memcpy(buffer.data(), "hello", 5);
    return 5;
  }
  Text QueryRawHeaders(HttpHandle) override { return rawHeaders_; }
  void Close(HttpHandle) override {}
  bool SetCookie(const Text& url, const Text&, const Text&) override {
    if (url.view().substr(0, 7) != "http://") std::abort();
    return true;
  }

 private:
  Text rawHeaders_;
  bool body_ = true;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  auto piece = [&rest] {
    const std::size_t nul = rest.find('\0');
    const std::string_view p = rest.substr(0, nul);
    rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    return Text(p);
  };
  FetchOptions options;
  options.extraHeaders = piece();
  options.cookies = piece();
  options.method = flags & 1;
  if (flags & 2) options.postData = Bytes(std::string_view("k=v"));
  options.noCookieStore = flags & 4;
  options.noSystemCookies = flags & 8;
  options.noRedirect = flags & 16;
  const Text raw(rest);

  const FetchRecord request =
      Page_MakeRecord(Text(flags & 32 ? "https://h.example/a?b" : "http://h.example:8080/x"),
                      options);
  const StreamHandle stream = Stream_Open();
  Stream_WriteBytesList(stream, request);
  ScriptedSession session(raw);
  Page_FetchWorker(stream, session);
  Stream_SeekStart(stream);
  FetchRecord response(9);
  if (!Stream_ReadBytesList(stream, response)) std::abort();
  Stream_Close(stream);
  // Slot 1 (member 2): the collected cookies, which come out of the raw headers.
  if (response.at(2).view().size() > raw.view().size() + 1) std::abort();
  return 0;
}
