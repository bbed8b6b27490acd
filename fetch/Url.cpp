// Address parsing: one split into scheme, host, port text and path serves all routines.
#include "fetch/Url.h"

#include <algorithm>
#include <string_view>

#include "text/Text.h"

namespace quelpath {
namespace {

struct Parts {
  bool secure = false;
  std::string_view host;
  std::string_view port;  // the text after the port's ":", possibly empty
  std::string_view rest;  // from the first "/", "?" or "#" after the authority
};

bool StartsWithFolded(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 32);
    if (c != static_cast<unsigned char>(prefix[i])) return false;
  }
  return true;
}

// First position of one of `stops` at a character start, from `from`; npos when none. The
// stop bytes are all below 0x40, so they never occur as the second byte of a character
// either, but the walk keeps to the character rule all the same.
std::size_t FindStop(std::string_view s, std::size_t from, std::string_view stops) {
  for (std::size_t i = from; i < s.size();) {
    if (stops.find(s[i]) != std::string_view::npos) return i;
    i += static_cast<unsigned char>(s[i]) >= 0x80 && i + 1 < s.size() ? 2 : 1;
  }
  return std::string_view::npos;
}

Parts Split(std::string_view a) {
  Parts p;
  std::size_t at = 0;
  if (StartsWithFolded(a, "https://")) {
    p.secure = true;
    at = 8;
  } else if (StartsWithFolded(a, "http://")) {
    at = 7;
  }
  const std::size_t end = std::min(FindStop(a, at, "/?#"), a.size());
  std::string_view authority = a.substr(at, end - at);
  p.rest = a.substr(end);
  std::size_t colon = std::string_view::npos;
  if (!authority.empty() && authority.front() == '[') {
    const std::size_t close = authority.find(']');
    if (close != std::string_view::npos) {
      colon = close + 1 < authority.size() && authority[close + 1] == ':' ? close + 1
                                                                          : std::string_view::npos;
      if (colon == std::string_view::npos) authority = authority.substr(0, close + 1);
    } else {
      colon = FindStop(authority, 0, ":");
    }
  } else {
    colon = FindStop(authority, 0, ":");
  }
  if (colon == std::string_view::npos) {
    p.host = authority;
  } else {
    p.host = authority.substr(0, colon);
    p.port = authority.substr(colon + 1);
  }
  return p;
}

}  // namespace

Text Url_Host(const Text& address) { return Text_Lower(Text(Split(address.view()).host)); }

Text Url_Path(const Text& address) {
  const std::string_view rest = Split(address.view()).rest;
  if (rest.empty()) return Text("/");
  if (rest.front() == '/') return Text(rest);
  return Text_Concat(Text("/"), Text(rest));
}

uint16_t Url_Port(const Text& address) {
  const Parts p = Split(address.view());
  const uint16_t fallback = p.secure ? 443 : 80;
  if (p.port.empty()) return fallback;
  unsigned value = 0;
  for (char c : p.port) {
    if (c < '0' || c > '9') return fallback;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 65535) return fallback;
  }
  return value == 0 ? fallback : static_cast<uint16_t>(value);
}

bool Url_IsSecure(const Text& address) { return Split(address.view()).secure; }

bool Url_IsSendable(const Text& address) {
  for (char c : address.view()) {
    const unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) return false;
  }
  return true;
}

}  // namespace quelpath
