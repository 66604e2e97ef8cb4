// The setup program's pictures (entries of data.pkd): the 480 × 360 background, and each button
// in its plain and its pointed-at ("_s") form at the size the window draws it.
#include "art.h"

namespace {

// A night sky over a row of roofs with one lit lantern; the middle stays calm for the texts.
void PaintNight(Painter& p) {
  p.Rect(0, 0, 480, 360, Vertical(Opaque(0x101830), Opaque(0x2A2450), 0, 360));
  for (int i = 0; i < 40; ++i) {
    const double x = (i * 97) % 480, y = (i * 53) % 150;
    p.Disc(x, y, 0.8 + (i % 3) * 0.3, Flat({255, 255, 230, 140.0 + (i % 4) * 25}));
  }
  p.Polygon({{0, 360}, {0, 300}, {60, 280}, {120, 300}, {180, 276}, {260, 296}, {330, 270},
             {400, 292}, {480, 274}, {480, 360}},
            Flat(Opaque(0x0A0A14)));
  p.Disc(430, 250, 10, Flat({255, 190, 90, 230}));
  p.Disc(430, 250, 22, Flat({255, 190, 90, 40}));
}

}  // namespace

void PaintSetupBackground(Painter& p) {
  PaintNight(p);
  Label(p, 240, 20, "灯の町", 28, kGold, Align::Centre, {20, 10, 0, 200});
}

void PaintSetupButton(Painter& p, const char* label, bool lit) {
  Button(p, 0, 0, p.Width(), p.Height(), Opaque(0x4A3A70), lit);
  const int height = p.Height() >= 24 ? 16 : 14;
  Label(p, p.Width() / 2.0, (p.Height() - height) / 2.0, label, height, lit ? kGold : kWhite);
}
