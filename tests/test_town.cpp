// The town map on the headless engine: the schedule by day, choice and visits (with the days and
// choices the tables do not cover), the icons' triangle, hovering and the popup's fade, the red
// cube of the place hovered last, the choice by holding the button with its event script and
// the day's continuation, missing pictures and scripts, the cube buffer after a lost device, and
// a recorded frame of the map with its popup open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/headless.h"
#include "graphics/matrix.h"
#include "platform/sjis.h"
#include "resource/image.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing_support::GameFolder;
using testing_support::ScriptFile;

// The map: every tile its own colour, so a tile from the wrong cell or page shows.
uint32_t MapRgb(int x, int y) {
  const int i = y / 16, j = x / 16;
  return static_cast<uint32_t>((8 * (j % 32)) << 16 | (8 * (i % 32) + 4) << 8 | 0x30);
}

Bytes MapPicture() {
  CImage32 image;
  image.Create(800, 600);
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x) {
      const uint32_t rgb = MapRgb(x, y);
      uint8_t* p = image.Pixels() + (y * 800 + x) * 4;
      p[0] = rgb & 0xFF;
      p[1] = rgb >> 8 & 0xFF;
      p[2] = rgb >> 16 & 0xFF;
      p[3] = 255;
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

// Icon colours: character c in frame a and frame b.
uint32_t IconRgb(int c, int frame) { return frame ? 0x101010u * (c + 1) : 0xF00000u | 0x20 * c; }
uint32_t CaptionRgb(int place) { return 0x0000F0u | (0x18 * place) << 8; }

const char* const kKeys[9] = {"convini", "hamabe",   "ekimae", "gamecenter", "yotsuya",
                              "myhome",  "carshop", "park",   "shopingmoal"};

class TownTest : public ::testing::Test {
 protected:
  // Starts the game with the town's pictures (unless `pictures` is false) and these scripts
  // ("name" -> "SCP\name.scp"), in the story with nothing loaded.
  void Boot(const std::vector<std::pair<std::string, std::string>>& scripts, bool pictures = true) {
    std::vector<PackSource> entries;
    for (const auto& [name, text] : scripts)
      entries.push_back({"SCP\\" + name + ".scp", ScriptFile(text)});
    if (pictures) {
      entries.push_back({"SYSTEM\\townmap.png", MapPicture()});
      for (int c = 0; c < 5; ++c)
        for (int f = 0; f < 2; ++f)
          entries.push_back({"SYSTEM\\TOWN\\SD" + std::to_string(c + 1) + (f ? "b" : "a") + ".png",
                             testing_support::SolidPng(96, 96, IconRgb(c, f))});
      for (int p = 0; p < 9; ++p)
        entries.push_back({std::string("SYSTEM\\TOWN\\") + kKeys[p] + ".png",
                           testing_support::SolidPng(320, 96, CaptionRgb(p))});
      entries.push_back({"SYSTEM\\dialog_base1.png", testing_support::SolidPng(256, 256, 0xFFFF00)});
    }
    folder.Write("system.pkd", *BuildPack(entries));
    folder.WriteEmptyArchive("thumb.pkd");
    folder.WriteEmptyArchive("grp.pkd");
    folder.Write("SOUND/BGM/RZ_MAP.ogg", testing_support::ToneOgg(0.5, 22050, 1).bytes);
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
    adv().game_mode = MODE_ADV;
  }
  CADV& adv() { return game.process.adv; }
  SaveRecord& record() { return adv().save_record; }
  const TownMap& town() { return adv().town; }
  int Count(std::string_view utf8) const { return game.process.log.Count(SJ(utf8)); }
  uint32_t Pixel(int x, int y) { return game.process.graphics.Frame()[y * 800 + x] & 0xFFFFFF; }

  // Runs a script from memory until the story has left it for the map (or `frames` pass).
  void RunToMap(std::string_view utf8) {
    const Bytes b = ScriptFile(utf8);
    ASSERT_TRUE(adv().script.LoadFromMemory("SCP\\day.scp", b.data(), b.size()));
    for (int i = 0; i < 20 && adv().game_mode != MODE_TOWN; ++i) ASSERT_TRUE(game.Frame());
    ASSERT_EQ(adv().game_mode, MODE_TOWN);
  }
  // The schedule of a day, choice and visits, as the map places it.
  void Place(int day, int choice, std::array<int, 4> visits, int selector = 0) {
    record().TownDay = day;
    record().TownChoicesToday = choice;
    for (int c = 0; c < 4; ++c) record().FavourVariables[c] = visits[static_cast<size_t>(c)];
    record().LocalVariables[99] = selector;
    adv().Town_SetPlace();
  }
  // Who stands at each place, in slot order.
  std::vector<std::vector<int>> Who() {
    std::vector<std::vector<int>> out;
    for (const town::Place& p : town().Places())
      out.push_back(std::vector<int>(p.slots.begin(), p.slots.begin() + p.count));
    return out;
  }
  // The top-left of the icon in slot s of place p.
  platform::Point Icon(int p, int s) {
    const platform::Point o = town::IconOffset(town().Places()[p].count, s);
    return {town::kPlaces[p].x + o.x, town::kPlaces[p].y + o.y};
  }
  // The screen pixel at the centre of marker k's cube.
  platform::Point Marker(int k) {
    const gfx::Matrix view = gfx::D3DXMatrixLookAtRH({0, 20, -40}, {0, 0, 0}, {0, 1, 0});
    const gfx::Matrix m =
        gfx::D3DXMatrixMultiply(view, game.process.graphics.OrthoProjection());
    const gfx::Vec4 p = gfx::TransformPoint({town::kMarkers[k][0], 0, town::kMarkers[k][1]}, m);
    return {static_cast<int>((p.x / p.w + 1) * 400), static_cast<int>((1 - p.y / p.w) * 300)};
  }
  int Red(uint32_t rgb) { return static_cast<int>(rgb >> 16); }
  int Blue(uint32_t rgb) { return static_cast<int>(rgb & 0xFF); }

  GameFolder folder;
  HeadlessGame game;
};

using Places = std::vector<std::vector<int>>;

TEST_F(TownTest, TheScheduleFollowsDayChoiceAndVisitsAndKeepsInsideItsTables) {
  Boot({});
  const struct {
    int day, choice;
    std::array<int, 4> visits;
    Places expected;
    bool outside;  // the day or choice lies beyond the tables
  } cases[] = {
      // Day 0: Akane at the store, Mio on the beach; no guide.
      {0, 0, {0, 0, 0, 0}, {{0}, {2}, {}, {}, {}, {}, {}, {}, {}}, false},
      // Day 1, second choice: only Akane, and the guide at the store.
      {1, 1, {1, 0, 0, 0}, {{4}, {}, {}, {}, {}, {}, {}, {0}, {}}, false},
      // From day index 6 on, Hina with two visits is no longer placed; Mio with three is.
      {6, 0, {0, 2, 3, 0}, {{}, {}, {}, {}, {4}, {}, {}, {2}, {}}, false},
      {5, 0, {0, 2, 3, 0}, {{}, {}, {}, {}, {}, {}, {}, {}, {}}, false},
      // Three at the park; past the visit table's end a heroine is nowhere.
      {7, 1, {25, 5, 3, 7}, {{}, {4}, {}, {}, {}, {}, {}, {1, 2, 3}, {}}, false},
      // Beyond day index 9 and the second choice: the last column, day 9's second choice.
      {12, 3, {3, 3, 3, 3}, {{}, {}, {4}, {1}, {0, 3}, {}, {}, {2}, {}}, true},
      // Before day 0 (episode 0): day 0's first choice.
      {-1, 0, {0, 0, 0, 0}, {{0}, {2}, {}, {}, {}, {}, {}, {}, {}}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "day " << c.day << " choice " << c.choice);
    const int logged = Count("lies outside the schedule");
    Place(c.day, c.choice, c.visits);
    EXPECT_EQ(Who(), c.expected);
    EXPECT_EQ(Count("lies outside the schedule") - logged, c.outside ? 1 : 0);
  }

  // Three at one place stand in a triangle: one above, two below.
  Place(7, 1, {25, 5, 3, 7});
  EXPECT_EQ(Icon(7, 0).x, 560 - 48);
  EXPECT_EQ(Icon(7, 0).y, 224 - 96);
  EXPECT_EQ(Icon(7, 1).y, 224);
  EXPECT_EQ(Icon(7, 2).y, 224);
  EXPECT_EQ(Icon(7, 2).x - Icon(7, 1).x, 96);

  // $[99] outside 0-1 is reported and reset, on a day the guide is out; negative visits count 0.
  Place(2, 0, {-4, 0, 0, 0}, 5);
  EXPECT_EQ(Count("ウレナの場所設定用変数($[99]=5)が異常。"), 1);
  EXPECT_EQ(record().LocalVariables[99], 0);
  EXPECT_EQ(Count("character 0 has -4 visits: counted as 0"), 1);
  EXPECT_EQ(Who()[0], std::vector<int>{});  // day 2's first choice has no Akane
  EXPECT_EQ(Who()[3], std::vector<int>{4});
}

TEST_F(TownTest, HoveringOpensThePopupOver320msAndItFadesOver800msLeavingTheCubeRed) {
  Boot({});
  RunToMap("@SET_EPISODENO 1\n@CALL_TOWNMAP\n");
  EXPECT_EQ(Count("BGM loaded.. [SOUND\\BGM\\RZ_MAP.ogg]"), 1);
  EXPECT_TRUE(game.process.town_bgm.IsPlaying());
  // Marker 0 stands at the store, under the icons of whoever is there: on day index 2 nobody is.
  const platform::Point cube = Marker(0);
  Place(2, 0, {0, 0, 0, 0});
  ASSERT_TRUE(game.Frame());
  const uint32_t blue_cube = Pixel(cube.x, cube.y);
  EXPECT_GT(Blue(blue_cube), Red(blue_cube) + 40) << std::hex << blue_cube;
  Place(0, 0, {0, 0, 0, 0});

  // Akane's icon at the store, in frame a for 750 ms, then in frame b.
  const platform::Point icon = Icon(0, 0);
  const int frame = town().IconTimer() < 750 ? 0 : 1;
  ASSERT_TRUE(game.Frame(750));
  EXPECT_EQ(Pixel(icon.x + 48, icon.y + 10), IconRgb(0, frame));
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Pixel(icon.x + 48, icon.y + 10), IconRgb(0, 1 - frame));
  game.Move(icon.x + 40, icon.y + 40);
  const struct {
    uint32_t ms;
    float fade;
  } steps[] = {{100, 50}, {100, 100}, {100, 150}, {100, 160}};
  for (const auto& s : steps) {
    ASSERT_TRUE(game.Frame(s.ms));
    EXPECT_TRUE(town().HoverState().hovered);
    EXPECT_FLOAT_EQ(town().HoverState().fade, s.fade);
  }
  EXPECT_EQ(town().HoverState().place, 0);
  // The panel (left of the caption picture) in its colour at alpha 160 over the map; the caption
  // picture at full strength.
  const int px = icon.x - 280, py = icon.y - 202;
  const uint32_t map = MapRgb(px - 4, py + 60), panel = Pixel(px - 4, py + 60);
  for (int ch = 0; ch < 3; ++ch) {
    const int m = map >> (8 * ch) & 0xFF, c = town::kPopupRgb >> (8 * ch) & 0xFF;
    EXPECT_NEAR(static_cast<int>(panel >> (8 * ch) & 0xFF), (m * 95 + c * 160) / 255, 2) << ch;
  }
  EXPECT_EQ(Pixel(px + 100, py + 40), CaptionRgb(0));

  // Off the icon: 800 ms to nothing; the cube stays red.
  game.Move(20, 20);
  ASSERT_TRUE(game.Frame(400));
  EXPECT_FALSE(town().HoverState().hovered);
  EXPECT_FLOAT_EQ(town().HoverState().fade, 80);
  ASSERT_TRUE(game.Frame(400));
  EXPECT_FLOAT_EQ(town().HoverState().fade, 0);
  EXPECT_EQ(Pixel(px - 4, py + 60), map);
  Place(2, 0, {0, 0, 0, 0});  // the store empty again, its cube in sight
  ASSERT_TRUE(game.Frame());
  const uint32_t still_red = Pixel(cube.x, cube.y);
  EXPECT_GT(Red(still_red), Blue(still_red) + 40) << std::hex << still_red;
  EXPECT_EQ(adv().game_mode, MODE_TOWN);  // hovering alone chooses nothing
}

TEST_F(TownTest, HoldingTheButtonOntoAnIconLoadsTheEventAndTheDayGoesOnWithItsContinuation) {
  Boot({{"Ev-1-01", "$[1] = 1\n@CALL_TOWNMAP\n"}, {"01-2", "$[2] = 2\n@keywait\n"}});
  RunToMap("@SET_EPISODENO 1\n@CALL_TOWNMAP\n");
  game.Move(10, 10);
  game.ButtonDown(0);
  ASSERT_TRUE(game.Frames(3));
  EXPECT_EQ(adv().game_mode, MODE_TOWN);  // held on the bare map
  // Moving onto the icon with the button held: chosen in the next update.
  const platform::Point icon = Icon(0, 0);
  game.Move(icon.x + 90, icon.y + 90);
  ASSERT_TRUE(game.Frame());
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  EXPECT_EQ(Count("スクリプト SCP\\Ev-1-01.scp ロード。"), 1);
  EXPECT_EQ(record().FavourVariables[0], 1);
  EXPECT_EQ(record().TownChoicesToday, 1);
  EXPECT_STREQ(record().TownPendingScript, "SCP\\01-2.scp");  // day 0: always the second part
  game.ButtonUp(0);
  for (int i = 0; i < 10 && record().LocalVariables[2] != 2; ++i) ASSERT_TRUE(game.Frame());
  EXPECT_EQ(record().LocalVariables[1], 1);
  EXPECT_EQ(record().LocalVariables[2], 2);
  EXPECT_STREQ(record().TownPendingScript, "");
  EXPECT_EQ(adv().game_mode, MODE_ADV);
}

TEST_F(TownTest, TheGuideFirstLoadsTheAScriptSecondTheBScriptAndAMissingEventIsSkipped) {
  Boot({{"wrenna02a", "@CALL_TOWNMAP\n"}, {"02-2", "$[3] = 3\n@CALL_TOWNMAP\n"},
        {"02-3", "$[4] = 4\n@keywait\n"}});
  // Day 2: the guide on the beach first, then at the store.
  RunToMap("@SET_EPISODENO 2\n@CALL_TOWNMAP\n");
  auto choose_guide = [&](int place) {
    ASSERT_EQ(adv().game_mode, MODE_TOWN);
    const auto& slots = town().Places()[place].slots;
    const int slot = static_cast<int>(std::find(slots.begin(), slots.end(), town::kGuide) -
                                      slots.begin());
    ASSERT_LT(slot, town().Places()[place].count);
    const platform::Point icon = Icon(place, slot);
    game.Move(icon.x + 48, icon.y + 48);
    game.ButtonDown(0);
    ASSERT_TRUE(game.Frames(2));
    game.ButtonUp(0);
    game.Move(0, 0);
  };
  choose_guide(1);
  EXPECT_EQ(Count("スクリプト SCP\\wrenna02a.scp ロード。"), 1);
  EXPECT_STREQ(record().TownPendingScript, "SCP\\02-2.scp");
  for (int i = 0; i < 20 && adv().game_mode != MODE_TOWN; ++i) ASSERT_TRUE(game.Frame());
  EXPECT_EQ(record().LocalVariables[3], 3);

  // The second choice's event is missing: reported, and the day goes on with part 3 at once.
  choose_guide(0);
  EXPECT_EQ(Count("SCP\\wrenna02b.scpのロードに失敗しました。"), 1);
  EXPECT_EQ(record().FavourVariables[4], 2);
  EXPECT_STREQ(record().TownPendingScript, "");
  for (int i = 0; i < 10 && record().LocalVariables[4] != 4; ++i) ASSERT_TRUE(game.Frame());
  EXPECT_EQ(record().LocalVariables[4], 4);
}

TEST_F(TownTest, MissingPicturesLeaveEmptyTilesAndTheMapStillWorks) {
  Boot({{"Ev-1-01", "@keywait\n"}}, false);
  EXPECT_EQ(Count("SYSTEM\\townmap.pngの読み込みに失敗しました。"), 1);
  EXPECT_EQ(Count("SYSTEM\\TOWN\\SD1a.pngの読み込みに失敗しました。"), 1);
  EXPECT_EQ(Count("SYSTEM\\TOWN\\SD5b.pngの読み込みに失敗しました。"), 1);
  EXPECT_EQ(Count("SYSTEM\\TOWN\\shopingmoal.pngの読み込みに失敗しました。"), 1);
  RunToMap("@SET_EPISODENO 1\n@CALL_TOWNMAP\n");
  const platform::Point icon = Icon(0, 0);
  game.Move(icon.x + 48, icon.y + 48);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Pixel(20, 20), 0u);  // an empty map tile over the cleared frame
  game.ButtonDown(0);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  EXPECT_EQ(Count("スクリプト SCP\\Ev-1-01.scp ロード。"), 1);
}

TEST_F(TownTest, ALostDeviceTakesTheCubesAwayAndTheResetBuildsThemAgain) {
  Boot({});
  RunToMap("@SET_EPISODENO 1\n@CALL_TOWNMAP\n");
  const platform::Point cube = Marker(3);
  ASSERT_TRUE(game.Frame());
  const uint32_t drawn = Pixel(cube.x, cube.y);
  ASSERT_NE(drawn, MapRgb(cube.x, cube.y));
  game.window.LoseDevice(1);
  ASSERT_TRUE(game.Frame());  // the present finds the device lost; the reset fails once
  EXPECT_FALSE(town().CubeReady());
  for (int i = 0; i < 5 && game.process.graphics.DeviceLost(); ++i) ASSERT_TRUE(game.Frame());
  ASSERT_FALSE(game.process.graphics.DeviceLost());
  EXPECT_TRUE(town().CubeReady());
  ASSERT_TRUE(game.Frame());
  EXPECT_NE(Pixel(cube.x, cube.y), MapRgb(cube.x, cube.y));
}

// Saved on the map, a game loads back onto the map with its day, choice and visits; a slot whose
// day lies beyond the schedule is shown with the last column, never read outside the tables.
TEST_F(TownTest, AGameSavedOnTheMapLoadsBackOntoItsDay) {
  Boot({{"day", "@SET_EPISODENO 2\n@CALL_TOWNMAP\n"}});
  std::strcpy(record().ScriptName, "SCP\\day.scp");
  record().TownSaveFlag = 1;
  record().TownDay = 1;
  record().TownChoicesToday = 1;
  record().FavourVariables[0] = 1;
  record().FavourVariables[4] = 1;
  ASSERT_TRUE(adv().SaveSlot(0));
  Bytes damaged = folder.Read("SAVE/0.dat");
  ASSERT_EQ(damaged.size(), 6640u);
  const int32_t far_day = 40;
  std::memcpy(damaged.data() + 6140, &far_day, 4);
  folder.Write("SAVE/1.dat", damaged);

  auto load = [&](int x, int y) {
    record() = SaveRecord{};
    adv().game_mode = MODE_ADV;
    adv().OpenSaveLoad(false);
    ASSERT_TRUE(game.Frames(5));
    ASSERT_TRUE(game.Click(x, y));
    for (int i = 0; i < 20 && adv().game_mode != MODE_TOWN; ++i) ASSERT_TRUE(game.Frame());
    ASSERT_EQ(adv().game_mode, MODE_TOWN);
  };
  load(200, 160);  // slot 0, top left
  EXPECT_EQ(record().TownDay, 1);
  EXPECT_EQ(record().TownChoicesToday, 1);
  EXPECT_EQ(record().FavourVariables[0], 1);
  EXPECT_EQ(Who(), (Places{{4}, {}, {}, {}, {}, {}, {}, {0}, {}}));

  load(200, 320);  // slot 1, below it
  EXPECT_EQ(record().TownDay, 40);
  EXPECT_EQ(Count("day index 40, choice 1 lies outside the schedule"), 1);
  EXPECT_EQ(Who(), (Places{{}, {}, {4}, {}, {}, {}, {}, {}, {}}));
}

// FNV-1a over the frame's colours.
uint64_t FrameHash(const uint32_t* frame) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (int i = 0; i < 800 * 600; ++i)
    for (int c = 0; c < 3; ++c) h = (h ^ (frame[i] >> (8 * c) & 0xFF)) * 0x100000001b3ull;
  return h;
}

// The map on day index 7's second choice with the popup of the park open: the cubes turned by a
// fixed time, lit and depth-tested, the three icons in their triangle, the caption text.
TEST_F(TownTest, TheMapWithItsPopupOpenLooksAsRecorded) {
  Boot({});
  RunToMap("@SET_EPISODENO 8\n@CALL_TOWNMAP\n");
  Place(7, 1, {25, 5, 3, 7});
  const platform::Point icon = Icon(7, 0);
  game.Move(icon.x + 48, icon.y + 48);
  ASSERT_TRUE(game.Frames(4, 100));
  ASSERT_FLOAT_EQ(town().HoverState().fade, 160);
  const uint64_t hash = FrameHash(game.process.graphics.Frame());
  if (const char* dump = std::getenv("TOWN_DUMP"))
    SavePNG(dump, reinterpret_cast<const uint8_t*>(game.process.graphics.Frame()), 800, 600, 3200,
            PngChannels::Rgb);
  EXPECT_EQ(hash, 0x31cbad380673fce5ull) << "the map's frame changed: 0x" << std::hex << hash << "ull";
}

}  // namespace
