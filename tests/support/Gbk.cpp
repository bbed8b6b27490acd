#include "tests/support/Gbk.h"

#include <cstdio>

namespace quelpath::test {

std::string Hex(std::string_view bytes) {
  std::string out;
  char buf[4];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X ", c);
    out += buf;
  }
  if (!out.empty()) out.pop_back();
  return out;
}

}  // namespace quelpath::test
