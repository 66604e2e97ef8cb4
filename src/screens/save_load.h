// The save/load screen (MODE_SAVELOAD): one screen for both directions, six pages of six slots,
// the page tabs, the return button and (saving only) the overwrite-confirmation toggle with its
// tooltip, and the small yes/no question asked before an occupied slot is overwritten. Cursor,
// page and the tooltip's fade survive between visits.
//
// The update step moves the cursor, tests the pointer and acts; a save is only requested there
// and runs in the draw step, which has the screen it was opened from drawn once more, captures
// it for the thumbnail and writes the slot. The slot table is read from the disk whenever the
// screen opens, so slots saved in earlier runs show their time and picture too.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/game_mode.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "screens/screen_input.h"
#include "screens/slot_table.h"

class CGraphics;
class CPackFile;
class CSoundBuffer;
class Panels;
struct SaveRecord;
struct SystemData;

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

// What the screen asks of the engine, which owns the record files and the screens behind it.
struct SaveLoadHooks {
  // Draws the screen the save/load screen was opened from, as the player saw it.
  std::function<void(GameMode from)> draw_behind;
  // The thumbnail of the captured frame into `path`; the record into slot n; slot n read back
  // into the story (false: refused, nothing changed).
  std::function<bool(const std::string& path)> write_thumbnail;
  std::function<bool(int n)> save_slot;
  std::function<bool(int n)> load_slot;
};

// What the update step leaves to the engine: the screen is left for the mode it was opened
// from, or a slot was loaded and the story takes over.
enum class SaveLoadStep { kStay, kLeave, kLoaded };

class SaveLoadScreen {
 public:
  SaveLoadScreen(CGraphics& graphics, Panels& panels, SlotTable& slots, SystemData& settings,
                 SaveRecord& record, const CPackFile& scripts, CSoundBuffer& cancel_sound,
                 SaveLoadHooks hooks);
  SaveLoadScreen(const SaveLoadScreen&) = delete;
  SaveLoadScreen& operator=(const SaveLoadScreen&) = delete;

  // Cuts the screen's cells from the dialog art and `dialog_sheet` (the question's buttons).
  void Setup(CTexture& dialog_sheet);
  // Opens the screen from `from`: the title and the town map are returned to, everything else
  // returns to the story. The slot table is read again.
  void Open(bool save, GameMode from);
  SaveLoadStep Proc(ScreenInput& in);
  // True when the screen is left once a pending save has been written.
  bool Flip(uint32_t elapsed);

  // Reads the slot files' times and thumbnails for slots 0-35.
  void RefreshSlots();
  void LoadThumbnail(int n);  // the slot's texture from "SAVE\<n>.bmp"
  // The text a slot's label shows: its time, or "-- NO DATA --".
  const std::string& Label(int n) const;

  // The screen's state: what the player left it at, read by the engine and the tests.
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

 private:
  void UpdateShownLabel(int n);
  void Leave(bool& left);
  void QuestionProc(ScreenInput& in);
  void PendingSave();
  void Outline(float left, float top, float right, float bottom, uint32_t elapsed);
  void DrawQuestion();

  CGraphics& graphics_;
  Panels& panels_;
  SlotTable& slots_;
  SystemData& settings_;
  SaveRecord& record_;
  const CPackFile& scripts_;
  CSoundBuffer& cancel_sound_;
  SaveLoadHooks hooks_;

  std::vector<uint32_t> thumbnail_pixels_;  // 160 × 120, the buffer a picture is read into

  // Cells of the dialog art.
  CSprite background_tile_;
  CSprite header_load_, header_save_;
  std::array<CSprite, 3> tab_other_, tab_current_;  // top, middle, bottom
  CSprite tab_caption_;
  std::array<CSprite, kSaveLoadPages> page_digits_;
  CSprite toggle_off_, toggle_on_;
  CSprite return_normal_, return_hot_;
  CSprite thumbnail_;  // its texture is the slot's
  // The question's buttons, cells of the third system texture.
  CSprite yes_normal_, yes_hot_, no_normal_, no_hot_;
};
