// CDirectLine: the dotted outline drawer. A wide antialiased line whose dash pattern rotates with
// the elapsed time, so outlines seem to crawl.
#pragma once

#include <array>
#include <cstdint>

#include "graphics/device.h"

class CDirectLine {
 public:
  // Eight rotations of a half-on pattern, one per 50 ms of the 350 ms phase.
  static constexpr std::array<uint32_t, 8> kPatterns = {
      0x0FFFF000u, 0xFFF0000Fu, 0xFF0000FFu, 0xF0000FFFu,
      0x0000FFFFu, 0x000FFFF0u, 0x00FFFF00u, 0x0FFFF000u,
  };
  static constexpr int kPhaseLength = 350;

  bool Create(float width, float pattern_scale, gfx::Device& device);
  // Advances the phase by `elapsed` ms, then draws the polyline in `argb`. Does nothing before
  // Create or after Release.
  void Draw(gfx::Device& device, const gfx::LinePoint* points, int count, uint32_t argb,
            int elapsed);
  void Release() { created_ = false; }

  bool Created() const { return created_; }
  int Phase() const { return phase_; }
  int PatternIndex() const { return pattern_index_; }

 private:
  bool created_ = false;
  float width_ = 1.0f;
  float pattern_scale_ = 1.0f;
  int phase_ = 0;
  int pattern_index_ = 0;
};
