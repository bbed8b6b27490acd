#pragma once

#include <cstdint>

namespace quelpath {

// Milliseconds from a monotonic source, as a signed 32-bit value that wraps after 2^32 ms.
int32_t Clock_UptimeMs();

}  // namespace quelpath
