// The story's pictures: backgrounds (800 × 600, opaque) and characters (512 × 600 with soft alpha
// edges, the size of one character buffer). Everything is built from simple shapes, but each
// picture has a clear subject and palette so transitions between them read well on screen.
#include <cmath>

#include "art.h"

namespace {

// A shape given in a frame turned by `angle` radians about (px, py): inside(u, v) with u along
// the turned x axis and v along the turned y axis.
Inside Turned(double px, double py, double angle, std::function<bool(double, double)> inside) {
  const double c = std::cos(angle), s = std::sin(angle);
  return [=](double x, double y) {
    const double dx = x - px, dy = y - py;
    return inside(dx * c + dy * s, -dx * s + dy * c);
  };
}

Shade Radial(double cx, double cy, double radius, Rgba inner, Rgba outer) {
  return [=](double x, double y) { return Mix(inner, outer, std::hypot(x - cx, y - cy) / radius); };
}

void Cloud(Painter& p, double x, double y, double scale, Rgba c) {
  const double parts[5][3] = {{0, 0, 30}, {32, -14, 36}, {66, 0, 28}, {20, 10, 26}, {48, 12, 26}};
  for (const auto& d : parts) p.Disc(x + d[0] * scale, y + d[1] * scale, d[2] * scale, Flat(c));
}

// A firework: a ring of sparks with trails towards the centre.
void Firework(Painter& p, double cx, double cy, double radius, Rgba c, int sparks) {
  p.Disc(cx, cy, radius * 1.3, Radial(cx, cy, radius * 1.3, WithAlpha(c, 50), WithAlpha(c, 0)));
  for (int k = 0; k < sparks; ++k) {
    const double a = 2 * kPi * k / sparks;
    const double ex = cx + radius * std::cos(a), ey = cy + radius * std::sin(a);
    p.Line(cx + radius * 0.45 * std::cos(a), cy + radius * 0.45 * std::sin(a), ex, ey, 1.6,
           Flat(WithAlpha(c, 110)));
    p.Disc(ex, ey, 2.6, Flat(Lighter(c, 0.5)));
  }
}

// A paper lantern, upright, centred at (cx, cy): red body with ribs, black caps, a warm glow.
void PaperLantern(Painter& p, double cx, double cy, double scale) {
  p.Disc(cx, cy, 46 * scale, Radial(cx, cy, 46 * scale, {255, 170, 80, 90}, {255, 120, 40, 0}));
  p.Ellipse(cx, cy, 20 * scale, 26 * scale, Radial(cx, cy - 6 * scale, 28 * scale,
                                                   Opaque(0xFF7A3C), Opaque(0xA8201A)));
  for (int k = -2; k <= 2; ++k) {
    const double y = cy + k * 8 * scale;
    const double half = 20 * scale * std::sqrt(std::max(0.0, 1 - std::pow(k * 8.0 / 26, 2)));
    p.Line(cx - half, y, cx + half, y, 1.2 * scale, Flat({90, 20, 10, 150}));
  }
  p.Rect(cx - 9 * scale, cy - 29 * scale, cx + 9 * scale, cy - 23 * scale, Flat(Opaque(0x1A1410)));
  p.Rect(cx - 9 * scale, cy + 23 * scale, cx + 9 * scale, cy + 29 * scale, Flat(Opaque(0x1A1410)));
}

}  // namespace

// ---- Backgrounds ----

// bg01: dusk over the hills.
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

// bg02: the town at night.
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

// bg03: a street of low houses on a clear morning, wires between the poles.
void PaintStreet(Painter& p) {
  p.Rect(0, 0, 800, 600, Vertical(Opaque(0x4A9BE0), Opaque(0xD4EEFF), 0, 380));
  Cloud(p, 90, 90, 1.2, {255, 255, 255, 235});
  Cloud(p, 470, 60, 0.9, {255, 255, 255, 220});
  Cloud(p, 640, 150, 0.7, {255, 255, 255, 200});
  // Far hills and a row of houses with tiled roofs.
  p.Fill(0, 260, 800, 600, [](double x, double y) { return y >= 300 - 30 * std::sin(x * 0.008); },
         Flat(Opaque(0x8FB5A8)));
  const uint32_t walls[5] = {0xF2E6D0, 0xE8D8C0, 0xF6EEDC, 0xDCCBB0, 0xEEE2CC};
  for (int i = 0; i < 5; ++i) {
    const double x0 = -20 + 170.0 * i, x1 = x0 + 150, top = 300 + (i % 2) * 18;
    p.Rect(x0, top, x1, 480, Flat(Opaque(walls[i])));
    p.Polygon({{x0 - 14, top + 4}, {(x0 + x1) / 2, top - 50}, {x1 + 14, top + 4}},
              Flat(Opaque(i % 2 ? 0x46505E : 0x5A3A34)));
    for (int w = 0; w < 2; ++w) {
      const double wx = x0 + 24 + 64.0 * w;
      p.Rect(wx, top + 36, wx + 38, top + 76, Flat(Opaque(0x5E6E80)));
      p.Rect(wx + 3, top + 39, wx + 35, top + 73, Vertical(Opaque(0xBFE4FF), Opaque(0x7FA8CC),
                                                           top + 39, top + 73));
      p.Line(wx + 19, top + 39, wx + 19, top + 73, 2, Flat(Opaque(0x5E6E80)));
    }
  }
  // Stone wall and the road, its centre line running to the distance.
  p.Rect(0, 470, 800, 500, Flat(Opaque(0xA8A49C)));
  for (double x = 0; x < 800; x += 40) p.Line(x, 470, x, 500, 1.5, Flat({90, 86, 80, 160}));
  p.Rect(0, 500, 800, 600, Vertical(Opaque(0x6E6E74), Opaque(0x4A4A50), 500, 600));
  for (double x = 20; x < 800; x += 120) p.Rect(x, 548, x + 60, 556, Flat({240, 240, 240, 220}));
  // Two poles and their sagging wires.
  for (double x : {150.0, 650.0}) {
    p.Rect(x - 6, 160, x + 6, 520, Flat(Opaque(0x5A5048)));
    p.Rect(x - 34, 186, x + 34, 194, Flat(Opaque(0x5A5048)));
  }
  for (double dy : {0.0, 12.0})
    p.Fill(150, 150, 650, 240, [dy](double x, double y) {
      const double t = (x - 150) / 500, sag = 190 + dy + 40 * 4 * t * (1 - t);
      return std::abs(y - sag) < 1.0;
    }, Flat({40, 40, 40, 220}));
}

// bg04: a room in afternoon light: window with curtains, bookshelf, desk and lamp.
void PaintRoom(Painter& p) {
  p.Rect(0, 0, 800, 440, Vertical(Opaque(0xF2E2C8), Opaque(0xD8C0A0), 0, 440));
  p.Rect(0, 380, 800, 440, Flat(Opaque(0xB89878)));
  p.Rect(0, 376, 800, 382, Flat(Opaque(0x8A6A50)));
  // Floor planks.
  p.Rect(0, 440, 800, 600, Vertical(Opaque(0xA0683C), Opaque(0x6A4020), 440, 600));
  for (int k = 0; k < 6; ++k) {
    const double y = 440 + 28.0 * k + k * k * 2;
    p.Rect(0, y, 800, y + 2, Flat({50, 28, 10, 120}));
  }
  // The window: sky, a cloud and the frame, curtains at either side, the light on the floor.
  p.Rect(470, 70, 750, 320, Flat(Opaque(0xF8F4EC)));
  p.Rect(482, 82, 738, 308, Vertical(Opaque(0x6CB4F0), Opaque(0xCDE9FF), 82, 308));
  p.Clip(482, 82, 738, 308);
  Cloud(p, 520, 160, 0.8, {255, 255, 255, 230});
  p.ResetView();
  p.Rect(606, 82, 614, 308, Flat(Opaque(0xF8F4EC)));
  p.Rect(482, 190, 738, 196, Flat(Opaque(0xF8F4EC)));
  for (int side = 0; side < 2; ++side) {
    const double x = side ? 720 : 440;
    p.Fill(x, 50, x + 70, 360, [x](double px, double py) {
      return px - x < 60 + 10 * std::sin(py * 0.05) && py < 360;
    }, Vertical(Opaque(0xC05060), Opaque(0x903040), 50, 360));
  }
  p.Rect(420, 44, 800, 52, Flat(Opaque(0x6A4A30)));
  p.Polygon({{482, 440}, {738, 440}, {800, 600}, {560, 600}}, Flat({255, 240, 200, 50}));
  // Bookshelf with coloured spines.
  p.Rect(40, 120, 250, 440, Flat(Opaque(0x7A4E2C)));
  uint32_t seed = 11;
  for (int shelf = 0; shelf < 4; ++shelf) {
    const double y = 130 + 78.0 * shelf;
    p.Rect(50, y, 240, y + 68, Flat(Opaque(0x4A2E18)));
    double x = 54;
    while (x < 232) {
      const double w = 10 + Next(seed) % 12, h = 46 + Next(seed) % 20;
      const uint32_t colours[5] = {0x2C5A8C, 0xB03A30, 0x3C8050, 0xD0A040, 0x6A4C90};
      p.Rect(x, y + 68 - h, std::min(x + w, 236.0), y + 68,
             Flat(Opaque(colours[Next(seed) % 5])));
      x += w + 2;
    }
  }
  // Desk and lamp.
  p.Rect(300, 330, 430, 342, Flat(Opaque(0x5A3A22)));
  p.Rect(306, 342, 316, 440, Flat(Opaque(0x5A3A22)));
  p.Rect(414, 342, 424, 440, Flat(Opaque(0x5A3A22)));
  p.Line(330, 330, 344, 280, 4, Flat(Opaque(0x303030)));
  p.Polygon({{330, 286}, {366, 270}, {372, 290}, {340, 300}}, Flat(Opaque(0x2E6A5A)));
  p.Disc(356, 300, 50, Radial(356, 300, 50, {255, 240, 180, 80}, {255, 240, 180, 0}));
}

// bg05: the riverside on the night of the festival: fireworks, lanterns along the far bank,
// their light on the water.
void PaintRiverside(Painter& p) {
  p.Rect(0, 0, 800, 380, Vertical(Opaque(0x0A0820), Opaque(0x3A2050), 0, 380));
  Firework(p, 200, 140, 80, Opaque(0xFF6070), 28);
  Firework(p, 520, 100, 100, Opaque(0x70D0FF), 36);
  Firework(p, 690, 210, 60, Opaque(0xFFD060), 22);
  // The far bank, a bridge and the lanterns.
  p.Rect(0, 340, 800, 392, Flat(Opaque(0x120E1C)));
  p.Fill(560, 260, 800, 392, [](double x, double y) {
    const double t = (x - 560) / 240;
    const double top = 330 - 60 * 4 * t * (1 - t);
    return y >= top && y <= top + 12;
  }, Flat(Opaque(0x2A1E2A)));
  for (double x = 580; x < 800; x += 40) p.Rect(x, 300, x + 5, 392, Flat(Opaque(0x2A1E2A)));
  for (double x = 30; x < 540; x += 56) {
    p.Line(x - 28, 336, x + 28, 336, 1.5, Flat({20, 10, 10, 255}));
    PaperLantern(p, x, 352, 0.45);
  }
  // The river with the lights' reflections.
  p.Rect(0, 392, 800, 600, Vertical(Opaque(0x141838), Opaque(0x06081A), 392, 600));
  uint32_t seed = 5;
  for (int i = 0; i < 140; ++i) {
    const double x = Next(seed) % 800, y = 400 + Next(seed) % 200;
    const double w = 8 + Next(seed) % 30;
    const uint32_t colours[4] = {0xFF6070, 0x70D0FF, 0xFFD060, 0xFF9050};
    p.Rect(x, y, x + w, y + 2, Flat(WithAlpha(Opaque(colours[Next(seed) % 4]), 90)));
  }
  p.Rect(0, 560, 800, 600, Vertical(Opaque(0x1E2418), Opaque(0x0C1008), 560, 600));
}

// ---- Characters ----

namespace {

struct Look {
  Rgba hair, eyes, outfit, accent, skin;
  int hair_style;  // 0 ponytail, 1 short with twin tails, 2 long and straight
};

Look LookOf(Person who) {
  const Rgba skin = Opaque(0xFCE2D2);
  switch (who) {
    case Person::Akane:
      return {Opaque(0xA8362C), Opaque(0xC8781E), Opaque(0x24325C), Opaque(0xD8283C), skin, 0};
    case Person::Hina:
      return {Opaque(0xD99A48), Opaque(0x3E9A5A), Opaque(0xF0C84A), Opaque(0xF06A8C), skin, 1};
    case Person::Mio:
      return {Opaque(0x262A44), Opaque(0x7A58B8), Opaque(0x2C6A66), Opaque(0xF2F2F6), skin, 2};
  }
  return {};
}

constexpr double kCx = 256;        // the figure's centre line
constexpr double kHeadY = 200;     // centre of the face
constexpr double kFaceRx = 68, kFaceRy = 82;

// The face: an ellipse whose lower half narrows towards the chin.
Inside FaceShape(double grow) {
  return [grow](double x, double y) {
    const double rx = kFaceRx + grow, ry = kFaceRy + grow;
    const double v = (y - kHeadY) / ry;
    const double narrow = v > 0 ? 1 - 0.32 * v * v : 1;
    const double u = (x - kCx) / (rx * narrow);
    return u * u + v * v <= 1;
  };
}

void Eye(Painter& p, double cx, double cy, const Look& look, bool closed, double open) {
  const Rgba line = Darker(look.hair, 0.6);
  if (closed) {  // a happy, closed eye: an arch
    p.Arc(cx, cy + 6, 12, kPi + 0.35, 2 * kPi - 0.35, 3.5, Flat(line));
    return;
  }
  p.Ellipse(cx, cy, 16, 19 * open, Flat(kWhite));
  p.Ellipse(cx, cy + 2, 12, 16 * open, Vertical(Darker(look.eyes, 0.4), Lighter(look.eyes, 0.25),
                                                cy - 12, cy + 16));
  p.Ellipse(cx, cy + 3, 5.5, 8 * open, Flat(Darker(look.eyes, 0.75)));
  p.Disc(cx - 4, cy - 5 * open, 3.5, Flat(kWhite));
  p.Disc(cx + 4, cy + 8 * open, 1.6, Flat({255, 255, 255, 200}));
  p.Arc(cx, cy + 2, 17, kPi + 0.25, 2 * kPi - 0.25, 3.5, Flat(line));
}

}  // namespace

// Expression 0 is each person's everyday face; 1 is her strong feeling: Akane startled, Hina
// laughing with her eyes shut, Mio sad.
void PaintCharacter(Painter& p, Person who, int expression) {
  const Look look = LookOf(who);
  const Rgba hair_dark = Darker(look.hair, 0.35);
  const Rgba skin_line = Darker(look.skin, 0.35);

  // Hair behind the head and body.
  switch (look.hair_style) {
    case 0:  // ponytail falling behind the right shoulder
      p.Fill(300, 120, 420, 480, Turned(350, 170, -0.25, [](double u, double v) {
        const double t = v / 300;
        return v >= 0 && v <= 300 && std::abs(u) <= 40 * std::sin(kPi * std::min(t + 0.15, 1.0));
      }), Vertical(look.hair, hair_dark, 120, 480));
      break;
    case 1:  // two short tails
      p.Ellipse(176, 262, 22, 48, Flat(hair_dark));
      p.Ellipse(336, 262, 22, 48, Flat(hair_dark));
      break;
    case 2:  // long straight hair down the back
      p.RoundRect(164, 170, 348, 560, 50, Vertical(look.hair, hair_dark, 170, 560));
      break;
  }
  p.Ellipse(kCx, kHeadY - 20, 86, 92, Flat(hair_dark));

  // Body: neck, shoulders and the outfit, outlined.
  p.RoundRect(146, 314, 366, 660, 52, Flat(Darker(look.outfit, 0.55)));
  p.RoundRect(149, 317, 363, 660, 50, Vertical(Lighter(look.outfit, 0.08), Darker(look.outfit, 0.3),
                                               317, 600));
  p.Rect(236, 262, 276, 330, Flat(look.skin));
  p.Rect(236, 262, 276, 284, Flat(Darker(look.skin, 0.12)));
  switch (look.hair_style) {
    case 0: {  // sailor collar and a red scarf
      p.Polygon({{186, 322}, {326, 322}, {256, 402}}, Flat(kWhite));
      p.Polygon({{196, 322}, {316, 322}, {256, 388}}, Flat(look.outfit));
      p.Polygon({{234, 318}, {278, 318}, {256, 362}}, Flat(look.skin));
      p.Polygon({{256, 392}, {226, 376}, {232, 412}}, Flat(look.accent));
      p.Polygon({{256, 392}, {286, 376}, {280, 412}}, Flat(look.accent));
      p.Disc(256, 392, 8, Flat(Darker(look.accent, 0.2)));
      break;
    }
    case 1:  // cardigan over a white blouse with a bow
      p.Polygon({{226, 318}, {286, 318}, {272, 600}, {240, 600}}, Flat(kWhite));
      p.Polygon({{232, 318}, {280, 318}, {256, 350}}, Flat(look.skin));
      p.Polygon({{256, 356}, {234, 344}, {234, 368}}, Flat(look.accent));
      p.Polygon({{256, 356}, {278, 344}, {278, 368}}, Flat(look.accent));
      for (double y = 400; y < 600; y += 40) p.Disc(282, y, 4, Flat(Darker(look.outfit, 0.4)));
      break;
    case 2:  // blazer with lapels and a tie
      p.Polygon({{236, 318}, {276, 318}, {256, 420}}, Flat(kWhite));
      p.Polygon({{236, 318}, {276, 318}, {256, 350}}, Flat(look.skin));
      p.Polygon({{250, 352}, {262, 352}, {266, 430}, {256, 444}, {246, 430}}, Flat(Opaque(0x8A2A40)));
      p.Polygon({{222, 318}, {256, 420}, {214, 380}}, Flat(Darker(look.outfit, 0.25)));
      p.Polygon({{290, 318}, {256, 420}, {298, 380}}, Flat(Darker(look.outfit, 0.25)));
      break;
  }

  // The face.
  p.Fill(kCx - kFaceRx - 3, kHeadY - kFaceRy - 3, kCx + kFaceRx + 3, kHeadY + kFaceRy + 3,
         FaceShape(2.5), Flat(WithAlpha(skin_line, 200)));
  p.Fill(kCx - kFaceRx, kHeadY - kFaceRy, kCx + kFaceRx, kHeadY + kFaceRy, FaceShape(0),
         Vertical(look.skin, Darker(look.skin, 0.06), kHeadY - kFaceRy, kHeadY + kFaceRy));

  const bool startled = who == Person::Akane && expression == 1;
  const bool laughing = who == Person::Hina && expression == 1;
  const bool sad = who == Person::Mio && expression == 1;
  const Rgba brow = Darker(look.hair, 0.3);
  const double eye_y = kHeadY + 14;
  const double open = sad ? 0.8 : startled ? 1.12 : 1.0;
  Eye(p, kCx - 30, eye_y, look, laughing, open);
  Eye(p, kCx + 30, eye_y, look, laughing, open);
  // Brows: raised when startled, slanting up in the middle when sad.
  const double lift = startled ? -10 : 0, tilt = sad ? 7 : 0;
  p.Line(kCx - 44, eye_y - 26 + lift + tilt, kCx - 18, eye_y - 28 + lift - tilt, 3.5, Flat(brow));
  p.Line(kCx + 18, eye_y - 28 + lift - tilt, kCx + 44, eye_y - 26 + lift + tilt, 3.5, Flat(brow));
  p.Line(kCx + 1, eye_y + 22, kCx - 2, eye_y + 27, 2, Flat(skin_line));
  // Cheeks, stronger when laughing.
  const double blush = laughing ? 110 : startled ? 80 : 55;
  p.Ellipse(kCx - 42, eye_y + 28, 14, 6, Flat({255, 120, 130, blush}));
  p.Ellipse(kCx + 42, eye_y + 28, 14, 6, Flat({255, 120, 130, blush}));
  // The mouth.
  const Rgba lips = Opaque(0xB0424A);
  const double mouth_y = kHeadY + 52;
  if (startled) {
    p.Ellipse(kCx, mouth_y + 4, 8, 10, Flat(lips));
    p.Ellipse(kCx, mouth_y + 9, 5, 4, Flat(Opaque(0xF08A90)));
  } else if (laughing) {
    p.Fill(kCx - 16, mouth_y - 2, kCx + 16, mouth_y + 16, [=](double x, double y) {
      const double u = (x - kCx) / 15, v = (y - (mouth_y - 2)) / 16;
      return v >= 0 && u * u + v * v <= 1;
    }, Flat(lips));
    p.Ellipse(kCx, mouth_y + 9, 8, 4, Flat(Opaque(0xF08A90)));
  } else if (sad) {
    p.Arc(kCx, mouth_y + 12, 9, kPi + 0.6, 2 * kPi - 0.6, 2.5, Flat(lips));
  } else {
    p.Arc(kCx, mouth_y - 6, 12, 0.45, kPi - 0.45, 2.5, Flat(lips));
  }

  // Front hair: a cap over the head cut into pointed bangs, and locks beside the face.
  const double bang_base = kHeadY - 40;
  p.Fill(kCx - 92, kHeadY - 120, kCx + 92, kHeadY + 10, [=](double x, double y) {
    const double u = (x - kCx) / 88, v = (y - (kHeadY - 24)) / 94;
    const double zig = std::abs(std::sin((x - kCx) / 176 * kPi * 5));
    return u * u + v * v <= 1 && y <= bang_base + 24 * zig + (std::abs(x - kCx) > 60 ? 60 : 0);
  }, Vertical(Lighter(look.hair, 0.12), look.hair, kHeadY - 120, kHeadY));
  p.Arc(kCx - 20, kHeadY - 74, 36, kPi + 0.5, kPi + 1.4, 5, Flat({255, 255, 255, 70}));
  const double lock = look.hair_style == 1 ? 44 : 70;
  p.Ellipse(kCx - 70, kHeadY + 10, 16, lock, Flat(look.hair));
  p.Ellipse(kCx + 70, kHeadY + 10, 16, lock, Flat(look.hair));

  // Accessories: a red ribbon on the ponytail, a star clip, a white hairband.
  switch (look.hair_style) {
    case 0:
      p.Polygon({{340, 130}, {312, 110}, {314, 150}}, Flat(look.accent));
      p.Polygon({{340, 130}, {368, 110}, {366, 150}}, Flat(look.accent));
      p.Disc(340, 130, 7, Flat(Darker(look.accent, 0.25)));
      break;
    case 1: {
      double star[10][2];
      for (int k = 0; k < 10; ++k) {
        const double a = -kPi / 2 + k * kPi / 5, r = k % 2 ? 6 : 14;
        star[k][0] = 306 + r * std::cos(a);
        star[k][1] = 128 + r * std::sin(a);
      }
      p.Polygon(star, Flat(look.accent));
      break;
    }
    case 2:
      p.Arc(kCx, kHeadY - 10, 88, kPi + 0.45, 2 * kPi - 0.45, 7, Flat(look.accent));
      break;
  }
}

// A paper lantern hanging from a cord and swinging: frames 0-3 at −12, −4, 4 and 12 degrees. The
// pivot lies near the picture's top right, so a slot at the right standard position shows it in
// the screen's upper right corner.
void PaintLanternFrame(Painter& p, int frame) {
  const double angle = (-12 + 8.0 * frame) * kPi / 180;
  const double px = 380, py = 0, cord = 150;
  const double cx = px - cord * std::sin(angle), cy = py + cord * std::cos(angle);
  p.Line(px, py, cx, cy, 2.5, Flat(Opaque(0x2A1A10)));
  p.Disc(cx, cy + 70, 110, Radial(cx, cy + 70, 110, {255, 170, 80, 100}, {255, 120, 40, 0}));
  const double bx = cx - 70 * std::sin(angle), by = cy + 70 * std::cos(angle);
  p.Fill(bx - 80, by - 80, bx + 80, by + 80, Turned(bx, by, angle, [](double u, double v) {
    return (u / 50) * (u / 50) + (v / 64) * (v / 64) <= 1;
  }), Radial(bx - 12, by - 14, 80, Opaque(0xFFA060), Opaque(0xB0241A)));
  for (int k = -3; k <= 3; ++k)
    p.Fill(bx - 80, by - 80, bx + 80, by + 80, Turned(bx, by, angle, [k](double u, double v) {
      const double y = k * 15.0;
      const double half = 50 * std::sqrt(std::max(0.0, 1 - (y / 64) * (y / 64)));
      return std::abs(v - y) < 0.9 && std::abs(u) <= half;
    }), Flat({90, 20, 10, 170}));
  for (int end = -1; end <= 1; end += 2)
    p.Fill(bx - 80, by - 80, bx + 80, by + 80, Turned(bx, by, angle, [end](double u, double v) {
      return std::abs(u) <= 24 && std::abs(v - end * 66) <= 7;
    }), Flat(Opaque(0x1A1410)));
  // The character on the paper: "灯" in black ink.
  Label(p, bx, by - 16, "灯", 30, {30, 10, 10, 220});
}
