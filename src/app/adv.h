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
#include <optional>
#include <string>
#include <string_view>

#include "app/game_mode.h"
#include "audio/voice.h"
#include "graphics/glyph_font.h"
#include "graphics/graphics.h"
#include "graphics/sprite.h"
#include "graphics/text_box.h"
#include "graphics/texture.h"
#include "platform/window.h"
#include "resource/picture_loader.h"
#include "save/checkpoints.h"
#include "save/progress.h"
#include "save/read_positions.h"
#include "save/save_record.h"
#include "save/system_data.h"
#include "scene/scene.h"
#include "screens/backlog.h"
#include "screens/button_bar.h"
#include "screens/choices.h"
#include "screens/config.h"
#include "screens/dialogs.h"
#include "screens/movie_layer.h"
#include "screens/movie_room.h"
#include "screens/panels.h"
#include "screens/memory_replay.h"
#include "screens/music_room.h"
#include "screens/picture_gallery.h"
#include "screens/save_load.h"
#include "screens/screen_input.h"
#include "screens/slot_table.h"
#include "screens/system_menu.h"
#include "screens/title.h"
#include "screens/town_map.h"
#include "script/commands.h"
#include "script/script.h"
#include "script/story.h"

struct Process;


// "SYSTEM\systex1.png" … 3: the picture of system texture i (0–2).
std::string SystemTexturePicture(int i);

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

  // --- device-bound resources made by Init: three 8 × 8 plain sprites for full-screen fills,
  // the system textures ("SYSTEM\systex1.png" … 3) and 18 blank textures, all 256 × 256 ARGB.
  std::array<CSprite, 3> fill_sprites;  // kFillBlack, kFillWhite, kFillPlain
  static constexpr int kFillBlack = 0, kFillWhite = 1, kFillPlain = 2;
  std::array<CTexture, 3> system_textures;
  std::array<CTexture, 18> blank_textures;

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

  // --- script engine: the loaded script, the story's sub-state, the interpreter's state, the
  // clickable scope, and the current save record (the live home of $[n] and $FAV[n]).
  CScript script;
  AdvState adv_state = ADV_RUNNING;
  ScriptState script_state;
  ClickableRegions clickable;
  SaveRecord save_record;
  // The script's effect channels: played and looped, as the save record snapshots them.
  std::array<uint8_t, 8> se_channel_active{};
  std::array<uint8_t, 8> se_channel_looping{};
  // The music as "@bgm_play" started it: its file name (no folder), playing, looping.
  std::string bgm_name;
  bool bgm_active = false;
  bool bgm_looping = false;

  // Interpreter (src/script/adv_interpreter.cpp): one step runs statements until one yields.
  void ScriptStep();
  // A number token or a variable reference; nothing (with the reason logged) when it does not
  // resolve.
  std::optional<int32_t> ResolveValue(std::string_view token);
  // Raises the read position of the current script to its position.
  void RecordReadPosition();
  void StartSettle();
  // Labels, loads and clickable regions (src/script/adv_labels.cpp).
  void JumpToLabel(std::string_view reference);
  // "@load": "SCP\" + name, ".scp" added when the name has none.
  void LoadScriptCommand(const std::string& name);
  // The first script of a new story. When it cannot be loaded the loader's message is logged
  // and shown to the player in a message box with the reason, and the story runs empty.
  bool LoadStartupScript(const std::string& path);
  // A decided choice: "*label" jumps, anything else loads "SCP\" + target + ".scp".
  void FollowChoiceTarget(const std::string& target);
  // 1-7 for the region colours of the map, 0 another colour, -1 outside the picture.
  int RegionAt(int x, int y) const;
  void ClickableProc();  // ADV_CLICKABLE, run by the story's draw step
  void EndClickableBlock();  // the interpreter's "]"

  // --- text, the story mode and the choices ------------------------------------------------
  CTEXTBOX text_box;
  StoryState story;
  CharNameTable char_names;  // "@def_text"
  VoiceQueueFields voice_queue;  // filled by "@text,", played by the story
  HistoryStore history;  // the message history's pages
  CheckpointHistory checkpoints;  // ... and their snapshots
  // The panels every screen draws its boxes with (src/screens/panels.*).
  Panels panels;
  // "@select" and "@battle_select" (src/screens/choices.*; entry points in adv_choices_glue.cpp)
  ChoiceScreen choice;
  ButtonBar button_bar;  // under the text window (src/screens/button_bar.*)

  // Text commands (src/script/adv_text_commands.cpp).
  void DefText(const CharNameTable& table);
  void FontLoad(const std::string& file);
  void ShowTextPage(const TextPage& page);
  void TextCls();
  void TextClear();
  void CharNameWindow(bool show);
  void TextWindow(TextWindowKind kind, bool show);
  void SetTextCursorVisible(bool on);
  // The text box at start-up: created, given the text style, the special glyphs loaded.
  void TextBoxSetup();
  // Starts the queued voices of the page (the voice step), while voices are pending.
  void StartPendingVoices();
  // A new story from the title: nothing the last one left (its state, its ending, its variables,
  // its town day, its history) carries over; the system variables of system.dat stay.
  void BeginStory();
  // The character-name table into and out of the save record (22-byte entries).
  void StoreCharNames();
  void RestoreCharNames();

  // Snapshots and the history (src/save/adv_snapshot.cpp). TakeSnapshot fills the snapshot
  // fields of the save record (the script position is the page's text command) and pushes it.
  void TakeSnapshot(int32_t text_position);
  void PushCheckpoint();  // the record as the current history entry's snapshot
  void PushPageSnapshot() { PushCheckpoint(); }
  // Line −1: a new page's speaker (drops the oldest page when 50 are kept); 0-2 its lines.
  void RecordHistory(int line, std::string_view text);
  // The page is complete in the history: the count goes up.
  void EndHistoryPage();

  // Choices (ChoiceScreen): set-up, the commands, and the per-frame steps the story's draw step
  // runs in ADV_CHOICE and ADV_TIMED_CHOICE.
  void ShowChoices(const ChoiceList& choices);
  void ShowTimedChoices(const ChoiceList& choices);
  void ChoiceProc();
  void TimedChoiceProc();
  // Auto and skip modes at a choice, by AutoAtChoice and SkipAtChoice.
  void ApplyChoiceModeRules();
  // The seven interface sounds into system effect slots 0-6 (src/audio/adv_sound_commands.cpp);
  // a file that is missing is logged and its slot stays silent.
  void LoadSystemSounds();

  // Shared input rules and drawing helpers of the screens (ScreenInput's rules, Panels).
  // The frame's input as the screens read it (the decide and cancel rules are its own).
  ScreenInput InputForScreen();
  // A decide: a left click (only when `hit`), Space, Return or numpad Enter; never while a
  // confirmation dialog is open.
  bool IsDecide(bool hit = true);
  // A cancel: a right click inside the window or Escape.
  bool IsCancel();
  // The 8 × 8 pointer box (top-left at the pointer) overlaps the rectangle.
  bool PointerBoxOverlaps(float left, float top, float right, float bottom) const;
  // The rounded panel (the save screen's; right pieces 8 px further in) and the dialog panels.
  void RoundedPanel(float x, float y, float w, float h, uint32_t rgb, int alpha);
  void DialogPanel(float x, float y, float w, float h, uint32_t rgb);
  void FramedPanel(float x, float y, float w, float h, uint32_t fill_rgb, uint32_t outline_rgb);
  // The nine-slice frame of the dialog art (needs DialogArtSetup).
  void WindowFrame(float x, float y, int columns, int rows);

  // The story mode (src/script/adv_story.cpp): the button bar, and what it opens.
  void ButtonBarSetup();  // the bar's sprites, made with the text box
  void ButtonBarProc();  // hover and keys, in the update step
  void ButtonBarDraw();  // in the draw step, with the text window
  void OpenSystemMenu();
  void OpenBacklog();
  void OpenSaveLoad(bool save);
  bool HideKeyPressed();
  bool Skipping() const;  // skip mode or Ctrl skip: fades and voices are cut short

  // --- the galleries: picture gallery, memory replay, music room; made at first use, kept for
  // the run (their hovered elements survive visits). Entry points in
  // src/screens/adv_gallery_glue.cpp.
  std::optional<PictureGallery> picture_gallery;
  std::optional<MemoryReplay> memory_replay;
  std::optional<MusicRoom> music_room;
  void CGMODE_Init();
  void OMOIDE_Init();
  void MUSIC_Init();
  // A story from a menu: the title's new story (`first_script`: a failure is shown) or a replay.
  void StartMenuScript(const std::string& path, bool first_script);

  // --- the title screen (TitleScreen, with these entry points in its glue file). ReturnToTitle
  // is every way back to it: the read-text records are saved and the title's resources loaded
  // again.
  TitleScreen title;
  void ReturnToTitle();
  void SetTitleState(int32_t state);

  // --- save slots (src/save/engine/adv_save_slots.cpp) and the save/load screen
  // (src/screens/save_load.*; these entry points in adv_save_load_glue.cpp) --------------------
  SlotTable slots;
  // The record at engine start: zeroed, version 202; the slot thumbnails made.
  void ResetRecord();
  // "<current folder>\SAVE\<n>.dat": the 6,640-byte record, written whole or not at all.
  bool SaveSlot(int n);
  // The 160 × 120 thumbnail from the capture surface (every fifth pixel), through SaveBMP.
  bool WriteThumbnail(const std::string& path);
  bool RefreshSlotInfo(int n);
  // Reads slot n and rebuilds the scene, music, effects, script and names from it.
  bool LoadSlot(int n);
  // The same rebuild from history entry i.
  bool RestoreCheckpoint(int i);  // false: refused, nothing changed
  SaveLoadScreen save_load;
  // Reads the slot files' times and thumbnails for slots 0-35 (done when the screen opens).
  void RefreshSaveLoadSlots();
  void LoadSlotThumbnail(int n);  // the slot's texture from "SAVE\<n>.bmp"
  // The text a slot's label shows: its time, or "-- NO DATA --".
  const std::string& SaveLoadLabel(int n) const;

  // --- the settings screen (ConfigScreen, with these entry points in its glue file).
  ConfigScreen config;
  // Opens the screen; leaving it returns to `return_mode`.
  void OpenConfig(GameMode return_mode);

  // --- the confirmation dialog (ConfirmationDialog) and the in-story system menu (SystemMenu),
  // each with its entry points in its glue file, and the message history (BacklogScreen)
  ConfirmationDialog confirmation;
  SystemMenu system_menu;
  BacklogScreen backlog;
  void OpenQuitConfirmation();  // does nothing while a dialog is open
  void OpenTitleConfirmation();
  void RunConfirmation();  // after the mode's draw step, while confirm_open
  void GoBackToTitle();  // the title confirmation answered yes
  void RunSystemMenu();  // by the story's draw step, in place of the button bar
  void ShowBacklogEntry(int i);  // history page i, complete, in the text box

  // --- the sound commands: script effect channels 0-7 and the music (src/audio/adv_sound_commands.cpp)
  void SeLoad(int32_t slot, const std::string& file);
  void SePlay(int32_t slot, bool loop);
  void SeStop(int32_t slot);
  void SeVolume(int32_t slot, int32_t level);
  void SeFadeOut(int32_t slot, int32_t speed);
  void BgmPlay(const std::string& file);
  void BgmStop(int32_t speed);

  // --- picture layers and screen effects (src/scene/adv_scene.cpp)
  scene::Scene scene;
  // Loaders with their name caches: true when the picture is in place.
  bool SubBGLoadFromPNG(int32_t channel, const std::string& name);
  bool SubChrLoadFromPNG(int32_t slot, int32_t buffer, const std::string& name);
  void ChrClear(int32_t slot, int32_t buffer);
  void SceneReset();
  // The operations of the picture, animation and effect commands ("BG"/"CHR" added by the
  // loads, which always fill the hidden channel or buffer).
  bool BgLoad(const std::string& file);
  void BgChange(int32_t duration);
  void BgScroll(ScrollDirection direction, int32_t duration);
  bool SceneBgScrolling() const;
  void BgSync();  // "@bg_sync": the story waits while a scroll moves
  void BgWipe3(int32_t duration);
  bool ChrLoad(int32_t slot, const std::string& file);
  void ChrChange(int32_t slot, int32_t duration);
  void ChrSlideIn(int32_t slot, int32_t position, int32_t speed, SlideDirection direction);
  void ChrSlideOut(int32_t slot, int32_t speed, SlideDirection direction);
  void ChrMove(int32_t slot, int32_t position, int32_t speed);
  void ChrSetPosition(int32_t slot, int32_t position);
  void ChrShow(int32_t slot);
  void ChrHide(int32_t slot);
  void ChrSwap(int32_t slot);
  void ChrFadeIn(SlotGroup group, int32_t duration);
  void ChrFadeOut(SlotGroup group, int32_t duration);
  void ChrTurn(SlotGroup group, int32_t n);
  void ChrShadow(int32_t slot, bool on);
  void SceneTurnRestore();  // a state restore lowers the turn
  void AnimeInit();
  void AnimeSet(int32_t index, int32_t pattern, int32_t wait);
  void AnimeStart();
  void AnimePause();
  void AnimePlay();
  void AnimeStop();
  bool AnimeLoad(int32_t number, const std::string& file);
  void Raster(RasterTarget target, int32_t row_step, int32_t rate, int32_t duration);
  void Quake(int32_t duration, int32_t direction);
  void ScreenFade(ScreenEffectKind kind, int32_t duration);
  void ScreenWipe(ScreenEffectKind kind, int32_t duration);
  // Per frame: the animation (story update step); the quake, raster and layers, then the screen
  // effect after every overlay (story draw step).
  void SceneAnimeProc();
  void SceneDrawLayers();
  void SceneDrawEffect();
  // A layer transition, the raster, or a screen effect not yet settled holds the story.
  bool SceneWaiting() const;
  // Tells the picture loader which pictures the script will load next (the picture commands
  // ahead of the read position), when the position has left the stretch scanned last.
  void ExpectScriptPictures();

  // --- the town map (src/screens/town_map.cpp; these entry points in adv_town_glue.cpp)
  TownMap town;
  void Town_init();
  void Town_SetPlace();
  void PlayTownMusic();  // the map's music on its own stream
  void SubCubeVertexInit();  // with the device resources

  // --- movies: the story's movie layer and the movie room (src/screens/movie_layer.*,
  // movie_room.*; these entry points in adv_movie_glue.cpp)
  MovieLayer movie_layer;
  MovieRoom movie_room;
  void MovieLoad(const std::string& file);
  void MoviePlay();
  void MovieStop();
  bool MovieHoldsStory();  // the story's update step: a skip, or the wait for the end
  void MovieLayerDraw();  // the story's draw step, between background and characters
  void MOVIE_Init();  // the movie room's set-up

  // A test replaces the steps of one mode (to drive one piece of a screen alone); the table
  // itself stays the dispatcher's.
  void SetModeSteps(GameMode mode, ModeSteps steps);
  ModeSteps StepsOfMode(GameMode mode) const;

  Process& process() { return process_; }

 private:
  static std::array<ModeSteps, kModeCount> DefaultModes();
  TitleContext TitleContextOf(Process& p);
  // The dispatch table, indexed by GameMode (the table of modes, as data).
  std::array<ModeSteps, kModeCount> modes;
  void UpdatePointer();
  bool InClickableRegions() const;

  // Set-ups run by Init, each owned by its area.
  void LayersSetup();
  void BacklogSetup();
  void DialogArtSetup();
  void SaveLoadSetup();
  SaveLoadHooks SaveLoadHooksOf();
  void SystemMenuSetup();
  void ChoiceSetup();
  void LoadTitleResources();
  void ConfigSetup();
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
  // The stretch of the script the pictures last expected were found in: scanned again when the
  // read position leaves [ahead_from_, ahead_to_] or another script is loaded.
  std::string ahead_script_;
  int32_t ahead_from_ = -1, ahead_to_ = -1;
  // Set while the way back to the title has already asked for all of the title's pictures.
  bool title_pictures_expected_ = false;
  void ExpectTitlePictures(bool with_return);
  std::vector<PictureLoader::Wanted> TitlePictures(bool with_return);

 public:
  // Before Init, once the archives are open: the pictures Init reads, in its order, so the
  // picture workers decode them while the window, the sound and the device are made.
  void ExpectStartUpPictures();
};
