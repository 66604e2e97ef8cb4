// The story's choices: the "@select" boxes (ADV_CHOICE) and the "@battle_select" timed choice
// (ADV_TIMED_CHOICE), with the pictures they are drawn from. The state lives here; the
// operations (ShowChoices, ChoiceProc, TimedChoiceProc, ...) are CADV's entry points, defined
// with this screen's drawing in the same pair.
//
// Engine library (screens).
#pragma once

#include <array>
#include <cstdint>

#include "graphics/glyph_font.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "script/commands.h"

inline constexpr int kTimedChoiceSegments = 30;
inline constexpr int kTimeoutSlot = 4;  // the timed choice's fifth slot

struct ChoiceScreen {
  // A new choice: its list, selection and clock start afresh; the pictures stay.
  void Reset() {
    list = ChoiceList{};
    hovered = 0;
    decided = false;
    elapsed = 0;
    pulse_angle = 0;
    segment_lit.fill(false);
  }

  ChoiceList list;
  int32_t hovered = 0;  // the selected box / item
  bool decided = false;
  // The timed choice.
  int32_t elapsed = 0;  // ms since it started
  float pulse_angle = 0;  // degrees
  std::array<bool, kTimedChoiceSegments> segment_lit{};

  std::array<CGlyphFont, kMaxChoices> images;  // "@select": the choice texts
  std::array<CGlyphFont, kMaxChoices> timed_labels;  // "@battle_select": the fixed labels
  // The timed choice's picture, "SYSTEM\battle_select.png" (704 × 192) as 16 × 16 tiles.
  static constexpr int kBattleTileRows = 12, kBattleTileColumns = 44;
  std::array<CTexture, 3> battle_textures;
  std::array<CSprite, kBattleTileRows * kBattleTileColumns> battle_tiles;
};
