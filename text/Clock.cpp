#include "text/Clock.h"

#include <chrono>
#include <climits>

namespace quelpath {
namespace {
// The low 32 bits of the count, read as signed: modular, so the wrap is defined behaviour.
constexpr int32_t Wrap(uint64_t ms) { return static_cast<int32_t>(static_cast<uint32_t>(ms)); }
static_assert(Wrap(0x7FFFFFFFu) == INT32_MAX && Wrap(0x80000000u) == INT32_MIN);
static_assert(Wrap(0xFFFFFFFFu) == -1 && Wrap(0x100000005ull) == 5);
}  // namespace

int32_t Clock_UptimeMs() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return Wrap(
      static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count()));
}

}  // namespace quelpath
