// The in-story system menu's state: a row of up to four picture buttons (save, load, settings,
// back to the title) that slides in from the right, and a spinning close button. Whether it is
// shown is CADV's system_menu_open, which the story and the layers read to hold still. The
// selection, the close button's angle and the save/load switch survive between openings. The
// operations are CADV's (src/screens/system_menu.cpp).
#pragma once

#include <array>
#include <cstdint>

#include "graphics/sprite.h"

inline constexpr int kSystemMenuItems = 4;
inline constexpr int kSystemMenuClose = 4;  // the selection of the close button

struct SystemMenu {
  int32_t state = 0;  // SystemMenuState: 1 sliding in, 0 idle, -1 sliding out
  int32_t selection = kSystemMenuClose;  // SystemMenuSelection: 0 save … 3 title, 4 close
  std::array<float, kSystemMenuItems> item_x{};  // left edges
  float angle = 0;  // SystemMenuAngle, degrees
  bool cursor_shown_before = false;  // the text box's wait cursor when the menu opened
  // MenuSaveLoadEnabled: items 0 and 1 are offered (set when a load resumes in the town map,
  // cleared when a new story or a replay starts).
  bool save_load_enabled = false;

  std::array<CSprite, kSystemMenuItems> item_normal, item_hot;
  CSprite close_normal, close_hot;
};
