// The millisecond clock and sleep that stand in for timeGetTime, Sleep and the timer period.
// Time is an unsigned 32-bit count of milliseconds that wraps, as the game expects. The headless
// clock only moves when a test advances it, so a test chooses every frame's elapsed time.
#pragma once

#include <atomic>
#include <cstdint>

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint32_t Now() = 0;
  virtual void Sleep(uint32_t ms) = 0;
};

// Steady wall-clock time since the clock was made.
class SystemClock final : public Clock {
 public:
  SystemClock();
  uint32_t Now() override;
  void Sleep(uint32_t ms) override;

 private:
  int64_t origin_ns_;
};

// Time that moves only through Advance; Sleep returns at once without moving it.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(uint32_t start = 1000) : now_(start) {}
  uint32_t Now() override { return now_.load(); }
  void Sleep(uint32_t) override {}
  void Advance(uint32_t ms) { now_.fetch_add(ms); }

 private:
  std::atomic<uint32_t> now_;
};

// CPU time the calling thread has used, in nanoseconds (for tools that time frames).
int64_t ThreadCpuNs();

}  // namespace platform
