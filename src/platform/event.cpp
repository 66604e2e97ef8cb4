#include "platform/event.h"

#include <chrono>

namespace platform {

void Event::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  // Every waiter wakes; for an auto-reset event the first to re-take the lock consumes it.
  cv_.notify_all();
  if (forward_) forward_->Set();
}

void Event::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool Event::Wait(uint32_t timeout_ms) {
  std::unique_lock lock(mutex_);
  if (!cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return signalled_; }))
    return false;
  if (auto_reset_) signalled_ = false;
  return true;
}

bool Event::IsSet() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

}  // namespace platform
