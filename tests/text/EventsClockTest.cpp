#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "text/Clock.h"
#include "text/Events.h"

namespace quelpath {
namespace {

// Installs a pump for one test and puts back whatever was there.
class ScopedPump {
 public:
  explicit ScopedPump(EventPump pump) : previous_(Events_Install(std::move(pump))) {}
  ~ScopedPump() { Events_Install(std::move(previous_)); }

 private:
  EventPump previous_;
};

TEST(Events, ProcessRunsTheInstalledPump) {
  ScopedPump none{EventPump()};
  Events_Process();  // nothing installed: nothing happens

  int calls = 0;
  {
    ScopedPump counting([&] { ++calls; });
    Events_Process();
    Events_Process();
    EXPECT_EQ(calls, 2);

    int other = 0;
    EventPump replaced = Events_Install([&] { ++other; });
    ASSERT_TRUE(replaced);
    replaced();  // the one it replaced is handed back whole
    EXPECT_EQ(calls, 3);
    Events_Process();
    EXPECT_EQ(other, 1);
    EXPECT_FALSE(Events_Install(EventPump()) == nullptr);
    Events_Process();
    EXPECT_EQ(other, 1);
  }
  Events_Process();
  EXPECT_EQ(calls, 3);
}

// A handler run by the pump may pump again (a nested batch waits too) or swap the pump.
TEST(Events, HandlersMayPumpAgainAndInstall) {
  int depth = 0;
  int maxDepth = 0;
  int swapped = 0;
  ScopedPump nested([&] {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (depth < 3) Events_Process();
    --depth;
  });
  Events_Process();
  EXPECT_EQ(maxDepth, 3);

  ScopedPump swapping([&] { Events_Install([&] { ++swapped; }); });
  Events_Process();
  Events_Process();
  EXPECT_EQ(swapped, 1);
}

TEST(Events, InstallAndProcessFromSeveralThreads) {
  std::atomic<int> calls{0};
  ScopedPump counting([&] { ++calls; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        if (t == 0) Events_Install([&] { ++calls; });
        Events_Process();
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(calls.load(), 4 * 500);
}

// The low 32 bits of CLOCK_MONOTONIC in milliseconds, computed independently.
uint32_t MonotonicMs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u +
                               static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

TEST(Clock, CountsMonotonicMillisecondsWrappingAt32Bits) {
  for (int i = 0; i < 1000; ++i) {
    const uint32_t before = MonotonicMs();
    const uint32_t now = static_cast<uint32_t>(Clock_UptimeMs());
    const uint32_t after = MonotonicMs();
    // Between the two readings, in wrapping arithmetic.
    ASSERT_LE(now - before, after - before);
  }
}

}  // namespace
}  // namespace quelpath
