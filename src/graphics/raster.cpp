// The two triangle paths of the rasteriser. The fast path draws an axis-aligned quad whose texels
// map one to one onto pixels, with one colour, fused in one pass and specialised per blend and
// texture format. The general path walks any triangle row by row with exact fixed-point edges and
// the top-left rule, evaluates colour, texture position and depth from planes, and blends. The
// gradient quad (axis-aligned, untextured, a colour per corner) keeps the general path's planes
// and edges but walks the quad like the fast path.
#include "graphics/raster.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "graphics/clip_polygon.h"
#include "graphics/raster_pixels.h"
#include "graphics/raster_rows.h"

namespace gfx::raster {
namespace {

constexpr int kTile = DepthBuffer::kTile;

// --- the fast path ----------------------------------------------------------------------------

template <class B, uint32_t F, bool kWhite, bool kDepth>
LANTHORN_PIXEL void Rect4(const B& blend, uint32_t* dst, const uint8_t* tex, float* depth, P4 color,
                          float z, bool write, const uint32_t* palette) {
  P4 s;
  if constexpr (F == 0) {
    s = color;
  } else if constexpr (kWhite) {
    s = Texels4<F>(tex, palette);
  } else {
    s = Modulate(Texels4<F>(tex, palette), color);
  }
  BlendFour<kDepth>(blend, dst, depth, z, write, s);
}

// Rows of the quad: textured rows without per-pixel depth go to TexturedRows (eight pixels a
// step where the processor has AVX2); the rest four pixels a step here.
template <class B, uint32_t F, bool kWhite, bool kDepth>
void RectRows(const B& blend, const DrawContext& ctx, const RectQuad& q, int x0, int x1, int y0,
              int y1) {
  constexpr int bpp = kBytes<F>;
  if constexpr (F != 0 && !kDepth) {
    constexpr bool kWide =
        F == D3DFMT_A8R8G8B8 || F == D3DFMT_X8R8G8B8 || F == D3DFMT_A4R4G4B4;
    if (kWide && ctx.wide) return TexturedRowsAvx2(ctx, q, x0, x1, y0, y1);
    return TexturedRows<Lanes4, B, F, kWhite>(blend, ctx, q, x0, x1, y0, y1);
  }
  const P4 color = Splat4(q.color);
  const int n = x1 - x0;
  if constexpr (F == 0 && !kDepth) {
    // One colour over the whole quad: decide the shortcuts once, not per pixel.
    if (B::kKeepOnZero && AlphaAll(color, 0)) return;
    for (int y = y0; y < y1; ++y) {
      uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width + x0;
      if (B::kStoreOnFull && AlphaAll(color, 255)) {
        std::fill(dst, dst + n, q.color);
        continue;
      }
      const V16 s = Lo(color);
      int i = 0;
      for (; i + 4 <= n; i += 4) Store4(dst + i, blend(s, s, Load4(dst + i)));
      if (i < n) {
        uint32_t px[4] = {};
        std::memcpy(px, dst + i, (n - i) * 4);
        Store4(px, blend(s, s, Load4(px)));
        std::memcpy(dst + i, px, (n - i) * 4);
      }
    }
    return;
  }
  for (int y = y0; y < y1; ++y) {
    uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width + x0;
    const uint8_t* tex = nullptr;
    if constexpr (F != 0)
      tex =
          ctx.tex_bits + static_cast<size_t>(y + q.tex_dy) * ctx.tex_pitch + (x0 + q.tex_dx) * bpp;
    float* depth = kDepth ? ctx.depth->Row(y) + x0 : nullptr;
#if defined(__GNUC__)
    if constexpr (F != 0) __builtin_prefetch(tex + n * bpp);  // as TexturedRows does
#endif
    int i = 0;
    for (; i + 4 <= n; i += 4)
      Rect4<B, F, kWhite, kDepth>(blend, dst + i, tex + i * bpp, kDepth ? depth + i : nullptr,
                                  color, q.z, ctx.z_write, ctx.palette);
    if (i < n) {
      // The last one to three pixels go through a copy, so nothing past the row is written.
      int k = n - i;
      uint32_t px[4] = {};
      float dz[4] = {};
      std::memcpy(px, dst + i, k * 4);
      if constexpr (kDepth) std::memcpy(dz, depth + i, k * 4);
      Rect4<B, F, kWhite, kDepth>(blend, px, tex + i * bpp, dz, color, q.z, ctx.z_write,
                                  ctx.palette);
      std::memcpy(dst + i, px, k * 4);
      if constexpr (kDepth) std::memcpy(depth + i, dz, k * 4);
    }
  }
}

template <class B, uint32_t F, bool kWhite>
void RectTiles(const B& blend, const DrawContext& ctx, const RectQuad& q) {
  ForDepthRuns(ctx, q, [&](auto depth, int x0, int x1, int y0, int y1) {
    RectRows<B, F, kWhite, decltype(depth)::value>(blend, ctx, q, x0, x1, y0, y1);
  });
}

// --- the general path ------------------------------------------------------------------------

// a(x, y) = a0 + dx (x − ox) + dy (y − oy), with (ox, oy) the triangle's first vertex.
struct Plane {
  float a0 = 0, dx = 0, dy = 0;
  float Row(float dy_from_origin) const { return a0 + dy * dy_from_origin; }
};

struct Triangle {
  float ox, oy;
  Plane c[4], z, u, v, q;
  bool gouraud;
  uint32_t color;  // when not gouraud
  bool const_z;
  float z0;
  int wrap_u_mask, wrap_v_mask;  // width − 1 for power-of-two sizes, else −1
};

LANTHORN_PIXEL int Wrap(int t, int size, int mask) {
  if (mask >= 0) return t & mask;
  int r = t % size;
  return r < 0 ? r + size : r;
}

// Colours of four pixels x .. x + 3 on a row.
LANTHORN_PIXEL P4 Gouraud4(const Triangle& t, const float row[4], float x) {
#if defined(__SSE2__)
  __m128 d = _mm_sub_ps(_mm_add_ps(_mm_set1_ps(x), _mm_setr_ps(0, 1, 2, 3)), _mm_set1_ps(t.ox));
  __m128i out = _mm_setzero_si128();
  for (int ch = 0; ch < 4; ++ch) {
    __m128 v = _mm_add_ps(_mm_set1_ps(row[ch]), _mm_mul_ps(_mm_set1_ps(t.c[ch].dx), d));
    v = _mm_min_ps(_mm_max_ps(v, _mm_setzero_ps()), _mm_set1_ps(255.0f));
    out = _mm_or_si128(out, _mm_slli_epi32(_mm_cvtps_epi32(v), 8 * ch));
  }
  return {out};
#else
  P4 r{};
  for (int i = 0; i < 4; ++i) {
    float d = (x + i) - t.ox;
    for (int ch = 0; ch < 4; ++ch) {
      float v = std::clamp(row[ch] + t.c[ch].dx * d, 0.0f, 255.0f);
      r.p[i] |= static_cast<uint32_t>(std::nearbyint(v)) << (8 * ch);
    }
  }
  return r;
#endif
}

LANTHORN_PIXEL int FloorToInt(float f) {
  if (!(f > -2.0e9f && f < 2.0e9f)) return 0;
  int i = static_cast<int>(f);
  return i - (static_cast<float>(i) > f);
}

#if defined(__SSE2__)
// FloorToInt on four lanes.
LANTHORN_PIXEL __m128i FloorToInt4(__m128 f) {
  const __m128 inside =
      _mm_and_ps(_mm_cmpgt_ps(f, _mm_set1_ps(-2.0e9f)), _mm_cmplt_ps(f, _mm_set1_ps(2.0e9f)));
  const __m128i i = _mm_cvttps_epi32(f);
  const __m128i above = _mm_castps_si128(_mm_cmpgt_ps(_mm_cvtepi32_ps(i), f));
  return _mm_and_si128(_mm_add_epi32(i, above), _mm_castps_si128(inside));
}
#endif

template <uint32_t F, bool kGouraud, bool kPersp>
void SourceRow(const Triangle& t, const DrawContext& ctx, int y, int x0, int n, uint32_t* out) {
  const float dy = static_cast<float>(y) - t.oy;
  float row[4] = {};
  if constexpr (kGouraud)
    for (int ch = 0; ch < 4; ++ch) row[ch] = t.c[ch].Row(dy);
  const float ru = t.u.Row(dy), rv = t.v.Row(dy), rq = t.q.Row(dy);
  const P4 flat = Splat4(t.color);
  // Times white is the texel itself.
  const bool white = !kGouraud && t.color == 0xFFFFFFFFu;
#if defined(__SSE2__)
  if constexpr (F != 0) {
    // Four lanes at once, each lane the same float operations as the scalar loop below: u, v
    // (and 1/w) from their planes, divided through when in perspective, floored and wrapped.
    const __m128 lanes = _mm_setr_ps(0, 1, 2, 3), ox = _mm_set1_ps(t.ox);
    const __m128 u0 = _mm_set1_ps(ru), udx = _mm_set1_ps(t.u.dx);
    const __m128 v0 = _mm_set1_ps(rv), vdx = _mm_set1_ps(t.v.dx);
    const __m128 q0 = _mm_set1_ps(rq), qdx = _mm_set1_ps(t.q.dx);
    const bool masks = t.wrap_u_mask >= 0 && t.wrap_v_mask >= 0;
    const __m128i umask = _mm_set1_epi32(t.wrap_u_mask), vmask = _mm_set1_epi32(t.wrap_v_mask);
    // An affine row whose v does not change along it (v.dx is zero, so every lane's v is ru's
    // row value plus a zero) reads one texture row.
    const bool one_row = !kPersp && masks && t.v.dx == 0.0f;
    const uint8_t* fixed_row =
        one_row ? ctx.tex_bits + static_cast<size_t>(FloorToInt(rv) & t.wrap_v_mask) * ctx.tex_pitch
                : nullptr;
    for (int i = 0; i < n; i += 4) {
      const float x = static_cast<float>(x0 + i);
      const __m128 d = _mm_sub_ps(_mm_add_ps(_mm_set1_ps(x), lanes), ox);
      __m128 u = _mm_add_ps(u0, _mm_mul_ps(udx, d));
      alignas(16) int tu[4], tv[4];
      uint32_t tex[4];
      if (one_row) {
        _mm_store_si128(reinterpret_cast<__m128i*>(tu), _mm_and_si128(FloorToInt4(u), umask));
        for (int k = 0; k < 4; ++k) tex[k] = Texel<F>(fixed_row, tu[k], ctx.palette);
      } else {
        __m128 v = _mm_add_ps(v0, _mm_mul_ps(vdx, d));
        if constexpr (kPersp) {
          const __m128 q = _mm_add_ps(q0, _mm_mul_ps(qdx, d));
          u = _mm_div_ps(u, q);
          v = _mm_div_ps(v, q);
        }
        if (masks) {
          _mm_store_si128(reinterpret_cast<__m128i*>(tu), _mm_and_si128(FloorToInt4(u), umask));
          _mm_store_si128(reinterpret_cast<__m128i*>(tv), _mm_and_si128(FloorToInt4(v), vmask));
        } else {
          _mm_store_si128(reinterpret_cast<__m128i*>(tu), FloorToInt4(u));
          _mm_store_si128(reinterpret_cast<__m128i*>(tv), FloorToInt4(v));
          for (int k = 0; k < 4; ++k) {
            tu[k] = Wrap(tu[k], ctx.tex_width, -1);
            tv[k] = Wrap(tv[k], ctx.tex_height, -1);
          }
        }
        for (int k = 0; k < 4; ++k)
          tex[k] = Texel<F>(ctx.tex_bits + static_cast<size_t>(tv[k]) * ctx.tex_pitch, tu[k],
                            ctx.palette);
      }
      const P4 col = kGouraud ? Gouraud4(t, row, x) : flat;
      Store4(out + i, white ? Load4(tex) : Modulate(Load4(tex), col));
    }
    return;
  }
#endif
  for (int i = 0; i < n; i += 4) {
    const float x = static_cast<float>(x0 + i);
    P4 col = kGouraud ? Gouraud4(t, row, x) : flat;
    if constexpr (F == 0) {
      Store4(out + i, col);
    } else {
      uint32_t tex[4];
      for (int k = 0; k < 4; ++k) {
        float d = (x + k) - t.ox;
        float u = ru + t.u.dx * d, v = rv + t.v.dx * d;
        if constexpr (kPersp) {
          float q = rq + t.q.dx * d;
          u /= q;
          v /= q;
        }
        int tu = Wrap(FloorToInt(u), ctx.tex_width, t.wrap_u_mask);
        int tv = Wrap(FloorToInt(v), ctx.tex_height, t.wrap_v_mask);
        tex[k] = Texel<F>(ctx.tex_bits + static_cast<size_t>(tv) * ctx.tex_pitch, tu, ctx.palette);
      }
      Store4(out + i, white ? Load4(tex) : Modulate(Load4(tex), col));
    }
  }
}

using SourceFn = void (*)(const Triangle&, const DrawContext&, int, int, int, uint32_t*);

template <uint32_t F>
SourceFn PickSource(bool gouraud, bool persp) {
  if constexpr (F == 0) {
    return gouraud ? SourceRow<0, true, false> : SourceRow<0, false, false>;
  } else {
    if (gouraud) return persp ? SourceRow<F, true, true> : SourceRow<F, true, false>;
    return persp ? SourceRow<F, false, true> : SourceRow<F, false, false>;
  }
}

enum class DepthMode { None, Constant, Varying };

// One triangle's share of a row: its pixels [x0, x1) and how their source colours are made.
struct SpanPart {
  const Triangle* t;
  SourceFn source;
  int x0, x1;
};

template <class B, bool kMask>
void BlendRow(const DrawContext& ctx, uint32_t* dst, const uint32_t* src, const uint32_t* mask,
              int n) {
  B blend{};
  if constexpr (std::is_same_v<B, RuntimeBlend>) blend = {ctx.src, ctx.dst};
  auto four = [&](uint32_t* d4, const uint32_t* s4, const uint32_t* m4) {
    P4 s = Load4(s4);
    if constexpr (kMask) {
      P4 m = Load4(m4);
      if (!AnySet(m)) return;
      P4 d = Load4(d4);
      Store4(d4, Select4(m, blend(s, d), d));
    } else {
      BlendInto(blend, d4, s);
    }
  };
  int i = 0;
  for (; i + 4 <= n; i += 4) four(dst + i, src + i, kMask ? mask + i : nullptr);
  if (i < n) {
    int k = n - i;
    uint32_t px[4] = {}, m[4] = {};
    CopyTail(px, dst + i, k);
    if constexpr (kMask) CopyTail(m, mask + i, k);
    four(px, src + i, m);
    CopyTail(dst + i, px, k);
  }
}

using BlendFn = void (*)(const DrawContext&, uint32_t*, const uint32_t*, const uint32_t*, int);

BlendFn PickBlend(const DrawContext& ctx, bool mask) {
  BlendFn fn = nullptr;
  WithBlend(ctx, [&](auto b) {
    using B = decltype(b);
    fn = mask ? BlendRow<B, true> : BlendRow<B, false>;
  });
  return fn;
}

// Shades a row's span. The span is one triangle's pixels, or two triangles' side by side (the
// two halves of a quad, left part first): each pixel's source colour comes from its own
// triangle's planes, which depend on the pixel's position alone, so one source row, one depth
// pass and one blend pass serve both. Two parts share their depth, one constant z.
struct SpanShader {
  const DrawContext& ctx;
  BlendFn blend_plain, blend_masked;

  void Segment(const SpanPart* parts, int count, int y, int x0, int x1, DepthMode mode) const {
    alignas(16) uint32_t src[kMaxSpan + 4];
    alignas(16) uint32_t mask[kMaxSpan + 4];
    const int n = x1 - x0;
    if (mode != DepthMode::None) {
      const Triangle& t = *parts[0].t;
      float* stored = ctx.depth->Row(y) + x0;
      const float dy = static_cast<float>(y) - t.oy, rz = t.z.Row(dy);
      bool any = false;
      for (int i = 0; i < n; ++i) {
        float z =
            mode == DepthMode::Constant ? t.z0 : rz + t.z.dx * (static_cast<float>(x0 + i) - t.ox);
        bool pass = z <= stored[i];
        if (pass && ctx.z_write) stored[i] = z;
        mask[i] = pass ? ~0u : 0u;
        any |= pass;
      }
      if (!any) return;
    }
    // Each source writes whole groups of four: the right part, written after the left, replaces
    // what the left one wrote past its end.
    for (int p = 0; p < count; ++p) {
      const int a = std::max(x0, parts[p].x0), b = std::min(x1, parts[p].x1);
      if (a < b) parts[p].source(*parts[p].t, ctx, y, a, b - a, src + (a - x0));
    }
    uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width + x0;
    if (mode == DepthMode::None)
      blend_plain(ctx, dst, src, nullptr, n);
    else
      blend_masked(ctx, dst, src, mask, n);
  }

  void Span(const SpanPart* parts, int count, int y) const {
    const int x0 = parts[0].x0, x1 = parts[count - 1].x1;
    if (!ctx.z_enable) return Segment(parts, count, y, x0, x1, DepthMode::None);
    DepthBuffer& depth = *ctx.depth;
    const Triangle& t = *parts[0].t;
    const int ty = y / kTile;
    if (!t.const_z) {
      for (int tx = x0 / kTile; tx * kTile < x1; ++tx) depth.Split(tx, ty);
      return Segment(parts, count, y, x0, x1, DepthMode::Varying);
    }
    int run0 = -1, run1 = -1;
    for (int tx = x0 / kTile; tx * kTile < x1; ++tx) {
      int sx0 = std::max(x0, tx * kTile), sx1 = std::min(x1, tx * kTile + kTile);
      const DepthBuffer::Test r =
          depth.PassesUnchanged(tx, ty, t.z0, ctx.z_write)
              ? DepthBuffer::Test::All
              : depth.ConstantTest(tx, ty, sx0, y, sx1, y + 1, t.z0, ctx.z_write);
      if (r == DepthBuffer::Test::All) {
        if (run0 < 0) run0 = sx0;
        run1 = sx1;
        continue;
      }
      if (run0 >= 0) Segment(parts, count, y, run0, run1, DepthMode::None);
      run0 = -1;
      if (r == DepthBuffer::Test::PerPixel)
        Segment(parts, count, y, sx0, sx1, DepthMode::Constant);
    }
    if (run0 >= 0) Segment(parts, count, y, run0, run1, DepthMode::None);
  }
};

inline int64_t FloorDiv(int64_t num, int64_t den, int64_t* rem) {
  int64_t q = num / den, r = num % den;
  if (r < 0) {
    --q;
    r += den;
  }
  *rem = r;
  return q;
}

// One edge's limit on each row: pixel centres on the inner side, and on the edge itself only
// for top and left edges.
struct EdgeWalk {
  enum Kind { Lower, Upper, Flat } kind;
  bool tie;
  int64_t q = 0, r = 0, den = 1, qs = 0, rs = 0;  // floor(num / den) and its per-row step
  int64_t e = 0, step = 0;  // Flat: the edge value on the row

  void Init(int64_t a, int64_t b, int64_t c, bool inclusive, int y) {
    tie = inclusive;
    int64_t e0 = b * y + c;
    if (a == 0) {
      kind = Flat;
      e = e0;
      step = b;
      return;
    }
    kind = a > 0 ? Lower : Upper;
    den = a > 0 ? a : -a;
    int64_t num = a > 0 ? -e0 : e0;
    int64_t s = a > 0 ? -b : b;
    q = FloorDiv(num, den, &r);
    qs = FloorDiv(s, den, &rs);
  }
  void Next() {
    if (kind == Flat) {
      e += step;
      return;
    }
    q += qs;
    r += rs;
    if (r >= den) {
      r -= den;
      ++q;
    }
  }
  // A flat edge (its walk starting on row y0) narrows the rows first ..= last of y0 ..= y1 to
  // those it lets in, in closed form: inside on row y0 + k while e + step k ≥ least.
  void NarrowRows(int y0, int y1, int& first, int& last) const {
    const int64_t least = tie ? 0 : 1;
    int64_t rem;
    if (step == 0) {
      if (e < least) last = first - 1;
    } else if (step > 0) {
      const int64_t k = -FloorDiv(e - least, step, &rem);  // ceil((least − e) / step)
      first = std::max(first, static_cast<int>(std::min<int64_t>(y0 + k, int64_t{y1} + 1)));
    } else {
      const int64_t k = FloorDiv(e - least, -step, &rem);
      last = static_cast<int>(std::min<int64_t>(last, std::max<int64_t>(y0 + k, int64_t{y0} - 1)));
    }
  }
  // Narrows [lo, hi) to this edge's pixels on the current row.
  void Limit(int64_t& lo, int64_t& hi) const {
    switch (kind) {
      case Lower: lo = std::max(lo, tie ? q + (r != 0) : q + 1); break;
      case Upper: hi = std::min(hi, tie ? q + 1 : q + (r != 0)); break;
      case Flat:
        if (!(e > 0 || (e == 0 && tie))) hi = lo;
        break;
    }
  }
};

Plane MakePlane(const double px[3], const double py[3], double a0, double a1, double a2,
                double area) {
  Plane p;
  p.a0 = static_cast<float>(a0);
  p.dx = static_cast<float>(((a1 - a0) * (py[2] - py[0]) - (a2 - a0) * (py[1] - py[0])) / area);
  p.dy = static_cast<float>(((a2 - a0) * (px[1] - px[0]) - (a1 - a0) * (px[2] - px[0])) / area);
  return p;
}

bool InsideGuard(const RasterVertex& v) {
  return v.x > -kGuardBand && v.x < kGuardBand && v.y > -kGuardBand && v.y < kGuardBand;
}

// A triangle's planes and edges, its rows y0 ..= y1 on the target and the edges' state on row
// y0; false when it draws nothing.
bool SetUp(const DrawContext& ctx, const RasterVertex* const v[3], bool perspective, Triangle& t,
           EdgeWalk edges[3], int* row0, int* row1) {
  // Clipping leaves every finite vertex inside the band; anything else (NaN) draws nothing.
  for (int i = 0; i < 3; ++i)
    if (!(std::fabs(v[i]->x) <= kGuardBand + 1 && std::fabs(v[i]->y) <= kGuardBand + 1))
      return false;
  int64_t X[3], Y[3];
  for (int i = 0; i < 3; ++i) {
    X[i] = std::llrint(static_cast<double>(v[i]->x) * 256.0);
    Y[i] = std::llrint(static_cast<double>(v[i]->y) * 256.0);
  }
  int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (X[2] - X[0]) * (Y[1] - Y[0]);
  if (area == 0) return false;

  int64_t ymin = std::min({Y[0], Y[1], Y[2]}), ymax = std::max({Y[0], Y[1], Y[2]});
  int64_t r;
  int y0 = static_cast<int>(std::max<int64_t>(-FloorDiv(-ymin, 256, &r), 0));
  int y1 = static_cast<int>(std::min<int64_t>(FloorDiv(ymax, 256, &r), ctx.height - 1));
  if (y0 > y1) return false;
  *row0 = y0;
  *row1 = y1;

  for (int i = 0; i < 3; ++i) {
    int j = (i + 1) % 3;
    int64_t a = Y[i] - Y[j], b = X[j] - X[i];
    int64_t c = -a * X[i] - b * Y[i];
    if (area < 0) a = -a, b = -b, c = -c;
    edges[i].Init(a * 256, b * 256, c, a > 0 || (a == 0 && b > 0), y0);
  }

  double px[3], py[3];
  for (int i = 0; i < 3; ++i) px[i] = X[i] / 256.0, py[i] = Y[i] / 256.0;
  double area_px = static_cast<double>(area) / 65536.0;
  t.ox = static_cast<float>(px[0]);
  t.oy = static_cast<float>(py[0]);
  // The colour planes are read only when the colour varies, the depth plane only when the depth
  // does.
  t.gouraud = false;
  for (int ch = 0; ch < 4; ++ch)
    t.gouraud |= v[0]->c[ch] != v[1]->c[ch] || v[0]->c[ch] != v[2]->c[ch];
  if (t.gouraud)
    for (int ch = 0; ch < 4; ++ch)
      t.c[ch] = MakePlane(px, py, v[0]->c[ch], v[1]->c[ch], v[2]->c[ch], area_px);
  t.color = 0;
  for (int ch = 0; ch < 4; ++ch)
    t.color |= static_cast<uint32_t>(std::clamp(std::lrint(v[0]->c[ch]), 0L, 255L)) << (8 * ch);
  t.const_z = v[0]->z == v[1]->z && v[0]->z == v[2]->z;
  t.z0 = v[0]->z;
  if (!t.const_z) t.z = MakePlane(px, py, v[0]->z, v[1]->z, v[2]->z, area_px);
  const bool textured = ctx.tex_bits != nullptr;
  if (textured) {
    if (perspective) {
      t.u = MakePlane(px, py, double(v[0]->u) * v[0]->rhw, double(v[1]->u) * v[1]->rhw,
                      double(v[2]->u) * v[2]->rhw, area_px);
      t.v = MakePlane(px, py, double(v[0]->v) * v[0]->rhw, double(v[1]->v) * v[1]->rhw,
                      double(v[2]->v) * v[2]->rhw, area_px);
      t.q = MakePlane(px, py, v[0]->rhw, v[1]->rhw, v[2]->rhw, area_px);
    } else {
      t.u = MakePlane(px, py, v[0]->u, v[1]->u, v[2]->u, area_px);
      t.v = MakePlane(px, py, v[0]->v, v[1]->v, v[2]->v, area_px);
    }
    auto mask = [](int size) { return (size & (size - 1)) == 0 ? size - 1 : -1; };
    t.wrap_u_mask = mask(ctx.tex_width);
    t.wrap_v_mask = mask(ctx.tex_height);
  }

  return true;
}

// One sloped edge's limit on the rows of a triangle: q + ((r != 0) | bump) on each row, with q
// and r the floor and remainder EdgeWalk keeps (bump says whether the limit moves past a pixel
// centre that lies on the edge: a lower edge that is not a top or left edge, or an upper edge
// that is). A missing bound stays far outside the target.
struct Bound {
  int64_t q, r, den, qs, rs, bump;

  static Bound From(const EdgeWalk& e) {
    const bool lower = e.kind == EdgeWalk::Lower;
    return {e.q, e.r, e.den, e.qs, e.rs, lower ? !e.tie : e.tie};
  }
  static Bound Fixed(int64_t at) { return {at, 0, 1, 0, 0, 0}; }
  int64_t Limit() const { return q + ((r != 0) | bump); }
  void Next() {
    q += qs;
    r += rs;
    const int64_t carry = r >= den;
    r -= den & -carry;
    q += carry;
  }
};

// A triangle being walked down the target: its planes, its source, its rows y0 ..= y1 and its
// edges on the next row. A horizontal edge only decides which rows are inside, so it is taken
// into y0 and y1 once; the others narrow each row from the left (lower) or the right (upper).
struct TriangleWalk {
  Triangle t;
  int y0 = 0, y1 = -1;
  SourceFn source = nullptr;
  Bound lower[2], upper[2];  // the second of each only when two_lower, two_upper
  bool two_lower = false, two_upper = false;

  bool Start(const DrawContext& ctx, const RasterVertex* const v[3], bool perspective) {
    EdgeWalk edges[3];
    if (!SetUp(ctx, v, perspective, t, edges, &y0, &y1)) return false;
    WithFormat(ctx.tex_bits ? ctx.tex_format : 0,
               [&](auto f) { source = PickSource<decltype(f)::value>(t.gouraud, perspective); });
    constexpr int64_t kFar = int64_t{1} << 40;
    lower[0] = lower[1] = Bound::Fixed(-kFar);
    upper[0] = upper[1] = Bound::Fixed(kFar);
    int lowers = 0, uppers = 0;
    int first = y0, last = y1;
    for (const EdgeWalk& e : edges) {
      // A triangle (its area is not zero) has at most two edges of one kind.
      if (e.kind == EdgeWalk::Lower && lowers < 2) lower[lowers++] = Bound::From(e);
      if (e.kind == EdgeWalk::Upper && uppers < 2) upper[uppers++] = Bound::From(e);
      if (e.kind == EdgeWalk::Flat) e.NarrowRows(y0, y1, first, last);
    }
    if (first > last) return false;
    two_lower = lowers == 2;
    two_upper = uppers == 2;
    for (int y = y0; y < first; ++y)
      for (Bound* b : {&lower[0], &lower[1], &upper[0], &upper[1]}) b->Next();
    y0 = first;
    y1 = last;
    return true;
  }
  // Row y's pixels (rows are taken in order, each once); false when the row has none.
  bool Row(const DrawContext& ctx, int y, SpanPart* part) {
    if (y < y0 || y > y1) return false;
    int64_t lo = std::max(int64_t{0}, lower[0].Limit());
    int64_t hi = std::min(int64_t{ctx.width}, upper[0].Limit());
    lower[0].Next();
    upper[0].Next();
    if (two_lower) {
      lo = std::max(lo, lower[1].Limit());
      lower[1].Next();
    }
    if (two_upper) {
      hi = std::min(hi, upper[1].Limit());
      upper[1].Next();
    }
    *part = {&t, source, static_cast<int>(lo), static_cast<int>(hi)};
    return lo < hi;
  }
};

SpanShader MakeShader(const DrawContext& ctx) {
  return {ctx, PickBlend(ctx, false), PickBlend(ctx, true)};
}

void DrawWalk(const DrawContext& ctx, const SpanShader& shader, TriangleWalk& w) {
  SpanPart part;
  for (int y = w.y0; y <= w.y1; ++y)
    if (w.Row(ctx, y, &part)) shader.Span(&part, 1, y);
}

void DrawInside(const DrawContext& ctx, const RasterVertex* v[3], bool perspective) {
  TriangleWalk w;
  if (w.Start(ctx, v, perspective)) DrawWalk(ctx, MakeShader(ctx), w);
}

bool SameBits(float a, float b) {
  uint32_t x, y;
  std::memcpy(&x, &a, 4);
  std::memcpy(&y, &b, 4);
  return x == y;
}

// Two triangles row by row, the first's part of a row before the second's, so every pixel sees
// the same draws in the same order as when the triangles are drawn one after the other. Where a
// row's parts meet (a quad's halves) and write the same constant depth, they are one span.
void DrawPairInside(const DrawContext& ctx, const RasterVertex* a[3], bool a_perspective,
                    const RasterVertex* b[3], bool b_perspective) {
  TriangleWalk w[2];
  const bool has_a = w[0].Start(ctx, a, a_perspective);
  const bool has_b = w[1].Start(ctx, b, b_perspective);
  const SpanShader shader = MakeShader(ctx);
  if (!has_a || !has_b) {
    if (has_a) DrawWalk(ctx, shader, w[0]);
    if (has_b) DrawWalk(ctx, shader, w[1]);
    return;
  }
  const bool one_depth = !ctx.z_enable || (w[0].t.const_z && w[1].t.const_z &&
                                           SameBits(w[0].t.z0, w[1].t.z0));
  const int y0 = std::min(w[0].y0, w[1].y0), y1 = std::max(w[0].y1, w[1].y1);
  for (int y = y0; y <= y1; ++y) {
    SpanPart p[2];
    const bool in_a = w[0].Row(ctx, y, &p[0]);
    const bool in_b = w[1].Row(ctx, y, &p[1]);
    if (in_a && in_b && one_depth) {
      if (p[0].x1 == p[1].x0) {
        shader.Span(p, 2, y);
        continue;
      }
      if (p[1].x1 == p[0].x0) {
        const SpanPart swapped[2] = {p[1], p[0]};
        shader.Span(swapped, 2, y);
        continue;
      }
    }
    if (in_a) shader.Span(&p[0], 1, y);
    if (in_b) shader.Span(&p[1], 1, y);
  }
}

// --- the gradient quad ----------------------------------------------------------------------

// An axis-aligned untextured quad with a colour per corner (the wipe masks' blocks). Its strip's
// two triangles keep the general path's planes and edges, so the bits are the same; what goes is
// the per-row cost: one walk of the first triangle's edges finds where the rows split, depth is
// tested per tile as for the rectangle, and each pixel is blended where its colour is computed.
struct GradientQuad {
  Triangle t[2];
  int y0;
  const int (*spans)[2];  // per row from y0: the first triangle's pixels [lo, hi)
};

template <class B, bool kDepth>
void GradientSegment(const B& blend, const DrawContext& ctx, const Triangle& t, float z, int y,
                     int x0, int x1) {
  if (x0 >= x1) return;
  uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width;
  float* depth = kDepth ? ctx.depth->Row(y) : nullptr;
  const float dy = static_cast<float>(y) - t.oy;
  float row[4];
  for (int ch = 0; ch < 4; ++ch) row[ch] = t.c[ch].Row(dy);
  const P4 flat = Splat4(t.color);
  const bool write = ctx.z_write;
  auto four = [&](uint32_t* d4, float* z4, int x) {
    BlendFour<kDepth>(blend, d4, z4, z, write,
                      t.gouraud ? Gouraud4(t, row, static_cast<float>(x)) : flat);
  };
  int x = x0;
  if constexpr (!kDepth) {
    if (ctx.wide && t.gouraud && x1 - x0 >= 8) {
      const float dx[4] = {t.c[0].dx, t.c[1].dx, t.c[2].dx, t.c[3].dx};
      x = GradientRowAvx2(ctx, dst, x0, x1, row, dx, t.ox);
    }
  }
  for (; x + 4 <= x1; x += 4) four(dst + x, kDepth ? depth + x : nullptr, x);
  if (x < x1) {
    const int k = x1 - x;
    uint32_t px[4] = {};
    float dz[4] = {};
    std::memcpy(px, dst + x, k * 4);
    if constexpr (kDepth) std::memcpy(dz, depth + x, k * 4);
    four(px, dz, x);
    std::memcpy(dst + x, px, k * 4);
    if constexpr (kDepth) std::memcpy(depth + x, dz, k * 4);
  }
}

// Whether every row of the triangle has the same colours (its colour planes run along x alone,
// as the wipe masks' blocks do): a row's colours are then worked out once for all rows.
bool SameRows(const Triangle& t) {
  if (!t.gouraud) return true;
  for (int ch = 0; ch < 4; ++ch)
    if (t.c[ch].dy != 0) return false;
  return true;
}

// One row of a triangle's colours for [x0, x1), four pixels at a time as GradientSegment works
// them out; `out` has room for the last group of four.
void TriangleRow(const Triangle& t, int x0, int x1, uint32_t* out) {
  if (!t.gouraud) return std::fill(out, out + (x1 - x0), t.color);
  float row[4];
  for (int ch = 0; ch < 4; ++ch) row[ch] = t.c[ch].Row(0.0f);
  for (int x = x0; x < x1; x += 4) Store4(out + (x - x0), Gouraud4(t, row, static_cast<float>(x)));
}

template <class B, bool kDepth>
void GradientRows(const B& blend, const DrawContext& ctx, const GradientQuad& g, float z, int x0,
                  int x1, int y0, int y1) {
  constexpr int kRow = 1024;
  if (x1 - x0 <= kRow && SameRows(g.t[0]) && SameRows(g.t[1])) {
    // The colours of both triangles once; each row takes the first's between its split points
    // and the second's elsewhere, and is blended in one pass.
    alignas(16) uint32_t first[kRow + 4], second[kRow + 4], src[kRow + 4];
    const int n = x1 - x0;
    TriangleRow(g.t[0], x0, x1, first);
    TriangleRow(g.t[1], x0, x1, second);
    const bool write = ctx.z_write;
    for (int y = y0; y < y1; ++y) {
      const int* span = g.spans[y - g.y0];
      const int lo = std::clamp(span[0], x0, x1) - x0, hi = std::clamp(span[1], x0, x1) - x0;
      std::memcpy(src, second, n * 4);
      if (lo < hi) std::memcpy(src + lo, first + lo, (hi - lo) * 4);
      uint32_t* dst = ctx.frame + static_cast<size_t>(y) * ctx.width + x0;
      float* depth = kDepth ? ctx.depth->Row(y) + x0 : nullptr;
      int i = 0;
      for (; i + 4 <= n; i += 4)
        BlendFour<kDepth>(blend, dst + i, kDepth ? depth + i : nullptr, z, write, Load4(src + i));
      if (i < n) {
        const int k = n - i;
        uint32_t px[4] = {};
        float dz[4] = {};
        std::memcpy(px, dst + i, k * 4);
        if constexpr (kDepth) std::memcpy(dz, depth + i, k * 4);
        BlendFour<kDepth>(blend, px, dz, z, write, Load4(src + i));
        std::memcpy(dst + i, px, k * 4);
        if constexpr (kDepth) std::memcpy(depth + i, dz, k * 4);
      }
    }
    return;
  }
  for (int y = y0; y < y1; ++y) {
    const int* span = g.spans[y - g.y0];
    const int lo = std::max(span[0], x0), hi = std::min(span[1], x1);
    if (lo >= hi) {
      GradientSegment<B, kDepth>(blend, ctx, g.t[1], z, y, x0, x1);
      continue;
    }
    GradientSegment<B, kDepth>(blend, ctx, g.t[1], z, y, x0, lo);
    GradientSegment<B, kDepth>(blend, ctx, g.t[0], z, y, lo, hi);
    GradientSegment<B, kDepth>(blend, ctx, g.t[1], z, y, hi, x1);
  }
}

}  // namespace

bool KeepsTargetOnZeroAlpha(const DrawContext& ctx) {
  bool keep = false;
  WithBlend(ctx, [&](auto blend) { keep = decltype(blend)::kKeepOnZero; });
  return keep;
}

void WriteRectDepth(const DrawContext& ctx, const RectQuad& q) {
  if (q.x0 >= q.x1 || q.y0 >= q.y1 || !ctx.z_enable || !ctx.z_write) return;
  // The walk writes the tiles that pass whole; the pixels of split tiles are written here, each
  // where the depth test passes, as the colour path's test writes them.
  ForDepthRuns(ctx, q, [&](auto depth, int x0, int x1, int y0, int y1) {
    if constexpr (decltype(depth)::value) {
      for (int y = y0; y < y1; ++y) {
        float* d = ctx.depth->Row(y);
        for (int x = x0; x < x1; ++x)
          if (q.z <= d[x]) d[x] = q.z;
      }
    }
  });
}

void DrawRect(const DrawContext& ctx, const RectQuad& q) {
  if (q.x0 >= q.x1 || q.y0 >= q.y1) return;
  const uint32_t format = ctx.tex_bits ? ctx.tex_format : 0;
  const bool white = q.color == 0xFFFFFFFFu;
  WithBlend(ctx, [&](auto blend) {
    using B = decltype(blend);
    WithFormat(format, [&](auto f) {
      constexpr uint32_t F = decltype(f)::value;
      if constexpr (F == 0) {
        RectTiles<B, 0, false>(blend, ctx, q);
      } else {
        if (white)
          RectTiles<B, F, true>(blend, ctx, q);
        else
          RectTiles<B, F, false>(blend, ctx, q);
      }
    });
  });
}

namespace {

// Whether the copies' quads together cover every pixel of their bounding box `box`.
bool CoverTheirBox(const RectQuad* q, int count, const RectQuad& box) {
  int rows[2 * kMaxRectCopies], n = 0;
  for (int k = 0; k < count; ++k)
    if (q[k].x0 < q[k].x1 && q[k].y0 < q[k].y1) rows[n++] = q[k].y0, rows[n++] = q[k].y1;
  std::sort(rows, rows + n);
  for (int b = 0; b + 1 < n; ++b) {
    if (rows[b] == rows[b + 1]) continue;
    // The band [rows[b], rows[b + 1]): its quads' columns, left to right, must join up.
    int from[kMaxRectCopies], to[kMaxRectCopies], m = 0;
    for (int k = 0; k < count; ++k)
      if (q[k].x0 < q[k].x1 && q[k].y0 <= rows[b] && rows[b + 1] <= q[k].y1)
        from[m] = q[k].x0, to[m++] = q[k].x1;
    int reach = box.x0;
    for (bool grew = true; grew && reach < box.x1;) {
      grew = false;
      for (int k = 0; k < m; ++k)
        if (from[k] <= reach && to[k] > reach) reach = to[k], grew = true;
    }
    if (reach < box.x1) return false;
  }
  return true;
}

}  // namespace

bool DrawRectCopies(const DrawContext& ctx, const RectQuad* q, int count) {
  if (count < 1 || count > kMaxRectCopies) return false;
  RectQuad box = q[0];
  bool any = false;
  for (int k = 0; k < count; ++k) {
    if (q[k].color != q[0].color || !SameBits(q[k].z, q[0].z)) return false;
    if (q[k].x0 >= q[k].x1 || q[k].y0 >= q[k].y1) continue;
    if (!any) {
      box.x0 = q[k].x0, box.y0 = q[k].y0, box.x1 = q[k].x1, box.y1 = q[k].y1;
      any = true;
    }
    box.x0 = std::min(box.x0, q[k].x0), box.y0 = std::min(box.y0, q[k].y0);
    box.x1 = std::max(box.x1, q[k].x1), box.y1 = std::max(box.y1, q[k].y1);
  }
  if (!any) return true;
  // Depth is tested over the box at once, so the copies must cover it.
  if (!CoverTheirBox(q, count, box)) return false;
  const bool white = q[0].color == 0xFFFFFFFFu;
  const uint32_t format = ctx.tex_format;
  WithBlend(ctx, [&](auto blend) {
    using B = decltype(blend);
    WithFormat(format, [&](auto f) {
      constexpr uint32_t F = decltype(f)::value;
      auto draw = [&](auto white_tag) {
        constexpr bool kWhite = decltype(white_tag)::value;
        // One depth walk for the box; in each stretch the copies in turn, so every pixel sees
        // them in their order, the stretch's rows still in the cache from the copy before.
        ForDepthRuns(ctx, box, [&](auto depth, int x0, int x1, int y0, int y1) {
          for (int k = 0; k < count; ++k) {
            const int cx0 = std::max(x0, q[k].x0), cx1 = std::min(x1, q[k].x1);
            const int cy0 = std::max(y0, q[k].y0), cy1 = std::min(y1, q[k].y1);
            if (cx0 < cx1 && cy0 < cy1)
              RectRows<B, F, kWhite, decltype(depth)::value>(blend, ctx, q[k], cx0, cx1, cy0, cy1);
          }
        });
      };
      if constexpr (F == 0) {
        draw(std::false_type{});
      } else if (white) {
        draw(std::true_type{});
      } else {
        draw(std::false_type{});
      }
    });
  });
  return true;
}

bool DrawGradientRect(const DrawContext& ctx, const RectQuad& q, const RasterVertex v[4]) {
  if (ctx.tex_bits || q.y1 - q.y0 > kMaxSpan) return false;
  if (q.x0 >= q.x1 || q.y0 >= q.y1) return true;
  GradientQuad g;
  EdgeWalk edges[3], unused[3];
  int ty0, ty1, uy0, uy1;
  const RasterVertex* first[3] = {&v[0], &v[1], &v[2]};
  const RasterVertex* second[3] = {&v[1], &v[2], &v[3]};
  if (!SetUp(ctx, first, false, g.t[0], edges, &ty0, &ty1) ||
      !SetUp(ctx, second, false, g.t[1], unused, &uy0, &uy1))
    return false;
  int spans[kMaxSpan][2];
  for (int y = q.y0; y < q.y1; ++y) {
    int64_t lo = 0, hi = ctx.width;
    if (y >= ty0 && y <= ty1) {
      for (const EdgeWalk& e : edges) e.Limit(lo, hi);
      for (EdgeWalk& e : edges) e.Next();
    } else {
      hi = lo;
    }
    spans[y - q.y0][0] = static_cast<int>(lo);
    spans[y - q.y0][1] = static_cast<int>(hi);
  }
  g.y0 = q.y0;
  g.spans = spans;
  WithBlend(ctx, [&](auto blend) {
    ForDepthRuns(ctx, q, [&](auto depth, int x0, int x1, int y0, int y1) {
      GradientRows<decltype(blend), decltype(depth)::value>(blend, ctx, g, q.z, x0, x1, y0, y1);
    });
  });
  return true;
}

namespace {

// Wrap(floor((a + d (i − o)) + e)) for i = i0 .. i1 − 1, shifted left by `shift`: the texel
// column (or row) a triangle's plane gives each pixel column (or row) i, worked out with the
// general path's float operations (e a term that is the same for every i: adding zero changes no
// floor); [*lo, *hi) widened to take the texels in.
void TexelIndices(float a, float d, float o, float e, int size, int mask, int shift, int i0,
                  int i1, int32_t* out, int* lo, int* hi) {
  const int n = i1 - i0;
  if (n <= 0) return;
  int least = size, most = -1;
  int i = 0;
#if defined(__SSE2__)
  if (mask >= 0) {
    const __m128 va = _mm_set1_ps(a), vd = _mm_set1_ps(d), vo = _mm_set1_ps(o), ve = _mm_set1_ps(e);
    const __m128i vmask = _mm_set1_epi32(mask), lanes = _mm_setr_epi32(0, 1, 2, 3);
    __m128i vmin = _mm_set1_epi32(least), vmax = _mm_set1_epi32(most);
    for (; i + 4 <= n; i += 4) {
      const __m128 at = _mm_cvtepi32_ps(_mm_add_epi32(_mm_set1_epi32(i0 + i), lanes));
      const __m128 t = _mm_add_ps(_mm_add_ps(va, _mm_mul_ps(vd, _mm_sub_ps(at, vo))), ve);
      const __m128i c = _mm_and_si128(FloorToInt4(t), vmask);
      const __m128i below = _mm_cmplt_epi32(c, vmin), above = _mm_cmpgt_epi32(c, vmax);
      vmin = _mm_or_si128(_mm_and_si128(below, c), _mm_andnot_si128(below, vmin));
      vmax = _mm_or_si128(_mm_and_si128(above, c), _mm_andnot_si128(above, vmax));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_slli_epi32(c, shift));
    }
    if (i > 0) {
      alignas(16) int mn[4], mx[4];
      _mm_store_si128(reinterpret_cast<__m128i*>(mn), vmin);
      _mm_store_si128(reinterpret_cast<__m128i*>(mx), vmax);
      least = std::min({mn[0], mn[1], mn[2], mn[3]});
      most = std::max({mx[0], mx[1], mx[2], mx[3]});
    }
  }
#endif
  for (; i < n; ++i) {
    const float t = (a + d * (static_cast<float>(i0 + i) - o)) + e;
    const int index = Wrap(FloorToInt(t), size, mask);
    least = std::min(least, index), most = std::max(most, index);
    out[i] = index << shift;
  }
  *lo = std::min(*lo, least), *hi = std::max(*hi, most + 1);
}

}  // namespace

// The general path samples texel (Wrap(floor(u)), Wrap(floor(v))) at pixel (x, y), with
// u = (u.a0 + u.dy (y − oy)) + u.dx (x − ox) in float and v alike, per triangle. Where a
// triangle's u.dy and v.dx come out exactly zero (its texture position runs along the axes),
// those terms add nothing: u is a function of the column alone and v of the row, so one texel
// column per pixel column and one texel row per pixel row, worked out here with the same
// operations, are what the general path picks. The rows of each triangle come from the same edge
// walks; the quad is taken only where the two triangles tile a rectangle row by row.
bool SetUpScaledRect(const DrawContext& ctx, const RasterVertex v[4], ScaledRect* s) {
  if (!ctx.tex_bits) return false;
  int bpp = 0;
  WithFormat(ctx.tex_format, [&](auto f) { bpp = kBytes<decltype(f)::value>; });
  if (bpp == 0) return false;
  for (int i = 0; i < 4; ++i) {
    if (!InsideGuard(v[i])) return false;
    if (v[i].z != v[0].z || v[i].rhw != v[0].rhw) return false;
    for (int ch = 0; ch < 4; ++ch)
      if (v[i].c[ch] != v[0].c[ch]) return false;
  }
  const RasterVertex* corners[2][3] = {{&v[0], &v[1], &v[2]}, {&v[1], &v[2], &v[3]}};
  Triangle t[2];
  EdgeWalk edges[2][3];
  int row0[2], row1[2];
  for (int k = 0; k < 2; ++k) {
    if (!SetUp(ctx, corners[k], false, t[k], edges[k], &row0[k], &row1[k])) return false;
    if (t[k].gouraud || t[k].u.dy != 0 || t[k].v.dx != 0) return false;
  }
  // Each row's pixels of both triangles: together one run, the same run on every row drawn.
  // Each triangle of a rectangle has one edge of each kind. The flat edge decides which of its
  // rows are inside, once; the upright edge limits every row alike (its walk never moves) and
  // narrows the triangle's range once; only the diagonal is walked row by row.
  int64_t base_lo[2], base_hi[2];
  int in0[2], in1[2];  // the rows ..= the flat edge lets in
  Bound diagonal[2];  // the sloped edge, which of the triangle's edges it is, and its side
  bool diagonal_lower[2];
  int diagonal_edge[2] = {-1, -1};
  for (int k = 0; k < 2; ++k) {
    base_lo[k] = 0, base_hi[k] = ctx.width;
    in0[k] = row0[k], in1[k] = row1[k];
    int flat = 0, upright = 0, sloped = 0;
    for (const EdgeWalk& e : edges[k]) {
      if (e.kind == EdgeWalk::Flat) {
        e.NarrowRows(row0[k], row1[k], in0[k], in1[k]);
        ++flat;
      } else if (e.qs == 0 && e.rs == 0) {
        e.Limit(base_lo[k], base_hi[k]);
        ++upright;
      } else {
        diagonal[k] = Bound::From(e);
        diagonal_lower[k] = e.kind == EdgeWalk::Lower;
        diagonal_edge[k] = static_cast<int>(&e - edges[k]);
        ++sloped;
      }
    }
    if (flat != 1 || upright != 1 || sloped != 1) return false;
  }
  // The rows walked one by one: fills in `first` and the rectangle [x0, x1) × [y0, y1) the two
  // triangles cover together; false when they do not cover one row by row.
  const int ya = std::min(row0[0], row0[1]), yb = std::max(in1[0], in1[1]);
  auto walk = [&](int* rx0, int* ry0, int* rx1, int* ry1) {
    if (yb < ya) return false;
    if (s->first.size() < static_cast<size_t>(yb - ya + 1)) s->first.resize(yb - ya + 1);
    std::array<int, 2>* first = s->first.data();
    int first_row = -1, end_row = -1, x0 = 0, x1 = 0, rows = 0;
    for (int y = ya; y <= yb; ++y) {
      int64_t lo[2], hi[2];
      for (int k = 0; k < 2; ++k) {
        lo[k] = base_lo[k], hi[k] = base_hi[k];
        if (y < row0[k] || y > row1[k]) {
          hi[k] = lo[k];
          continue;
        }
        if (y < in0[k] || y > in1[k])
          hi[k] = lo[k];
        else if (diagonal_lower[k])
          lo[k] = std::max(lo[k], diagonal[k].Limit());
        else
          hi[k] = std::min(hi[k], diagonal[k].Limit());
        diagonal[k].Next();
      }
      const bool has0 = lo[0] < hi[0], has1 = lo[1] < hi[1];
      if (!has0 && !has1) {
        if (first_row >= 0 && end_row < 0) end_row = y;
        continue;
      }
      int64_t a = has0 ? lo[0] : lo[1], b = has0 ? hi[0] : hi[1];
      if (has0 && has1) {
        if (hi[0] == lo[1])
          b = hi[1];
        else if (hi[1] == lo[0])
          a = lo[1];
        else
          return false;
      }
      if (end_row >= 0) return false;  // rows again after a gap
      if (first_row < 0) {
        first_row = y;
        x0 = static_cast<int>(a);
        x1 = static_cast<int>(b);
      } else if (a != x0 || b != x1) {
        return false;
      }
      first[rows++] = has0 ? std::array<int, 2>{static_cast<int>(lo[0]), static_cast<int>(hi[0])}
                           : std::array<int, 2>{x1, x1};
    }
    if (first_row < 0) return false;
    s->first.resize(rows);
    *rx0 = x0, *ry0 = first_row, *rx1 = x1, *ry1 = end_row < 0 ? yb + 1 : end_row;
    return true;
  };
  // The two triangles of a rectangle split along its diagonal v1 v2 (each one's sloped edge, the
  // two on opposite sides of it) cover it without a walk. The diagonal's two edge tests are each
  // other's complement, so a pixel centre inside lies in exactly one triangle; one on a side of
  // the rectangle lies strictly on its triangle's side of the diagonal, so the side's own edge
  // decides. At the diagonal's ends, where three edges meet, the top-left rule gives the same: a
  // top-left or bottom-right corner is in or out by both of its sides whatever the diagonal says,
  // and the triangle holding the top or left side of the other two corners has the diagonal as a
  // right edge, so the other triangle's side decides. The rows are then those both flat edges let
  // in and the columns those both upright edges do.
  const bool closed_form = diagonal_edge[0] == 1 && diagonal_edge[1] == 0 &&
                           diagonal_lower[0] != diagonal_lower[1];
  int x0, y0, x1, y1;
  if (closed_form) {
    x0 = static_cast<int>(std::max(base_lo[0], base_lo[1]));
    x1 = static_cast<int>(std::min(base_hi[0], base_hi[1]));
    y0 = std::max(in0[0], in0[1]);
    y1 = std::min(in1[0], in1[1]) + 1;
    if (x0 >= x1 || y0 >= y1) return false;
  } else if (!walk(&x0, &y0, &x1, &y1)) {
    return false;
  }
  RectQuad& q = s->q;
  q = {x0, y0, x1, y1, 0, 0, t[0].color, t[0].z0};
  s->bytes_per_texel = bpp;
  int tx0 = ctx.tex_width, tx1 = 0, ty0 = ctx.tex_height, ty1 = 0;
  bool same_rows = false;
  for (int k = 0; k < 2; ++k) {
    const Triangle& tk = t[k];
    // u at row q.y0 and v at column q.x0, as the general path would evaluate them there.
    const float ru = tk.u.Row(static_cast<float>(q.y0) - tk.oy);
    const float d0 = static_cast<float>(q.x0) - tk.ox;
    std::vector<int32_t>& column = s->column[k];
    column.resize(q.x1 - q.x0 + 3);
    const int shift = bpp == 4 ? 2 : bpp == 2 ? 1 : 0;
    TexelIndices(ru, tk.u.dx, tk.ox, 0.0f, ctx.tex_width, tk.wrap_u_mask, shift, q.x0, q.x1,
                 column.data(), &tx0, &tx1);
    std::fill(column.end() - 3, column.end(), column[q.x1 - q.x0 - 1]);
    s->row[k].resize(q.y1 - q.y0);
    // The second triangle's rows are the first's where its v plane is (its v is evaluated from
    // the same row origin; v.dx is zero, so the column term adds nothing either way).
    if (k == 1 && SameBits(tk.v.a0, t[0].v.a0) && SameBits(tk.v.dy, t[0].v.dy) &&
        SameBits(tk.oy, t[0].oy) && tk.wrap_v_mask == t[0].wrap_v_mask) {
      std::copy(s->row[0].begin(), s->row[0].end(), s->row[1].begin());
      same_rows = true;
      continue;
    }
    constexpr int kChunk = 64;
    for (int y = q.y0; y < q.y1; y += kChunk) {
      int32_t texel_rows[kChunk];
      const int end = std::min(q.y1, y + kChunk);
      TexelIndices(tk.v.a0, tk.v.dy, tk.oy, tk.v.dx * d0, ctx.tex_height, tk.wrap_v_mask, 0, y,
                   end, texel_rows, &ty0, &ty1);
      for (int i = 0; i < end - y; ++i)
        s->row[k][y - q.y0 + i] = ctx.tex_bits + static_cast<size_t>(texel_rows[i]) * ctx.tex_pitch;
    }
  }
  s->texels = {tx0, ty0, tx1, ty1};
  s->one_table = s->column[0] == s->column[1] && (same_rows || s->row[0] == s->row[1]);
  if (closed_form && !s->one_table) {
    // Where the triangles read differently, the walk finds which pixels are the first's.
    int wx0, wy0, wx1, wy1;
    if (!walk(&wx0, &wy0, &wx1, &wy1) || wx0 != x0 || wy0 != y0 || wx1 != x1 || wy1 != y1)
      return false;
  }
  return true;
}

void DrawTriangle(const DrawContext& ctx, const RasterVertex& a, const RasterVertex& b,
                  const RasterVertex& c, bool perspective) {
  const RasterVertex* v[3] = {&a, &b, &c};
  if (InsideGuard(a) && InsideGuard(b) && InsideGuard(c)) return DrawInside(ctx, v, perspective);

  // Clip against the guard band (attributes follow linearly on the screen, which is exact for
  // the sprites' constant 1/w), then draw the pieces as a fan.
  RasterVertex poly[2][9];
  for (int i = 0; i < 3; ++i) poly[0][i] = *v[i];
  auto distance = [](const RasterVertex& p, int plane) {
    switch (plane) {
      case 0: return p.x + kGuardBand;
      case 1: return kGuardBand - p.x;
      case 2: return p.y + kGuardBand;
      default: return kGuardBand - p.y;
    }
  };
  int cur = 0;
  const int n = ClipPolygon(poly, 3, 4, distance, cur);
  for (int i = 1; i + 1 < n; ++i) {
    const RasterVertex* f[3] = {&poly[cur][0], &poly[cur][i], &poly[cur][i + 1]};
    DrawInside(ctx, f, perspective);
  }
}

void DrawTrianglePair(const DrawContext& ctx, const RasterVertex* const first[3],
                      bool first_perspective, const RasterVertex* const second[3],
                      bool second_perspective) {
  const RasterVertex* a[3] = {first[0], first[1], first[2]};
  const RasterVertex* b[3] = {second[0], second[1], second[2]};
  bool inside = true;
  for (int i = 0; i < 3; ++i) inside = inside && InsideGuard(*a[i]) && InsideGuard(*b[i]);
  if (inside) return DrawPairInside(ctx, a, first_perspective, b, second_perspective);
  DrawTriangle(ctx, *a[0], *a[1], *a[2], first_perspective);
  DrawTriangle(ctx, *b[0], *b[1], *b[2], second_perspective);
}

}  // namespace gfx::raster
