// The confirmation dialog's state: which question the open dialog asks and which of its two
// buttons is selected, with the button sprites (cells of the third system texture). Whether a
// dialog is open at all, and whether quitting was confirmed, are CADV's confirm_open and
// quit_confirmed, which every screen reads. The operations are CADV's entry points, defined with
// the dialog's drawing in the same pair.
#pragma once

#include <cstdint>

#include "graphics/device.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

class CADV;

struct ConfirmationDialog {
  bool title = false;  // ConfirmTitle: the dialog asks about going back to the title
  int32_t selection = 1;  // ConfirmSelection: 0 the left button (yes), 1 the right one (no)

  // The yes and no buttons, normal and highlighted, from the third system texture.
  void Setup(gfx::Device& device, CTexture& sheet);

  CSprite yes_normal, yes_hot, no_normal, no_hot;
};

// The yes/no box's panel, the extent of DialogPanel but opaque, so nothing behind it mixes into
// the question (the confirmation dialog, the save screen's overwrite question).
void OpaqueDialogPanel(CADV& adv, float x, float y, float w, float h, uint32_t rgb);
