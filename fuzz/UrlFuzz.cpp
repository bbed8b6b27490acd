// Address parsing on arbitrary addresses: lower-case host, a path that starts with "/", a port
// in 1..65535.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fetch/Url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace quelpath;
  const Text address(std::string_view(reinterpret_cast<const char*>(data), size));
  const Text host = Url_Host(address), path = Url_Path(address);
  const uint16_t port = Url_Port(address);
  bool lead = false;  // second bytes of two-byte characters may be capitals
  for (const unsigned char c : host.view()) {
    if (!lead && c >= 'A' && c <= 'Z') std::abort();
    lead = !lead && c >= 0x80;
  }
  if (path.empty() || path.view()[0] != '/') std::abort();
  if (port == 0) std::abort();
  if (host.length() > address.length()) std::abort();
  Url_IsSecure(address);
  Url_IsSendable(address);
  return 0;
}
