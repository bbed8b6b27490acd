// The operations on Bytes.
#pragma once

#include <initializer_list>
#include <string_view>

#include "text/Types.h"

namespace quelpath {

int Bytes_Length(const Bytes& bytes);
Bytes Bytes_ConcatList(std::initializer_list<std::string_view> parts);
template <class... T>
Bytes Bytes_Concat(const T&... parts) {
  return Bytes_ConcatList({static_cast<const Bytes&>(parts).view()...});
}
bool Bytes_Equals(const Bytes& a, const Bytes& b);
Bytes Bytes_Left(const Bytes& bytes, int count);  // empty when count <= 0
Bytes Bytes_Blank(int count);                     // `count` zero bytes; empty when count <= 0
// The bytes before the first zero byte, or all of them.
Text Bytes_ToText(const Bytes& bytes);

}  // namespace quelpath
