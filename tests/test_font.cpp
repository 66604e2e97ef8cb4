// Fonts on the Japanese faces installed here: the face table, glyph outlines in 17 grey levels,
// and the caption slots drawing into the frame, checked on the pixels they leave.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/font.h"
#include "graphics/graphics.h"
#include "platform/font.h"
#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/sjis.h"
#include "platform/window.h"

namespace {

constexpr int kW = 800;
constexpr int kH = 600;
constexpr uint32_t kBlack = 0xFF000000u;

// The system's glyph code of one Shift_JIS character.
uint32_t Code(const std::string& sjis) {
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(sjis[i])); };
  return sjis.size() == 1 ? b(0) : b(0) << 8 | b(1);
}

struct Box {
  int left = INT_MAX, top = INT_MAX, right = INT_MIN, bottom = INT_MIN;  // right, bottom inclusive
  bool Empty() const { return left > right; }
  int Width() const { return right - left + 1; }
};

// Where the pixels differ from the background.
Box InkBox(const std::vector<uint32_t>& frame, uint32_t background = kBlack) {
  Box box;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x)
      if (frame[y * kW + x] != background) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

platform::FontDesc Desc(int height, int width, int weight = 400, bool italic = false) {
  platform::FontDesc d;
  d.height = height;
  d.width = width;
  d.weight = weight;
  d.italic = italic;
  return d;
}

class FontTest : public ::testing::Test {
 protected:
  FontTest() { log_.SetEcho(false); }
  platform::Log log_;
};

TEST_F(FontTest, FaceTableFindsAnInstalledFontForEveryFaceTheGameNames) {
  struct Case {
    const char* face;
    const char* family;
  } cases[] = {
      {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"ＭＳ ゴシック", "IPAGothic"},
      {"MS PGothic", "IPAPGothic"},      {"ms gothic", "IPAGothic"},
      {"IPAGothic", "IPAGothic"},  // a family of its own name needs no table row
  };
  for (const Case& c : cases) {
    auto found = platform::FindFace(platform::Utf8ToSjis(c.face));
    ASSERT_TRUE(found) << c.face;
    EXPECT_EQ(found->family, c.family) << c.face;
    EXPECT_TRUE(std::filesystem::exists(found->file)) << found->file;
    auto font = platform::Font::Create(platform::Utf8ToSjis(c.face), Desc(16, 8));
    ASSERT_TRUE(font) << c.face;
    EXPECT_EQ(font->Face().file, found->file);
  }
  EXPECT_EQ(log_.Count("FindFace"), 0);
}

TEST_F(FontTest, MissingFaceIsLoggedAndItsSlotDrawsNothing) {
  const char* faces[] = {"存在しない書体", "No Such Family 12345", ""};
  for (const char* face : faces) {
    std::string sjis = platform::Utf8ToSjis(face);
    int before = log_.Count("FindFace");
    EXPECT_FALSE(platform::Font::Create(sjis, Desc(16, 8))) << face;
    EXPECT_EQ(log_.Count("FindFace"), before + 1) << face;
    EXPECT_TRUE(log_.Contains("no installed font for the face \"" + sjis + "\"")) << face;

    FontSlots slots;
    EXPECT_FALSE(slots.CreateFontSet(kFont16, 16, false, false, sjis));
    EXPECT_TRUE(slots.Empty(kFont16));
    std::vector<uint32_t> frame(kW * kH, kBlack);
    EXPECT_EQ(slots.DrawText(kFont16, SJ("文字"), {0, 0, 800, 600}, 0xFFFFFFFF, DT_LEFT,
                             frame.data(), kW, kH),
              0);
    EXPECT_TRUE(InkBox(frame).Empty());
  }
  // The log names the families tried for a face of the table.
  EXPECT_TRUE(log_.Contains("tried no other family of that name"));
}

class GlyphTest : public FontTest {
 protected:
  void SetUp() override {
    // The glyph cells' face: 24 pixels, weight 500, fixed width.
    font_ = platform::Font::Create(SJ("ＭＳ ゴシック"), Desc(24, 0, 500));
    ASSERT_TRUE(font_);
  }
  std::unique_ptr<platform::Font> font_;
};

TEST_F(GlyphTest, CharactersComeOutIn17LevelsInsideTheCell) {
  EXPECT_EQ(font_->Metrics().height, 24);
  EXPECT_EQ(font_->Metrics().ascent, 21);
  EXPECT_EQ(font_->Metrics().descent, 3);
  struct Case {
    const char* text;
    int advance;
    bool on_baseline;  // ink ends at the baseline
  } cases[] = {
      {"漢", 24, false}, {"あ", 24, false}, {"A", 12, true}, {"g", 12, false},
      {"ｱ", 12, false},  {"■", 24, false},  {"1", 12, true},
  };
  for (const Case& c : cases) {
    std::string sjis = platform::Utf8ToSjis(c.text);
    platform::GlyphBitmap g;
    ASSERT_TRUE(font_->RenderGlyph(Code(sjis), g)) << c.text;
    EXPECT_EQ(g.advance, c.advance) << c.text;
    EXPECT_GT(g.black_box_x, 0) << c.text;
    EXPECT_EQ(g.pitch % 4, 0) << c.text;
    EXPECT_GE(g.pitch, g.black_box_x) << c.text;
    ASSERT_EQ(g.levels.size(), static_cast<size_t>(g.pitch) * g.black_box_y) << c.text;
    int max = 0, partial = 0;
    for (uint8_t v : g.levels) {
      max = std::max<int>(max, v);
      partial += v > 0 && v < 16;
    }
    EXPECT_EQ(max, 16) << c.text;
    EXPECT_LE(max, 16) << c.text;
    EXPECT_GT(partial, 0) << c.text << ": edges are grey";
    // The placement rule puts the ink box inside a 32 × 32 cell.
    EXPECT_GE(g.CellX(), 0) << c.text;
    EXPECT_GE(g.CellY(), 0) << c.text;
    EXPECT_LE(g.CellX() + g.black_box_x, 32) << c.text;
    EXPECT_LE(g.CellY() + g.black_box_y, 32) << c.text;
    if (c.on_baseline) {  // this face sets its Latin letters a pixel or so above the baseline
      EXPECT_LE(g.CellY() + g.black_box_y, font_->Metrics().ascent) << c.text;
      EXPECT_GE(g.CellY() + g.black_box_y, font_->Metrics().ascent - 2) << c.text;
    }
  }
  // A descender reaches below the baseline.
  platform::GlyphBitmap g;
  font_->RenderGlyph('g', g);
  EXPECT_GT(g.CellY() + g.black_box_y, font_->Metrics().ascent);
}

TEST_F(GlyphTest, BlankAndInvalidCodes) {
  platform::GlyphBitmap g;
  // The full-width space has no ink but advances a full width; the half-width space half.
  struct Case {
    uint32_t code;
    int advance;
  } blanks[] = {{0x8140, 24}, {' ', 12}};
  for (const Case& c : blanks) {
    ASSERT_TRUE(font_->RenderGlyph(c.code, g)) << std::hex << c.code;
    EXPECT_EQ(g.black_box_x, 0);
    EXPECT_EQ(g.black_box_y, 0);
    EXPECT_TRUE(g.levels.empty());
    EXPECT_EQ(g.advance, c.advance);
  }
  // Codes that are no Shift_JIS character: a trail byte alone, a two-byte code without a lead
  // byte, a lead byte with a bad trail byte.
  for (uint32_t code : {0x80u, 0x7E41u, 0x4142u, 0x817Fu, 0x12345u}) {
    EXPECT_FALSE(font_->RenderGlyph(code, g)) << std::hex << code;
    EXPECT_TRUE(g.levels.empty());
  }
}

TEST_F(GlyphTest, RasterisingAllocatesNothingOnceWarm) {
  std::vector<uint32_t> codes;
  for (const char* c : {"漢", "字", "A", "ｱ", "■", "　"}) codes.push_back(Code(SJ(c)));
  auto italic = platform::Font::Create(SJ("ＭＳ Ｐゴシック"), Desc(18, 8, 700, true));
  ASSERT_TRUE(italic);
  platform::GlyphBitmap g;
  platform::TextBitmap line;
  std::string text = SJ("テスト文字列 ABC");
  auto round = [&] {
    for (uint32_t code : codes) font_->RenderGlyph(code, g);
    italic->RenderLine(text, line);
  };
  round();
  int64_t warm = platform::FontLibraryAllocations();
  EXPECT_GT(warm, 0);  // the counter sees FreeType's allocations
  for (int i = 0; i < 3; ++i) round();
  EXPECT_EQ(platform::FontLibraryAllocations(), warm);
}

TEST_F(FontTest, BoldWidensAndItalicLeans) {
  auto make = [](int weight, bool italic) {
    return platform::Font::Create(SJ("ＭＳ Ｐゴシック"), Desc(20, 10, weight, italic));
  };
  auto regular = make(400, false), bold = make(700, false), italic = make(400, true);
  ASSERT_TRUE(regular && bold && italic);
  platform::TextBitmap r, b, i;
  std::string text = SJ("縦線|l");
  regular->RenderLine(text, r);
  bold->RenderLine(text, b);
  italic->RenderLine(text, i);
  auto ink = [](const platform::TextBitmap& t) {
    long sum = 0;
    for (uint8_t v : t.coverage) sum += v;
    return sum;
  };
  EXPECT_GT(ink(b), ink(r) * 115 / 100);
  EXPECT_GT(b.advance, r.advance);
  // Italic keeps the advance; the mean x of the ink moves right from the bottom rows to the top.
  EXPECT_EQ(i.advance, r.advance);
  auto lean = [](const platform::TextBitmap& t) {
    auto mean_x = [&](int y0, int y1) {
      double sum = 0, weight = 0;
      for (int y = y0; y < y1; ++y)
        for (int x = 0; x < t.width; ++x) {
          sum += x * t.coverage[y * t.width + x];
          weight += t.coverage[y * t.width + x];
        }
      return sum / weight;
    };
    return mean_x(0, t.height / 3) - mean_x(t.height * 2 / 3, t.height);
  };
  EXPECT_LT(std::abs(lean(r)), 1.0);
  EXPECT_GT(lean(i), 2.0);
}

class DrawTextTest : public FontTest {
 protected:
  void SetUp() override { ASSERT_TRUE(slots_.CreateDefaultSet()); }
  // The logical width of a line in a slot's font.
  int Advance(int height, int width, const std::string& text) {
    auto font = platform::Font::Create(SJ("ＭＳ Ｐゴシック"), Desc(height, width));
    platform::TextBitmap t;
    font->RenderLine(text, t);
    return t.advance;
  }
  int Draw(int slot, const std::string& text, platform::Rect rect, uint32_t argb, uint32_t format) {
    return slots_.DrawText(slot, text, rect, argb, format, frame_.data(), kW, kH);
  }
  FontSlots slots_;
  std::vector<uint32_t> frame_ = std::vector<uint32_t>(kW * kH, kBlack);
};

TEST_F(DrawTextTest, DefaultSetHasTheSixSlotHeights) {
  const int heights[kFontSlotCount] = {12, 14, 16, 18, 18, 20};
  for (int slot = 0; slot < kFontSlotCount; ++slot) {
    ASSERT_FALSE(slots_.Empty(slot));
    EXPECT_EQ(slots_.Font(slot)->Metrics().height, heights[slot]);
    EXPECT_EQ(slots_.Font(slot)->Face().family, "IPAPGothic");
    EXPECT_EQ(Draw(slot, SJ("見出し"), {0, 0, 800, 600}, 0xFFFFFFFF, DT_LEFT), heights[slot]);
  }
  EXPECT_TRUE(slots_.Empty(-1));
  EXPECT_TRUE(slots_.Empty(kFontSlotCount));
  EXPECT_FALSE(slots_.CreateFontSet(kFontSlotCount, 16, false, false, SJ("ＭＳ Ｐゴシック")));
}

TEST_F(DrawTextTest, FormatFlagsPlaceTheLineInTheRectangle) {
  const std::string text = SJ("本当に終了しますか？？");
  const platform::Rect rect{100, 100, 500, 140};
  const int advance = Advance(16, 8, text);
  ASSERT_GT(advance, 100);
  ASSERT_LT(advance, 400);
  struct Case {
    uint32_t format;
    int shift;  // of the line's start from the rectangle's left edge
  } cases[] = {
      {DT_LEFT, 0},
      {DT_CENTER, (400 - advance) / 2},
      {DT_RIGHT, 400 - advance},
  };
  Box left_box;
  for (const Case& c : cases) {
    std::fill(frame_.begin(), frame_.end(), kBlack);
    EXPECT_EQ(Draw(kFont16, text, rect, 0xFFFFFFFF, c.format), 16);
    Box box = InkBox(frame_);
    ASSERT_FALSE(box.Empty()) << c.format;
    if (c.format == DT_LEFT) left_box = box;
    // The ink starts within a pixel or two of the line's start and stays inside the line box.
    EXPECT_GE(box.left, rect.left + c.shift) << c.format;
    EXPECT_LE(box.left, rect.left + c.shift + 2) << c.format;
    EXPECT_LE(box.right, rect.left + c.shift + advance) << c.format;
    EXPECT_GE(box.top, rect.top) << c.format;
    EXPECT_LE(box.bottom, rect.top + 16) << c.format;
    // The same bitmap, moved.
    EXPECT_EQ(box.left - left_box.left, c.shift) << c.format;
    EXPECT_EQ(box.Width(), left_box.Width()) << c.format;
    EXPECT_EQ(box.top, left_box.top) << c.format;
  }
}

TEST_F(DrawTextTest, LinesStackAndAlignEachOnItsOwn) {
  const platform::Rect rect{200, 50, 600, 300};
  EXPECT_EQ(Draw(kFont20Bold, SJ("あ\r\nあああ\n\nあ"), rect, 0xFFFFFFFF, DT_CENTER), 80);
  // Row bands of ink: one per line that has text, 20 pixels apart.
  std::vector<Box> bands(4);
  for (int y = rect.top; y < rect.top + 80; ++y)
    for (int x = 0; x < kW; ++x)
      if (frame_[y * kW + x] != kBlack) {
        Box& b = bands[(y - rect.top) / 20];
        b.left = std::min(b.left, x), b.right = std::max(b.right, x);
        b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
      }
  ASSERT_FALSE(bands[0].Empty());
  ASSERT_FALSE(bands[1].Empty());
  EXPECT_TRUE(bands[2].Empty());
  ASSERT_FALSE(bands[3].Empty());
  EXPECT_EQ(bands[1].top - bands[0].top, 20);
  EXPECT_EQ(bands[3].top - bands[0].top, 60);
  EXPECT_EQ(bands[3].left, bands[0].left);
  // Centred: each line's ink is symmetric about the rectangle's middle, within a pixel or two.
  for (int i : {0, 1, 3}) EXPECT_NEAR(bands[i].left + bands[i].right + 1, 800, 3) << i;
  EXPECT_GT(bands[1].Width(), 2 * bands[0].Width());
}

TEST_F(DrawTextTest, InkNeverLeavesTheRectangleOrTheFrame) {
  const std::string text = SJ("セーブ時に上書き確認を行いません。");
  struct Case {
    platform::Rect rect;
    uint32_t format;
  } cases[] = {
      {{300, 200, 360, 230}, DT_LEFT},  // too narrow: the end is cut
      {{300, 200, 360, 230}, DT_RIGHT},  // too narrow: the start is cut
      {{300, 200, 600, 208}, DT_CENTER},  // too low: the bottom is cut
      {{-40, -6, 100, 30}, DT_LEFT},  // over the frame's corner
      {{700, 590, 900, 700}, DT_RIGHT},  // beyond the frame's edges
  };
  for (const Case& c : cases) {
    std::fill(frame_.begin(), frame_.end(), kBlack);
    Draw(kFont18, text, c.rect, 0xFFFFFFFF, c.format);
    Box box = InkBox(frame_);
    ASSERT_FALSE(box.Empty()) << c.rect.left;
    EXPECT_GE(box.left, c.rect.left) << c.rect.left;
    EXPECT_GE(box.top, c.rect.top) << c.rect.left;
    EXPECT_LT(box.right, c.rect.right) << c.rect.left;
    EXPECT_LT(box.bottom, c.rect.bottom) << c.rect.left;
  }
  // A cut line reaches the edge where it is cut.
  std::fill(frame_.begin(), frame_.end(), kBlack);
  Draw(kFont18, text, {300, 200, 360, 230}, 0xFFFFFFFF, DT_LEFT);
  EXPECT_GE(InkBox(frame_).right, 357);
  std::fill(frame_.begin(), frame_.end(), kBlack);
  Draw(kFont18, text, {300, 200, 360, 230}, 0xFFFFFFFF, DT_RIGHT);
  EXPECT_LE(InkBox(frame_).left, 302);
}

TEST_F(DrawTextTest, ColourAndAlphaBlendOverThePicture) {
  // "■" has a solid middle, so its centre pixel shows the blend at full coverage.
  const std::string block = SJ("■");
  struct Case {
    uint32_t background;
    uint32_t argb;
    uint32_t expected;
  } cases[] = {
      {0xFF000000, 0xFFFF0000, 0xFFFF0000},  // opaque red
      {0xFF102030, 0xFF00FF00, 0xFF00FF00},  // opaque colour replaces the picture
      {0xFF000000, 0x80FFFFFF, 0xFF808080},  // half white over black
      {0xFFFFFFFF, 0x80000000, 0xFF7F7F7F},  // half black over white
      {0xFF0000FF, 0x40FF0000, 0xFF4000BF},  // a quarter red over blue
      {0x00000000, 0xFF123456, 0x00123456},  // the frame's X byte is kept
  };
  for (const Case& c : cases) {
    std::fill(frame_.begin(), frame_.end(), c.background);
    Draw(kFont20Bold, block, {100, 100, 200, 200}, c.argb, DT_LEFT);
    Box box = InkBox(frame_, c.background);
    ASSERT_FALSE(box.Empty()) << std::hex << c.argb;
    uint32_t middle = frame_[(box.top + box.bottom) / 2 * kW + (box.left + box.right) / 2];
    EXPECT_EQ(middle, c.expected) << std::hex << c.argb << " over " << c.background;
    // Edge pixels lie between the picture and the full colour.
    uint32_t edge = frame_[(box.top + box.bottom) / 2 * kW + box.left];
    EXPECT_NE(edge, c.background);
  }
  // A transparent colour draws nothing.
  std::fill(frame_.begin(), frame_.end(), kBlack);
  Draw(kFont20Bold, block, {100, 100, 200, 200}, 0x00FFFFFF, DT_LEFT);
  EXPECT_TRUE(InkBox(frame_).Empty());
}

TEST_F(DrawTextTest, CaptionsDrawnEveryFrameAreRasterisedOnce) {
  const std::string caption = SJ("-- NO DATA --");
  Draw(kFont18, caption, {0, 0, 800, 600}, 0xFFFFFFFF, DT_RIGHT);
  int64_t rendered = slots_.RenderedLines();
  std::vector<uint32_t> first = frame_;
  for (int frame = 0; frame < 10; ++frame) {
    std::fill(frame_.begin(), frame_.end(), kBlack);
    Draw(kFont18, caption, {0, 0, 800, 600}, 0xFFFFFFFF, DT_RIGHT);
  }
  EXPECT_EQ(slots_.RenderedLines(), rendered);
  EXPECT_EQ(frame_, first);
  // More captions than the cache holds: the least recently drawn one goes, the others stay.
  for (int i = 0; i < FontSlots::kCachedLines; ++i)
    Draw(kFont18, "caption " + std::to_string(i), {0, 0, 800, 600}, 0xFFFFFFFF, DT_LEFT);
  rendered = slots_.RenderedLines();
  Draw(kFont18, "caption 63", {0, 0, 800, 600}, 0xFFFFFFFF, DT_LEFT);
  EXPECT_EQ(slots_.RenderedLines(), rendered);
  Draw(kFont18, caption, {0, 0, 800, 600}, 0xFFFFFFFF, DT_LEFT);
  EXPECT_EQ(slots_.RenderedLines(), rendered + 1);
  // Re-creating a slot forgets its lines.
  ASSERT_TRUE(slots_.CreateFontSet(kFont18, 18, false, false, SJ("ＭＳ Ｐゴシック")));
  Draw(kFont18, "caption 63", {0, 0, 800, 600}, 0xFFFFFFFF, DT_LEFT);
  EXPECT_EQ(slots_.RenderedLines(), rendered + 2);
}

class NoClient : public DeviceClient {
 public:
  void ReleaseDeviceResources() override {}
  void RestoreDeviceResources() override {}
  void SetDeviceReady(bool) override {}
};

TEST_F(FontTest, GraphicsDrawsTextOnlyWhileTheDeviceIsUp) {
  platform::HeadlessWindow window;
  platform::HeadlessMessageBoxes boxes;
  NoClient client;
  CGraphics graphics;
  auto draw = [&] {
    graphics.Clear(0, 1.0f);
    return graphics.DrawText(kFont14, SJ("キャプション"), {10, 10, 300, 40}, 0xFFFFFFFF, DT_LEFT);
  };
  auto frame = [&] { return std::vector<uint32_t>(graphics.Frame(), graphics.Frame() + kW * kH); };
  EXPECT_EQ(draw(), 0);
  EXPECT_TRUE(InkBox(frame()).Empty());
  ASSERT_TRUE(window.Create("t", 0, 0, kW, kH));
  ASSERT_TRUE(graphics.InitDevice(window, boxes, client, true));
  EXPECT_EQ(draw(), 14);
  Box box = InkBox(frame());
  ASSERT_FALSE(box.Empty());
  EXPECT_GE(box.left, 10);
  EXPECT_GE(box.top, 10);
  // A slot re-made with a face that is not installed is empty.
  EXPECT_FALSE(graphics.CreateFontSet(kFont14, 14, false, false, SJ("存在しない書体")));
  EXPECT_EQ(draw(), 0);
  // A display-mode switch restores the six slots.
  ASSERT_TRUE(graphics.ToggleScreenMode());
  EXPECT_EQ(draw(), 14);
  EXPECT_FALSE(InkBox(frame()).Empty());
  graphics.ReleaseDevice();
  EXPECT_EQ(draw(), 0);
  EXPECT_TRUE(InkBox(frame()).Empty());
}

}  // namespace
