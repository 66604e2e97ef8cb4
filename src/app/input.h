// The game's view of keyboard and mouse: held state, one press per hold that waits until somebody
// asks for it (and is dropped if the key is let go first), and the wheel as single notches with a
// pause between them. Read once per frame from the window's input device.
#pragma once

#include <array>
#include <cstdint>

#include "platform/input_device.h"

class CInput {
 public:
  bool Init(platform::InputDevice& device);
  void PollKeyboard();
  void PollMouse();
  void PollControllers() {}  // nothing in the game reads a controller
  void AcquireAll();
  void Release();

  bool KeyPressed(uint8_t key);  // true once per press; reading clears it
  bool KeyDown(uint8_t key) const { return key_latch_[key] & 0x80; }
  // Either Alt with either Enter held: the display switch, which is never a confirm as well.
  bool AltEnterHeld() const;
  bool ButtonPressed(int button);  // 0 left, 1 right, 2 middle
  bool ButtonDown(int button) const {
    return button >= 0 && button < 4 && (mouse_.buttons[button] & 0x80);
  }
  // +1 a notch away from the user, -1 toward, 0 none; a notch starts a pause of 5 polls.
  int TakeWheel();
  void ClearWheel() { wheel_away_ = wheel_toward_ = false; }

 private:
  platform::InputDevice* device_ = nullptr;
  platform::MouseState mouse_{};
  std::array<uint8_t, 3> button_latch_{};
  std::array<bool, 3> button_press_{};
  bool wheel_away_ = false;
  bool wheel_toward_ = false;
  int wheel_pause_ = 0;
  std::array<uint8_t, 256> keys_{};
  std::array<uint8_t, 256> key_latch_{};
  std::array<bool, 256> key_press_{};
};
