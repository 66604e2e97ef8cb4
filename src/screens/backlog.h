// The message history screen's state (MODE_BACKLOG): the page shown, the mode to go back to,
// the two buttons sliding in, the element last chosen, and the sprites (cells of the first
// system texture). The pages themselves are CADV's history store and checkpoints. The
// operations are CADV's (src/screens/backlog.cpp).
#pragma once

#include <cstdint>

#include "graphics/sprite.h"

// BacklogHover values.
inline constexpr int kBacklogGoBack = 1;
inline constexpr int kBacklogReturn = 2;
inline constexpr int kBacklogUp = 3;
inline constexpr int kBacklogDown = 4;
inline constexpr int kBacklogScrollBar = 5;

struct BacklogScreen {
  int32_t index = 0;  // BacklogIndex: the entry chosen, 0 … count − 2
  int32_t shown = -1;  // the entry the text box holds
  int32_t return_mode = 4;  // BacklogReturnMode (MODE_ADV)
  bool sliding = false;  // BacklogSliding
  float go_back_x = 800, return_x = 1056;  // left edges of the buttons
  int32_t hover = kBacklogReturn;  // BacklogHover; kept when the pointer leaves

  CSprite go_back_normal, go_back_hot, return_normal, return_hot;
  CSprite arrow, thumb;
};
