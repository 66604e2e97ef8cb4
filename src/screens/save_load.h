// The save/load screen's state: one screen for both directions, six pages of six slots, the
// page tabs, the return button and (saving only) the overwrite-confirmation toggle with its
// tooltip, and the small yes/no question asked before an occupied slot is overwritten. Cursor,
// page and the tooltip's fade survive between visits. The operations are CADV's
// (src/screens/save_load.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/game_mode.h"
#include "graphics/sprite.h"

inline constexpr int kSaveLoadPages = 6;
inline constexpr int kSaveLoadSlotsPerPage = 6;
inline constexpr int kSaveLoadSlots = kSaveLoadPages * kSaveLoadSlotsPerPage;  // 36

// Cursor values other than the six slots of the page.
inline constexpr int kSaveLoadReturn = -1;
inline constexpr int kSaveLoadPageTab = -2;
inline constexpr int kSaveLoadToggle = -3;
inline constexpr int kSaveLoadNothing = -4;  // reached by Up from the toggle; selects nothing

// The thumbnail pictures the slot textures are filled with.
inline constexpr int kThumbnailWidth = 160;
inline constexpr int kThumbnailHeight = 120;

// A slot shown on the screen (0-35) holds a save file.
bool AnySlotSaved();

struct SaveLoadScreen {
  SaveLoadScreen() { contents_time.fill(-1); }

  bool is_save = false;  // SaveLoadIsSave
  GameMode return_mode = MODE_ADV;  // SaveLoadReturnMode
  int32_t cursor = 0;  // SaveLoadCursor: 0-5 a slot of the page, or one of the values above
  int32_t page = 0;  // SaveLoadPage
  int32_t hovered_page_tab = -1;  // HoveredPageTab, recomputed by every update
  bool save_request = false;  // SaveRequest: this frame's draw step saves
  bool overwrite_hover = false;  // OverwriteHover
  float overwrite_tip_alpha = 0;  // OverwriteTipAlpha, 0-255

  // A cancel or the return button while a save is pending: the screen is left once the draw
  // step has saved, so the save still runs in that frame.
  bool leave_after_save = false;
  // The slot table has been read from the disk for this visit.
  bool visiting = false;

  // The overwrite question: open, and its selection (0 yes, 1 no).
  bool question_open = false;
  int32_t question_selection = 1;

  // Per slot: the file time the thumbnail texture was filled for, and whether it holds one.
  std::array<int64_t, kSaveLoadSlots> thumbnail_time{};
  std::array<bool, kSaveLoadSlots> thumbnail_loaded{};
  std::array<std::string, kSaveLoadSlots> shown_labels;  // the labels as drawn
  // What each slot holds, shown under its time: the saved page's speaker and first line, read
  // from the page's text command in its script; and the file time it was read for (−1 never).
  std::array<std::string, kSaveLoadSlots> contents;
  std::array<int64_t, kSaveLoadSlots> contents_time;
  std::vector<uint32_t> thumbnail_pixels;  // 160 × 120, the buffer a picture is read into

  // Cells of the dialog art.
  CSprite background_tile;
  CSprite header_load, header_save;
  std::array<CSprite, 3> tab_other, tab_current;  // top, middle, bottom
  CSprite tab_caption;
  std::array<CSprite, kSaveLoadPages> page_digits;
  CSprite toggle_off, toggle_on;
  CSprite return_normal, return_hot;
  CSprite thumbnail;  // its texture is the slot's
  // The question's buttons, cells of the third system texture.
  CSprite yes_normal, yes_hot, no_normal, no_hot;
};
