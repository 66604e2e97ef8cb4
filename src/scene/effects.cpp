// Fades, wipes, quake and raster: set-ups, per-frame steps and the mask drawing.
#include "scene/effects.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace scene {

ScreenEffects::ScreenEffects() {
  white_.Init(0, 0, 800, 600);
  white_.SetColor(0xFFFFFF);
  black_.Init(0, 0, 800, 600);
  black_.SetColor(0x000000);
  mask_block_.Init(0, 0, kBlockSize, kBlockSize);
  mask_block_.SetColor(0x000000);
}

void ScreenEffects::Reset() {
  active_ = false;
  kind_ = 0;
  level_ = 0;
  level_acc_ = 0;
  timer_ = 0;
  quake_ = QuakeState{};
  raster_ = RasterState{};
  wave_ = Wave{};
}

void ScreenEffects::StartFade(int kind, int32_t n) {
  kind_ = kind;
  active_ = true;
  level_acc_ = 0;
  level_ = 0;
  const float full = kind <= 1 ? 255.0f : 256.0f;
  // A fade of no length reaches its end on the first frame instead of dividing by zero.
  step_ = n > 0 ? full / static_cast<float>(n) : 256.0f;
}

void ScreenEffects::StartWipe(int kind, int32_t n) {
  kind_ = kind;
  active_ = true;
  const bool page = kind >= 6;
  const bool in = kind == 4 || kind == 6;
  const float travel = page ? 1135.0f : 755.0f;
  if (page)
    mask_.FillPage(in ? 10.0f : -10.0f, in ? 255.0f : 0.0f);
  else
    mask_.FillWipe3(in ? 10.0f : -10.0f, in ? 255.0f : 0.0f);
  rate_ = travel / static_cast<float>(std::max(n, 1));
  timer_ = static_cast<float>(n);
}

void ScreenEffects::StartQuake(int32_t duration, int32_t direction) {
  quake_ = QuakeState{};
  quake_.on = duration > 0;
  quake_.duration = duration;
  quake_.direction = direction;
}

void ScreenEffects::StartRaster(bool background, bool characters, int32_t row_step, int32_t rate,
                                int32_t duration) {
  raster_.background = background;
  raster_.characters = characters;
  raster_.row_step = static_cast<float>(row_step);
  raster_.amplitude = 0;
  raster_.rate = static_cast<float>(rate);
  timer_ = static_cast<float>(duration);
  wave_ = Wave{0, std::fmod(timer_, 360.0f), raster_.row_step};
}

void ScreenEffects::StepQuake(int32_t elapsed) {
  if (!quake_.on) return;
  const int64_t e = quake_.elapsed;
  const int64_t d = quake_.duration;
  if (e < d) {
    const int64_t m = (quake_.frequency * e * 360 / d) / 180;  // whole radians, as counted
    const int off = static_cast<int>((1.0 - static_cast<double>(e) / static_cast<double>(d)) *
                                     std::cos(static_cast<double>(m)) * 8.0);
    quake_.offset = quake_.direction == 0 ? Offset{0, off} : Offset{off, 0};
  }
  quake_.elapsed += elapsed;
  if (quake_.elapsed >= quake_.duration) {
    quake_.offset = {};
    quake_.on = false;
  }
}

bool ScreenEffects::StepRaster(float elapsed) {
  if (!raster_.Running()) return false;
  if (std::fabs(raster_.amplitude) < raster_.rate * 1000.0f)
    raster_.amplitude += elapsed * raster_.rate * 0.1f;
  // While a wipe runs it counts the shared timer down itself.
  if (!WipeRunning()) timer_ -= elapsed;
  wave_.amplitude = raster_.amplitude;
  wave_.phase = std::fmod(timer_, 360.0f);
  wave_.row_step = raster_.row_step;
  if (timer_ < 0) {
    raster_ = RasterState{};
    return true;
  }
  return false;
}

void ScreenEffects::DrawMask(gfx::Device& device) {
  auto alpha = [](float v) { return v <= 0 ? 0 : v >= 255 ? 255 : static_cast<int>(v); };
  // Whether the block's four corners are all opaque: the block is then one flat colour.
  auto opaque = [&](int r, int c) {
    return alpha(mask_.Clamped(r, c)) == 255 && alpha(mask_.Clamped(r, c + 1)) == 255 &&
           alpha(mask_.Clamped(r + 1, c)) == 255 && alpha(mask_.Clamped(r + 1, c + 1)) == 255;
  };
  for (int r = 0; r < kGridRows; ++r) {
    const float h = static_cast<float>(std::min(kBlockSize, kLayerHeight - r * kBlockSize));
    for (int c = 0; c < kGridColumns; ++c) {
      // Opaque blocks side by side are drawn as one quad: the same pixels and depths.
      if (opaque(r, c)) {
        int end = c + 1;
        while (end < kGridColumns && opaque(r, end)) ++end;
        mask_block_.SetAlpha(255);
        mask_block_.Draw(device, static_cast<float>(c * kBlockSize),
                         static_cast<float>(r * kBlockSize),
                         static_cast<float>((end - c) * kBlockSize), h);
        c = end - 1;
        continue;
      }
      const int a0 = alpha(mask_.Clamped(r, c));
      const int a1 = alpha(mask_.Clamped(r, c + 1));
      const int a2 = alpha(mask_.Clamped(r + 1, c));
      const int a3 = alpha(mask_.Clamped(r + 1, c + 1));
      if ((a0 | a1 | a2 | a3) == 0) continue;
      mask_block_.SetVertexAlpha(CSprite::kTopLeft, a0);
      mask_block_.SetVertexAlpha(CSprite::kTopRight, a1);
      mask_block_.SetVertexAlpha(CSprite::kBottomLeft, a2);
      mask_block_.SetVertexAlpha(CSprite::kBottomRight, a3);
      mask_block_.Draw(device, static_cast<float>(c * kBlockSize),
                       static_cast<float>(r * kBlockSize), kBlockSize, h);
    }
  }
}

EffectEvent ScreenEffects::StepAndDraw(gfx::Device& device, float counted, float travel) {
  if (!active_) return EffectEvent::kNone;
  if (kind_ <= 3) {
    CSprite& s = kind_ <= 1 ? white_ : black_;
    const bool in = kind_ == 0 || kind_ == 2;
    s.SetAlpha(in ? 255 - level_ : level_);
    s.Draw(device, 0, 0, 800, 600);
    if (level_ > 255) {
      if (in) {
        active_ = false;
        return EffectEvent::kEnded;
      }
      return EffectEvent::kNone;
    }
    level_acc_ += counted;
    level_ = static_cast<int>(level_acc_ * step_);
    return EffectEvent::kNone;
  }
  const bool in = kind_ == 4 || kind_ == 6;
  mask_.Add(in ? -travel * rate_ : travel * rate_);
  DrawMask(device);
  timer_ -= counted;
  if (timer_ > 0) return EffectEvent::kNone;
  if (in) {
    active_ = false;
    return EffectEvent::kEnded;
  }
  // The black stays as a finished black-out.
  kind_ = 3;
  level_ = 256;
  level_acc_ = 0;
  black_.SetAlpha(255);
  return EffectEvent::kCovered;
}

}  // namespace scene
