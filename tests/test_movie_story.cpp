// Movies in the game on the headless engine: the story's movie commands with the layer between
// background and characters, the story's wait for the end and the skip, the range message, the
// resolution setting, a missing file; and the movie room's list, paging, panel and entry.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/dik.h"
#include "platform/movie_encode.h"
#include "platform/sjis.h"
#include "support/game_folder.h"

namespace {

using testing_support::GameFolder;
using testing_support::ScriptFile;

// Every picture green except the last, which is red; a quiet tone under it.
platform::MovieEncodeSpec Spec(int frames, bool audio = true) {
  platform::MovieEncodeSpec s;
  s.width = 64;
  s.height = 48;
  s.frames = frames;
  s.audio = audio;
  s.audio_rate = 48000;
  s.paint = [frames](int i, uint8_t* rgb, int pitch) {
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        uint8_t* p = rgb + y * pitch + 3 * x;
        const bool last = i == frames - 1;
        p[0] = last ? 220 : 20;
        p[1] = last ? 20 : 220;
        p[2] = 20;
      }
  };
  s.sound = [](int64_t, float* out, int n) {
    for (int i = 0; i < 2 * n; ++i) out[i] = 0.05f;
  };
  return s;
}

class MovieStoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteEmptyGame();
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
  }
  CADV& adv() { return game.process.adv; }
  void Encode(const std::string& relative, const platform::MovieEncodeSpec& s) {
    std::filesystem::create_directories(std::filesystem::path(folder.path() + "/" + relative)
                                            .parent_path());
    ASSERT_TRUE(platform::EncodeMovie(folder.path() + "/" + relative, s));
  }
  // Runs the script in the story; a marker statement after "@movie_play" sets $[1].
  void Start(const std::string& utf8) {
    const std::vector<uint8_t> b = ScriptFile(utf8);
    ASSERT_TRUE(adv().script.LoadFromMemory("SCP\\m.scp", b.data(), b.size()));
    adv().game_mode = MODE_ADV;
  }
  int32_t Var(int n) { return adv().save_record.LocalVariables[n]; }
  // Frames until `pred` holds (the movie thread runs in real time beside them), at most 20 s.
  template <class Pred>
  bool RunUntil(Pred pred) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pred()) {
      if (std::chrono::steady_clock::now() > end || !game.Frame()) return false;
    }
    return true;
  }
  uint32_t Pixel(int x, int y) { return game.process.graphics.Frame()[y * 800 + x] & 0xFFFFFF; }
  bool MessageShown(std::string_view fragment) {
    for (const auto& s : game.boxes.shown)
      if (s.text.find(fragment) != std::string::npos) return true;
    return false;
  }

  GameFolder folder;
  HeadlessGame game;
};

constexpr const char* kScript =
    "@movie_load 001.mpg\n@movie_play\n$[1] = 1\n@wait 50\n$[2] = 1\n@movie_stop\n$[3] = 1\n";

TEST_F(MovieStoryTest, AMovieRunsToItsEndAndTheScriptResumesWithTheLastPictureShown) {
  Encode("MOVIE/HIGH/001.mpg", Spec(12));
  Start(kScript);
  ASSERT_TRUE(RunUntil([&] { return adv().movie_layer.Active(); }));
  EXPECT_TRUE(adv().progress.IsMovieSeen(1));
  // The story waits while the movie plays; the picture is on the screen.
  ASSERT_TRUE(RunUntil([&] { return adv().movie_layer.Player()->FramesShown() > 2; }));
  game.Frame();
  EXPECT_EQ(Var(1), 0);
  EXPECT_GT(Pixel(400, 300) >> 8 & 0xFF, 150u) << std::hex << Pixel(400, 300);
  // At the end the script goes on while the last (red) picture stays until "@movie_stop".
  ASSERT_TRUE(RunUntil([&] { return Var(1) == 1; }));
  EXPECT_TRUE(adv().movie_layer.Completed());
  EXPECT_EQ(Var(2), 0);
  game.Frame();
  EXPECT_GT(Pixel(400, 300) >> 16 & 0xFF, 150u) << std::hex << Pixel(400, 300);
  ASSERT_TRUE(RunUntil([&] { return Var(3) == 1; }));
  EXPECT_FALSE(adv().movie_layer.Active());
  EXPECT_TRUE(game.boxes.shown.empty());
}

TEST_F(MovieStoryTest, EscOrARightClickEndsTheMovieAtOnceUnlessAltEnterIsHeld) {
  Encode("MOVIE/HIGH/001.mpg", Spec(250));  // ten seconds
  const struct {
    const char* name;
    bool esc, right, alt_enter;
    bool skips;
  } cases[] = {
      {"Esc", true, false, false, true},
      {"right click", false, true, false, true},
      {"Esc with Alt+Enter held", true, false, true, false},
  };
  for (const auto& c : cases) {
    adv().save_record.LocalVariables[1] = 0;
    Start(kScript);
    ASSERT_TRUE(RunUntil([&] { return adv().movie_layer.Active(); })) << c.name;
    game.Frames(3);
    if (c.alt_enter) game.KeyDown(DIK_LMENU), game.KeyDown(DIK_RETURN);
    if (c.esc) game.KeyDown(DIK_ESCAPE);
    if (c.right) game.Move(400, 300), game.ButtonDown(1);
    game.Frame();
    game.KeyUp(DIK_ESCAPE), game.ButtonUp(1), game.KeyUp(DIK_RETURN), game.KeyUp(DIK_LMENU);
    EXPECT_EQ(!adv().movie_layer.Active(), c.skips) << c.name;
    EXPECT_EQ(Var(1), 0) << c.name;
    game.Frame();
    EXPECT_EQ(Var(1), c.skips ? 1 : 0) << c.name << ": the script goes on the next frame";
    adv().MovieStop();
  }
}

TEST_F(MovieStoryTest, LoadingFollowsTheRangeTheSettingAndAMissingFile) {
  Encode("MOVIE/HIGH/186.mpg", Spec(5));
  Encode("MOVIE/LOW/002.mpg", Spec(5, false));
  // Outside 1-185: the message, no flag, and the movie still plays.
  Start("@movie_load 186.mpg\n@movie_play\n$[1] = 1\n");
  ASSERT_TRUE(RunUntil([&] { return Var(1) == 1; }));
  EXPECT_EQ(game.process.log.Count(SJ("範囲内(1-185)のファイルではありません。 -> 186.mpg")), 1);
  EXPECT_GT(adv().movie_layer.Player()->FramesShown(), 0);
  EXPECT_TRUE(game.boxes.shown.empty());

  // Low resolution: "MOVIE\LOW\".
  adv().system_data.MovieHighRes = 0;
  adv().save_record.LocalVariables[1] = 0;
  Start("@movie_load 002.mpg\n@movie_play\n$[1] = 1\n@movie_stop\n");
  ASSERT_TRUE(RunUntil([&] { return Var(1) == 1; }));
  EXPECT_EQ(adv().movie_layer.FileName(), "MOVIE\\LOW\\002.mpg");
  EXPECT_TRUE(game.boxes.shown.empty());

  // A missing file: the source filter's message, an empty layer, and the story goes on.
  adv().save_record.LocalVariables[1] = 0;
  Start("@movie_load 003.mpg\n@movie_play\n$[1] = 1\n");
  ASSERT_TRUE(RunUntil([&] { return Var(1) == 1; }));
  EXPECT_TRUE(MessageShown("Could not add source filter to graph!"));
  EXPECT_TRUE(adv().movie_layer.Active());
  EXPECT_TRUE(adv().progress.IsMovieSeen(3));
}

// --- the movie room

TEST(MovieRoomList, PagesFromEntryOneWithoutSkippingOrRepeatingAndWithoutTheGaps) {
  std::vector<int> seen;
  int w = 1, steps = 0;
  for (;; ++steps) {
    for (int n : movie_room::PageEntries(w)) seen.push_back(n);
    if (w >= movie_room::kLastPageStart) break;
    w += movie_room::kRows;
  }
  EXPECT_EQ(steps, 9);
  EXPECT_EQ(movie_room::PageEntries(w), (std::vector<int>{181, 182, 183, 184}));
  std::vector<int> expected;
  for (int n = 1; n <= 184; ++n)
    if (n != 137 && n != 138) expected.push_back(n);
  EXPECT_EQ(seen, expected);
  // The page over the gap closes up: 18 rows.
  EXPECT_EQ(movie_room::PageEntries(121).size(), 18u);

  const struct {
    int n;
    const char* caption;
    const char* cars;
  } rows[] = {
      {1, "四ツ谷峠　　　スタート地点", "カプチーノ/シルビア"},
      {2, "四ツ谷峠　　　90度Ｓ字付近", "カプチーノ/シルビア"},
      {18, "四ツ谷峠", "セリカ"},
      {20, "四ツ谷峠　　　頂上", "ＡＥ８６"},
      {80, "氷上峠　　　　頂上", "ポルシェ"},
      {154, "姫田峠　　　　頂上", "ＣＲ－Ｘ"},
      {182, "四ツ谷峠　　　90度ヘアピン付近", "エリーゼ/ＧＴ－Ｒ"},
      {184, "四ツ谷峠　　　90度ヘアピン付近", "ＣＲ－Ｘ"},
      {0, "欠番", "未定"},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(movie_room::EntryOf(r.n).caption, SJ(r.caption)) << r.n;
    EXPECT_EQ(movie_room::EntryOf(r.n).cars, SJ(r.cars)) << r.n;
  }
}

class MovieRoomTest : public MovieStoryTest {
 protected:
  // Into the room from the title, through its state 50.
  void Enter() {
    adv().game_mode = MODE_TITLE;
    adv().title.state = kTitleMovieGallery;
    game.Frame();
    ASSERT_EQ(adv().game_mode, MODE_MOVIE);
  }
  const MovieRoom& room() { return adv().movie_room; }
};

TEST_F(MovieRoomTest, TheArrowsPageToTheLastPageAndTheHighlightedRowIsTheEntryPlayed) {
  Encode("MOVIE/HIGH/003.mpg", Spec(5));
  Enter();
  EXPECT_EQ(room().PageStart(), 1);
  EXPECT_EQ(room().SelectedEntry(), 1);
  // Next twice: the third row, entry 3, is the one played.
  game.Click(528, 560);
  game.Click(528, 560);
  EXPECT_EQ(room().SelectedEntry(), 3);
  game.Click(330, 560);
  EXPECT_EQ(adv().movie_layer.FileName(), "MOVIE\\HIGH\\003.mpg");
  EXPECT_TRUE(adv().movie_layer.Active());
  EXPECT_EQ(room().Playing(), 3);
  // Next twenty times: round the page and back.
  for (int i = 0; i < 20; ++i) game.Click(528, 560);
  EXPECT_EQ(room().Selection(), 2);
  // Stop, then page down nine times: 181-184, and no further.
  game.Click(460, 560);
  EXPECT_FALSE(adv().movie_layer.Active());
  for (int i = 0; i < 10; ++i) game.Click(718, 492);
  EXPECT_EQ(room().PageStart(), 181);
  EXPECT_EQ(room().SelectedEntry(), 183);
  // The toggles, then Esc back to the title with the movie closed.
  game.Click(396, 540);
  game.Click(396, 572);
  EXPECT_TRUE(room().Loop());
  EXPECT_TRUE(room().PlayOn());
  game.Key(DIK_ESCAPE);
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
}

TEST_F(MovieRoomTest, PlayOnFollowsTheListAndTheTitleOffersTheRoomOnceAMovieWasSeen) {
  Encode("MOVIE/HIGH/001.mpg", Spec(5));
  Encode("MOVIE/HIGH/002.mpg", Spec(5));
  Enter();
  game.Click(396, 572);  // play on
  game.Click(330, 560);  // play entry 1
  ASSERT_TRUE(RunUntil([&] { return room().Playing() == 2; }));
  EXPECT_EQ(room().SelectedEntry(), 2);
  EXPECT_EQ(adv().movie_layer.FileName(), "MOVIE\\HIGH\\002.mpg");
  game.Key(DIK_ESCAPE);
  ASSERT_EQ(adv().game_mode, MODE_TITLE);

  // The movie item: grey until a movie was seen.
  game.Frames(5);
  EXPECT_FALSE(adv().title.movies_offered);
  adv().UnlockMovie(7);
  adv().title.state = kTitleMusic;
  game.Frames(2);
  EXPECT_TRUE(adv().title.movies_offered);
  game.Move(100, 224 + 36 * kTitleMoviesItem + 10);
  game.Frame();
  game.Key(DIK_RETURN);
  game.Frame();
  EXPECT_EQ(adv().game_mode, MODE_MOVIE);
}

}  // namespace
