// The story scene: background channels, character slots, screen effects and the image a picture
// is decoded into, gathered in one object the engine owns.
//
// Scene library: layer sets and effects with their drawing. Uses platform, resource and graphics;
// never includes an engine header.
#pragma once

#include <cstdint>

#include "resource/image.h"
#include "scene/blocks.h"
#include "scene/effects.h"
#include "scene/event_pictures.h"
#include "scene/layers.h"

namespace scene {

struct Scene {
  Backgrounds bg;
  Characters chr;
  ScreenEffects effects;
  CImage32 load;   // the picture being decoded, so a failed load leaves the kept one alone
  bool created = false;
  // An "out" fade has reached full cover or an "out" wipe has covered the scene: the story may
  // go on under the black.
  bool effect_settled = false;
  // Milliseconds the last picture load spent decoding and uploading.
  uint32_t disk_ms = 0;
  uint32_t vram_ms = 0;
};

}  // namespace scene
