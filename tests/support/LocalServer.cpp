#include "tests/support/LocalServer.h"

#include <stdexcept>

namespace quelpath::test {

std::string SeenRequest::Header(const std::string& name) const {
  const auto it = headers.find(name);
  return it == headers.end() ? std::string() : it->second;
}

LocalServer::LocalServer() : server_(std::make_unique<httplib::Server>()), secure_(false) {}

LocalServer::LocalServer(const TlsIdentity& identity)
    : server_(std::make_unique<httplib::SSLServer>(identity.cert.get(), identity.key.get())),
      secure_(true) {}

LocalServer::~LocalServer() {
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

LocalServer::Handler LocalServer::Recorded(Handler handler) {
  return [this, handler = std::move(handler)](const httplib::Request& req, httplib::Response& res) {
    {
      std::lock_guard lock(mutex_);
      seen_.push_back({req.method, req.target, req.headers, req.body});
    }
    handler(req, res);
  };
}

void LocalServer::Get(const std::string& pattern, Handler handler) {
  server_->Get(pattern, Recorded(std::move(handler)));
}

void LocalServer::Post(const std::string& pattern, Handler handler) {
  server_->Post(pattern, Recorded(std::move(handler)));
}

void LocalServer::Start() {
  if (!server_->is_valid()) throw std::runtime_error("server not valid");
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("no port");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) std::this_thread::yield();
}

std::string LocalServer::Url(std::string_view path) const {
  return std::string(secure_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_) +
         std::string(path);
}

std::vector<SeenRequest> LocalServer::Seen() const {
  std::lock_guard lock(mutex_);
  return seen_;
}

SeenRequest LocalServer::Last() const {
  std::lock_guard lock(mutex_);
  return seen_.empty() ? SeenRequest() : seen_.back();
}

}  // namespace quelpath::test
