// The fast path's textured row loop, written once over a set of vector lanes: four pixels a step
// with SSE2 (RectRows) and eight with AVX2 (TexturedRowsAvx2), the same arithmetic per pixel, so
// both give the same bits. Also the compile-time dispatch over blend kinds both paths use, and the
// walk of a quad over the depth tiles that the rectangle paths share.
// Include after raster_pixels.h; the loop lands in that file's LANTHORN_PIXEL_ISA namespace.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "graphics/raster.h"
#include "graphics/raster_pixels.h"

namespace gfx::raster {
inline namespace LANTHORN_PIXEL_ISA {

template <uint32_t F>
constexpr int kBytes = F == 0                                           ? 0
                       : (F == D3DFMT_A8R8G8B8 || F == D3DFMT_X8R8G8B8) ? 4
                       : F == D3DFMT_P8                                 ? 1
                                                                        : 2;

template <class Fn>
void WithBlend(const DrawContext& ctx, Fn&& fn) {
  switch (ctx.blend) {
    case BlendKind::Alpha: fn(BlendAlpha{}); break;
    case BlendKind::Shade: fn(BlendShade{}); break;
    case BlendKind::Add: fn(BlendAdd{}); break;
    case BlendKind::Replace: fn(BlendReplace{}); break;
    case BlendKind::Runtime: fn(RuntimeBlend{ctx.src, ctx.dst}); break;
  }
}

template <uint32_t F>
using FormatTag = std::integral_constant<uint32_t, F>;

// Format 0 stands for "no texture".
template <class Fn>
void WithFormat(uint32_t format, Fn&& fn) {
  switch (format) {
    case D3DFMT_A8R8G8B8: fn(FormatTag<D3DFMT_A8R8G8B8>{}); break;
    case D3DFMT_X8R8G8B8: fn(FormatTag<D3DFMT_X8R8G8B8>{}); break;
    case D3DFMT_R5G6B5: fn(FormatTag<D3DFMT_R5G6B5>{}); break;
    case D3DFMT_A1R5G5B5: fn(FormatTag<D3DFMT_A1R5G5B5>{}); break;
    case D3DFMT_A4R4G4B4: fn(FormatTag<D3DFMT_A4R4G4B4>{}); break;
    case D3DFMT_A8P8: fn(FormatTag<D3DFMT_A8P8>{}); break;
    case D3DFMT_P8: fn(FormatTag<D3DFMT_P8>{}); break;
    default: fn(FormatTag<0>{}); break;
  }
}

// The four-pixel lanes.
struct Lanes4 {
  using P = P4;
  using V = V16;
  static constexpr int kPixels = 4;
  static LANTHORN_PIXEL P Load(const uint32_t* p) { return Load4(p); }
  static LANTHORN_PIXEL void Store(uint32_t* p, P x) { Store4(p, x); }
  static LANTHORN_PIXEL P Splat(uint32_t c) { return Splat4(c); }
  static LANTHORN_PIXEL P And(P a, P b) { return And4(a, b); }
  static LANTHORN_PIXEL P Or(P a, P b) { return Or4(a, b); }
  template <uint32_t F>
  static LANTHORN_PIXEL P Texels(const uint8_t* row, const uint32_t* palette) {
    return Texels4<F>(row, palette);
  }
};

// The rows [y0, y1) × [x0, x1) of a textured quad of colour q.color that passed its depth test
// whole (or has none). The texture may be read a vector's width past the quad's last texel.
template <class L, class B, uint32_t F, bool kWhite>
void TexturedRows(const B& blend, const DrawContext& ctx, const RectQuad& q, int x0, int x1, int y0,
                  int y1) {
  using P = typename L::P;
  using V = typename L::V;
  constexpr int N = L::kPixels;
  constexpr int kGroup = 16 / N;  // vectors per sixteen texels
  constexpr int bpp = kBytes<F>;
  const P color = L::Splat(q.color);
  const int n = x1 - x0;
  // Sixteen texels at a time: a block row that is wholly opaque or wholly transparent (most of
  // every picture) costs one test. Over opaque texels the source alpha is the colour's, one value
  // for the group, so the blend needs no per-pixel alpha, and a white colour no texture × colour
  // (its colour channels stay the texel's; the alpha channel is not read).
  const uint32_t color_alpha = q.color >> 24;
  const bool opaque_color = kWhite || color_alpha == 255;
  const bool white_rgb = (q.color & 0xFFFFFFu) == 0xFFFFFFu;
  const V group_alpha = Fill16<V>(static_cast<uint16_t>(color_alpha));

  // One vector by the per-pixel rule; the shortcuts read the texels' alpha, which decides the
  // product's: 0 stays 0, and 255 stays the colour's alpha.
  auto one = [&](uint32_t* dst, const uint8_t* tex) LANTHORN_PIXEL_LAMBDA {
    const P t = L::template Texels<F>(tex, ctx.palette);
    if constexpr (kWhite) {
      if constexpr (B::kStoreOnFull) {
        if (AlphaAll(t, 255)) return L::Store(dst, t);
      }
      if constexpr (B::kKeepOnZero) {
        if (AlphaAll(t, 0)) return;
      }
      L::Store(dst, blend(t, L::Load(dst)));
    } else {
      if constexpr (B::kKeepOnZero) {
        if (AlphaAll(t, 0)) return;
      }
      if constexpr (B::kStoreOnFull) {
        if (opaque_color && AlphaAll(t, 255)) return L::Store(dst, Modulate(t, color));
      }
      L::Store(dst, blend(Mul(Lo(t), Lo(color)), Mul(Hi(t), Hi(color)), L::Load(dst)));
    }
  };

  for (int y = y0; y < y1; ++y) {
    uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width + x0;
    const uint8_t* tex =
        ctx.tex_bits + static_cast<size_t>(y + q.tex_dy) * ctx.tex_pitch + (x0 + q.tex_dx) * bpp;
#if defined(__GNUC__)
    // Pictures are drawn block after block along their rows, and sheets hold the blocks side by
    // side: fetch the texels right of this row, which the next block reads, while this one is
    // drawn. (Fetching the target's continuation too measured slower on the fades.)
    __builtin_prefetch(tex + n * bpp);
#endif
    int i = 0;
    for (; i + 16 <= n; i += 16) {
      P t[kGroup];
      P all = t[0] = L::template Texels<F>(tex + i * bpp, ctx.palette);
      P any = all;
      for (int k = 1; k < kGroup; ++k) {
        t[k] = L::template Texels<F>(tex + (i + N * k) * bpp, ctx.palette);
        all = L::And(all, t[k]);
        any = L::Or(any, t[k]);
      }
      if (AlphaAll(all, 255)) {
        if (B::kStoreOnFull && opaque_color) {
          for (int k = 0; k < kGroup; ++k)
            L::Store(dst + i + N * k, kWhite ? t[k] : Modulate(t[k], color));
          continue;
        }
        if constexpr (!kWhite) {
          for (int k = 0; k < kGroup; ++k) {
            V lo = Lo(t[k]), hi = Hi(t[k]);
            if (!white_rgb) lo = Mul(lo, Lo(color)), hi = Mul(hi, Hi(color));
            uint32_t* d = dst + i + N * k;
            L::Store(d, blend(lo, hi, group_alpha, L::Load(d)));
          }
          continue;
        }
      }
      if constexpr (B::kKeepOnZero) {
        if (AlphaAll(any, 0)) continue;
      }
      for (int k = 0; k < kGroup; ++k) one(dst + i + N * k, tex + (i + N * k) * bpp);
    }
    for (; i + N <= n; i += N) one(dst + i, tex + i * bpp);
    if (i < n) {
      // The last pixels go through a copy, so nothing past the row is written.
      const int k = n - i;
      uint32_t px[N] = {};
      std::memcpy(px, dst + i, k * 4);
      one(px, tex + i * bpp);
      std::memcpy(dst + i, px, k * 4);
    }
  }
}

// Walks the quad tile by tile against the depth buffer; runs of tiles that pass whole are drawn
// as one stretch of rows without touching per-pixel depth, and tile rows that pass whole from the
// quad's left to its right join the rows above them, so a quad whose test is the same everywhere
// is drawn in one stretch wherever it lies on the tile grid. `rows(depth, x0, x1, y0, y1)` draws
// a stretch, testing per-pixel depth when `depth` (a std::bool_constant) is true.
template <class Rows>
void ForDepthRuns(const DrawContext& ctx, const RectQuad& q, Rows&& rows) {
  constexpr std::false_type kPass{};
  constexpr std::true_type kTest{};
  constexpr int kTile = DepthBuffer::kTile;
  if (!ctx.z_enable) return rows(kPass, q.x0, q.x1, q.y0, q.y1);
  DepthBuffer& depth = *ctx.depth;
  using Test = DepthBuffer::Test;
  const int tx0 = q.x0 / kTile, tx1 = (q.x1 + kTile - 1) / kTile;
  Test tests[kMaxSpan / kTile + 1];
  int pass0 = q.y0, pass1 = q.y0;  // the rows that passed whole, not drawn yet
  for (int ty = q.y0 / kTile; ty * kTile < q.y1; ++ty) {
    const int ry0 = std::max(q.y0, ty * kTile), ry1 = std::min(q.y1, ty * kTile + kTile);
    bool all = true;
    for (int tx = tx0; tx < tx1; ++tx) {
      const int sx0 = std::max(q.x0, tx * kTile), sx1 = std::min(q.x1, tx * kTile + kTile);
      tests[tx - tx0] = depth.PassesUnchanged(tx, ty, q.z, ctx.z_write)
                            ? Test::All
                            : depth.ConstantTest(tx, ty, sx0, ry0, sx1, ry1, q.z, ctx.z_write);
      all &= tests[tx - tx0] == Test::All;
    }
    if (all) {
      if (pass0 == pass1) pass0 = ry0;
      pass1 = ry1;
      continue;
    }
    if (pass0 < pass1) rows(kPass, q.x0, q.x1, pass0, pass1);
    pass0 = pass1 = ry1;
    int run0 = -1, run1 = -1;
    for (int tx = tx0; tx < tx1; ++tx) {
      const int sx0 = std::max(q.x0, tx * kTile), sx1 = std::min(q.x1, tx * kTile + kTile);
      const Test t = tests[tx - tx0];
      if (t == Test::All) {
        if (run0 < 0) run0 = sx0;
        run1 = sx1;
        continue;
      }
      if (run0 >= 0) rows(kPass, run0, run1, ry0, ry1);
      run0 = -1;
      if (t == Test::PerPixel) rows(kTest, sx0, sx1, ry0, ry1);
    }
    if (run0 >= 0) rows(kPass, run0, run1, ry0, ry1);
  }
  if (pass0 < pass1) rows(kPass, q.x0, q.x1, pass0, pass1);
}

}  // namespace LANTHORN_PIXEL_ISA
}  // namespace gfx::raster
