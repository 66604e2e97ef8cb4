// CTEXTBOX: geometry, pictures, the reveal of a page, drawing and the box transitions.
#include "graphics/text_box.h"

#include <algorithm>

#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/pack_file.h"
#include "resource/sjis_text.h"

namespace {

constexpr int kBandWidth = 800;
constexpr int kStrip = 256;  // the band is stored as 256 × 128 strips, two to a picture
constexpr int kStripHeight = 128;
constexpr float kTexel = 1.0f / kGlyphSheet;
constexpr int kSheet1Cells = 64;
constexpr int kFirstCursorCell = 26;
constexpr int kFirstNameCell = 40;
// Three lines of 30 reach glyph 89 at most; glyphs from 90 on would land on the cursor frames.
constexpr int kMaxPlacedGlyphs = CTEXTBOX::kLines * CTEXTBOX::kLineChars;
constexpr std::string_view kPauseSign = "\x81\xA4";
constexpr std::string_view kFullWidthSpaceBytes = "\x81\x40";

const std::string& LineOverflowText() {
  static const std::string text = SJ("◆文字数制限オーバー◆");
  return text;
}
const std::string& NameOverflowText() {
  static const std::string text = SJ("◆文字数オーバー");
  return text;
}

// A sprite on a 256 × 256 sheet, cut out at texel (tx, ty).
void InitCut(CSprite& s, CTexture* sheet, int tx, int ty, int w, int h) {
  s.Init(0, 0, static_cast<float>(w), static_cast<float>(h), tx * kTexel, ty * kTexel,
         (tx + w) * kTexel, (ty + h) * kTexel, sheet);
}

// A sheet cell of 32 × 32.
void InitCell(CSprite& s, CTexture* sheet, int cell) {
  InitCut(s, sheet, (cell % 8) * kGlyphCell, (cell / 8) * kGlyphCell, kGlyphCell, kGlyphCell);
}

int ShadowAlpha(int box_alpha) {
  return (box_alpha * 6 - 1530) / 10 + 153;
}

}  // namespace

CTEXTBOX::CTEXTBOX() = default;
CTEXTBOX::~CTEXTBOX() = default;

bool CTEXTBOX::Create(gfx::Device& device, const CPackFile& system, PictureLoader* loader) {
  device_ = &device;
  system_ = &system;
  static const std::string where = "CTEXTBOX::Create";

  // Band pictures: a picture that fails (or is not 256 × 256) leaves its texture empty, so
  // nothing reads from an image that was never loaded.
  CImage32 empty32;
  empty32.Create(kGlyphSheet, kGlyphSheet);
  struct BandPicture {
    CTexture* texture;
    const char* entry;
    const char* failure;
  };
  const BandPicture pictures[] = {
      {&band1_, kBandPictures[0], "textbox_bg1.png Load failed."},
      {&band2_, kBandPictures[1], "textbox_bg2.png Load failed."},
  };
  for (const BandPicture& p : pictures) {
    p.texture->Create(device, kGlyphSheet, kGlyphSheet, gfx::D3DFMT_A8R8G8B8);
    CImage32 image;
    const int loaded =
        loader ? loader->Load(system, p.entry, image) : image.LoadFromPNG(p.entry, system);
    bool ok = loaded == 0 && image.Width() == kGlyphSheet &&
              image.Height() == kGlyphSheet;
    if (!ok) WriteLog(2, p.failure, where, __LINE__);
    p.texture->Upload(ok ? image.Pixels() : empty32.Pixels());
  }

  CImage16 empty16;
  empty16.Create(kGlyphSheet, kGlyphSheet);
  sheet1_.Create(device, kGlyphSheet, kGlyphSheet, gfx::D3DFMT_A4R4G4B4);
  sheet1_.Upload(empty16.Pixels());
  sheet2_.Create(device, kGlyphSheet, kGlyphSheet, gfx::D3DFMT_A4R4G4B4);
  {
    CImage16 table;
    bool ok = table.LoadFromPNG16("textbox\\text_table1.png", system) == 0 &&
              table.Width() == kGlyphSheet && table.Height() == kGlyphSheet;
    if (!ok) WriteLog(2, "text_table1.png Load failed.", where, __LINE__);
    sheet2_.Upload(ok ? table.Pixels() : empty16.Pixels());
  }

  // The band: columns 0–255 the top half of picture 1, 256–511 its bottom half, 512–767 the
  // top half of picture 2, 768–799 the left 32 pixels of its bottom half.
  auto band_cut = [this](CSprite& s, int bx, int by, int w, int h) {
    int strip = bx / kStrip;
    CTexture* texture = strip < 2 ? &band1_ : &band2_;
    InitCut(s, texture, bx % kStrip, (strip % 2) * kStripHeight + by, w, h);
  };
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < kBandWidth / 32; ++column)
      band_cut(tiles_[row * 25 + column], 32 * column, 32 * row, 32, 32);
  for (int j = 0; j < kBlockRows; ++j)
    for (int k = 0; k < kBlockColumns; ++k)
      band_cut(block_sprites_[j * kBlockColumns + k], 16 * k, 16 * j, 16, 16);
  InitCut(plate_, &band2_, 32, 128, 224, 48);

  for (int g = 0; g < kGlyphs; ++g) {
    if (g < kSheet1Cells)
      InitCell(glyph_sprites_[g], &sheet1_, g);
    else
      InitCell(glyph_sprites_[g], &sheet2_, g - kSheet1Cells);
  }
  for (int i = 0; i < kNameCells; ++i) InitCell(name_sprites_[i], &sheet2_, kFirstNameCell + i);
  for (int f = 0; f < kCursorFrames; ++f)
    InitCell(cursor_sprites_[f], &sheet2_, kFirstCursorCell + f);

  work_.Create(kGlyphCell, kGlyphCell);
  font_ = CreateGlyphFace();
  for (std::string& line : lines_) line.reserve(128);
  name_.reserve(64);
  Advance(-1);
  return true;
}

int CTEXTBOX::SetLine(int line, std::string_view text) {
  if (line < 0 || line >= kLines) return -1;
  int count = sjis::CharCount(text);
  if (count > kLineChars) {
    lines_[line] = LineOverflowText();
    count = sjis::CharCount(lines_[line]);
  } else {
    lines_[line].assign(text);
  }
  line_counts_[line] = count;
  return 0;
}

void CTEXTBOX::RenderCell(CTexture& sheet, int cell, std::string_view character,
                          bool* used_special) {
  if (!work_.Pixels()) return;
  work_.Fill(0);
  RenderGlyph(GlyphCellSpan(work_.Pixels(), kGlyphCellTexels), character, 0, 0, text_color_,
              font_.get(), SpecialGlyphPicture(), used_special);
  sheet.UploadRect(work_.Pixels(), (cell % 8) * kGlyphCell, (cell / 8) * kGlyphCell, kGlyphCell,
                   kGlyphCell);
}

void CTEXTBOX::SetName(std::string_view text) {
  int count = sjis::CharCount(text);
  if (count <= kMaxNameChars) {
    name_.assign(text);
  } else {
    // The mark is what the player sees, so it is rasterised like a name (8 characters fill
    // the 8 name cells exactly).
    name_ = NameOverflowText();
    count = sjis::CharCount(name_);
  }
  name_count_ = count;
  for (int i = 0; i < std::min(count, kNameCells); ++i) {
    std::string_view ch;
    sjis::CharAt(name_, i + 1, &ch);
    RenderCell(sheet2_, kFirstNameCell + i, ch, nullptr);
  }
}

int CTEXTBOX::Advance(int mode) {
  if (mode == -1) {
    line_ = index_ = column_ = glyph_count_ = pause_count_ = 0;
    for (int l = 0; l < kLines; ++l) {
      lines_[l].clear();
      line_counts_[l] = 0;
    }
    glyphs_.fill(PlacedGlyph{});
    cursor_x_ = 40;
    cursor_y_ = 10;
    return 0;
  }
  if (line_ < 0) return 1;
  for (;;) {
    while (index_ >= line_counts_[line_]) {
      if (line_counts_[line_] != 0) column_ = 0;
      index_ = 0;
      if (++line_ >= kLines) {
        line_ = -1;
        ++pause_count_;
        return 1;
      }
    }
    std::string_view ch;
    sjis::CharAt(lines_[line_], index_ + 1, &ch);
    bool pause = ch == kPauseSign;
    if (pause) {
      ch = kFullWidthSpaceBytes;
      ++pause_count_;
    }
    if (ch.size() == 1) {  // only two-byte characters are shown
      ++index_;
      continue;
    }
    if (glyph_count_ < kMaxPlacedGlyphs) {
      int g = glyph_count_;
      bool special = false;
      if (g < kSheet1Cells)
        RenderCell(sheet1_, g, ch, &special);
      else
        RenderCell(sheet2_, g - kSheet1Cells, ch, &special);
      glyph_sprites_[g].SetColor(0xFFFFFF);
      glyphs_[g] = {static_cast<float>(kTextAdvance * column_),
                    static_cast<float>(32 * line_ - (special ? 8 : 0))};
      ++glyph_count_;
    }
    ++column_;
    ++index_;
    cursor_x_ = static_cast<float>(40 + kTextAdvance * (pause ? column_ - 1 : column_));
    cursor_y_ = static_cast<float>(10 + 32 * line_);
    if (pause) return 2;
    if (mode != 1) return 0;
  }
}

void CTEXTBOX::DrawGlyph(CSprite& sprite, float x, float y) {
  gfx::Device& dev = *device_;
  if (text_style_ == 1 || text_style_ == 2) {
    sprite.SetBlendMode(1);
    sprite.SetAlpha(ShadowAlpha(box_alpha_));
    if (text_style_ == 1) {
      sprite.Draw(dev, x + 2, y + 2, kGlyphCell, kGlyphCell);
    } else {
      // The four diagonal neighbours, in this order, drawn together.
      static constexpr gfx::SpriteOffset kOutline[4] = {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
      sprite.DrawCopies(dev, kOutline, x, y, kGlyphCell, kGlyphCell);
    }
  }
  sprite.SetBlendMode(0);
  sprite.SetAlpha(box_alpha_);
  sprite.Draw(dev, x, y, kGlyphCell, kGlyphCell);
}

void CTEXTBOX::Draw(int elapsed_ms) {
  if (!device_) return;
  if (transition_) {
    DrawTransition(elapsed_ms);
    return;
  }
  gfx::Device& dev = *device_;
  int band_alpha = (box_alpha_ / 5) * 4;
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 25; ++column) {
      CSprite& tile = tiles_[row * 25 + column];
      tile.SetAlpha(band_alpha);
      tile.SetBlendMode(0);
      tile.Draw(dev, x_ + 32 * column, y_ + 32 * row, 32, 32);
    }
  for (int g = 0; g < glyph_count_; ++g)
    DrawGlyph(glyph_sprites_[g], x_ + 28 + glyphs_[g].x, y_ + 12 + glyphs_[g].y);
  if (name_plate_) {
    plate_.SetAlpha(band_alpha);
    plate_.SetBlendMode(0);
    plate_.Draw(dev, x_, y_ - 48, 224, 48);
    int n = name_count_;
    for (int i = 0; i < std::min(n, kNameCells); ++i)
      DrawGlyph(name_sprites_[i], x_ + 16 + kNameAdvance * i + (7 - n) * 24 / 2, y_ - 37);
  }
  if (cursor_) {
    CSprite& frame = cursor_sprites_[cursor_frame_];
    frame.SetAlpha(box_alpha_);
    frame.SetBlendMode(0);
    frame.Draw(dev, x_ + cursor_x_, y_ + cursor_y_, kGlyphCell, kGlyphCell);
    cursor_countdown_ -= elapsed_ms;
    if (cursor_countdown_ < 1) {
      cursor_countdown_ = kCursorFrameMs;
      cursor_frame_ = (cursor_frame_ + 1) % kCursorFrames;
    }
  }
}

void CTEXTBOX::SetCursorVisible(bool on) {
  cursor_ = on;
  cursor_countdown_ = 3;
}

int CTEXTBOX::SetTextStyle(int style) {
  int previous = text_style_;
  text_style_ = style;
  return previous;
}

int CTEXTBOX::Random64() {
  random_state_ = random_state_ * 1103515245u + 12345u;
  return static_cast<int>((random_state_ >> 16) & 63);
}

void CTEXTBOX::StartBoxTransition(int kind) {
  transition_kind_ = std::clamp(kind, 0, 3);
  bool build_up = transition_kind_ == 1 || transition_kind_ == 3;
  for (int j = 0; j < kBlockRows; ++j)
    for (int k = 0; k < kBlockColumns; ++k) {
      Block& b = blocks_[j * kBlockColumns + k];
      b.alpha = build_up ? 0 : 255;
      b.delay = 64 * (build_up ? kBlockRows - 1 - j : j) + Random64();
    }
  box_alpha_ = 255;
  transition_ = true;
}

void CTEXTBOX::DrawBlockDeformed(CSprite& block, int j, int k, int a) {
  int bottom = (box_alpha_ / 3) * 2;
  int top = 127 - (255 - a) / 2;
  block.SetBlendMode(2);
  block.SetVertexAlpha(CSprite::kTopLeft, top);
  block.SetVertexAlpha(CSprite::kTopRight, top);
  block.SetVertexAlpha(CSprite::kBottomLeft, bottom);
  block.SetVertexAlpha(CSprite::kBottomRight, bottom);
  int d = (a - 255) / 16;  // 0 whole, down to −15 at alpha 0
  float bx = x_ + 16.0f * k, by = y_ + 16.0f * j;
  if ((transition_kind_ & 2) == 0) {
    // Narrows and stretches vertically about its centre.
    block.Draw(*device_, bx - d / 2, by + 2 * d, static_cast<float>(16 + d),
               static_cast<float>(16 - 4 * d));
  } else {
    // Shrinks; past nothing it would turn inside out, so it stays at nothing.
    float size = static_cast<float>(std::max(16 + 2 * d, 0));
    block.Draw(*device_, bx - 2 * d, by - d, size, size);
  }
}

void CTEXTBOX::DrawTransition(int elapsed_ms) {
  int whole_alpha = (box_alpha_ / 3) * 2;
  bool build_up = transition_kind_ == 1 || transition_kind_ == 3;
  int drawn = 0, whole = 0;
  for (int j = 0; j < kBlockRows; ++j)
    for (int k = 0; k < kBlockColumns; ++k) {
      Block& b = blocks_[j * kBlockColumns + k];
      CSprite& s = block_sprites_[j * kBlockColumns + k];
      auto draw_whole = [&] {
        s.SetBlendMode(0);
        s.SetAlpha(whole_alpha);
        s.Draw(*device_, x_ + 16.0f * k, y_ + 16.0f * j, 16, 16);
      };
      if (!build_up) {
        if (b.delay > 0) {
          draw_whole();
          b.delay -= elapsed_ms;
          ++drawn;
        } else if (b.alpha > 0) {
          b.alpha = std::max(b.alpha - 2 * elapsed_ms, 0);
          DrawBlockDeformed(s, j, k, b.alpha);
          ++drawn;
        }
      } else {
        if (b.delay > 0) {
          b.delay -= elapsed_ms;
        } else if (b.alpha <= 254) {
          b.alpha = std::min(b.alpha + 2 * elapsed_ms, 255);
          DrawBlockDeformed(s, j, k, b.alpha);
        } else {
          draw_whole();
          ++whole;
        }
      }
    }
  if (build_up ? whole == kBlocks : drawn == 0) transition_ = false;
}

void CTEXTBOX::SaveState() {
  saved_.name = name_;
  saved_.lines = lines_;
  saved_.text_color = text_color_;
  saved_.cursor = cursor_;
  saved_.name_plate = name_plate_;
  saved_.pause_count = pause_count_;
}

int CTEXTBOX::RestoreState() {
  cursor_ = saved_.cursor;
  name_plate_ = saved_.name_plate;
  SetTextColor(saved_.text_color);
  SetName(saved_.name);
  Advance(-1);
  for (int l = 0; l < kLines; ++l) SetLine(l, saved_.lines[l]);
  int result = 0;
  int times = std::max(saved_.pause_count, 1);
  for (int i = 0; i < times; ++i) result = Advance(1);
  return result;
}

bool CTEXTBOX::LoadSpecialGlyphs(const std::string& name) {
  if (!system_) return false;
  return ::LoadSpecialGlyphs(*system_, name, special_);
}
