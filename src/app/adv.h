// CADV: the one game-state object. It holds every piece of game state and is driven once per frame
// by FrameProc, which reads the pointer and the clicks, runs the current mode's update and draw
// steps and the overlays above them. Its methods live with the area they belong to: this folder
// holds the frame dispatch and start-up; each screen's Init/Proc/Flip live in that screen's file.
//
// Engine library: may use every lower library (platform, resource, graphics, audio, save, scene,
// script, movie); nothing below it includes this header.
#pragma once

#include <array>
#include <cstdint>

#include "graphics/graphics.h"
#include "platform/window.h"
#include "save/progress.h"
#include "save/read_positions.h"
#include "save/system_data.h"

struct Process;

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

class CADV final : public DeviceClient {
 public:
  explicit CADV(Process& process);
  CADV(const CADV&) = delete;
  CADV& operator=(const CADV&) = delete;

  void Init();
  // -1 not ready, 0 a normal frame, 1 a display-mode toggle was asked for.
  int FrameProc(uint32_t elapsed);

  // DeviceClient
  void ReleaseDeviceResources() override;
  void RestoreDeviceResources() override;
  void SetDeviceReady(bool r) override { ready = r; }

  // Settings file.
  bool LoadSystemData();
  bool SaveSystemData();
  void ResetSettings();

  // Progress ("data.dat") and read text ("text.dat"). A picture or memory unlock writes
  // "data.dat" at once; a movie's flag waits for the next SaveProgress.
  bool LoadProgress();
  bool SaveProgress();
  void UnlockPicture(int index);
  void UnlockMemory(int n);
  void UnlockMovie(int n);
  bool LoadReadPositions();
  bool SaveReadPositions();

  // --- frame and pointer
  uint32_t frame_time = 1;
  uint32_t draw_time = 0;
  uint32_t prev_draw_time = 0;
  platform::Point pointer{};
  bool left_click = false;
  bool right_click = false;
  bool window_active = false;
  bool ready = false;
  bool pointer_inside = true;
  bool toggle_request = false;
  bool startup_windowed = true;  // the start-up copy of SystemData::Windowed

  // --- mode
  GameMode game_mode = MODE_NONE;
  GameMode script_end_mode = MODE_TITLE;

  // --- confirmation overlay
  bool confirm_open = false;
  bool quit_confirmed = false;

  // --- settings and progress
  SystemData system_data{};
  ProgressData progress{};
  ReadPositions read_positions;

  // --- text window flags set by Init
  bool text_hidden_by_script = false;
  bool text_hidden_by_player = false;
  bool system_menu_open = false;

  // The dispatch table, indexed by GameMode (the table of modes, as data).
  std::array<ModeSteps, kModeCount> modes;

  Process& process() { return process_; }

 private:
  static std::array<ModeSteps, kModeCount> DefaultModes();
  void UpdatePointer();
  bool InClickableRegions() const;

  // Set-ups run by Init, each owned by its area.
  void LayersSetup();
  void BacklogSetup();
  void DialogArtSetup();
  void SaveLoadSetup();
  void SystemMenuSetup();
  void ChoiceSetup();
  void LoadTitleResources();
  void ConfigSetup();
  void TownSetup();
  void ConfirmDialog();

  // Mode steps.
 public:
  void ADV_Proc();
  void ADV_Flip();
  void SaveLoad_Proc();
  void SaveLoad_Flip();
  void Config_Proc();
  void Config_Flip();
  void Backlog_Flip();
  void Title_Flip();
  void Town_Proc();
  void Town_Flip();
  void CGMODE_Proc();
  void CGMODE_Flip();
  void OMOIDE_Proc();
  void OMOIDE_Flip();
  void Movie_Proc();
  void Movie_Flip();
  void Music_Proc();
  void Music_Flip();

 private:
  Process& process_;
};
