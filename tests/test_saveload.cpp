// The save/load screen on the headless engine: cursor movement by keys and pointer, page tabs,
// the overwrite toggle and its tooltip, leaving, the save run in the draw step (what it captures,
// what it logs), the overwrite question, loading, and the slot labels and thumbnails read from
// the disk when the screen opens.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/dik.h"
#include "platform/sjis.h"
#include "resource/dib.h"
#include "resource/image.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "save/save_record.h"
#include "support/file_faults.h"
#include "support/game_folder.h"
#include "script/script.h"
#include "support/media.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Wav() { return testing_support::DcWav(480, 1, 48000, 16, 0.5f, 0.5f); }

using testing_support::GameFolder;

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF;

// One colour, or `below` from row `split` down, so a picture upside down shows.
Bytes Picture(int w, int h, uint32_t rgb, int split = 1 << 30, uint32_t below = 0) {
  CImage32 image;
  image.Create(w, h);
  uint8_t* p = image.Pixels();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x, p += 4) {
      const uint32_t c = y < split ? rgb : below;
      p[0] = c & 0xFF;
      p[1] = (c >> 8) & 0xFF;
      p[2] = (c >> 16) & 0xFF;
      p[3] = 255;
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

// A slot record as a save of an earlier run left it: version 202, at the start of the script
// "SCP\main.scp", the rest zero but the town flag.
Bytes SlotRecord(bool town) {
  Bytes b(6640, 0);
  b[0] = 202;
  const std::string script = "SCP\\main.scp";
  std::memcpy(&b[4], script.data(), script.size());
  b[6137] = town ? 1 : 0;
  return b;
}

// Two pages and a command that is none, for the slots' contents.
constexpr const char* kPages =
    "@text,2 {\n「はじめての夜だね。▽ね？」\n}\n"
    "@text,3,v.ogg {\n\n遠くで、何かの音が近づいてくる。ずっと遠くで鳴っている音。\n二行目\n}\n"
    "@wait,10\n";

// Points of the screen that hit nothing.
constexpr int kOffX = 20, kOffY = 20;
// The centre of page-relative slot c, and of page tab p.
int SlotX(int c) {
  return 64 + 320 * (c / 3) + 160;
}
int SlotY(int c) {
  return 96 + 160 * (c % 3) + 64;
}
int TabX() {
  return 740;
}
int TabY(int p) {
  return 54 + 64 * p + 28;
}

class SaveLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.Write("system.pkd",
                 *BuildPack({{"SYSTEM\\blank.png", Picture(800, 600, 0)},
                             {"SCP\\main.scp", testing_support::ScriptFile("@wait,10\n")},
                             {"SCP\\pages.scp", testing_support::ScriptFile(kPages)}}));
    folder.WriteEmptyArchive("thumb.pkd");
    folder.Write("grp.pkd", *BuildPack({{"BG\\red.png", Picture(800, 600, kRed, 400, kBlue)}}));
    folder.Write("SOUND/SE/SYSTEM/cancel.wav", Wav());
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
    game.Move(kOffX, kOffY);
    // The story as the screen redraws it for a save: a background, red above row 400 and
    // blue below, and nothing else.
    adv().SetModeSteps(MODE_ADV, {nullptr, [](CADV& a) { a.SceneDrawLayers(); }});
    adv().game_mode = MODE_ADV;
    ASSERT_TRUE(adv().SubBGLoadFromPNG(0, "BG\\red.png"));
    adv().scene.bg.SetFront(0);
  }
  CADV& adv() { return game.process.adv; }
  SaveLoadScreen& screen() { return adv().save_load; }
  void Open(bool save) {
    adv().OpenSaveLoad(save);
    ASSERT_TRUE(game.Frame());
  }
  uint32_t Pixel(int x, int y) const {
    return game.process.graphics.Frame()[y * 800 + x] & 0xFFFFFF;
  }
  // The capture surface is written by a save only: its centre shows what was saved.
  uint32_t Captured() const {
    int pitch = 0;
    return game.process.graphics.CaptureSurface()->Lock(&pitch)[300 * 800 + 400] & 0xFFFFFF;
  }
  // A black capture, which the next save turns red.
  void ResetCapture() {
    game.process.graphics.Clear(0, 1);
    ASSERT_TRUE(game.process.graphics.CaptureFrame());
  }
  bool Logged(std::string_view utf8) const { return game.process.log.Count(SJ(utf8)) > 0; }
  size_t CancelPlays() const {
    const platform::SoundBuffer* b = game.process.system_se[1].DeviceBuffer();
    return b ? b->VolumeHistory().size() : 0;
  }
  // A left and a right press seen in the same frame.
  void BothClicks(int x, int y) {
    game.Move(x, y);
    game.ButtonDown(0);
    game.ButtonDown(1);
    ASSERT_TRUE(game.Frame());
    game.ButtonUp(0);
    game.ButtonUp(1);
    ASSERT_TRUE(game.Frame());
  }

  GameFolder folder;
  HeadlessGame game;
};

TEST_F(SaveLoadTest, KeysMoveTheCursorAcrossSlotsPagesAndTheReturnButton) {
  struct Case {
    int page, cursor;
    uint8_t key;
    int to_page, to_cursor;
  } cases[] = {
      {0, 3, DIK_LEFT, 0, 0},   {0, 0, DIK_LEFT, 0, 0},    {1, 1, DIK_LEFT, 0, 4},
      {2, 2, DIK_RIGHT, 2, 5},  {2, 5, DIK_RIGHT, 3, 2},   {5, 4, DIK_RIGHT, 5, 4},
      {0, -1, DIK_LEFT, 0, -1}, {0, -2, DIK_RIGHT, 0, -2},  // only on a slot
      {0, -1, DIK_UP, 0, 5},    {0, 0, DIK_UP, 0, 0},      {0, 3, DIK_UP, 0, 3},
      {0, 4, DIK_UP, 0, 3},     {0, -2, DIK_UP, 0, -3},    {0, -3, DIK_UP, 0, -4},
      {0, -4, DIK_UP, 0, -4},  // nothing below "nothing"
      {0, 2, DIK_DOWN, 0, -1},  {0, 5, DIK_DOWN, 0, -1},   {0, 4, DIK_DOWN, 0, 5},
      {0, -1, DIK_DOWN, 0, 0},  {0, -3, DIK_DOWN, 0, -2},
  };
  Open(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "page " << c.page << " cursor " << c.cursor << " key " << int(c.key));
    screen().page = c.page;
    screen().cursor = c.cursor;
    ASSERT_TRUE(game.Key(c.key));
    EXPECT_EQ(screen().page, c.to_page);
    EXPECT_EQ(screen().cursor, c.to_cursor);
  }
}

TEST_F(SaveLoadTest, PointerOnAnElementTakesTheCursorBackFromTheKeys) {
  Open(true);
  struct Case {
    int x, y, cursor;
  } cases[] = {
      {SlotX(1), SlotY(1), 1}, {SlotX(5), SlotY(5), 5}, {760, 560, -1},
      {TabX(), TabY(2), -2},   {688, 48, -3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cursor);
    game.Move(c.x, c.y);
    ASSERT_TRUE(game.Frame());
    EXPECT_EQ(screen().cursor, c.cursor);
    ASSERT_TRUE(game.Key(DIK_DOWN));
    EXPECT_EQ(screen().cursor, c.cursor);
  }
  // Slot cells are hit strictly inside: on the cell's edge the cursor keeps its value.
  game.Move(64, SlotY(0));
  screen().cursor = 4;
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(screen().cursor, 4);
}

TEST_F(SaveLoadTest, PageTabsChangeThePageOnlyUnderThePointer) {
  Open(false);
  game.Move(TabX(), TabY(3));
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(screen().hovered_page_tab, 3);
  game.Move(kOffX, kOffY);  // the cursor stays on the tab, but no tab is under the pointer
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(screen().cursor, -2);
  EXPECT_EQ(screen().hovered_page_tab, -1);
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(screen().page, 0);

  ASSERT_TRUE(game.Click(TabX(), TabY(4)));
  EXPECT_EQ(screen().page, 4);
  game.Move(TabX(), TabY(1));
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(screen().page, 1);
  EXPECT_EQ(adv().game_mode, MODE_SAVELOAD);
}

TEST_F(SaveLoadTest, ToggleAndTooltipBelongToTheSaveScreenOnly) {
  for (bool save : {false, true}) {
    SCOPED_TRACE(save ? "save" : "load");
    adv().system_data.ConfirmOverwrite = 0;
    screen().overwrite_tip_alpha = 0;
    Open(save);
    ASSERT_TRUE(game.Click(688, 48));
    EXPECT_EQ(adv().system_data.ConfirmOverwrite, save ? 1 : 0);
    EXPECT_EQ(screen().overwrite_hover, save);
    EXPECT_EQ(screen().overwrite_tip_alpha > 0, save);
    // Reached by the keys, the toggle's place does nothing on the load screen either.
    game.Move(kOffX, kOffY);
    screen().cursor = -3;
    ASSERT_TRUE(game.Key(DIK_RETURN));
    EXPECT_EQ(adv().system_data.ConfirmOverwrite, 0);
  }
}

TEST_F(SaveLoadTest, TooltipFadesInAndOutWithTheFrameTime) {
  Open(true);
  game.Move(688, 48);
  ASSERT_TRUE(game.Frames(5, 100));
  EXPECT_FLOAT_EQ(screen().overwrite_tip_alpha, 250);
  ASSERT_TRUE(game.Frame(100));
  EXPECT_FLOAT_EQ(screen().overwrite_tip_alpha, 255);
  game.Move(kOffX, kOffY);
  ASSERT_TRUE(game.Frames(12, 100));
  EXPECT_FLOAT_EQ(screen().overwrite_tip_alpha, 15);
  ASSERT_TRUE(game.Frame(100));
  EXPECT_FLOAT_EQ(screen().overwrite_tip_alpha, 0);
}

TEST_F(SaveLoadTest, ReturnButtonAndCancelGoBackWithTheCancelSound) {
  struct Case {
    const char* what;
    bool save;
    int x, y, button;
  } cases[] = {
      {"return button", true, 760, 560, 0},
      {"right click", false, kOffX, kOffY, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Open(c.save);
    const size_t plays = CancelPlays();
    ASSERT_TRUE(game.Click(c.x, c.y, c.button));
    EXPECT_EQ(adv().game_mode, MODE_ADV);
    EXPECT_EQ(CancelPlays(), plays + 1);
  }
  Open(true);
  ASSERT_TRUE(game.Key(DIK_ESCAPE));
  EXPECT_EQ(adv().game_mode, MODE_ADV);
}

TEST_F(SaveLoadTest, SaveCapturesTheStoryNotTheScreen) {
  Open(true);
  EXPECT_NE(Captured(), kRed);
  ASSERT_TRUE(game.Click(SlotX(0), SlotY(0)));
  EXPECT_EQ(Captured(), kRed);
  EXPECT_FALSE(screen().save_request);
  EXPECT_EQ(adv().game_mode, MODE_SAVELOAD);  // the screen stays open
  EXPECT_NE(Pixel(400, 300), kRed);  // and is drawn again in the same frame
  EXPECT_EQ(adv().save_record.TownSaveFlag, 0);
}

TEST_F(SaveLoadTest, LeftAndRightClickInOneFrameSaveAndLeave) {
  Open(true);
  const size_t plays = CancelPlays();
  BothClicks(SlotX(2), SlotY(2));
  EXPECT_EQ(Captured(), kRed);  // the save ran in that frame
  EXPECT_FALSE(screen().save_request);
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  EXPECT_EQ(CancelPlays(), plays + 1);
  // Back on the screen nothing is left pending.
  Open(false);
  EXPECT_FALSE(screen().save_request);
}

TEST_F(SaveLoadTest, OverwriteQuestionGuardsOccupiedSlotsOnly) {
  folder.Write("SAVE/0.dat", SlotRecord(false));
  struct Case {
    const char* what;
    bool confirm;
    int cursor;
    bool asks;
  } cases[] = {
      {"occupied, confirm on", true, 0, true},
      {"free, confirm on", true, 1, false},
      {"occupied, confirm off", false, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    adv().system_data.ConfirmOverwrite = c.confirm;
    Open(true);
    ResetCapture();
    screen().cursor = c.cursor;
    ASSERT_TRUE(game.Key(DIK_RETURN));
    EXPECT_EQ(screen().question_open, c.asks);
    EXPECT_EQ(Captured() == kRed, !c.asks);
    screen().question_open = false;
  }
}

TEST_F(SaveLoadTest, OverwriteQuestionAnswers) {
  folder.Write("SAVE/3.dat", SlotRecord(false));
  adv().system_data.ConfirmOverwrite = 1;
  Open(true);
  auto ask = [&] {
    screen().cursor = 3;
    game.Move(kOffX, kOffY);
    ASSERT_TRUE(game.Key(DIK_RETURN));
    ASSERT_TRUE(screen().question_open);
    EXPECT_EQ(screen().question_selection, 1);  // "no" first
  };
  ask();
  ASSERT_TRUE(game.Key(DIK_RETURN));  // no
  EXPECT_FALSE(screen().question_open);
  EXPECT_NE(Captured(), kRed);
  ask();
  ASSERT_TRUE(game.Key(DIK_ESCAPE));  // a cancel answers no and keeps the screen
  EXPECT_FALSE(screen().question_open);
  EXPECT_EQ(adv().game_mode, MODE_SAVELOAD);
  EXPECT_NE(Captured(), kRed);
  ask();
  ASSERT_TRUE(game.Key(DIK_LEFT));
  EXPECT_EQ(screen().cursor, 3);  // the keys belong to the question
  ASSERT_TRUE(game.Key(DIK_RETURN));  // yes
  EXPECT_EQ(Captured(), kRed);
  ResetCapture();
  ask();
  ASSERT_TRUE(game.Click(300, 348));  // yes, by the pointer
  EXPECT_FALSE(screen().question_open);
  EXPECT_EQ(Captured(), kRed);
}

TEST_F(SaveLoadTest, FailedSaveIsLoggedAndTheSlotKeepsItsLabel) {
  folder.Write("SAVE", std::string_view("not a folder"));
  Open(true);
  ASSERT_TRUE(game.Click(SlotX(0), SlotY(0)));
  EXPECT_TRUE(Logged("スクリーンキャプチャ画像の保存に失敗しました。"));
  EXPECT_EQ(adv().SaveLoadLabel(0), "-- NO DATA --");
  EXPECT_FALSE(adv().slots[0].thumbnail_shown);
  EXPECT_EQ(adv().game_mode, MODE_SAVELOAD);
  EXPECT_TRUE(screen().is_save);
}

// A full disk, an I/O error or a short write at every write, fsync and rename of a save from the
// screen: a file whose rename did not happen is the old one, whole; a lost slot file is told in
// the log; no temporary file is left; and the slot loads afterwards.
TEST_F(SaveLoadTest, AFaultAtAnyCallOfASaveKeepsTheOldSlot) {
  using Fault = test_support::FaultyFileCalls::Fault;
  adv().system_data.ConfirmOverwrite = 0;
  Open(true);
  std::strcpy(adv().save_record.ScriptName, "SCP\\main.scp");  // so that the slot loads
  adv().save_record.LocalVariables[0] = 1;
  ASSERT_TRUE(game.Click(SlotX(0), SlotY(0)));
  std::vector<test_support::FaultyFileCalls::Seen> save_calls;
  {
    test_support::FaultyFileCalls count;
    count.Arm(-1, Fault::kNone);
    adv().save_record.LocalVariables[0] = 2;
    ASSERT_TRUE(game.Click(SlotX(0), SlotY(0)));
    save_calls = count.Calls();
  }
  // The picture's and then the record's write, fsync, rename and folder fsync.
  ASSERT_EQ(save_calls.size(), 8u);
  ASSERT_NE(save_calls[0].path.find(".bmp"), std::string::npos);
  ASSERT_NE(save_calls[4].path.find(".dat"), std::string::npos);
  const char* kFailed = "スクリーンキャプチャ画像の保存に失敗しました。";
  int value = 3, on_disk = 2;
  for (Fault fault : {Fault::kNoSpace, Fault::kIoError, Fault::kShortWrite}) {
    for (size_t n = 0; n < save_calls.size(); ++n, ++value) {
      SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(fault) << " at call " << n);
      const Bytes dat = folder.Read("SAVE/0.dat"), bmp = folder.Read("SAVE/0.bmp");
      const int told = game.process.log.Count(SJ(kFailed));
      adv().save_record.LocalVariables[0] = value;
      {
        test_support::FaultyFileCalls calls;
        calls.Arm(static_cast<int>(n), fault);
        ASSERT_TRUE(game.Click(SlotX(0), SlotY(0)));
      }
      const bool in_record = n >= 4;
      // Once a file's rename is done only its folder's fsync can fail: that file is the new one.
      const bool renamed = n == 3 || n == 7;
      const bool lost = fault != Fault::kShortWrite;
      EXPECT_EQ(game.process.log.Count(SJ(kFailed)), told + (lost && in_record ? 1 : 0));
      if (lost && !renamed) {
        EXPECT_EQ(folder.Read(in_record ? "SAVE/0.dat" : "SAVE/0.bmp"), in_record ? dat : bmp);
      }
      if (!(lost && in_record && !renamed)) on_disk = value;
      int32_t stored = 0;
      std::memcpy(&stored, folder.Read("SAVE/0.dat").data() + offsetof(SaveRecord, LocalVariables), 4);
      EXPECT_EQ(stored, on_disk);
      int files = 0;
      for (auto& e : std::filesystem::directory_iterator(folder.path() + "/SAVE"))
        files += e.is_regular_file();
      EXPECT_EQ(files, 2);
    }
  }
  adv().save_record.LocalVariables[0] = 0;
  ASSERT_TRUE(adv().LoadSlot(0)) << game.process.log.Utf8Text();
  EXPECT_EQ(adv().save_record.LocalVariables[0], on_disk);
}

TEST_F(SaveLoadTest, LoadingAMissingSlotChangesNothing) {
  Open(false);
  const size_t plays = CancelPlays();
  ASSERT_TRUE(game.Click(SlotX(4), SlotY(4)));
  EXPECT_EQ(adv().game_mode, MODE_SAVELOAD);
  EXPECT_EQ(screen().cursor, 4);
  EXPECT_EQ(CancelPlays(), plays);
}

TEST_F(SaveLoadTest, LoadingResumesTheStoryOrTheTownMap) {
  struct Case {
    bool town;
    GameMode mode;
  } cases[] = {{false, MODE_ADV}, {true, MODE_TOWN}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.town);
    folder.Write("SAVE/7.dat", SlotRecord(c.town));
    adv().story.auto_mode = true;
    adv().script_state.skip_mode = true;
    adv().system_menu_open = true;
    adv().script_end_mode = MODE_CGMODE;
    Open(false);
    screen().page = 1;
    const size_t plays = CancelPlays();
    BothClicks(SlotX(1), SlotY(1));  // the cancel of the same frame does not undo the load
    EXPECT_EQ(adv().game_mode, c.mode);
    EXPECT_EQ(CancelPlays(), plays);
    EXPECT_FALSE(adv().story.auto_mode);
    EXPECT_FALSE(adv().script_state.skip_mode);
    EXPECT_FALSE(adv().system_menu_open);
    EXPECT_EQ(adv().script_end_mode, MODE_TITLE);
    EXPECT_TRUE(adv().system_menu.save_load_enabled);  // a loaded story is no replay
  }
}

TEST_F(SaveLoadTest, LabelsAndThumbnailsComeFromTheSlotFiles) {
  Open(true);
  for (int n = 0; n < 36; ++n) {
    EXPECT_EQ(adv().SaveLoadLabel(n), "-- NO DATA --") << n;
    EXPECT_FALSE(adv().slots[n].thumbnail_shown) << n;
  }
  // A number the screen has no slot for reads as empty and loads nothing.
  for (int n : {-1, 36, 48, 1000}) {
    EXPECT_EQ(adv().SaveLoadLabel(n), "-- NO DATA --") << n;
    adv().LoadSlotThumbnail(n);
  }
  ASSERT_TRUE(game.Key(DIK_ESCAPE));

  // Slot 4 from an earlier run: its picture green above, blue below. The canvas is a bitmap:
  // memory row 0 is the picture's bottom row.
  folder.Write("SAVE/4.dat", SlotRecord(false));
  CDIB canvas;
  ASSERT_EQ(canvas.CreateCanvas(160, 120), 1);
  auto* px = reinterpret_cast<uint32_t*>(canvas.Bits());
  for (int row = 0; row < 120; ++row)
    for (int x = 0; x < 160; ++x) px[row * 160 + x] = row < 60 ? 0x0000FF : 0x00FF00;
  ASSERT_TRUE(canvas.SaveBMP(folder.path() + "/SAVE/4.bmp"));
  game.Move(kOffX, kOffY);
  Open(true);
  EXPECT_TRUE(std::regex_match(adv().SaveLoadLabel(4),
                               std::regex(R"(\d\d/\d\d/\d\d\n\d\d:\d\d:\d\d\(..\))")))
      << adv().SaveLoadLabel(4);
  EXPECT_TRUE(adv().slots[4].thumbnail_shown);
  ASSERT_TRUE(game.Frame());
  // Slot 4 is the middle of the right column: its quad at (384, 256), 160 × 120.
  EXPECT_EQ(Pixel(384 + 80, 256 + 10), 0x00FF00u);
  EXPECT_EQ(Pixel(384 + 80, 256 + 110), 0x0000FFu);
  ASSERT_TRUE(game.Key(DIK_ESCAPE));

  // A slot whose file went away reads as empty again.
  std::remove((folder.path() + "/SAVE/4.dat").c_str());
  Open(false);
  EXPECT_EQ(adv().SaveLoadLabel(4), "-- NO DATA --");
  EXPECT_FALSE(adv().slots[4].thumbnail_shown);
}

TEST_F(SaveLoadTest, SlotsNameTheSpeakerAndFirstLineOfTheirPage) {
  // The record keeps where its page's text command stands; the words come from the script.
  CScript pages(&game.process.system_pkd);
  ASSERT_TRUE(pages.Load("SCP\\pages.scp"));
  std::vector<int32_t> at;  // the two pages' commands, then the wait
  for (int32_t i = 0; i < pages.TokenCount(); ++i)
    if (pages.Token(i).starts_with("@text,") || pages.Token(i).starts_with("@wait")) at.push_back(i);
  ASSERT_EQ(at.size(), 3u);
  auto record = [&](const char* script, int32_t position, const char* speaker) {
    Bytes b = SlotRecord(false);
    std::memset(&b[4], 0, 64);
    std::memcpy(&b[4], script, std::strlen(script));
    std::memcpy(&b[68], &position, 4);
    // Speakers 2 and 3 of the name table (22 bytes an entry, the name first).
    const std::string name = SJ(speaker);
    std::memcpy(&b[3240 + 22 * 2], name.data(), name.size());
    std::memcpy(&b[3240 + 22 * 3], name.data(), name.size());
    return b;
  };
  struct Case {
    const char* what;
    Bytes file;
    const char* shown;  // utf-8
  } cases[] = {
      // Lines of 8 full-width characters; the pause sign is no word.
      {"a speaker's page", record("SCP\\pages.scp", at[0], "ひな"),
       "ひな\n「はじめての夜だ\nね。ね？」"},
      // Three lines under the name at most, the last cut with an ellipsis; voices are no words.
      {"a long first line", record("SCP\\pages.scp", at[1], "茜"),
       "茜\n遠くで、何かの音\nが近づいてくる。\nずっと遠くで鳴…"},
      {"no page there", record("SCP\\pages.scp", at[2], "茜"), ""},
      {"no such script", record("SCP\\gone.scp", 0, "茜"), ""},
      {"another version", Bytes(6640, 0), ""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) folder.Write("SAVE/" + std::to_string(i) + ".dat", cases[i].file);
  Open(false);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].what);
    EXPECT_EQ(screen().contents[i], SJ(cases[i].shown));
    EXPECT_NE(adv().SaveLoadLabel(static_cast<int>(i)), "-- NO DATA --");  // the time stays
  }
}

TEST_F(SaveLoadTest, ASaveShowsItsLabelAndPictureAtOnce) {
  Open(true);
  screen().page = 2;
  ASSERT_TRUE(game.Click(SlotX(3), SlotY(3)));
  const int n = 2 * 6 + 3;
  EXPECT_TRUE(folder.Exists("SAVE/15.dat"));
  EXPECT_NE(adv().SaveLoadLabel(n), "-- NO DATA --");
  ASSERT_TRUE(adv().slots[n].thumbnail_shown);
  // The thumbnail is the story's picture the right way up, drawn in slot 3's place (384, 96):
  // red above its row 80, blue below.
  EXPECT_EQ(Pixel(384 + 80, 96 + 10), kRed);
  EXPECT_EQ(Pixel(384 + 80, 96 + 110), kBlue);
}

}  // namespace
