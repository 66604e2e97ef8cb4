// The settings screen's flag cloth. The screen lays the picture over its mesh one quarter per
// cell, so across the flag the whole picture repeats every two cells each way: it is painted as
// a seamless tile (everything that touches an edge continues on the opposite edge).
#include <cmath>

#include "art.h"

namespace {

const Rgba kCloth{122, 30, 44, 255};
const Rgba kBand{226, 178, 92, 255};

// A rectangle drawn again one tile to the left, right, up and down, so it wraps.
void WrappedRect(Painter& p, double x0, double y0, double x1, double y1, const Shade& shade) {
  for (int dx = -1; dx <= 1; ++dx)
    for (int dy = -1; dy <= 1; ++dy)
      p.Rect(x0 + 256.0 * dx, y0 + 256.0 * dy, x1 + 256.0 * dx, y1 + 256.0 * dy, shade);
}

}  // namespace

void PaintOptionFlag(Painter& p) {
  p.Rect(0, 0, 256, 256, Flat(kCloth));
  // The weave: faint threads every 8 pixels both ways.
  for (int i = 0; i < 256; i += 8) {
    p.Rect(i, 0, i + 1, 256, Flat({255, 255, 255, 16}));
    p.Rect(0, i + 4, 256, i + 5, Flat({0, 0, 0, 24}));
  }
  // Gold bands crossing at the tile's corners, with dark pin stripes beside them.
  WrappedRect(p, -12, 0, 12, 256, Flat(WithAlpha(kBand, 210)));
  WrappedRect(p, 0, -12, 256, 12, Flat(WithAlpha(kBand, 210)));
  for (double at : {-16.0, 15.0}) {
    WrappedRect(p, at, 0, at + 1.5, 256, Flat({40, 10, 16, 200}));
    WrappedRect(p, 0, at, 256, at + 1.5, Flat({40, 10, 16, 200}));
  }
  // Thin stripes halfway between the bands.
  p.Rect(126, 0, 130, 256, Flat(WithAlpha(kBand, 90)));
  p.Rect(0, 126, 256, 130, Flat(WithAlpha(kBand, 90)));
  // The emblem between the bands: a lantern's flame in a diamond, in each quarter of the tile.
  for (double cx : {64.0, 192.0})
    for (double cy : {64.0, 192.0}) {
      const double outer[4][2] = {{cx, cy - 34}, {cx + 34, cy}, {cx, cy + 34}, {cx - 34, cy}};
      const double inner[4][2] = {{cx, cy - 27}, {cx + 27, cy}, {cx, cy + 27}, {cx - 27, cy}};
      p.Polygon(outer, Flat(kBand));
      p.Polygon(inner, Flat(Darker(kCloth, 0.35)));
      p.Ellipse(cx, cy + 3, 9, 13, Flat({255, 214, 120, 255}));
      p.Ellipse(cx, cy + 6, 5, 7, Flat({255, 250, 220, 255}));
      p.Disc(cx, cy - 14, 2.5, Flat(kBand));
    }
}
