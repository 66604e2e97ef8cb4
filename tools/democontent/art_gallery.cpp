// The galleries' pictures: the event pictures the demo's endings show (a background with a
// character in it), their thumbnails for the picture gallery (208 × 156) and the memory replay
// (160 × 120), shrunk from the event picture, the two "not released" pictures, and the four
// heroine pictures the galleries stand beside their lists.
#include <algorithm>
#include <vector>

#include "art.h"

namespace {

// A character at standard place 2 of the story (x 144), over a background.
void WithCharacter(Painter& p, void (*background)(Painter&), Person who, int expression) {
  background(p);
  p.SetView(-144, 0, 0, 0, p.Width(), p.Height());
  PaintCharacter(p, who, expression);
  p.ResetView();
}

// The fireworks over the river: rings of sparks in three colours.
void Fireworks(Painter& p) {
  PaintRiverside(p);
  const struct {
    double x, y, r;
    uint32_t rgb;
  } bursts[] = {{220, 150, 90, 0xFFD060}, {520, 110, 120, 0xFF6080}, {650, 230, 70, 0x80D0FF}};
  for (const auto& b : bursts) {
    for (int i = 0; i < 24; ++i) {
      const double a = 2 * kPi * i / 24;
      p.Line(b.x + 0.3 * b.r * std::cos(a), b.y + 0.3 * b.r * std::sin(a), b.x + b.r * std::cos(a),
             b.y + b.r * std::sin(a), 3, Flat(WithAlpha(Opaque(b.rgb), 220)));
    }
    p.Disc(b.x, b.y, 6, Flat(kWhite));
  }
}

void PaintEvent(Painter& p, GalleryScene scene) {
  switch (scene) {
    case GalleryScene::Window: WithCharacter(p, PaintRoom, Person::Akane, 0); break;
    case GalleryScene::Fireworks: Fireworks(p); break;
    case GalleryScene::Hand: WithCharacter(p, PaintNightTown, Person::Hina, 1); break;
    case GalleryScene::Search: WithCharacter(p, PaintRiverside, Person::Mio, 0); break;
  }
}

}  // namespace

void PaintEventPicture(Painter& p, GalleryScene scene) {
  PaintEvent(p, scene);
}

// The event picture painted at 800 × 600 and shrunk by averaging the source pixels under each
// target pixel.
void PaintGalleryThumbnail(Painter& p, GalleryScene scene) {
  CImage32 full;
  full.Create(800, 600);
  Painter big(full);
  PaintEvent(big, scene);
  const int w = p.Width(), h = p.Height();
  CImage32& out = p.Image();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int x0 = x * 800 / w, x1 = std::max(x0 + 1, (x + 1) * 800 / w);
      const int y0 = y * 600 / h, y1 = std::max(y0 + 1, (y + 1) * 600 / h);
      int sum[3] = {0, 0, 0};
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx)
          for (int c = 0; c < 3; ++c) sum[c] += full.Pixels()[(sy * 800 + sx) * 4 + c];
      const int n = (x1 - x0) * (y1 - y0);
      uint8_t* q = out.Pixels() + (static_cast<size_t>(y) * w + x) * 4;
      for (int c = 0; c < 3; ++c) q[c] = static_cast<uint8_t>(sum[c] / n);
      q[3] = 255;
    }
}

// Light on dark, so the galleries' tints (grey, blue) show through their additive blend.
void PaintNotReleased(Painter& p) {
  const double w = p.Width(), h = p.Height();
  p.Rect(0, 0, w, h, Flat(Opaque(0x202020)));
  p.RoundRect(6, 6, w - 6, h - 6, 8, Flat(Opaque(0x404040)));
  Label(p, w / 2, h / 2 - 20, "?", 28, Opaque(0xE0E0E0), Align::Centre);
  Label(p, w / 2, h / 2 + 14, "未公開", 16, Opaque(0xC0C0C0), Align::Centre);
}

void PaintHeroine(Painter& p, int heroine) {
  static constexpr Person kWho[4] = {Person::Akane, Person::Hina, Person::Mio, Person::Hina};
  PaintCharacter(p, kWho[heroine], heroine == 3 ? 1 : 0);
}
