// The demo game played from its title as a player would: each input script of
// tests/playthrough/ runs in the replay tool, as its own program, on a fresh copy of the built
// demo. Afterwards the log must hold no error besides the expected ones, the files the game wrote
// must have their sizes and the fields the play-through set, and a few frames must match their
// recorded checksums (or each other, where the game should look the same again).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "resource/image.h"
#include "support/game_folder.h"

namespace {

namespace stdfs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string BuildDir() {
  const char* dir = std::getenv("LANTHORN_BUILD_DIR");
  return dir ? dir : "";
}

// The fragments the engine's error reports contain. The log file keeps no level, so an error
// line is recognised by its words; the table covers every kind of level-2 report.
constexpr std::string_view kErrorMarks[] = {
    "error",   "fail",      "not found", "nor found", "could not",    "cannot",     "does not",
    "damaged", "missing",   "too many",  "too large", "out of range", "without",    "deeper",
    "budget",  "no choice", "different", "失敗",      "問題",         "ありません", "できません",
    "超えた",  "多すぎ",    "異常",      "EOF",
};
// Expected on every first start: there is no read-text record yet.
constexpr std::string_view kExpectedErrors[] = {"text.datのopenに失敗しました。"};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::vector<std::string> UnexpectedErrors(const std::string& log) {
  std::vector<std::string> found;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    const std::string line = log.substr(start, end - start);
    start = end + 1;
    const std::string lower = Lower(line);
    bool error = false;
    for (std::string_view mark : kErrorMarks) error |= lower.find(Lower(mark)) != std::string::npos;
    for (std::string_view expected : kExpectedErrors)
      error &= line.find(expected) == std::string::npos;
    if (error) found.push_back(line);
  }
  return found;
}

int Count(const std::string& text, std::string_view fragment) {
  int n = 0;
  for (size_t at = text.find(fragment); at != std::string::npos;
       at = text.find(fragment, at + fragment.size()))
    ++n;
  return n;
}

int32_t Int32At(const Bytes& b, size_t offset) {
  int32_t v = 0;
  if (offset + 4 <= b.size()) std::memcpy(&v, b.data() + offset, 4);
  return v;
}

std::string StringAt(const Bytes& b, size_t offset, size_t size) {
  if (offset + size > b.size()) return {};
  const char* p = reinterpret_cast<const char*>(b.data() + offset);
  return std::string(p, strnlen(p, size));
}

// FNV-1a over the colour of the pixels of a screenshot inside (x0, y0)-(x1, y1), by default all
// of it; 0 when it cannot be read.
uint64_t FrameHash(const Bytes& png, int x0 = 0, int y0 = 0, int x1 = 800, int y1 = 600) {
  CImage32 image;
  if (png.empty() || image.LoadFromPNGMemory(png.data(), png.size()) != 0) return 0;
  if (x1 > image.Width() || y1 > image.Height()) return 0;
  uint64_t h = 0xcbf29ce484222325ull;
  const uint8_t* p = image.Pixels();
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      for (int c = 0; c < 3; ++c) h = (h ^ p[(y * image.Width() + x) * 4 + c]) * 0x100000001b3ull;
  return h;
}

// Recorded frames: the title, a text page with its speaker's name plate, a choice screen, the
// timed choice with its items' words after their labels and the page naming them (its outline's
// crawl goes on from the town map's popup outline drawn before it), and the town map's popup. A
// change to the demo's art or story, or to how the engine draws, changes them on purpose; the
// failure prints the new checksum.
struct GoldenFrame {
  const char* script;
  const char* shot;
  uint64_t hash;
};
constexpr GoldenFrame kGoldenFrames[] = {
    {"quit.txt", "title.png", 0x44a9fefd3b10ac95ull},
    {"save_load.txt", "saved_page.png", 0x92c895c7b5869aadull},
    {"branches.txt", "choice_first.png", 0x426a5ef97323ad7eull},
    {"branches.txt", "timed_choice.png", 0xcdccc02f0c9b0abaull},
    {"town_map.txt", "map_popup.png", 0xd274f79228009821ull},
};

class DemoPlaythrough : public ::testing::Test {
 protected:
  void SetUp() override {
    const stdfs::path demo = stdfs::path(BuildDir()) / "demo";
    ASSERT_TRUE(stdfs::exists(demo / "system.pkd")) << "build the demo target first";
    // What an installed game folder holds: the archives and the loose sounds and pictures, but
    // none of the player's files a run in the build folder may have left there.
    for (const auto& entry : stdfs::directory_iterator(demo)) {
      const std::string name = entry.path().filename().string();
      const bool game_file = entry.path().extension() == ".pkd" || name == "SOUND" ||
                             name == "SYSTEM" || name == "MOVIE";
      if (game_file)
        stdfs::copy(entry.path(), stdfs::path(folder_.path()) / name,
                    stdfs::copy_options::recursive);
    }
  }

  // Plays tests/playthrough/SCRIPT; returns the replay tool's exit status.
  int Play(const std::string& script) {
    script_ = script;
    const std::string cmd = BuildDir() + "/tools/replay/lanthorn-replay " + folder_.path() + " " +
                            LANTHORN_PLAYTHROUGH_DIR "/" + script + " " + folder_.path() +
                            "/out >/dev/null 2>&1";
    const int status = std::system(cmd.c_str());
    const Bytes log = folder_.Read("out/log.txt");
    log_.assign(log.begin(), log.end());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  bool HasShot(const std::string& name) const { return folder_.Exists("out/" + name); }
  uint64_t Shot(const std::string& name) const { return FrameHash(folder_.Read("out/" + name)); }
  // The place of the history's go-back button, (576, 572)-(704, 588).
  uint64_t GoBackArea(const std::string& name) const {
    return FrameHash(folder_.Read("out/" + name), 576, 572, 704, 588);
  }
  Bytes File(const std::string& name) const { return folder_.Read(name); }

  // The common checks of every play-through.
  void ExpectCleanRun() {
    EXPECT_NE(Count(log_, "DirectSound Create"), 0) << "no log from " << script_;
    for (const std::string& line : UnexpectedErrors(log_)) ADD_FAILURE() << script_ << ": " << line;
    for (const GoldenFrame& g : kGoldenFrames) {
      if (script_ != g.script) continue;
      EXPECT_EQ(Shot(g.shot), g.hash)
          << g.shot << " of " << g.script << " changed: 0x" << std::hex << Shot(g.shot) << "ull";
    }
  }

  testing_support::GameFolder folder_;
  std::string script_;
  std::string log_;
};

TEST_F(DemoPlaythrough, EveryBranchEndsBackAtTheTitle) {
  ASSERT_EQ(Play("branches.txt"), 0);
  ExpectCleanRun();

  // Each choice was taken once, the riverside three times; the timed choice's four outcomes.
  const std::pair<const char*, int> branches[] = {
      {"Load Script [SCP\\home.scp]", 1}, {"Load Script [SCP\\scene1.scp]", 4},
      {"Load Script [SCP\\shop.scp]", 1}, {"Load Script [SCP\\river.scp]", 3},
      {"JUMP : ラベル *hand", 1},         {"JUMP : ラベル *search", 1},
      {"JUMP : ラベル *look", 1},         {"JUMP : ラベル *late", 1},
      {"JUMP : ラベル *idle", 0},         {"JUMP : ラベル *ending", 3},
  };
  for (const auto& [fragment, times] : branches)
    EXPECT_EQ(Count(log_, fragment), times) << fragment;

  // Every ending leads back to the same title screen; from the first ending on it offers the
  // galleries, which the first start did not, and once the riverside's movie was seen (the
  // third ending on) the movie item too: those titles differ only in its row.
  const uint64_t title = Shot("title_home.png");
  ASSERT_NE(title, 0u);
  EXPECT_NE(Shot("title.png"), title);
  EXPECT_EQ(Shot("title_hand.png"), title);
  const uint64_t with_movies = Shot("title_search.png");
  EXPECT_NE(with_movies, title);
  for (const char* shot : {"title_look.png", "title_late.png"})
    EXPECT_EQ(Shot(shot), with_movies) << shot;
  auto outside_movie_item = [&](const char* shot) {
    const Bytes png = folder_.Read(std::string("out/") + shot);
    return std::pair{FrameHash(png, 0, 0, 800, 400), FrameHash(png, 0, 436, 800, 600)};
  };
  EXPECT_EQ(outside_movie_item("title_search.png"), outside_movie_item("title_home.png"));
  EXPECT_NE(Shot("timed_choice.png"), title);
  // The riverside's movie each time it was passed, and Akane's run toward Mio once.
  EXPECT_EQ(Count(log_, "movie texture size(1024 x 512)"), 4);

  // The memories the endings keep: home 2, her hand 5, Mio 9, the fireworks 1; none for waiting.
  const Bytes progress = File("data.dat");
  ASSERT_EQ(progress.size(), 398u);
  for (int n = 1; n <= 16; ++n) {
    const bool kept = n == 1 || n == 2 || n == 5 || n == 9;
    EXPECT_EQ(progress[197 + n - 1], kept ? 1 : 0) << "memory " << n;
  }

  // The first visit's greeting set $SYS[0]; the settings file keeps it.
  const Bytes settings = File("system.dat");
  ASSERT_EQ(settings.size(), 252u);
  EXPECT_EQ(Int32At(settings, 120), 1);

  // The read-text record, written at each return to the title: every script read, in name
  // order, each with a position past its start. Bytes read as ((s + 0x80) mod 256) ^ 0x5A.
  Bytes read = File("text.dat");
  // The home path went through the town map to Akane's event and the day's continuation.
  ASSERT_EQ(read.size(), 8u * 36u);
  for (uint8_t& b : read) b = static_cast<uint8_t>(((b + 0x80) & 0xFF) ^ 0x5A);
  const char* names[] = {"SCP\\01-2.scp",  "SCP\\Ev-1-01.scp", "SCP\\finale.scp",
                         "SCP\\home.scp",  "SCP\\river.scp",   "SCP\\scene1.scp",
                         "SCP\\shop.scp",  "SCP\\startup.scp"};
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(StringAt(read, i * 36, 32), names[i]);
    EXPECT_GT(Int32At(read, i * 36 + 32), 0) << names[i];
  }
}

TEST_F(DemoPlaythrough, ALoadedSlotResumesAtTheSavedPage) {
  ASSERT_EQ(Play("save_load.txt"), 0);
  ExpectCleanRun();

  const Bytes save = File("SAVE/0.dat");
  ASSERT_EQ(save.size(), 6640u);
  EXPECT_EQ(Int32At(save, 0), 202);
  EXPECT_EQ(StringAt(save, 4, 64), "SCP\\startup.scp");
  EXPECT_EQ(Int32At(save, 6240), 2);  // $[0] on the saved page
  EXPECT_EQ(save[6136], 1);  // recorded with rollback on
  EXPECT_FALSE(folder_.Exists("SAVE/1.dat"));

  const Bytes thumb = File("SAVE/0.bmp");
  ASSERT_EQ(thumb.size(), 76857u);
  EXPECT_EQ(thumb[0], 'B');
  EXPECT_EQ(thumb[1], 'M');
  EXPECT_EQ(Int32At(thumb, 18), 160);
  EXPECT_EQ(std::abs(Int32At(thumb, 22)), 120);

  // The page after the saved one counted its lantern twice: once when first played and once
  // after the load put the story back, with $[0] as it was saved.
  EXPECT_EQ(Count(log_, "$[0] (2) -> (3)"), 2);
  EXPECT_EQ(Count(log_, "$[0] (1) -> (2)"), 1);
}

TEST_F(DemoPlaythrough, ContinueOnTheTitleLoadsASlotAndItsCancelComesBack) {
  ASSERT_EQ(Play("continue.txt"), 0);
  ExpectCleanRun();
  ASSERT_TRUE(folder_.Exists("SAVE/0.dat"));
  // The load screen came up over the title, and its Escape left the title as it was.
  const uint64_t title = Shot("title_saved.png");
  ASSERT_NE(title, 0u);
  EXPECT_NE(Shot("continue_load.png"), title);
  EXPECT_EQ(Shot("continue_cancelled.png"), title);
  // The story left at the saved page went on only after the load, from the $[0] it was saved
  // with, and not from its beginning.
  EXPECT_EQ(Count(log_, "$[0] (2) -> (3)"), 1);
  EXPECT_EQ(Count(log_, "$[0] (1) -> (2)"), 1);
  EXPECT_NE(Shot("continued.png"), 0u);
}

TEST_F(DemoPlaythrough, TheHistoryGoesBackOnlyToPagesRecordedWithRollback) {
  ASSERT_EQ(Play("history.txt"), 0);
  ExpectCleanRun();
  // Going back to the first lantern page set $[0] back to 1, so the second lantern came twice.
  EXPECT_EQ(Count(log_, "$[0] (1) -> (2)"), 2);
  // In the rain the history only closed: the picture loaded before the page shown was not
  // loaded a second time.
  EXPECT_EQ(Count(log_, "mio02.png"), 1);
  // The go-back button is drawn on the page that allows it and not on the other: there the
  // place looks as it does in the story beneath.
  ASSERT_NE(GoBackArea("history_on.png"), 0u);
  EXPECT_NE(GoBackArea("history_on.png"), GoBackArea("gone_back.png"));
  EXPECT_EQ(GoBackArea("history_off.png"), GoBackArea("closed.png"));
}

TEST_F(DemoPlaythrough, SettingsChangedOnTheScreenAreWritten) {
  ASSERT_EQ(Play("settings.txt"), 0);
  ExpectCleanRun();
  const Bytes settings = File("system.dat");
  ASSERT_EQ(settings.size(), 252u);
  const std::pair<size_t, int32_t> fields[] = {
      {4, 7},  // TextSpeed: the eighth button, from the title's settings
      {16, 2},  // TextStyle: outlined
      {12, 0},  // AutoClickSpeed: the first button, from the story's system menu
      {40, 8},  // SeVolume: untouched
  };
  for (const auto& [offset, value] : fields) EXPECT_EQ(Int32At(settings, offset), value) << offset;
}

TEST_F(DemoPlaythrough, QuittingAsksFirstAndEndsTheGame) {
  ASSERT_EQ(Play("quit.txt"), 0);
  ExpectCleanRun();
  // "No" and Escape each closed the dialog and left the title as it was; "yes" ended the game
  // before the last shot.
  const uint64_t title = Shot("title_last_item.png");
  ASSERT_NE(title, 0u);
  EXPECT_NE(Shot("dialog.png"), title);
  EXPECT_EQ(Shot("after_no.png"), title);
  EXPECT_EQ(Shot("after_escape.png"), title);
  EXPECT_FALSE(HasShot("after_quit.png"));
  // Quitting keeps what was read (the read-text record); the settings file is the first start's.
  EXPECT_TRUE(folder_.Exists("text.dat"));
  EXPECT_EQ(File("system.dat").size(), 252u);
}

// The home path meets the town map: the popup of the place under the pointer, the choice by
// holding the button, the event script, then the day's continuation to its ending.
TEST_F(DemoPlaythrough, TheTownMapChoosesAnEventByHoldingTheButtonAndTheDayGoesOn) {
  ASSERT_EQ(Play("town_map.txt"), 0);
  ExpectCleanRun();
  EXPECT_EQ(Count(log_, "BGM loaded.. [SOUND\\BGM\\RZ_MAP.ogg]"), 1);
  EXPECT_EQ(Count(log_, "スクリプト SCP\\Ev-3-01.scp ロード。"), 1);
  EXPECT_EQ(Count(log_, "Ev-1-01"), 0);
  EXPECT_GT(Count(log_, "[SCP\\01-2.scp"), 0);
  EXPECT_NE(Shot("map_popup.png"), Shot("map.png"));
  EXPECT_NE(Shot("event.png"), Shot("map_popup.png"));
  // The continuation's ending kept its memory and went back to the title.
  const Bytes progress = File("data.dat");
  ASSERT_EQ(progress.size(), 398u);
  EXPECT_EQ(progress[197 + 1], 1);
  EXPECT_TRUE(HasShot("title_after_map.png"));
}

// After an ending, a new story keeps nothing of the ending: a right click hides its window (it
// does not leave for the title).
TEST_F(DemoPlaythrough, ANewStoryAfterAnEndingStartsClean) {
  ASSERT_EQ(Play("new_story.txt"), 0);
  ExpectCleanRun();
  ASSERT_TRUE(HasShot("title_after_ending.png"));
  ASSERT_TRUE(HasShot("shown.png"));
  const uint64_t title = Shot("title_after_ending.png");
  EXPECT_NE(Shot("hidden.png"), title);  // still in the story
  EXPECT_EQ(Shot("hidden.png"), Shot("still_hidden.png"));
  EXPECT_NE(Shot("shown.png"), Shot("hidden.png"));  // the second click shows it again
}

// The home ending unlocks a picture, a memory and a piece; each room is then visited from the
// title, the picture and the memory are replayed and come back to their rooms.
TEST_F(DemoPlaythrough, TheGalleriesShowWhatTheStoryUnlockedAndReplayIt) {
  ASSERT_EQ(Play("galleries.txt"), 0);
  ExpectCleanRun();
  const Bytes progress = File("data.dat");
  ASSERT_EQ(progress.size(), 398u);
  EXPECT_EQ(progress[105], 1);  // "ev_mirel01", the window scene
  EXPECT_EQ(progress[197 + 1], 1);  // memory 2, heroine 1's second
  EXPECT_EQ(progress[213 + 1] & 0x04, 0x04);  // the ending's music, the room's second piece
  EXPECT_EQ(progress[213 + 0] & 0x04, 0);  // the opening was never heard

  EXPECT_EQ(Count(log_, "Load Script [SCP\\CG\\mirel01.scp]"), 1);
  EXPECT_EQ(Count(log_, "Load Script [SCP\\OMOIDE\\omoide1-02.scp]"), 1);
  // Set up on entering and again after its replay, each time with the four heroines.
  EXPECT_EQ(Count(log_, "@chr_load. no(1) channel(1) : junoA01A.png"), 4);

  // Every screen differs from the title; each room after its replay looks as it did before
  // (the heroine, the tabs and the return button; the band and the header).
  const uint64_t title = Shot("title_unlocked.png");
  ASSERT_NE(title, 0u);
  EXPECT_NE(Shot("title_locked.png"), title);
  for (const char* shot : {"picture_gallery.png", "memory_replay.png", "music_room.png"})
    EXPECT_NE(Shot(shot), title) << shot;
  auto area = [&](const char* shot, int x0, int y0, int x1, int y1) {
    return FrameHash(folder_.Read(std::string("out/") + shot), x0, y0, x1, y1);
  };
  EXPECT_EQ(area("picture_gallery.png", 512, 0, 800, 600),
            area("picture_gallery_back.png", 512, 0, 800, 600));
  EXPECT_EQ(area("memory_replay.png", 0, 0, 800, 440),
            area("memory_replay_back.png", 0, 0, 800, 440));
  EXPECT_NE(Shot("title_back.png"), Shot("music_room.png"));
}

// The story's movies and the movie room: the riverside's movie runs to its end and the story goes
// on over its last picture; Escape ends Akane's run at once; the title's movie item, alive now,
// leads into the room, whose third entry plays to its end in the frame over the list.
TEST_F(DemoPlaythrough, MoviesPlayInTheStoryAndInTheRoom) {
  ASSERT_EQ(Play("movies.txt"), 0);
  ExpectCleanRun();
  EXPECT_EQ(Count(log_, "movie texture size(1024 x 512)"), 3);
  auto area = [&](const char* shot, int x0, int y0, int x1, int y1) {
    return FrameHash(folder_.Read(std::string("out/") + shot), x0, y0, x1, y1);
  };
  // Beside Hina, above the text box: the bank, then the movie in its place. At the end Hina's
  // page comes over the last picture, which stays until the click that stops the movie.
  constexpr int kBeside[] = {560, 120, 800, 360};
  auto beside = [&](const char* shot) {
    return area(shot, kBeside[0], kBeside[1], kBeside[2], kBeside[3]);
  };
  ASSERT_NE(beside("river_page.png"), 0u);
  EXPECT_NE(beside("river_movie.png"), beside("river_page.png"));
  EXPECT_NE(beside("river_movie_end.png"), beside("river_movie.png"));
  EXPECT_EQ(beside("river_movie_kept.png"), beside("river_movie_end.png"));
  EXPECT_EQ(beside("river_after.png"), beside("river_page.png"));
  EXPECT_NE(Shot("river_movie_end.png"), Shot("river_movie.png"));  // Hina's page over it
  // Two frames after Escape the movie's sky is gone (it stays while a movie plays on).
  EXPECT_NE(area("search_skipped.png", 0, 0, 400, 100), area("search_movie.png", 0, 0, 400, 100));
  EXPECT_EQ(Count(log_, "ev_carys01.png"), 1);
  // The room: the movie in its frame, run to its end and kept there.
  constexpr int kFrame[] = {136, 70, 664, 466};
  auto frame = [&](const char* shot) {
    return area(shot, kFrame[0], kFrame[1], kFrame[2], kFrame[3]);
  };
  ASSERT_TRUE(HasShot("movie_room.png"));
  EXPECT_NE(frame("room_movie.png"), frame("movie_room.png"));
  EXPECT_NE(frame("room_movie_end.png"), frame("room_movie.png"));
  EXPECT_EQ(frame("room_movie_kept.png"), frame("room_movie_end.png"));
  EXPECT_NE(Shot("title_back.png"), Shot("room_movie_kept.png"));
  // The story's two movies are recorded as seen (with the memory the ending kept); the room's
  // plays record nothing.
  const Bytes progress = File("data.dat");
  ASSERT_EQ(progress.size(), 398u);
  EXPECT_EQ(progress[213 + 0] & 1, 1);
  EXPECT_EQ(progress[213 + 1] & 1, 1);
  EXPECT_EQ(progress[213 + 2] & 1, 0);
}

}  // namespace
