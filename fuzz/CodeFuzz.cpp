// The code-page routines on arbitrary bytes: results hold no NUL, ASCII passes unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "text/Code.h"

namespace {
void CheckText(const quelpath::Text& t) {
  if (t.view().find('\0') != std::string_view::npos) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace quelpath;
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  const Text text(raw);
  CheckText(Code_Utf8BytesToLocal(Bytes(raw)));
  const Text gbk = Code_Utf8ToGbk(text);
  CheckText(gbk);
  CheckText(Code_Big5ToGbkSimplified(text));
  CheckText(Code_WideBytesToLocal(Bytes(raw)));
  const Text simplified = Code_ToSimplified(text);
  if (simplified.length() != text.length()) std::abort();  // one for one
  bool ascii = true;
  for (const unsigned char c : text.view()) ascii = ascii && c < 0x80;
  if (ascii && (gbk != text || Code_Utf8BytesToLocal(Bytes(text.view())) != text)) std::abort();
  return 0;
}
