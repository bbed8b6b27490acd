// A real HTTP proxy for the tests: tinyproxy, started on 127.0.0.1 and a free port with a
// configuration in a temporary folder, in the foreground, and stopped with the object. It
// tunnels (CONNECT) to port 1 only, so a secure hop that wrongly went through it fails.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace quelpath::test {

class LocalProxy {
 public:
  LocalProxy();
  ~LocalProxy();
  LocalProxy(const LocalProxy&) = delete;
  LocalProxy& operator=(const LocalProxy&) = delete;

  int port() const { return port_; }
  // "127.0.0.1:port", as a proxy setting.
  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // What the proxy has logged so far.
  std::string Log() const;

 private:
  std::filesystem::path dir_;
  int port_ = 0;
  pid_t pid_ = -1;
};

}  // namespace quelpath::test
