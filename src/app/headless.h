// The engine with its window, clock and input replaced: the same Process and frame loop, driven
// frame by frame with chosen elapsed milliseconds and chosen key and mouse events. Used by the
// tests and by the replay tool.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include "app/process.h"
#include "app/shell.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/sound_device.h"
#include "platform/window.h"

class HeadlessGame {
 public:
  HeadlessGame();

  // Start-up as the program does it; false when the game could not start.
  bool Boot();
  // One frame after `ms` milliseconds: waiting messages are handled, then the frame runs.
  // False once the game has quit.
  bool Frame(uint32_t ms = 16);
  bool Frames(int n, uint32_t ms = 16);

  void KeyDown(uint8_t dik) { window.Input().OnKey(dik, true); }
  void KeyUp(uint8_t dik) { window.Input().OnKey(dik, false); }
  void ButtonDown(int button) { window.Input().OnButton(button, true); }
  void ButtonUp(int button) { window.Input().OnButton(button, false); }
  void Move(int x, int y) { window.cursor = {x, y}; }
  void Wheel(int notches) { window.Input().OnWheel(notches * 120); }
  // Down for one frame, up for the next.
  bool Key(uint8_t dik, uint32_t ms = 16);
  bool Click(int x, int y, int button = 0, uint32_t ms = 16);

  bool Running() const { return running_; }

  // When set, called after every frame with the time the frame took: the frame loop's step with
  // the update and draw (the headless present does nothing), for frame-budget tools. Wall time
  // counts waits (for a picture still decoding, a lock); CPU time is this thread's own work.
  struct FrameClock {
    std::chrono::nanoseconds wall{0}, cpu{0};
  };
  std::function<void(const FrameClock&)> on_frame;

  platform::HeadlessWindow window;
  platform::ManualClock clock;
  platform::HeadlessMessageBoxes boxes;
  // Null sound devices: a test listens through sound.Device()->Render, or sets
  // sound.available = false before Boot for a machine without sound.
  platform::NullSoundOutput sound;
  Process process;

 private:
  bool running_ = false;
};
