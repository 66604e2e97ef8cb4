#include "setup/canvas_text.h"

#include <algorithm>
#include <string>

namespace setup {
namespace {

uint8_t* PixelAt(CDIB& canvas, int x, int y) {
  return canvas.Bits() + (static_cast<size_t>(canvas.Height() - 1 - y) * canvas.Width() + x) * 4;
}

}  // namespace

void FillBox(CDIB& canvas, Box box, uint32_t rgb) {
  if (!canvas.Bits()) return;
  const int l = std::max(box.left, 0), t = std::max(box.top, 0);
  const int r = std::min(box.right, canvas.Width()), b = std::min(box.bottom, canvas.Height());
  for (int y = t; y < b; ++y)
    for (int x = l; x < r; ++x) {
      uint8_t* p = PixelAt(canvas, x, y);
      p[0] = static_cast<uint8_t>(rgb);
      p[1] = static_cast<uint8_t>(rgb >> 8);
      p[2] = static_cast<uint8_t>(rgb >> 16);
      p[3] = 0;
    }
}

int TextWidth(platform::Font* font, std::string_view sjis) {
  if (!font) return 0;
  platform::TextBitmap bitmap;
  font->RenderLine(sjis, bitmap);
  return bitmap.advance;
}

void DrawTextBox(CDIB& canvas, platform::Font* font, Box box, std::string_view sjis, uint32_t rgb,
                 bool centred) {
  if (!font || !canvas.Bits()) return;
  const int line_height = font->Metrics().height;
  platform::TextBitmap bitmap;
  int top = box.top;
  size_t pos = 0;
  while (pos <= sjis.size() && top < box.bottom) {
    size_t end = sjis.find('\n', pos);
    if (end == std::string_view::npos) end = sjis.size();
    font->RenderLine(sjis.substr(pos, end - pos), bitmap);
    const int left =
        centred ? box.left + (box.right - box.left - bitmap.advance) / 2 : box.left;
    for (int y = 0; y < bitmap.height; ++y) {
      const int cy = top + bitmap.top + y;
      if (cy < std::max(box.top, 0) || cy >= std::min(box.bottom, canvas.Height())) continue;
      for (int x = 0; x < bitmap.width; ++x) {
        const int cx = left + bitmap.left + x;
        if (cx < std::max(box.left, 0) || cx >= std::min(box.right, canvas.Width())) continue;
        const int a = bitmap.coverage[static_cast<size_t>(y) * bitmap.width + x];
        if (a == 0) continue;
        uint8_t* p = PixelAt(canvas, cx, cy);
        for (int c = 0; c < 3; ++c) {
          const int fg = static_cast<int>(rgb >> (8 * c) & 0xFF);
          p[c] = static_cast<uint8_t>((fg * a + p[c] * (255 - a) + 127) / 255);
        }
      }
    }
    top += line_height;
    pos = end + 1;
  }
}

}  // namespace setup
