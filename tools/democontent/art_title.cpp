// The title screen's pictures: the title picture, the nine menu items and the loose menu picture.
// The items are painted light on clear ground, since the engine tints them (grey, white or
// yellow) when it draws them; their labels sit in the top 32 rows, where the pointer hits.
#include <cmath>
#include <cstdint>

#include "art.h"

namespace {

// The nine labels, in menu order. Items 3-6 double as the headers of the picture gallery, the
// memory replay, the movie gallery and the music room.
constexpr const char* kItemLabels[kTitleItemCount] = {
    "はじめから", "つづきから", "おまけ", "画像鑑賞", "回想", "ムービー", "音楽", "設定", "終了",
};

// A paper lantern hanging from a cord: body, ribs, caps and a glow around it.
void Lantern(Painter& p, double cx, double top, double scale) {
  const double w = 70 * scale, h = 96 * scale, y = top + 40 * scale;
  p.Line(cx, 0, cx, top + 40 * scale, 2 * scale, Flat({30, 24, 20, 255}));
  for (int ring = 12; ring >= 1; --ring)
    p.Disc(cx, y + h / 2, w * (0.55 + 0.09 * ring), Flat({255, 170, 70, 7}));
  p.Ellipse(cx, y + h / 2, w / 2, h / 2, Vertical(Opaque(0xFFD27A), Opaque(0xE0702C), y, y + h));
  for (int rib = 1; rib < 6; ++rib) {
    const double ry = y + h * rib / 6.0;
    const double half = w / 2 * std::sqrt(1 - std::pow((ry - (y + h / 2)) / (h / 2), 2));
    p.Line(cx - half, ry, cx + half, ry, 1.2 * scale, Flat({150, 60, 20, 140}));
  }
  p.Rect(cx - w * 0.22, y - 6 * scale, cx + w * 0.22, y + 3 * scale, Flat(Opaque(0x2A1E18)));
  p.Rect(cx - w * 0.22, y + h - 3 * scale, cx + w * 0.22, y + h + 6 * scale,
         Flat(Opaque(0x2A1E18)));
  p.Line(cx, y + h + 6 * scale, cx, y + h + 22 * scale, 3 * scale, Flat({200, 40, 30, 230}));
}

}  // namespace

// 800 × 600: a night sky over dark roofs with three lanterns on the right and the game's name at
// the top right; the left column, where the menu is drawn, stays calm.
void PaintTitle(Painter& p) {
  p.Rect(0, 0, 800, 600, Vertical(Opaque(0x070A1E), Opaque(0x2A2244), 0, 600));
  uint32_t seed = 11;
  for (int i = 0; i < 120; ++i) {
    const double x = Next(seed) % 800, y = Next(seed) % 360, r = 0.5 + (Next(seed) % 10) / 12.0;
    p.Disc(x, y, r, Flat({255, 250, 230, 170}));
  }
  // A quiet band behind the menu column, fading out towards the roofs.
  p.RoundRect(16, 208, 304, 560, 18, Vertical({0, 0, 0, 80}, {0, 0, 0, 0}, 208, 560));
  // Roofs along the bottom, a little warm light in their windows.
  double x = 0;
  while (x < 800) {
    const double w = 70 + Next(seed) % 60, top = 470 + Next(seed) % 50;
    p.Polygon({{x - 8, top + 12}, {x + w / 2, top - 20}, {x + w + 8, top + 12}},
              Flat(Opaque(0x120E1C)));
    p.Rect(x, top + 10, x + w, 600, Flat(Opaque(0x16121F)));
    if (Next(seed) % 2)
      p.Rect(x + w / 2 - 6, top + 30, x + w / 2 + 6, top + 44, Flat(Opaque(0xE8B050)));
    x += w + 6;
  }
  Lantern(p, 470, 120, 0.8);
  Lantern(p, 700, 40, 1.3);
  Lantern(p, 590, 230, 1.0);
  Label(p, 770, 40, "ともしびの町", 56, kWhite, Align::Right, {60, 30, 10, 220});
  Label(p, 770, 110, "LANTHORN  DEMO", 20, Opaque(0xF0D8A0), Align::Right, {40, 20, 10, 200});
}

// 256 × 48: the label in white with a dark rim on a faint band. Only the top 36 rows are used:
// the next item, 36 pixels further down, covers the rest.
void PaintTitleItem(Painter& p, int item) {
  p.RoundRect(0, 2, 256, 30, 8, Flat({0, 0, 0, 90}));
  Label(p, 24, 4, kItemLabels[item], 24, kWhite, Align::Left, {20, 16, 30, 230});
  p.Disc(12, 16, 4, Flat(kWhite));
}

// 256 × 256, a loose file beside the archives: a small framed panel headed "MENU".
void PaintMenu(Painter& p) {
  p.RoundRect(8, 8, 248, 248, 14, Flat({20, 16, 30, 220}));
  p.RoundRect(12, 12, 244, 244, 12, Flat({255, 220, 150, 60}));
  p.RoundRect(16, 16, 240, 240, 10, Vertical({40, 32, 60, 230}, {16, 12, 24, 240}, 16, 240));
  Label(p, 128, 28, "MENU", 28, kGold, Align::Centre, {40, 20, 0, 200});
  for (int i = 0; i < 4; ++i) Button(p, 40, 80 + 40.0 * i, 216, 112 + 40.0 * i, Opaque(0x5A4A80));
}
