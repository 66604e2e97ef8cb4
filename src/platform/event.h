// Stands in for the system's event objects: a flag with waiters, either manual-reset (stays set
// until Reset) or auto-reset (the wait that takes it clears it again). The sound device signals
// them at notification positions; the audio threads sleep on them between passes. An event made
// with a `forward` also sets that one, so one thread can sleep on several events at once.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace platform {

enum class EventKind { ManualReset, AutoReset };

class Event {
 public:
  explicit Event(EventKind kind = EventKind::ManualReset, bool signalled = false)
      : auto_reset_(kind == EventKind::AutoReset), signalled_(signalled) {}
  // `forward` must outlive this event.
  Event(EventKind kind, Event& forward)
      : auto_reset_(kind == EventKind::AutoReset), signalled_(false), forward_(&forward) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  // True when the event is (or becomes) signalled within timeout_ms; 0 only looks.
  bool Wait(uint32_t timeout_ms);
  bool IsSet() const;

 private:
  const bool auto_reset_;
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_;
  Event* const forward_ = nullptr;
};

}  // namespace platform
