// Drawing on the setup window's 480 × 360 surface (a CDIB, rows bottom-up, blue-green-red-alpha):
// solid rectangles and lines of Shift_JIS text in the program's one font.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/font.h"
#include "resource/dib.h"

namespace setup {

struct Box {
  int left, top, right, bottom;
};

// 0xRRGGBB.
void FillBox(CDIB& canvas, Box box, uint32_t rgb);
// Text with "\n" line breaks from the top of the box, each line at the left or centred; clipped
// to the box. Nothing without a font.
void DrawTextBox(CDIB& canvas, platform::Font* font, Box box, std::string_view sjis, uint32_t rgb,
                 bool centred);
// The width of one line in the font (0 without one).
int TextWidth(platform::Font* font, std::string_view sjis);

}  // namespace setup
