// The HTTP session the exchange talks to: shaped after the Windows Internet client library
// (open, connect, open a request, send, read in chunks, query the raw headers, close, set a
// cookie), so that the exchange reads as one call per step and a fake can show every call.
#pragma once

#include <cstdint>
#include <span>

#include "text/Types.h"

namespace quelpath {

// A session handle; the null handle (0) is what a failed open returns.
struct HttpHandle {
  uint32_t id = 0;
  explicit operator bool() const { return id != 0; }
  friend bool operator==(HttpHandle, HttpHandle) = default;
};

enum class HttpAccess : int {
  Direct = 1,  // INTERNET_OPEN_TYPE_DIRECT
  Proxy = 3,   // INTERNET_OPEN_TYPE_PROXY, with a proxy list such as "http=host:port"
};

using HttpFlags = uint32_t;
inline constexpr HttpFlags INTERNET_FLAG_RELOAD = 0x80000000;      // never from a cache
inline constexpr HttpFlags INTERNET_FLAG_NEED_FILE = 0x00000010;   // no cache file is written
inline constexpr HttpFlags INTERNET_FLAG_NO_COOKIES = 0x00080000;  // neither send nor store
inline constexpr HttpFlags INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000;
inline constexpr HttpFlags INTERNET_FLAG_SECURE = 0x00800000;  // TLS
inline constexpr HttpFlags INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS = 0x00004000;

// The most bytes one ReadFile hands out.
inline constexpr int kHttpChunk = 2048;

class HttpSession {
 public:
  virtual ~HttpSession() = default;
  virtual HttpHandle Open(const Text& agent, HttpAccess access, const Text& proxyList) = 0;
  virtual HttpHandle Connect(HttpHandle internet, const Text& host, uint16_t port) = 0;
  virtual HttpHandle OpenRequest(HttpHandle connection, const Text& method, const Text& path,
                                 const Text& version, HttpFlags flags) = 0;
  // Performs the exchange; header text is CRLF-separated lines. False when no response came.
  virtual bool Send(HttpHandle request, const Text& headers, const Bytes& data) = 0;
  // How many body bytes are ready to be read; a hint for the reader's buffer.
  virtual int QueryDataAvailable(HttpHandle request) = 0;
  // Copies the next body bytes into `buffer` (at most its size); 0 at the end, or on failure.
  virtual int ReadFile(HttpHandle request, std::span<char> buffer) = 0;
  // The final response's status line and header lines, each with its CRLF, and the empty line
  // that ends them; empty when no response came.
  virtual Text QueryRawHeaders(HttpHandle request) = 0;
  virtual void Close(HttpHandle handle) = 0;
  // Puts a cookie for `url` ("http://" and a host) into the store; `data` is its value and
  // its attributes, as in "1; path=/; max-age=60".
  virtual bool SetCookie(const Text& url, const Text& name, const Text& data) = 0;
};

}  // namespace quelpath
