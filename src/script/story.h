// The story's sub-state and the interpreter's working state kept in CADV: the AdvState values, the
// if-stack, the waits and flags the commands set and the story mode reads, and the clickable-
// region scope. Plain data; the operations are CADV's (src/script/adv_*.cpp).
//
// Script library: uses platform, resource and save; never includes an engine header.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "resource/image.h"
#include "save/save_record.h"
#include "script/commands.h"

// What the story is doing; the interpreter runs only in ADV_RUNNING.
enum AdvState : int32_t {
  ADV_RUNNING = 0,  // "@load", "@CALL_TOWNMAP", the end of transitions
  ADV_TEXT = 1,  // "@text": characters appearing
  ADV_PAUSED = 2,  // stopped at a pause sign
  ADV_PAGE_WAIT = 3,  // "@keywait", a complete page: waiting for a click
  ADV_TRANSITION = 4,  // a picture transition or screen effect runs
  ADV_CHOICE = 5,  // "@select"
  ADV_CLICKABLE = 6,  // "]": clickable regions
  ADV_PLAYER_HIDE = 10,  // the player hides the text window
  ADV_PLAYER_SHOW = 11,  // ... and shows it again
  ADV_WINDOW_DISSOLVE_OUT = 12,  // "@textwindow_fx1"/"_fx2" hide
  ADV_WINDOW_DISSOLVE_IN = 13,  // ... show
  ADV_WINDOW_FADE_OUT = 14,  // "@textwindow" hide
  ADV_WINDOW_FADE_IN = 15,  // ... show
  ADV_TIMED_CHOICE = 50,  // "@battle_select"
  ADV_ENDING = 999,  // the ending being left
};

// The screen effects the "@effect_" commands start, by kind.
enum ScreenEffectKind : int32_t {
  EFFECT_WHITE_IN = 0,
  EFFECT_WHITE_OUT = 1,
  EFFECT_BLACK_IN = 2,
  EFFECT_BLACK_OUT = 3,
  EFFECT_WIPE3_IN = 4,
  EFFECT_WIPE3_OUT = 5,
  EFFECT_PAGE_IN = 6,
  EFFECT_PAGE_OUT = 7,
};

// The fade-ins and the wipe-in hold the script until the picture has appeared; the fade-outs
// and the page effects let it run on underneath.
constexpr bool EffectHoldsScript(int32_t kind) {
  return kind == EFFECT_WHITE_IN || kind == EFFECT_BLACK_IN || kind == EFFECT_WIPE3_IN;
}

// One byte per open if-block: 1 the if-branch ran, 0 the else-branch runs. The bytes live in a
// fixed array; blocks nested deeper than it holds are still counted (and read as taken if-
// branches), so any depth keeps the stack balanced without growing.
class IfStack {
 public:
  static constexpr int32_t kCapacity = 1024;

  int32_t Depth() const { return depth_; }
  // False when the block is deeper than the stored entries (it is counted all the same).
  bool Push(uint8_t taken) {
    if (depth_ < kCapacity) entries_[static_cast<size_t>(depth_)] = taken;
    ++depth_;
    return depth_ <= kCapacity;
  }
  uint8_t Top() const {
    return depth_ > 0 && depth_ <= kCapacity ? entries_[static_cast<size_t>(depth_ - 1)] : 1;
  }
  void Pop() {
    if (depth_ > 0) --depth_;
  }
  void Clear() { depth_ = 0; }

 private:
  std::array<uint8_t, kCapacity> entries_{};
  int32_t depth_ = 0;
};

// The interpreter's fields and the story flags its commands set.
struct ScriptState {
  IfStack if_stack;
  // "@wait": the story mode counts the time and calls the interpreter again when it has passed.
  bool wait_running = false;
  uint32_t wait_elapsed = 0;
  uint32_t wait_duration = 0;
  // Set after every picture, music or script load; the story draw step counts it down.
  bool settle = false;
  int32_t settle_count = 0;
  // A background or character transition runs; the interpreter is not called meanwhile.
  bool layer_busy = false;
  // The screen effect the "@effect_" commands started (the fade-ins hold the interpreter).
  bool screen_effect_running = false;
  int32_t screen_effect_kind = 0;
  bool ending = false;  // "@ending_start"
  bool skip_mode = false;
  bool rollback_enabled = true;  // on after start-up
  bool page_no_wait = false;  // the current page ends without waiting for a click
  // The step's safety valve (see ScriptStep): work done in the current step, and whether the
  // cut has been logged for the current script.
  int64_t step_work = 0;
  bool step_cut_logged = false;
};

// A clickable scope: the regions of a picture, each running the next of its blocks when clicked.
// Restored from a save record or a history page; no command opens one.
struct ClickableRegions {
  bool active = false;
  CImage32 map;  // the region picture: the pixel colour names the region
  std::string map_name;
  int32_t scope_start = 0;  // token position from which the blocks are searched
  int32_t current_region = 0;
  std::array<int32_t, kClickableRegionCount> counters{};  // per region: the block to run next
  // Per region and block: the counter value when the block ends (0 none, negative: stays).
  std::array<std::array<int32_t, kClickableBlockCount>, kClickableRegionCount> block_end{};
  int32_t hovered_region = 0;  // for the drawing: the region under the pointer (0 none)
  int32_t hovered_value = 0;  // ... and its block-end entry
};

// Text speed (SystemData::TextSpeed 0-7): milliseconds per character; 7 shows a page at once.
inline constexpr int32_t kTextSpeedMs[8] = {250, 175, 100, 66, 33, 15, 5, 0};
// Auto mode (SystemData::AutoClickSpeed 0-7): the wait after a complete page or a pause sign.
inline constexpr int32_t kAutoDelayMs[8] = {1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000};

// The story mode's own fields (the waits and flags the commands set are in ScriptState).
struct StoryState {
  int32_t char_countdown = 0;  // ms to the next character
  int32_t auto_timer = 0;  // ms spent waiting in auto mode
  int32_t advance_result = 0;  // the last CTEXTBOX::Advance result
  bool auto_mode = false;
  bool ctrl_skip = false;  // Ctrl held this frame
  AdvState state_before_hiding = ADV_RUNNING;
  float window_alpha = 255;  // the "@textwindow" fades
  int32_t ending_timer = 0;
};

// The message history: one entry per page, the newest last. Texts are Shift_JIS in fixed fields.
inline constexpr int kHistoryEntries = 50;
inline constexpr int kHistoryNameBytes = 16;
inline constexpr int kHistoryLineBytes = 62;
inline constexpr int kHistoryTextMax = 60;  // longer lines are stored as the overflow text
struct HistoryEntry {
  char name[kHistoryNameBytes] = {};
  char lines[kTextLineCount][kHistoryLineBytes] = {};
  uint8_t name_plate = 0;  // the name plate was shown on the page
};
struct HistoryStore {
  std::array<HistoryEntry, kHistoryEntries> entries{};
  int32_t count = 0;
};

