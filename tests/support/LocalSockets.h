// Loopback endpoints that misbehave on purpose, on raw sockets.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace quelpath::test {

// A port on 127.0.0.1 that nothing has bound: handed out and released at once.
int FreePort();

// A server that accepts every connection and never answers. It notices when a client goes.
class SilentServer {
 public:
  SilentServer();
  ~SilentServer();
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  int port() const { return port_; }
  int accepted() const;
  // Waits until `count` accepted connections were closed by their clients; false when the
  // guard passed first (a hang guard, not a measure).
  bool WaitForClosed(int count, std::chrono::seconds guard = std::chrono::seconds(30));

 private:
  void Run();

  int listener_ = -1;
  int wakeRead_ = -1, wakeWrite_ = -1;
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  int accepted_ = 0;
  int closed_ = 0;
};

// A listening port whose accept queue is full, so that a new connection stays in its
// handshake: a connect that never completes.
class StalledServer {
 public:
  StalledServer();
  ~StalledServer();
  StalledServer(const StalledServer&) = delete;
  StalledServer& operator=(const StalledServer&) = delete;
  int port() const { return port_; }

 private:
  int listener_ = -1;
  int filler_ = -1;
  int port_ = 0;
};

// A port bound on 127.0.0.1 without listening: connections to it are refused.
class RefusedPort {
 public:
  RefusedPort();
  ~RefusedPort();
  RefusedPort(const RefusedPort&) = delete;
  RefusedPort& operator=(const RefusedPort&) = delete;
  int port() const { return port_; }

 private:
  int socket_ = -1;
  int port_ = 0;
};

}  // namespace quelpath::test
