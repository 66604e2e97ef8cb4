// The interface pictures. Each puts its art in the cells the engine cuts from it, so a screenshot
// shows every button, tab and frame where it belongs.
#include <cmath>
#include <string>

#include "art.h"

namespace {

// A soft round glow: full colour at the centre fading to nothing at the radius.
Shade Glow(double cx, double cy, double radius, Rgba c) {
  return [=](double x, double y) {
    const double d = std::hypot(x - cx, y - cy) / radius;
    return WithAlpha(c, c.a * std::clamp(1 - d, 0.0, 1.0) * std::clamp(1 - d, 0.0, 1.0));
  };
}

const Rgba kNight{14, 20, 48, 255};
const Rgba kRim{228, 186, 104, 255};

}  // namespace

// ---- System texture 1: in-story menu, history buttons, button bar ----
void PaintSystex1(Painter& p) {
  // History return (64,0)-(128,16) and go-back (128,0)-(256,16); highlighted one row below.
  for (int hl = 0; hl < 2; ++hl) {
    const double y = 16.0 * hl;
    Button(p, 64, y, 128, y + 16, Opaque(0x3A6EA5), hl);
    Label(p, 96, y + 2, "もどる", 12, hl ? kGold : kWhite);
    Button(p, 128, y, 256, y + 16, Opaque(0x8A4FB0), hl);
    Label(p, 192, y + 2, "この場面にもどる", 12, hl ? kGold : kWhite);
  }
  // Menu items 0-3 (save, load, settings, title): normal (0, 32 + 32i)-(128, ...), highlighted
  // beside it.
  const uint32_t item_colours[4] = {0x2F8F6F, 0x3060C0, 0xC06030, 0x903050};
  const char* item_names[4] = {"セーブ", "ロード", "設定", "タイトル"};
  for (int i = 0; i < 4; ++i) {
    const double y = 32.0 + 32 * i;
    const Rgba c = Opaque(item_colours[i]);
    Button(p, 0, y, 128, y + 32, c);
    Label(p, 64, y + 8, item_names[i], 16, kWhite, Align::Centre, WithAlpha(Darker(c, 0.5), 160));
    Button(p, 128, y, 256, y + 32, c, true);
    Label(p, 192, y + 8, item_names[i], 16, kGold, Align::Centre, WithAlpha(Darker(c, 0.6), 200));
  }
  // Auto (32,160)-(96,192) and skip (96,160)-(160,192): off on top, on below. The on form is
  // coloured with a lit lamp, the off form dark grey, so the mode shows at a glance. The story
  // draws them see-through over its pictures, so the faces are dark and without a shine and the
  // words white with a dark outline: readable over a night sky and a white wall alike.
  auto bar_button = [&p](double x0, double y0, double x1, double y1, Rgba face) {
    p.RoundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, 5, Flat(Lighter(face, 0.35)));
    p.RoundRect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, 4,
                Vertical(Lighter(face, 0.1), Darker(face, 0.3), y0, y1));
  };
  for (int on = 0; on < 2; ++on) {
    const double y = 160.0 + 16 * on;
    const Rgba off{34, 38, 48, 255};
    const Rgba auto_c = on ? Opaque(0x1E7E3A) : off, skip_c = on ? Opaque(0xB05A10) : off;
    const Rgba outline{8, 10, 14, 255};
    bar_button(32, y, 96, y + 16, auto_c);
    p.Disc(41, y + 8, 3, Flat(on ? Rgba{190, 255, 160, 255} : Rgba{90, 94, 104, 255}));
    Label(p, 67, y + 2, "オート", 12, kWhite, Align::Centre, outline);
    bar_button(96, y, 160, y + 16, skip_c);
    p.Disc(105, y + 8, 3, Flat(on ? Rgba{255, 236, 150, 255} : Rgba{90, 94, 104, 255}));
    Label(p, 131, y + 2, "スキップ", 12, kWhite, Align::Centre, outline);
  }
  // Menu button (192,160)-(224,192), highlighted (224,160)-(256,192): a wheel with one spoke
  // marked, so its turning shows.
  for (int hl = 0; hl < 2; ++hl) {
    const double cx = 208.0 + 32 * hl, cy = 176;
    const Rgba c = hl ? Opaque(0xFFC040) : Opaque(0xB0B8C8);
    p.Ring(cx, cy, 15, 10, Flat(c));
    p.Disc(cx, cy, 4, Flat(c));
    for (int k = 0; k < 4; ++k) {
      const double a = k * kPi / 2;
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
    int symbol;             // 0 previous, 1 play, 2 repeat, 3 all in turn, 4 stop, 5 next
  };
  const Cell cells[] = {{0, 64, 32, 128, 0}, {0, 0, 96, 64, 1},  {32, 64, 64, 96, 2},
                        {32, 96, 64, 128, 3}, {0, 128, 96, 192, 4}, {64, 64, 96, 128, 5}};
  for (int normal = 0; normal < 2; ++normal)
    for (const Cell& c : cells) {
      const double x0 = c.x0 + 96 * normal, x1 = c.x1 + 96 * normal, y0 = c.y0, y1 = c.y1;
      const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
      Button(p, x0, y0, x1, y1, Opaque(0x405070), !normal);
      const Rgba mark = normal ? Opaque(0xD0D8E8) : kGold;
      switch (c.symbol) {
        case 0: p.Triangle(cx + 6, cy - 9, cx + 6, cy + 9, cx - 7, cy, Flat(mark)); break;
        case 1: p.Triangle(cx - 10, cy - 14, cx - 10, cy + 14, cx + 14, cy, Flat(mark)); break;
        case 2:  // repeat: a ring with an arrowhead
          p.Ring(cx, cy, 8, 5, Flat(mark));
          p.Triangle(cx + 3, cy - 11, cx + 3, cy - 2, cx + 10, cy - 6, Flat(mark));
          break;
        case 3:  // every piece in turn: three bars
          for (int bar = -1; bar <= 1; ++bar)
            p.Rect(cx - 8, cy + 5 * bar - 1, cx + 8, cy + 5 * bar + 1.5, Flat(mark));
          break;
        case 4: p.RoundRect(cx - 12, cy - 12, cx + 12, cy + 12, 2, Flat(mark)); break;
        case 5: p.Triangle(cx - 6, cy - 9, cx - 6, cy + 9, cx + 7, cy, Flat(mark)); break;
      }
    }
  // Page buttons: cell (32i, 192)-(32i + 32, 224) for page i, with its number.
  for (int i = 0; i < 8; ++i) {
    const double x = 32.0 * i;
    Button(p, x, 192, x + 32, 224, Opaque(0x607080));
    Label(p, x + 16, 199, std::to_string(i + 1), 16, kWhite, Align::Centre, {30, 40, 50, 160});
  }
  // Corners in white, tinted by the sprites that draw them. Each is the top-left corner of a
  // panel: a quarter disc (panel) and a quarter ring (outline) about the cell's bottom-right.
  // The ring is 3 pixels wide, as wide as the outline's bars, so the outline runs round the
  // corner without a step.
  p.Fill(240, 224, 248, 232, [](double x, double y) {
    return (x - 248) * (x - 248) + (y - 232) * (y - 232) <= 64;
  }, Flat(kWhite));
  p.Fill(224, 224, 232, 232, [](double x, double y) {
    const double d = (x - 232) * (x - 232) + (y - 232) * (y - 232);
    return d <= 64 && d >= 25;
  }, Flat(kWhite));
}

// ---- System texture 3: the confirmation dialog's two buttons ----
void PaintSystex3(Painter& p) {
  for (int hl = 0; hl < 2; ++hl) {
    const double x = 128.0 * hl;
    const Rgba mark = hl ? kGold : kWhite;
    Button(p, x, 0, x + 128, 32, Opaque(0x3C9A50), hl);
    Label(p, x + 64, 7, "はい", 18, mark, Align::Centre, {20, 60, 30, 160});
    Button(p, x, 32, x + 128, 64, Opaque(0xB04040), hl);
    Label(p, x + 64, 39, "いいえ", 18, mark, Align::Centre, {70, 20, 20, 160});
  }
}

// ---- The dialog art, "SYSTEM\dialog_base1.png" ----
void PaintDialogArt(Painter& p) {
  // Window frame, nine cells of 32 × 32 in (0,0)-(96,96): a rounded window with a gold rim. The
  // edge and centre cells are uniform along the direction they are repeated in.
  p.Clip(0, 0, 96, 96);
  p.RoundRect(0, 0, 96, 96, 14, Flat(WithAlpha(Darker(kRim, 0.45), 240)));
  p.RoundRect(2, 2, 94, 94, 12, Flat(kRim));
  p.RoundRect(5, 5, 91, 91, 10, Flat({24, 30, 58, 235}));
  p.RoundRect(9, 9, 87, 87, 7, Flat({255, 255, 255, 14}));
  p.RoundRect(10, 10, 86, 86, 6, Flat({18, 24, 50, 235}));

  // Page tabs, (96, 32k)-(128, 32k + 32): k 0-2 top, middle and bottom of another page's tab,
  // 3-5 of the current page's. The tab sticks out to the right; its left side lies under the
  // window and is cut straight.
  for (int current = 0; current < 2; ++current) {
    const double y0 = 96.0 * current;
    p.Clip(96, static_cast<int>(y0), 128, static_cast<int>(y0) + 96);
    const Rgba body = current ? Opaque(0x5A78C8) : Opaque(0x34405E);
    const Rgba rim = current ? kRim : Opaque(0x8090B0);
    p.RoundRect(80, y0 + 2, 127, y0 + 94, 10, Flat(rim));
    p.Fill(80, y0 + 4, 125, y0 + 92, [=](double x, double y) {
      const double cx = std::clamp(x, 90.0, 115.0), cy = std::clamp(y, y0 + 12, y0 + 84);
      return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= 81;
    }, [=](double x, double) { return Mix(Lighter(body, 0.15), Darker(body, 0.25), (x - 96) / 30); });
  }
  p.ResetView();

  // Settings page captions, 16 × 96 at (16p, 96) for pages 0-3; and the picture gallery's group
  // labels, 16 × 32, group g at (64 + 16 (g mod 2), 96 + 32 (g div 2)).
  const char* pages[4] = {"基本設定", "音量設定", "声の設定", "表示設定"};
  for (int page = 0; page < 4; ++page)
    VerticalLabel(p, 16.0 * page + 8, 112, pages[page], 15, 16, kWhite, {20, 30, 60, 200});
  const char* groups[5] = {"壱", "弐", "参", "肆", "他"};
  for (int g = 0; g < 5; ++g)
    Label(p, 64 + 16 * (g % 2) + 8, 96 + 32 * (g / 2) + 8, groups[g], 15, kWhite, Align::Centre,
          {20, 30, 60, 200});

  // The save/load page tab's caption (128,0)-(144,64) and the page digits (144, 16p).
  VerticalLabel(p, 136, 1, "PAGE", 14, 16, kWhite, {20, 30, 60, 200});
  for (int page = 0; page < 6; ++page)
    Label(p, 152, 16.0 * page + 1, std::to_string(page + 1), 15, kGold, Align::Centre,
          {40, 30, 10, 200});

  // Background tile of the save/load screen (192,0)-(256,64): a lattice that tiles seamlessly.
  p.Rect(192, 0, 256, 64, Flat(Opaque(0x1C2444)));
  for (int k = -1; k <= 1; ++k) {
    p.Line(192 + 64.0 * k, 0, 256 + 64.0 * k, 64, 2, Flat({120, 140, 200, 70}));
    p.Line(256 + 64.0 * k, 0, 192 + 64.0 * k, 64, 2, Flat({120, 140, 200, 70}));
  }
  p.Clip(192, 0, 256, 64);
  for (double cx : {192.0, 224.0, 256.0})
    for (double cy : {0.0, 32.0, 64.0})
      if ((cx == 224) == (cy == 32)) p.Disc(cx, cy, 3, Flat({230, 190, 110, 120}));
  p.ResetView();

  // Return button, normal (192,64)-(256,128) and highlighted (192,128)-(256,192).
  for (int hl = 0; hl < 2; ++hl) {
    const double cx = 224, cy = 96.0 + 64 * hl;
    const Rgba face = hl ? Opaque(0xC06040) : Opaque(0x405888);
    p.Disc(cx, cy, 29, Flat(hl ? kGold : Lighter(face, 0.4)));
    p.Disc(cx, cy, 26, Vertical(Lighter(face, 0.2), Darker(face, 0.35), cy - 26, cy + 26));
    p.Arc(cx + 2, cy - 4, 11, -kPi / 2, kPi / 2, 4, Flat(kWhite));
    p.Line(cx + 2, cy + 7, cx - 10, cy + 7, 4, Flat(kWhite));
    p.Triangle(cx - 4, cy - 22, cx - 4, cy - 8, cx - 14, cy - 15, Flat(kWhite));
    p.Line(cx + 2, cy - 15, cx - 6, cy - 15, 4, Flat(kWhite));
    Label(p, cx, cy + 11, "戻る", 12, hl ? kGold : kWhite, Align::Centre, {0, 0, 0, 150});
  }

  // Headers: load (0,192)-(192,224), save (0,224)-(192,256).
  const char* headers[2] = {"ロード", "セーブ"};
  const uint32_t header_colours[2] = {0x3060C0, 0x2F8F6F};
  for (int h = 0; h < 2; ++h) {
    const double y = 192.0 + 32 * h;
    const Rgba c = Opaque(header_colours[h]);
    p.RoundRect(0, y + 2, 192, y + 30, 8, Flat(kRim));
    p.RoundRect(2, y + 4, 190, y + 28, 6, Vertical(Lighter(c, 0.1), Darker(c, 0.4), y, y + 32));
    p.Triangle(12, y + 16, 20, y + 10, 20, y + 22, Flat(kRim));
    Label(p, 96, y + 5, headers[h], 20, kWhite, Align::Centre, WithAlpha(Darker(c, 0.6), 200));
  }

  // Overwrite toggle, off (192,192)-(224,224) and on (224,192)-(256,224): a check box.
  for (int on = 0; on < 2; ++on) {
    const double x = 192.0 + 32 * on;
    p.RoundRect(x + 4, 196, x + 28, 220, 4, Flat(on ? kRim : Opaque(0x8090A0)));
    p.RoundRect(x + 6, 198, x + 26, 218, 3, Flat(Opaque(0x1C2444)));
    if (on) {
      p.Line(x + 9, 207, x + 14, 213, 3.5, Flat(kGold));
      p.Line(x + 14, 213, x + 24, 199, 3.5, Flat(kGold));
    }
  }

  // Background tile of the galleries (224,224)-(256,256): small stars on deep blue, seamless.
  p.Rect(224, 224, 256, 256, Flat(Opaque(0x141A34)));
  p.Clip(224, 224, 256, 256);
  for (double cx : {224.0, 256.0})
    for (double cy : {224.0, 256.0}) p.Disc(cx, cy, 2.5, Flat({200, 210, 255, 110}));
  p.Disc(240, 240, 1.6, Flat({255, 230, 170, 150}));
  p.ResetView();
}

// ---- The timed choice, "SYSTEM\battle_select.png" (704 × 192, drawn at (48, 172)) ----
// The time bar lies at picture (138, 19)-(444, 35), the four item rows at y 46 + 32i, 30 high,
// across x 16-686; the engine draws the bar's segments, the highlight and the labels over them.
void PaintBattleSelect(Painter& p) {
  p.RoundRect(0, 0, 704, 192, 16, Flat({40, 24, 8, 200}));
  p.RoundRect(2, 2, 702, 190, 14, Flat(WithAlpha(Opaque(0xC88A3C), 245)));
  p.RoundRect(5, 5, 699, 187, 12, Vertical({30, 20, 28, 240}, {10, 8, 14, 245}, 5, 187));
  // Diagonal racing stripes in the header corners.
  p.Clip(5, 5, 699, 44);
  for (int k = 0; k < 6; ++k) {
    const double x = 560 + 22.0 * k;
    p.Polygon({{x, 44}, {x + 10, 44}, {x + 34, 5}, {x + 24, 5}}, Flat({200, 60, 40, 60.0 + 12 * k}));
  }
  p.ResetView();
  Label(p, 20, 13, "残り時間", 16, kGold, Align::Left, {60, 30, 0, 200});
  Label(p, 684, 13, "決断せよ！", 16, Opaque(0xFF9060), Align::Right, {60, 10, 0, 200});
  // The time bar's well.
  p.RoundRect(132, 15, 450, 39, 5, Flat({0, 0, 0, 200}));
  p.Fill(132, 15, 450, 39, [](double x, double y) {
    const bool outer = x >= 132 && x < 450 && y >= 15 && y < 39;
    const bool inner = x >= 134 && x < 448 && y >= 17 && y < 37;
    return outer && !inner;
  }, Flat({150, 110, 60, 200}));
  // The four rows: faint bands with a marker at the left.
  for (int i = 0; i < 4; ++i) {
    const double y = 46.0 + 32 * i;
    p.RoundRect(16, y, 686, y + 30, 6, Flat({255, 255, 255, i % 2 ? 14.0 : 22.0}));
    p.Triangle(26, y + 9, 26, y + 21, 34, y + 15, Flat({230, 160, 80, 160}));
    p.Triangle(678, y + 9, 678, y + 21, 670, y + 15, Flat({230, 160, 80, 160}));
  }
}

// ---- The text box: the 800 × 128 band and the 224 × 48 name plate ----
namespace {

// The band in its own coordinates (800 × 128): a translucent night-blue panel under a gold rim.
// The engine draws it at 4/5 of the box's alpha, so the scene shows through a little.
void PaintBand(Painter& p) {
  p.Rect(0, 5, 800, 128, Vertical({18, 26, 62, 210}, {6, 8, 26, 235}, 5, 128));
  p.Rect(0, 8, 800, 26, Vertical({255, 255, 255, 22}, {255, 255, 255, 0}, 8, 26));
  p.Rect(0, 3, 800, 6, Flat(WithAlpha(kRim, 240)));
  p.Rect(0, 6, 800, 7, Flat({60, 40, 10, 200}));
  p.Rect(0, 125, 800, 126, Flat(WithAlpha(kRim, 90)));
  // Diamonds on the rim at both ends, and a lantern's glow in the lower right corner.
  for (double x : {14.0, 786.0}) p.Polygon({{x, -1}, {x + 6, 4.5}, {x, 10}, {x - 6, 4.5}}, Flat(kGold));
  p.Fill(620, 8, 800, 128, [](double, double y) { return y >= 8; },
         Glow(770, 118, 150, {255, 170, 80, 40}));
}

// The plate in its own coordinates (224 × 48); its foot runs into the band's rim.
void PaintNamePlate(Painter& p) {
  p.RoundRect(2, 2, 222, 70, 12, Flat(WithAlpha(kRim, 240)));
  p.RoundRect(5, 5, 219, 70, 10, Vertical({30, 40, 90, 230}, {18, 26, 62, 230}, 5, 48));
  p.Rect(8, 8, 216, 20, Vertical({255, 255, 255, 26}, {255, 255, 255, 0}, 8, 20));
}

}  // namespace

// Picture 1: band columns 0-255 in its top half, 256-511 in its bottom half.
void PaintTextBox1(Painter& p) {
  p.SetView(0, 0, 0, 0, 256, 128);
  PaintBand(p);
  p.SetView(256, -128, 0, 128, 256, 256);
  PaintBand(p);
  p.ResetView();
}

// Picture 2: band columns 512-767 in its top half, 768-799 at the left of its bottom half, the
// name plate at (32, 128)-(256, 176).
void PaintTextBox2(Painter& p) {
  p.SetView(512, 0, 0, 0, 256, 128);
  PaintBand(p);
  p.SetView(768, -128, 0, 128, 32, 256);
  PaintBand(p);
  p.SetView(-32, -128, 32, 128, 256, 176);
  PaintNamePlate(p);
  p.ResetView();
}

// The wait cursor's 14 frames, cells 26-39 of the second glyph sheet (row 3 column 2 onwards):
// a gold arrowhead that bobs once per turn of the animation above a shadow that breathes with it.
// The cursor cell stands 12 pixels right of where the next character would go.
void PaintCursorFrames(Painter& p) {
  constexpr int kFrames = 14, kFirstCell = 26;
  for (int f = 0; f < kFrames; ++f) {
    const int cell = kFirstCell + f;
    const double x = (cell % 8) * 32.0, y = (cell / 8) * 32.0;
    p.Clip(static_cast<int>(x), static_cast<int>(y), static_cast<int>(x) + 32,
           static_cast<int>(y) + 32);
    const double bob = 3 * std::sin(2 * kPi * (f + 0.5) / kFrames);
    const double cx = x + 12, top = y + 11 + bob;
    p.Ellipse(cx, y + 26, 6 - bob * 0.6, 1.8, Flat({0, 0, 0, 110}));
    p.Disc(cx, top + 4, 9, Glow(cx, top + 4, 9, {255, 210, 120, 120}));
    p.Triangle(cx - 7, top, cx + 7, top, cx, top + 10, Flat(Opaque(0x7A4A10)));
    p.Triangle(cx - 5.5, top + 1, cx + 5.5, top + 1, cx, top + 8.5,
               Vertical(Opaque(0xFFF0B0), Opaque(0xF0A830), top, top + 9));
  }
  p.ResetView();
}

// The sixteen special glyphs, codes 0x8740-0x874F: the circled numbers 1-16, each in its 32 × 32
// block (column n mod 4, row n div 4). Only alpha counts (it becomes the 4-bit level). The text
// box draws special glyphs 8 pixels higher than letters, so the circle sits low in its cell:
// raised, it spans the rows of a letter's ink.
void PaintSpecialGlyphs(Painter& p) {
  for (int n = 0; n < 16; ++n) {
    const double x = (n % 4) * 32.0, y = (n / 4) * 32.0;
    const double cx = x + 16, cy = y + 20;
    p.Ring(cx, cy, 10.5, 9, Flat(kWhite));
    const int height = n < 9 ? 15 : 12;
    Label(p, cx, cy - height / 2.0, std::to_string(n + 1), height, kWhite, Align::Centre,
          {0, 0, 0, 0}, Face::Fixed);
  }
}

// "SYSTEM\blank.png": the empty scene a wipe-out leaves behind.
void PaintBlank(Painter& p) { p.Rect(0, 0, 800, 600, Flat({0, 0, 0, 255})); }
