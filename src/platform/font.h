// Stands in for the system's logical fonts as the game uses them: the fonts behind the caption
// drawer (lines of Shift_JIS text as coverage bitmaps) and the 4-bit grey glyph outlines the
// glyph cells are made from. The Windows face names the game asks for map through a face table
// to installed fonts found with fontconfig; FreeType rasterises. All fonts share one FreeType
// library and one opened face per font file; each font keeps its own size. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// What the game asks of a font, in the system's units.
struct FontDesc {
  int height = 0;  // cell height in pixels (ascent + descent)
  int width = 0;  // half-width character width in pixels; 0 keeps the face's proportions
  int weight = 400;  // 100–900; 600 and above is bold
  bool italic = false;
};

struct FontMetrics {
  int height = 0;  // line height = ascent + descent = the requested height
  int ascent = 0;  // baseline below the top of the line
  int descent = 0;
};

// An installed font chosen for a face name.
struct FaceMatch {
  std::string family;  // UTF-8, as fontconfig names it
  std::string file;
  int index = 0;  // face index inside a collection
};

// One line of text, laid out and rasterised. `left` and `top` place the bitmap relative to the
// top-left corner of the line's logical box (advance × line height); ink may stick out of the box
// (italic overhang, glyphs reaching above the ascent), so they can be negative.
struct TextBitmap {
  int advance = 0;  // logical width: the sum of the characters' advances
  int left = 0;
  int top = 0;
  int width = 0;  // 0 when the line has no ink
  int height = 0;
  std::vector<uint8_t> coverage;  // width × height bytes, 0–255, rows top-down
};

// One character as a 4-bit grey glyph outline: levels 0–16 in rows of `pitch` bytes (the ink
// width rounded up to 4). The ink box's top-left lies origin_x right of the pen and origin_y above
// the baseline; so in a cell whose top is the top of the line it goes to column origin_x and row
// ascent − origin_y (CellX, CellY). A blank character (a space) has no ink but an advance.
struct GlyphBitmap {
  int black_box_x = 0;
  int black_box_y = 0;
  int origin_x = 0;
  int origin_y = 0;
  int advance = 0;
  int ascent = 0;
  int pitch = 0;
  std::span<const uint8_t> levels;  // pitch × black_box_y; valid until the font renders again

  int CellX() const { return origin_x; }
  int CellY() const { return ascent - origin_y; }
};

// The installed font for a face name (Shift_JIS), or nothing. Windows face names go through the
// face table; any other name is looked up as a family of its own. Logs at level 2 when none fits.
std::optional<FaceMatch> FindFace(std::string_view face_sjis);

class Font {
 public:
  // Nothing when no installed font fits the face (FindFace has logged it) or the file does not
  // open.
  static std::unique_ptr<Font> Create(std::string_view face_sjis, const FontDesc& desc);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const FontMetrics& Metrics() const;
  const FaceMatch& Face() const;

  // Lays out and rasterises one line of Shift_JIS text (line breaks are the caller's). Reuses
  // the capacity of `out`. Bytes that are not Shift_JIS draw as '?'.
  void RenderLine(std::string_view sjis, TextBitmap& out);

  // Rasterises one character given as the system's glyph call takes it: a one-byte code, or
  // lead byte << 8 | trail byte. False (and a blank glyph) for a code that is not a character.
  bool RenderGlyph(uint32_t code, GlyphBitmap& out);

  struct Impl;

 private:
  explicit Font(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

// Number of allocations FreeType has made since the shared library was created (0 when no font
// is open). Rasterising allocates nothing once a font has met its glyphs; tests check this.
int64_t FontLibraryAllocations();

}  // namespace platform
