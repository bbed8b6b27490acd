#include "tests/support/LocalProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/LocalSockets.h"

extern char** environ;

namespace quelpath::test {
namespace {

bool Accepts(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

LocalProxy::LocalProxy() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quelpath-proxy-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("no temporary folder");
  dir_ = pattern;
  port_ = FreePort();
  const std::filesystem::path config = dir_ / "tinyproxy.conf";
  std::ofstream(config) << "Port " << port_ << "\n"
                        << "Listen 127.0.0.1\n"
                        << "Allow 127.0.0.1\n"
                        << "Timeout 60\n"
                        << "LogLevel Connect\n"
                        << "LogFile \"" << (dir_ / "tinyproxy.log").string() << "\"\n"
                        << "ConnectPort 1\n";
  const std::string configPath = config.string();
  char* argv[] = {const_cast<char*>("tinyproxy"), const_cast<char*>("-d"), const_cast<char*>("-c"),
                  const_cast<char*>(configPath.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const int rc = ::posix_spawnp(&pid_, "tinyproxy", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) throw std::runtime_error("cannot start tinyproxy");
  for (int i = 0; i < 500 && !Accepts(port_); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

LocalProxy::~LocalProxy() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string LocalProxy::Log() const {
  std::ifstream in(dir_ / "tinyproxy.log");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace quelpath::test
