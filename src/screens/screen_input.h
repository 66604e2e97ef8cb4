// One frame's input as a screen reads it: the pointer, the frame's clicks, whether a dialog holds
// the input, the display switch, the elapsed time, and the keyboard and buttons whose presses it
// takes. A press is
// read only when the screen asks for it, so a screen that returns early leaves it to the dialog
// drawn after it. The decide and cancel rules of every screen are here.
//
// Engine library (screens).
#pragma once

#include <cstdint>

#include "app/input.h"
#include "platform/dik.h"
#include "platform/window.h"
#include "screens/pointer_box.h"

class ScreenInput {
 public:
  // `left_click` and `right_click` are the frame's click flags, which a screen may take.
  ScreenInput(CInput& input, platform::Point pointer, bool& left_click, bool& right_click,
             bool pointer_inside, bool dialog_open, uint32_t elapsed, bool display_switch = false)
      : input_(input),
        left_click_(left_click),
        right_click_(right_click),
        pointer(pointer),
        pointer_inside(pointer_inside),
        dialog_open(dialog_open),
        display_switch(display_switch),
        elapsed(elapsed) {}

  // A decide: a left click (only when `hit`), Space, Return or numpad Enter (never with Alt+Enter
  // held); never while a dialog is open, and then no key is read.
  bool Decide(bool hit = true) {
    if (dialog_open) return false;
    // Every key is read, so a press is never left over for a later frame.
    bool decide = input_.KeyPressed(DIK_SPACE);
    decide |= input_.KeyPressed(DIK_RETURN);
    decide |= input_.KeyPressed(DIK_NUMPADENTER);
    if (input_.AltEnterHeld()) decide = false;
    return decide || (left_click_ && hit);
  }
  // A cancel: Escape, or a right click inside the window.
  bool Cancel() {
    const bool cancel = input_.KeyPressed(DIK_ESCAPE);
    return cancel || (right_click_ && pointer_inside);
  }
  // The right click is answered: nothing later in the frame sees it.
  void TakeRightClick() { right_click_ = false; }

  bool LeftClick() const { return left_click_; }
  bool Key(uint8_t key) { return input_.KeyPressed(key); }
  bool Held(int button) const { return input_.ButtonDown(button); }
  int Wheel() { return input_.TakeWheel(); }
  void ClearWheel() { input_.ClearWheel(); }
  // The 8 × 8 pointer box overlaps the rectangle.
  bool PointerBox(float left, float top, float right, float bottom) const {
    return PointerBoxHits(pointer, left, top, right, bottom);
  }

 private:
  CInput& input_;
  bool& left_click_;
  bool& right_click_;

 public:
  const platform::Point pointer;
  const bool pointer_inside;
  const bool dialog_open;
  const bool display_switch;  // Alt+Return in this frame
  const uint32_t elapsed;  // ms since the last frame
};
