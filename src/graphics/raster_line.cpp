// Wide patterned lines: each segment is a band of the line's width with square ends, its pixels
// covered by their distance from the centre line (antialiased edges of one pixel), dashed by the
// 32-bit pattern measured along the whole polyline, and blended over the target with alpha.
#include <algorithm>
#include <cmath>

#include "graphics/raster.h"
#include "graphics/raster_pixels.h"

namespace gfx::raster {

namespace {

uint32_t BlendOne(uint32_t src, uint32_t dst) {
  uint32_t out[4];
  Store4(out, BlendAlpha{}(Splat4(src), Splat4(dst)));
  return out[0];
}

}  // namespace

void DrawLine(const DrawContext& ctx, const LinePoint* points, int count, uint32_t argb,
              const LineStyle& style) {
  const float half = std::max(style.width, 1.0f) / 2;
  const float scale = style.pattern_scale > 0 ? style.pattern_scale : 1.0f;
  const uint32_t alpha = argb >> 24, rgb = argb & 0xFFFFFF;
  float along_start = 0;  // pattern distance at the segment's first point
  for (int s = 0; s + 1 < count; ++s) {
    const float ax = points[s].x, ay = points[s].y;
    const float bx = points[s + 1].x, by = points[s + 1].y;
    const float len = std::hypot(bx - ax, by - ay);
    if (!(len > 0) || !std::isfinite(len)) continue;
    const float dx = (bx - ax) / len, dy = (by - ay) / len;
    const float reach = half + 1;
    int x0 = static_cast<int>(std::floor(std::min(ax, bx) - reach));
    int x1 = static_cast<int>(std::ceil(std::max(ax, bx) + reach));
    int y0 = static_cast<int>(std::floor(std::min(ay, by) - reach));
    int y1 = static_cast<int>(std::ceil(std::max(ay, by) + reach));
    x0 = std::max(x0, 0), y0 = std::max(y0, 0);
    x1 = std::min(x1, ctx.width - 1), y1 = std::min(y1, ctx.height - 1);
    for (int y = y0; y <= y1; ++y) {
      uint32_t* row = ctx.frame + static_cast<size_t>(y) * ctx.width;
      for (int x = x0; x <= x1; ++x) {
        const float px = x - ax, py = y - ay;
        const float t = px * dx + py * dy;  // along the segment from its first point
        const float d = std::fabs(px * -dy + py * dx);  // across it
        float cover;
        if (style.antialias) {
          float across = std::clamp(half + 0.5f - d, 0.0f, 1.0f);
          float ends = std::clamp(std::min(t + half, len + half - t) + 0.5f, 0.0f, 1.0f);
          cover = across * ends;
        } else {
          cover = (d <= half && t >= -half && t < len + half) ? 1.0f : 0.0f;
        }
        if (cover <= 0) continue;
        const float at = along_start + std::clamp(t, 0.0f, len);
        const int bit = static_cast<int>(std::floor(at / scale)) & 31;
        if (!((style.pattern >> bit) & 1)) continue;
        uint32_t a = Mul255(alpha, static_cast<uint32_t>(std::lrint(cover * 255)));
        if (a == 0) continue;
        row[x] = BlendOne(a << 24 | rgb, row[x]);
      }
    }
    along_start += len;
  }
}

}  // namespace gfx::raster
