// CDirectLine: the crawling pattern phase and the line drawn through the device.
#include "graphics/direct_line.h"

#include <span>

bool CDirectLine::Create(float width, float pattern_scale, gfx::Device&) {
  width_ = width;
  pattern_scale_ = pattern_scale;
  phase_ = 0;
  pattern_index_ = 0;
  created_ = true;
  return true;
}

void CDirectLine::Draw(gfx::Device& device, const gfx::LinePoint* points, int count, uint32_t argb,
                       int elapsed) {
  if (!created_) return;
  device.SetTexture(nullptr);
  // A negative elapsed time would make the phase, and the pattern index, negative.
  if (elapsed > 0) phase_ += elapsed;
  if (phase_ > kPhaseLength) phase_ %= kPhaseLength;
  pattern_index_ = phase_ / 50;
  if (!points || count < 2) return;
  device.DrawLine(std::span<const gfx::LinePoint>(points, static_cast<size_t>(count)), argb, width_,
                  true, kPatterns[pattern_index_], pattern_scale_);
}
