// The wait of a page fetch: a platform service. The window installs one that also wakes on
// window events; without it a headless wait is used that wakes only on the worker's end.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace quelpath {

enum class WaitOutcome { Ended, TimedOut, Other };

class WaitService {
 public:
  virtual ~WaitService() = default;
  // Blocks until `ended` is true (Ended), `timeoutMs` have passed (TimedOut), or window events
  // arrived (Other), using no processor time meanwhile. A timeout of 0 or less returns at once.
  // Called on the window's thread; may dispatch window events itself.
  virtual WaitOutcome Wait(const std::atomic<bool>& ended, int32_t timeoutMs) = 0;
  // Wakes a Wait in progress after its `ended` became true; callable from any thread, also
  // before the Wait begins (the wait checks `ended` first).
  virtual void Wake() = 0;
};

// The installed service (never null); workers keep a reference so it outlives them.
std::shared_ptr<WaitService> Wait_Service();
// Installs a service; null puts the headless one back. Returns the one it replaces.
std::shared_ptr<WaitService> Wait_Install(std::shared_ptr<WaitService> service);

}  // namespace quelpath
