// democontent: generates the demo game's pictures from code, as plain files in the layout the
// packing step expects: OUTDIR/<archive>/<entry path> (OUTDIR/system/SYSTEM/systex1.png becomes
// the entry "SYSTEM\systex1.png" of system.pkd). The sounds (sounds.cpp) are loose files, under
// OUTDIR/files/SOUND/, copied next to the archives.
//
//   democontent OUTDIR
//
// Each picture is one recipe in kRecipes: where it goes, its size, whether it keeps alpha, and a
// paint function built from the few shape helpers below. The system textures put their art in
// the cells the screens cut from them, so a screenshot shows each button where it belongs.
// Exit codes: 0 success, 1 a file could not be written, 2 wrong usage.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include "resource/image.h"
#include "resource/png_encode.h"
#include "sounds.h"

namespace {

namespace stdfs = std::filesystem;

struct Rgba {
  double r, g, b, a;  // 0-255
};

Rgba Mix(Rgba p, Rgba q, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
          p.a + (q.a - p.a) * t};
}
Rgba Opaque(uint32_t rgb) {
  return {static_cast<double>(rgb >> 16 & 0xFF), static_cast<double>(rgb >> 8 & 0xFF),
          static_cast<double>(rgb & 0xFF), 255};
}
Rgba Lighter(Rgba c, double t) { return Mix(c, {255, 255, 255, c.a}, t); }
Rgba Darker(Rgba c, double t) { return Mix(c, {0, 0, 0, c.a}, t); }

using Inside = std::function<bool(double x, double y)>;
using Shade = std::function<Rgba(double x, double y)>;

// Paints shapes onto a CImage32 with straight-alpha "over" compositing. Edges are antialiased by
// 4 × 4 supersampling, so the art has soft alpha borders like hand-made interface pictures.
class Painter {
 public:
  explicit Painter(CImage32& image) : image_(image) {}
  int Width() const { return image_.Width(); }
  int Height() const { return image_.Height(); }

  // Every pixel of the box [x0, x1) × [y0, y1) whose area the shape covers.
  void Fill(double x0, double y0, double x1, double y1, const Inside& inside, const Shade& shade) {
    const int ix0 = std::max(0, static_cast<int>(std::floor(x0)));
    const int iy0 = std::max(0, static_cast<int>(std::floor(y0)));
    const int ix1 = std::min(Width(), static_cast<int>(std::ceil(x1)));
    const int iy1 = std::min(Height(), static_cast<int>(std::ceil(y1)));
    for (int y = iy0; y < iy1; ++y)
      for (int x = ix0; x < ix1; ++x) {
        int hits = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx)
            if (inside(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)) ++hits;
        if (hits == 0) continue;
        Rgba c = shade(x + 0.5, y + 0.5);
        c.a *= hits / 16.0;
        Blend(x, y, c);
      }
  }

  void Rect(double x0, double y0, double x1, double y1, const Shade& shade) {
    Fill(x0, y0, x1, y1, [&](double x, double y) { return x >= x0 && x < x1 && y >= y0 && y < y1; },
         shade);
  }
  void RoundRect(double x0, double y0, double x1, double y1, double radius, const Shade& shade) {
    Fill(x0, y0, x1, y1, [=](double x, double y) {
      const double cx = std::clamp(x, x0 + radius, x1 - radius);
      const double cy = std::clamp(y, y0 + radius, y1 - radius);
      return x >= x0 && x < x1 && y >= y0 && y < y1 &&
             (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
    }, shade);
  }
  void Disc(double cx, double cy, double radius, const Shade& shade) {
    Fill(cx - radius, cy - radius, cx + radius, cy + radius, [=](double x, double y) {
      return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
    }, shade);
  }
  void Ring(double cx, double cy, double outer, double inner, const Shade& shade) {
    Fill(cx - outer, cy - outer, cx + outer, cy + outer, [=](double x, double y) {
      const double d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      return d <= outer * outer && d >= inner * inner;
    }, shade);
  }
  // A stroke of the given width between two points, with round ends.
  void Line(double ax, double ay, double bx, double by, double width, const Shade& shade) {
    const double half = width / 2;
    Fill(std::min(ax, bx) - half, std::min(ay, by) - half, std::max(ax, bx) + half,
         std::max(ay, by) + half, [=](double x, double y) {
           const double dx = bx - ax, dy = by - ay;
           const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
           const double ex = x - (ax + t * dx), ey = y - (ay + t * dy);
           return ex * ex + ey * ey <= half * half;
         }, shade);
  }
  void Triangle(double ax, double ay, double bx, double by, double cx, double cy,
                const Shade& shade) {
    auto edge = [](double px, double py, double qx, double qy, double x, double y) {
      return (qx - px) * (y - py) - (qy - py) * (x - px);
    };
    Fill(std::min({ax, bx, cx}), std::min({ay, by, cy}), std::max({ax, bx, cx}),
         std::max({ay, by, cy}), [=](double x, double y) {
           const double e0 = edge(ax, ay, bx, by, x, y);
           const double e1 = edge(bx, by, cx, cy, x, y);
           const double e2 = edge(cx, cy, ax, ay, x, y);
           return (e0 >= 0 && e1 >= 0 && e2 >= 0) || (e0 <= 0 && e1 <= 0 && e2 <= 0);
         }, shade);
  }

 private:
  void Blend(int x, int y, Rgba c) {
    uint8_t* p = image_.Pixels() + (static_cast<size_t>(y) * Width() + x) * 4;
    const double sa = c.a / 255, da = p[3] / 255.0;
    const double oa = sa + da * (1 - sa);
    auto channel = [&](double s, uint8_t d) {
      return oa > 0 ? (s * sa + d * da * (1 - sa)) / oa : 0.0;
    };
    const double r = channel(c.r, p[2]), g = channel(c.g, p[1]), b = channel(c.b, p[0]);
    p[0] = static_cast<uint8_t>(std::lround(std::clamp(b, 0.0, 255.0)));
    p[1] = static_cast<uint8_t>(std::lround(std::clamp(g, 0.0, 255.0)));
    p[2] = static_cast<uint8_t>(std::lround(std::clamp(r, 0.0, 255.0)));
    p[3] = static_cast<uint8_t>(std::lround(std::clamp(oa * 255, 0.0, 255.0)));
  }

  CImage32& image_;
};

Shade Flat(Rgba c) {
  return [c](double, double) { return c; };
}
Shade Vertical(Rgba top, Rgba bottom, double y0, double y1) {
  return [=](double, double y) { return Mix(top, bottom, (y - y0) / (y1 - y0)); };
}

const Rgba kGold = {255, 200, 60, 255};

// A button face: a rounded box with a vertical gradient, a rim and a shine on top. The lit
// (highlighted) form is brighter, with a gold rim, so hovering shows at a glance.
void Button(Painter& p, double x0, double y0, double x1, double y1, Rgba base, bool lit = false) {
  const double r = std::min(6.0, (y1 - y0) / 3);
  const Rgba face = lit ? Lighter(base, 0.2) : base;
  p.RoundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r, Flat(lit ? kGold : Lighter(base, 0.4)));
  p.RoundRect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, r - 1,
              Vertical(Lighter(face, 0.15), Darker(face, 0.35), y0, y1));
  p.RoundRect(x0 + 4, y0 + 3, x1 - 4, y0 + (y1 - y0) * 0.45, r - 2,
              Flat({255, 255, 255, lit ? 90.0 : 60.0}));
}

// `count` small squares in rows of at most four, centred in a box: the demo art's stand-in for
// a label, so the buttons of a row are told apart without text.
void Pips(Painter& p, double x0, double y0, double x1, double y1, int count, Rgba c) {
  const int columns = std::min(count, 4), rows = (count + 3) / 4;
  const double size = std::min({6.0, (y1 - y0) / (1.7 * rows + 1), (x1 - x0) / (1.7 * columns)});
  const double gap = size * 0.7;
  for (int i = 0; i < count; ++i) {
    const int in_row = std::min(columns, count - (i / 4) * 4);
    const double x = (x0 + x1 - (in_row * size + (in_row - 1) * gap)) / 2 + (i % 4) * (size + gap);
    const double y = (y0 + y1 - (rows * size + (rows - 1) * gap)) / 2 + (i / 4) * (size + gap);
    p.RoundRect(x, y, x + size, y + size, 1.5, Flat(c));
  }
}

const Rgba kWhite{255, 255, 255, 255};

// ---- System texture 1: in-story menu, history buttons, button bar ----
void PaintSystex1(Painter& p) {
  // History return (64,0)-(128,16) and go-back (128,0)-(256,16); highlighted one row below.
  for (int hl = 0; hl < 2; ++hl) {
    const double y = 16.0 * hl;
    const Rgba back = Opaque(0x3A6EA5), go = Opaque(0x8A4FB0);
    Button(p, 64, y, 128, y + 16, back, hl);
    p.Triangle(90, y + 8, 100, y + 3, 100, y + 13, Flat(kWhite));
    Button(p, 128, y, 256, y + 16, go, hl);
    p.Triangle(180, y + 8, 190, y + 3, 190, y + 13, Flat(kWhite));
    p.Triangle(192, y + 8, 202, y + 3, 202, y + 13, Flat(kWhite));
  }
  // Menu items 0-3: normal (0, 32 + 32i)-(128, ...), highlighted beside it; a colour and a pip
  // count per item.
  const uint32_t item_colours[4] = {0x2F8F6F, 0x3060C0, 0xC06030, 0x903050};
  for (int i = 0; i < 4; ++i) {
    const double y = 32.0 + 32 * i;
    const Rgba c = Opaque(item_colours[i]);
    Button(p, 0, y, 128, y + 32, c);
    Pips(p, 0, y, 128, y + 32, i + 1, kWhite);
    Button(p, 128, y, 256, y + 32, c, true);
    Pips(p, 128, y, 256, y + 32, i + 1, kGold);
  }
  // Auto (32,160)-(96,192) and skip (96,160)-(160,192): off on top, on below.
  for (int on = 0; on < 2; ++on) {
    const double y = 160.0 + 16 * on;
    const Rgba off{120, 120, 130, 255};
    Button(p, 32, y, 96, y + 16, on ? Opaque(0x30B050) : off);
    p.Triangle(60, y + 3, 60, y + 13, 70, y + 8, Flat(kWhite));
    Button(p, 96, y, 160, y + 16, on ? Opaque(0xE08020) : off);
    p.Triangle(120, y + 3, 120, y + 13, 129, y + 8, Flat(kWhite));
    p.Triangle(129, y + 3, 129, y + 13, 138, y + 8, Flat(kWhite));
  }
  // Menu button (192,160)-(224,192), highlighted (224,160)-(256,192): a wheel with one spoke
  // marked, so its turning shows.
  for (int hl = 0; hl < 2; ++hl) {
    const double cx = 208.0 + 32 * hl, cy = 176;
    const Rgba c = hl ? Opaque(0xFFC040) : Opaque(0xB0B8C8);
    p.Ring(cx, cy, 15, 10, Flat(c));
    p.Disc(cx, cy, 4, Flat(c));
    for (int k = 0; k < 4; ++k) {
      const double a = k * 3.14159265 / 2;
      const double dx = std::cos(a), dy = std::sin(a);
      p.Fill(cx - 15, cy - 15, cx + 15, cy + 15, [=](double x, double y) {
        const double along = (x - cx) * dx + (y - cy) * dy;
        const double across = -(x - cx) * dy + (y - cy) * dx;
        return along >= 0 && along <= 11 && std::abs(across) <= 1.5;
      }, Flat(k == 0 ? Opaque(0xE04040) : c));
    }
  }
  // History arrow (224,192)-(240,208), pointing up; scroll thumb (240,192)-(256,208).
  p.Triangle(232, 194, 238, 206, 226, 206, Flat(kWhite));
  p.RoundRect(241, 193, 255, 207, 4, Vertical(Opaque(0xE0E8F0), Opaque(0x8090A0), 193, 207));
}

// ---- System texture 2: music room buttons, page buttons, panel corners ----
void PaintSystex2(Painter& p) {
  struct Cell {
    double x0, y0, x1, y1;  // the highlighted cell; the normal one is 96 pixels to the right
    int symbol;             // 0 previous, 1 play, 2 up, 3 down, 4 stop, 5 next
  };
  const Cell cells[] = {{0, 64, 32, 128, 0}, {0, 0, 96, 64, 1},  {32, 64, 64, 96, 2},
                        {32, 96, 64, 128, 3}, {0, 128, 96, 192, 4}, {64, 64, 96, 128, 5}};
  for (int normal = 0; normal < 2; ++normal)
    for (const Cell& c : cells) {
      const double x0 = c.x0 + 96 * normal, x1 = c.x1 + 96 * normal, y0 = c.y0, y1 = c.y1;
      const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
      const Rgba base = Opaque(0x405070);
      Button(p, x0, y0, x1, y1, base, !normal);
      const Rgba mark = normal ? Opaque(0xD0D8E8) : kGold;
      switch (c.symbol) {
        case 0: p.Triangle(cx + 6, cy - 9, cx + 6, cy + 9, cx - 7, cy, Flat(mark)); break;
        case 1: p.Triangle(cx - 10, cy - 14, cx - 10, cy + 14, cx + 14, cy, Flat(mark)); break;
        case 2: p.Triangle(cx, cy - 7, cx + 8, cy + 6, cx - 8, cy + 6, Flat(mark)); break;
        case 3: p.Triangle(cx - 8, cy - 6, cx + 8, cy - 6, cx, cy + 7, Flat(mark)); break;
        case 4: p.RoundRect(cx - 12, cy - 12, cx + 12, cy + 12, 2, Flat(mark)); break;
        case 5: p.Triangle(cx - 6, cy - 9, cx - 6, cy + 9, cx + 7, cy, Flat(mark)); break;
      }
    }
  // Page buttons: cell (32i, 192)-(32i + 32, 224) for page i, with i + 1 pips.
  for (int i = 0; i < 8; ++i) {
    const double x = 32.0 * i;
    Button(p, x, 192, x + 32, 224, Opaque(0x607080));
    Pips(p, x + 3, 195, x + 29, 221, i + 1, kWhite);
  }
  // Corners in white, tinted by the sprites that draw them. Each is the top-left corner of a
  // panel: a quarter disc (panel) and a quarter ring (outline) about the cell's bottom-right.
  p.Fill(240, 224, 248, 232, [](double x, double y) {
    return (x - 248) * (x - 248) + (y - 232) * (y - 232) <= 64;
  }, Flat(kWhite));
  p.Fill(224, 224, 232, 232, [](double x, double y) {
    const double d = (x - 232) * (x - 232) + (y - 232) * (y - 232);
    return d <= 64 && d >= 36;
  }, Flat(kWhite));
}

// ---- System texture 3: the confirmation dialog's two buttons ----
void PaintSystex3(Painter& p) {
  for (int hl = 0; hl < 2; ++hl) {
    const double x = 128.0 * hl;
    const Rgba mark = hl ? kGold : kWhite;
    Button(p, x, 0, x + 128, 32, Opaque(0x3C9A50), hl);  // yes: a tick
    p.Line(x + 55, 16, x + 61, 22, 3.5, Flat(mark));
    p.Line(x + 61, 22, x + 73, 9, 3.5, Flat(mark));
    Button(p, x, 32, x + 128, 64, Opaque(0xB04040), hl);  // no: a cross
    p.Line(x + 57, 41, x + 71, 55, 3.5, Flat(mark));
    p.Line(x + 71, 41, x + 57, 55, 3.5, Flat(mark));
  }
}

// A small fixed pseudo-random sequence, so the pictures are the same on every build.
uint32_t Next(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return seed >> 8;
}

// ---- Backgrounds, 800 × 600 and opaque ----
void PaintDusk(Painter& p) {
  p.Rect(0, 0, 800, 600, Vertical(Opaque(0x1B2A5C), Opaque(0xF08A4B), 0, 420));
  p.Disc(560, 380, 60, Flat(Opaque(0xFFE6A0)));
  p.Disc(560, 380, 80, Flat({255, 220, 150, 60}));
  // Three ranges of hills, farther ones paler.
  const uint32_t hills[3] = {0x5A4A6E, 0x3A3550, 0x1E1C2C};
  for (int k = 0; k < 3; ++k) {
    const double base = 400 + 60 * k, amp = 40 - 8 * k, freq = 0.006 + 0.004 * k;
    p.Fill(0, base - amp, 800, 600, [=](double x, double y) {
      return y >= base + amp * std::sin(x * freq + k * 1.7) * std::cos(x * freq * 0.37);
    }, Flat(Opaque(hills[k])));
  }
}

void PaintNightTown(Painter& p) {
  p.Rect(0, 0, 800, 600, Vertical(Opaque(0x05081A), Opaque(0x1C2850), 0, 600));
  uint32_t seed = 7;
  for (int i = 0; i < 160; ++i) {
    const double x = Next(seed) % 800, y = Next(seed) % 320, r = 0.6 + (Next(seed) % 10) / 10.0;
    p.Disc(x, y, r, Flat({255, 255, 230, 200}));
  }
  p.Disc(140, 110, 36, Flat(Opaque(0xF4F0D8)));
  p.Disc(154, 100, 32, Flat(Opaque(0x0A0F26)));  // the dark part of a crescent
  // Buildings with lit windows.
  double x = 0;
  while (x < 800) {
    const double w = 50 + Next(seed) % 70, top = 300 + Next(seed) % 160;
    p.Rect(x, top, x + w - 4, 600, Flat(Opaque(0x101426)));
    for (double wy = top + 12; wy < 580; wy += 22)
      for (double wx = x + 8; wx + 8 < x + w - 8; wx += 16)
        if (Next(seed) % 3 == 0) p.Rect(wx, wy, wx + 8, wy + 10, Flat(Opaque(0xF0C860)));
    x += w;
  }
  p.Rect(0, 560, 800, 600, Vertical(Opaque(0x20242E), Opaque(0x0A0A10), 560, 600));
}

struct Recipe {
  const char* path;  // under OUTDIR: <archive>/<entry path with '/'>
  int width;
  int height;
  PngChannels channels;
  void (*paint)(Painter& painter);
};

const Recipe kRecipes[] = {
    {"system/SYSTEM/systex1.png", 256, 256, PngChannels::Rgba, PaintSystex1},
    {"system/SYSTEM/systex2.png", 256, 256, PngChannels::Rgba, PaintSystex2},
    {"system/SYSTEM/systex3.png", 256, 256, PngChannels::Rgba, PaintSystex3},
    {"grp/BG/bg01.png", 800, 600, PngChannels::Rgb, PaintDusk},
    {"grp/BG/bg02.png", 800, 600, PngChannels::Rgb, PaintNightTown},
};

bool Make(const stdfs::path& out_dir, const Recipe& recipe) {
  CImage32 image;
  if (!image.Create(recipe.width, recipe.height)) return false;
  Painter painter(image);
  recipe.paint(painter);
  const stdfs::path target = out_dir / recipe.path;
  std::error_code error;
  stdfs::create_directories(target.parent_path(), error);
  if (error) return false;
  return SavePNG(target.string(), image.Pixels(), image.Width(), image.Height(),
                 static_cast<size_t>(image.Width()) * 4, recipe.channels);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: democontent OUTDIR\n");
    return 2;
  }
  const stdfs::path out_dir = argv[1];
  int failed = 0;
  for (const Recipe& recipe : kRecipes) {
    if (!Make(out_dir, recipe)) {
      std::fprintf(stderr, "democontent: cannot write %s\n", (out_dir / recipe.path).c_str());
      ++failed;
    }
  }
  failed += MakeSounds(out_dir / "files");
  return failed ? 1 : 0;
}
