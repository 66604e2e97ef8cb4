// The story's choices: the "@select" boxes (ADV_CHOICE) and the "@battle_select" timed choice
// (ADV_TIMED_CHOICE), with the pictures they are drawn from. The story's draw step runs one
// choice step a frame while one is shown; everything of the choice's frame (hover, keys,
// drawing, the clock, the decision) happens in it, and the decided target is the engine's to
// follow.
//
// Engine library (screens).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "graphics/glyph_font.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "screens/screen_input.h"
#include "script/commands.h"
class CGraphics;
class CPackFile;
class PictureLoader;
class CScript;
class CSoundBuffer;
class CTEXTBOX;
class Panels;
struct SaveRecord;
struct SystemData;

inline constexpr int kTimedChoiceSegments = 30;
inline constexpr int kTimeoutSlot = 4;  // the timed choice's fifth slot

class ChoiceScreen {
 public:
  static constexpr const char* kBattlePicture = "SYSTEM\\battle_select.png";

  // `system_se` are the interface sounds (4 the ticking watch, 5 a beep, 6 the time-out's).
  ChoiceScreen(CGraphics& graphics, Panels& panels, const CTEXTBOX& text_box,
               const CScript& script, const SaveRecord& record, const CPackFile& system,
               std::array<CSoundBuffer, 16>& system_se);
  ChoiceScreen(const ChoiceScreen&) = delete;
  ChoiceScreen& operator=(const ChoiceScreen&) = delete;

  // The glyph images of both kinds and the timed choice's picture, cut into its textures.
  void Setup(PictureLoader& pictures);
  // "@select": the boxes of `choices`; false (logged) when there is nothing to choose.
  bool Show(const ChoiceList& choices);
  // "@battle_select": the rows of `choices` and the clock, the watch ticking.
  void ShowTimed(const ChoiceList& choices);
  // One frame of the shown choice, under the system menu when `menu_open`; the target of the
  // item decided in it, if any.
  std::optional<std::string> Proc(ScreenInput& in, bool menu_open);
  std::optional<std::string> TimedProc(ScreenInput& in, bool menu_open);
  // Auto and skip modes at a choice, by the settings' AutoAtChoice and SkipAtChoice.
  static void ApplyModeRules(const SystemData& settings, bool& auto_mode, bool& skip_mode);

  // A new choice: its list, selection and clock start afresh; the pictures stay.
  void Reset() {
    list = ChoiceList{};
    hovered = 0;
    decided = false;
    elapsed = 0;
    pulse_angle = 0;
    segment_lit.fill(false);
  }

  // The choice shown.
  ChoiceList list;
  int32_t hovered = 0;  // the selected box / item
  bool decided = false;
  // The timed choice.
  int32_t elapsed = 0;  // ms since it started
  float pulse_angle = 0;  // degrees
  std::array<bool, kTimedChoiceSegments> segment_lit{};

  std::array<CGlyphFont, kMaxChoices> images;  // "@select": the choice texts
  std::array<CGlyphFont, kMaxChoices> timed_labels;  // "@battle_select": the fixed labels

 private:
  void Box(float x, float y, float w, float h, uint32_t rgb, int alpha);

  CGraphics& graphics_;
  Panels& panels_;
  const CTEXTBOX& text_box_;
  const CScript& script_;
  const SaveRecord& record_;
  const CPackFile& system_;
  std::array<CSoundBuffer, 16>& se_;

  // The timed choice's picture, "SYSTEM\battle_select.png" (704 × 192) as 16 × 16 tiles.
  static constexpr int kBattleTileRows = 12, kBattleTileColumns = 44;
  std::array<CTexture, 3> battle_textures_;
  std::array<CSprite, kBattleTileRows * kBattleTileColumns> battle_tiles_;
};
