// The HTTP session on libcurl. Every exchange shares one process-wide cookie store; a stop
// request ends a transfer in progress within milliseconds, in any phase.
#pragma once

#include <memory>
#include <stop_token>
#include <vector>

#include "fetch/Http.h"

namespace quelpath {

class CurlSession final : public HttpSession {
 public:
  // The largest body kept; a longer one is cut there and the exchange completes with it.
  static constexpr std::size_t kBodyLimit = std::size_t{64} << 20;
  // The largest header block; a response with more fails.
  static constexpr std::size_t kHeaderLimit = std::size_t{1} << 20;

  explicit CurlSession(std::stop_token stop = {});
  ~CurlSession() override;
  CurlSession(const CurlSession&) = delete;
  CurlSession& operator=(const CurlSession&) = delete;

  HttpHandle Open(const Text& agent, HttpAccess access, const Text& proxyList) override;
  HttpHandle Connect(HttpHandle internet, const Text& host, uint16_t port) override;
  HttpHandle OpenRequest(HttpHandle connection, const Text& method, const Text& path,
                         const Text& version, HttpFlags flags) override;
  bool Send(HttpHandle request, const Text& headers, const Bytes& data) override;
  int QueryDataAvailable(HttpHandle request) override;
  int ReadFile(HttpHandle request, std::span<char> buffer) override;
  Text QueryRawHeaders(HttpHandle request) override;
  void Close(HttpHandle handle) override;
  bool SetCookie(const Text& url, const Text& name, const Text& data) override;

  // Why the last Send of this session failed: curl's code and message; empty after success.
  const std::string& LastError() const { return lastError_; }

  struct Object;  // an open handle's state

 private:
  Object* Find(HttpHandle handle, int kind);

  std::stop_token stop_;
  std::vector<std::unique_ptr<Object>> objects_;  // handle id k names objects_[k - 1]
  std::string lastError_;
};

}  // namespace quelpath
