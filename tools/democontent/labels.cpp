// Text on the demo's pictures, rasterised by the engine's own font code with the faces the game
// itself asks for, so labels look like the captions the screens draw at run time.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "painter.h"
#include "platform/font.h"
#include "platform/sjis.h"

namespace {

bool g_missing_font = false;

platform::Font* FontFor(Face face, int height) {
  static std::map<std::pair<Face, int>, std::unique_ptr<platform::Font>> fonts;
  auto& slot = fonts[{face, height}];
  if (!slot) {
    platform::FontDesc desc;
    desc.height = height;
    slot = platform::Font::Create(
        SJ(face == Face::Fixed ? "ＭＳ ゴシック" : "ＭＳ Ｐゴシック"), desc);
    if (!slot && !g_missing_font) {
      std::fprintf(stderr, "democontent: no Japanese font found; labels stay empty\n");
      g_missing_font = true;
    }
  }
  return slot.get();
}

}  // namespace

int Label(Painter& p, double x, double y, std::string_view utf8, int height, Rgba colour,
          Align align, Rgba outline, Face face) {
  platform::Font* font = FontFor(face, height);
  if (!font) return -1;
  platform::TextBitmap bitmap;
  font->RenderLine(SJ(utf8), bitmap);
  double left = x;
  if (align == Align::Centre) left = x - bitmap.advance / 2.0;
  if (align == Align::Right) left = x - bitmap.advance;
  const int bx = static_cast<int>(std::lround(left)) + bitmap.left;
  const int by = static_cast<int>(std::lround(y)) + bitmap.top;
  if (bitmap.width > 0) {
    if (outline.a > 0)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
          if (dx || dy)
            p.Coverage(bx + dx, by + dy, bitmap.width, bitmap.height, bitmap.coverage.data(),
                       outline);
    p.Coverage(bx, by, bitmap.width, bitmap.height, bitmap.coverage.data(), colour);
  }
  return bitmap.advance;
}

void VerticalLabel(Painter& p, double x, double y, std::string_view utf8, int height, double step,
                   Rgba colour, Rgba outline) {
  // One UTF-8 character at a time: its lead byte tells its length.
  size_t at = 0;
  for (int i = 0; at < utf8.size(); ++i) {
    const unsigned char lead = static_cast<unsigned char>(utf8[at]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    Label(p, x, y + step * i, utf8.substr(at, length), height, colour, Align::Centre, outline);
    at += length;
  }
}

bool LabelsComplete() { return !g_missing_font; }
