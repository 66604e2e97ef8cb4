// The town map's pictures: the 800 × 600 map of the lantern town seen from above, the icons of
// the five characters (96 × 96 with alpha, two frames that bob up and down) and the nine places'
// caption pictures (320 × 96 with alpha).
#include <cmath>
#include <cstdint>

#include "art.h"

namespace {

// The places as the engine anchors them, in place order, with the caption's name and colour.
struct PlaceArt {
  double x, y;
  const char* name;
  uint32_t rgb;
};
constexpr PlaceArt kPlaces[kTownPlaceCount] = {
    {604, 388, "コンビニ", 0x3A8FD8},      {181, 150, "灯ヶ浜", 0x2AA7C8},
    {96, 331, "駅前", 0x8C7A6A},           {340, 306, "ゲームセンター", 0xB04AC0},
    {709, 231, "四ツ谷峠", 0x5A7A3A},      {472, 429, "自宅", 0xD08A3A},
    {460, 102, "カーショップ", 0xC04040},  {560, 224, "中央公園", 0x3A9A4A},
    {262, 477, "ショッピングモール", 0xD0A020},
};

// Hair, face and clothes of the five: Akane, Hina, Mio, the fourth heroine and the town guide.
struct Look {
  uint32_t hair, clothes;
};
constexpr Look kLooks[kTownCharacterCount] = {
    {0x8A2A1A, 0xE05A4A}, {0x3A2A1A, 0xF0B040}, {0x1A1A3A, 0x4A7AD0},
    {0xB08A4A, 0x9A5AC0}, {0x5A5A5A, 0x3AA080},
};

}  // namespace

void PaintTownMap(Painter& p) {
  // Land, the sea in the top-left corner with its beach, hills in the top right.
  p.Rect(0, 0, 800, 600, Vertical(Opaque(0xB8C89A), Opaque(0xA8B888), 0, 600));
  p.Polygon({{0, 0}, {330, 0}, {250, 60}, {120, 120}, {0, 200}}, Flat(Opaque(0x3A78B0)));
  p.Polygon({{330, 0}, {360, 0}, {270, 80}, {130, 150}, {0, 230}, {0, 200}, {120, 120}, {250, 60}},
            Flat(Opaque(0xE8D8A0)));
  p.Polygon({{620, 0}, {800, 0}, {800, 300}, {700, 180}}, Flat(Opaque(0x7A9A5A)));
  // The park.
  p.RoundRect(500, 180, 630, 270, 18, Flat(Opaque(0x6AAA5A)));
  uint32_t seed = 7;
  for (int i = 0; i < 30; ++i)
    p.Disc(510 + Next(seed) % 110, 190 + Next(seed) % 70, 5, Flat(Opaque(0x3A7A3A)));
  // Blocks of houses, between the roads.
  for (int i = 0; i < 60; ++i) {
    const double x = Next(seed) % 760, y = 170 + Next(seed) % 410;
    if (x > 490 && x < 640 && y > 170 && y < 280) continue;
    const double w = 14 + Next(seed) % 22, h = 12 + Next(seed) % 18;
    p.Rect(x, y, x + w, y + h, Flat(Opaque(0x9A8878)));
    p.Rect(x + 2, y + 2, x + w - 2, y + h - 2, Flat(Opaque(0xC8B8A8)));
  }
  // Roads: the main street, the railway by the station, the pass road up the hill.
  const Rgba road = Opaque(0x707070), line = Opaque(0xF0F0E0);
  p.Line(0, 300, 800, 400, 14, Flat(road));
  p.Line(300, 120, 420, 600, 12, Flat(road));
  p.Line(40, 0, 60, 600, 6, Flat(Opaque(0x4A4A4A)));
  p.Line(520, 380, 800, 160, 10, Flat(road));
  p.Line(0, 300, 800, 400, 1.5, Flat(line));
  // A dot at each place, under the icons.
  for (const PlaceArt& place : kPlaces) {
    p.Disc(place.x, place.y, 10, Flat(Opaque(0x303030)));
    p.Disc(place.x, place.y, 7, Flat(Opaque(place.rgb)));
  }
  Label(p, 790, 570, "灯町 案内図", 20, kWhite, Align::Right, {40, 40, 40, 220});
}

// A round badge with the character's head and shoulders; frame 1 sits 4 pixels higher.
void PaintTownIcon(Painter& p, int character, int frame) {
  const Look& look = kLooks[character];
  const double lift = frame ? 4 : 0;
  p.Disc(48, 52 - lift, 40, Flat({0, 0, 0, 90}));
  p.Disc(48, 48 - lift, 40, Flat(kWhite));
  p.Disc(48, 48 - lift, 36, Flat(Opaque(0xF4EEE0)));
  p.Ellipse(48, 80 - lift, 26, 16, Flat(Opaque(look.clothes)));
  p.Disc(48, 42 - lift, 18, Flat(Opaque(look.hair)));
  p.Disc(48, 46 - lift, 14, Flat(Opaque(0xF8D8C0)));
  p.Disc(43, 46 - lift, 2, Flat(Opaque(0x302020)));
  p.Disc(53, 46 - lift, 2, Flat(Opaque(0x302020)));
  if (character == kTownCharacterCount - 1)  // the guide's cap
    p.Rect(32, 26 - lift, 64, 34 - lift, Flat(Opaque(0x2A5A4A)));
}

// The place's picture: a coloured band with its name; the text beside it is the engine's.
void PaintTownCaption(Painter& p, int place) {
  const PlaceArt& art = kPlaces[place];
  p.RoundRect(0, 0, 320, 96, 10, Vertical(Lighter(Opaque(art.rgb), 0.3), Opaque(art.rgb), 0, 96));
  p.RoundRect(4, 4, 316, 40, 8, Flat({255, 255, 255, 50}));
  Label(p, 16, 30, art.name, 30, kWhite, Align::Left, {30, 30, 30, 200});
}
