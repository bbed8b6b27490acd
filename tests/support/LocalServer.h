// An HTTP or HTTPS server on 127.0.0.1 and a free port, run by cpp-httplib on its own threads
// inside the test process. Every request that reaches a route is recorded as it arrived.
#pragma once

#include <httplib.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/support/TestTls.h"

namespace quelpath::test {

struct SeenRequest {
  std::string method;
  std::string target;  // the request line's path and query
  httplib::Headers headers;
  std::string body;

  // The value of the first header of that name (letter case ignored); empty when absent.
  std::string Header(const std::string& name) const;
  bool Has(const std::string& name) const { return headers.count(name) > 0; }
};

class LocalServer {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

  LocalServer();                                      // HTTP
  explicit LocalServer(const TlsIdentity& identity);  // HTTPS
  ~LocalServer();
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;

  // Routes, before Start.
  void Get(const std::string& pattern, Handler handler);
  void Post(const std::string& pattern, Handler handler);

  void Start();
  int port() const { return port_; }
  // "http://127.0.0.1:port" or "https://..." followed by `path`.
  std::string Url(std::string_view path) const;
  std::vector<SeenRequest> Seen() const;
  // The last request; an empty one when none came.
  SeenRequest Last() const;

 private:
  Handler Recorded(Handler handler);

  std::unique_ptr<httplib::Server> server_;
  bool secure_;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<SeenRequest> seen_;
};

}  // namespace quelpath::test
