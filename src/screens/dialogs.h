// The confirmation dialog: a yes/no box drawn over whatever screen is showing, asking whether to
// quit or whether to go back to the title. Its state is which question the open dialog asks and
// which of its two buttons is selected, with the button sprites (cells of the third system
// texture). Whether a dialog is open at all, and whether quitting was confirmed, are CADV's
// confirm_open and quit_confirmed, which every screen reads.
//
// Engine library (screens).
#pragma once

#include <cstdint>

#include "graphics/device.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "screens/screen_input.h"

class CGraphics;
class Panels;

// What a frame of the open dialog answers.
enum class ConfirmAnswer {
  kOpen,  // still asking
  kClosed,  // closed without a yes: Escape, the right button, or "no"
  kQuit,  // yes to quitting
  kBackToTitle,  // yes to going back to the title
};

class ConfirmationDialog {
 public:
  ConfirmationDialog(CGraphics& graphics, Panels& panels);
  ConfirmationDialog(const ConfirmationDialog&) = delete;
  ConfirmationDialog& operator=(const ConfirmationDialog&) = delete;

  // The yes and no buttons, normal and highlighted, from the third system texture.
  void Setup(CTexture& sheet);
  // The question, with "no" selected.
  void AskQuit() { selection = 1; }
  void AskTitle() {
    title = true;
    selection = 1;
  }
  // One frame, after the mode's draw step: the dialog reads the keys itself, as every screen
  // ignores its own input meanwhile. Escape or the held right button closes it without an
  // answer, and it is not drawn in that frame.
  ConfirmAnswer Run(ScreenInput& in);

  bool title = false;  // ConfirmTitle: the dialog asks about going back to the title
  int32_t selection = 1;  // ConfirmSelection: 0 the left button (yes), 1 the right one (no)
  CSprite yes_normal, yes_hot, no_normal, no_hot;

 private:
  CGraphics& graphics_;
  Panels& panels_;
};

// The yes/no box's panel, the extent of a dialog panel but opaque, so nothing behind it mixes
// into the question (the confirmation dialog, the save screen's overwrite question).
void OpaqueDialogPanel(Panels& panels, gfx::Device& device, float x, float y, float w, float h,
                       uint32_t rgb);
