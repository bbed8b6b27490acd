#include "text/Events.h"

#include <memory>
#include <mutex>
#include <utility>

namespace quelpath {
namespace {
std::mutex installMutex;
std::shared_ptr<const EventPump> installed;  // guarded by installMutex
}  // namespace

void Events_Process() {
  std::shared_ptr<const EventPump> pump;
  {
    std::lock_guard lock(installMutex);
    pump = installed;
  }
  // Called outside the lock: the handlers it runs may pump again or install another pump.
  if (pump && *pump) (*pump)();
}

EventPump Events_Install(EventPump pump) {
  auto next = pump ? std::make_shared<const EventPump>(std::move(pump)) : nullptr;
  std::lock_guard lock(installMutex);
  std::shared_ptr<const EventPump> previous = std::exchange(installed, std::move(next));
  return previous ? *previous : EventPump();
}

}  // namespace quelpath
