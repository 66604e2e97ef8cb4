// The drawing device, CTexture, CSprite, CDirectLine and the device side of CGraphics, checked
// pixel by pixel on the real rasteriser.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <span>
#include <tuple>
#include <vector>

#include "graphics/device.h"
#include "graphics/direct_line.h"
#include "graphics/graphics.h"
#include "graphics/matrix.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "platform/message_box.h"
#include "platform/sjis.h"
#include "platform/window.h"

namespace {

using gfx::Blend;

// round(x × y / 255)
uint32_t M(uint32_t x, uint32_t y) {
  return static_cast<uint32_t>(std::lround(x * y / 255.0));
}

// A device with the states the game draws sprites with, cleared to `background`.
struct Canvas {
  gfx::Device dev{800, 600};
  explicit Canvas(uint32_t background = 0) {
    dev.SetAlphaBlendEnable(true);
    dev.SetBlendFactors(Blend::SrcAlpha, Blend::InvSrcAlpha);
    dev.Clear(background, 1.0f);
  }
  uint32_t At(int x, int y) const { return dev.Frame()[y * 800 + x]; }
};

// A texture whose texel (x, y) is `texel(x, y)` (raw bytes of the format, little-endian).
template <class Fn>
void FillTexture(CTexture& tex, gfx::Device& dev, int w, int h, uint32_t format, Fn texel) {
  ASSERT_TRUE(tex.Create(dev, w, h, format));
  int bpp = tex.BytesPerPixel();
  std::vector<uint8_t> bytes(static_cast<size_t>(w) * h * bpp);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint32_t t = texel(x, y);
      std::memcpy(&bytes[(static_cast<size_t>(y) * w + x) * bpp], &t, bpp);
    }
  ASSERT_EQ(tex.Upload(bytes.data()), 0);
}

TEST(SpriteBlend, ModesOnOnePixel) {
  struct Case {
    int mode;
    uint32_t rgb;
    int alpha;
    uint32_t dest;
    uint32_t want;
  } cases[] = {
      // mode 0: source × a + destination × (1 − a)
      {0, 0xFF0000, 128, 0x0000FF, 0xFF000000 | M(255, 128) << 16 | M(255, 127)},
      {0, 0x336699, 0, 0x123456, 0xFF123456},
      {0, 0x336699, 255, 0x123456, 0xFF336699},
      // mode 1: the destination shaded by alpha, the sprite's colour unseen
      {1, 0xFFFFFF, 128, 0x808080, 0xFF000000 | M(128, 127) * 0x010101},
      {1, 0xFFFFFF, 255, 0x123456, 0xFF000000},
      {1, 0x00FF00, 255, 0xFFFFFF, 0xFF000000},
      {1, 0x336699, 0, 0x123456, 0xFF123456},
      // mode 2: source × a added, saturating
      {2, 0x404040, 255, 0x808080, 0xFFC0C0C0},
      {2, 0xFFFFFF, 128, 0x808080, 0xFFFFFFFF},
      {2, 0x200000, 128, 0x000010, 0xFF000000 | M(0x20, 128) << 16 | 0x10},
  };
  for (const Case& c : cases) {
    Canvas cv(c.dest);
    CSprite s;
    s.Init(0, 0, 4, 4);
    s.SetBlendMode(c.mode);
    s.SetColor(c.rgb);
    s.SetAlpha(c.alpha);
    s.Draw(cv.dev, 10, 10, 4, 4);
    EXPECT_EQ(cv.At(11, 12), c.want) << "mode " << c.mode << " rgb " << std::hex << c.rgb;
    EXPECT_EQ(cv.At(9, 10), 0xFF000000 | c.dest);  // outside untouched
  }
}

TEST(SpriteBlend, GeneralFactorsFollowTheEquation) {
  struct Case {
    Blend src, dst;
    uint32_t want;  // source 0x80 406080 over destination 0x204060
  } cases[] = {
      {Blend::DestColor, Blend::Zero,
       0xFF000000 | M(0x40, 0x20) << 16 | M(0x60, 0x40) << 8 | M(0x80, 0x60)},
      {Blend::One, Blend::One, 0xFF60A0E0},
      {Blend::InvSrcColor, Blend::SrcColor,
       0xFF000000 | (M(0x40, 0xBF) + M(0x20, 0x40)) << 16 | (M(0x60, 0x9F) + M(0x40, 0x60)) << 8 |
           (M(0x80, 0x7F) + M(0x60, 0x80))},
      {Blend::SrcAlphaSat, Blend::One, 0xFF204060},  // the target's alpha is 1: no source shows
  };
  for (const Case& c : cases) {
    Canvas cv(0x204060);
    cv.dev.SetBlendFactors(c.src, c.dst);
    gfx::TLVertex v[4];
    float xs[4] = {-0.5f, 7.5f, -0.5f, 7.5f}, ys[4] = {-0.5f, -0.5f, 7.5f, 7.5f};
    for (int i = 0; i < 4; ++i)
      v[i].x = xs[i], v[i].y = ys[i], v[i].z = 0.5f, v[i].diffuse = 0x80406080;
    cv.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, v);
    EXPECT_EQ(cv.At(3, 3), c.want) << static_cast<int>(c.src) << "/" << static_cast<int>(c.dst);
  }
}

TEST(SpriteTexture, TextureTimesDiffuseForColourAndAlpha) {
  struct Case {
    uint32_t texel, rgb;
    int alpha;
    uint32_t want;  // over black, mode 0
  } cases[] = {
      {0xFFFF8040, 0xFFFFFF, 255, 0xFFFF8040},
      {0xFFFF8040, 0x808080, 255,
       0xFF000000 | M(255, 128) << 16 | M(0x80, 128) << 8 | M(0x40, 128)},
      {0x80FF8040, 0xFFFFFF, 255,
       0xFF000000 | M(255, 128) << 16 | M(0x80, 128) << 8 | M(0x40, 128)},
      // alpha = texel alpha × vertex alpha, colour = texel × vertex colour
      {0x80FF8040, 0x808080, 128,
       0xFF000000 | M(M(255, 128), M(128, 128)) << 16 | M(M(0x80, 128), M(128, 128)) << 8 |
           M(M(0x40, 128), M(128, 128))},
      {0x00FFFFFF, 0xFFFFFF, 255, 0xFF000000},
  };
  for (const Case& c : cases) {
    Canvas cv;
    CTexture tex;
    FillTexture(tex, cv.dev, 16, 16, gfx::D3DFMT_A8R8G8B8, [&](int, int) { return c.texel; });
    CSprite s;
    s.Init(0, 0, 16, 16, 0, 0, 1, 1, &tex);
    s.SetColor(c.rgb);
    s.SetAlpha(c.alpha);
    s.Draw(cv.dev, 100, 100, 16, 16);
    EXPECT_EQ(cv.At(107, 108), c.want) << std::hex << c.texel << " " << c.rgb << " " << c.alpha;
  }
}

TEST(SpriteTexture, EveryFormatDecodesItsTexels) {
  std::array<uint32_t, 256> palette{};
  palette[7] = 0xFF102030;
  struct Case {
    uint32_t format;
    uint32_t texel;  // raw
    uint32_t argb;  // as sampled
  } cases[] = {
      {gfx::D3DFMT_A8R8G8B8, 0xFF123456, 0xFF123456},
      {gfx::D3DFMT_X8R8G8B8, 0x00123456, 0xFF123456},  // the X byte reads as opaque
      {gfx::D3DFMT_R5G6B5, 0xF81F, 0xFFFF00FF},
      {gfx::D3DFMT_R5G6B5, 0x0400, 0xFF008200},  // g = 32 of 63 → 130
      {gfx::D3DFMT_A1R5G5B5, 0xFC00, 0xFFFF0000},
      {gfx::D3DFMT_A1R5G5B5, 0x7C00, 0x00FF0000},
      {gfx::D3DFMT_A4R4G4B4, 0xF8C4, 0xFF88CC44},
      {gfx::D3DFMT_A4R4G4B4, 0x1234, 0x11223344},
      {gfx::D3DFMT_P8, 7, 0xFF102030},
      {gfx::D3DFMT_A8P8, 0xFF07, 0xFF102030},
  };
  for (const Case& c : cases) {
    for (bool fast : {true, false}) {
      Canvas cv;
      cv.dev.SetPalette(palette);
      cv.dev.SetAlphaBlendEnable(false);  // the sampled value itself
      CTexture tex;
      FillTexture(tex, cv.dev, 8, 8, c.format, [&](int, int) { return c.texel; });
      CSprite s;
      s.Init(0, 0, 8, 8, 0, 0, 1, 1, &tex);
      if (fast)
        s.Draw(cv.dev, 0, 0, 8, 8);
      else
        s.DrawQuad(cv.dev, 0, 0, 8, 0, 0, 8, 8.1f, 8);  // a lean too large for the fast path
      EXPECT_EQ(cv.At(3, 3), 0xFF000000 | c.argb) << c.format << " " << std::hex << c.texel;
      EXPECT_EQ(cv.dev.FastQuads(), fast ? 1 : 0);
    }
  }
}

TEST(SpriteTexture, BlockLandsExactlyOnItsPixels) {
  Canvas cv(0x00FF00);
  CTexture tex;
  FillTexture(tex, cv.dev, 256, 256, gfx::D3DFMT_A8R8G8B8,
              [](int x, int y) { return 0xFF000000u | y << 8 | x; });
  // Cell (5, 2) of the 16 × 16 grid, as the layers address their blocks.
  CSprite s;
  s.Init(0, 0, 16, 16, 5 / 16.0f, 2 / 16.0f, 6 / 16.0f, 3 / 16.0f, &tex);
  s.Draw(cv.dev, 32, 48, 16, 16);
  int inside = 0;
  for (int y = 40; y < 72; ++y)
    for (int x = 24; x < 56; ++x) {
      bool in = x >= 32 && x < 48 && y >= 48 && y < 64;
      uint32_t want = in ? 0xFF000000u | (32 + y - 48) << 8 | (80 + x - 32) : 0xFF00FF00u;
      ASSERT_EQ(cv.At(x, y), want) << x << "," << y;
      inside += in;
    }
  EXPECT_EQ(inside, 256);
  EXPECT_EQ(cv.dev.FastQuads(), 1);
}

// The fast quad paths must give exactly what the general triangle path gives for the same quad:
// the one-to-one rectangle, the gradient rectangle and (the last rounds) the scaled rectangle.
TEST(SpriteTexture, FastPathMatchesTheGeneralPath) {
  std::mt19937 rng(7);
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  const uint32_t formats[] = {0,
                              gfx::D3DFMT_A8R8G8B8,
                              gfx::D3DFMT_X8R8G8B8,
                              gfx::D3DFMT_A4R4G4B4,
                              gfx::D3DFMT_R5G6B5,
                              gfx::D3DFMT_A1R5G5B5};
  const Blend factors[][2] = {{Blend::SrcAlpha, Blend::InvSrcAlpha},
                              {Blend::Zero, Blend::InvSrcAlpha},
                              {Blend::SrcAlpha, Blend::One},
                              {Blend::DestColor, Blend::SrcColor}};
  for (int round = 0; round < 400; ++round) {
    Canvas fast, general;
    // Rounds 80 on: a picture drawn scaled up or down, mirrored or not, on a texture whose sides
    // are powers of two or not (the texture wraps by mask or by remainder).
    const bool scaled = round >= 80, movie = round == 80 || round == 81;
    // Random content under the quad; the depth buffer in front of or behind it.
    for (Canvas* c : {&fast, &general}) c->dev.Clear(0, round % 3 == 0 ? 0.5f : 1.0f);
    for (int i = 0; i < 800 * 600; ++i) fast.dev.MutableFrame()[i] = rng() | 0xFF000000u;
    std::memcpy(general.dev.MutableFrame(), fast.dev.Frame(), 800 * 600 * 4);
    uint32_t format = scaled ? formats[1 + pick(5)] : formats[pick(5)];
    if (movie) format = round == 80 ? gfx::D3DFMT_X8R8G8B8 : gfx::D3DFMT_A1R5G5B5;
    // Rounds 60 to 79: untextured with a colour per corner.
    const bool gradient = round >= 60 && !scaled;
    if (gradient) format = 0;
    CTexture ta, tb;
    const int tex_w = movie ? 1024 : scaled && round % 3 == 0 ? 48 : 64;
    const int tex_h = movie ? 512 : scaled && round % 5 == 0 ? 40 : 64;
    std::vector<uint32_t> texels(tex_w * tex_h);
    for (uint32_t& t : texels) t = rng();
    // Some scaled pictures are opaque, as the movie's are.
    if (movie || (scaled && round % 2 == 0))
      for (uint32_t& t : texels) t |= format == gfx::D3DFMT_A8R8G8B8 ? 0xFF000000u : 0xF000F000u;
    // Every fifth round a picture with some 16 × 16 cells wholly transparent (their colours
    // still random), which the fast paths skip without reading where the blend allows.
    const bool holes = round % 5 == 1 && !gradient && !movie;
    if (holes) {
      format = gfx::D3DFMT_A8R8G8B8;
      const uint32_t cells = rng();
      for (int ty = 0; ty < tex_h; ++ty)
        for (int tx = 0; tx < tex_w; ++tx)
          if (cells >> (ty / 16 * 4 + tx / 16) % 32 & 1) texels[ty * tex_w + tx] &= 0xFFFFFFu;
    }
    for (auto [c, t] : {std::pair{&fast, &ta}, std::pair{&general, &tb}}) {
      if (format)
        FillTexture(*t, c->dev, tex_w, tex_h, format,
                    [&](int x, int y) { return texels[y * tex_w + x]; });
      // Half the scaled rounds without a depth test.
      c->dev.SetZEnable(!scaled || round % 4 < 2);
      const Blend* f = factors[round % 4];
      c->dev.SetBlendFactors(f[0], f[1]);
      c->dev.SetTexture(format ? t->Interface() : nullptr);
    }
    // Every offset from the 16 × 16 depth tiles on both axes, a few times over.
    int w = 1 + pick(60), h = 1 + pick(60);
    int x = 16 * pick(44) - 32 + round % 16, y = 16 * pick(32) - 32 + round * 7 % 16;
    int tx = pick(64 - std::min(w, 63)), ty = pick(64 - std::min(h, 63));
    if (w > 64 - tx) w = 64 - tx;
    if (h > 64 - ty) h = 64 - ty;
    uint32_t color = round % 5 == 0 ? 0xFFFFFFFFu : rng();
    // The pictures with transparent cells lie behind a neighbour in part, so their depth is
    // written pixel by pixel there.
    float z = round % 2 || holes ? 0.9f : 0.25f;
    // Most rounds first draw a neighbour over part of the quad's tiles, at its depth or between
    // the two, each canvas through its own path, so the quad meets tiles holding two depths.
    if (round % 4 != 3) {
      const int nx = x + pick(40) - 20, ny = y + pick(40) - 20;
      gfx::TLVertex n[4];
      for (int i = 0; i < 4; ++i) {
        n[i].x = nx - 0.5f + (i & 1) * (1 + pick(30));
        n[i].y = ny - 0.5f + (i >> 1) * 24;
        n[i].z = round % 8 < 4 && !holes ? z : 0.5f;
        n[i].diffuse = 0x80FF8000u;
      }
      n[3].x = n[1].x, n[2].x = n[0].x;
      for (Canvas* c : {&fast, &general}) c->dev.SetTexture(nullptr);
      fast.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, n);
      const gfx::TLVertex nl[6] = {n[0], n[1], n[2], n[1], n[3], n[2]};
      general.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleList, 2, nl);
      for (auto [c, t] : {std::pair{&fast, &ta}, std::pair{&general, &tb}})
        c->dev.SetTexture(format ? t->Interface() : nullptr);
    }
    // A third of the rounds lean the quad as the wave effect does: the top shifted by up to a
    // tenth of a pixel, the bottom by up to 16/256 pixel more. Some of those put a pixel centre
    // under a leaning edge, which only the general path may draw.
    float top_shift = 0, bottom_shift = 0;
    bool expect_fast = true;
    if (round % 3 == 2) {
      top_shift = (pick(51) - 25 + 0.25f) / 256.0f;
      bottom_shift = top_shift + (pick(33) - 16) / 256.0f;
      if (pick(4) == 0) {
        top_shift = 0.5f - 1 / 256.0f;
        bottom_shift = 0.5f + 1 / 256.0f;
        expect_fast = false;
      }
    }
    gfx::TLVertex v[4];
    for (int i = 0; i < 4; ++i) {
      v[i].x = x - 0.5f + (i & 1) * w + (i >> 1 ? bottom_shift : top_shift);
      v[i].y = y - 0.5f + (i >> 1) * h;
      v[i].z = z;
      v[i].diffuse = gradient ? rng() : color;
      v[i].u = (tx + (i & 1) * w) / 64.0f;
      v[i].v = (ty + (i >> 1) * h) / 64.0f;
    }
    // A quarter of the gradients change colour across the quad only, as the wipe masks' blocks
    // do; a quarter so on the first triangle alone.
    if (gradient && round % 2 == 0) v[2].diffuse = v[0].diffuse;
    if (gradient && round % 4 == 0) v[3].diffuse = v[1].diffuse;
    if (scaled) {
      // 40 to 700 pixels wide and high, on whole pixels or not, showing 1/8 to 4 times as many
      // texels, mirrored on either axis or not, from any texel (the texture wraps). The first two
      // are the movie: 640 × 480 of a 1024 × 512 texture stored bottom up, over the whole target.
      const float scales[] = {0.125f, 0.3f, 0.6f, 0.8f, 1.25f, 2.0f / 3, 1.5f, 3.7f};
      const bool part = round % 3 == 1;
      const float fx = x + (part ? pick(256) / 256.0f : 0),
                  fy = y + (part ? pick(256) / 256.0f : 0);
      const float sw = 40 + pick(round % 4 == 1 ? 660 : 200) + (part ? pick(256) / 256.0f : 0);
      const float sh = 40 + pick(round % 4 == 2 ? 500 : 150) + (part ? pick(256) / 256.0f : 0);
      const float su = sw * scales[pick(8)] * (pick(4) == 0 ? -1 : 1);
      const float sv = sh * scales[pick(8)] * (pick(4) == 0 ? -1 : 1);
      const float u0 = (pick(4 * tex_w) - 2 * tex_w) / 2.0f,
                  v0 = (pick(4 * tex_h) - 2 * tex_h) / 2.0f;
      for (int i = 0; i < 4; ++i) {
        v[i].x = fx - 0.5f + (i & 1) * sw;
        v[i].y = fy - 0.5f + (i >> 1) * sh;
        v[i].u = (u0 + (i & 1) * su) / tex_w;
        v[i].v = (v0 + (i >> 1) * sv) / tex_h;
        if (movie) {
          v[i].x = -0.5f + (i & 1) * 800.0f;
          v[i].y = -0.5f + (i >> 1) * 600.0f;
          v[i].u = (i & 1) * 640.0f / 1024;
          v[i].v = (i >> 1 ? 0.0f : 480.0f / 512);
          v[i].diffuse = 0xFFFFFFFFu;
        }
      }
    }
    // The strip's corners in the order sprites and the movie give them, and in three more whose
    // triangles meet on one diagonal or the other.
    const int orders[4][4] = {{0, 1, 2, 3}, {3, 2, 1, 0}, {1, 0, 3, 2}, {0, 2, 1, 3}};
    const int* o = orders[scaled ? round / 5 % 4 : 0];
    const gfx::TLVertex strip[4] = {v[o[0]], v[o[1]], v[o[2]], v[o[3]]};
    // Every other pair of rounds blends four pixels a step instead of eight (where the
    // processor has the eight-pixel loops at all).
    fast.dev.SetWidePixels(round / 2 % 2 == 0);
    fast.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, strip);
    gfx::TLVertex list[6] = {v[0], v[1], v[2], v[1], v[3], v[2]};
    if (scaled)  // the strip's own two triangles
      for (int i = 0; i < 6; ++i) list[i] = strip[i < 3 ? i : i - 2];
    general.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleList, 2, list);
    ASSERT_EQ(fast.dev.FastQuads(), (expect_fast && !scaled ? 1 : 0) + (round % 4 != 3))
        << "round " << round;
    ASSERT_EQ(fast.dev.ScaledQuads(), scaled ? 1 : 0) << "round " << round;
    ASSERT_EQ(general.dev.FastQuads() + general.dev.ScaledQuads(), 0);
    ASSERT_EQ(std::memcmp(fast.dev.Frame(), general.dev.Frame(), 800 * 600 * 4), 0)
        << "round " << round << " format " << format;
    ASSERT_EQ(std::memcmp(fast.dev.Depth(), general.dev.Depth(), 800 * 600 * 4), 0);
  }
}

// A picture cut into 16 × 16 blocks and squeezed about an axis, as a card turns: every block a
// scaled quad 16 texels wide drawn 16 × scale pixels wide at a sub-pixel left edge, some under a
// pixel, some with the diagonal through pixel centres. Strips and their triangles drawn as a list
// must leave the same frame and depth, with and without a depth test, mirrored or not.
TEST(SpriteTexture, SqueezedBlocksMatchTheirTriangles) {
  std::mt19937 rng(5);
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  const float scales[] = {0.03f, 0.5f, 0.77f, 0.9375f, 1.0f / 3, 0.0625f, 0.61f, 0.999f};
  const Blend factors[][2] = {{Blend::SrcAlpha, Blend::InvSrcAlpha},
                              {Blend::Zero, Blend::InvSrcAlpha},
                              {Blend::SrcAlpha, Blend::One}};
  std::vector<uint32_t> texels(256 * 256);
  for (uint32_t& t : texels) t = rng();
  // Whole cells opaque or transparent besides the random ones.
  for (int i = 0; i < 256 * 256; ++i) {
    const int cell = (i / 256 / 16) * 16 + i % 256 / 16;
    if (cell % 3 == 0) texels[i] |= 0xFF000000u;
    if (cell % 7 == 0) texels[i] &= 0x00FFFFFFu;
  }
  for (int round = 0; round < 16; ++round) {
    Canvas fast, general;
    CTexture ta, tb;
    for (auto [c, t] : {std::pair{&fast, &ta}, std::pair{&general, &tb}}) {
      c->dev.Clear(0, round % 3 == 0 ? 0.5f : 1.0f);
      FillTexture(*t, c->dev, 256, 256, gfx::D3DFMT_A8R8G8B8,
                  [&](int x, int y) { return texels[y * 256 + x]; });
      c->dev.SetTexture(t->Interface());
      c->dev.SetZEnable(round % 4 != 1);
      c->dev.SetBlendFactors(factors[round % 3][0], factors[round % 3][1]);
    }
    for (int i = 0; i < 800 * 600; ++i) fast.dev.MutableFrame()[i] = rng() | 0xFF000000u;
    std::memcpy(general.dev.MutableFrame(), fast.dev.Frame(), 800 * 600 * 4);
    // Every third round puts the corners on sixteenths of a pixel and the tops on pixel centres,
    // so the blocks' corners fall on pixel centres now and then.
    const bool on_centres = round % 3 == 2;
    float scale = round < 8 ? scales[round] : (1 + pick(4096)) / 4096.0f;
    if (on_centres) scale = (1 + pick(16)) / 16.0f;
    const float axis = 200 + pick(400) + (on_centres ? 0 : pick(256) / 256.0f);
    const float shift = on_centres ? 0.0f : 0.5f;
    const bool mirrored = round % 5 == 4;  // the turn's far side shows the picture flipped
    const uint32_t color = round % 2 ? 0xFFFFFFFFu : 0x80FFFFFFu | (rng() & 0x00FFFFFFu);
    const float z = round % 2 ? 0.25f : 0.75f;
    const float x0 = 100 + pick(100), y0 = pick(40);
    for (int r = 0; r < 16; ++r) {
      for (int c = 0; c < 16; ++c) {
        const float left = axis + (x0 + c * 16 - axis) * scale - shift, w = 16 * scale;
        const float top = y0 + r * 16 - shift, h = r == 15 ? 8.0f : 16.0f;
        const float u0 = c / 16.0f, u1 = (c + 1) / 16.0f;
        const float v0 = r / 16.0f, v1 = (r * 16 + h) / 256.0f;
        gfx::TLVertex v[4];
        for (int i = 0; i < 4; ++i) {
          v[i].x = left + (i & 1) * w;
          v[i].y = top + (i >> 1) * h;
          v[i].z = z;
          v[i].diffuse = color;
          v[i].u = (i & 1) != mirrored ? u1 : u0;
          v[i].v = i >> 1 ? v1 : v0;
        }
        fast.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, v);
        const gfx::TLVertex list[6] = {v[0], v[1], v[2], v[1], v[2], v[3]};
        general.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleList, 2, list);
      }
    }
    // The blocks a pixel or more wide go the scaled way.
    if (scale >= 0.0625f) {
      EXPECT_GT(fast.dev.ScaledQuads(), 16) << "round " << round;
    }
    ASSERT_EQ(std::memcmp(fast.dev.Frame(), general.dev.Frame(), 800 * 600 * 4), 0)
        << "round " << round << " scale " << scale;
    ASSERT_EQ(std::memcmp(fast.dev.Depth(), general.dev.Depth(), 800 * 600 * 4), 0)
        << "round " << round << " scale " << scale;
  }
}

// Squeezed blocks of a picture (the card turn): a block that can read only transparent texels is
// not drawn at all where the depth under it stays as it is, which must leave what drawing it
// leaves. Cells at the texture's edges, whose rounding wraps to the other side, and blocks over
// depth they would still change are among them.
TEST(SpriteTexture, SqueezedTransparentBlocksLeaveWhatTheirTrianglesLeave) {
  std::mt19937 rng(5);
  constexpr int kSide = 128;  // 8 × 8 cells
  // Columns of cells 0–2 and 7 transparent (their colours still random), the rest opaque, and
  // cell (7, 0) opaque too, so blocks of column 0 wrap onto transparent texels or onto it.
  auto clear_cell = [](int cx, int cy) { return (cx <= 2 || cx == 7) && !(cx == 7 && cy == 0); };
  std::vector<uint32_t> texels(kSide * kSide);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      texels[y * kSide + x] = clear_cell(x / 16, y / 16) ? rng() & 0xFFFFFFu : rng() | 0xFF000000u;
  int skipped = 0;
  for (int round = 0; round < 24; ++round) {
    Canvas fast, general;
    CTexture ta, tb;
    const bool settled = round % 3 != 0;  // the depth already holds the blocks' own
    for (auto [c, t] : {std::pair{&fast, &ta}, std::pair{&general, &tb}}) {
      for (int i = 0; i < 800 * 600; ++i)
        c->dev.MutableFrame()[i] = 0xFF000000u | (i * 2654435761u >> 8);
      FillTexture(*t, c->dev, kSide, kSide, gfx::D3DFMT_A8R8G8B8,
                  [&](int x, int y) { return texels[y * kSide + x]; });
      if (settled) c->dev.ClearDepth(0.9f);
      c->dev.SetTexture(t->Interface());
    }
    const float scale = 0.05f + static_cast<float>(rng() % 96) / 100.0f;
    const float left = 100.0f + static_cast<float>(rng() % 256) / 64.0f;
    for (int cell = 0; cell < 64; ++cell) {
      const int cx = cell % 8, cy = cell / 8;
      gfx::TLVertex v[4];
      for (int i = 0; i < 4; ++i) {
        v[i].x = left + (cx * 16 + (i & 1) * 16) * scale - 0.5f;
        v[i].y = 40.0f + cy * 16 + (i >> 1) * 16 - 0.5f;
        v[i].z = 0.9f;
        v[i].diffuse = 0xFFFFFFFFu;
        v[i].u = static_cast<float>(cx * 16 + (i & 1) * 16) / kSide;
        v[i].v = static_cast<float>(cy * 16 + (i >> 1) * 16) / kSide;
      }
      const int before = fast.dev.ScaledQuads();
      fast.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, v);
      skipped += fast.dev.ScaledQuads() == before;
      const gfx::TLVertex list[6] = {v[0], v[1], v[2], v[1], v[2], v[3]};
      general.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleList, 2, list);
    }
    ASSERT_EQ(std::memcmp(fast.dev.Frame(), general.dev.Frame(), 800 * 600 * 4), 0) << round;
    ASSERT_EQ(std::memcmp(fast.dev.Depth(), general.dev.Depth(), 800 * 600 * 4), 0) << round;
  }
  EXPECT_GT(skipped, 0);  // the rounds over settled depth drop blocks unset-up
}

// A strip's two triangles are walked down the target together; what they leave must be what
// the same two triangles leave drawn one after the other (a list): squeezed and perspective
// quads, quads whose halves overlap (bow ties), halves at different or varying depths, colour per
// corner, and depth written or not.
TEST(SpriteTexture, StripQuadMatchesItsTrianglesInTurn) {
  std::mt19937 rng(11);
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  auto real = [&](float lo, float hi) {
    return lo + (hi - lo) * static_cast<float>(rng() % 10000) / 10000.0f;
  };
  const uint32_t formats[] = {0, gfx::D3DFMT_A8R8G8B8, gfx::D3DFMT_A4R4G4B4, gfx::D3DFMT_R5G6B5};
  enum Shape { kSqueezed, kPerspective, kBowTie, kTwoDepths, kVaryingDepth, kShape };
  for (int round = 0; round < 60; ++round) {
    const Shape shape = static_cast<Shape>(round % kShape);
    Canvas strip, list;
    const bool write = round % 3 != 0;
    for (Canvas* c : {&strip, &list}) {
      c->dev.Clear(0, round % 4 == 0 ? 0.5f : 1.0f);
      c->dev.SetZWriteEnable(write);
      c->dev.SetZEnable(round % 7 != 6);
    }
    for (int i = 0; i < 800 * 600; ++i) strip.dev.MutableFrame()[i] = rng() | 0xFF000000u;
    std::memcpy(list.dev.MutableFrame(), strip.dev.Frame(), 800 * 600 * 4);
    const uint32_t format = formats[pick(4)];
    // Sizes that wrap by mask and sizes that wrap by remainder.
    const int tw = round % 4 < 2 ? 32 : 24, th = round % 8 < 4 ? 64 : 40;
    CTexture ta, tb;
    std::vector<uint32_t> texels(tw * th);
    for (uint32_t& t : texels) t = rng();
    for (auto [c, t] : {std::pair{&strip, &ta}, std::pair{&list, &tb}}) {
      if (format)
        FillTexture(*t, c->dev, tw, th, format, [&](int x, int y) { return texels[y * tw + x]; });
      c->dev.SetTexture(format ? t->Interface() : nullptr);
    }
    // Corners top-left, top-right, bottom-left, bottom-right around (x, y), off the tile grid.
    const float x = real(-20, 780), y = real(-20, 580), w = real(1, 70), h = real(1, 70);
    const float z = round % 2 ? 0.25f : 0.75f;
    const float ou = real(-1, 1), ov = real(-1, 1), su = real(0.5f, 2), sv = real(0.5f, 2);
    gfx::TLVertex v[4];
    for (int i = 0; i < 4; ++i) {
      v[i].x = x + (i & 1) * w;
      v[i].y = y + (i >> 1) * h;
      v[i].z = z;
      v[i].diffuse = pick(3) == 0 ? rng() : 0xFFFFFFFFu;
      v[i].u = ou + (i & 1) * su;
      v[i].v = ov + (i >> 1) * sv;
    }
    if (pick(2) == 0)
      for (gfx::TLVertex& c : v) c.diffuse = v[0].diffuse;
    switch (shape) {
      case kSqueezed: break;
      case kPerspective:
        v[1].rhw = v[3].rhw = real(0.2f, 0.9f);
        v[1].y -= real(0, 10), v[3].y += real(0, 10);
        break;
      case kBowTie: std::swap(v[0].x, v[1].x); break;
      case kTwoDepths: v[3].z = 0.5f; break;
      case kVaryingDepth: v[1].z = v[3].z = 0.1f; break;
      case kShape: break;
    }
    strip.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, v);
    const gfx::TLVertex triangles[6] = {v[0], v[1], v[2], v[1], v[2], v[3]};
    list.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleList, 2, triangles);
    ASSERT_EQ(std::memcmp(strip.dev.Frame(), list.dev.Frame(), 800 * 600 * 4), 0)
        << "round " << round << " format " << format;
    ASSERT_EQ(std::memcmp(strip.dev.Depth(), list.dev.Depth(), 800 * 600 * 4), 0)
        << "round " << round;
  }
}

// A sprite's copies drawn together (the text outline) leave what the same sprite drawn at each
// offset in turn leaves: overlapping copies, copies apart (which leave holes and are drawn one by
// one), copies cut by the target's edges, every blend mode, over tiles of other depths, after a
// clear still waiting to be filled.
TEST(SpriteTexture, CopiesMatchTheSpriteDrawnAtEachOffset) {
  std::mt19937 rng(17);
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  const uint32_t formats[] = {gfx::D3DFMT_A4R4G4B4, gfx::D3DFMT_A8R8G8B8, gfx::D3DFMT_X8R8G8B8, 0};
  const gfx::SpriteOffset outline[4] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
  const gfx::SpriteOffset apart[2] = {{0, 0}, {40, 3}};
  const gfx::SpriteOffset stacked[3] = {{0, 0}, {2, 0}, {0, 0}};
  struct Offsets {
    const gfx::SpriteOffset* at;
    size_t n;
  } sets[] = {{outline, 4}, {apart, 2}, {stacked, 3}};
  for (int round = 0; round < 48; ++round) {
    Canvas together(0xFF203040u), apart_canvas(0xFF203040u);
    const uint32_t format = formats[round % 4];
    CTexture ta, tb;
    std::vector<uint32_t> texels(64 * 64);
    // Mostly transparent with some ink, as a glyph sheet is.
    for (uint32_t& t : texels) t = pick(3) == 0 ? rng() : 0;
    CSprite sa, sb;
    for (auto [c, t, s] : {std::tuple{&together, &ta, &sa}, std::tuple{&apart_canvas, &tb, &sb}}) {
      c->dev.SetWidePixels(round / 4 % 2 == 0);
      if (format) {
        FillTexture(*t, c->dev, 64, 64, format, [&](int x, int y) { return texels[y * 64 + x]; });
        s->Init(0, 0, 32, 32, 0.25f, 0.5f, 0.75f, 1.0f, t);
      } else {
        s->Init(0, 0, 32, 32);
      }
    }
    // Some rounds first put a quad of another depth under part of the copies.
    const float x = static_cast<float>(round % 3 == 0 ? 790 - pick(8) : 1 + pick(700));
    const float y = static_cast<float>(round % 5 == 0 ? -3 : 1 + pick(500));
    const bool under = round % 2 == 1;
    const uint32_t color = round % 3 == 1 ? 0x80C0A0E0u : 0xFFFFFFFFu;
    for (auto [c, s] : {std::pair{&together, &sa}, std::pair{&apart_canvas, &sb}}) {
      if (under) {
        c->dev.SetSpriteDepth(0.3f);
        CSprite block;
        block.Init(0, 0, 0, 0);
        block.SetColor(0x00FF00);
        block.Draw(c->dev, x + 5, y + 7, 13, 9);
      }
      c->dev.SetSpriteDepth(0.6f);
      s->SetBlendMode(round % 3);
      s->SetColor(color & 0xFFFFFF);
      s->SetAlpha(static_cast<int>(color >> 24));
    }
    const Offsets& set = sets[round / 2 % 3];
    const std::span<const gfx::SpriteOffset> at(set.at, set.n);
    ASSERT_EQ(sa.DrawCopies(together.dev, at, x, y, 32, 32), static_cast<int>(set.n));
    for (const gfx::SpriteOffset& o : at) sb.Draw(apart_canvas.dev, x + o.dx, y + o.dy, 32, 32);
    ASSERT_EQ(std::memcmp(together.dev.Frame(), apart_canvas.dev.Frame(), 800 * 600 * 4), 0)
        << "round " << round;
    ASSERT_EQ(std::memcmp(together.dev.Depth(), apart_canvas.dev.Depth(), 800 * 600 * 4), 0)
        << "round " << round;
    for (int i = 0; i < 4; ++i) ASSERT_EQ(sa.Vertices()[i].x, sb.Vertices()[i].x) << round;
  }
}

// The clear is filled in only where no opaque draw covers a tile first: whatever a frame draws
// over an old frame's pixels, the result is the one a filled clear gives.
TEST(SpriteTexture, DeferredClearLeavesWhatAFilledClearLeaves) {
  std::mt19937 rng(13);
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  const uint32_t formats[] = {gfx::D3DFMT_A8R8G8B8, gfx::D3DFMT_X8R8G8B8, gfx::D3DFMT_A4R4G4B4, 0};
  for (int round = 0; round < 48; ++round) {
    // Every format, blending and texel kind, with a white and an other colour.
    const int blending = round / 8 % 3;  // by alpha, off, additive
    Canvas deferred, filled;
    for (Canvas* c : {&deferred, &filled})
      for (int i = 0; i < 800 * 600; ++i) c->dev.MutableFrame()[i] = 0xFF000000u | (i * 2654435761u);
    const uint32_t format = formats[round / 2 % 4];
    // Opaque texels, or some transparent ones among them.
    const bool holes = round % 2;
    std::vector<uint32_t> texels(256 * 256);
    for (uint32_t& t : texels) t = rng() | 0xFF000000u;
    if (holes) {
      for (int k = 0; k < 256; ++k) texels[pick(256 * 256)] &= 0x00FFFFFFu;
      // and a transparent corner, which only some draws read
      for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) texels[y * 256 + x] &= 0x00FFFFFFu;
    }
    CTexture ta, tb;
    const uint32_t clear = rng();
    const float depth = round % 5 == 4 ? 0.5f : 1.0f;  // some rounds draw behind the clear depth
    for (auto [c, t] : {std::pair{&deferred, &ta}, std::pair{&filled, &tb}}) {
      if (format)
        FillTexture(*t, c->dev, 256, 256, format,
                    [&](int x, int y) { return texels[y * 256 + x]; });
      c->dev.SetTexture(format ? t->Interface() : nullptr);
      c->dev.SetAlphaBlendEnable(blending != 1);
      c->dev.Clear(clear, depth);
    }
    filled.dev.MutableFrame();  // fills the whole clear at once
    const uint32_t color = round < 24 ? 0xFFFFFFFFu : rng();
    for (int k = 0; k < 6; ++k) {
      const int w = 1 + pick(200), h = 1 + pick(200), x = pick(700) - 50, y = pick(500) - 50;
      const int u = pick(256 - std::min(w, 255)), v = pick(256 - std::min(h, 255));
      // Every other textured sprite is drawn scaled: its texels stretched or squeezed.
      const bool scaled = format && k % 2 == 1;
      const int draw_w = scaled ? 1 + pick(400) : std::min(w, 256 - u);
      const int draw_h = scaled ? 1 + pick(300) : std::min(h, 256 - v);
      for (Canvas* c : {&deferred, &filled}) {
        CSprite s;
        if (format)
          s.Init(0, 0, 0, 0, u / 256.0f, v / 256.0f, std::min(u + w, 256) / 256.0f,
                 std::min(v + h, 256) / 256.0f, format ? (c == &deferred ? &ta : &tb) : nullptr);
        else
          s.Init(0, 0, 0, 0);
        s.SetColor(color);
        s.SetAlpha(color >> 24);
        s.SetBlendMode(blending == 2 ? 2 : 0);
        s.Draw(c->dev, x, y, format ? draw_w : w, format ? draw_h : h);
      }
    }
    ASSERT_EQ(std::memcmp(deferred.dev.Frame(), filled.dev.Frame(), 800 * 600 * 4), 0)
        << "round " << round;
    if (format) {
      ASSERT_GT(deferred.dev.ScaledQuads(), 0);
    }
  }
}

// CSprite::Draw hands blocks on whole pixels to the device by their own values; the result must
// be what the general path draws from the sprite's vertices, on screen, half off it, with and
// without a texture and in every mode, and a block off whole pixels must still draw the same.
TEST(SpriteTexture, AlignedSpriteMatchesItsVertices) {
  std::mt19937 rng(11);
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  for (int round = 0; round < 60; ++round) {
    Canvas sprite, general;
    for (int i = 0; i < 800 * 600; ++i) sprite.dev.MutableFrame()[i] = rng() | 0xFF000000u;
    std::memcpy(general.dev.MutableFrame(), sprite.dev.Frame(), 800 * 600 * 4);
    const bool textured = round % 4 != 3;
    CTexture ta, tb;
    std::vector<uint32_t> texels(64 * 64);
    for (uint32_t& t : texels) t = rng();
    if (textured) {
      FillTexture(ta, sprite.dev, 64, 64, gfx::D3DFMT_A8R8G8B8,
                  [&](int x, int y) { return texels[y * 64 + x]; });
      FillTexture(tb, general.dev, 64, 64, gfx::D3DFMT_A8R8G8B8,
                  [&](int x, int y) { return texels[y * 64 + x]; });
    }
    const int w = 1 + pick(40), h = 1 + pick(40), tx = pick(65 - w), ty = pick(65 - h);
    // Some blocks hang over the target's edges; the last rounds sit off whole pixels.
    const bool aligned = round < 50;
    const float x = pick(840) - 20 + (aligned ? 0.0f : 0.5f), y = pick(640) - 20;
    CSprite s;
    if (textured)
      s.Init(0, 0, 0, 0, tx / 64.0f, ty / 64.0f, (tx + w) / 64.0f, (ty + h) / 64.0f, &ta);
    else
      s.Init(0, 0, 0, 0);
    s.SetBlendMode(round % 3);
    s.SetColor(round % 5 == 0 ? 0xFFFFFF : rng());
    s.SetAlpha(round % 7 == 0 ? 255 : pick(256));
    s.Draw(sprite.dev, x, y, w, h);
    if (aligned) {
      EXPECT_EQ(sprite.dev.FastQuads(), 1) << "round " << round;
    }

    const auto& v = s.Vertices();
    const gfx::TLVertex list[6] = {v[0], v[1], v[2], v[1], v[3], v[2]};
    const Blend modes[3][2] = {{Blend::SrcAlpha, Blend::InvSrcAlpha},
                               {Blend::Zero, Blend::InvSrcAlpha},
                               {Blend::SrcAlpha, Blend::One}};
    general.dev.SetBlendFactors(modes[round % 3][0], modes[round % 3][1]);
    general.dev.SetTexture(textured ? tb.Interface() : nullptr);
    general.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleList, 2, list);
    ASSERT_EQ(std::memcmp(sprite.dev.Frame(), general.dev.Frame(), 800 * 600 * 4), 0)
        << "round " << round;
    ASSERT_EQ(std::memcmp(sprite.dev.Depth(), general.dev.Depth(), 800 * 600 * 4), 0);
  }
}

TEST(SpriteGeometry, RotatedQuarterTurnPutsTopLeftAtTopRight) {
  Canvas cv;
  CSprite s;
  s.Init(0, 0, 40, 20);
  const float x = 100, y = 50, w = 40, h = 20;
  s.DrawRotated(cv.dev, x, y, w, h, 90);
  const float cx = x - 0.5f + w / 2, cy = y - 0.5f + h / 2;
  const auto& v = s.Vertices();
  struct Want {
    float x, y;
  } want[4] = {{cx + h / 2, cy - w / 2},
               {cx + h / 2, cy + w / 2},
               {cx - h / 2, cy - w / 2},
               {cx - h / 2, cy + w / 2}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(v[i].x, want[i].x, 1e-3) << i;
    EXPECT_NEAR(v[i].y, want[i].y, 1e-3) << i;
    EXPECT_EQ(v[i].specular, 0u);
  }
  // The turned quad covers 20 × 40 pixels around the same centre.
  int covered = 0;
  for (int py = 0; py < 120; ++py)
    for (int px = 80; px < 140; ++px) covered += cv.At(px, py) == 0xFFFFFFFFu;
  EXPECT_EQ(covered, 800);
  // Centre (119.5, 59.5): pixels 110–129 across, 40–79 down.
  EXPECT_EQ(cv.At(110, 40), 0xFFFFFFFFu);
  EXPECT_EQ(cv.At(129, 79), 0xFFFFFFFFu);
  EXPECT_EQ(cv.At(109, 40), 0xFF000000u);
  EXPECT_EQ(cv.At(130, 79), 0xFF000000u);
}

TEST(SpriteGeometry, GouraudAlphaAcrossCorners) {
  // A black 16 × 16 quad over white: each pixel shows 255 − its interpolated alpha.
  struct Case {
    int tl, tr, bl, br;
    double (*alpha)(int x, int y);  // exact value at the pixel centre
  } cases[] = {
      {0, 255, 0, 255, [](int x, int) { return 255 * (x + 0.5) / 16; }},
      {0, 0, 255, 255, [](int, int y) { return 255 * (y + 0.5) / 16; }},
      // One raised corner: the strip's second triangle (top-right, bottom-left, bottom-right)
      // carries the ramp, the first stays 0.
      {0, 0, 0, 255, [](int x, int y) { return std::max(0.0, 255 * (x + y + 1 - 16) / 16.0); }},
  };
  for (const Case& c : cases) {
    Canvas cv(0xFFFFFF);
    CSprite s;
    s.Init(0, 0, 16, 16);
    s.SetColor(0);
    s.SetVertexAlpha(CSprite::kTopLeft, c.tl);
    s.SetVertexAlpha(CSprite::kTopRight, c.tr);
    s.SetVertexAlpha(CSprite::kBottomLeft, c.bl);
    s.SetVertexAlpha(CSprite::kBottomRight, c.br);
    s.Draw(cv.dev, 0, 0, 16, 16);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        double exact = c.alpha(x, y);
        if (std::fabs(exact - std::floor(exact) - 0.5) < 0.01) continue;  // a rounding tie
        uint32_t a = static_cast<uint32_t>(std::lround(exact));
        ASSERT_EQ(cv.At(x, y), 0xFF000000u | (255 - a) * 0x010101u)
            << c.tl << c.tr << c.bl << c.br << " at " << x << "," << y;
      }
  }
}

TEST(SpriteGeometry, SharedEdgesCoverEveryPixelOnce) {
  // Additive quads of value 1: each pixel's value counts how often it was drawn.
  struct Quad {
    float p[8];
  };
  struct Case {
    const char* name;
    std::vector<Quad> quads;
    float rect[4];  // the union, as left, top, right, bottom (centres inside are drawn once)
  } cases[] = {
      {"vertical edge",
       {{{10.3f, 5.2f, 30.6f, 5.2f, 10.3f, 40.9f, 30.6f, 40.9f}},
        {{30.6f, 5.2f, 50.7f, 5.2f, 30.6f, 40.9f, 50.7f, 40.9f}}},
       {10.3f, 5.2f, 50.7f, 40.9f}},
      // Every edge through pixel centres (DrawQuad's half-pixel shift puts x.5 on a centre).
      {"edges on centres",
       {{{10.5f, 5.5f, 50.5f, 5.5f, 10.5f, 20.5f, 50.5f, 20.5f}},
        {{10.5f, 20.5f, 30.5f, 20.5f, 10.5f, 41.5f, 30.5f, 41.5f}},
        {{30.5f, 20.5f, 50.5f, 20.5f, 30.5f, 41.5f, 50.5f, 41.5f}}},
       {10.5f, 5.5f, 50.5f, 41.5f}},
      {"slanted edge",
       {{{10.3f, 5.2f, 30.1f, 5.2f, 10.3f, 40.9f, 22.6f, 40.9f}},
        {{30.1f, 5.2f, 50.7f, 5.2f, 22.6f, 40.9f, 50.7f, 40.9f}}},
       {10.3f, 5.2f, 50.7f, 40.9f}},
  };
  for (const Case& c : cases) {
    Canvas cv;
    CSprite s;
    s.Init(0, 0, 1, 1);
    s.SetBlendMode(2);
    s.SetColor(0x010101);
    for (const Quad& q : c.quads)
      s.DrawQuad(cv.dev, q.p[0], q.p[1], q.p[2], q.p[3], q.p[4], q.p[5], q.p[6], q.p[7]);
    // DrawQuad shifts by half a pixel: pixel (x, y) is inside when left ≤ x + 0.5 < right.
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 70; ++x) {
        bool in = c.rect[0] <= x + 0.5f && x + 0.5f < c.rect[2] && c.rect[1] <= y + 0.5f &&
                  y + 0.5f < c.rect[3];
        ASSERT_EQ(cv.At(x, y), in ? 0xFF010101u : 0xFF000000u) << c.name << " " << x << "," << y;
      }
  }
  // A turned quad: its two triangles share the diagonal; no pixel twice, none inside missed.
  Canvas cv;
  CSprite s;
  s.Init(0, 0, 1, 1);
  s.SetBlendMode(2);
  s.SetColor(0x010101);
  s.DrawRotated(cv.dev, 200, 200, 60, 30, 30);
  const auto& v = s.Vertices();
  const int ring[4] = {0, 1, 3, 2};
  for (int y = 160; y < 270; ++y)
    for (int x = 160; x < 290; ++x) {
      double inside = 1e9;
      for (int k = 0; k < 4; ++k) {
        const auto &a = v[ring[k]], &b = v[ring[(k + 1) % 4]];
        double cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
        inside = std::min(inside, cross / std::hypot(b.x - a.x, b.y - a.y));
      }
      uint32_t got = cv.At(x, y);
      ASSERT_LE(got, 0xFF010101u);
      if (inside > 1e-3) {
        ASSERT_EQ(got, 0xFF010101u) << x << "," << y;
      } else if (inside < -1e-3) {
        ASSERT_EQ(got, 0xFF000000u) << x << "," << y;
      }
    }
}

TEST(SpriteGeometry, FarAndInvalidCornersAreClipped) {
  const float nan = std::nanf("");
  struct Case {
    float p[8];
    int covered;  // pixels drawn
  } cases[] = {
      {{-1e6f, -1e6f, 1e6f, -1e6f, -1e6f, 1e6f, 1e6f, 1e6f}, 800 * 600},  // around the screen
      {{-1e6f, -1e6f, 1e6f, -1e6f, -1e6f, 1e6f, 1e6f, 1.0001e6f}, 800 * 600},  // general path
      {{20000, 20000, 20100, 20000, 20000, 20100, 20100, 20100}, 0},
      {{nan, 0, 10, 0, 0, 10, 10, 10}, -1},  // what survives of the half with a NaN corner
      {{nan, nan, nan, nan, nan, nan, nan, nan}, 0},
  };
  for (const Case& c : cases) {
    Canvas cv;
    CSprite s;
    s.Init(0, 0, 1, 1);
    s.DrawQuad(cv.dev, c.p[0], c.p[1], c.p[2], c.p[3], c.p[4], c.p[5], c.p[6], c.p[7]);
    int covered = 0;
    for (int i = 0; i < 800 * 600; ++i) covered += cv.dev.Frame()[i] == 0xFFFFFFFFu;
    if (c.covered >= 0)
      EXPECT_EQ(covered, c.covered) << c.p[0];
    else
      EXPECT_LE(covered, 100);
  }
  // A triangle reaching behind the camera keeps only its part in front.
  Canvas cv;
  cv.dev.SetLighting(false);
  cv.dev.SetTransform(gfx::TransformType::Projection,
                      gfx::D3DXMatrixPerspectiveFovRH(1.0472f, 4.0f / 3, 1, 1000));
  const gfx::LitVertex tri[3] = {{-1, -1, -5}, {1, -1, -5}, {0, -1, 5}};
  cv.dev.SetStreamSource(tri);
  cv.dev.DrawPrimitive(gfx::PrimitiveType::TriangleList, 0, 1);
  int covered = 0;
  for (int i = 0; i < 800 * 600; ++i) covered += cv.dev.Frame()[i] == 0xFFFFFFFFu;
  EXPECT_GT(covered, 0);
  EXPECT_EQ(cv.At(400, 100), 0xFF000000u);  // nothing above the horizon of a floor below the eye
}

TEST(SpriteSetters, AlphaClamping) {
  CSprite s;
  s.Init(0, 0, 1, 1);
  struct Case {
    int set;
    int want;
  } sets[] = {{-5, 0}, {300, 255}, {0, 0}, {255, 255}, {77, 77}};
  for (const Case& c : sets) {
    s.SetAlpha(c.set);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(s.Alpha(k), c.want) << c.set;
  }
  struct AddCase {
    std::array<int, 4> before;
    int delta;
    std::array<int, 4> after;
  } adds[] = {
      {{10, 100, 200, 255}, -20, {0, 80, 180, 235}},
      {{10, 100, 200, 255}, 60, {70, 160, 255, 255}},
      {{0, 0, 0, 0}, -1, {0, 0, 0, 0}},
  };
  for (const AddCase& c : adds) {
    for (int k = 0; k < 4; ++k) s.SetVertexAlpha(k, c.before[k]);
    EXPECT_EQ(s.AddAlpha(c.delta), c.after[0]);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(s.Alpha(k), c.after[k]) << k;
  }
  s.SetVertexAlpha(2, 999);
  EXPECT_EQ(s.Alpha(2), 255);
  s.SetVertexAlpha(4, 10);  // no such corner: ignored
  s.SetVertexAlpha(-1, 10);
  EXPECT_EQ(s.Alpha(0), 0);
  s.SetColor(0xAB123456);
  EXPECT_EQ(s.Color(3), 0x123456u);
}

TEST(SpriteBinding, RedundantBindsAreSkipped) {
  Canvas cv;
  CTexture a, b;
  FillTexture(a, cv.dev, 16, 16, gfx::D3DFMT_A8R8G8B8, [](int, int) { return 0xFFFFFFFFu; });
  FillTexture(b, cv.dev, 16, 16, gfx::D3DFMT_A8R8G8B8, [](int, int) { return 0xFFFFFFFFu; });
  CSprite sa, sb, plain;
  sa.Init(0, 0, 16, 16, 0, 0, 1, 1, &a);
  sb.Init(0, 0, 16, 16, 0, 0, 1, 1, &b);
  plain.Init(0, 0, 16, 16);
  struct Case {
    std::vector<CSprite*> order;
    int binds;
  } cases[] = {
      {{&sa, &sa}, 1},
      {{&sa, &plain, &sa}, 3},  // the untextured sprite unbinds, so the next one binds again
      {{&sa, &sb, &sa}, 3},
      {{&plain, &plain}, 2},
  };
  for (const Case& c : cases) {
    cv.dev.SetTexture(nullptr);
    int before = cv.dev.TextureBinds();
    for (CSprite* s : c.order) s->Draw(cv.dev, 0, 0, 16, 16);
    EXPECT_EQ(cv.dev.TextureBinds() - before, c.binds);
  }
  // Other code binding its own texture is noticed.
  sa.Draw(cv.dev, 0, 0, 16, 16);
  cv.dev.SetTexture(b.Interface());
  int before = cv.dev.TextureBinds();
  sa.Draw(cv.dev, 0, 0, 16, 16);
  EXPECT_EQ(cv.dev.TextureBinds(), before + 1);
  // A texture released while bound is no longer bound.
  a.Release();
  EXPECT_EQ(cv.dev.Texture(), nullptr);
}

TEST(SpriteDraw, StoredDeviceAndSpriteDepth) {
  Canvas cv;
  CSprite s;
  s.Init(5, 6, 2, 2);
  EXPECT_EQ(s.Draw(), 0);  // no stored device yet
  s.SetDevice(&cv.dev);
  s.SetPosition(20, 30);
  EXPECT_EQ(s.Draw(), 1);
  EXPECT_EQ(cv.At(21, 31), 0xFFFFFFFFu);
  EXPECT_EQ(cv.At(5, 6), 0xFF000000u);
  EXPECT_FLOAT_EQ(s.Vertices()[0].z, 0.9f);
  cv.dev.SetSpriteDepth(0.0f);
  s.Draw();
  EXPECT_FLOAT_EQ(s.Vertices()[3].z, 0.0f);
  EXPECT_FLOAT_EQ(s.Vertices()[0].x, 19.5f);
}

// A 3D triangle at depth z3 and a sprite at depth zs; whichever is nearer shows (ties: the later).
TEST(Depth, TriangleAgainstSprite) {
  struct Case {
    float tri_z, sprite_z;
    bool sprite_first;
    uint32_t centre;
  } cases[] = {
      {0.5f, 0.9f, false, 0xFFFFFFFF},  // sprite behind the drawn triangle
      {0.5f, 0.9f, true, 0xFFFFFFFF},  // triangle in front of the drawn sprite
      {0.95f, 0.9f, true, 0xFFFF0000},  // triangle behind the sprite
      {0.5f, 0.0f, false, 0xFFFF0000},  // the overlay depth
      {0.9f, 0.9f, false, 0xFFFF0000},  // less-or-equal
  };
  for (const Case& c : cases) {
    Canvas cv;
    cv.dev.SetLighting(false);
    // Identity transforms: positions are clip coordinates; screen x = (x + 1) × 400.
    const gfx::LitVertex tri[3] = {
        {-0.5f, 0.5f, c.tri_z}, {0.5f, 0.5f, c.tri_z}, {0.0f, -0.5f, c.tri_z}};
    cv.dev.SetStreamSource(tri);
    CSprite red;
    red.Init(0, 0, 800, 600);
    red.SetColor(0xFF0000);
    cv.dev.SetSpriteDepth(c.sprite_z);
    auto sprite = [&] { red.Draw(cv.dev, 0, 0, 800, 600); };
    auto triangle = [&] {
      cv.dev.SetTexture(nullptr);
      cv.dev.DrawPrimitive(gfx::PrimitiveType::TriangleList, 0, 1);
    };
    if (c.sprite_first) {
      sprite();
      triangle();
    } else {
      triangle();
      sprite();
    }
    EXPECT_EQ(cv.At(400, 300), c.centre) << c.tri_z << " " << c.sprite_z;
    EXPECT_EQ(cv.At(10, 10), 0xFFFF0000u);
  }
}

// Rectangles at a few depths, on and off the 16 × 16 tiles, overlapping, with depth writes on and
// off, through the fast path and the triangle path, among quads of varying depth: every pixel and
// depth is what a plain per-pixel depth buffer gives.
TEST(Depth, TilesMatchAPerPixelModel) {
  std::mt19937 rng(5);
  auto pick = [&](int n) { return static_cast<int>(rng() % n); };
  const float depths[] = {0.25f, 0.5f, 0.75f, 0.9f, 1.0f};
  constexpr int kSide = 100;  // everything happens in the top-left corner, over a few tiles
  for (int round = 0; round < 12; ++round) {
    gfx::Device dev(800, 600);
    dev.SetAlphaBlendEnable(false);
    dev.Clear(0, 1.0f);
    std::vector<uint32_t> frame(800 * 600, 0xFF000000u);
    std::vector<float> depth(800 * 600, 1.0f);
    for (int k = 0; k < 120; ++k) {
      const int w = 1 + pick(40), h = 1 + pick(40), x = pick(kSide) - 8, y = pick(kSide) - 8;
      const float z = depths[pick(5)];
      const bool write = pick(6) != 0;
      const uint32_t color = 0xFF000000u | static_cast<uint32_t>(rng() & 0xFFFFFF);
      dev.SetZWriteEnable(write);
      if (k % 40 == 39) {
        dev.Depth();  // resolving must not change what the tiles hold
        continue;
      }
      if (k % 20 == 9) {
        // A quad whose depth varies across it: what it leaves is taken as the model's.
        gfx::TLVertex v[4];
        for (int i = 0; i < 4; ++i) {
          v[i].x = x - 0.5f + (i & 1) * w;
          v[i].y = y - 0.5f + (i >> 1) * h;
          v[i].z = (i & 1) ? 0.1f : 0.95f;
          v[i].diffuse = color;
        }
        dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, v);
        std::memcpy(frame.data(), dev.Frame(), frame.size() * 4);
        std::memcpy(depth.data(), dev.Depth(), depth.size() * 4);
        continue;
      }
      if (pick(2)) {
        dev.SetSpriteDepth(z);
        CSprite s;
        s.Init(0, 0, 0, 0);
        s.SetColor(color);
        s.Draw(dev, static_cast<float>(x), static_cast<float>(y), static_cast<float>(w),
               static_cast<float>(h));
      } else {
        gfx::TLVertex v[4];
        for (int i = 0; i < 4; ++i) {
          v[i].x = x - 0.5f + (i & 1) * w;
          v[i].y = y - 0.5f + (i >> 1) * h;
          v[i].z = z;
          v[i].diffuse = color;
        }
        const gfx::TLVertex list[6] = {v[0], v[1], v[2], v[1], v[3], v[2]};
        dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleList, 2, list);
      }
      for (int py = std::max(y, 0); py < y + h; ++py)
        for (int px = std::max(x, 0); px < x + w; ++px) {
          const size_t i = static_cast<size_t>(py) * 800 + px;
          if (!(z <= depth[i])) continue;
          frame[i] = color;
          if (write) depth[i] = z;
        }
    }
    ASSERT_EQ(std::memcmp(dev.Frame(), frame.data(), frame.size() * 4), 0) << "round " << round;
    ASSERT_EQ(std::memcmp(dev.Depth(), depth.data(), depth.size() * 4), 0) << "round " << round;
  }
}

TEST(Transformed, LightingAndMaterial) {
  // Light shining along +z; material diffuse (0.4, 0.2, 1), emissive 0.2.
  struct Case {
    gfx::Vec3 normal;
    uint32_t want;
  } cases[] = {
      {{0, 0, -1}, 0xFF000000 | 153 << 16 | 102 << 8 | 255},  // facing the light
      {{0, 0, 1}, 0xFF333333},  // facing away: emissive only
  };
  for (const Case& c : cases) {
    Canvas cv;
    cv.dev.SetAlphaBlendEnable(false);
    cv.dev.SetLighting(true);
    cv.dev.SetAmbient(0xFFFFFFFF);
    gfx::Light l;
    l.diffuse = {1, 1, 1, 1};
    l.direction = {0, 0, 1};
    cv.dev.SetLight(0, l);
    cv.dev.LightEnable(0, true);
    gfx::Material m;
    m.diffuse = {0.4f, 0.2f, 1.0f, 1};
    m.emissive = {0.2f, 0.2f, 0.2f, 1};
    cv.dev.SetMaterial(m);
    gfx::LitVertex tri[3];
    float pos[3][2] = {{-0.5f, 0.5f}, {0.5f, 0.5f}, {0, -0.5f}};
    for (int i = 0; i < 3; ++i)
      tri[i] = {pos[i][0], pos[i][1], 0.5f, c.normal.x, c.normal.y, c.normal.z, 0, 0};
    cv.dev.SetStreamSource(tri);
    cv.dev.DrawPrimitive(gfx::PrimitiveType::TriangleList, 0, 1);
    EXPECT_EQ(cv.At(400, 300), c.want);
  }
}

TEST(Transformed, TextureFollowsPerspective) {
  // A quad whose right edge is four times as far (1/w = 0.25) as its left edge.
  Canvas cv;
  cv.dev.SetAlphaBlendEnable(false);
  CTexture tex;
  FillTexture(tex, cv.dev, 64, 1, gfx::D3DFMT_A8R8G8B8, [](int x, int) { return 0xFF000000u | x; });
  cv.dev.SetTexture(tex.Interface());
  gfx::TLVertex v[4];
  for (int i = 0; i < 4; ++i) {
    bool right = i & 1;
    v[i].x = right ? 63.5f : -0.5f;
    v[i].y = (i >> 1) ? 3.5f : -0.5f;
    v[i].rhw = right ? 0.25f : 1.0f;
    v[i].u = right ? 1.0f : 0.0f;
    v[i].v = 0.5f;
  }
  cv.dev.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, v);
  int checked = 0;
  for (int x = 0; x < 64; ++x) {
    double s = (x + 0.5) / 64;
    double u = s * 0.25 / ((1 - s) + s * 0.25) * 64;
    if (std::fabs(u - std::round(u)) < 1e-3) continue;
    ASSERT_EQ(cv.At(x, 1) & 0xFF, static_cast<uint32_t>(std::floor(u))) << x;
    ++checked;
  }
  EXPECT_GT(checked, 60);
  EXPECT_LT(cv.At(32, 1) & 0xFF, 16u);  // far from the affine middle (32)
}

TEST(Matrices, ProjectionsAndViews) {
  using namespace gfx;
  Matrix view = D3DXMatrixLookAtRH({0, 0, -300}, {0, 0, 0}, {0, 1, 0});
  Vec4 origin = TransformPoint({0, 0, 0}, view);
  EXPECT_NEAR(origin.z, -300, 1e-3);  // right-handed: in front is −z
  Vec4 right = TransformPoint({10, 0, 0}, view);
  EXPECT_NEAR(right.x, -10, 1e-3);  // looking towards +z from −z, +x appears on the left
  Matrix lh = D3DXMatrixLookAtLH({0, 0, -300}, {0, 0, 0}, {0, 1, 0});
  EXPECT_NEAR(TransformPoint({0, 0, 0}, lh).z, 300, 1e-3);
  EXPECT_NEAR(TransformPoint({10, 0, 0}, lh).x, 10, 1e-3);

  Matrix persp = D3DXMatrixPerspectiveFovRH(1.0472f, 4.0f / 3, 1, 1000);
  struct Depth {
    float z_view, ndc;
  } depths[] = {{-1, 0}, {-1000, 1}};
  for (const Depth& d : depths) {
    Vec4 p = TransformPoint({0, 0, d.z_view}, persp);
    EXPECT_NEAR(p.z / p.w, d.ndc, 1e-5);
    EXPECT_NEAR(p.w, -d.z_view, 1e-4);
  }
  Vec4 edge = TransformPoint({0, std::tan(0.5236f), -1}, persp);  // the top of the 60° view
  EXPECT_NEAR(edge.y / edge.w, 1, 1e-3);

  Matrix ortho = D3DXMatrixOrthoRH(40, 30, -10, 300);
  Vec4 a = TransformPoint({20, 15, 10}, ortho);  // z_view = 10 is the near plane (−(−10))
  EXPECT_NEAR(a.x, 1, 1e-6);
  EXPECT_NEAR(a.y, 1, 1e-6);
  EXPECT_NEAR(a.z, 0, 1e-6);
  EXPECT_NEAR(TransformPoint({0, 0, -300}, ortho).z, 1, 1e-6);

  Vec4 r = TransformPoint({0, 0, 1}, D3DXMatrixRotationY(1.5707963f));
  EXPECT_NEAR(r.x, 1, 1e-6);
  EXPECT_NEAR(r.z, 0, 1e-6);
  // World = rotation, then translation.
  Matrix world =
      D3DXMatrixMultiply(D3DXMatrixRotationY(1.5707963f), D3DXMatrixTranslation(5, 0, 0));
  Vec4 w = TransformPoint({0, 0, 1}, world);
  EXPECT_NEAR(w.x, 6, 1e-5);
}

// What a texture tells of its texels' alpha, cell by cell and inside a cell, against the texels
// themselves: one texel that shows (alpha 1) at a few places of a transparent 48 × 32 texture,
// and rectangles around it.
TEST(Texture, TransparentRectanglesAroundATexelThatShows) {
  gfx::Device dev(800, 600);
  const int points[][2] = {{0, 0}, {15, 15}, {16, 0}, {21, 7}, {47, 31}, {33, 18}};
  std::mt19937 rng(3);
  for (const auto& p : points) {
    CTexture t;
    FillTexture(t, dev, 48, 32, gfx::D3DFMT_A8R8G8B8, [&](int x, int y) {
      return x == p[0] && y == p[1] ? 0x01FFFFFFu : rng() & 0xFFFFFFu;
    });
    const gfx::DeviceTexture& d = *t.Interface();
    for (int k = 0; k < 400; ++k) {
      const int x0 = static_cast<int>(rng() % 48), y0 = static_cast<int>(rng() % 32);
      const int x1 = x0 + 1 + static_cast<int>(rng() % (48 - x0));
      const int y1 = y0 + 1 + static_cast<int>(rng() % (32 - y0));
      const bool shows = p[0] >= x0 && p[0] < x1 && p[1] >= y0 && p[1] < y1;
      ASSERT_EQ(d.Transparent(x0, y0, x1, y1), !shows)
          << p[0] << "," << p[1] << " in " << x0 << "," << y0 << "–" << x1 << "," << y1;
      ASSERT_FALSE(d.Opaque(x0, y0, x1, y1));
    }
  }
}

TEST(Texture, CreateUploadAndErrors) {
  gfx::Device dev(800, 600);
  platform::HeadlessMessageBoxes boxes;
  dev.SetMessageBoxes(&boxes);
  struct Case {
    uint32_t format;
    int bpp;
  } formats[] = {{gfx::D3DFMT_A8R8G8B8, 4}, {gfx::D3DFMT_X8R8G8B8, 4}, {gfx::D3DFMT_R5G6B5, 2},
                 {gfx::D3DFMT_A1R5G5B5, 2}, {gfx::D3DFMT_A4R4G4B4, 2}, {gfx::D3DFMT_A8P8, 2},
                 {gfx::D3DFMT_P8, 1}};
  for (const Case& c : formats) {
    CTexture t;
    ASSERT_TRUE(t.Create(dev, 256, 256, c.format));
    EXPECT_TRUE(t.Ready());
    EXPECT_EQ(t.BytesPerPixel(), c.bpp);
    EXPECT_EQ(t.Interface()->Pitch(), 256 * c.bpp);
  }
  EXPECT_TRUE(boxes.shown.empty());

  struct Bad {
    int w, h;
    uint32_t format;
  } bad[] = {{256, 256, 99},
             {256, 256, gfx::D3DFMT_X1R5G5B5},
             {0, 256, gfx::D3DFMT_A8R8G8B8},
             {256, -1, gfx::D3DFMT_A8R8G8B8}};
  for (const Bad& b : bad) {
    CTexture t;
    boxes.shown.clear();
    EXPECT_FALSE(t.Create(dev, b.w, b.h, b.format));
    EXPECT_FALSE(t.Ready());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].caption, SJ("読み込めるフォーマットではない"));
    EXPECT_EQ(boxes.shown[0].text, "");
    uint8_t px[4] = {};
    EXPECT_EQ(t.Upload(px), -1);
    EXPECT_EQ(t.UploadRect(px, 0, 0, 1, 1), -1);
  }

  // UploadRect copies tight rows into place; a rectangle reaching outside changes nothing.
  CTexture t;
  ASSERT_TRUE(t.Create(dev, 8, 4, gfx::D3DFMT_A4R4G4B4));
  const uint16_t src[6] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(t.UploadRect(src, 5, 2, 3, 2), 0);
  const uint16_t* texels = reinterpret_cast<const uint16_t*>(t.Interface()->Bits());
  EXPECT_EQ(texels[2 * 8 + 5], 1);
  EXPECT_EQ(texels[2 * 8 + 7], 3);
  EXPECT_EQ(texels[3 * 8 + 6], 5);
  EXPECT_EQ(texels[2 * 8 + 4], 0);
  struct Rect {
    int x, y, w, h;
  } outside[] = {{6, 2, 3, 2}, {5, 3, 3, 2}, {-1, 0, 1, 1}, {0, 0, -2, 1}};
  for (const Rect& r : outside) EXPECT_EQ(t.UploadRect(src, r.x, r.y, r.w, r.h), -1);
  EXPECT_EQ(texels[3 * 8 + 7], 6);
  t.Release();
  EXPECT_FALSE(t.Ready());
  EXPECT_EQ(t.Upload(src), -1);
}

TEST(DirectLine, PhaseSelectsThePattern) {
  gfx::Device dev(800, 600);
  CDirectLine line;
  ASSERT_TRUE(line.Create(3.0f, 0.5f, dev));
  const gfx::LinePoint pts[2] = {{10, 10}, {60, 10}};
  struct Step {
    int elapsed, phase, index;
  } steps[] = {
      {350, 350, 7},  // exactly 350 stays and selects the last entry
      {1, 1, 0},  // beyond 350 wraps
      {49, 50, 1},   {299, 349, 6}, {1, 350, 7}, {1000, 300, 6}, {-40, 300, 6}, {0, 300, 6},
  };
  for (const Step& s : steps) {
    line.Draw(dev, pts, 2, 0xFFFFFFFF, s.elapsed);
    EXPECT_EQ(line.Phase(), s.phase) << s.elapsed;
    EXPECT_EQ(line.PatternIndex(), s.index) << s.elapsed;
  }
  line.Release();
  line.Draw(dev, pts, 2, 0xFFFFFFFF, 10);  // released: nothing happens
  EXPECT_EQ(line.Phase(), 300);
}

TEST(DirectLine, DashesAreThreePixelsWide) {
  Canvas cv;
  CDirectLine line;
  line.Create(3.0f, 0.5f, cv.dev);
  const gfx::LinePoint pts[2] = {{10, 10}, {74, 10}};
  line.Draw(cv.dev, pts, 2, 0xFFFFFFFF, 0);  // pattern 0x0FFFF000: on from 6 px to 14 px of 16
  for (int x = 10; x < 74; ++x) {
    int s = (x - 10) % 16;
    uint32_t want = s >= 6 && s < 14 ? 0xFFFFFFFFu : 0xFF000000u;
    for (int y = 9; y <= 11; ++y) ASSERT_EQ(cv.At(x, y), want) << x << "," << y;
    ASSERT_EQ(cv.At(x, 8), 0xFF000000u);
    ASSERT_EQ(cv.At(x, 12), 0xFF000000u);
  }
}

// The graphics object's device side on a headless window.
class CountingClient final : public DeviceClient {
 public:
  void ReleaseDeviceResources() override { ++released; }
  void RestoreDeviceResources() override { ++restored; }
  void SetDeviceReady(bool r) override { ready_changes.push_back(r); }
  int released = 0, restored = 0;
  std::vector<bool> ready_changes;
};

TEST(Graphics, DeviceLifecycle) {
  platform::HeadlessWindow window;
  platform::HeadlessMessageBoxes boxes;
  CountingClient client;
  CGraphics g;
  EXPECT_EQ(g.CaptureSurface(), nullptr);
  ASSERT_TRUE(g.InitDevice(window, boxes, client, true));
  EXPECT_TRUE(g.Ready());
  EXPECT_TRUE(g.Windowed());
  EXPECT_EQ(client.restored, 1);
  ASSERT_NE(g.CaptureSurface(), nullptr);
  EXPECT_TRUE(g.Line().Created());
  const gfx::RenderStates& st = g.Device().States();
  EXPECT_TRUE(st.alpha_blend);
  EXPECT_EQ(st.src_blend, Blend::SrcAlpha);
  EXPECT_EQ(st.dest_blend, Blend::InvSrcAlpha);
  EXPECT_FALSE(st.lighting);
  EXPECT_EQ(st.ambient, 0xFFFFFFFFu);
  EXPECT_TRUE(g.Device().LightEnabled(0));
  EXPECT_FALSE(g.Device().LightEnabled(1));
  EXPECT_FLOAT_EQ(g.Device().GetLight(0).direction.x, 1);

  // The capture is a copy of the render target.
  g.Clear(0x123456, 1.0f);
  ASSERT_TRUE(g.CaptureFrame());
  int pitch = 0;
  const uint32_t* cap = g.CaptureSurface()->Lock(&pitch);
  EXPECT_EQ(pitch, 800 * 4);
  EXPECT_EQ(cap[599 * 800 + 799], 0xFF123456u);
  g.CaptureSurface()->Unlock();

  // Full screen and back: states and resources come back, light 0 takes its switched values.
  ASSERT_TRUE(g.ToggleScreenMode());
  EXPECT_FALSE(g.Windowed());
  EXPECT_TRUE(window.Fullscreen());
  EXPECT_EQ(client.released, 1);
  EXPECT_EQ(client.restored, 2);
  EXPECT_EQ(client.ready_changes, (std::vector<bool>{false, true}));
  EXPECT_FLOAT_EQ(g.Device().GetLight(0).direction.x, -1);
  EXPECT_FLOAT_EQ(g.Device().GetLight(0).ambient.b, 0.8f);
  EXPECT_NEAR(gfx::TransformPoint({0, 0, 0}, g.Device().Transform(gfx::TransformType::View)).z, 300,
              1e-3);
  ASSERT_TRUE(g.ToggleScreenMode());
  EXPECT_TRUE(g.Windowed());
  EXPECT_FALSE(window.Fullscreen());

  // A lost device: resources go at once and come back with the reset.
  window.LoseDevice(1);
  EXPECT_EQ(g.Present(), platform::PresentResult::DeviceLost);
  EXPECT_FALSE(g.RecoverLostDevice());
  EXPECT_TRUE(g.DeviceLost());
  EXPECT_EQ(g.CaptureSurface(), nullptr);
  EXPECT_FALSE(g.CaptureFrame());
  EXPECT_FALSE(g.Line().Created());
  int released = client.released;
  EXPECT_EQ(g.Present(), platform::PresentResult::DeviceLost);
  EXPECT_TRUE(g.RecoverLostDevice());
  EXPECT_EQ(client.released, released);  // released once for the whole loss
  EXPECT_FALSE(g.DeviceLost());
  EXPECT_NE(g.CaptureSurface(), nullptr);
  EXPECT_TRUE(g.Line().Created());

  // Released once only.
  int before = client.released;
  g.ReleaseDevice();
  g.ReleaseDevice();
  EXPECT_EQ(client.released, before + 1);
  EXPECT_FALSE(g.Ready());
  EXPECT_FALSE(g.ToggleScreenMode());
}

}  // namespace
