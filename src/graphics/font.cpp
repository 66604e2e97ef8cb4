#include "graphics/font.h"

#include <algorithm>

#include "platform/sjis.h"

namespace {

struct SlotFont {
  int height;
  bool italic;
  bool bold;
};

constexpr std::array<SlotFont, kFontSlotCount> kDefaultSet{{
    {12, false, false},
    {14, false, false},
    {16, false, false},
    {18, false, false},
    {18, true, false},
    {20, false, true},
}};

}  // namespace

FontSlots::FontSlots() {
  for (Slot& s : slots_) s.lines.resize(kCachedLines);
}

FontSlots::~FontSlots() = default;

bool FontSlots::CreateFontSet(int slot, int height, bool italic, bool bold, std::string_view face) {
  if (slot < 0 || slot >= kFontSlotCount) return false;
  Slot& s = slots_[slot];
  s.font.reset();
  for (CachedLine& line : s.lines) line.used = 0;
  platform::FontDesc desc;
  desc.height = height;
  desc.width = height == 18 ? 8 : height / 2;  // the 18-pixel fonts are a little narrow
  desc.weight = bold ? 700 : 400;
  desc.italic = italic;
  s.font = platform::Font::Create(face, desc);
  return s.font != nullptr;
}

bool FontSlots::CreateDefaultSet() {
  static const std::string face = SJ("ＭＳ Ｐゴシック");
  bool all = true;
  for (int i = 0; i < kFontSlotCount; ++i) {
    const SlotFont& f = kDefaultSet[i];
    all = CreateFontSet(i, f.height, f.italic, f.bold, face) && all;
  }
  return all;
}

void FontSlots::Release() {
  for (Slot& s : slots_) {
    s.font.reset();
    for (CachedLine& line : s.lines) line.used = 0;
  }
}

bool FontSlots::Empty(int slot) const {
  return Font(slot) == nullptr;
}

const platform::Font* FontSlots::Font(int slot) const {
  if (slot < 0 || slot >= kFontSlotCount) return nullptr;
  return slots_[slot].font.get();
}

const platform::TextBitmap& FontSlots::Line(Slot& slot, std::string_view text) {
  ++clock_;
  CachedLine* oldest = &slot.lines[0];
  for (CachedLine& line : slot.lines) {
    if (line.used != 0 && line.text == text) {
      line.used = clock_;
      return line.bitmap;
    }
    if (line.used < oldest->used) oldest = &line;
  }
  // The entry keeps the capacity of the line it held, so a full cache allocates nothing for
  // lines no longer than the ones it drops.
  oldest->text.assign(text);
  oldest->used = clock_;
  ++rendered_lines_;
  slot.font->RenderLine(text, oldest->bitmap);
  return oldest->bitmap;
}

int FontSlots::DrawText(int slot, std::string_view text, const platform::Rect& rect, uint32_t argb,
                        uint32_t format, uint32_t* frame, int frame_width, int frame_height) {
  if (slot < 0 || slot >= kFontSlotCount || !slots_[slot].font || text.empty()) return 0;
  Slot& s = slots_[slot];
  const int line_height = s.font->Metrics().height;
  const uint32_t alpha = argb >> 24;
  const uint32_t red = argb >> 16 & 0xFF, green = argb >> 8 & 0xFF, blue = argb & 0xFF;
  // The text never leaves its rectangle (nor the frame).
  const int clip_left = std::max(rect.left, 0);
  const int clip_top = std::max(rect.top, 0);
  const int clip_right = std::min(rect.right, frame_width);
  const int clip_bottom = std::min(rect.bottom, frame_height);

  int lines = 0;
  size_t start = 0;
  while (start <= text.size()) {
    // Trail bytes of Shift_JIS are never below 0x40, so a byte search finds only real breaks.
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const int line_top = rect.top + lines * line_height;
    ++lines;
    start = end + 1;
    if (line.empty() || alpha == 0 || line_top >= clip_bottom) continue;

    const platform::TextBitmap& bitmap = Line(s, line);
    int x = rect.left;
    if (format & DT_RIGHT) {
      x = rect.right - bitmap.advance;
    } else if (format & DT_CENTER) {
      x = rect.left + (rect.right - rect.left - bitmap.advance) / 2;
    }
    const int x0 = x + bitmap.left;
    const int y0 = line_top + bitmap.top;
    const int from_x = std::max(x0, clip_left), to_x = std::min(x0 + bitmap.width, clip_right);
    const int from_y = std::max(y0, clip_top), to_y = std::min(y0 + bitmap.height, clip_bottom);
    for (int py = from_y; py < to_y; ++py) {
      const uint8_t* cov = bitmap.coverage.data() + static_cast<size_t>(py - y0) * bitmap.width;
      uint32_t* row = frame + static_cast<size_t>(py) * frame_width;
      for (int px = from_x; px < to_x; ++px) {
        uint32_t c = cov[px - x0];
        if (c == 0) continue;
        // The glyph's coverage scales the colour's alpha, as a glyph texture modulated by the
        // text colour would.
        uint32_t a = (c * alpha + 127) / 255;
        uint32_t inv = 255 - a;
        uint32_t d = row[px];
        uint32_t r = (red * a + (d >> 16 & 0xFF) * inv + 127) / 255;
        uint32_t g = (green * a + (d >> 8 & 0xFF) * inv + 127) / 255;
        uint32_t b = (blue * a + (d & 0xFF) * inv + 127) / 255;
        row[px] = (d & 0xFF000000u) | r << 16 | g << 8 | b;
      }
    }
  }
  return lines * line_height;
}
