// The Shift_JIS character rules, glyph cells, the special-glyph picture, CGlyphFont and the text
// box, drawn on the real rasteriser from pictures this file makes.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/glyph_font.h"
#include "graphics/text_box.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/image.h"
#include "resource/pack_file.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "resource/sjis_text.h"

namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// ---- fixtures ---------------------------------------------------------------------------

void Put16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
  b[at] = v & 0xFF;
  b[at + 1] = v >> 8;
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = (v >> (8 * i)) & 0xFF;
}

// The level of special glyph n at (column, row): a bar over the top 8 rows, 16 + n columns
// wide, so both the glyph and its upright orientation can be told.
int SpecialLevel(int n, int column, int row) {
  return row < 8 && column < 16 + n ? 15 : 0;
}

// A 128 × 128 4-bit bitmap file of the sixteen special glyphs, stored bottom-up.
std::vector<uint8_t> SpecialGlyphBmp(uint16_t bit_count = 4, int32_t height = 128) {
  std::vector<uint8_t> b(118 + 8192, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<uint32_t>(b.size()));
  Put32(b, 10, 118);
  Put32(b, 14, 40);
  Put32(b, 18, 128);
  Put32(b, 22, static_cast<uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, bit_count);
  for (int py = 0; py < 128; ++py)
    for (int px = 0; px < 128; ++px) {
      int n = (py / 32) * 4 + px / 32;
      int v = SpecialLevel(n, px % 32, py % 32);
      int file_row = height > 0 ? 127 - py : py;
      uint8_t& byte = b[118 + file_row * 64 + px / 2];
      byte |= (px & 1) ? v : v << 4;
    }
  return b;
}

// Band colours: the four strips and the name plate are told apart by colour.
constexpr uint32_t kStrip0 = 0xFFFF0000, kStrip1 = 0xFF00FF00, kStrip2 = 0xFF0000FF,
                   kStrip3 = 0xFFFFFF00, kPlate = 0xFFFF00FF;

std::vector<uint8_t> BandPng(bool second) {
  CImage32 image;
  image.Create(256, 256);
  auto* px = reinterpret_cast<uint32_t*>(image.Pixels());
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      uint32_t c = !second ? (y < 128 ? kStrip0 : kStrip1) : (y < 128 ? kStrip2 : kStrip3);
      if (second && y >= 128 && y < 176 && x >= 32) c = kPlate;
      // A darker frame on every 32 × 32 tile shows the tiling in screenshots.
      if (x % 32 == 0 || y % 32 == 0) c = (c & 0xFF000000) | ((c & 0xFEFEFE) >> 1);
      px[y * 256 + x] = c;
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

// The second glyph sheet: cursor frame f (cell 26 + f) is a white bar of f + 1 rows.
std::vector<uint8_t> TextTablePng() {
  CImage16 image;
  image.Create(256, 256);
  for (int f = 0; f < CTEXTBOX::kCursorFrames; ++f) {
    int cell = 26 + f;
    for (int row = 0; row <= f; ++row)
      for (int column = 8; column < 24; ++column)
        image.Pixels()[((cell / 8) * 32 + row) * 256 + (cell % 8) * 32 + column] = 0xFFFF;
  }
  return *EncodePNG16(image);
}

struct Archive {
  std::string path;
  CPackFile pack;
  explicit Archive(const std::vector<PackSource>& entries) {
    static int serial = 0;
    path = (std::filesystem::temp_directory_path() /
            ("textbox_" + std::to_string(getpid()) + "_" + std::to_string(serial++) + ".pkd"))
               .string();
    auto bytes = BuildPack(entries);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes->data(), 1, bytes->size(), f);
    std::fclose(f);
    pack.SetPause([](int) {});
    pack.OpenHostFile(path);
  }
  ~Archive() { std::filesystem::remove(path); }
};

std::vector<PackSource> AllPictures() {
  return {{"textbox\\textbox_bg1.png", BandPng(false)},
          {"textbox\\textbox_bg2.png", BandPng(true)},
          {"textbox\\text_table1.png", TextTablePng()},
          {"textbox\\default_font.bmp", SpecialGlyphBmp()}};
}

int Draws(const gfx::Device& dev) {
  return dev.FastQuads() + dev.GeneralTriangles() / 2;
}

uint64_t Checksum(const uint32_t* frame) {
  uint64_t h = 1469598103934665603ull;
  for (int i = 0; i < 800 * 600; ++i) {
    h ^= frame[i];
    h *= 1099511628211ull;
  }
  return h;
}

uint16_t SheetTexel(const CTexture& sheet, int x, int y) {
  return reinterpret_cast<const uint16_t*>(sheet.Interface()->Bits())[y * 256 + x];
}

class TextBoxTest : public ::testing::Test {
 protected:
  explicit TextBoxTest(std::vector<PackSource> entries = AllPictures()) : archive_(entries) {
    log_.SetEcho(false);
    dev_.SetAlphaBlendEnable(true);
    dev_.Clear(0, 1.0f);
    box_.Create(dev_, archive_.pack);
    box_.SetPosition(0, 444);
  }
  uint32_t At(int x, int y) const { return dev_.Frame()[y * 800 + x] & 0xFFFFFF; }

  platform::Log log_;
  gfx::Device dev_{800, 600};
  Archive archive_;
  CTEXTBOX box_;
};

// ---- the Shift_JIS rules ------------------------------------------------------------------

TEST(SjisText, CountsCutsAndSkipsNonCharacters) {
  const std::string kana = "\xB1\xB2";  // half-width katakana: no characters
  const std::string a = SJ("あ"), i = SJ("い");
  struct Case {
    std::string text;
    int count;
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {a + " x", 3},
      {kana, 0},
      {kana + a + "\x80" + i, 2},
      {a + "\x82", 1},  // a lead byte cut off at the end
      {"\xE0\x40\xFC\xFC", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(sjis::CharCount(c.text), c.count) << c.text;

  const std::string text = "a" + kana + a + "b" + i;
  std::string_view ch;
  EXPECT_EQ(sjis::CharAt(text, 1, &ch), 1);
  EXPECT_EQ(ch, "a");
  EXPECT_EQ(sjis::CharAt(text, 2, &ch), 2);
  EXPECT_EQ(ch, a);
  EXPECT_EQ(sjis::CharAt(text, 4, &ch), 2);
  EXPECT_EQ(ch, i);
  EXPECT_EQ(sjis::CharAt(text, 5, &ch), -1);
  EXPECT_TRUE(ch.empty());
  EXPECT_EQ(sjis::CharAt(text, 0, &ch), -1);
  EXPECT_EQ(sjis::Substring(text, 2, 2), a + "b");
  EXPECT_EQ(sjis::Substring(text, 3, 9), "b" + i);
  EXPECT_EQ(sjis::Substring(text, 6, 1), "");

  EXPECT_EQ(sjis::GlyphCode("A"), 'A');
  EXPECT_EQ(sjis::GlyphCode("~"), 0x7E00u);  // above 125: the two-byte form
  EXPECT_EQ(sjis::GlyphCode(a), 0x82A0u);
}

// ---- glyph cells and the special-glyph picture --------------------------------------------

TEST(SpecialGlyphs, LoadsUprightAndRefusesOtherFiles) {
  SpecialGlyphs picture;
  ASSERT_TRUE(LoadSpecialGlyphsFromMemory(SpecialGlyphBmp(), picture));
  for (int n : {0, 5, 15}) {
    EXPECT_EQ(picture.Level(n, 15 + n, 0), 15) << n;
    EXPECT_EQ(picture.Level(n, 16 + n, 0), 0) << n;
    EXPECT_EQ(picture.Level(n, 0, 7), 15) << n;
    EXPECT_EQ(picture.Level(n, 0, 8), 0) << n;
    EXPECT_EQ(picture.Level(n, 0, 31), 0) << n;
  }
  // A top-down file (negative height) is already upright; a huge height flips no further.
  SpecialGlyphs top_down;
  ASSERT_TRUE(LoadSpecialGlyphsFromMemory(SpecialGlyphBmp(4, -128), top_down));
  EXPECT_EQ(top_down.bits, picture.bits);
  SpecialGlyphs tall;
  auto tall_file = SpecialGlyphBmp();
  Put32(tall_file, 22, 100000);
  ASSERT_TRUE(LoadSpecialGlyphsFromMemory(tall_file, tall));
  EXPECT_EQ(tall.bits, picture.bits);

  // Failures leave the loaded picture as it was.
  auto before = picture.bits;
  auto eight_bit = SpecialGlyphBmp(8);
  auto short_file = SpecialGlyphBmp();
  short_file.resize(118 + 8191);
  EXPECT_FALSE(LoadSpecialGlyphsFromMemory(eight_bit, picture));
  EXPECT_FALSE(LoadSpecialGlyphsFromMemory(short_file, picture));
  Archive archive({{"textbox\\default_font.bmp", SpecialGlyphBmp()}});
  EXPECT_FALSE(LoadSpecialGlyphs(archive.pack, "textbox\\missing.bmp", picture));
  EXPECT_TRUE(picture.loaded);
  EXPECT_EQ(picture.bits, before);
  SpecialGlyphs from_archive;
  EXPECT_TRUE(LoadSpecialGlyphs(archive.pack, "textbox\\default_font.bmp", from_archive));
  EXPECT_EQ(from_archive.bits, picture.bits);
}

TEST(RenderGlyph, PlacesLevelsByOriginAndAscentAndClipsToTheCell) {
  auto font = CreateGlyphFace();
  if (!font) GTEST_SKIP() << "no glyph face installed";
  const std::string a = SJ("あ");
  platform::GlyphBitmap g;
  ASSERT_TRUE(font->RenderGlyph(sjis::GlyphCode(a), g));
  std::vector<int> levels(g.levels.begin(), g.levels.end());
  int left = g.CellX(), top = g.CellY(), pitch = g.pitch, rows = g.black_box_y;

  // Three cells in a row; the glyph goes into the middle one, the others are guards.
  std::vector<uint16_t> cells(3 * kGlyphCellTexels, 0x0ABC);
  GlyphCellSpan cell(cells.data() + kGlyphCellTexels, kGlyphCellTexels);
  EXPECT_EQ(RenderGlyph(cell, a, 0, 0, 0x0123, font.get(), nullptr), 1);
  int ink = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      int gx = x - left, gy = y - top;
      int v = gx >= 0 && gy >= 0 && gx < pitch && gy < rows ? levels[gy * pitch + gx] : 0;
      uint16_t want = v ? static_cast<uint16_t>(0x0123 + std::min(v, 15) * 0x1000) : 0x0ABC;
      ASSERT_EQ(cell[y * 32 + x], want) << x << "," << y;
      ink += v != 0;
    }
  EXPECT_GT(ink, 50);

  // Offsets that push the ink past the cell's edges write inside the cell only.
  std::fill(cells.begin(), cells.end(), 0x0ABC);
  for (auto [dx, dy] : {std::pair{28, 28}, {-20, -20}, {20, -25}})
    RenderGlyph(cell, a, dx, dy, 0x0FFF, font.get(), nullptr);
  for (int i = 0; i < kGlyphCellTexels; ++i) {
    ASSERT_EQ(cells[i], 0x0ABC);
    ASSERT_EQ(cells[2 * kGlyphCellTexels + i], 0x0ABC);
  }

  // The full-width space writes nothing at all.
  std::fill(cells.begin(), cells.end(), 0x0ABC);
  RenderGlyph(cell, "\x81\x40", 0, 0, 0x0FFF, font.get(), nullptr);
  for (uint16_t t : cells) ASSERT_EQ(t, 0x0ABC);
}

TEST(RenderGlyph, SpecialCodesComeFromThePictureWhenLoaded) {
  SpecialGlyphs picture;
  ASSERT_TRUE(LoadSpecialGlyphsFromMemory(SpecialGlyphBmp(), picture));
  auto font = CreateGlyphFace();
  std::vector<uint16_t> cell_texels(kGlyphCellTexels, 0);
  GlyphCellSpan cell(cell_texels.data(), kGlyphCellTexels);
  bool special = false;
  RenderGlyph(cell, "\x87\x43", 0, 0, 0x0FFF, font.get(), &picture, &special);  // glyph 3
  EXPECT_TRUE(special);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x)
      ASSERT_EQ(cell[y * 32 + x], SpecialLevel(3, x, y) ? 0xFFFF : 0) << x << "," << y;

  // Without a picture the code is an ordinary character of the face.
  std::fill(cell_texels.begin(), cell_texels.end(), 0);
  special = false;
  RenderGlyph(cell, "\x87\x43", 0, 0, 0x0FFF, font.get(), nullptr, &special);
  EXPECT_FALSE(special);
  if (font) {
    EXPECT_NE(cell_texels, std::vector<uint16_t>(kGlyphCellTexels, 0));
  }
}

// ---- CGlyphFont ---------------------------------------------------------------------------

TEST(GlyphFont, TakesFewerThan64Characters) {
  gfx::Device dev(800, 600);
  CGlyphFont font;
  ASSERT_TRUE(font.Init(dev));
  const std::string a = SJ("あ");
  EXPECT_EQ(font.SetText(Repeat(a, 63)), 0);
  EXPECT_EQ(font.Count(), 63);
  EXPECT_EQ(font.Width(), 63 * 28);
  EXPECT_EQ(font.SetText(Repeat(a, 64)), -1);
  EXPECT_EQ(font.Count(), -1);
  EXPECT_EQ(font.Text(), Repeat(a, 63));
  EXPECT_EQ(font.Width(), 0);
  int before = Draws(dev);
  font.BuildGlyphs();
  font.Draw();
  EXPECT_EQ(Draws(dev), before);
  // Half-width katakana are no characters.
  EXPECT_EQ(font.SetText("\xB1\xB2"), 0);
  EXPECT_EQ(font.Count(), 0);
}

TEST(GlyphFont, SpacesTakeACellButAreNeverDrawn) {
  gfx::Device dev(800, 600);
  dev.SetAlphaBlendEnable(true);
  CGlyphFont font;
  ASSERT_TRUE(font.Init(dev));
  SpecialGlyphs picture;
  ASSERT_TRUE(LoadSpecialGlyphsFromMemory(SpecialGlyphBmp(), picture));
  font.SetSpecialGlyphs(&picture);
  font.SetPosition(100, 50);

  // An earlier text fills cell 1, which the space of the next text leaves as it was.
  ASSERT_EQ(font.SetText(SJ("あい")), 0);
  font.BuildGlyphs();
  ASSERT_EQ(font.SetText("\x87\x40 A" + SJ("　")), 0);  // ①, space, letter, full-width space
  EXPECT_EQ(font.Count(), 4);
  EXPECT_EQ(font.Width(), 4 * 28);
  font.BuildGlyphs();
  // Cell 0 holds special glyph 0.
  EXPECT_EQ(SheetTexel(font.Sheet(), 15, 0), 0xFFFF);
  EXPECT_EQ(SheetTexel(font.Sheet(), 16, 0) >> 12, 0);
  int before = Draws(dev);
  font.Draw();
  EXPECT_EQ(Draws(dev) - before, 3);  // ①, A and the empty full-width space cell
  EXPECT_EQ(dev.Frame()[50 * 800 + 100 + 10] & 0xFFFFFF, 0xFFFFFFu);  // the bar of ① at (x, y)
  EXPECT_EQ(dev.Frame()[50 * 800 + 100 + 28 + 10] & 0xFFFFFF, 0u);  // nothing where the space is

  // A control byte ends the glyphs; what follows is not drawn from stale cells.
  ASSERT_EQ(font.SetText(SJ("あ") + "\n" + SJ("いう")), 0);
  font.BuildGlyphs();
  before = Draws(dev);
  font.Draw();
  EXPECT_EQ(Draws(dev) - before, 1);
}

// ---- CTEXTBOX -----------------------------------------------------------------------------

TEST_F(TextBoxTest, AdvanceStopsAtPauseSignsWithTheCursorOnTheSign) {
  const std::string page = SJ("あ▽い");
  box_.Advance(-1);
  EXPECT_EQ(box_.CursorX(), 40);
  EXPECT_EQ(box_.CursorY(), 454);
  ASSERT_EQ(box_.SetLine(0, page), 0);
  struct Step {
    int result, glyphs;
    float cursor_x;
  } steps[] = {{0, 1, 64}, {2, 2, 64}, {0, 3, 112}, {1, 3, 112}, {1, 3, 112}};
  for (const Step& s : steps) {
    EXPECT_EQ(box_.Advance(0), s.result);
    EXPECT_EQ(box_.GlyphCount(), s.glyphs);
    EXPECT_EQ(box_.CursorX(), s.cursor_x);
    EXPECT_EQ(box_.CursorY(), 454);
  }
  EXPECT_EQ(box_.PauseCount(), 2);  // the sign and the end of the page
  for (int g = 0; g < 3; ++g) {
    EXPECT_EQ(box_.GlyphX(g), 24 * g);
    EXPECT_EQ(box_.GlyphY(g), 0);
  }

  // Mode 1 runs to the sign, then to the end.
  box_.Advance(-1);
  box_.SetLine(0, page);
  EXPECT_EQ(box_.Advance(1), 2);
  EXPECT_EQ(box_.GlyphCount(), 2);
  EXPECT_EQ(box_.Advance(1), 1);
  EXPECT_EQ(box_.GlyphCount(), 3);
  EXPECT_EQ(box_.CurrentLine(), -1);
}

TEST_F(TextBoxTest, OnlyTwoByteCharactersTakePositions) {
  ASSERT_TRUE(box_.LoadSpecialGlyphs("textbox\\default_font.bmp"));
  box_.Advance(-1);
  box_.SetLine(0, "a" + SJ("あ") + " \xB1" + SJ("い") + "b");
  box_.SetLine(2, "\x87\x40" + SJ("う"));
  EXPECT_EQ(box_.LineCount(0), 5);
  EXPECT_EQ(box_.Advance(1), 1);
  ASSERT_EQ(box_.GlyphCount(), 4);
  struct Want {
    float x, y;
  } want[] = {{0, 0}, {24, 0}, {0, 64 - 8}, {24, 64}};  // ① is lifted 8 pixels
  for (int g = 0; g < 4; ++g) {
    EXPECT_EQ(box_.GlyphX(g), want[g].x) << g;
    EXPECT_EQ(box_.GlyphY(g), want[g].y) << g;
  }
  EXPECT_EQ(box_.CursorX(), 40 + 48);
  EXPECT_EQ(box_.CursorY(), 444 + 10 + 64);
}

TEST_F(TextBoxTest, LongLinesAndNamesBecomeTheOverflowMarks) {
  const std::string a = SJ("あ");
  EXPECT_EQ(box_.SetLine(0, Repeat(a, 30)), 0);
  EXPECT_EQ(box_.Line(0), Repeat(a, 30));
  EXPECT_EQ(box_.LineCount(0), 30);
  EXPECT_EQ(box_.SetLine(1, Repeat(a, 31)), 0);
  EXPECT_EQ(box_.Line(1), SJ("◆文字数制限オーバー◆"));
  EXPECT_EQ(box_.LineCount(1), 11);
  EXPECT_EQ(box_.SetLine(3, a), -1);
  EXPECT_EQ(box_.SetLine(-1, a), -1);

  box_.SetName(Repeat(a, 7));
  EXPECT_EQ(box_.Name(), Repeat(a, 7));
  EXPECT_EQ(box_.NameCount(), 7);
  box_.SetName(Repeat(a, 8));
  EXPECT_EQ(box_.Name(), SJ("◆文字数オーバー"));
  EXPECT_EQ(box_.NameCount(), 8);

  box_.SetTextColor(0);
  EXPECT_EQ(box_.TextColor(), 1);
  box_.SetBoxAlpha(300);
  EXPECT_EQ(box_.BoxAlpha(), 255);
  box_.SetBoxAlpha(-3);
  EXPECT_EQ(box_.BoxAlpha(), 0);
}

TEST_F(TextBoxTest, EachStyleDrawsEveryGlyphItsNumberOfTimes) {
  box_.Advance(-1);
  box_.SetLine(0, SJ("あいう"));
  box_.SetLine(1, SJ("えお"));
  box_.Advance(1);
  ASSERT_EQ(box_.GlyphCount(), 5);
  box_.SetNamePlate(true);
  box_.SetName(SJ("なまえ"));
  for (auto [style, copies] : {std::pair{0, 1}, {1, 2}, {2, 5}}) {
    box_.SetTextStyle(style);
    int before = Draws(dev_);
    box_.Draw(0);
    // 100 tiles, the plate, and every text and name glyph with its copies.
    EXPECT_EQ(Draws(dev_) - before, 100 + 1 + (5 + 3) * copies) << style;
  }
  EXPECT_EQ(box_.SetTextStyle(0), 2);
}

TEST_F(TextBoxTest, BandAndPlateComeFromTheirStrips) {
  box_.SetNamePlate(true);
  box_.Draw(0);
  // Band alpha (255 / 5) × 4 = 204 over black.
  auto scaled = [](uint32_t c) {
    uint32_t out = 0;
    for (int s = 0; s < 24; s += 8) out |= ((((c >> s) & 0xFF) * 204 + 127) / 255) << s;
    return out;
  };
  EXPECT_EQ(At(100, 500), scaled(kStrip0));
  EXPECT_EQ(At(300, 500), scaled(kStrip1));
  EXPECT_EQ(At(600, 500), scaled(kStrip2));
  EXPECT_EQ(At(790, 500), scaled(kStrip3));
  EXPECT_EQ(At(100, 420), scaled(kPlate));
  EXPECT_EQ(At(100, 390), 0u);
}

TEST(TextBoxMissing, MissingPicturesAreLoggedAndTheBoxStillWorks) {
  platform::Log log;
  log.SetEcho(false);
  gfx::Device dev(800, 600);
  dev.SetAlphaBlendEnable(true);
  dev.Clear(0, 1.0f);
  Archive archive({{"textbox\\default_font.bmp", SpecialGlyphBmp()}});
  CTEXTBOX box;
  EXPECT_TRUE(box.Create(dev, archive.pack));
  for (const char* line : {"textbox_bg1.png Load failed.", "textbox_bg2.png Load failed.",
                           "text_table1.png Load failed."})
    EXPECT_TRUE(log.Contains(std::string("[CTEXTBOX::Create : ")) && log.Contains(line)) << line;
  EXPECT_FALSE(box.LoadSpecialGlyphs("textbox\\none.bmp"));
  EXPECT_EQ(box.SpecialGlyphPicture(), nullptr);
  EXPECT_TRUE(box.LoadSpecialGlyphs("textbox\\default_font.bmp"));
  EXPECT_NE(box.SpecialGlyphPicture(), nullptr);
  box.SetLine(0, SJ("あ"));
  EXPECT_EQ(box.Advance(0), 0);
  box.SetCursorVisible(true);
  box.SetNamePlate(true);
  box.Draw(16);
  EXPECT_EQ(dev.Frame()[500 * 800 + 400] & 0xFFFFFF,
            0u);  // an empty band, nothing read from nowhere
}

// Pictures of the wrong size would be read past their end by the 256 × 256 upload: they count
// as failed loads.
TEST(TextBoxMissing, PicturesOfTheWrongSizeCountAsFailedLoads) {
  platform::Log log;
  log.SetEcho(false);
  gfx::Device dev(800, 600);
  dev.SetAlphaBlendEnable(true);
  dev.Clear(0, 1.0f);
  CImage32 small;
  small.Create(64, 64);
  small.Fill(0xFFFFFFFF);
  CImage16 small16;
  small16.Create(128, 128);
  Archive archive({{"textbox\\textbox_bg1.png", *EncodePNG(small, PngChannels::Rgba)},
                   {"textbox\\textbox_bg2.png", BandPng(true)},
                   {"textbox\\text_table1.png", *EncodePNG16(small16)}});
  CTEXTBOX box;
  EXPECT_TRUE(box.Create(dev, archive.pack));
  EXPECT_TRUE(log.Contains("textbox_bg1.png Load failed."));
  EXPECT_FALSE(log.Contains("textbox_bg2.png Load failed."));
  EXPECT_TRUE(log.Contains("text_table1.png Load failed."));
  box.Draw(0);
  EXPECT_EQ(dev.Frame()[500 * 800 + 100] & 0xFFFFFF, 0u);  // strip 0: empty
  EXPECT_NE(dev.Frame()[500 * 800 + 600] & 0xFFFFFF, 0u);  // strip 2: from picture 2
}

TEST_F(TextBoxTest, WaitCursorRunsItsFourteenFramesAt33Ms) {
  box_.Advance(-1);
  box_.SetLine(0, SJ("あ"));
  box_.Advance(0);
  box_.SetBoxAlpha(255);
  box_.SetCursorVisible(true);
  int cx = static_cast<int>(box_.CursorX()) + 16, cy = static_cast<int>(box_.CursorY());
  // Frame f shows a bar of f + 1 rows; the first frame lasts 3 ms, every other 33 ms.
  struct Step {
    int elapsed, drawn_frame, next_frame;
  } steps[] = {{2, 0, 0}, {1, 0, 1}, {32, 1, 1}, {1, 1, 2}, {40, 2, 3}};
  for (const Step& s : steps) {
    dev_.Clear(0, 1.0f);
    box_.Draw(s.elapsed);
    EXPECT_EQ(At(cx, cy + s.drawn_frame), 0xFFFFFFu) << s.elapsed;
    EXPECT_NE(At(cx, cy + s.drawn_frame + 1), 0xFFFFFFu) << s.elapsed;
    EXPECT_EQ(box_.CursorFrame(), s.next_frame);
  }
  for (int i = 0; i < 10; ++i) box_.Draw(33);
  EXPECT_EQ(box_.CursorFrame(), 13);
  box_.Draw(33);
  EXPECT_EQ(box_.CursorFrame(), 0);
}

TEST_F(TextBoxTest, TransitionsRunTheirCourseAndEnd) {
  // The last block starts at most 7 × 64 + 63 ms in and takes 128 ms at 2 alpha per ms.
  for (int kind = 0; kind < 4; ++kind) {
    box_.SetBoxAlpha(100);
    box_.StartBoxTransition(kind);
    EXPECT_TRUE(box_.TransitionActive());
    EXPECT_EQ(box_.BoxAlpha(), 255);
    int ms = 0;
    while (box_.TransitionActive() && ms < 5000) {
      int before = Draws(dev_);
      box_.Draw(16);
      ms += 16;
      EXPECT_LE(Draws(dev_) - before, CTEXTBOX::kBlocks);
    }
    EXPECT_GE(ms, 128) << kind;
    EXPECT_LE(ms, 511 + 128 + 3 * 16) << kind;
  }
  // Build-up kinds leave the whole band on the last frame; dissolving ones leave nothing.
  box_.StartBoxTransition(1);
  int last = 0;
  while (box_.TransitionActive()) {
    int before = Draws(dev_);
    box_.Draw(16);
    last = Draws(dev_) - before;
  }
  EXPECT_EQ(last, CTEXTBOX::kBlocks);
  box_.StartBoxTransition(2);
  while (box_.TransitionActive()) {
    int before = Draws(dev_);
    box_.Draw(16);
    last = Draws(dev_) - before;
  }
  EXPECT_EQ(last, 0);
}

TEST_F(TextBoxTest, RestoreStateRebuildsThePageToTheSamePause) {
  const std::string page0 = SJ("あい▽う"), page1 = SJ("え▽お");
  struct Case {
    int advances;  // Advance(1) calls before saving
    int result, glyphs, pauses;
  } cases[] = {{0, 2, 3, 1}, {1, 2, 3, 1}, {2, 2, 6, 2}, {3, 1, 7, 3}};
  for (const Case& c : cases) {
    box_.SetTextColor(0x0F80);
    box_.SetName(SJ("なまえ"));
    box_.SetNamePlate(true);
    box_.SetCursorVisible(true);
    box_.Advance(-1);
    box_.SetLine(0, page0);
    box_.SetLine(2, page1);
    for (int i = 0; i < c.advances; ++i) box_.Advance(1);
    float cursor_x = box_.CursorX(), cursor_y = box_.CursorY();
    box_.SaveState();

    box_.SetTextColor(0x0FFF);
    box_.SetName(SJ("べつ"));
    box_.SetNamePlate(false);
    box_.SetCursorVisible(false);
    box_.Advance(-1);
    box_.SetLine(0, SJ("ちがう"));
    box_.Advance(1);

    EXPECT_EQ(box_.RestoreState(), c.result) << c.advances;
    EXPECT_EQ(box_.GlyphCount(), c.glyphs) << c.advances;
    EXPECT_EQ(box_.PauseCount(), c.pauses) << c.advances;
    EXPECT_EQ(box_.Line(0), page0);
    EXPECT_EQ(box_.Line(2), page1);
    EXPECT_EQ(box_.Name(), SJ("なまえ"));
    EXPECT_EQ(box_.TextColor(), 0x0F80);
    EXPECT_TRUE(box_.NamePlate());
    EXPECT_TRUE(box_.CursorVisible());
    if (c.advances > 0) {
      EXPECT_EQ(box_.CursorX(), cursor_x) << c.advances;
      EXPECT_EQ(box_.CursorY(), cursor_y) << c.advances;
    }
  }
}

// A shrinking block (kind 2) that reaches nothing stays at nothing instead of turning inside
// out and growing again over its neighbours.
TEST_F(TextBoxTest, ShrinkingBlocksVanishWithoutTurningInsideOut) {
  box_.StartBoxTransition(2);
  for (int frame = 0; frame < 9; ++frame) box_.Draw(16);
  // Every block of the top row now has alpha 63 or less: sizes 16 + 2d with d ≤ −12.
  dev_.Clear(0, 1.0f);
  box_.Draw(16);
  for (int y = 444; y < 460; ++y)
    for (int x = 0; x < 800; ++x) ASSERT_EQ(At(x, y), 0u) << x << "," << y;
  EXPECT_NE(At(100, 444 + 16 * 7 + 8), 0u);  // the bottom row is still whole
}

// One fixed page in each style, with the name plate and the cursor, checked by the frame's
// checksum. LANTHORN_TEXTBOX_SHOTS=folder writes the frames as PNG files to look at.
TEST_F(TextBoxTest, GoldenPageInEachStyle) {
  if (!CreateGlyphFace()) GTEST_SKIP() << "no glyph face installed";
  ASSERT_TRUE(box_.LoadSpecialGlyphs("textbox\\default_font.bmp"));
  const uint64_t want[3] = {5710717236401248073ull, 8953180073265521830ull, 8914701090544346035ull};
  for (int style = 0; style < 3; ++style) {
    box_.SetTextStyle(style);
    box_.SetBoxAlpha(255);
    box_.SetTextColor(0x0FFF);
    box_.SetName(SJ("語り手"));
    box_.SetNamePlate(true);
    box_.Advance(-1);
    box_.SetLine(0, SJ("吾輩は猫である。名前はまだ無い。"));
    box_.SetLine(1, SJ("どこで生れたかとんと見当がつかぬ。▽"));
    box_.SetLine(2, "\x87\x40" + SJ("何でも薄暗いじめじめした所で") + "\x87\x45");
    box_.Advance(1);
    box_.Advance(1);
    box_.SetCursorVisible(true);
    dev_.Clear(0xFF405060, 1.0f);
    box_.Draw(0);
    if (const char* dir = std::getenv("LANTHORN_TEXTBOX_SHOTS"))
      SavePNG(std::string(dir) + "/textbox_style" + std::to_string(style) + ".png",
              reinterpret_cast<const uint8_t*>(dev_.Frame()), 800, 600, 800 * 4, PngChannels::Rgb);
    if (const char* dir = std::getenv("LANTHORN_TEXTBOX_SHOTS")) {
      // The text enlarged four times, to judge shadows and outlines.
      std::vector<uint32_t> zoom(840 * 400);
      for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 840; ++x) zoom[y * 840 + x] = dev_.Frame()[(440 + y / 4) * 800 + x / 4];
      SavePNG(std::string(dir) + "/textbox_zoom" + std::to_string(style) + ".png",
              reinterpret_cast<const uint8_t*>(zoom.data()), 840, 400, 840 * 4, PngChannels::Rgb);
    }
    EXPECT_EQ(Checksum(dev_.Frame()), want[style]) << "style " << style;
  }
}

}  // namespace
