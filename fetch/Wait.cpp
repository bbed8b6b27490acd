// The wait service: the installed one, and the headless default that wakes only on the
// worker's end or the time-out.
#include "fetch/Wait.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quelpath {
namespace {

class HeadlessWait final : public WaitService {
 public:
  WaitOutcome Wait(const std::atomic<bool>& ended, int32_t timeoutMs) override {
    std::unique_lock lock(mutex_);
    const auto done = [&] { return ended.load(std::memory_order_acquire); };
    if (timeoutMs <= 0) return done() ? WaitOutcome::Ended : WaitOutcome::TimedOut;
    return wake_.wait_for(lock, std::chrono::milliseconds(timeoutMs), done) ? WaitOutcome::Ended
                                                                            : WaitOutcome::TimedOut;
  }

  void Wake() override {
    // Taking the lock orders the wake-up after a waiter's check of `ended`, so none is lost.
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
};

std::mutex& InstallLock() {
  static std::mutex lock;
  return lock;
}

std::shared_ptr<WaitService>& Installed() {
  static std::shared_ptr<WaitService> service = std::make_shared<HeadlessWait>();
  return service;
}

}  // namespace

std::shared_ptr<WaitService> Wait_Service() {
  std::lock_guard lock(InstallLock());
  return Installed();
}

std::shared_ptr<WaitService> Wait_Install(std::shared_ptr<WaitService> service) {
  if (!service) service = std::make_shared<HeadlessWait>();
  std::lock_guard lock(InstallLock());
  std::swap(Installed(), service);
  return service;
}

}  // namespace quelpath
