// The screen effects drawn over the whole story scene (white and black fades, the block wipes),
// the quake that shakes the layers, and the raster wave that bends them. Time arrives already
// counted by the owner; the raster and the wipes share one countdown.
#pragma once

#include <cstdint>

#include "scene/blocks.h"
#include "scene/layers.h"

namespace scene {

enum class EffectEvent { kNone, kEnded, kCovered };

struct QuakeState {
  bool on = false;
  int32_t duration = 0;
  int32_t elapsed = 0;
  int32_t frequency = 20;
  int32_t direction = 0;  // 0 vertical, 1 horizontal
  Offset offset;
};

struct RasterState {
  bool background = false;
  bool characters = false;
  float row_step = 0;
  float amplitude = 0;
  float rate = 0;
  bool Running() const { return background || characters; }
};

class ScreenEffects {
 public:
  ScreenEffects();
  // No effect, no quake, no raster.
  void Reset();

  // Kinds 0–3: white in, white out, black in, black out.
  void StartFade(int kind, int32_t n);
  // Kinds 4–7: wipe3 in, wipe3 out, page in, page out. Restarts the raster's countdown too.
  void StartWipe(int kind, int32_t n);
  void StartQuake(int32_t duration, int32_t direction);
  void StartRaster(bool background, bool characters, int32_t row_step, int32_t rate,
                   int32_t duration);

  // Before the layers are drawn: the quake and the raster advance by `elapsed`.
  void StepQuake(int32_t elapsed);
  // True when the raster ended this frame.
  bool StepRaster(float elapsed);
  // After everything else: the effect advances (`counted` ms for the level and the timer,
  // `travel` ms for the mask values) and is drawn. kCovered: an "out" wipe finished; the owner
  // clears the scene behind the black, which stays.
  EffectEvent StepAndDraw(gfx::Device& device, float counted, float travel);

  // The wave for the layers, or none while the raster is off.
  const Wave* BackgroundWave() const { return raster_.background ? &wave_ : nullptr; }
  const Wave* CharacterWave() const { return raster_.characters ? &wave_ : nullptr; }
  Offset QuakeOffset() const { return quake_.offset; }

  bool Active() const { return active_; }
  int Kind() const { return kind_; }
  int Level() const { return level_; }
  float Timer() const { return timer_; }
  const QuakeState& Quake() const { return quake_; }
  const RasterState& Raster() const { return raster_; }
  BlockMask& Mask() { return mask_; }
  bool WipeRunning() const { return active_ && kind_ >= 4; }

 private:
  void DrawMask(gfx::Device& device);

  bool active_ = false;
  int kind_ = 0;
  float level_acc_ = 0;
  float step_ = 0;
  int level_ = 0;
  float timer_ = 0;  // shared by the wipes and the raster
  float rate_ = 0;
  BlockMask mask_;
  CSprite white_;
  CSprite black_;
  CSprite mask_block_;
  QuakeState quake_;
  RasterState raster_;
  Wave wave_;
};

}  // namespace scene
