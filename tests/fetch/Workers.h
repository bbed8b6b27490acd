// Helpers shared by the fetch tests.
#pragma once

#include <chrono>
#include <thread>

#include "fetch/Page.h"

namespace quelpath::test {

// Waits until every worker the fetch started has ended, given-up ones too; false when the
// guard passed first (a hang guard, not a measure).
inline bool WaitForWorkers(std::chrono::seconds guard = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + guard;
  while (Page_RunningWorkers() > 0) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Bytes of a literal (Bytes has no constructor from a character array).
inline Bytes B(std::string_view bytes) { return Bytes(bytes); }

// Fetches `address` (a copy, so literals can be passed).
inline Bytes Fetch(std::string address, const FetchOptions& options = {}) {
  Text text(address);
  return Page_Fetch(text, options);
}

}  // namespace quelpath::test
