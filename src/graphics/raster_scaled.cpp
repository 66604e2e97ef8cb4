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

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define LANTHORN_SCALED_GATHER 1
#include <immintrin.h>
#endif

namespace gfx::raster {
namespace {

#if defined(LANTHORN_SCALED_GATHER)
// Four-byte texels [x0, x1) of a row gathered eight at a time, `alpha` or-ed in; only where the
// processor has AVX2 (DrawContext::wide).
__attribute__((target("avx2"))) void GatherTexels(uint32_t* dst, const uint8_t* row,
                                                  const int32_t* column, int x0, int x1,
                                                  uint32_t alpha) {
  const __m256i a = _mm256_set1_epi32(static_cast<int>(alpha));
  int x = x0;
  for (; x + 8 <= x1; x += 8) {
    const __m256i offsets = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(column + x));
    const __m256i t = _mm256_i32gather_epi32(reinterpret_cast<const int*>(row), offsets, 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x), _mm256_or_si256(t, a));
  }
  for (; x < x1; ++x) {
    uint32_t t;
    std::memcpy(&t, row + column[x], 4);
    dst[x] = t | alpha;
  }
}
#endif

// Whether the texels of format F are always opaque, and whether a pixel drawn with blend B (and
// without per-pixel depth) is its source alone, whatever lay under it: blending off, or an opaque
// texel in white, which the blends that store a source of alpha 255 store as it is.
template <uint32_t F>
constexpr bool kOpaqueTexels = F == D3DFMT_X8R8G8B8 || F == D3DFMT_R5G6B5;
template <class B, uint32_t F, bool kWhite, bool kDepth>
constexpr bool kStoresTexel = !kDepth && kWhite && B::kStoreOnFull && kOpaqueTexels<F>;
template <class B, uint32_t F, bool kWhite, bool kDepth>
constexpr bool kOwnPixels =
    !kDepth && (std::is_same_v<B, BlendReplace> || kStoresTexel<B, F, kWhite, kDepth>);

// Pixels [x0, x1) of row y from one triangle's texel row `row`, `column` indexed by pixel x.
template <class B, uint32_t F, bool kWhite, bool kDepth>
void ScaledSegment(const B& blend, const DrawContext& ctx, const uint8_t* row,
                   const int32_t* column, P4 color, float z, int y, int x0, int x1) {
  if (x0 >= x1) return;
  uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width;
  if constexpr (kStoresTexel<B, F, kWhite, kDepth>) {
#if defined(LANTHORN_SCALED_GATHER)
    if constexpr (F == D3DFMT_X8R8G8B8) {
      if (ctx.wide) return GatherTexels(dst, row, column, x0, x1, 0xFF000000u);
    }
#endif
    for (int x = x0; x < x1; ++x) dst[x] = Texel<F>(row + column[x], 0, ctx.palette);
    return;
  }
  float* depth = kDepth ? ctx.depth->Row(y) : nullptr;
  const uint32_t* palette = ctx.palette;
  const bool write = ctx.z_write;
  auto texels = [&](int x) LANTHORN_PIXEL_LAMBDA {
    const P4 t =
        Make4(Texel<F>(row + column[x], 0, palette), Texel<F>(row + column[x + 1], 0, palette),
              Texel<F>(row + column[x + 2], 0, palette), Texel<F>(row + column[x + 3], 0, palette));
    return kWhite ? t : Modulate(t, color);
  };
  auto four = [&](uint32_t* d4, float* z4, P4 s) LANTHORN_PIXEL_LAMBDA {
    BlendFour<kDepth>(blend, d4, z4, z, write, s);
  };
  int x = x0;
  for (; x + 4 <= x1; x += 4) four(dst + x, kDepth ? depth + x : nullptr, texels(x));
  if (x < x1) {
    // The last one to three pixels go through a copy; the table has columns past the row.
    const int k = x1 - x;
    uint32_t px[4] = {};
    float dz[4] = {};
    CopyTail(px, dst + x, k);
    if constexpr (kDepth) CopyTail(dz, depth + x, k);
    four(px, dz, texels(x));
    CopyTail(dst + x, px, k);
    if constexpr (kDepth) CopyTail(depth + x, dz, k);
  }
}

template <class B, uint32_t F, bool kWhite, bool kDepth>
void ScaledRows(const B& blend, const DrawContext& ctx, const ScaledRect& s, bool same_columns,
                int x0, int x1, int y0, int y1) {
  const P4 color = Splat4(s.q.color);
  const int32_t* columns[2] = {s.column[0].data() - s.q.x0, s.column[1].data() - s.q.x0};
  if (s.one_table) {
    for (int y = y0; y < y1; ++y) {
      const int r = y - s.q.y0;
      const uint8_t* row = s.row[0][r];
      if constexpr (kOwnPixels<B, F, kWhite, kDepth>) {
        // A picture drawn taller than it is repeats texel rows: a row that reads what the one
        // above it read is a copy of it.
        if (y > y0 && row == s.row[0][r - 1]) {
          uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width + x0;
          std::memcpy(dst, dst - ctx.width, static_cast<size_t>(x1 - x0) * 4);
          continue;
        }
      }
      ScaledSegment<B, F, kWhite, kDepth>(blend, ctx, row, columns[0], color, s.q.z, y, x0, x1);
    }
    return;
  }
  for (int y = y0; y < y1; ++y) {
    const int r = y - s.q.y0;
    const int lo = std::clamp(s.first[r][0], x0, x1), hi = std::clamp(s.first[r][1], x0, x1);
    const uint8_t* row0 = s.row[0][r];
    const uint8_t* row1 = s.row[1][r];
    if constexpr (kOwnPixels<B, F, kWhite, kDepth>) {
      // A picture drawn taller than it is repeats texel rows: a row that reads what the one
      // above it read, split between the triangles alike (or with triangles that read the same
      // texels), is a copy of it.
      if (y > y0 && row0 == s.row[0][r - 1] && row1 == s.row[1][r - 1] &&
          (s.first[r] == s.first[r - 1] || (same_columns && row0 == row1))) {
        uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width + x0;
        std::memcpy(dst, dst - ctx.width, static_cast<size_t>(x1 - x0) * 4);
        continue;
      }
    }
    ScaledSegment<B, F, kWhite, kDepth>(blend, ctx, row1, columns[1], color, s.q.z, y, x0, lo);
    ScaledSegment<B, F, kWhite, kDepth>(blend, ctx, row0, columns[0], color, s.q.z, y, lo, hi);
    ScaledSegment<B, F, kWhite, kDepth>(blend, ctx, row1, columns[1], color, s.q.z, y, hi, x1);
  }
}

}  // namespace

void DrawScaledRect(const DrawContext& ctx, const ScaledRect& s) {
  if (s.q.x0 >= s.q.x1 || s.q.y0 >= s.q.y1) return;
  const bool white = s.q.color == 0xFFFFFFFFu;
  // Whether the two triangles take the same texel column at every pixel column (mostly so).
  const bool same_columns = s.column[0] == s.column[1];
  WithBlend(ctx, [&](auto blend) {
    using B = decltype(blend);
    WithFormat(ctx.tex_format, [&](auto f) {
      constexpr uint32_t F = decltype(f)::value;
      if constexpr (F != 0)  // SetUpScaledRect takes no quad without a texture format
        ForDepthRuns(ctx, s.q, [&](auto depth, int x0, int x1, int y0, int y1) {
          constexpr bool kDepth = decltype(depth)::value;
          if (white)
            ScaledRows<B, F, true, kDepth>(blend, ctx, s, same_columns, x0, x1, y0, y1);
          else
            ScaledRows<B, F, false, kDepth>(blend, ctx, s, same_columns, x0, x1, y0, y1);
        });
    });
  });
}

}  // namespace gfx::raster
