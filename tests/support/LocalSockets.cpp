#include "tests/support/LocalSockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace quelpath::test {
namespace {

// A TCP socket bound to 127.0.0.1 on a free port; listening with `backlog` unless negative.
int Bound(int backlog, int* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      (backlog >= 0 && ::listen(fd, backlog) != 0) ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    throw std::runtime_error("bind");
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

}  // namespace

int FreePort() {
  int port = 0;
  ::close(Bound(-1, &port));
  return port;
}

SilentServer::SilentServer() {
  listener_ = Bound(16, &port_);
  int pipe[2];
  if (::pipe2(pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  wakeRead_ = pipe[0];
  wakeWrite_ = pipe[1];
  thread_ = std::thread([this] { Run(); });
}

SilentServer::~SilentServer() {
  const char stop = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeWrite_, &stop, 1);
  thread_.join();
  ::close(listener_);
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

int SilentServer::accepted() const {
  std::lock_guard lock(mutex_);
  return accepted_;
}

bool SilentServer::WaitForClosed(int count, std::chrono::seconds guard) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, guard, [&] { return closed_ >= count; });
}

void SilentServer::Run() {
  std::vector<int> clients;
  for (;;) {
    std::vector<pollfd> fds{{wakeRead_, POLLIN, 0}, {listener_, POLLIN, 0}};
    for (int c : clients) fds.push_back({c, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents) break;
    if (fds[1].revents & POLLIN) {
      const int c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c >= 0) {
        clients.push_back(c);
        std::lock_guard lock(mutex_);
        ++accepted_;
        changed_.notify_all();
      }
    }
    for (std::size_t i = 2; i < fds.size(); ++i) {
      if (!fds[i].revents) continue;
      char sink[4096];
      if (::read(fds[i].fd, sink, sizeof sink) > 0) continue;  // the request, ignored
      ::close(fds[i].fd);
      std::erase(clients, fds[i].fd);
      std::lock_guard lock(mutex_);
      ++closed_;
      changed_.notify_all();
    }
  }
  for (int c : clients) ::close(c);
}

StalledServer::StalledServer() {
  listener_ = Bound(0, &port_);
  // One connection fills a queue of length 0; later handshakes are left unanswered.
  filler_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port_));
  if (filler_ < 0 || ::connect(filler_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    throw std::runtime_error("cannot fill the queue");
  }
}

StalledServer::~StalledServer() {
  ::close(filler_);
  ::close(listener_);
}

RefusedPort::RefusedPort() { socket_ = Bound(-1, &port_); }
RefusedPort::~RefusedPort() { ::close(socket_); }

}  // namespace quelpath::test
