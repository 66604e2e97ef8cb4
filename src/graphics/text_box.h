// CTEXTBOX: the story's dialogue window. An 800 × 128 band of 32 × 32 tiles with up to three
// lines of 30 characters, a name plate above its left end, and an animated wait cursor. Text is
// revealed one character at a time by Advance, each character rasterised into a glyph cell when
// it appears; pause signs stop the reveal. The band can dissolve into, or build up from, 400
// blocks of 16 × 16. The box owns the special-glyph picture and lends it to the glyph fonts.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "graphics/device.h"
#include "graphics/glyph_font.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "resource/image.h"
#include "resource/picture_loader.h"

class CPackFile;
class PictureLoader;

class CTEXTBOX {
 public:
  // The band pictures Create reads from the system archive, in its order.
  static constexpr const char* kBandPictures[2] = {"textbox\\textbox_bg1.png",
                                                   "textbox\\textbox_bg2.png"};

  static constexpr int kLines = 3;
  static constexpr int kLineChars = 30;
  static constexpr int kMaxNameChars = 7;
  static constexpr int kGlyphs = 96;  // 64 on sheet 1, 32 on sheet 2
  static constexpr int kNameCells = 8;
  static constexpr int kCursorFrames = 14;
  static constexpr int kCursorFrameMs = 33;
  static constexpr int kTiles = 25 * 4;
  static constexpr int kBlockRows = 8;
  static constexpr int kBlockColumns = 50;
  static constexpr int kBlocks = kBlockRows * kBlockColumns;
  static constexpr int kTextAdvance = 24;
  static constexpr int kNameAdvance = 28;

  CTEXTBOX();
  ~CTEXTBOX();
  CTEXTBOX(const CTEXTBOX&) = delete;
  CTEXTBOX& operator=(const CTEXTBOX&) = delete;

  // Loads the band pictures and "textbox\text_table1.png" from the system archive, makes the
  // textures and every sprite. A picture that does not load is logged and its part stays empty;
  // the box works all the same. The archive is kept for LoadSpecialGlyphs. With `loader` the
  // band pictures are taken from it (decoded ahead when they were expected).
  bool Create(gfx::Device& device, const CPackFile& system, PictureLoader* loader = nullptr);

  void SetPosition(float x, float y) {
    x_ = x;
    y_ = y;
  }
  // 0, or −1 for a line outside 0–2. More than 30 characters become the overflow mark.
  int SetLine(int line, std::string_view text);
  // A name of fewer than 8 characters is rasterised into the name cells; a longer one becomes
  // the overflow mark (8 characters).
  void SetName(std::string_view text);
  // −1 clears the page; 0 reveals one character, 1 reveals up to the next pause sign or the end.
  // Returns 0 (more to come), 2 (stopped at a pause sign) or 1 (the page is done).
  int Advance(int mode);
  void Draw(int elapsed_ms);

  // 0 is stored as 1: the text colour is never 0.
  void SetTextColor(uint16_t base) { text_color_ = base == 0 ? 1 : base; }
  void SetCursorVisible(bool on);
  void SetNamePlate(bool on) { name_plate_ = on; }
  bool NamePlate() const { return name_plate_; }
  void SetBoxAlpha(int a) { box_alpha_ = a < 0 ? 0 : a > 255 ? 255 : a; }
  // 0 plain, 1 drop shadow, 2 outline; returns the previous style.
  int SetTextStyle(int style);
  // 0 and 2 dissolve the box away, 1 and 3 build it up.
  void StartBoxTransition(int kind);
  bool TransitionActive() const { return transition_; }

  void SaveState();
  // Rebuilds the saved page up to the same pause; the last Advance result.
  int RestoreState();

  // Reads the special-glyph picture from the system archive; false (the picture kept) when the
  // entry is missing or not a 4-bit bitmap.
  bool LoadSpecialGlyphs(const std::string& name);
  const SpecialGlyphs* SpecialGlyphPicture() const { return special_.loaded ? &special_ : nullptr; }

  // State for the story mode and the tests.
  float X() const { return x_; }
  float Y() const { return y_; }
  const std::string& Line(int line) const { return lines_[line]; }
  int LineCount(int line) const { return line_counts_[line]; }
  const std::string& Name() const { return name_; }
  int NameCount() const { return name_count_; }
  int CurrentLine() const { return line_; }
  int GlyphCount() const { return glyph_count_; }
  int PauseCount() const { return pause_count_; }
  uint16_t TextColor() const { return text_color_; }
  int TextStyle() const { return text_style_; }
  int BoxAlpha() const { return box_alpha_; }
  bool CursorVisible() const { return cursor_; }
  int CursorFrame() const { return cursor_frame_; }
  // The wait cursor's top-left on screen.
  float CursorX() const { return x_ + cursor_x_; }
  float CursorY() const { return y_ + cursor_y_; }
  // Placed glyph g's offset from the first text position (28, 12) of the box.
  float GlyphX(int g) const { return glyphs_[g].x; }
  float GlyphY(int g) const { return glyphs_[g].y; }

 private:
  struct PlacedGlyph {
    float x = 0, y = 0;
  };
  struct Block {
    int delay = 0;
    int alpha = 0;
  };
  struct Saved {
    std::string name;
    std::array<std::string, kLines> lines;
    uint16_t text_color = kGlyphWhite;
    bool cursor = false;
    bool name_plate = false;
    int pause_count = 0;
  };

  void RenderCell(CTexture& sheet, int cell, std::string_view character, bool* used_special);
  void DrawGlyph(CSprite& sprite, float x, float y);
  void DrawBlockDeformed(CSprite& block, int j, int k, int a);
  void DrawTransition(int elapsed_ms);
  int Random64();

  gfx::Device* device_ = nullptr;
  const CPackFile* system_ = nullptr;

  float x_ = 0, y_ = 444;
  std::array<std::string, kLines> lines_;
  std::array<int, kLines> line_counts_{};
  std::string name_;
  int name_count_ = 0;
  int line_ = 0;  // −1 when the page is done
  int index_ = 0;  // characters of the current line taken so far
  int column_ = 0;  // glyph positions used on the current line
  int glyph_count_ = 0;
  int pause_count_ = 0;
  std::array<PlacedGlyph, kGlyphs> glyphs_{};
  uint16_t text_color_ = kGlyphWhite;
  int text_style_ = 0;
  int box_alpha_ = 255;
  bool name_plate_ = false;
  bool cursor_ = false;
  int cursor_frame_ = 0;
  int cursor_countdown_ = 0;
  float cursor_x_ = 40, cursor_y_ = 10;  // relative to the box
  bool transition_ = false;
  int transition_kind_ = 0;
  std::array<Block, kBlocks> blocks_{};
  uint32_t random_state_ = 1;
  SpecialGlyphs special_;
  std::unique_ptr<platform::Font> font_;
  Saved saved_;

  CTexture band1_, band2_, sheet1_, sheet2_;
  CImage16 work_;
  std::array<CSprite, kTiles> tiles_;
  std::array<CSprite, kBlocks> block_sprites_;
  CSprite plate_;
  std::array<CSprite, kGlyphs> glyph_sprites_;
  std::array<CSprite, kNameCells> name_sprites_;
  std::array<CSprite, kCursorFrames> cursor_sprites_;
};
