// The demo game as built: its first story page drawn in each of the three text styles. The style
// is a setting ("system.dat"), not a script command, so this is how the demo's own content shows
// plain, drop-shadowed and outlined text; each style must change the pixels where the text is.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "app/headless.h"
#include "save/system_data.h"
#include "support/game_folder.h"

namespace {

namespace stdfs = std::filesystem;

constexpr int kWidth = 800;
// The text box's three lines: the band from y 444, text from y 456 for 96 rows.
constexpr int kTextTop = 452, kTextBottom = 556, kTextLeft = 24, kTextRight = 760;

std::vector<uint8_t> SettingsWithStyle(int style) {
  SystemData d = FirstStartSystemData();
  d.TextStyle = style;
  d.TextSpeed = 7;  // the whole page at once
  std::vector<uint8_t> bytes(sizeof d);
  std::memcpy(bytes.data(), &d, sizeof d);
  return bytes;
}

// The frame's text area once the demo's first page stands complete, with the given style.
std::vector<uint32_t> FirstPageText(const stdfs::path& demo, int style) {
  testing_support::GameFolder folder;
  for (const char* archive : {"system.pkd", "thumb.pkd", "grp.pkd"})
    stdfs::copy_file(demo / archive, stdfs::path(folder.path()) / archive);
  folder.Write("system.dat", SettingsWithStyle(style));

  HeadlessGame game;
  game.sound.available = false;
  EXPECT_TRUE(game.Boot());
  // A new game: the story from its first script.
  CADV& adv = game.process.adv;
  EXPECT_TRUE(adv.script.Load("SCP\\startup.scp"));
  adv.game_mode = MODE_ADV;
  adv.adv_state = ADV_RUNNING;
  // Through the opening fade of the picture and the window up to the first page.
  for (int i = 0; i < 400 && adv.adv_state != ADV_PAGE_WAIT; ++i) game.Frame(16);
  EXPECT_EQ(adv.adv_state, ADV_PAGE_WAIT);
  game.Frames(4);

  const uint32_t* frame = game.process.graphics.Frame();
  std::vector<uint32_t> text;
  for (int y = kTextTop; y < kTextBottom; ++y)
    for (int x = kTextLeft; x < kTextRight; ++x) text.push_back(frame[y * kWidth + x] & 0xFFFFFF);
  return text;
}

int DifferentPixels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

TEST(DemoStory, EveryTextStyleChangesTheFirstPage) {
  const char* build = std::getenv("LANTHORN_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  const stdfs::path demo = stdfs::path(build) / "demo";
  ASSERT_TRUE(stdfs::exists(demo / "system.pkd")) << "build the demo target first";

  std::array<std::vector<uint32_t>, 3> styles;
  for (int s = 0; s < 3; ++s) styles[s] = FirstPageText(demo, s);
  // Text is there at all: the plain page differs from the empty band around a line of glyphs.
  int lit = 0;
  for (uint32_t px : styles[0]) lit += ((px >> 16 & 0xFF) + (px >> 8 & 0xFF) + (px & 0xFF)) > 600;
  EXPECT_GT(lit, 200) << "no bright text pixels on the first page";
  // Shadow and outline each add dark copies beside the glyphs, in different places.
  EXPECT_GT(DifferentPixels(styles[0], styles[1]), 100);
  EXPECT_GT(DifferentPixels(styles[0], styles[2]), 100);
  EXPECT_GT(DifferentPixels(styles[1], styles[2]), 100);
}

// A game copied into a folder whose name Shift_JIS cannot hold (accented Latin, Hangul, an
// emoji) keeps every player file inside that folder and still finds its music there.
TEST(DemoStory, AFolderShiftJisCannotNameKeepsThePlayerFilesInside) {
  const char* build = std::getenv("LANTHORN_BUILD_DIR");
  ASSERT_NE(build, nullptr);
  const stdfs::path demo = stdfs::path(build) / "demo";
  ASSERT_TRUE(stdfs::exists(demo / "system.pkd")) << "build the demo target first";

  testing_support::GameFolder outer;
  const stdfs::path inside = stdfs::path(outer.path()) / "café 게임 \xF0\x9F\x8E\xAE";
  stdfs::copy(demo, inside, stdfs::copy_options::recursive);
  for (const char* player : {"system.dat", "data.dat", "text.dat", "SAVE"}) stdfs::remove_all(inside / player);
  ASSERT_EQ(::chdir(inside.c_str()), 0);  // the outer folder puts the old current folder back

  HeadlessGame game;
  game.process.log.SetEcho(false);
  ASSERT_TRUE(game.Boot());
  CStreamSound& bgm = game.process.bgm;
  for (int i = 0; i < 300 && !bgm.IsPlaying(); ++i) game.Frame(16);
  EXPECT_TRUE(bgm.IsPlaying()) << game.process.log.Utf8Text();
  EXPECT_NE(bgm.FileName().find("title.ogg"), std::string::npos);

  CADV& adv = game.process.adv;
  EXPECT_TRUE(adv.SaveProgress());
  EXPECT_TRUE(adv.SaveReadPositions());
  EXPECT_TRUE(adv.SaveSlot(0));
  EXPECT_TRUE(adv.WriteThumbnail("SAVE\\0.bmp"));
  for (const char* file : {"system.dat", "data.dat", "text.dat", "SAVE/0.dat", "SAVE/0.bmp"})
    EXPECT_TRUE(stdfs::is_regular_file(inside / file)) << file;
  // Nothing went into a sibling folder with a lossy name.
  EXPECT_EQ(std::distance(stdfs::directory_iterator(outer.path()), stdfs::directory_iterator()), 1);
}

}  // namespace
