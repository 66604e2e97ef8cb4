// The rasteriser's pixel arithmetic on four ARGB pixels at a time: texel decoding per format,
// texture × diffuse, and the blend rule. Written once over a small vector type, SSE2 on x86-64 and
// plain arrays elsewhere, so every path (fast or general) computes the same bits. The blend rule
// is a template over the vector type, so the eight-pixel AVX2 loops (raster_avx2.cpp) use the
// same rule on their wider vectors.
//
// Each file that includes this one gets its own copy in an inline namespace named by
// LANTHORN_PIXEL_ISA: the AVX2 file compiles these functions for AVX2, and the separate names
// keep the linker from ever handing an AVX2 copy to the code that runs without it.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "graphics/device.h"

// The pixel helpers must melt into the loops that call them: a call per four pixels, or a blend
// factor chosen at run time where the template fixed it, costs more than the arithmetic.
#if defined(__GNUC__)
#define LANTHORN_PIXEL inline __attribute__((always_inline))
#define LANTHORN_PIXEL_LAMBDA __attribute__((always_inline))
#else
#define LANTHORN_PIXEL inline
#define LANTHORN_PIXEL_LAMBDA
#endif

#ifndef LANTHORN_PIXEL_ISA
#define LANTHORN_PIXEL_ISA base
#endif

namespace gfx::raster {
inline namespace LANTHORN_PIXEL_ISA {

// x × y / 255 rounded to nearest, exact for 0 ≤ x, y ≤ 255.
constexpr uint32_t Mul255(uint32_t x, uint32_t y) {
  uint32_t t = x * y + 128;
  return (t + (t >> 8)) >> 8;
}

#if defined(__SSE2__)

// Four ARGB pixels.
struct P4 {
  __m128i v;
};
// Two pixels as eight 16-bit channels (B, G, R, A, B, G, R, A).
struct V16 {
  __m128i v;
};

LANTHORN_PIXEL P4 Load4(const uint32_t* p) {
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))};
}
LANTHORN_PIXEL void Store4(uint32_t* p, P4 x) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x.v);
}
LANTHORN_PIXEL P4 Splat4(uint32_t c) {
  return {_mm_set1_epi32(static_cast<int>(c))};
}
LANTHORN_PIXEL P4 Make4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return {_mm_setr_epi32(static_cast<int>(a), static_cast<int>(b), static_cast<int>(c),
                         static_cast<int>(d))};
}
LANTHORN_PIXEL P4 Or4(P4 a, P4 b) {
  return {_mm_or_si128(a.v, b.v)};
}
LANTHORN_PIXEL P4 And4(P4 a, P4 b) {
  return {_mm_and_si128(a.v, b.v)};
}
// Lanes of `mask` all ones take a, zero lanes take b.
LANTHORN_PIXEL P4 Select4(P4 mask, P4 a, P4 b) {
  return {_mm_or_si128(_mm_and_si128(mask.v, a.v), _mm_andnot_si128(mask.v, b.v))};
}
// True when all four pixels have this alpha.
LANTHORN_PIXEL bool AlphaAll(P4 x, uint8_t alpha) {
  __m128i eq = _mm_cmpeq_epi8(x.v, _mm_set1_epi8(static_cast<char>(alpha)));
  return (_mm_movemask_epi8(eq) & 0x8888) == 0x8888;
}

LANTHORN_PIXEL V16 Lo(P4 x) {
  return {_mm_unpacklo_epi8(x.v, _mm_setzero_si128())};
}
LANTHORN_PIXEL V16 Hi(P4 x) {
  return {_mm_unpackhi_epi8(x.v, _mm_setzero_si128())};
}
// Saturates each channel to 255.
LANTHORN_PIXEL P4 Pack(V16 lo, V16 hi) {
  return {_mm_packus_epi16(lo.v, hi.v)};
}
LANTHORN_PIXEL V16 Splat16(uint16_t c) {
  return {_mm_set1_epi16(static_cast<short>(c))};
}
LANTHORN_PIXEL V16 Add(V16 a, V16 b) {
  return {_mm_add_epi16(a.v, b.v)};
}
LANTHORN_PIXEL V16 Inv(V16 a) {
  return {_mm_sub_epi16(_mm_set1_epi16(255), a.v)};
}
LANTHORN_PIXEL V16 Mul(V16 a, V16 b) {
  // (t × 257) >> 16 equals (t + (t >> 8)) >> 8 for 16-bit t: Mul255 in three instructions.
  __m128i t = _mm_add_epi16(_mm_mullo_epi16(a.v, b.v), _mm_set1_epi16(128));
  return {_mm_mulhi_epu16(t, _mm_set1_epi16(257))};
}
// Each pixel's alpha in all four of its channels.
LANTHORN_PIXEL V16 AlphaOf(V16 a) {
  return {_mm_shufflehi_epi16(_mm_shufflelo_epi16(a.v, 0xFF), 0xFF)};
}
// Alpha channels set to 255, the others kept.
LANTHORN_PIXEL V16 WithOpaqueAlpha(V16 a) {
  return {_mm_or_si128(a.v, _mm_setr_epi16(0, 0, 0, 255, 0, 0, 0, 255))};
}

#else  // plain arrays; the compiler vectorises what it can

struct P4 {
  uint32_t p[4];
};
struct V16 {
  uint16_t c[8];
};

LANTHORN_PIXEL P4 Load4(const uint32_t* p) {
  P4 r;
  std::memcpy(r.p, p, 16);
  return r;
}
LANTHORN_PIXEL void Store4(uint32_t* p, P4 x) {
  std::memcpy(p, x.p, 16);
}
LANTHORN_PIXEL P4 Splat4(uint32_t c) {
  return {{c, c, c, c}};
}
LANTHORN_PIXEL P4 Make4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
  return {{a, b, c, d}};
}
LANTHORN_PIXEL P4 Or4(P4 a, P4 b) {
  for (int i = 0; i < 4; ++i) a.p[i] |= b.p[i];
  return a;
}
LANTHORN_PIXEL P4 And4(P4 a, P4 b) {
  for (int i = 0; i < 4; ++i) a.p[i] &= b.p[i];
  return a;
}
LANTHORN_PIXEL P4 Select4(P4 mask, P4 a, P4 b) {
  for (int i = 0; i < 4; ++i) a.p[i] = (mask.p[i] & a.p[i]) | (~mask.p[i] & b.p[i]);
  return a;
}
LANTHORN_PIXEL bool AlphaAll(P4 x, uint8_t alpha) {
  for (int i = 0; i < 4; ++i)
    if ((x.p[i] >> 24) != alpha) return false;
  return true;
}
LANTHORN_PIXEL V16 Lo(P4 x) {
  V16 r;
  for (int i = 0; i < 8; ++i) r.c[i] = (x.p[i / 4] >> (8 * (i % 4))) & 0xFF;
  return r;
}
LANTHORN_PIXEL V16 Hi(P4 x) {
  V16 r;
  for (int i = 0; i < 8; ++i) r.c[i] = (x.p[2 + i / 4] >> (8 * (i % 4))) & 0xFF;
  return r;
}
LANTHORN_PIXEL P4 Pack(V16 lo, V16 hi) {
  P4 r{};
  for (int i = 0; i < 8; ++i) {
    r.p[i / 4] |= static_cast<uint32_t>(lo.c[i] > 255 ? 255 : lo.c[i]) << (8 * (i % 4));
    r.p[2 + i / 4] |= static_cast<uint32_t>(hi.c[i] > 255 ? 255 : hi.c[i]) << (8 * (i % 4));
  }
  return r;
}
LANTHORN_PIXEL V16 Splat16(uint16_t c) {
  return {{c, c, c, c, c, c, c, c}};
}
LANTHORN_PIXEL V16 Add(V16 a, V16 b) {
  for (int i = 0; i < 8; ++i) a.c[i] = static_cast<uint16_t>(a.c[i] + b.c[i]);
  return a;
}
LANTHORN_PIXEL V16 Inv(V16 a) {
  for (int i = 0; i < 8; ++i) a.c[i] = static_cast<uint16_t>(255 - a.c[i]);
  return a;
}
LANTHORN_PIXEL V16 Mul(V16 a, V16 b) {
  for (int i = 0; i < 8; ++i) a.c[i] = static_cast<uint16_t>(Mul255(a.c[i], b.c[i]));
  return a;
}
LANTHORN_PIXEL V16 AlphaOf(V16 a) {
  for (int i = 0; i < 8; ++i) a.c[i] = a.c[(i / 4) * 4 + 3];
  return a;
}
LANTHORN_PIXEL V16 WithOpaqueAlpha(V16 a) {
  a.c[3] = a.c[7] = 255;
  return a;
}

#endif

// --- the blend rule -------------------------------------------------------------------------

// A vector of 16-bit channels with every channel c: Fill16<V16> here, Fill16<W16> for AVX2.
template <class V>
V Fill16(uint16_t c);
template <>
LANTHORN_PIXEL V16 Fill16<V16>(uint16_t c) {
  return Splat16(c);
}
// The pixels with alpha 255, the other channels kept.
LANTHORN_PIXEL P4 OpaqueAlpha(P4 x) {
  return Or4(x, Splat4(0xFF000000u));
}

// One blend factor for source s (whose alpha, in all four channels, is sa) and destination d.
// The render target has no alpha: its alpha reads as 255.
template <class V>
LANTHORN_PIXEL V FactorOf(Blend f, V s, V sa, V d) {
  switch (f) {
    case Blend::Zero: return Fill16<V>(0);
    case Blend::One: return Fill16<V>(255);
    case Blend::SrcColor: return s;
    case Blend::InvSrcColor: return Inv(s);
    case Blend::SrcAlpha: return sa;
    case Blend::InvSrcAlpha: return Inv(sa);
    case Blend::DestAlpha: return Fill16<V>(255);
    case Blend::InvDestAlpha: return Fill16<V>(0);
    case Blend::DestColor: return d;
    case Blend::InvDestColor: return Inv(d);
    // min(source alpha, 1 − destination alpha) is 0 on a target whose alpha is 1; alpha takes 1.
    case Blend::SrcAlphaSat: return WithOpaqueAlpha(Fill16<V>(0));
  }
  return Fill16<V>(0);
}

// x × factor, skipping the multiply for the factors that need none.
template <class V>
LANTHORN_PIXEL V Scale(Blend f, V x, V s, V sa, V d) {
  if (f == Blend::Zero || f == Blend::InvDestAlpha) return Fill16<V>(0);
  if (f == Blend::One || f == Blend::DestAlpha) return x;
  return Mul(x, FactorOf(f, s, sa, d));
}

// source × src factor + destination × dest factor, on 16-bit channels.
template <class V>
LANTHORN_PIXEL V BlendChannels(Blend src_f, Blend dst_f, V s, V sa, V d) {
  return Add(Scale(src_f, s, s, sa, d), Scale(dst_f, d, s, sa, d));
}

// The blend of a vector of pixels, saturated; the target's alpha stays 255. `sl`, `sh` are the
// source as Lo and Hi; `sal`, `sah` the source alphas: AlphaOf the source, or one known value (a
// fast path's constant alpha, which then needs no shuffles, and lets the source's own alpha
// channel be anything).
template <class V, class P>
LANTHORN_PIXEL P BlendPixels(Blend src_f, Blend dst_f, V sl, V sh, V sal, V sah, P d) {
  V lo = BlendChannels(src_f, dst_f, sl, sal, Lo(d));
  V hi = BlendChannels(src_f, dst_f, sh, sah, Hi(d));
  return OpaqueAlpha(Pack(lo, hi));
}
template <class V, class P>
LANTHORN_PIXEL P BlendPixels(Blend src_f, Blend dst_f, V sl, V sh, P d) {
  return BlendPixels(src_f, dst_f, sl, sh, AlphaOf(sl), AlphaOf(sh), d);
}
template <class P>
LANTHORN_PIXEL P BlendPixels(Blend src_f, Blend dst_f, P s, P d) {
  return BlendPixels(src_f, dst_f, Lo(s), Hi(s), d);
}

// What a blend leaves when the source alpha is 0 or 255, derived from its factors; the fast
// paths use it to skip transparent texels and to store opaque ones.
constexpr bool KeepsDestOnZeroAlpha(Blend s, Blend d) {
  return (s == Blend::Zero || s == Blend::SrcAlpha || s == Blend::InvDestAlpha) &&
         (d == Blend::One || d == Blend::InvSrcAlpha || d == Blend::DestAlpha);
}
constexpr bool StoresSourceOnFullAlpha(Blend s, Blend d) {
  return (s == Blend::One || s == Blend::SrcAlpha || s == Blend::DestAlpha) &&
         (d == Blend::Zero || d == Blend::InvSrcAlpha || d == Blend::InvDestAlpha);
}

// A blend fixed at compile time (the sprites' three modes and opaque drawing) or read at run time.
template <Blend S, Blend D>
struct FixedBlend {
  static constexpr bool kKeepOnZero = KeepsDestOnZeroAlpha(S, D);
  static constexpr bool kStoreOnFull = StoresSourceOnFullAlpha(S, D);
  template <class P>
  LANTHORN_PIXEL P operator()(P s, P d) const {
    return BlendPixels(S, D, s, d);
  }
  template <class V, class P>
  LANTHORN_PIXEL P operator()(V sl, V sh, P d) const {
    return BlendPixels(S, D, sl, sh, d);
  }
  template <class V, class P>
  LANTHORN_PIXEL P operator()(V sl, V sh, V sa, P d) const {
    return BlendPixels(S, D, sl, sh, sa, sa, d);
  }
};
struct RuntimeBlend {
  static constexpr bool kKeepOnZero = false;
  static constexpr bool kStoreOnFull = false;
  Blend src, dst;
  template <class P>
  LANTHORN_PIXEL P operator()(P s, P d) const {
    return BlendPixels(src, dst, s, d);
  }
  template <class V, class P>
  LANTHORN_PIXEL P operator()(V sl, V sh, P d) const {
    return BlendPixels(src, dst, sl, sh, d);
  }
  template <class V, class P>
  LANTHORN_PIXEL P operator()(V sl, V sh, V sa, P d) const {
    return BlendPixels(src, dst, sl, sh, sa, sa, d);
  }
};
using BlendAlpha = FixedBlend<Blend::SrcAlpha, Blend::InvSrcAlpha>;  // sprite mode 0
using BlendShade = FixedBlend<Blend::Zero, Blend::InvSrcAlpha>;  // sprite mode 1
using BlendAdd = FixedBlend<Blend::SrcAlpha, Blend::One>;  // sprite mode 2
using BlendReplace = FixedBlend<Blend::One, Blend::Zero>;  // blending off

// Blends four source pixels over four destination pixels with the shortcuts the rule allows.
template <class B>
LANTHORN_PIXEL void BlendInto(const B& blend, uint32_t* dst, P4 s) {
  if constexpr (B::kStoreOnFull) {
    if (AlphaAll(s, 255)) {
      Store4(dst, s);
      return;
    }
  }
  if constexpr (B::kKeepOnZero) {
    if (AlphaAll(s, 0)) return;
  }
  Store4(dst, blend(s, Load4(dst)));
}

// texture × diffuse, channel by channel (alpha too).
template <class P>
LANTHORN_PIXEL P Modulate(P t, P c) {
  return Pack(Mul(Lo(t), Lo(c)), Mul(Hi(t), Hi(c)));
}

// --- texels ---------------------------------------------------------------------------------

LANTHORN_PIXEL uint32_t Expand565(uint32_t t) {
  uint32_t r = (t >> 11) & 31, g = (t >> 5) & 63, b = t & 31;
  return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}
LANTHORN_PIXEL uint32_t Expand1555(uint32_t t) {
  uint32_t r = (t >> 10) & 31, g = (t >> 5) & 31, b = t & 31;
  return ((t & 0x8000) ? 0xFF000000u : 0) | ((r << 3 | r >> 2) << 16) | ((g << 3 | g >> 2) << 8) |
         (b << 3 | b >> 2);
}
LANTHORN_PIXEL uint32_t Expand4444(uint32_t t) {
  uint32_t a = (t >> 12) & 15, r = (t >> 8) & 15, g = (t >> 4) & 15, b = t & 15;
  return (a * 17) << 24 | (r * 17) << 16 | (g * 17) << 8 | b * 17;
}

// The texel at index i of a row, as ARGB.
template <uint32_t F>
LANTHORN_PIXEL uint32_t Texel(const uint8_t* row, int i, const uint32_t* palette) {
  if constexpr (F == D3DFMT_A8R8G8B8 || F == D3DFMT_X8R8G8B8) {
    uint32_t t;
    std::memcpy(&t, row + 4 * i, 4);
    return F == D3DFMT_X8R8G8B8 ? (t | 0xFF000000u) : t;
  } else if constexpr (F == D3DFMT_P8) {
    return palette[row[i]];
  } else {
    uint16_t t;
    std::memcpy(&t, row + 2 * i, 2);
    if constexpr (F == D3DFMT_R5G6B5) return Expand565(t);
    if constexpr (F == D3DFMT_A1R5G5B5) return Expand1555(t);
    if constexpr (F == D3DFMT_A4R4G4B4) return Expand4444(t);
    if constexpr (F == D3DFMT_A8P8)
      return (static_cast<uint32_t>(t >> 8) << 24) | (palette[t & 0xFF] & 0xFFFFFF);
  }
  return 0;
}

// Four consecutive texels of a row starting at `row` (the row may be read 16 bytes past its end).
template <uint32_t F>
LANTHORN_PIXEL P4 Texels4(const uint8_t* row, const uint32_t* palette) {
#if defined(__SSE2__)
  if constexpr (F == D3DFMT_A8R8G8B8) {
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(row))};
  } else if constexpr (F == D3DFMT_X8R8G8B8) {
    return Or4({_mm_loadu_si128(reinterpret_cast<const __m128i*>(row))}, Splat4(0xFF000000u));
  } else if constexpr (F == D3DFMT_A4R4G4B4) {
    // Nibbles b, r in the low halves of the bytes and g, a in the high halves; each nibble n
    // becomes n × 17 and the bytes interleave into B, G, R, A.
    __m128i t = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row));
    __m128i low = _mm_and_si128(t, _mm_set1_epi8(0x0F));
    __m128i high = _mm_and_si128(_mm_srli_epi16(t, 4), _mm_set1_epi8(0x0F));
    low = _mm_or_si128(low, _mm_slli_epi16(low, 4));
    high = _mm_or_si128(high, _mm_slli_epi16(high, 4));
    return {_mm_unpacklo_epi8(low, high)};
  }
#endif
  return Make4(Texel<F>(row, 0, palette), Texel<F>(row, 1, palette), Texel<F>(row, 2, palette),
               Texel<F>(row, 3, palette));
}

// --- depth ---------------------------------------------------------------------------------

// Depth test less-or-equal of a constant z against four stored depths, writing where it passes.
// Returns the pass mask (all ones per passing pixel).
LANTHORN_PIXEL P4 DepthTest4(float* stored, float z, bool write) {
#if defined(__SSE2__)
  __m128 d = _mm_loadu_ps(stored);
  __m128 zz = _mm_set1_ps(z);
  __m128 pass = _mm_cmple_ps(zz, d);
  if (write) _mm_storeu_ps(stored, _mm_or_ps(_mm_and_ps(pass, zz), _mm_andnot_ps(pass, d)));
  return {_mm_castps_si128(pass)};
#else
  P4 m;
  for (int i = 0; i < 4; ++i) {
    bool pass = z <= stored[i];
    if (pass && write) stored[i] = z;
    m.p[i] = pass ? ~0u : 0u;
  }
  return m;
#endif
}

LANTHORN_PIXEL bool AnySet(P4 m) {
#if defined(__SSE2__)
  return _mm_movemask_epi8(m.v) != 0;
#else
  return (m.p[0] | m.p[1] | m.p[2] | m.p[3]) != 0;
#endif
}

// Four source pixels over dst: with kDepth only where the constant depth z passes (written there
// when `write`), else as BlendInto blends them.
template <bool kDepth, class B>
LANTHORN_PIXEL void BlendFour(const B& blend, uint32_t* dst, float* depth, float z, bool write,
                              P4 s) {
  if constexpr (kDepth) {
    const P4 m = DepthTest4(depth, z, write);
    if (!AnySet(m)) return;
    const P4 d = Load4(dst);
    Store4(dst, Select4(m, blend(s, d), d));
  } else {
    BlendInto(blend, dst, s);
  }
}

// The last one to three values of a row, copied without a library call.
template <class T>
LANTHORN_PIXEL void CopyTail(T* to, const T* from, int k) {
  to[0] = from[0];
  if (k > 1) to[1] = from[1];
  if (k > 2) to[2] = from[2];
}

}  // namespace LANTHORN_PIXEL_ISA
}  // namespace gfx::raster
