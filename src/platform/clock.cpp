#include "platform/clock.h"

#include <time.h>

#include <chrono>
#include <thread>

namespace platform {
namespace {
int64_t SteadyNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

// Start at an arbitrary non-zero value so nothing relies on time beginning at 0.
SystemClock::SystemClock() : origin_ns_(SteadyNs() - 10'000'000'000LL) {}

uint32_t SystemClock::Now() {
  return static_cast<uint32_t>((SteadyNs() - origin_ns_) / 1'000'000);
}

void SystemClock::Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int64_t ThreadCpuNs() {
  timespec t{};
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) != 0) return 0;
  return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

}  // namespace platform
