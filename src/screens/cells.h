// Every screen cuts its pictures from 256 × 256 sheets the same way: the cell (left, top)–
// (right, bottom) in texels becomes a sprite of the cell's own size, bound to the device.
#pragma once

#include "graphics/device.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

inline void CutCell(CSprite& sprite, gfx::Device& device, CTexture* sheet, int left, int top,
                    int right, int bottom) {
  constexpr float k = 1.0f / 256;
  sprite.Init(0, 0, static_cast<float>(right - left), static_cast<float>(bottom - top), left * k,
              top * k, right * k, bottom * k, sheet);
  sprite.SetDevice(&device);
}
