#include "platform/input_device.h"

namespace platform {

bool InputDevice::Acquire() {
  std::lock_guard lock(mutex_);
  if (!foreground_) return false;
  acquired_ = true;
  return true;
}

void InputDevice::Unacquire() {
  std::lock_guard lock(mutex_);
  acquired_ = false;
}

bool InputDevice::Acquired() const {
  std::lock_guard lock(mutex_);
  return acquired_;
}

bool InputDevice::GetKeyboardState(std::array<uint8_t, 256>& out) {
  std::lock_guard lock(mutex_);
  if (!acquired_) return false;
  out = keys_;
  return true;
}

bool InputDevice::GetMouseState(MouseState& out) {
  std::lock_guard lock(mutex_);
  if (!acquired_) return false;
  out = mouse_;
  mouse_.x = mouse_.y = mouse_.z = 0;
  return true;
}

void InputDevice::SetForeground(bool foreground) {
  std::lock_guard lock(mutex_);
  foreground_ = foreground;
  if (!foreground) {
    acquired_ = false;
    keys_.fill(0);
    mouse_ = MouseState{};
  }
}

void InputDevice::OnKey(uint8_t dik, bool down) {
  std::lock_guard lock(mutex_);
  if (dik != 0) keys_[dik] = down ? 0x80 : 0;
}

void InputDevice::OnButton(int button, bool down) {
  std::lock_guard lock(mutex_);
  if (button >= 0 && button < 4) mouse_.buttons[button] = down ? 0x80 : 0;
}

void InputDevice::OnWheel(int delta) {
  std::lock_guard lock(mutex_);
  mouse_.z += delta;
}

void InputDevice::OnMotion(int dx, int dy) {
  std::lock_guard lock(mutex_);
  mouse_.x += dx;
  mouse_.y += dy;
}

bool InputDevice::KeyHeld(uint8_t dik) const {
  std::lock_guard lock(mutex_);
  return keys_[dik] & 0x80;
}

}  // namespace platform
