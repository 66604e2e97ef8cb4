// Save slots on the headless engine: a slot written at a page and loaded again resumes there with
// its pictures, sounds and music; the live fields are the only ones that change between pages;
// the time label, the thumbnail file, a crash in the middle of a save, and slot files that must
// be refused without touching the scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/fs.h"
#include "platform/sjis.h"
#include "resource/image.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "save/slot_label.h"
#include "support/file_faults.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Plain pictures, a short 8-bit mono sound and half a second of music (support/media.h).
Bytes Picture(int w, int h, uint32_t rgb) { return testing_support::SolidPng(w, h, rgb); }
Bytes Wav() { return testing_support::DcWav(256, 1, 22050, 8, 0, 0); }
Bytes Ogg() { return testing_support::ToneOgg(0.5, 22050, 1).bytes; }

using testing_support::GameFolder;
using testing_support::ScriptFile;

constexpr uint32_t kSky = 0x3080F0, kSea = 0x104080, kGirl = 0x40E040;

// Two pages; between them the scene changes completely.
constexpr const char* kTwoPages =
    "@bg_load sky.png\n"
    "@bg_change 0\n"
    "@chr_load B,girl.png\n"
    "@chr_swap_screen B\n"
    "@chr_setpos B,3\n"
    "@chr_show B\n"
    "@text,0 {\n"
    "first\n"
    "}\n"
    "@bg_load sea.png\n"
    "@bg_change 0\n"
    "@chr_hide B\n"
    "$[3] = 9\n"
    "$FAV[1] = 2\n"
    "@se_load 2,ding.wav\n"
    "@se_play 2\n"
    "@keywait\n"
    "@text,0 {\n"
    "second\n"
    "}\n";

class SaveSlotTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteEmptyArchive("thumb.pkd");
    folder.Write("grp.pkd", *BuildPack({{"BG\\sky.png", Picture(800, 600, kSky)},
                                        {"BG\\sea.png", Picture(800, 600, kSea)},
                                        {"CHR\\girl.png", Picture(512, 600, kGirl)}}));
    folder.Write("SOUND/SE/bell.wav", Wav());
    folder.Write("SOUND/SE/ding.wav", Wav());
    folder.Write("SOUND/BGM/song.ogg", Ogg());
    game.process.log.SetEcho(false);
  }

  // Boots with the script as "SCP\t.scp" and loads it; the story draws its layers only, and the
  // tests run the interpreter themselves.
  void Start(const std::string& script) {
    folder.Write("system.pkd", *BuildPack({{"SCP\\t.scp", ScriptFile(script)},
                                           {"SYSTEM\\pic.png", Picture(64, 48, kSky)}}));
    ASSERT_TRUE(game.Boot());
    adv().SetModeSteps(MODE_ADV, {nullptr, [](CADV& a) { a.SceneDrawLayers(); }});
    adv().game_mode = MODE_ADV;
    ASSERT_TRUE(adv().script.Load("SCP\\t.scp"));
  }
  CADV& adv() { return game.process.adv; }
  Process& process() { return game.process; }

  int32_t TokenFrom(int32_t from, std::string_view prefix, int n = 0) {
    for (int32_t i = from; i < adv().script.TokenCount(); ++i)
      if (adv().script.Token(i).starts_with(prefix) && n-- == 0) return i;
    return -1;
  }
  int32_t TextToken(int n) { return TokenFrom(0, "@text,", n); }
  // Runs the script up to and through page n's text command, which takes the page's snapshot.
  void Page(int n) {
    const int32_t text = TextToken(n);
    for (int i = 0; i < 200 && adv().script.GetPosition() <= text; ++i) adv().ScriptStep();
    ASSERT_GT(adv().script.GetPosition(), text);
    ASSERT_EQ(adv().save_record.ScriptPosition, text);
  }
  uint32_t Pixel(int x, int y) { return process().graphics.Frame()[y * 800 + x] & 0xFFFFFF; }
  Bytes Slot(int n) { return folder.Read("SAVE/" + std::to_string(n) + ".dat"); }

  GameFolder folder;
  HeadlessGame game;
};

TEST_F(SaveSlotTest, ASavedPageLoadsBackWithItsSceneAndRunsItsTextCommandAgain) {
  Start(kTwoPages);
  Page(0);
  ASSERT_TRUE(adv().SaveSlot(3));
  EXPECT_EQ(Slot(3).size(), sizeof(SaveRecord));
  Page(1);
  game.Frame();
  ASSERT_EQ(Pixel(10, 10), kSea) << process().log.Utf8Text();

  ASSERT_TRUE(adv().LoadSlot(3));
  EXPECT_EQ(adv().script.GetPosition(), TextToken(0));
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);
  EXPECT_EQ(adv().history.count, 0);
  EXPECT_EQ(adv().checkpoints.count, 0);
  EXPECT_EQ(adv().save_record.LocalVariables[3], 0);  // the live part as it was saved

  // The next step is the page's own text command, and only that.
  adv().ScriptStep();
  EXPECT_GT(adv().script.GetPosition(), TextToken(0));
  EXPECT_LE(adv().script.GetPosition(), TokenFrom(TextToken(0), "@bg_load"));

  game.Frame();
  EXPECT_EQ(Pixel(10, 10), kSky);  // channel 1 in front again
  EXPECT_EQ(Pixel(100, 300), kSky);
  EXPECT_EQ(Pixel(288 + 256, 300), kGirl);  // slot B shown at position 3
}

TEST_F(SaveSlotTest, TwoSavesWithoutAPageBetweenDifferOnlyInLiveFields) {
  // The second half of the script runs up to the key wait before its page: pictures,
  // characters and effects change, and so do variables.
  Start(kTwoPages);
  Page(0);
  ASSERT_TRUE(adv().SaveSlot(0));
  const int32_t keywait = TokenFrom(0, "@keywait");
  for (int i = 0; i < 200 && adv().script.GetPosition() <= keywait; ++i) adv().ScriptStep();
  ASSERT_LT(adv().script.GetPosition(), TextToken(1));
  ASSERT_EQ(adv().save_record.LocalVariables[3], 9);
  ASSERT_TRUE(adv().SaveSlot(1));

  const Bytes a = Slot(0), b = Slot(1);
  ASSERT_EQ(a.size(), b.size());
  std::vector<size_t> differ;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i]) differ.push_back(i);
  for (size_t i : differ) EXPECT_GE(i, 6140u) << "offset " << i;  // episode state and variables
  EXPECT_NE(std::find(differ.begin(), differ.end(), 6240u + 3 * 4), differ.end());
  EXPECT_NE(std::find(differ.begin(), differ.end(), 6208u + 1 * 4), differ.end());
}

TEST_F(SaveSlotTest, SoundsAfterLoading) {
  // A looping effect plays again; a one-shot stays loaded but silent; music playing at the page
  // plays again, music stopped before the page is opened but stays silent.
  Start(
      "@se_load 1,bell.wav\n"
      "@se_loop 1\n"
      "@se_load 2,ding.wav\n"
      "@se_play 2\n"
      "@bgm_play song.ogg\n"
      "@text,0 {\nplaying\n}\n"
      "@bgm_stop 0\n"
      "@text,0 {\nstopped\n}\n");
  Page(0);
  ASSERT_TRUE(adv().SaveSlot(0));
  Page(1);
  ASSERT_TRUE(adv().SaveSlot(1));
  for (CSoundBuffer& se : process().script_se) se.Stop();
  process().bgm.Stop();

  struct Case {
    int slot;
    bool music_plays;
  } cases[] = {{0, true}, {1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.slot);
    ASSERT_TRUE(adv().LoadSlot(c.slot));
    CSoundBuffer& loop = process().script_se[1];
    CSoundBuffer& once = process().script_se[2];
    EXPECT_TRUE(loop.IsPlaying());
    EXPECT_TRUE(loop.Looping());
    EXPECT_EQ(adv().se_channel_active[1], 1);
    EXPECT_EQ(adv().se_channel_looping[1], 1);
    EXPECT_EQ(once.FileName(), "SOUND\\SE\\ding.wav");
    EXPECT_FALSE(once.IsPlaying());
    EXPECT_EQ(adv().se_channel_active[2], 0);
    EXPECT_EQ(process().bgm.FileName(), "song.ogg");
    EXPECT_EQ(process().bgm.IsPlaying(), c.music_plays);
    EXPECT_EQ(adv().bgm_active, c.music_plays);
    EXPECT_EQ(adv().bgm_name, "song.ogg");
  }
  process().bgm.Stop();
}

TEST_F(SaveSlotTest, HistoryPageRestoreKeepsTheEffectAChannelHolds) {
  Start(
      "@se_load 1,bell.wav\n"
      "@se_loop 1\n"
      "@text,0 {\none\n}\n"
      "$[0] = 5\n"
      "@text,0 {\ntwo\n}\n");
  Page(0);
  Page(1);
  // The file is gone: a reload would fail, the channel's copy plays on.
  std::filesystem::remove(folder.path() + "/SOUND/SE/bell.wav");
  const int load_failures = process().log.Count("@se_load failed");

  adv().RestoreCheckpoint(0);
  EXPECT_EQ(adv().script.GetPosition(), TextToken(0));
  EXPECT_EQ(adv().save_record.LocalVariables[0], 0);
  EXPECT_EQ(adv().history.count, 0);
  EXPECT_TRUE(process().script_se[1].IsPlaying());
  EXPECT_EQ(process().log.Count("@se_load failed"), load_failures);

  // A page that is not kept changes nothing.
  adv().RestoreCheckpoint(0);
  EXPECT_TRUE(process().log.Contains("history page 0 does not exist"));
  EXPECT_EQ(adv().script.GetPosition(), TextToken(0));
}

TEST_F(SaveSlotTest, LabelIsTheFilesLocalTime) {
  const char* old_tz = std::getenv("TZ");
  const std::string saved_tz = old_tz ? old_tz : "";
  setenv("TZ", "UTC0", 1);
  tzset();

  std::tm when{};
  when.tm_year = 107, when.tm_mon = 2, when.tm_mday = 15;  // Thursday 15 March 2007
  when.tm_hour = 21, when.tm_min = 4, when.tm_sec = 33;
  const std::time_t t = timegm(&when);
  const std::string expected = SJ("07/03/15 21:04:33(木)");
  EXPECT_EQ(SlotTimeLabel(static_cast<int64_t>(t)), expected);

  Start("@text,0 {\nx\n}\n");
  ASSERT_TRUE(adv().SaveSlot(2));
  std::filesystem::last_write_time(
      folder.path() + "/SAVE/2.dat",
      std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t)));
  ASSERT_TRUE(adv().RefreshSlotInfo(2));
  const SlotInfo& slot = adv().slots[2];
  EXPECT_EQ(slot.label, expected);
  EXPECT_EQ(slot.file_time, static_cast<int64_t>(t));
  EXPECT_EQ(slot.file_size, 6640);
  EXPECT_TRUE(slot.thumbnail_shown);

  // A slot without a file keeps its entry and says why.
  EXPECT_FALSE(adv().RefreshSlotInfo(9));
  EXPECT_TRUE(process().log.Contains("SYSTEM ERROR: _stat failed.->" +
                                     platform::fs::CurrentFolder() + "\\SAVE\\9.dat"));
  EXPECT_FALSE(adv().slots[9].thumbnail_shown);

  if (old_tz) {
    setenv("TZ", saved_tz.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

TEST_F(SaveSlotTest, ThumbnailIsEveryFifthPixelUprightInTheFile) {
  Start("@text,0 {\nx\n}\n");
  uint32_t* frame = process().graphics.MutableFrame();
  for (int y = 0; y < 600; ++y)
    for (int x = 0; x < 800; ++x)
      frame[y * 800 + x] = 0xFF000000u | static_cast<uint32_t>(y << 10 | x);
  ASSERT_TRUE(process().graphics.CaptureFrame());
  ASSERT_TRUE(adv().WriteThumbnail("SAVE\\5.bmp"));

  const Bytes bmp = folder.Read("SAVE/5.bmp");
  ASSERT_EQ(bmp.size(), 76857u);
  auto u32 = [&bmp](size_t at) {
    uint32_t v;
    std::memcpy(&v, &bmp[at], 4);
    return v;
  };
  EXPECT_EQ(u32(10), 57u);
  EXPECT_EQ(u32(18), 160u);
  EXPECT_EQ(u32(22), 120u);  // positive: bottom-up rows
  // Picture pixel (x, y) as a viewer shows it is in file row 119 − y, and is screen (5x, 5y).
  for (auto [x, y] : {std::pair{0, 0}, {159, 0}, {0, 119}, {159, 119}, {37, 81}}) {
    const uint32_t expected = static_cast<uint32_t>((5 * y) << 10 | (5 * x));
    EXPECT_EQ(u32(57 + (static_cast<size_t>(119 - y) * 160 + static_cast<size_t>(x)) * 4), expected)
        << x << "," << y;
  }
}

// The process ends abruptly at every write, fsync and rename of a save in turn (a kill at that
// point): the slot written before is still whole and loads.
TEST_F(SaveSlotTest, ACrashAtAnyPointOfASaveLeavesThePreviousSlotLoadable) {
  using Fault = test_support::FaultyFileCalls::Fault;
  Start(kTwoPages);
  Page(0);
  ASSERT_TRUE(adv().SaveSlot(4));
  const Bytes before = Slot(4);
  Page(1);
  int calls_in_a_save = 0;
  {
    test_support::FaultyFileCalls count;
    count.Arm(-1, Fault::kNone);
    ASSERT_TRUE(adv().SaveSlot(5));
    calls_in_a_save = count.Count();
  }
  ASSERT_EQ(calls_in_a_save, 4);

  GTEST_FLAG_SET(death_test_style, "fast");  // the child shares this folder
  auto kill_at = [&](int n) {
    EXPECT_EXIT(
        {
          test_support::FaultyFileCalls calls;
          calls.Arm(n, Fault::kExit);
          adv().SaveSlot(4);
        },
        ::testing::ExitedWithCode(3), "")
        << "killed at call " << n;
  };
  for (int n = 0; n < calls_in_a_save - 1; ++n) {
    kill_at(n);
    EXPECT_EQ(Slot(4), before) << "killed at call " << n;
  }
  platform::fs::RemoveLeftoverTemporaries("SAVE");  // as the next start does
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator("SAVE")) files += e.is_regular_file();
  EXPECT_EQ(files, 2);
  ASSERT_TRUE(adv().LoadSlot(4));
  EXPECT_EQ(adv().script.GetPosition(), TextToken(0));
  // Killed after the rename, only the folder's fsync was missing: the slot is the new save.
  Page(1);
  kill_at(calls_in_a_save - 1);
  const Bytes after = Slot(4);
  ASSERT_EQ(after.size(), sizeof(SaveRecord));
  int32_t position = 0;
  std::memcpy(&position, after.data() + offsetof(SaveRecord, ScriptPosition), 4);
  EXPECT_EQ(position, TextToken(1));
}

TEST_F(SaveSlotTest, DamagedOrForeignSlotFilesAreRefusedAndNothingChanges) {
  Start(kTwoPages);
  Page(0);
  ASSERT_TRUE(adv().SaveSlot(7));
  const Bytes good = Slot(7);
  Page(1);
  game.Frame();

  auto put32 = [](Bytes& b, size_t at, int32_t v) { std::memcpy(&b[at], &v, 4); };
  // A name field of 60 or 64 bytes, cleared and written.
  auto Name = [](Bytes& b, size_t at, std::string_view name) {
    std::memset(&b[at], 0, 60);
    std::memcpy(&b[at], name.data(), name.size());
  };
  struct Case {
    const char* what;
    std::function<void(Bytes&)> damage;
    const char* log;
  } cases[] = {
      {"another version", [&](Bytes& b) { put32(b, 0, 201); },
       "Savedata version info is Different"},
      {"another version, shorter", [](Bytes& b) { b[0] = 203, b.resize(5000); }, "version info"},
      {"short file", [](Bytes& b) { b.resize(6639); }, "holds 6639 bytes"},
      {"longer file", [](Bytes& b) { b.push_back(0); }, "holds 6641 bytes"},
      {"too short for a version", [](Bytes& b) { b.resize(3); }, "holds 3 bytes"},
      {"script name without its end", [](Bytes& b) { std::memset(&b[4], 'a', 64); },
       "script name has no end"},
      {"background name without its end", [](Bytes& b) { std::memset(&b[509], 'a', 64); },
       "background picture name has no end"},
      {"effect name without its end", [](Bytes& b) { std::memset(&b[2605 + 7 * 64], 'a', 64); },
       "sound effect name has no end"},
      {"music name without its end", [](Bytes& b) { std::memset(&b[3168], 'a', 64); },
       "music name has no end"},
      {"position past the script", [&](Bytes& b) { put32(b, 68, 1 << 20); }, "lies outside"},
      {"negative position", [&](Bytes& b) { put32(b, 68, -1); }, "lies outside"},
      {"script not in the archive",
       [](Bytes& b) { std::memset(&b[4], 0, 64), std::memcpy(&b[4], "SCP\\gone.scp", 12); },
       "cannot be loaded"},
      // Names from outside stay inside the archive's scripts and the game's folders.
      {"a picture as its script",
       [&](Bytes& b) { Name(b, 4, "SYSTEM\\pic.png"), put32(b, 68, 0); },
       "[SYSTEM\\pic.png] is not a script of the archive"},
      {"a script outside SCP", [&](Bytes& b) { Name(b, 4, "SCP\\..\\..\\x.scp"); },
       "is not a script of the archive"},
      {"the town map's script climbing out", [&](Bytes& b) { Name(b, 6148, "..\\..\\x"); },
       "the town map's script [..\\..\\x] is not a script"},
      {"music climbing out", [&](Bytes& b) { Name(b, 3168, "..\\..\\secret.ogg"); },
       "the music name [..\\..\\secret.ogg] leaves the game's folder"},
      {"music at an absolute path", [&](Bytes& b) { Name(b, 3168, "/tmp/secret.ogg"); },
       "leaves the game's folder"},
      {"effect climbing out",
       [&](Bytes& b) { Name(b, 2605 + 3 * 64, "SOUND\\SE\\..\\..\\..\\x.wav"); },
       "the sound effect name [SOUND\\SE\\..\\..\\..\\x.wav] leaves"},
      {"clickable scope outside the script",
       [&](Bytes& b) { b[2540] = 1, put32(b, 2532, 1 << 20); }, "clickable scope starts at"},
      {"background channel 2", [&](Bytes& b) { put32(b, 704, 2); }, "channel 2"},
      {"character position 5", [&](Bytes& b) { put32(b, 456 + 4, 5); }, "position 5"},
      {"character buffer -1", [&](Bytes& b) { put32(b, 492, -1); }, "buffer -1"},
  };

  const auto record_before = std::make_unique<SaveRecord>(adv().save_record);
  const int32_t position = adv().script.GetPosition();
  const int front = adv().scene.bg.Front();
  const bool girl_shown = adv().scene.chr.Slot(1).visible;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = good;
    c.damage(file);
    folder.Write("SAVE/8.dat", file);
    const int before = process().log.Count(c.log);
    EXPECT_FALSE(adv().LoadSlot(8));
    EXPECT_EQ(process().log.Count(c.log), before + 1);
    EXPECT_EQ(std::memcmp(&adv().save_record, record_before.get(), sizeof(SaveRecord)), 0);
    EXPECT_EQ(adv().script.GetName(), "SCP\\t.scp");
    EXPECT_EQ(adv().script.GetPosition(), position);
    EXPECT_EQ(adv().scene.bg.Front(), front);
    EXPECT_EQ(adv().scene.chr.Slot(1).visible, girl_shown);
  }
  game.Frame();
  EXPECT_EQ(Pixel(10, 10), kSea);

  // No file at all, and slot numbers outside the table.
  EXPECT_FALSE(adv().LoadSlot(9));
  EXPECT_TRUE(process().log.Contains("Savedata could not be read."));
  EXPECT_FALSE(adv().LoadSlot(-1));
  EXPECT_FALSE(adv().SaveSlot(kSaveSlotCount));
  EXPECT_FALSE(folder.Exists("SAVE/48.dat"));
}

}  // namespace
