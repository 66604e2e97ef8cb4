#include "app/input.h"

#include "platform/dik.h"

namespace {

// One latch rule for keys and buttons: a new hold sets the press; a release drops an unread one.
void Latch(bool down, uint8_t& latch, bool& press) {
  if (down) {
    if (!latch) {
      latch = 0x80;
      press = true;
    }
  } else {
    if (latch) press = false;
    latch = 0;
  }
}

}  // namespace

bool CInput::Init(platform::InputDevice& device) {
  device_ = &device;
  device_->Acquire();
  platform::MouseState probe;
  if (!device_->GetMouseState(probe)) device_->Acquire();
  return true;
}

void CInput::AcquireAll() {
  if (device_) device_->Acquire();
}

void CInput::Release() {
  if (device_) device_->Unacquire();
  device_ = nullptr;
}

void CInput::PollKeyboard() {
  if (!device_) return;
  if (!device_->GetKeyboardState(keys_)) {
    device_->Acquire();
    return;
  }
  for (int k = 0; k < 256; ++k) {
    bool press = key_press_[k];
    Latch(keys_[k] & 0x80, key_latch_[k], press);
    key_press_[k] = press;
  }
}

void CInput::PollMouse() {
  if (wheel_pause_ > 0) --wheel_pause_;
  if (!device_) return;
  if (!device_->GetMouseState(mouse_)) {
    device_->Acquire();
    return;
  }
  for (int b = 0; b < 3; ++b) {
    bool press = button_press_[b];
    Latch(mouse_.buttons[b] & 0x80, button_latch_[b], press);
    button_press_[b] = press;
  }
  if (mouse_.z > 15 && wheel_pause_ == 0) {
    wheel_away_ = true;
    wheel_toward_ = false;
  } else if (mouse_.z < -15 && wheel_pause_ == 0) {
    wheel_toward_ = true;
    wheel_away_ = false;
  }
}

bool CInput::KeyPressed(uint8_t key) {
  bool p = key_press_[key];
  key_press_[key] = false;
  return p;
}

bool CInput::AltEnterHeld() const {
  return (KeyDown(DIK_LMENU) || KeyDown(DIK_RMENU)) &&
         (KeyDown(DIK_RETURN) || KeyDown(DIK_NUMPADENTER));
}

bool CInput::ButtonPressed(int button) {
  if (button < 0 || button >= 3) return false;
  bool p = button_press_[button];
  button_press_[button] = false;
  return p;
}

int CInput::TakeWheel() {
  int r = wheel_away_ ? 1 : wheel_toward_ ? -1 : 0;
  if (r != 0) {
    ClearWheel();
    wheel_pause_ = 5;
  }
  return r;
}
