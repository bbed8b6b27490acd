#include "text/Bytes.h"

#include <algorithm>
#include <string>

namespace quelpath {

int Bytes_Length(const Bytes& bytes) { return bytes.length(); }

Bytes Bytes_ConcatList(std::initializer_list<std::string_view> parts) {
  std::size_t total = 0;
  for (std::string_view p : parts) total += p.size();
  std::string out;
  out.reserve(total);
  for (std::string_view p : parts) out.append(p);
  return Bytes(std::move(out));
}

bool Bytes_Equals(const Bytes& a, const Bytes& b) { return a.view() == b.view(); }

Bytes Bytes_Left(const Bytes& bytes, int count) {
  return count <= 0 ? Bytes() : Bytes(bytes.view().substr(0, static_cast<std::size_t>(count)));
}

Bytes Bytes_Blank(int count) { return Bytes(std::string(count > 0 ? count : 0, '\0')); }

Text Bytes_ToText(const Bytes& bytes) { return Text(bytes.view()); }

}  // namespace quelpath
