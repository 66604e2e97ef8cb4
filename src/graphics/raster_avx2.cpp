// The fast path's textured rows eight pixels a step with AVX2, chosen at run time where the
// processor has it. The vector lanes are defined here over 256-bit registers; the row loop and the
// blend rule are the same templates the four-pixel path uses (TexturedRows, WithBlend, Mul255),
// so both paths compute the same bits. Everything from those headers is compiled here for AVX2
// in its own namespace; the standard and device headers come first, outside the AVX2 region, so
// no shared inline function is ever built for AVX2.
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "graphics/device.h"
#include "graphics/raster.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define LANTHORN_HAVE_AVX2 1
#include <immintrin.h>
#endif

namespace gfx::raster {

bool CpuHasAvx2() {
#if defined(LANTHORN_HAVE_AVX2)
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
#else
  return false;
#endif
}

}  // namespace gfx::raster

#if !defined(LANTHORN_HAVE_AVX2)

namespace gfx::raster {
void TexturedRowsAvx2(const DrawContext&, const RectQuad&, int, int, int, int) {}
int GradientRowAvx2(const DrawContext&, uint32_t*, int x0, int, const float*, const float*, float) {
  return x0;
}
}  // namespace gfx::raster

#else

#pragma GCC push_options
#pragma GCC target("avx2")

#define LANTHORN_PIXEL_ISA avx2
#include "graphics/raster_pixels.h"

namespace gfx::raster {
inline namespace avx2 {

// Eight ARGB pixels.
struct P8 {
  __m256i v;
};
// Four pixels as sixteen 16-bit channels. Lo and Hi split each 128-bit half as SSE2 does
// (pixels 0, 1, 4, 5 and 2, 3, 6, 7), and Pack puts them back in order.
struct W16 {
  __m256i v;
};

LANTHORN_PIXEL bool AlphaAll(P8 x, uint8_t alpha) {
  __m256i eq = _mm256_cmpeq_epi8(x.v, _mm256_set1_epi8(static_cast<char>(alpha)));
  return (static_cast<uint32_t>(_mm256_movemask_epi8(eq)) & 0x88888888u) == 0x88888888u;
}
LANTHORN_PIXEL W16 Lo(P8 x) {
  return {_mm256_unpacklo_epi8(x.v, _mm256_setzero_si256())};
}
LANTHORN_PIXEL W16 Hi(P8 x) {
  return {_mm256_unpackhi_epi8(x.v, _mm256_setzero_si256())};
}
LANTHORN_PIXEL P8 Pack(W16 lo, W16 hi) {
  return {_mm256_packus_epi16(lo.v, hi.v)};
}
template <>
LANTHORN_PIXEL W16 Fill16<W16>(uint16_t c) {
  return {_mm256_set1_epi16(static_cast<short>(c))};
}
LANTHORN_PIXEL W16 Add(W16 a, W16 b) {
  return {_mm256_add_epi16(a.v, b.v)};
}
LANTHORN_PIXEL W16 Inv(W16 a) {
  return {_mm256_sub_epi16(_mm256_set1_epi16(255), a.v)};
}
LANTHORN_PIXEL W16 Mul(W16 a, W16 b) {
  __m256i t = _mm256_add_epi16(_mm256_mullo_epi16(a.v, b.v), _mm256_set1_epi16(128));
  return {_mm256_mulhi_epu16(t, _mm256_set1_epi16(257))};
}
LANTHORN_PIXEL W16 AlphaOf(W16 a) {
  return {_mm256_shufflehi_epi16(_mm256_shufflelo_epi16(a.v, 0xFF), 0xFF)};
}
LANTHORN_PIXEL W16 WithOpaqueAlpha(W16 a) {
  return {_mm256_or_si256(
      a.v, _mm256_setr_epi16(0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255))};
}
LANTHORN_PIXEL P8 OpaqueAlpha(P8 x) {
  return {_mm256_or_si256(x.v, _mm256_set1_epi32(static_cast<int>(0xFF000000u)))};
}

struct Lanes8 {
  using P = P8;
  using V = W16;
  static constexpr int kPixels = 8;
  static LANTHORN_PIXEL P Load(const uint32_t* p) {
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p))};
  }
  static LANTHORN_PIXEL void Store(uint32_t* p, P x) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x.v);
  }
  static LANTHORN_PIXEL P Splat(uint32_t c) { return {_mm256_set1_epi32(static_cast<int>(c))}; }
  static LANTHORN_PIXEL P And(P a, P b) { return {_mm256_and_si256(a.v, b.v)}; }
  static LANTHORN_PIXEL P Or(P a, P b) { return {_mm256_or_si256(a.v, b.v)}; }
  template <uint32_t F>
  static LANTHORN_PIXEL P Texels(const uint8_t* row, const uint32_t*) {
    static_assert(F == D3DFMT_A8R8G8B8 || F == D3DFMT_X8R8G8B8 || F == D3DFMT_A4R4G4B4);
    if constexpr (F == D3DFMT_A4R4G4B4) {
      // As the four-pixel loop does: the low nibbles (b, r) and high nibbles (g, a) of the bytes
      // interleave into B, G, R, A, and each nibble n becomes n × 17.
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
      const __m128i nibble = _mm_set1_epi8(0x0F);
      const __m128i lo = _mm_and_si128(x, nibble);
      const __m128i hi = _mm_and_si128(_mm_srli_epi16(x, 4), nibble);
      const __m256i t = _mm256_set_m128i(_mm_unpackhi_epi8(lo, hi), _mm_unpacklo_epi8(lo, hi));
      return {_mm256_or_si256(t, _mm256_slli_epi16(t, 4))};
    } else {
      P t = Load(reinterpret_cast<const uint32_t*>(row));
      return F == D3DFMT_X8R8G8B8 ? OpaqueAlpha(t) : t;
    }
  }
};

}  // namespace avx2
}  // namespace gfx::raster

#include "graphics/raster_rows.h"

namespace gfx::raster {
inline namespace avx2 {

template <uint32_t F>
void RowsOfFormat(const DrawContext& ctx, const RectQuad& q, int x0, int x1, int y0, int y1) {
  WithBlend(ctx, [&](auto blend) {
    using B = decltype(blend);
    if (q.color == 0xFFFFFFFFu)
      TexturedRows<Lanes8, B, F, true>(blend, ctx, q, x0, x1, y0, y1);
    else
      TexturedRows<Lanes8, B, F, false>(blend, ctx, q, x0, x1, y0, y1);
  });
}

// Gouraud4's colours, eight pixels from x: the same float operations lane by lane (x + i is
// exact for every x on a target), so the same bits.
LANTHORN_PIXEL P8 Gouraud8(const float at[4], const float dx[4], float ox, int x) {
  const __m256 d = _mm256_sub_ps(
      _mm256_add_ps(_mm256_set1_ps(static_cast<float>(x)), _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7)),
      _mm256_set1_ps(ox));
  __m256i out = _mm256_setzero_si256();
  for (int ch = 0; ch < 4; ++ch) {
    __m256 v = _mm256_add_ps(_mm256_set1_ps(at[ch]), _mm256_mul_ps(_mm256_set1_ps(dx[ch]), d));
    v = _mm256_min_ps(_mm256_max_ps(v, _mm256_setzero_ps()), _mm256_set1_ps(255.0f));
    out = _mm256_or_si256(out, _mm256_sll_epi32(_mm256_cvtps_epi32(v), _mm_cvtsi32_si128(8 * ch)));
  }
  return {out};
}

template <class B>
int GradientRow(const B& blend, uint32_t* dst, int x0, int x1, const float at[4],
                const float dx[4], float ox) {
  int x = x0;
  for (; x + 8 <= x1; x += 8) {
    const P8 s = Gouraud8(at, dx, ox, x);
    if constexpr (B::kStoreOnFull) {
      if (AlphaAll(s, 255)) {
        Lanes8::Store(dst + x, s);
        continue;
      }
    }
    if constexpr (B::kKeepOnZero) {
      if (AlphaAll(s, 0)) continue;
    }
    Lanes8::Store(dst + x, blend(s, Lanes8::Load(dst + x)));
  }
  return x;
}

}  // namespace avx2

int GradientRowAvx2(const DrawContext& ctx, uint32_t* dst, int x0, int x1, const float at[4],
                    const float dx[4], float ox) {
  int x = x0;
  WithBlend(ctx, [&](auto blend) { x = GradientRow(blend, dst, x0, x1, at, dx, ox); });
  return x;
}

void TexturedRowsAvx2(const DrawContext& ctx, const RectQuad& q, int x0, int x1, int y0, int y1) {
  if (ctx.tex_format == D3DFMT_X8R8G8B8)
    RowsOfFormat<D3DFMT_X8R8G8B8>(ctx, q, x0, x1, y0, y1);
  else if (ctx.tex_format == D3DFMT_A4R4G4B4)
    RowsOfFormat<D3DFMT_A4R4G4B4>(ctx, q, x0, x1, y0, y1);
  else
    RowsOfFormat<D3DFMT_A8R8G8B8>(ctx, q, x0, x1, y0, y1);
}

}  // namespace gfx::raster

#pragma GCC pop_options

#endif
