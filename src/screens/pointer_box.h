// The pointer's hit test of every screen: the 8 × 8 box whose top-left corner is the pointer.
//
// Engine library (screens).
#pragma once

#include "platform/window.h"

// The 8 × 8 box whose top-left corner is the pointer overlaps the rectangle.
inline bool PointerBoxHits(platform::Point p, float left, float top, float right, float bottom) {
  const float x = static_cast<float>(p.x), y = static_cast<float>(p.y);
  return x < right && left < x + 8 && y < bottom && y + 8 > top;
}
