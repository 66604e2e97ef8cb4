// Stands in for the DirectInput keyboard and mouse devices (non-exclusive, foreground, polled).
// The window (or a headless test) feeds key and button events into it; a poll reads the current
// 256-byte key state indexed by DIK_ codes and the mouse state with the motion and wheel that
// accumulated since the previous read. A key or button that went down since the previous read
// reads as down even when it was let go again before it (a tap between two polls is still one
// press). Like the devices it replaces, it can only be read while acquired, and it can only be
// acquired while its window is in the foreground.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace platform {

// The layout of DIMOUSESTATE: relative x, y, wheel (120 per notch), four button bytes.
struct MouseState {
  int32_t x = 0;
  int32_t y = 0;
  int32_t z = 0;
  std::array<uint8_t, 4> buttons{};
};

class InputDevice {
 public:
  // Device side (what the game calls).
  bool Acquire();
  void Unacquire();
  bool Acquired() const;
  bool GetKeyboardState(std::array<uint8_t, 256>& out);
  bool GetMouseState(MouseState& out);

  // Source side (the window or a test).
  void SetForeground(bool foreground);  // losing the foreground unacquires and lets every key go
  void OnKey(uint8_t dik, bool down);
  void OnButton(int button, bool down);  // 0 left, 1 right, 2 middle, 3 fourth
  void OnWheel(int delta);               // +120 a notch away from the user
  void OnMotion(int dx, int dy);
  bool KeyHeld(uint8_t dik) const;

 private:
  mutable std::mutex mutex_;  // SDL may deliver events from its own thread on some back ends
  std::array<uint8_t, 256> keys_{};
  std::array<uint8_t, 256> keys_tapped_{};  // went down since the last read
  MouseState mouse_{};
  std::array<uint8_t, 4> buttons_tapped_{};
  bool foreground_ = true;
  bool acquired_ = false;
};

}  // namespace platform
