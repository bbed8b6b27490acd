// The whole link recipe on arbitrary pages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/Address.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const quelpath::Text page(std::string_view(reinterpret_cast<const char*>(data), size));
  const quelpath::Text link = quelpath::Address_ExtractLink(page);
  if (link.length() > page.length()) std::abort();
  return 0;
}
