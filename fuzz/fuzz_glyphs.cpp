// The special glyphs are a 4-bit bitmap in the system archive, which authors make by hand. Reads
// the input as that picture and, when it is taken, draws all sixteen glyphs into a cell; a
// refused picture must leave the one loaded before unchanged.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "graphics/glyph_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SpecialGlyphs picture;
  picture.bits.fill(0x5A);
  if (!LoadSpecialGlyphsFromMemory(std::span<const uint8_t>(data, size), picture)) {
    for (uint8_t b : picture.bits)
      if (b != 0x5A) std::abort();
    return 0;
  }
  picture.loaded = true;
  static std::array<uint16_t, kGlyphCellTexels> cell;
  for (uint32_t code = kFirstSpecialGlyph; code < kFirstSpecialGlyph + 16; ++code) {
    cell.fill(0);
    const char character[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    bool used = false;
    RenderGlyph(GlyphCellSpan(cell), std::string_view(character, 2), static_cast<int>(code & 7) - 4,
                static_cast<int>(code & 3) - 2, 0x0FFF, nullptr, &picture, &used);
    if (!used) std::abort();
  }
  return 0;
}
