// Arbitrary stream contents read back as member lists of any count, and line by line; the
// line loop must end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace quelpath;
  if (size < 1) return 0;
  const int members = data[0] % 12;
  const Bytes contents(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  const StreamHandle s = Stream_Open();
  Stream_WriteBytes(s, contents);

  Stream_SeekStart(s);
  BytesList list(members);
  if (Stream_ReadBytesList(s, list)) {
    std::size_t total = 4u * members;
    for (const Bytes& b : list) total += b.view().size();
    if (total > contents.view().size()) std::abort();
  } else if (Stream_AtEnd(s) && contents.length() > 0 && members > 0) {
    std::abort();  // a failed read must leave the position where it began
  }

  Stream_SeekStart(s);
  std::size_t lines = 0;
  while (!Stream_AtEnd(s)) {
    Stream_ReadLine(s);
    if (++lines > contents.view().size()) std::abort();  // every line consumes a byte
  }
  Stream_Close(s);
  return 0;
}
