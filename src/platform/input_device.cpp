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
  for (size_t k = 0; k < out.size(); ++k) out[k] = keys_[k] | keys_tapped_[k];
  keys_tapped_.fill(0);
  return true;
}

bool InputDevice::GetMouseState(MouseState& out) {
  std::lock_guard lock(mutex_);
  if (!acquired_) return false;
  out = mouse_;
  for (size_t b = 0; b < out.buttons.size(); ++b) out.buttons[b] |= buttons_tapped_[b];
  buttons_tapped_.fill(0);
  mouse_.x = mouse_.y = mouse_.z = 0;
  return true;
}

void InputDevice::SetForeground(bool foreground) {
  std::lock_guard lock(mutex_);
  foreground_ = foreground;
  if (!foreground) {
    acquired_ = false;
    keys_.fill(0);
    keys_tapped_.fill(0);
    mouse_ = MouseState{};
    buttons_tapped_.fill(0);
  }
}

void InputDevice::OnKey(uint8_t dik, bool down) {
  std::lock_guard lock(mutex_);
  if (dik == 0) return;
  keys_[dik] = down ? 0x80 : 0;
  if (down) keys_tapped_[dik] = 0x80;
}

void InputDevice::OnButton(int button, bool down) {
  std::lock_guard lock(mutex_);
  if (button < 0 || button >= 4) return;
  mouse_.buttons[button] = down ? 0x80 : 0;
  if (down) buttons_tapped_[button] = 0x80;
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
