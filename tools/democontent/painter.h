// The drawing kit of the demo's pictures: straight-alpha colours, a painter that fills shapes on a
// CImage32 with antialiased edges, and text labels drawn with the engine's own fonts.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string_view>

#include "resource/image.h"

struct Rgba {
  double r, g, b, a;  // 0-255
};

inline Rgba Mix(Rgba p, Rgba q, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
          p.a + (q.a - p.a) * t};
}
inline Rgba Opaque(uint32_t rgb) {
  return {static_cast<double>(rgb >> 16 & 0xFF), static_cast<double>(rgb >> 8 & 0xFF),
          static_cast<double>(rgb & 0xFF), 255};
}
inline Rgba WithAlpha(Rgba c, double a) { return {c.r, c.g, c.b, a}; }
inline Rgba Lighter(Rgba c, double t) { return Mix(c, {255, 255, 255, c.a}, t); }
inline Rgba Darker(Rgba c, double t) { return Mix(c, {0, 0, 0, c.a}, t); }

inline constexpr Rgba kWhite{255, 255, 255, 255};
inline constexpr Rgba kGold{255, 200, 60, 255};
inline constexpr double kPi = 3.14159265358979323846;

using Inside = std::function<bool(double x, double y)>;
using Shade = std::function<Rgba(double x, double y)>;

inline Shade Flat(Rgba c) {
  return [c](double, double) { return c; };
}
inline Shade Vertical(Rgba top, Rgba bottom, double y0, double y1) {
  return [=](double, double y) { return Mix(top, bottom, (y - y0) / (y1 - y0)); };
}

// Paints shapes onto a CImage32 with straight-alpha "over" compositing. Edges are antialiased by
// 4 × 4 supersampling, so the art has soft alpha borders like hand-made interface pictures.
// Shapes are given in drawing coordinates; a view maps them into the image (drawing point
// (x, y) lands on pixel (x − origin x, y − origin y)) and clips to a rectangle of the image, so
// one large drawing can be cut into the cells of several pictures.
class Painter {
 public:
  explicit Painter(CImage32& image)
      : image_(image), clip_x1_(image.Width()), clip_y1_(image.Height()) {}
  int Width() const { return image_.Width(); }
  int Height() const { return image_.Height(); }
  CImage32& Image() { return image_; }

  void SetView(double origin_x, double origin_y, int clip_x0, int clip_y0, int clip_x1,
               int clip_y1) {
    origin_x_ = origin_x;
    origin_y_ = origin_y;
    clip_x0_ = std::max(0, clip_x0);
    clip_y0_ = std::max(0, clip_y0);
    clip_x1_ = std::min(Width(), clip_x1);
    clip_y1_ = std::min(Height(), clip_y1);
  }
  // Only the image rectangle [x0, x1) × [y0, y1) is painted, with no shift.
  void Clip(int x0, int y0, int x1, int y1) { SetView(0, 0, x0, y0, x1, y1); }
  void ResetView() { SetView(0, 0, 0, 0, Width(), Height()); }

  // Every pixel of the box [x0, x1) × [y0, y1) whose area the shape covers.
  void Fill(double x0, double y0, double x1, double y1, const Inside& inside, const Shade& shade) {
    const int ix0 = std::max(clip_x0_, static_cast<int>(std::floor(x0 - origin_x_)));
    const int iy0 = std::max(clip_y0_, static_cast<int>(std::floor(y0 - origin_y_)));
    const int ix1 = std::min(clip_x1_, static_cast<int>(std::ceil(x1 - origin_x_)));
    const int iy1 = std::min(clip_y1_, static_cast<int>(std::ceil(y1 - origin_y_)));
    for (int y = iy0; y < iy1; ++y)
      for (int x = ix0; x < ix1; ++x) {
        const double dx = x + origin_x_, dy = y + origin_y_;
        int hits = 0;
        for (int sy = 0; sy < 4; ++sy)
          for (int sx = 0; sx < 4; ++sx)
            if (inside(dx + (sx + 0.5) / 4, dy + (sy + 0.5) / 4)) ++hits;
        if (hits == 0) continue;
        Rgba c = shade(dx + 0.5, dy + 0.5);
        c.a *= hits / 16.0;
        Blend(x, y, c);
      }
  }

  // A coverage bitmap (0-255, rows top-down) at drawing position (x, y), in one colour.
  void Coverage(int x, int y, int w, int h, const uint8_t* coverage, Rgba c) {
    for (int row = 0; row < h; ++row)
      for (int column = 0; column < w; ++column) {
        const int ix = static_cast<int>(std::lround(x + column - origin_x_));
        const int iy = static_cast<int>(std::lround(y + row - origin_y_));
        const uint8_t v = coverage[static_cast<size_t>(row) * w + column];
        if (v == 0 || ix < clip_x0_ || iy < clip_y0_ || ix >= clip_x1_ || iy >= clip_y1_)
          continue;
        Blend(ix, iy, WithAlpha(c, c.a * v / 255.0));
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
    Ellipse(cx, cy, radius, radius, shade);
  }
  void Ellipse(double cx, double cy, double rx, double ry, const Shade& shade) {
    Fill(cx - rx, cy - ry, cx + rx, cy + ry, [=](double x, double y) {
      const double u = (x - cx) / rx, v = (y - cy) / ry;
      return u * u + v * v <= 1;
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
           const double len2 = dx * dx + dy * dy;
           const double t =
               len2 > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0, 1.0) : 0.0;
           const double ex = x - (ax + t * dx), ey = y - (ay + t * dy);
           return ex * ex + ey * ey <= half * half;
         }, shade);
  }
  // An arc of a circle from angle a0 to a1 (radians, clockwise from +x on screen), as a stroke.
  void Arc(double cx, double cy, double radius, double a0, double a1, double width,
           const Shade& shade) {
    constexpr int kSteps = 24;
    for (int i = 0; i < kSteps; ++i) {
      const double t0 = a0 + (a1 - a0) * i / kSteps, t1 = a0 + (a1 - a0) * (i + 1) / kSteps;
      Line(cx + radius * std::cos(t0), cy + radius * std::sin(t0), cx + radius * std::cos(t1),
           cy + radius * std::sin(t1), width, shade);
    }
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
  // A convex or concave polygon by the even-odd rule.
  template <size_t N>
  void Polygon(const double (&xy)[N][2], const Shade& shade) {
    double x0 = xy[0][0], x1 = x0, y0 = xy[0][1], y1 = y0;
    for (const auto& p : xy) {
      x0 = std::min(x0, p[0]);
      x1 = std::max(x1, p[0]);
      y0 = std::min(y0, p[1]);
      y1 = std::max(y1, p[1]);
    }
    Fill(x0, y0, x1, y1, [&xy](double x, double y) {
      bool in = false;
      for (size_t i = 0, j = N - 1; i < N; j = i++) {
        const double xi = xy[i][0], yi = xy[i][1], xj = xy[j][0], yj = xy[j][1];
        if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
      }
      return in;
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
  double origin_x_ = 0, origin_y_ = 0;
  int clip_x0_ = 0, clip_y0_ = 0, clip_x1_, clip_y1_;
};

// ---- text, through the engine's fonts (labels.cpp) ----

enum class Align { Left, Centre, Right };
enum class Face { Proportional, Fixed };  // the caption face and the glyph-cell face

// One line of UTF-8 text, its logical box's top at y and, by `align`, its left edge, centre or
// right edge at x; `outline` (alpha > 0) draws a one-pixel border around the letters first. The
// advance in pixels, or -1 when no font was found (nothing is drawn then).
int Label(Painter& p, double x, double y, std::string_view utf8, int height, Rgba colour,
          Align align = Align::Centre, Rgba outline = {0, 0, 0, 0}, Face face = Face::Proportional);
// The characters one below the other, each centred on x, `step` pixels apart from y down.
void VerticalLabel(Painter& p, double x, double y, std::string_view utf8, int height, double step,
                   Rgba colour, Rgba outline = {0, 0, 0, 0});
// True once every label could be drawn (a missing font is reported once on stderr).
bool LabelsComplete();

// A button face: a rounded box with a vertical gradient, a rim and a shine on top. The lit
// (highlighted) form is brighter, with a gold rim, so hovering shows at a glance.
inline void Button(Painter& p, double x0, double y0, double x1, double y1, Rgba base,
                   bool lit = false) {
  const double r = std::min(6.0, (y1 - y0) / 3);
  const Rgba face = lit ? Lighter(base, 0.2) : base;
  p.RoundRect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, r, Flat(lit ? kGold : Lighter(base, 0.4)));
  p.RoundRect(x0 + 2, y0 + 2, x1 - 2, y1 - 2, r - 1,
              Vertical(Lighter(face, 0.15), Darker(face, 0.35), y0, y1));
  p.RoundRect(x0 + 4, y0 + 3, x1 - 4, y0 + (y1 - y0) * 0.45, r - 2,
              Flat({255, 255, 255, lit ? 90.0 : 60.0}));
}

// A small fixed pseudo-random sequence, so the pictures are the same on every build.
inline uint32_t Next(uint32_t& seed) {
  seed = seed * 1664525u + 1013904223u;
  return seed >> 8;
}
