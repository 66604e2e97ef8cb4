// One frame's input as the screens read it: the pointer, the frame's clicks, whether the
// confirmation dialog is open, the display switch, the elapsed time, and the keyboard itself. A
// key press waits in CInput until somebody reads it, so a screen reads its keys only where it
// acts on them; Decide and Cancel are the rules every screen shares.
//
// Engine library (screens).
#pragma once

#include <cstdint>

#include "app/input.h"
#include "platform/window.h"
#include "screens/pointer_box.h"

struct ScreenInput {
  CInput& keys;
  platform::Point pointer{};
  bool left_click = false;  // the left button's edge in this frame, inside the window
  bool right_click = false;
  bool pointer_inside = true;
  bool dialog_open = false;  // the confirmation dialog is up: it reads the keys itself
  bool display_switch = false;  // Alt+Return in this frame
  uint32_t elapsed = 0;  // ms since the last frame

  // A decide: a left click (only when `hit`), Space, Return or numpad Enter; never while a
  // confirmation dialog is open, and never the Return of Alt+Return.
  bool Decide(bool hit = true) const;
  // A cancel: a right click inside the window or Escape.
  bool Cancel() const;
  // The 8 × 8 pointer box overlaps the rectangle.
  bool PointerOn(float left, float top, float right, float bottom) const {
    return PointerBoxHits(pointer, left, top, right, bottom);
  }
};
