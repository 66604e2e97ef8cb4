// The decide and cancel rules every screen shares.
#include "screens/screen_input.h"

#include "platform/dik.h"

bool ScreenInput::Decide(bool hit) const {
  if (dialog_open) return false;
  // Every key is read, so a press is never left over for a later frame.
  bool decide = keys.KeyPressed(DIK_SPACE);
  decide |= keys.KeyPressed(DIK_RETURN);
  decide |= keys.KeyPressed(DIK_NUMPADENTER);
  if (keys.AltEnterHeld()) decide = false;
  return decide || (left_click && hit);
}

bool ScreenInput::Cancel() const {
  const bool cancel = keys.KeyPressed(DIK_ESCAPE);
  return cancel || (right_click && pointer_inside);
}
