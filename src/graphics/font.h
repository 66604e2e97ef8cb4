// The caption fonts: six slots of outline fonts that the screens draw their fixed texts with, and
// DrawText, which sets a Shift_JIS text into a rectangle of the render target line by line,
// aligned left, centred or right from the rectangle's top, clipped to the rectangle, in a colour
// whose alpha blends it over the picture. Screens draw the same captions every frame, so the
// bitmaps of recently drawn lines are kept and a caption is rasterised once.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/font.h"
#include "platform/window.h"

// Format flags of DrawText. Without DT_CENTER or DT_RIGHT a line starts at the left edge.
inline constexpr uint32_t DT_LEFT = 0x0;
inline constexpr uint32_t DT_CENTER = 0x1;
inline constexpr uint32_t DT_RIGHT = 0x2;

// The slots the screens use, by their font.
enum FontSlot : int {
  kFont12,
  kFont14,
  kFont16,
  kFont18,
  kFont18Italic,
  kFont20Bold,
  kFontSlotCount,
};

class FontSlots {
 public:
  static constexpr int kCachedLines = 64;  // per slot; more than any screen shows at once

  FontSlots();
  ~FontSlots();
  FontSlots(const FontSlots&) = delete;
  FontSlots& operator=(const FontSlots&) = delete;

  // Makes the font of a slot (replacing what it held): face is a Shift_JIS face name, the width
  // follows from the height, bold is weight 700. False, with the slot left empty, when no
  // installed font fits the face or the slot does not exist.
  bool CreateFontSet(int slot, int height, bool italic, bool bold, std::string_view face);
  // The six slots of the screens in "ＭＳ Ｐゴシック"; true when every one was made.
  bool CreateDefaultSet();
  void Release();
  bool Empty(int slot) const;
  // The font of a slot, or none.
  const platform::Font* Font(int slot) const;

  // Draws Shift_JIS text into an XRGB frame of frame_width × frame_height pixels. Line feeds
  // start new lines. Returns the height of the text set; an empty slot draws nothing and
  // returns 0.
  int DrawText(int slot, std::string_view text, const platform::Rect& rect, uint32_t argb,
               uint32_t format, uint32_t* frame, int frame_width, int frame_height);

  // Lines rasterised so far (the misses of the line cache).
  int64_t RenderedLines() const { return rendered_lines_; }

 private:
  struct CachedLine {
    std::string text;
    platform::TextBitmap bitmap;
    uint64_t used = 0;  // 0: free
  };
  struct Slot {
    std::unique_ptr<platform::Font> font;
    std::vector<CachedLine> lines;  // kCachedLines, allocated once
  };

  const platform::TextBitmap& Line(Slot& slot, std::string_view text);

  std::array<Slot, kFontSlotCount> slots_;
  uint64_t clock_ = 0;
  int64_t rendered_lines_ = 0;
};
