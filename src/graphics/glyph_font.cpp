// Glyph cells, the special-glyph picture and CGlyphFont.
#include "graphics/glyph_font.h"

#include <algorithm>
#include <cstring>

#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/pack_file.h"
#include "resource/sjis_text.h"

namespace {

constexpr size_t kBitCountOffset = 28;
constexpr size_t kHeightOffset = 22;
constexpr size_t kPixelOffset = 118;  // file header 14, info header 40, 16 palette entries

uint32_t Read32(std::span<const uint8_t> file, size_t at) {
  return file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
         static_cast<uint32_t>(file[at + 3]) << 24;
}

void Put(GlyphCellSpan cell, int x, int y, uint16_t base, int level) {
  if (x < 0 || y < 0 || x >= kGlyphCell || y >= kGlyphCell) return;
  cell[y * kGlyphCell + x] = static_cast<uint16_t>(base + level * 0x1000);
}

}  // namespace

bool LoadSpecialGlyphsFromMemory(std::span<const uint8_t> file, SpecialGlyphs& picture) {
  if (file.size() < kPixelOffset + SpecialGlyphs::kBytes) return false;
  uint16_t bit_count =
      static_cast<uint16_t>(file[kBitCountOffset] | file[kBitCountOffset + 1] << 8);
  if (bit_count != 4) return false;
  std::memcpy(picture.bits.data(), file.data() + kPixelOffset, SpecialGlyphs::kBytes);
  // The file keeps its rows bottom-up. A negative height marks a top-down file, which needs no
  // flip; a height beyond the picture's 128 rows flips no more than the picture holds.
  int32_t height = static_cast<int32_t>(Read32(file, kHeightOffset));
  int swaps = std::clamp(height / 2, 0, SpecialGlyphs::kSize / 2);
  std::array<uint8_t, SpecialGlyphs::kRowBytes> row;
  for (int i = 0; i < swaps; ++i) {
    uint8_t* a = picture.bits.data() + i * SpecialGlyphs::kRowBytes;
    uint8_t* b = picture.bits.data() + (SpecialGlyphs::kSize - 1 - i) * SpecialGlyphs::kRowBytes;
    std::memcpy(row.data(), a, row.size());
    std::memcpy(a, b, row.size());
    std::memcpy(b, row.data(), row.size());
  }
  picture.loaded = true;
  return true;
}

bool LoadSpecialGlyphs(const CPackFile& system, const std::string& name, SpecialGlyphs& picture) {
  auto file = system.Read(name);
  if (!file) return false;
  return LoadSpecialGlyphsFromMemory(*file, picture);
}

std::unique_ptr<platform::Font> CreateGlyphFace() {
  platform::FontDesc desc;
  desc.height = 24;
  desc.width = 0;
  desc.weight = 500;
  auto font = platform::Font::Create(SJ("ＭＳ ゴシック"), desc);
  if (!font) WriteLog(2, "glyph face missing: text glyphs stay empty", "CreateGlyphFace", __LINE__);
  return font;
}

int RenderGlyph(GlyphCellSpan cell, std::string_view character, int x_offset, int y_offset,
                uint16_t base, platform::Font* font, const SpecialGlyphs* special,
                bool* used_special) {
  uint32_t code = sjis::GlyphCode(character);
  if (code == kFullWidthSpace) return 1;
  if (special && special->loaded && code >= kFirstSpecialGlyph && code < kFirstSpecialGlyph + 16) {
    int n = static_cast<int>(code - kFirstSpecialGlyph);
    for (int row = 0; row < kGlyphCell; ++row)
      for (int column = 0; column < kGlyphCell; ++column) {
        int v = special->Level(n, column, row);
        if (v != 0) Put(cell, x_offset + column, y_offset + row, base, v);
      }
    if (used_special) *used_special = true;
    return 1;
  }
  if (!font) return 1;
  platform::GlyphBitmap glyph;
  if (!font->RenderGlyph(code, glyph)) return 1;
  int left = x_offset + glyph.CellX();
  int top = y_offset + glyph.CellY();
  for (int row = 0; row < glyph.black_box_y; ++row) {
    const uint8_t* src = glyph.levels.data() + static_cast<size_t>(row) * glyph.pitch;
    for (int column = 0; column < glyph.pitch; ++column) {
      int v = src[column];
      if (v != 0) Put(cell, left + column, top + row, base, std::min(v, 15));
    }
  }
  return 1;
}

CGlyphFont::CGlyphFont() = default;
CGlyphFont::~CGlyphFont() = default;

bool CGlyphFont::Init(gfx::Device& device) {
  device_ = &device;
  constexpr float kStep = 1.0f / 8;
  for (int k = 0; k < kCells; ++k) {
    float u = (k % 8) * kStep, v = (k / 8) * kStep;
    cells_[k].Init(0, 0, kGlyphCell, kGlyphCell, u, v, u + kStep, v + kStep, &sheet_);
  }
  if (!sheet_.Create(device, kGlyphSheet, kGlyphSheet, gfx::D3DFMT_A4R4G4B4)) return false;
  CImage16 empty;
  if (empty.Create(kGlyphSheet, kGlyphSheet)) sheet_.Upload(empty.Pixels());
  work_.Create(kGlyphCell, kGlyphCell);
  base_color_ = kGlyphWhite;
  special_ = nullptr;
  text_.reserve(kMaxChars * 2);
  font_ = CreateGlyphFace();
  return true;
}

int CGlyphFont::SetText(std::string_view text) {
  int count = sjis::CharCount(text);
  if (count < kCells) {
    text_.assign(text);
    count_ = count;
    built_ = 0;
    return 0;
  }
  count_ = -1;
  return -1;
}

void CGlyphFont::BuildGlyphs() {
  built_ = 0;
  if (!work_.Pixels()) return;
  GlyphCellSpan cell(work_.Pixels(), kGlyphCellTexels);
  for (int i = 1; i <= count_; ++i) {
    std::string_view ch;
    sjis::CharAt(text_, i, &ch);
    if (static_cast<uint8_t>(ch[0]) < 20) break;
    int k = i - 1;
    blank_[k] = ch[0] == ' ';
    if (!blank_[k]) {
      work_.Fill(base_color_);
      RenderGlyph(cell, ch, 0, 0, base_color_, font_.get(), special_);
      sheet_.UploadRect(work_.Pixels(), (k % 8) * kGlyphCell, (k / 8) * kGlyphCell, kGlyphCell,
                        kGlyphCell);
    }
    built_ = i;
  }
}

void CGlyphFont::Draw() {
  if (!device_) return;
  int shown = std::min(count_, built_);
  for (int i = 0; i < shown; ++i) {
    if (blank_[i]) continue;
    CSprite& s = cells_[i];
    s.SetAlpha(alpha_);
    s.SetColor(color_);
    s.Draw(*device_, x_ + kAdvance * i, y_, kGlyphCell, kGlyphCell);
  }
}
