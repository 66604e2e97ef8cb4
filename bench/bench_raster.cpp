// The rasteriser on the game's heaviest drawing, against two peers drawing the same rectangles
// with the same operators in the same run: pixman compositing, and SDL2's software renderer
// through SDL_RenderGeometry on an 800 × 600 surface. The Narrow rows are the rasteriser with
// its four-pixel loops only, as on a processor without AVX2.
//   a  a full background: 1900 opaque 16 × 16 blocks
//   b  three character buffers: 3 × 1216 alpha-blended blocks
//   c  a full-screen fade sprite
//   d  the heaviest story frame: two backgrounds and three characters cross-fading (six buffers),
//      a text box of 90 outlined glyphs (five draws each) and a full wipe mask of 1900
//      gradient-cornered blocks
//   e  (a) shifted by 3 pixels right and down, off the 16 × 16 depth tiles, as a quake frame draws
//   f  (b) with the background and the characters shifted the same way
// and the movie: a 640 × 480 picture in its 1024 × 512 texture drawn scaled over the whole target
// and into the movie room's 528 × 396 frame, by the scaled-rectangle path and by the general
// triangle path, against pixman's nearest-neighbour scaled copy of the same picture.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "graphics/device.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

namespace {

constexpr int kW = 800, kH = 600;

// One block: where it is drawn, which sheet and cell it reads, its colour and corner alphas.
struct Block {
  int x, y, w, h;
  int sheet, sx, sy;
  uint32_t rgb = 0xFFFFFF;
  int alpha[4] = {255, 255, 255, 255};
};

// Pictures as 256 × 256 ARGB sheets of 16 × 16 cells, the way the layers pack them.
struct Sheets {
  std::vector<std::vector<uint32_t>> argb;
};

uint32_t CharacterTexel(int x, int y, std::mt19937& rng) {
  // An upright ellipse with a soft rim: transparent around it, opaque inside.
  double dx = (x - 256) / 200.0, dy = (y - 330) / 280.0;
  double r = std::sqrt(dx * dx + dy * dy);
  uint32_t a = r < 0.95 ? 255 : r > 1.0 ? 0 : static_cast<uint32_t>((1.0 - r) / 0.05 * 255);
  return a << 24 | static_cast<uint32_t>(rng() & 0xFFFFFF);
}

// Cuts a picture of w × h (columns × rows of 16) into sheets, returning its blocks placed at
// (ox, oy).
std::vector<Block> CutPicture(Sheets& sheets, int w, int h, int ox, int oy,
                              uint32_t (*texel)(int, int, std::mt19937&), std::mt19937& rng) {
  std::vector<Block> blocks;
  int cols = w / 16, rows = (h + 15) / 16;
  int first = static_cast<int>(sheets.argb.size());
  for (int b = 0; b < cols * rows; ++b) {
    int sheet = first + b / 256, cell = b % 256;
    if (sheet >= static_cast<int>(sheets.argb.size())) sheets.argb.emplace_back(256 * 256, 0);
    int col = b % cols, row = b / cols;
    int bh = std::min(16, h - row * 16);
    int sx = (cell % 16) * 16, sy = (cell / 16) * 16;
    for (int y = 0; y < bh; ++y)
      for (int x = 0; x < 16; ++x)
        sheets.argb[sheet][(sy + y) * 256 + sx + x] = texel(col * 16 + x, row * 16 + y, rng);
    blocks.push_back({ox + col * 16, oy + row * 16, 16, bh, sheet, sx, sy});
  }
  return blocks;
}

struct Workload {
  Sheets sheets;  // ARGB sheets
  std::vector<std::vector<uint16_t>> glyph_sheets;  // A4R4G4B4
  struct Pass {
    std::vector<Block> blocks;
    bool glyphs = false;  // blocks read the glyph sheets
    bool untextured = false;
  };
  std::vector<Pass> passes;
};

uint32_t BackgroundTexel(int, int, std::mt19937& rng) {
  return 0xFF000000u | static_cast<uint32_t>(rng() & 0xFFFFFF);
}

std::vector<Block> Background(Sheets& s, std::mt19937& rng) {
  return CutPicture(s, 800, 600, 0, 0, BackgroundTexel, rng);
}
std::vector<Block> Character(Sheets& s, int x, std::mt19937& rng) {
  return CutPicture(s, 512, 600, x, 0, CharacterTexel, rng);
}
void SetAlpha(std::vector<Block>& blocks, int a) {
  for (Block& b : blocks) std::fill(std::begin(b.alpha), std::end(b.alpha), a);
}

Workload MakeWorkload(char kind) {
  Workload w;
  std::mt19937 rng(1);
  switch (kind) {
    case 'a': w.passes.push_back({Background(w.sheets, rng)}); break;
    case 'b':
      w.passes.push_back({Background(w.sheets, rng)});  // drawn first, not timed
      for (int x : {0, 144, 288}) w.passes.push_back({Character(w.sheets, x, rng)});
      break;
    case 'c': {
      w.passes.push_back({Background(w.sheets, rng)});
      Block fade{0, 0, kW, kH, 0, 0, 0, 0x000000};
      std::fill(std::begin(fade.alpha), std::end(fade.alpha), 128);
      Workload::Pass p;
      p.blocks = {fade};
      p.untextured = true;
      w.passes.push_back(p);
      break;
    }
    case 'd': {
      auto bg0 = Background(w.sheets, rng), bg1 = Background(w.sheets, rng);
      SetAlpha(bg1, 128);
      w.passes.push_back({bg0});
      w.passes.push_back({bg1});
      for (int x : {0, 144, 288}) {
        auto out = Character(w.sheets, x, rng), in = Character(w.sheets, x, rng);
        SetAlpha(out, 160);
        SetAlpha(in, 96);
        w.passes.push_back({out});
        w.passes.push_back({in});
      }
      // 90 glyph cells in two sheets; each glyph drawn four times offset in black, then in white.
      w.glyph_sheets.assign(2, std::vector<uint16_t>(256 * 256));
      for (auto& sheet : w.glyph_sheets)
        for (int y = 0; y < 256; ++y)
          for (int x = 0; x < 256; ++x) {
            int cx = x % 32 - 16, cy = y % 32 - 16;
            int r2 = cx * cx + cy * cy;
            uint16_t level = r2 > 36 && r2 < 144 ? 15 : (r2 >= 144 && r2 < 170 ? 6 : 0);
            sheet[y * 256 + x] = static_cast<uint16_t>(level << 12 | 0x0FFF);
          }
      Workload::Pass text;
      text.glyphs = true;
      const int offsets[5][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {0, 0}};
      for (int g = 0; g < 90; ++g) {
        int gx = 40 + (g % 30) * 24, gy = 470 + (g / 30) * 36;
        for (int k = 0; k < 5; ++k) {
          Block b{gx + offsets[k][0], gy + offsets[k][1], 32, 32, g / 64,
                  (g % 8) * 32,       ((g % 64) / 8) * 32};
          b.rgb = k < 4 ? 0x000000 : 0xFFFFFF;
          text.blocks.push_back(b);
        }
      }
      w.passes.push_back(text);
      // The wipe mask: corner alphas from a diagonal ramp, mid-transition.
      Workload::Pass mask;
      mask.untextured = true;
      auto value = [](int r, int c) { return std::clamp(10 * (r + c) - 300, 0, 255); };
      for (int r = 0; r < 38; ++r)
        for (int c = 0; c < 50; ++c) {
          Block b{c * 16, r * 16, 16, 16, 0, 0, 0, 0x000000};
          b.alpha[0] = value(r, c);
          b.alpha[1] = value(r, c + 1);
          b.alpha[2] = value(r + 1, c);
          b.alpha[3] = value(r + 1, c + 1);
          mask.blocks.push_back(b);
        }
      w.passes.push_back(mask);
      break;
    }
  }
  return w;
}

// The shifted workloads: an aligned one with every block moved by 3 pixels on both axes.
Workload MakeShiftedWorkload(char kind) {
  Workload w = MakeWorkload(kind == 'e' ? 'a' : 'b');
  for (Workload::Pass& p : w.passes)
    for (Block& b : p.blocks) b.x += 3, b.y += 3;
  return w;
}

Workload MakeAnyWorkload(char kind) {
  return kind == 'e' || kind == 'f' ? MakeShiftedWorkload(kind) : MakeWorkload(kind);
}

// The passes a workload times: everything but the background laid under (b), (c) and (f).
int FirstTimedPass(char kind) {
  return kind == 'b' || kind == 'c' || kind == 'f' ? 1 : 0;
}

// --- lanthorn -------------------------------------------------------------------------------

struct LanthornScene {
  gfx::Device dev{kW, kH};
  std::vector<std::unique_ptr<CTexture>> sheets, glyphs;
  std::vector<std::vector<CSprite>> sprites;
  const Workload& w;

  explicit LanthornScene(const Workload& work) : w(work) {
    dev.SetAlphaBlendEnable(true);
    dev.SetBlendFactors(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha);
    for (const auto& s : w.sheets.argb) {
      sheets.push_back(std::make_unique<CTexture>());
      sheets.back()->Create(dev, 256, 256, gfx::D3DFMT_A8R8G8B8);
      sheets.back()->Upload(s.data());
    }
    for (const auto& s : w.glyph_sheets) {
      glyphs.push_back(std::make_unique<CTexture>());
      glyphs.back()->Create(dev, 256, 256, gfx::D3DFMT_A4R4G4B4);
      glyphs.back()->Upload(s.data());
    }
    for (const auto& pass : w.passes) {
      sprites.emplace_back();
      for (const Block& b : pass.blocks) {
        CSprite s;
        if (pass.untextured) {
          s.Init(b.x, b.y, b.w, b.h);
        } else {
          CTexture* t = (pass.glyphs ? glyphs : sheets)[b.sheet].get();
          s.Init(b.x, b.y, b.w, b.h, b.sx / 256.0f, b.sy / 256.0f, (b.sx + b.w) / 256.0f,
                 (b.sy + b.h) / 256.0f, t);
        }
        s.SetColor(b.rgb);
        for (int k = 0; k < 4; ++k) s.SetVertexAlpha(k, b.alpha[k]);
        s.SetDevice(&dev);
        sprites.back().push_back(s);
      }
    }
  }
  void DrawPass(size_t i) {
    for (CSprite& s : sprites[i]) s.Draw();
  }
};

void BM_Lanthorn(benchmark::State& state, char kind, bool wide = true) {
  Workload w = MakeAnyWorkload(kind);
  LanthornScene scene(w);
  scene.dev.SetWidePixels(wide);
  const int first = FirstTimedPass(kind);
  for (auto _ : state) {
    state.PauseTiming();
    scene.dev.ClearDepth(1.0f);
    for (int i = 0; i < first; ++i) scene.DrawPass(i);
    state.ResumeTiming();
    for (size_t i = first; i < w.passes.size(); ++i) scene.DrawPass(i);
    benchmark::DoNotOptimize(scene.dev.Frame()[12345]);
  }
  state.counters["fast_quads"] =
      scene.dev.FastQuads() / static_cast<double>(state.iterations() + 1);
}
// The same with the four-pixel loops only, as on a processor without AVX2.
void BM_LanthornNarrow(benchmark::State& state, char kind) {
  BM_Lanthorn(state, kind, false);
}

// --- pixman ---------------------------------------------------------------------------------

struct PixmanImage {
  pixman_image_t* p = nullptr;
  ~PixmanImage() {
    if (p) pixman_image_unref(p);
  }
};

void BM_Pixman(benchmark::State& state, char kind) {
  Workload w = MakeAnyWorkload(kind);
  std::vector<uint32_t> frame(kW * kH, 0xFF000000u);
  PixmanImage dst{pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, frame.data(), kW * 4)};
  std::vector<std::vector<uint32_t>> premul = w.sheets.argb;  // pixman blends premultiplied
  std::vector<std::unique_ptr<PixmanImage>> sheets, glyphs;
  for (auto& s : premul) {
    for (uint32_t& t : s) {
      uint32_t a = t >> 24;
      auto m = [a](uint32_t c) { return (c * a + 127) / 255; };
      t = a << 24 | m((t >> 16) & 0xFF) << 16 | m((t >> 8) & 0xFF) << 8 | m(t & 0xFF);
    }
    sheets.push_back(std::make_unique<PixmanImage>());
    sheets.back()->p = pixman_image_create_bits(PIXMAN_a8r8g8b8, 256, 256, s.data(), 256 * 4);
  }
  std::vector<std::vector<uint16_t>> glyph_bits = w.glyph_sheets;
  for (auto& s : glyph_bits) {
    glyphs.push_back(std::make_unique<PixmanImage>());
    glyphs.back()->p = pixman_image_create_bits(PIXMAN_a4r4g4b4, 256, 256,
                                                reinterpret_cast<uint32_t*>(s.data()), 256 * 2);
  }
  // Per-block extras made once: solid masks for constant alpha, solid colours, gradients for the
  // wipe mask's corners.
  std::vector<std::vector<std::unique_ptr<PixmanImage>>> masks(w.passes.size()),
      srcs(w.passes.size());
  for (size_t i = 0; i < w.passes.size(); ++i) {
    const auto& pass = w.passes[i];
    for (const Block& b : pass.blocks) {
      auto mask = std::make_unique<PixmanImage>();
      auto src = std::make_unique<PixmanImage>();
      bool gradient =
          b.alpha[0] != b.alpha[1] || b.alpha[0] != b.alpha[2] || b.alpha[0] != b.alpha[3];
      if (gradient) {
        pixman_gradient_stop_t stops[2] = {
            {0, {0, 0, 0, static_cast<uint16_t>(b.alpha[0] * 257)}},
            {pixman_int_to_fixed(1), {0, 0, 0, static_cast<uint16_t>(b.alpha[3] * 257)}}};
        pixman_point_fixed_t p1{pixman_int_to_fixed(b.x), pixman_int_to_fixed(b.y)};
        pixman_point_fixed_t p2{pixman_int_to_fixed(b.x + 16), pixman_int_to_fixed(b.y + 16)};
        src->p = pixman_image_create_linear_gradient(&p1, &p2, stops, 2);
      } else if (pass.untextured || pass.glyphs) {
        pixman_color_t c{static_cast<uint16_t>(((b.rgb >> 16) & 0xFF) * b.alpha[0]),
                         static_cast<uint16_t>(((b.rgb >> 8) & 0xFF) * b.alpha[0]),
                         static_cast<uint16_t>((b.rgb & 0xFF) * b.alpha[0]),
                         static_cast<uint16_t>(b.alpha[0] * 257)};
        src->p = pixman_image_create_solid_fill(&c);
      } else if (b.alpha[0] != 255) {
        pixman_color_t c{0, 0, 0, static_cast<uint16_t>(b.alpha[0] * 257)};
        mask->p = pixman_image_create_solid_fill(&c);
      }
      masks[i].push_back(std::move(mask));
      srcs[i].push_back(std::move(src));
    }
  }
  auto draw = [&](size_t i) {
    const auto& pass = w.passes[i];
    for (size_t k = 0; k < pass.blocks.size(); ++k) {
      const Block& b = pass.blocks[k];
      if (pass.untextured) {
        pixman_image_composite32(PIXMAN_OP_OVER, srcs[i][k]->p, nullptr, dst.p, b.x, b.y, 0, 0, b.x,
                                 b.y, b.w, b.h);
      } else if (pass.glyphs) {  // colour through the glyph's alpha
        pixman_image_composite32(PIXMAN_OP_OVER, srcs[i][k]->p, glyphs[b.sheet]->p, dst.p, 0, 0,
                                 b.sx, b.sy, b.x, b.y, b.w, b.h);
      } else {
        pixman_image_composite32(PIXMAN_OP_OVER, sheets[b.sheet]->p, masks[i][k]->p, dst.p, b.sx,
                                 b.sy, 0, 0, b.x, b.y, b.w, b.h);
      }
    }
  };
  const int first = FirstTimedPass(kind);
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < first; ++i) draw(i);
    state.ResumeTiming();
    for (size_t i = first; i < w.passes.size(); ++i) draw(i);
    benchmark::DoNotOptimize(frame[12345]);
  }
}

// --- SDL2 software renderer ---------------------------------------------------------------

void BM_Sdl(benchmark::State& state, char kind) {
  Workload w = MakeAnyWorkload(kind);
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* r = surface ? SDL_CreateSoftwareRenderer(surface) : nullptr;
  if (!r) {
    state.SkipWithError("no SDL software renderer");
    return;
  }
  std::vector<SDL_Texture*> sheets, glyphs;
  for (const auto& s : w.sheets.argb) {
    SDL_Texture* t =
        SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, 256, 256);
    SDL_UpdateTexture(t, nullptr, s.data(), 256 * 4);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    sheets.push_back(t);
  }
  for (const auto& s : w.glyph_sheets) {
    SDL_Texture* t =
        SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB4444, SDL_TEXTUREACCESS_STATIC, 256, 256);
    SDL_UpdateTexture(t, nullptr, s.data(), 256 * 2);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    glyphs.push_back(t);
  }
  SDL_SetRenderDrawBlendMode(r, SDL_BLENDMODE_BLEND);
  const int indices[6] = {0, 1, 2, 1, 3, 2};
  auto draw = [&](size_t i) {
    const auto& pass = w.passes[i];
    for (const Block& b : pass.blocks) {
      SDL_Vertex v[4];
      for (int k = 0; k < 4; ++k) {
        float fx = static_cast<float>(k & 1), fy = static_cast<float>(k >> 1);
        v[k].position = {b.x + fx * b.w, b.y + fy * b.h};
        v[k].color = {static_cast<Uint8>(b.rgb >> 16), static_cast<Uint8>(b.rgb >> 8),
                      static_cast<Uint8>(b.rgb), static_cast<Uint8>(b.alpha[k])};
        v[k].tex_coord = {(b.sx + fx * b.w) / 256.0f, (b.sy + fy * b.h) / 256.0f};
      }
      SDL_Texture* t = pass.untextured ? nullptr : (pass.glyphs ? glyphs : sheets)[b.sheet];
      SDL_RenderGeometry(r, t, v, 4, indices, 6);
    }
    SDL_RenderFlush(r);
  };
  const int first = FirstTimedPass(kind);
  for (auto _ : state) {
    state.PauseTiming();
    for (int i = 0; i < first; ++i) draw(i);
    state.ResumeTiming();
    for (size_t i = first; i < w.passes.size(); ++i) draw(i);
    benchmark::DoNotOptimize(static_cast<uint32_t*>(surface->pixels)[12345]);
  }
  for (SDL_Texture* t : sheets) SDL_DestroyTexture(t);
  for (SDL_Texture* t : glyphs) SDL_DestroyTexture(t);
  SDL_DestroyRenderer(r);
  SDL_FreeSurface(surface);
}

// --- the movie quad ---------------------------------------------------------------------------

struct MovieFrame {
  float x, y, w, h;
};
constexpr MovieFrame kMovieFrames[] = {{0, 0, 800, 600}, {136, 70, 528, 396}};
constexpr int kMovieW = 640, kMovieH = 480, kMovieTexW = 1024, kMovieTexH = 512;

std::vector<uint32_t> MoviePicture() {
  std::mt19937 rng(3);
  std::vector<uint32_t> p(static_cast<size_t>(kMovieTexW) * kMovieTexH);
  for (uint32_t& t : p) t = rng() | 0xFF000000u;
  return p;
}

// The movie layer's quad: the picture stored bottom up, so the top takes its last row. `general`
// draws the same two triangles as a list, which only the general path takes.
void BM_MovieQuad(benchmark::State& state, int frame, bool general) {
  const MovieFrame f = kMovieFrames[frame];
  gfx::Device device(kW, kH);
  device.SetAlphaBlendEnable(true);
  device.SetBlendFactors(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha);
  CTexture tex;
  const std::vector<uint32_t> picture = MoviePicture();
  if (!tex.Create(device, kMovieTexW, kMovieTexH, gfx::D3DFMT_X8R8G8B8) ||
      tex.Upload(picture.data()) != 0) {
    state.SkipWithError("no texture");
    return;
  }
  const float u = static_cast<float>(kMovieW) / kMovieTexW,
              v = static_cast<float>(kMovieH) / kMovieTexH;
  gfx::TLVertex q[4];
  for (int i = 0; i < 4; ++i) {
    q[i].x = f.x - 0.5f + (i & 1) * f.w;
    q[i].y = f.y - 0.5f + (i >> 1) * f.h;
    q[i].z = device.SpriteDepth();
    q[i].diffuse = 0xFFFFFFFFu;
    q[i].u = (i & 1) * u;
    q[i].v = i >> 1 ? 0.0f : v;
  }
  const gfx::TLVertex list[6] = {q[0], q[1], q[2], q[1], q[2], q[3]};
  device.SetTexture(tex.Interface());
  // The draw alone, as pixman's: each one over the last.
  device.Clear(0xFF000000u, 1.0f);
  benchmark::DoNotOptimize(device.Frame()[0]);
  for (auto _ : state) {
    if (general)
      device.DrawPrimitiveUP(gfx::PrimitiveType::TriangleList, 2, list);
    else
      device.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, q);
    benchmark::DoNotOptimize(device.Frame()[12345]);
  }
  if (!general && device.ScaledQuads() == 0) state.SkipWithError("the quad was not drawn scaled");
}

void BM_MovieFast(benchmark::State& state, int frame) {
  BM_MovieQuad(state, frame, false);
}
void BM_MovieGeneral(benchmark::State& state, int frame) {
  BM_MovieQuad(state, frame, true);
}

// The peer: pixman copying the picture scaled to the frame, nearest texel, flipped upright.
void BM_MoviePixman(benchmark::State& state, int frame) {
  const MovieFrame f = kMovieFrames[frame];
  std::vector<uint32_t> target(static_cast<size_t>(kW) * kH, 0xFF000000u);
  std::vector<uint32_t> picture = MoviePicture();
  PixmanImage dst{pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, target.data(), kW * 4)};
  PixmanImage src{
      pixman_image_create_bits(PIXMAN_x8r8g8b8, kMovieW, kMovieH, picture.data(), kMovieTexW * 4)};
  // Destination (x, y) samples the picture at (x × sx, (h − y) × sy): flipped, as stored.
  pixman_transform_t t;
  pixman_transform_init_identity(&t);
  pixman_transform_scale(&t, nullptr, pixman_double_to_fixed(kMovieW / f.w),
                         pixman_double_to_fixed(-kMovieH / f.h));
  pixman_transform_translate(&t, nullptr, 0, pixman_int_to_fixed(kMovieH));
  pixman_image_set_transform(src.p, &t);
  pixman_image_set_filter(src.p, PIXMAN_FILTER_NEAREST, nullptr, 0);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_SRC, src.p, nullptr, dst.p, 0, 0, 0, 0,
                             static_cast<int>(f.x), static_cast<int>(f.y), static_cast<int>(f.w),
                             static_cast<int>(f.h));
    benchmark::DoNotOptimize(target[12345]);
  }
}

}  // namespace

BENCHMARK_CAPTURE(BM_Lanthorn, a_background, 'a')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LanthornNarrow, a_background, 'a')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Pixman, a_background, 'a')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Sdl, a_background, 'a')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Lanthorn, b_characters, 'b')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LanthornNarrow, b_characters, 'b')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Pixman, b_characters, 'b')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Sdl, b_characters, 'b')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Lanthorn, c_fade, 'c')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LanthornNarrow, c_fade, 'c')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Pixman, c_fade, 'c')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Sdl, c_fade, 'c')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Lanthorn, d_story_frame, 'd')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LanthornNarrow, d_story_frame, 'd')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Pixman, d_story_frame, 'd')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Sdl, d_story_frame, 'd')->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(BM_Lanthorn, e_shifted_background, 'e')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LanthornNarrow, e_shifted_background, 'e')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Pixman, e_shifted_background, 'e')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Lanthorn, f_shifted_characters, 'f')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_LanthornNarrow, f_shifted_characters, 'f')->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Pixman, f_shifted_characters, 'f')->Unit(benchmark::kMicrosecond);

BENCHMARK_CAPTURE(BM_MovieFast, g_movie_full_screen, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MovieGeneral, g_movie_full_screen, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MoviePixman, g_movie_full_screen, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MovieFast, h_movie_room_frame, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MovieGeneral, h_movie_room_frame, 1)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_MoviePixman, h_movie_room_frame, 1)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
