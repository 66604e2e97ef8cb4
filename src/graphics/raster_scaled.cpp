// The scaled rectangle: a picture drawn over an axis-aligned quad whose texels do not map one to
// one (the movie). SetUpScaledRect (raster.cpp, beside the general path whose sampling it
// reproduces) has found each pixel column's texel column and each row's texel row for both of the
// quad's triangles; here the quad is walked over the depth tiles as the one-to-one rectangle is,
// and each pixel takes its texel from the tables, times the colour, blended by the same rule.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "graphics/raster.h"
#include "graphics/raster_pixels.h"
#include "graphics/raster_rows.h"

namespace gfx::raster {
namespace {

// Pixels [x0, x1) of row y from one triangle's texel row `row`, `column` indexed by pixel x.
template <class B, uint32_t F, bool kWhite, bool kDepth>
void ScaledSegment(const B& blend, const DrawContext& ctx, const uint8_t* row,
                   const int32_t* column, P4 color, float z, int y, int x0, int x1) {
  if (x0 >= x1) return;
  uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width;
  float* depth = kDepth ? ctx.depth->Row(y) : nullptr;
  const uint32_t* palette = ctx.palette;
  const bool write = ctx.z_write;
  auto texels = [&](int x) LANTHORN_PIXEL_LAMBDA {
    const P4 t = Make4(Texel<F>(row + column[x], 0, palette), Texel<F>(row + column[x + 1], 0, palette),
                       Texel<F>(row + column[x + 2], 0, palette),
                       Texel<F>(row + column[x + 3], 0, palette));
    return kWhite ? t : Modulate(t, color);
  };
  auto four = [&](uint32_t* d4, float* z4, P4 s) LANTHORN_PIXEL_LAMBDA {
    if constexpr (kDepth) {
      const P4 m = DepthTest4(z4, z, write);
      if (!AnySet(m)) return;
      const P4 d = Load4(d4);
      Store4(d4, Select4(m, blend(s, d), d));
    } else {
      BlendInto(blend, d4, s);
    }
  };
  int x = x0;
  for (; x + 4 <= x1; x += 4) four(dst + x, kDepth ? depth + x : nullptr, texels(x));
  if (x < x1) {
    // The last one to three pixels go through a copy; the columns past the row repeat its last.
    const int k = x1 - x;
    int32_t cols[4];
    for (int i = 0; i < 4; ++i) cols[i] = column[x + std::min(i, k - 1)];
    uint32_t px[4] = {};
    float dz[4] = {};
    std::memcpy(px, dst + x, k * 4);
    if constexpr (kDepth) std::memcpy(dz, depth + x, k * 4);
    P4 t = Make4(Texel<F>(row + cols[0], 0, palette), Texel<F>(row + cols[1], 0, palette),
                 Texel<F>(row + cols[2], 0, palette), Texel<F>(row + cols[3], 0, palette));
    four(px, dz, kWhite ? t : Modulate(t, color));
    std::memcpy(dst + x, px, k * 4);
    if constexpr (kDepth) std::memcpy(depth + x, dz, k * 4);
  }
}

template <class B, uint32_t F, bool kWhite, bool kDepth>
void ScaledRows(const B& blend, const DrawContext& ctx, const ScaledRect& s, int x0, int x1,
                int y0, int y1) {
  const P4 color = Splat4(s.q.color);
  const int32_t* columns[2] = {s.column[0].data() - s.q.x0, s.column[1].data() - s.q.x0};
  for (int y = y0; y < y1; ++y) {
    const int r = y - s.q.y0;
    const int lo = std::clamp(s.first[r][0], x0, x1), hi = std::clamp(s.first[r][1], x0, x1);
    const uint8_t* row0 = s.row[0][r];
    const uint8_t* row1 = s.row[1][r];
    ScaledSegment<B, F, kWhite, kDepth>(blend, ctx, row1, columns[1], color, s.q.z, y, x0, lo);
    ScaledSegment<B, F, kWhite, kDepth>(blend, ctx, row0, columns[0], color, s.q.z, y, lo, hi);
    ScaledSegment<B, F, kWhite, kDepth>(blend, ctx, row1, columns[1], color, s.q.z, y, hi, x1);
  }
}

}  // namespace

void DrawScaledRect(const DrawContext& ctx, const ScaledRect& s) {
  if (s.q.x0 >= s.q.x1 || s.q.y0 >= s.q.y1) return;
  const bool white = s.q.color == 0xFFFFFFFFu;
  WithBlend(ctx, [&](auto blend) {
    using B = decltype(blend);
    WithFormat(ctx.tex_format, [&](auto f) {
      constexpr uint32_t F = decltype(f)::value;
      if constexpr (F != 0)  // SetUpScaledRect takes no quad without a texture format
        ForDepthRuns(ctx, s.q, [&](auto depth, int x0, int x1, int y0, int y1) {
        constexpr bool kDepth = decltype(depth)::value;
        if (white)
          ScaledRows<B, F, true, kDepth>(blend, ctx, s, x0, x1, y0, y1);
        else
          ScaledRows<B, F, false, kDepth>(blend, ctx, s, x0, x1, y0, y1);
      });
    });
  });
}

}  // namespace gfx::raster
