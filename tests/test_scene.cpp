// The picture layers and screen effects, driven through the headless engine: transition timing
// under the effect-speed and hold rules, the loaders' caches, the effects' ends, and the pixels
// of chosen frames.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/dik.h"
#include "resource/image.h"
#include "resource/png_decode.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "scene/blocks.h"
#include "scene/event_pictures.h"
#include "support/game_folder.h"

namespace {

using testing_support::GameFolder;

// A picture whose colour follows (x, y), so a misplaced block shows in the frame.
std::vector<uint8_t> Picture(int w, int h, uint32_t base, bool pattern, int alpha = 255) {
  CImage32 image;
  image.Create(w, h);
  uint8_t* p = image.Pixels();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x, p += 4) {
      uint32_t c = base;
      if (pattern) c ^= static_cast<uint32_t>(((x / 8) & 7) << 5 | ((y / 8) & 7) << 13);
      p[0] = c & 0xFF;
      p[1] = (c >> 8) & 0xFF;
      p[2] = (c >> 16) & 0xFF;
      p[3] = static_cast<uint8_t>(alpha);
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

uint32_t Fnv(const uint32_t* pixels, size_t n) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < n; ++i) {
    h ^= pixels[i] & 0xFFFFFF;
    h *= 16777619u;
  }
  return h;
}

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;

class SceneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.Write("system.pkd", *BuildPack({{"SYSTEM\\blank.png", Picture(800, 600, 0, false)}}));
    folder.WriteEmptyArchive("thumb.pkd");
    folder.Write("grp.pkd",
                 *BuildPack({{"BG\\red.png", Picture(800, 600, kRed, false)},
                             {"BG\\blue.png", Picture(800, 600, kBlue, false)},
                             {"BG\\warm.png", Picture(800, 600, 0xC06020, true)},
                             {"BG\\cool.png", Picture(800, 600, 0x2060C0, true)},
                             {"CHR\\girl.png", Picture(512, 600, 0x40E040, true)},
                             {"CHR\\boy.png", Picture(512, 600, 0xE0E040, false)}}));
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
    adv().SetModeSteps(MODE_ADV, {[](CADV& a) { a.SceneAnimeProc(); },
                                  [](CADV& a) {
                                    a.SceneDrawLayers();
                                    a.SceneDrawEffect();
                                  }});
    adv().game_mode = MODE_ADV;
    adv().adv_state = ADV_RUNNING;
  }
  CADV& adv() { return game.process.adv; }
  uint32_t Pixel(int x, int y) { return game.process.graphics.Frame()[y * 800 + x] & 0xFFFFFF; }
  uint32_t FrameHash() { return Fnv(game.process.graphics.Frame(), 800 * 600); }
  // Writes the frame for a look by eye when LANTHORN_SCENE_SHOTS names a folder.
  void Shot(const char* name) {
    if (const char* dir = std::getenv("LANTHORN_SCENE_SHOTS"))
      SavePNG(std::string(dir) + "/" + name + ".png",
              reinterpret_cast<const uint8_t*>(game.process.graphics.Frame()), 800, 600, 800 * 4,
              PngChannels::Rgb);
  }
  // Red in front (channel 0), blue behind, nothing else.
  void RedOverBlue() {
    ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\red.png"));
    ASSERT_TRUE(adv().SubBGLoadFromPNG(1, "BG\\blue.png"));
  }

  GameFolder folder;
  HeadlessGame game;
};

TEST_F(SceneTest, BackgroundCrossFadeFollowsTheTimeRules) {
  // Channel 1's alpha after BgChange(500) and one frame of 100 ms: 255 − remaining × 255 / 500.
  struct Case {
    const char* what;
    int speed;
    bool ctrl, ending, menu, dialog, hidden;
    int alpha;      // of channel 1 while fading; -1: already swapped
  } cases[] = {
      {"normal", 0, false, false, false, false, false, 51},
      {"speed 1 doubles", 1, false, false, false, false, false, 102},
      {"speed 2 jumps", 2, false, false, false, false, false, -1},
      {"ctrl jumps", 0, true, false, false, false, false, -1},
      {"ending counts once", 1, false, true, false, false, false, 51},
      {"ending never jumps", 2, true, true, false, false, false, 51},
      {"menu holds", 0, false, false, true, false, false, 0},
      {"dialog holds", 2, false, false, false, true, false, 0},
      {"hidden window holds", 0, false, false, false, false, true, 0},
  };
  RedOverBlue();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    adv().scene.bg.SetFront(0);
    adv().system_data.EffectSpeed = c.speed;
    adv().script_state.ending = c.ending;
    adv().system_menu_open = c.menu;
    adv().confirm_open = c.dialog;
    adv().text_hidden_by_player = c.hidden;
    if (c.ctrl) game.KeyDown(DIK_LCONTROL);
    adv().BgChange(500);
    game.Frame(100);
    if (c.ctrl) game.KeyUp(DIK_LCONTROL);
    if (c.alpha < 0) {
      EXPECT_EQ(adv().scene.bg.Front(), 1);
      EXPECT_FALSE(adv().scene.bg.Busy());
    } else {
      EXPECT_EQ(adv().scene.bg.Front(), 0);
      EXPECT_NEAR(adv().scene.bg.Channel(1).blocks.Alpha(), c.alpha, 1);
      EXPECT_TRUE(adv().script_state.layer_busy);
    }
    adv().confirm_open = adv().system_menu_open = adv().text_hidden_by_player = false;
    adv().script_state.ending = false;
    adv().scene.bg.Stop();
  }
}

TEST_F(SceneTest, CrossFadeIsHalfWayAtHalfTimeAndInstantAtZeroOrOne) {
  RedOverBlue();
  struct Case {
    int speed;
    int frames;  // of 125 ms until half way
  } cases[] = {{0, 2}, {1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed);
    adv().scene.bg.SetFront(0);
    adv().system_data.EffectSpeed = c.speed;
    adv().BgChange(500);
    adv().adv_state = ADV_TRANSITION;
    game.Frames(c.frames, 125);
    const uint32_t p = Pixel(400, 300);
    EXPECT_NEAR(static_cast<int>(p >> 16), 128, 2);
    EXPECT_NEAR(static_cast<int>(p & 0xFF), 127, 2);
    EXPECT_EQ(adv().adv_state, ADV_TRANSITION);
    game.Frames(2 * c.frames + 1, 125);
    EXPECT_EQ(Pixel(400, 300), kBlue);
    EXPECT_EQ(adv().adv_state, ADV_RUNNING);  // the wait ends with the fade
    EXPECT_FALSE(adv().script_state.layer_busy);
    adv().scene.bg.SetFront(0);
  }
  for (int n : {0, 1}) {
    adv().scene.bg.SetFront(0);
    adv().BgChange(n);
    EXPECT_FALSE(adv().scene.bg.Busy());
    game.Frame(1);
    EXPECT_EQ(Pixel(10, 10), kBlue) << n;
  }
}

TEST_F(SceneTest, CharacterMovementsStartAndTakeTheirTime) {
  ASSERT_TRUE(adv().ChrLoad(0, "boy.png"));
  struct Case {
    const char* what;
    int kind;  // 0 move, 1 slide in, 2 slide out
    int from_position, position, speed;
    SlideDirection way;
    scene::Offset start, end;
    int duration;
  } cases[] = {
      {"move 1 to 3", 0, 1, 3, 8, SLIDE_TOP, {0, 0}, {288, 0}, 360},
      {"slide in from the left to 2", 1, 0, 2, 8, SLIDE_LEFT, {-512, 0}, {144, 0}, 656 / 8 * 10},
      {"slide in from the right to 0", 1, 0, 0, 10, SLIDE_RIGHT, {800, 0}, {-86, 0}, 880},
      {"slide in from the top", 1, 0, 3, 7, SLIDE_TOP, {288, 600}, {288, 0}, 600 / 7 * 10},
      {"slide in from the bottom", 1, 0, 1, 16, SLIDE_BOTTOM, {0, -608}, {0, 0}, 380},
      {"slide out downwards", 2, 4, 0, 16, SLIDE_BOTTOM, {376, 0}, {376, 608}, 380},
      {"slide out to the left", 2, 2, 0, 8, SLIDE_LEFT, {144, 0}, {-512, 0}, 820},
      {"zero speed is instant", 0, 0, 4, 0, SLIDE_TOP, {-86, 0}, {376, 0}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    adv().ChrSetPosition(0, c.from_position);
    if (c.kind == 0) adv().ChrMove(0, c.position, c.speed);
    if (c.kind == 1) adv().ChrSlideIn(0, c.position, c.speed, c.way);
    if (c.kind == 2) adv().ChrSlideOut(0, c.speed, c.way);
    scene::ChrSlot& slot = adv().scene.chr.Slot(0);
    EXPECT_EQ(slot.move_duration, c.duration);
    EXPECT_EQ(slot.move_from.x, c.start.x);
    EXPECT_EQ(slot.move_from.y, c.start.y);
    if (c.duration > 1) {
      game.Frame(c.duration / 2);
      EXPECT_TRUE(slot.moving);
      EXPECT_NEAR(slot.move_now.x, (c.start.x + c.end.x) / 2, 2);
      EXPECT_NEAR(slot.move_now.y, (c.start.y + c.end.y) / 2, 2);
      game.Frame(c.duration - c.duration / 2 - 1);
      EXPECT_TRUE(slot.moving);
    }
    game.Frame(1);
    EXPECT_FALSE(slot.moving);
    EXPECT_FALSE(adv().script_state.layer_busy);
    if (c.kind == 2) {  // the slot ends up empty
      EXPECT_TRUE(slot.Front().cache_name.empty());
      ASSERT_TRUE(adv().ChrLoad(0, "boy.png"));
      adv().ChrSwap(0);
    } else {
      EXPECT_EQ(slot.move_now.x, c.end.x);
    }
  }
}

TEST_F(SceneTest, CharacterTimeRulesDifferFromTheBackgrounds) {
  // ChrMove 1 → 3 at speed 8 (360 ms), one frame of 90 ms: x advances 72 per 90 ms counted.
  struct Case {
    const char* what;
    int speed;
    bool ending, menu;
    int x;  // -1: arrived
  } cases[] = {
      {"normal", 0, false, false, 72},
      {"speed 1", 1, false, false, 144},
      {"speed 2", 2, false, false, -1},
      {"ending counts once", 1, true, false, 72},
      {"ending never jumps", 2, true, false, 72},
      {"the menu does not hold characters", 0, false, true, 72},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    adv().system_data.EffectSpeed = c.speed;
    adv().script_state.ending = c.ending;
    adv().system_menu_open = c.menu;
    adv().ChrSetPosition(0, 1);
    adv().ChrMove(0, 3, 8);
    game.Frame(90);
    scene::ChrSlot& slot = adv().scene.chr.Slot(0);
    if (c.x < 0) {
      EXPECT_FALSE(slot.moving);
    } else {
      EXPECT_EQ(slot.move_now.x, c.x);
      game.Frame(1000);
    }
  }
}

TEST_F(SceneTest, BackgroundWipeNeverJumpsOrDoubles) {
  RedOverBlue();
  for (int speed : {0, 1, 2}) {
    SCOPED_TRACE(speed);
    adv().system_data.EffectSpeed = speed;
    adv().scene.bg.SetFront(0);
    adv().BgWipe3(1000);
    game.Frame(500);
    EXPECT_TRUE(adv().scene.bg.Busy());
    // After half the time the middle band has dissolved from the left, the top band from the right.
    EXPECT_EQ(Pixel(8, 300), kBlue);
    EXPECT_EQ(Pixel(790, 300), kRed);
    EXPECT_EQ(Pixel(790, 10), kBlue);
    EXPECT_EQ(Pixel(8, 10), kRed);
    game.Frame(501);
    EXPECT_FALSE(adv().scene.bg.Busy());
    EXPECT_EQ(adv().scene.bg.Front(), 1);
    game.Frame(1);
    EXPECT_EQ(Pixel(400, 300), kBlue);
  }
}

TEST_F(SceneTest, ScrollMovesBothPicturesAcrossTheScreen) {
  RedOverBlue();
  // Half way through an 800 ms scroll: where the old (red) and the new (blue) picture lie.
  struct Case {
    ScrollDirection way;
    int old_x, old_y, new_x, new_y;
  } cases[] = {
      {SCROLL_UP, 400, 200, 400, 400},
      {SCROLL_DOWN, 400, 400, 400, 200},
      {SCROLL_LEFT, 300, 300, 500, 300},
      {SCROLL_RIGHT, 500, 300, 300, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.way);
    adv().scene.bg.SetFront(0);
    adv().BgScroll(c.way, 800);
    EXPECT_TRUE(adv().SceneBgScrolling());
    game.Frame(400);
    EXPECT_EQ(Pixel(c.old_x, c.old_y), kRed);
    EXPECT_EQ(Pixel(c.new_x, c.new_y), kBlue);
    game.Frame(400);
    EXPECT_FALSE(adv().SceneBgScrolling());
    EXPECT_EQ(adv().scene.bg.Front(), 1);
  }
}

TEST_F(SceneTest, LoadCachesLogOnlyWhereTheyApply) {
  platform::Log& log = game.process.log;
  // The background cache is the story's alone; the character cache applies everywhere.
  for (GameMode mode : {MODE_ADV, MODE_TITLE}) {
    SCOPED_TRACE(mode);
    adv().game_mode = mode;
    const int before = log.Count("@bg_load PNG load cache.");
    const int loads = log.Count("@bg_load load time.");
    ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\red.png"));
    ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\red.png"));
    EXPECT_EQ(log.Count("@bg_load PNG load cache."), before + (mode == MODE_ADV ? 1 : 0));
    EXPECT_EQ(log.Count("@bg_load load time."), loads + 2);
    adv().scene.bg.Channel(0).cache_name.clear();
    const int chr = log.Count("@chr_load PNG load cache.");
    ASSERT_TRUE(adv().SubChrLoadFromPNG(1, 0, "CHR\\boy.png"));
    ASSERT_TRUE(adv().SubChrLoadFromPNG(1, 0, "CHR\\boy.png"));
    EXPECT_EQ(log.Count("@chr_load PNG load cache."), chr + 1);
    adv().scene.chr.Slot(1).buffers[0].cache_name.clear();
  }
  adv().game_mode = MODE_ADV;
  // A failed load leaves the kept pictures; a failed character load keeps its cache key.
  ASSERT_TRUE(adv().BgLoad("blue.png"));
  adv().BgChange(0);
  EXPECT_FALSE(adv().BgLoad("missing.png"));
  EXPECT_TRUE(log.Contains("@bg_load failed. channel0 : missing.png"));
  EXPECT_TRUE(log.Contains("PNG Load failed. -> BG\\missing.png"));
  adv().BgChange(0);
  game.Frame(16);
  EXPECT_EQ(Pixel(400, 300), kRed);  // channel 0 still holds its earlier picture
  ASSERT_TRUE(adv().ChrLoad(2, "girl.png"));
  EXPECT_FALSE(adv().ChrLoad(2, "missing.png"));
  EXPECT_TRUE(log.Contains("@chr_load failed. no(2) channel(1) : missing.png"));
  EXPECT_EQ(adv().scene.chr.Slot(2).buffers[1].cache_name, "CHR\\girl.png");
  EXPECT_TRUE(log.Contains("@chr_load. no(2) channel(1) : girl.png (DISK "));

  // The other channel's picture is uploaded from there, not decoded again, and logs as a load.
  for (int c = 0; c < 2; ++c) adv().scene.bg.Channel(c).cache_name.clear();
  ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\blue.png"));
  const uint64_t decodes = PngDecodeCount();
  const int loads = log.Count("@bg_load load time.");
  ASSERT_TRUE(adv().SubBGLoadFromPNG(1, "BG\\blue.png"));
  EXPECT_EQ(PngDecodeCount(), decodes);
  EXPECT_EQ(log.Count("@bg_load load time."), loads + 1);
  adv().scene.bg.Reset();
  adv().BgChange(0);
  game.Frame(16);
  EXPECT_EQ(adv().scene.bg.Front(), 1);
  EXPECT_EQ(Pixel(400, 300), kBlue);
}

TEST_F(SceneTest, BlackOutThenBlackIn) {
  ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\red.png"));
  adv().ScreenFade(EFFECT_BLACK_OUT, 1000);
  game.Frames(5, 100);
  EXPECT_NEAR(static_cast<int>(Pixel(400, 300) >> 16), 255 - 102, 2);
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);  // a fade-out lets the story run on
  game.Frames(6, 100);
  EXPECT_EQ(Pixel(400, 300), 0u);
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);  // the story goes on under the black
  game.Frames(5, 100);
  EXPECT_EQ(Pixel(400, 300), 0u);  // and the black stays
  adv().ScreenFade(EFFECT_BLACK_IN, 500);
  game.Frames(3, 100);  // the black's alpha is 255 − 102 on the third frame
  EXPECT_NEAR(static_cast<int>(Pixel(400, 300) >> 16), 102, 2);
  EXPECT_TRUE(adv().script_state.screen_effect_running);
  game.Frames(3, 100);
  EXPECT_EQ(Pixel(400, 300), kRed);
  EXPECT_FALSE(adv().script_state.screen_effect_running);
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);
}

TEST_F(SceneTest, WhiteInAtSpeedOneTakesHalfTheTime) {
  ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\blue.png"));
  adv().system_data.EffectSpeed = 1;
  adv().ScreenFade(EFFECT_WHITE_IN, 1000);
  game.Frames(6, 100);
  EXPECT_TRUE(adv().scene.effects.Active());
  game.Frames(1, 100);
  EXPECT_FALSE(adv().scene.effects.Active());
  EXPECT_EQ(Pixel(400, 300), kBlue);
}

TEST_F(SceneTest, Wipe3OutEndsOnAnEmptyBlackScene) {
  ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\warm.png"));
  ASSERT_TRUE(adv().ChrLoad(1, "girl.png"));
  adv().ChrSwap(1);
  adv().ChrShow(1);
  adv().ChrSetPosition(1, 2);
  adv().ScreenWipe(EFFECT_WIPE3_OUT, 1000);
  game.Frame(500);
  Shot("wipe3_out_500");
  // Half way: the top band's black comes from the right, the middle band's from the left.
  EXPECT_EQ(Pixel(795, 5), 0u);
  EXPECT_NE(Pixel(5, 5), 0u);
  EXPECT_EQ(Pixel(5, 300), 0u);
  EXPECT_NE(Pixel(795, 300), 0u);
  EXPECT_EQ(FrameHash(), 0x916F41E9u);
  game.Frame(500);
  EXPECT_EQ(adv().scene.effects.Kind(), EFFECT_BLACK_OUT);
  EXPECT_EQ(adv().scene.bg.Channel(0).cache_name, "SYSTEM\\blank.png");
  for (int s = 0; s < 3; ++s) EXPECT_TRUE(adv().scene.chr.Slot(s).Front().cache_name.empty());
  // Uncovering it shows the empty scene: nothing but the blank picture.
  adv().ScreenFade(EFFECT_BLACK_IN, 0);
  game.Frames(2, 16);
  EXPECT_FALSE(adv().scene.effects.Active());
  for (int y = 0; y < 600; y += 37)
    for (int x = 0; x < 800; x += 41) ASSERT_EQ(Pixel(x, y), 0u) << x << "," << y;
}

TEST_F(SceneTest, WipeInUncoversTheNewBackground) {
  ASSERT_TRUE(adv().SubBGLoadFromPNG(1, "BG\\cool.png"));
  adv().ScreenWipe(EFFECT_PAGE_IN, 1000);
  EXPECT_EQ(adv().scene.bg.Front(), 1);
  game.Frame(500);
  Shot("page_in_500");
  EXPECT_NE(Pixel(5, 5), 0u);      // the diagonal starts at the top-left corner
  EXPECT_EQ(Pixel(795, 595), 0u);
  EXPECT_EQ(FrameHash(), 0xFA535D33u);
  game.Frame(500);
  EXPECT_FALSE(adv().scene.effects.Active());
}

TEST_F(SceneTest, WipesAtEffectSpeedOneEndEarlyButWhole) {
  ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\red.png"));
  adv().system_data.EffectSpeed = 1;
  // The mask travels twice as fast with the timer, so the wipe has fully left the screen when
  // it ends after half the time.
  for (ScreenEffectKind kind : {EFFECT_WIPE3_IN, EFFECT_PAGE_IN}) {
    SCOPED_TRACE(kind);
    adv().scene.bg.SetFront(1);  // the in-wipes bring channel 0 to the front
    adv().ScreenWipe(kind, 1000);
    game.Frames(4, 100);
    EXPECT_TRUE(adv().scene.effects.Active());
    game.Frame(100);
    EXPECT_FALSE(adv().scene.effects.Active());
    for (int y = 0; y < 600; y += 7)
      for (int x = 0; x < 800; x += 7) ASSERT_EQ(Pixel(x, y), kRed) << x << "," << y;
  }
}

TEST_F(SceneTest, QuakeHorizontalMovesOnlyXAndSettlesAtZero) {
  adv().Quake(400, 1);
  bool moved = false;
  for (int i = 0; i < 30 && adv().scene.effects.Quake().on; ++i) {
    game.Frame(16);
    const scene::Offset o = adv().scene.effects.QuakeOffset();
    EXPECT_EQ(o.y, 0);
    EXPECT_LE(std::abs(o.x), 8);
    moved |= o.x != 0;
  }
  EXPECT_TRUE(moved);
  EXPECT_FALSE(adv().scene.effects.Quake().on);
  EXPECT_EQ(adv().scene.effects.QuakeOffset().x, 0);
}

TEST_F(SceneTest, RasterBendsRowsWithoutGapsAndNotAtAllWithRateZero) {
  ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\warm.png"));
  game.Frame(16);
  const uint32_t still = FrameHash();
  adv().Raster(RASTER_BOTH, 45, 0, 600);
  for (int i = 0; i < 10; ++i) {
    game.Frame(50);
    EXPECT_EQ(FrameHash(), still) << i;
  }
  game.Frame(200);
  EXPECT_FALSE(adv().scene.effects.Raster().Running());
  EXPECT_FALSE(adv().script_state.layer_busy);

  adv().Raster(RASTER_BACKGROUND, 45, 10, 2000);
  game.Frames(10, 100);  // amplitude 10 px reached after 1000 ms
  Shot("raster_1000");
  EXPECT_NE(FrameHash(), still);
  // The picture's red is 0xC0 everywhere: a gap between bent rows would show the black clear.
  for (int y = 0; y < 600; ++y)
    for (int x = 12; x < 788; ++x) ASSERT_EQ(Pixel(x, y) >> 16, 0xC0u) << x << "," << y;
  EXPECT_EQ(FrameHash(), 0xA721FB05u);
}

TEST_F(SceneTest, ChrChangeFadesInThenFadesOutBeneath) {
  ASSERT_TRUE(adv().ChrLoad(0, "boy.png"));
  adv().ChrSwap(0);
  adv().ChrShow(0);
  adv().ChrSetPosition(0, 1);
  ASSERT_TRUE(adv().ChrLoad(0, "girl.png"));
  ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\blue.png"));
  adv().ChrChange(0, 400);
  scene::ChrSlot& slot = adv().scene.chr.Slot(0);
  const int old_front = slot.front;
  game.Frame(200);
  Shot("chr_change_200");
  EXPECT_NEAR(slot.Back().blocks.Alpha(), 127, 1);
  EXPECT_EQ(FrameHash(), 0xBF3484C5u);
  game.Frame(200);
  EXPECT_EQ(slot.Back().blocks.Alpha(), 255);
  game.Frame(100);
  EXPECT_NEAR(slot.Front().blocks.Alpha(), 127, 1);
  game.Frame(100);
  EXPECT_NE(slot.front, old_front);
  EXPECT_FALSE(adv().script_state.layer_busy);
  adv().ChrChange(0, -5);  // reported, and done at once
  EXPECT_EQ(slot.front, old_front);
  EXPECT_TRUE(game.process.log.Contains("'@chr_change -5'"));
}

TEST_F(SceneTest, FadesOverSlotGroups) {
  for (int s : {0, 2}) ASSERT_TRUE(adv().ChrLoad(s, "boy.png"));
  adv().ChrFadeIn(GROUP_AC, 300);
  game.Frame(150);
  EXPECT_NEAR(adv().scene.chr.Slot(0).Front().blocks.Alpha(), 127, 1);
  EXPECT_NEAR(adv().scene.chr.Slot(2).Front().blocks.Alpha(), 127, 1);
  EXPECT_FALSE(adv().scene.chr.Slot(1).visible);
  game.Frame(150);
  EXPECT_TRUE(adv().scene.chr.Slot(0).visible);
  EXPECT_FALSE(adv().script_state.layer_busy);
  adv().ChrFadeOut(GROUP_A, 300);
  game.Frame(300);
  EXPECT_FALSE(adv().scene.chr.Slot(0).visible);
  EXPECT_TRUE(adv().scene.chr.Slot(2).visible);
  adv().ChrShow(0);  // shown again, whole
  EXPECT_EQ(adv().scene.chr.Slot(0).Front().blocks.Alpha(), 255);
}

TEST_F(SceneTest, TurnEndsByItselfAndARestoreLowersIt) {
  ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\blue.png"));
  ASSERT_TRUE(adv().ChrLoad(1, "boy.png"));
  adv().ChrSwap(1);
  adv().ChrShow(1);
  adv().ChrSetPosition(1, 2);
  ASSERT_TRUE(adv().ChrLoad(1, "girl.png"));
  const int old_front = adv().scene.chr.Slot(1).front;
  adv().ChrTurn(GROUP_B, 400);
  EXPECT_TRUE(adv().scene.chr.Turning());
  game.Frame(100);  // a quarter: the old face at cos 45° of its width about x = 400
  Shot("turn_100");
  EXPECT_EQ(Pixel(144 + 40, 300), kBlue);
  EXPECT_EQ(Pixel(400, 300), 0xE0E040u);
  game.Frame(200);  // three quarters: the new face
  EXPECT_NE(Pixel(400, 300), 0xE0E040u);
  EXPECT_NE(Pixel(400, 300), kBlue);
  game.Frame(100);
  EXPECT_FALSE(adv().scene.chr.Turning());
  EXPECT_FALSE(adv().script_state.layer_busy);
  EXPECT_NE(adv().scene.chr.Slot(1).front, old_front);

  adv().ChrTurn(GROUP_ABC, 1000);
  game.Frame(100);
  EXPECT_TRUE(adv().script_state.layer_busy);
  adv().SceneTurnRestore();
  EXPECT_FALSE(adv().scene.chr.Turning());
  EXPECT_FALSE(adv().script_state.layer_busy);
}

TEST_F(SceneTest, AnimationLoopsOverItsSteps) {
  for (int k = 0; k < 2; ++k) ASSERT_TRUE(adv().AnimeLoad(k, k ? "girl.png" : "boy.png"));
  EXPECT_TRUE(game.process.log.Contains("@anime_load. ANIME_NO(1) [CHR(1) BUFFER(1)] : girl.png"));
  EXPECT_FALSE(adv().AnimeLoad(4, "boy.png"));
  adv().AnimeInit();
  adv().AnimeSet(0, 0, 100);
  adv().AnimeSet(1, 1, 100);
  adv().AnimeSet(2, -1, 0);
  adv().AnimeStart();
  const scene::Animation& a = adv().scene.chr.Anime();
  std::vector<int> steps;
  for (int i = 0; i < 5; ++i) {
    game.Frame(60);
    steps.push_back(a.step);
  }
  EXPECT_EQ(steps, (std::vector<int>{0, 1, 1, 0, 0}));
  adv().AnimePause();
  game.Frames(5, 60);
  EXPECT_EQ(a.step, 0);
  adv().AnimePlay();
  game.Frames(2, 60);
  EXPECT_EQ(a.step, 1);
  adv().AnimeStop();
  EXPECT_FALSE(a.running);
  EXPECT_FALSE(adv().scene.chr.Slot(1).visible);
}

// A layer draws neighbouring blocks that look the same as one quad: the frame must be the one its
// blocks drawn one by one give, on whole pixels and off them, under a mask whose alphas change
// along the rows, with some blocks tinted, and for a picture with transparent and half-transparent
// parts.
TEST(BlockLayerDraw, JoinedBlocksDrawWhatSingleBlocksDraw) {
  std::mt19937 rng(3);
  CImage32 picture, work;
  picture.Create(800, 600);
  uint8_t* p = picture.Pixels();
  for (int i = 0; i < 800 * 600; ++i, p += 4) {
    const uint32_t c = rng();
    std::memcpy(p, &c, 4);
    p[3] = (i / 800 / 40 + i % 800 / 96) % 3 == 0 ? 255 : p[3] % 2 ? 0 : p[3];
  }
  scene::BlockMask mask;
  for (int r = 0; r < scene::kGridRows; ++r)
    for (int c = 0; c < scene::kGridColumns; ++c)
      mask.At(r, c) = static_cast<float>((c / 7 + r) % 4 * 100 - 40);
  struct Case {
    float x, y;
    bool masked;
    int alpha;
  } cases[] = {{0, 0, false, 255}, {3, -5, false, 255}, {-7, 13, true, 255},
               {2.5f, 0, false, 200}, {5, 9, false, 90}};
  for (const Case& k : cases) {
    gfx::Device joined(800, 600), single(800, 600);
    scene::BlockLayer a(scene::kGridColumns, scene::kGridRows, scene::kBackgroundTextures);
    scene::BlockLayer b(scene::kGridColumns, scene::kGridRows, scene::kBackgroundTextures);
    for (auto [dev, layer] : {std::pair{&joined, &a}, std::pair{&single, &b}}) {
      dev->SetAlphaBlendEnable(true);
      dev->Clear(0xFF203040u, 1.0f);
      ASSERT_TRUE(layer->Create(*dev));
      ASSERT_TRUE(layer->Upload(picture, work));
      layer->SetAlpha(k.alpha);
      for (int i = 0; i < layer->Count(); i += 23) layer->MutableBlock(i).SetColor(0x80FF40);  // tinted
    }
    a.Draw(joined, k.x, k.y, nullptr, k.masked ? &mask : nullptr);
    for (int i = 0; i < b.Count(); ++i) {
      const int r = i / b.Columns(), c = i % b.Columns();
      if (k.masked) {
        const float v = mask.Clamped(r, c);
        if (v <= 0) continue;
        b.MutableBlock(i).SetAlpha(std::min(static_cast<int>(v), 255));
      }
      b.MutableBlock(i).Draw(single, k.x + 16 * c, k.y + 16 * r, 16, std::min(16, 600 - 16 * r));
    }
    EXPECT_EQ(std::memcmp(joined.Frame(), single.Frame(), 800 * 600 * 4), 0) << k.x << " " << k.y;
    if (!k.masked && k.x == std::floor(k.x)) {
      EXPECT_LE(joined.FastQuads() * 4, single.FastQuads());
    }
  }
}

TEST(EventPictures, PositionsFollowTheSortedFileNames) {
  struct Case {
    const char* name;
    int position;
  } cases[] = {{"ev_etc01", 0},        {"ev_etc07-01", 6},   {"ev_etc07", 7},
               {"ev_etc12", 19},       {"ev_juno01-01", 20}, {"ev_ondine01", 66},
               {"ev_ondine10-1", 90},  {"ev_mirel01", 105},  {"ev_carys01-01", 156},
               {"ev_carys17", 197},    {"ev_ondine10-01", -1}, {"ev_etc13", -1},
               {"EV_ETC01", 0},        {"Ev_Carys17", 197},  {"", -1}};
  for (const Case& c : cases) EXPECT_EQ(scene::FindEventPicture(c.name), c.position) << c.name;
  for (int i = 0; i < scene::kEventPictureCount; ++i)
    EXPECT_EQ(scene::FindEventPicture(scene::EventPictureTable[i]), i);
}

// A story that names far more pictures ahead than the loader may hold (large ones, broken and
// missing ones among them) plays as it does with every picture decoded on its frame: the same
// log and the same frame, and the pictures decoded ahead never pass the loader's cap.
TEST(PictureLookAhead, ManyPicturesAheadPlayAsWithoutItWithinTheCap) {
  GameFolder folder;
  folder.Write("system.pkd", *BuildPack({{"SYSTEM\\blank.png", Picture(800, 600, 0, false)}}));
  folder.WriteEmptyArchive("thumb.pkd");
  std::vector<PackSource> pictures = {{"BG\\broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3}},
                                      {"CHR\\girl.png", Picture(512, 600, 0x40E040, true)}};
  std::string script = "@textwindow_fast hide\n";
  for (int i = 0; i < 12; ++i)
    pictures.push_back({"BG\\big" + std::to_string(i) + ".png",
                        Picture(1600, 1200, 0x102030u * static_cast<uint32_t>(i + 1), true)});
  for (int i = 0; i < 36; ++i) {
    script += "@bg_load big" + std::to_string(i % 12) + ".png\n@bg_change 0\n";
    if (i % 7 == 3) script += "@bg_load broken.png\n@chr_load B,missing.png\n";
    if (i % 5 == 1) script += "@chr_load A,girl.png\n@chr_change A,0\n";
  }
  folder.Write("grp.pkd", *BuildPack(pictures));

  struct Run {
    std::string log;
    uint32_t frame = 0;
    size_t peak = 0;
  };
  auto play = [&](const char* workers) {
    setenv("LANTHORN_PICTURE_WORKERS", workers, 1);
    HeadlessGame game;
    unsetenv("LANTHORN_PICTURE_WORKERS");
    game.process.log.SetEcho(false);
    EXPECT_TRUE(game.Boot());
    CADV& adv = game.process.adv;
    const std::vector<uint8_t> b = testing_support::ScriptFile(script);
    EXPECT_TRUE(adv.script.LoadFromMemory("SCP\\t.scp", b.data(), b.size()));
    adv.game_mode = MODE_ADV;
    adv.adv_state = ADV_RUNNING;
    for (int i = 0; i < 4000 && adv.script.GetPosition() < adv.script.TokenCount(); ++i)
      game.Frame(16);
    game.Frames(10);
    EXPECT_GE(adv.script.GetPosition(), adv.script.TokenCount());
    return Run{game.process.log.Utf8Text(), Fnv(game.process.graphics.Frame(), 800 * 600),
               game.process.pictures.PeakBytes()};
  };
  const Run ahead = play("2"), on_the_frame = play("0");
  EXPECT_EQ(ahead.log, on_the_frame.log);
  EXPECT_EQ(ahead.frame, on_the_frame.frame);
  EXPECT_EQ(on_the_frame.peak, 0u);
  EXPECT_GT(ahead.peak, 0u);
  EXPECT_LE(ahead.peak, PictureLoader::Limits{}.cap_bytes);
  EXPECT_NE(ahead.log.find("PNG Load failed. -> BG\\broken.png"), std::string::npos);
  EXPECT_NE(ahead.log.find("@chr_load failed. no(1) channel(1) : missing.png"), std::string::npos);
}

// The way back to the title is seen ahead like a picture command: the title's pictures are
// decoded while the story's last page is read, not on the frame that goes back.
TEST(PictureLookAhead, TheWayBackToTheTitleIsDecodedAhead) {
  GameFolder folder;
  std::vector<PackSource> system = {{"SYSTEM\\blank.png", Picture(800, 600, 0, false)},
                                    {"SYSTEM\\title.png", Picture(800, 600, 0x203040, false)}};
  folder.Write("system.pkd", *BuildPack(system));
  folder.WriteEmptyArchive("grp.pkd");
  folder.WriteEmptyArchive("thumb.pkd");
  HeadlessGame game;
  game.process.log.SetEcho(false);
  ASSERT_TRUE(game.Boot());
  CADV& adv = game.process.adv;
  const std::vector<uint8_t> b =
      testing_support::ScriptFile("@textwindow_fast hide\n@wait 5000\n@QUIT_TO_OP\n");
  ASSERT_TRUE(adv.script.LoadFromMemory("SCP\\t.scp", b.data(), b.size()));
  adv.game_mode = MODE_ADV;
  adv.adv_state = ADV_RUNNING;
  game.Frames(3, 16);
  EXPECT_EQ(adv.game_mode, MODE_ADV);  // still waiting
  EXPECT_GE(game.process.pictures.Expected(), 2u);
}

}  // namespace
