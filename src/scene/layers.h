// The story's picture layers: two background channels and three character slots of two buffers
// each, with the transitions that run on them. Time arrives already counted (the owner applies the
// effect-speed and hold rules), so everything here is plain arithmetic on milliseconds and can be
// stepped and drawn without the engine.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "scene/blocks.h"

namespace scene {

// The x of a character picture's left edge at standard positions 0–4.
inline constexpr std::array<int, 5> kStandardX{-86, 0, 144, 288, 376};
inline int StandardX(int position) { return kStandardX[position >= 0 && position < 5 ? position : 0]; }

inline constexpr int kBackgroundTextures = 8;
inline constexpr int kCharacterColumns = 32;
inline constexpr int kCharacterTextures = 5;
inline constexpr int kCharacterBlocks = kCharacterColumns * kGridRows;  // 1216
inline constexpr int kSlotCount = 3;

struct Offset {
  int x = 0;
  int y = 0;
};

// ---------------------------------------------------------------------------------------------
// Backgrounds

struct BgChannel {
  CImage32 image;  // the 800 × 600 picture last loaded
  std::string image_name;  // the file `image` was decoded from, empty before the first
  BlockLayer blocks{kGridColumns, kGridRows, kBackgroundTextures};
  std::string cache_name;              // the file last loaded
  std::array<char, 64> save_name{};    // the script's picture name, for save slots
};

enum class BgTransition { kNone, kChange, kScroll, kWipe };
enum class ScrollWay { kUp, kDown, kLeft, kRight };

class Backgrounds {
 public:
  bool Create(gfx::Device& device);
  void Release();
  // Front 0, every block opaque, no transition.
  void Reset();

  // Cross-fade over n ms; n ≤ 1 swaps at once.
  void StartChange(int32_t n);
  // Both pictures move together by the screen's height or width over n ms.
  void StartScroll(ScrollWay way, int32_t n);
  // The old picture dissolves band by band through `mask` (filled here) over n ms.
  void StartWipe(int32_t n, BlockMask& mask);
  void Stop() { transition_ = BgTransition::kNone; }

  // Advances the change and scroll by `elapsed` ms; the wipe by `wipe_elapsed`.
  void Step(float elapsed, float wipe_elapsed, BlockMask& mask);
  void Draw(gfx::Device& device, Offset quake, const Wave* wave, const BlockMask& mask);

  bool Busy() const { return transition_ != BgTransition::kNone; }
  BgTransition Transition() const { return transition_; }
  void Swap() { front_ ^= 1; }
  int Front() const { return front_; }
  void SetFront(int f) { front_ = f & 1; }
  int Back() const { return front_ ^ 1; }
  BgChannel& Channel(int c) { return channels_[c & 1]; }

 private:
  std::array<BgChannel, 2> channels_;
  int front_ = 0;
  BgTransition transition_ = BgTransition::kNone;
  float counter_ = 0;   // change: ms left
  float step_ = 0;      // change: alpha per ms
  float rate_ = 0;      // scroll: pixels per ms; wipe: mask travel per ms
  float offset_ = 0;    // scroll: pixels so far
  float wipe_timer_ = 0;
  ScrollWay way_ = ScrollWay::kUp;
};

// ---------------------------------------------------------------------------------------------
// Characters

struct ChrBuffer {
  BlockLayer blocks{kCharacterColumns, kGridRows, kCharacterTextures};
  // Follows the buffer's alpha at half strength; reset to blend mode 1 by the gallery resets.
  // Nothing draws it.
  std::vector<CSprite> shadow = std::vector<CSprite>(kCharacterBlocks);
  std::string cache_name;
  void SetAlpha(int a);
};

enum class ChrFade { kNone, kChangeIn, kChangeOut, kFadeIn, kFadeOut };
enum class SlideWay { kTop, kBottom, kLeft, kRight };

struct ChrSlot {
  std::array<ChrBuffer, 2> buffers;
  int front = 0;
  bool visible = false;
  bool shadow = true;
  int position = 0;
  Offset offset;
  // Movement.
  bool moving = false;
  bool clear_on_arrival = false;  // a slide-out: the slot ends up empty
  float move_elapsed = 0;
  int move_duration = 0;
  Offset move_from, move_to, move_now;
  // Fades.
  ChrFade fade = ChrFade::kNone;
  float fade_left = 0;     // ms left in the phase
  float fade_length = 0;   // ms of the phase
  float fade_alpha = 0;    // the fading buffer's alpha (fade in / out)
  float fade_step = 0;     // alpha per ms (fade in / out)
  // Card turn.
  bool turning = false;
  float turn_elapsed = 0;
  int32_t turn_n = 0;
  float turn_rate = 0;     // 1000 / n: thousandths of the turn per ms

  ChrBuffer& Front() { return buffers[front]; }
  ChrBuffer& Back() { return buffers[front ^ 1]; }
  bool Busy() const { return moving || fade != ChrFade::kNone || turning; }
};

inline constexpr int kAnimeSteps = 64;

struct AnimeStep {
  int32_t pattern = -1;  // negative: the end of the sequence
  int32_t wait = 0;      // ms
};

struct Animation {
  std::array<AnimeStep, kAnimeSteps> steps{};
  int step = 0;
  uint32_t step_start = 0;
  bool running = false;
  bool paused = false;
};

class Characters {
 public:
  bool Create(gfx::Device& device);
  void Release();
  // Every slot invisible at position 0, no movement or fade, every block opaque.
  void Reset();

  // Each returns false (and does nothing) for a slot outside 0–2.
  bool StartChange(int slot, int32_t n);
  bool StartSlideIn(int slot, int position, int32_t speed, SlideWay way);
  bool StartSlideOut(int slot, int32_t speed, SlideWay way);
  bool StartMove(int slot, int position, int32_t speed);
  bool StartFadeIn(int slot, int32_t n);
  bool StartFadeOut(int slot, int32_t n);
  bool StartTurn(int slot, int32_t n);
  void CancelTurns();
  // The instant operations.
  bool SetPosition(int slot, int position);
  bool Show(int slot, bool on);
  bool Swap(int slot);
  // Makes a buffer transparent; its cache name is forgotten with its picture.
  bool Clear(int slot, int buffer);

  void Step(float elapsed);
  void Draw(gfx::Device& device, Offset quake, const Wave* wave);

  bool Busy() const;
  bool Turning() const;
  ChrSlot& Slot(int s) { return slots_[s]; }
  Animation& Anime() { return anime_; }
  // Advances the animation at clock time `now`.
  void StepAnime(uint32_t now);

 private:
  void DrawBuffer(gfx::Device& device, ChrSlot& slot, ChrBuffer& buffer, Offset quake,
                  const Wave* wave);
  void EndMove(ChrSlot& slot);
  void EndFade(ChrSlot& slot);
  void EndTurn(ChrSlot& slot);
  bool Valid(int slot) const { return slot >= 0 && slot < kSlotCount; }

  std::array<ChrSlot, kSlotCount> slots_;
  Animation anime_;
};

}  // namespace scene
