// The HTTP session on libcurl. Each request drives its own easy handle through a multi handle,
// so that a stop request can wake the transfer wherever it waits; redirects are followed hop by
// hop, because the proxy list names a proxy for http hops only.
#include "fetch/CurlSession.h"

#include <curl/curl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <new>
#include <string>
#include <string_view>

#include "fetch/Url.h"

namespace quelpath {
namespace {

// curl's global state must exist before any thread does; static initialisers run before main.
[[maybe_unused]] const bool kCurlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using Multi = std::unique_ptr<CURLM, MultiDeleter>;
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

// The process-wide parts: the cookie store and the extra trusted certificates. Never
// destroyed, since a given-up worker may still be using them while the process ends.
class Shared {
 public:
  static Shared& Get() {
    static Shared* shared = new Shared();
    return *shared;
  }
  CURLSH* cookies() const { return share_; }
  const std::vector<X509*>& extraCas() const { return extraCas_; }

 private:
  Shared() {
    share_ = curl_share_init();
    if (share_) {
      curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &Shared::Lock);
      curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &Shared::Unlock);
      curl_share_setopt(share_, CURLSHOPT_USERDATA, this);
      curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    }
    // Read once: the environment may not be changed safely while threads run.
    if (const char* file = std::getenv("SSL_CERT_FILE"); file && *file) LoadCas(file);
  }

  void LoadCas(const char* file) {
    BIO* bio = BIO_new_file(file, "r");
    if (!bio) return;
    while (X509* cert = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr)) {
      extraCas_.push_back(cert);
    }
    BIO_free(bio);
    ERR_clear_error();  // the end of the file shows as an error
  }

  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<Shared*>(self)->locks_[Slot(data)].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<Shared*>(self)->locks_[Slot(data)].unlock();
  }
  static std::size_t Slot(curl_lock_data data) {
    const auto k = static_cast<std::size_t>(data);
    return k < CURL_LOCK_DATA_LAST ? k : 0;
  }

  CURLSH* share_ = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
  std::vector<X509*> extraCas_;
};

CURLcode AddExtraCas(CURL*, void* sslContext, void*) {
  X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslContext));
  for (X509* cert : Shared::Get().extraCas()) X509_STORE_add_cert(store, cert);
  ERR_clear_error();  // a certificate the store already holds is refused, harmlessly
  return CURLE_OK;
}

unsigned char Fold(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 'A' && b <= 'Z' ? static_cast<unsigned char>(b + 32) : b;
}

bool StartsWithFolded(std::string_view s, std::string_view lowerPrefix) {
  if (s.size() < lowerPrefix.size()) return false;
  for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
    if (Fold(s[i]) != static_cast<unsigned char>(lowerPrefix[i])) return false;
  }
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsControl(char c, bool tabAllowed) {
  const auto b = static_cast<unsigned char>(c);
  return (b < 0x20 && !(tabAllowed && b == '\t')) || b == 0x7F;
}

// Bytes of a request or header line that would end or split it.
bool HasControl(std::string_view s, bool tabAllowed = false) {
  for (char c : s) {
    if (IsControl(c, tabAllowed)) return true;
  }
  return false;
}

bool IsHostByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' ||
         b == '.' || b == '_';
}

// A name or a bracketed IPv6 literal: anything else could smuggle a user, a second host or a
// line end into the address that curl is given.
bool IsSendableHost(std::string_view host) {
  if (host.empty()) return false;
  if (host.front() == '[') {
    if (host.size() < 3 || host.back() != ']') return false;
    for (char c : host.substr(1, host.size() - 2)) {
      if (!IsHostByte(c) && c != ':' && c != '%') return false;
    }
    return true;
  }
  for (char c : host) {
    if (!IsHostByte(c)) return false;
  }
  return true;
}

// curl refuses an address with a blank in it; everything else goes to the wire as it is.
std::string EncodePath(std::string_view path) {
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    if (c == ' ') {
      out += "%20";
    } else {
      out += c;
    }
  }
  return out;
}

// The proxy for http addresses out of a proxy list: the entry "http=host:port". Entries are
// separated by blanks or ";"; others name proxies for schemes that go direct here.
std::string HttpProxyOf(std::string_view list) {
  while (!list.empty()) {
    const std::size_t cut = list.find_first_of(" \t;");
    const std::string_view entry = list.substr(0, cut);
    if (StartsWithFolded(entry, "http=")) return std::string(entry.substr(5));
    if (cut == std::string_view::npos) break;
    list.remove_prefix(cut + 1);
  }
  return {};
}

// What the callbacks of one transfer collect.
struct Sink {
  CURL* easy = nullptr;
  std::string body;
  std::string headers;
  bool headersComplete = false;
  bool bodyFull = false;
  bool headersTooLong = false;
  bool reserved = false;

  void Reset() {
    body.clear();
    reserved = false;
    headers.clear();
    headersComplete = bodyFull = headersTooLong = false;
  }
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  Sink& sink = *static_cast<Sink*>(user);
  const std::size_t n = size * count;
  const std::size_t room = CurlSession::kBodyLimit - sink.body.size();
  try {
    if (!sink.reserved) {  // room for the announced length, at once
      sink.reserved = true;
      curl_off_t length = -1;
      curl_easy_getinfo(sink.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
      if (length > 0) {
        sink.body.reserve(
            std::min<std::size_t>(static_cast<std::size_t>(length), CurlSession::kBodyLimit));
      }
    }
    if (n > room) {
      sink.body.append(data, room);
      sink.bodyFull = true;
      return 0;  // ends the transfer; the exchange keeps what it has
    }
    sink.body.append(data, n);
  } catch (const std::bad_alloc&) {
    return 0;  // nothing may be thrown through curl
  }
  return n;
}

// One header line a call, of every response of the transfer; only the last block is kept,
// without the trailers that may follow a chunked body.
size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  Sink& sink = *static_cast<Sink*>(user);
  const std::size_t n = size * count;
  const std::string_view line(data, n);
  if (line.starts_with("HTTP/")) {
    sink.headers.clear();
    sink.headersComplete = false;
  } else if (sink.headersComplete) {
    return n;
  }
  if (sink.headers.size() + n > CurlSession::kHeaderLimit) {
    sink.headersTooLong = true;
    return 0;
  }
  try {
    sink.headers.append(line);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  if (line == "\r\n" || line == "\n") sink.headersComplete = true;
  return n;
}

// Runs one transfer until it ends or a stop is requested (the stop's wake-up ends the poll).
CURLcode Perform(CURLM* multi, CURL* easy, const std::stop_token& stop) {
  if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode result = CURLE_ABORTED_BY_CALLBACK;
  while (!stop.stop_requested()) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
    bool done = false;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg == CURLMSG_DONE) {
        result = message->data.result;
        done = true;
      }
    }
    if (done) break;
    if (running == 0) {
      result = CURLE_FAILED_INIT;
      break;
    }
    if (curl_multi_poll(multi, nullptr, 0, 1000, nullptr) != CURLM_OK) {
      result = CURLE_FAILED_INIT;
      break;
    }
  }
  curl_multi_remove_handle(multi, easy);
  return result;
}

bool IsFollowed(long status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Slist MakeList(const std::vector<std::string>& lines) {
  Slist list;
  for (const std::string& line : lines) {
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (!grown) return {};
    list.release();
    list.reset(grown);
  }
  return list;
}

constexpr int kMaxRedirects = 20;

}  // namespace

struct CurlSession::Object {
  enum Kind { kInternet = 1, kConnection, kRequest };
  int kind = 0;
  std::string agent;
  std::string httpProxy;
  std::string host;
  uint16_t port = 0;
  std::string method;
  std::string path;
  bool http10 = false;
  HttpFlags flags = 0;
  std::string body;  // the response, once sent
  std::size_t read = 0;
  std::string rawHeaders;
};

CurlSession::CurlSession(std::stop_token stop) : stop_(std::move(stop)) {}
CurlSession::~CurlSession() = default;

CurlSession::Object* CurlSession::Find(HttpHandle handle, int kind) {
  if (handle.id == 0 || handle.id > objects_.size()) return nullptr;
  Object* object = objects_[handle.id - 1].get();
  return object && object->kind == kind ? object : nullptr;
}

HttpHandle CurlSession::Open(const Text& agent, HttpAccess access, const Text& proxyList) {
  auto object = std::make_unique<Object>();
  object->kind = Object::kInternet;
  object->agent = agent.str();
  if (access == HttpAccess::Proxy) object->httpProxy = HttpProxyOf(proxyList.view());
  objects_.push_back(std::move(object));
  return HttpHandle{static_cast<uint32_t>(objects_.size())};
}

HttpHandle CurlSession::Connect(HttpHandle internet, const Text& host, uint16_t port) {
  const Object* parent = Find(internet, Object::kInternet);
  if (!parent) return {};
  auto object = std::make_unique<Object>(*parent);
  object->kind = Object::kConnection;
  object->host = host.str();
  object->port = port;
  objects_.push_back(std::move(object));
  return HttpHandle{static_cast<uint32_t>(objects_.size())};
}

HttpHandle CurlSession::OpenRequest(HttpHandle connection, const Text& method, const Text& path,
                                    const Text& version, HttpFlags flags) {
  const Object* parent = Find(connection, Object::kConnection);
  if (!parent) return {};
  auto object = std::make_unique<Object>(*parent);
  object->kind = Object::kRequest;
  object->method = method.str();
  object->path = path.empty() ? "/" : path.str();
  object->http10 = version.view() == "HTTP/1.0";
  object->flags = flags;
  objects_.push_back(std::move(object));
  return HttpHandle{static_cast<uint32_t>(objects_.size())};
}

bool CurlSession::Send(HttpHandle handle, const Text& headers, const Bytes& data) {
  Object* request = Find(handle, Object::kRequest);
  lastError_.clear();
  if (!request) return false;
  request->body.clear();
  request->rawHeaders.clear();
  request->read = 0;
  const auto fail = [this](std::string why) {
    lastError_ = std::move(why);
    return false;
  };
  const bool post = request->method == "POST";
  if (!post && request->method != "GET") return fail("method not sent: " + request->method);
  if (!IsSendableHost(request->host) || HasControl(request->path) || HasControl(request->agent) ||
      HasControl(request->httpProxy) || request->httpProxy.find(' ') != std::string::npos) {
    return fail("address not sendable");
  }

  // Header text: one list entry a CRLF-separated line, empty ones dropped.
  std::vector<std::string> lines;
  bool hasContentType = false, hasExpect = false;
  for (std::string_view rest = headers.view(); !rest.empty();) {
    const std::size_t cut = rest.find("\r\n");
    const std::string_view line = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 2);
    if (line.empty()) continue;
    if (HasControl(line, true)) return fail("header line not sendable");
    hasContentType = hasContentType || StartsWithFolded(line, "content-type:");
    hasExpect = hasExpect || StartsWithFolded(line, "expect:");
    lines.emplace_back(line);
  }
  // Only the composed lines reach the wire: no form type or 100-continue of curl's own.
  if (post && !hasContentType) lines.emplace_back("Content-Type:");
  if (post && !hasExpect) lines.emplace_back("Expect:");

  // What the handle points at is declared first, so that it outlives the handle.
  std::array<char, CURL_ERROR_SIZE> errors{};
  Sink sink;
  Slist list = MakeList(lines);
  Easy easy(curl_easy_init());
  Multi multi(curl_multi_init());
  if (!easy || !multi || (!lines.empty() && !list)) return fail("out of memory");
  sink.easy = easy.get();
  CURL* e = easy.get();
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_QUICK_EXIT, 1L);
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, errors.data());
  curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(e, CURLOPT_HTTP_VERSION,
                   request->http10 ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(e, CURLOPT_NOPROXY, "");
  if (!request->agent.empty()) curl_easy_setopt(e, CURLOPT_USERAGENT, request->agent.c_str());
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, list.get());
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, &sink);
  curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (!Shared::Get().extraCas().empty()) {
    curl_easy_setopt(e, CURLOPT_SSL_CTX_FUNCTION, &AddExtraCas);
  }
  if (!(request->flags & INTERNET_FLAG_NO_COOKIES) && Shared::Get().cookies()) {
    curl_easy_setopt(e, CURLOPT_SHARE, Shared::Get().cookies());
    curl_easy_setopt(e, CURLOPT_COOKIEFILE, "");
  }

  const bool follow = !(request->flags & INTERNET_FLAG_NO_AUTO_REDIRECT);
  std::string url = (request->flags & INTERNET_FLAG_SECURE) ? "https://" : "http://";
  url += request->host + ":" + std::to_string(request->port) + EncodePath(request->path);
  bool asGet = !post;
  // Declared after the multi handle, so it is gone before the handle is.
  std::stop_callback wake(stop_, [m = multi.get()] { curl_multi_wakeup(m); });
  for (int hop = 0;; ++hop) {
    const bool secureHop = StartsWithFolded(url, "https://");
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROXY, secureHop ? "" : request->httpProxy.c_str());
    if (asGet) {
      curl_easy_setopt(e, CURLOPT_HTTPGET, 1L);
    } else {
      curl_easy_setopt(e, CURLOPT_POSTFIELDS, data.view().data());
      curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(data.view().size()));
    }
    sink.Reset();
    errors[0] = '\0';
    const CURLcode result = Perform(multi.get(), e, stop_);
    if (stop_.stop_requested()) return fail("stopped");
    if (sink.headersTooLong) return fail("response headers too long");
    if (result != CURLE_OK && !sink.bodyFull) {
      // A response that broke off mid-body still counts as received, as far as it came.
      if (!sink.headersComplete) {
        return fail(std::string(curl_easy_strerror(result)) + ": " + errors.data());
      }
      break;
    }
    long status = 0;
    curl_easy_getinfo(e, CURLINFO_RESPONSE_CODE, &status);
    if (!follow || !IsFollowed(status) || result != CURLE_OK) break;
    char* next = nullptr;
    curl_easy_getinfo(e, CURLINFO_REDIRECT_URL, &next);
    if (!next) break;
    const std::string_view target(next);
    const bool toHttps = StartsWithFolded(target, "https://");
    if (!toHttps && !StartsWithFolded(target, "http://")) break;
    if (toHttps && !secureHop && !(request->flags & INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS)) break;
    if (hop == kMaxRedirects) return fail("too many redirects");
    if (!asGet && status <= 303) {
      asGet = true;  // the body and its description stay behind
      std::erase_if(lines, [](const std::string& line) {
        return StartsWithFolded(line, "content-type") || StartsWithFolded(line, "content-length");
      });
      Slist shorter = MakeList(lines);
      if (!lines.empty() && !shorter) return fail("out of memory");
      curl_easy_setopt(e, CURLOPT_HTTPHEADER, shorter.get());
      list = std::move(shorter);
    }
    if (HasControl(target) || target.find(' ') != std::string_view::npos) {
      return fail("redirect address not sendable");
    }
    url.assign(target);
  }
  request->body = std::move(sink.body);
  request->rawHeaders = std::move(sink.headers);
  return true;
}

int CurlSession::QueryDataAvailable(HttpHandle handle) {
  const Object* request = Find(handle, Object::kRequest);
  return request ? static_cast<int>(request->body.size() - request->read) : 0;
}

int CurlSession::ReadFile(HttpHandle handle, std::span<char> buffer) {
  Object* request = Find(handle, Object::kRequest);
  if (!request || request->read >= request->body.size()) return 0;
  const std::size_t n = std::min(buffer.size(), request->body.size() - request->read);
  std::copy_n(request->body.data() + request->read, n, buffer.data());
  request->read += n;
  return static_cast<int>(n);
}

Text CurlSession::QueryRawHeaders(HttpHandle handle) {
  const Object* request = Find(handle, Object::kRequest);
  return request ? Text(request->rawHeaders) : Text();
}

void CurlSession::Close(HttpHandle handle) {
  if (handle.id != 0 && handle.id <= objects_.size()) objects_[handle.id - 1].reset();
}

bool CurlSession::SetCookie(const Text& url, const Text& name, const Text& data) {
  const std::string_view u = url.view();
  if (!StartsWithFolded(u, "http://") && !StartsWithFolded(u, "https://")) return false;
  const std::string host = Url_Host(url).str();
  if (!IsSendableHost(host) || !Shared::Get().cookies()) return false;

  // data: the value, then "; attribute" parts.
  std::string_view rest = data.view();
  std::size_t cut = rest.find(';');
  std::string_view value = TrimBlanks(rest.substr(0, cut));
  rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  std::string_view cookieName = TrimBlanks(name.view());
  if (cookieName.empty()) {
    // A nameless cookie is stored only when its data carries "name=value" itself.
    const std::size_t eq = value.find('=');
    if (eq == std::string_view::npos) return false;
    cookieName = TrimBlanks(value.substr(0, eq));
    value = TrimBlanks(value.substr(eq + 1));
    if (cookieName.empty()) return false;
  }
  if (HasControl(cookieName) || HasControl(value)) return false;

  std::string path = "/";
  bool secure = false;
  bool hasMaxAge = false;
  long long maxAge = 0;
  time_t expires = 0;
  for (bool more = cut != std::string_view::npos; more;) {
    cut = rest.find(';');
    const std::string_view part = TrimBlanks(rest.substr(0, cut));
    more = cut != std::string_view::npos;
    rest = more ? rest.substr(cut + 1) : std::string_view();
    const std::size_t eq = part.find('=');
    const std::string_view key = TrimBlanks(part.substr(0, eq));
    const std::string_view arg =
        eq == std::string_view::npos ? "" : TrimBlanks(part.substr(eq + 1));
    if (StartsWithFolded(key, "path") && key.size() == 4) {
      if (arg.starts_with('/') && !HasControl(arg)) path.assign(arg);
    } else if (StartsWithFolded(key, "secure") && key.size() == 6) {
      secure = true;
    } else if (StartsWithFolded(key, "max-age") && key.size() == 7) {
      long long v = 0;
      const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), v);
      if (ec == std::errc() && end == arg.data() + arg.size()) {
        hasMaxAge = true;
        maxAge = v;
      } else if (ec == std::errc::result_out_of_range) {
        hasMaxAge = true;
        maxAge = arg.starts_with('-') ? -1 : (1LL << 40);
      }
    } else if (StartsWithFolded(key, "expires") && key.size() == 7) {
      const time_t t = curl_getdate(std::string(arg).c_str(), nullptr);
      if (t != -1) expires = t < 1 ? 1 : t;
    }
  }
  long long expiry = expires;  // 0: a session cookie
  if (hasMaxAge) {
    const long long now = static_cast<long long>(std::time(nullptr));
    expiry = maxAge <= 0 ? 1 : now + std::min(maxAge, 1LL << 40);  // a past expiry deletes
  }

  // A host-only cookie in the store's own line format.
  std::string line = host;
  line += "\tFALSE\t" + path + "\t" + (secure ? "TRUE" : "FALSE") + "\t" + std::to_string(expiry) +
          "\t";
  line.append(cookieName);
  line += '\t';
  line.append(value);
  Easy easy(curl_easy_init());
  if (!easy) return false;
  curl_easy_setopt(easy.get(), CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy.get(), CURLOPT_SHARE, Shared::Get().cookies());  // before the line
  return curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, line.c_str()) == CURLE_OK;
}

}  // namespace quelpath
