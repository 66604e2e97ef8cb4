// The screen modes of the game and the steps each runs per frame. A mode is always a GameMode,
// stored as one; the frame dispatcher owns the table of steps.
//
// Engine library.
#pragma once

#include <cstdint>

enum GameMode : int32_t {
  MODE_NONE = 0,
  MODE_ADV = 4,
  MODE_SAVELOAD = 5,
  MODE_CONFIG = 6,
  MODE_BACKLOG = 7,
  MODE_TITLE = 8,
  MODE_TOWN = 9,
  MODE_CGMODE = 10,
  MODE_OMOIDE = 11,
  MODE_MOVIE = 13,
  MODE_MUSIC = 14,
};

class CADV;

// A mode's update and draw steps; either may be missing (the history and the title read their
// input in their draw steps).
struct ModeSteps {
  void (*update)(CADV&) = nullptr;
  void (*draw)(CADV&) = nullptr;
};
inline constexpr int kModeCount = 15;
