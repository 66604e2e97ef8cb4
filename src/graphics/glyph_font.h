// Glyph cells: Shift_JIS characters rasterised at run time into 32 × 32 cells of A4R4G4B4
// texels whose alpha nibble is the glyph's grey level, the sixteen special glyphs drawn from the
// game's own 4-bit picture, and CGlyphFont, which sets one short string (a choice label) into
// its own 8 × 8-cell sheet and draws it a fixed 28 pixels per character.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "graphics/device.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "platform/font.h"
#include "resource/image.h"

class CPackFile;

inline constexpr int kGlyphCell = 32;  // cell width and height in texels
inline constexpr int kGlyphCellTexels = kGlyphCell * kGlyphCell;
inline constexpr int kGlyphSheet = 256;  // sheets are 8 × 8 cells
inline constexpr uint16_t kGlyphWhite = 0x0FFF;  // white texels whose alpha is the level
inline constexpr uint32_t kFullWidthSpace = 0x8140;  // never rasterised
inline constexpr uint32_t kFirstSpecialGlyph = 0x8740;  // 0x8740–0x874F come from the picture

using GlyphCellSpan = std::span<uint16_t, kGlyphCellTexels>;

// The sixteen special glyphs: a 128 × 128 picture at 4 bits per pixel, rows top-down, 64 bytes
// a row, the high nibble the left pixel; glyph n is the 32 × 32 block at column n mod 4, row
// n div 4, and a pixel's value is its level.
struct SpecialGlyphs {
  static constexpr int kSize = 128;
  static constexpr int kRowBytes = 64;
  static constexpr int kBytes = kRowBytes * kSize;  // 8192

  std::array<uint8_t, kBytes> bits{};
  bool loaded = false;

  int Level(int n, int column, int row) const {
    int px = (n % 4) * kGlyphCell + column;
    int py = (n / 4) * kGlyphCell + row;
    uint8_t b = bits[py * kRowBytes + px / 2];
    return (px & 1) ? (b & 0x0F) : (b >> 4);
  }
};

// Reads a 4-bit bitmap file (already in memory) into the picture: bit count 4 at offset 28,
// 8,192 bytes of pixels from offset 118, rows flipped from the file's bottom-up order. False,
// with the picture unchanged, for a file that is not such a bitmap or is too short to hold it.
bool LoadSpecialGlyphsFromMemory(std::span<const uint8_t> file, SpecialGlyphs& picture);
// The same for an entry of the system archive ("textbox\default_font.bmp"). False, picture
// unchanged, when the entry is missing.
bool LoadSpecialGlyphs(const CPackFile& system, const std::string& name, SpecialGlyphs& picture);

// The glyph face: "ＭＳ ゴシック" at height 24, weight 500. Nothing (logged) when no installed
// font fits; glyphs then stay empty.
std::unique_ptr<platform::Font> CreateGlyphFace();

// Rasterises one character (1 or 2 bytes) into a 32 × 32 cell with its top-left at the offset:
// each texel of level 1–15 becomes base + level × 0x1000 (level 16 counts as 15); level 0 leaves
// the texel alone. Ink outside the cell is clipped. The full-width space writes nothing; the
// codes 0x8740–0x874F come from the special glyphs when a picture is loaded, and then
// *used_special is set. `font` may be none (nothing is drawn). Returns 1.
int RenderGlyph(GlyphCellSpan cell, std::string_view character, int x_offset, int y_offset,
                uint16_t base, platform::Font* font, const SpecialGlyphs* special,
                bool* used_special = nullptr);

class CGlyphFont {
 public:
  static constexpr int kCells = 64;
  static constexpr int kMaxChars = kCells - 1;  // a text must have fewer than 64 characters
  static constexpr int kAdvance = 28;

  CGlyphFont();
  ~CGlyphFont();
  CGlyphFont(const CGlyphFont&) = delete;
  CGlyphFont& operator=(const CGlyphFont&) = delete;

  // Once the device exists: sheet, cells, work cell and face. False when the sheet cannot be
  // made.
  bool Init(gfx::Device& device);
  void SetPosition(float x, float y) {
    x_ = x;
    y_ = y;
  }
  // 0 and the text stored for fewer than 64 characters; −1 otherwise (count −1, the stored text
  // unchanged, nothing drawn).
  int SetText(std::string_view text);
  // Rasterises the stored text into the sheet; Draw then draws it as often as wanted.
  void BuildGlyphs();
  void Draw();
  int Width() const { return count_ > 0 ? count_ * kAdvance : 0; }
  void SetAlpha(int a) { alpha_ = a < 0 ? 0 : a > 255 ? 255 : a; }
  void SetColor(uint32_t rgb) { color_ = rgb & 0xFFFFFF; }
  void SetBaseColor(uint16_t base) { base_color_ = base; }
  // Borrowed; none draws the special codes from the face like any other character.
  void SetSpecialGlyphs(const SpecialGlyphs* picture) { special_ = picture; }

  int Count() const { return count_; }
  const std::string& Text() const { return text_; }
  float X() const { return x_; }
  float Y() const { return y_; }
  int Alpha() const { return alpha_; }
  uint16_t BaseColor() const { return base_color_; }
  const CTexture& Sheet() const { return sheet_; }

 private:
  float x_ = 0, y_ = 0;
  std::array<CSprite, kCells> cells_;
  CTexture sheet_;
  uint16_t base_color_ = kGlyphWhite;
  CImage16 work_;
  std::string text_;
  int count_ = 0;
  std::unique_ptr<platform::Font> font_;
  // Cells BuildGlyphs filled and which of them are blank (spaces), so Draw never shows a cell
  // that still holds an earlier text's glyph.
  int built_ = 0;
  std::array<bool, kCells> blank_{};
  const SpecialGlyphs* special_ = nullptr;
  int alpha_ = 255;
  uint32_t color_ = 0xFFFFFF;
  gfx::Device* device_ = nullptr;
};
