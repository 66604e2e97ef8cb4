// The three gallery rooms on the headless engine, entered from the title: the picture gallery
// (locked and unlocked cells, pages, tabs, the heroine beside the grid, a replay and its two
// ways back), the memory replay (heroine columns, the band, the fourth heroine's memories) and
// the music room (its buttons, the keyboard on the element touched last, the toggles, and the
// title music after leaving). Pictures are plain colours, so a frame's pixel says what was drawn.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/headless.h"
#include "platform/dik.h"
#include "resource/image.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "scene/event_pictures.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testing_support::GameFolder;
using testing_support::ScriptFile;
using testing_support::SolidPng;

constexpr uint32_t kLockedGrey = 0x808080;  // the gallery's locked picture
constexpr uint32_t kLockedMemory = 0x404040;
constexpr uint32_t kHeroines[4] = {0xC02020, 0x20C020, 0x2020C0, 0xC0C020};

// Thumbnail n (1-based) of gallery group g (1-based) and memory thumbnails: distinct colours.
uint32_t ThumbRgb(int g, int n) {
  return static_cast<uint32_t>(0x100000 * (g * 20 + 40) + 0x000100 * (n * 9 + 20) + 0x30);
}
uint32_t MemoryRgb(int h, int m) {
  return static_cast<uint32_t>(0x100000 * (h * 2 + 1) + 0x001000 * (m * 3 + 2) + 0xE0);
}

// A 256 × 256 sheet whose 32 × 32 cell (cx, cy) is RGB (32 cx + 16, 32 cy + 16, 128): a sprite cut
// from the wrong cell shows in the frame.
Bytes CellSheet() {
  CImage32 image;
  image.Create(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      uint8_t* p = image.Pixels() + (y * 256 + x) * 4;
      p[0] = 128;
      p[1] = static_cast<uint8_t>(32 * (y / 32) + 16);
      p[2] = static_cast<uint8_t>(32 * (x / 32) + 16);
      p[3] = 255;
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

// A heroine: 512 × 600, clear but for a 200-pixel band in her colour from x 156, so each one
// shows in her own column of the memory screen.
Bytes Figure(uint32_t rgb) {
  CImage32 image;
  image.Create(512, 600);
  for (int y = 0; y < 600; ++y)
    for (int x = 156; x < 356; ++x) {
      uint8_t* p = image.Pixels() + (y * 512 + x) * 4;
      p[0] = rgb & 0xFF;
      p[1] = (rgb >> 8) & 0xFF;
      p[2] = (rgb >> 16) & 0xFF;
      p[3] = 255;
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

class GalleryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<PackSource> system = {
        {"SYSTEM\\TITLE\\title.png", SolidPng(800, 600, 0x204080)},
        {"SYSTEM\\blank.png", SolidPng(800, 600, 0)},
        {"SYSTEM\\dialog_base1.png", CellSheet()},
        {"SYSTEM\\systex2.png", CellSheet()},
        {"SCP\\startup.scp", ScriptFile("@keywait\n")},
        {"SCP\\CG\\mirel01.scp", ScriptFile("$[1] = 5\n#cg_quit\n$[1] = 9\n")},
        {"SCP\\CG\\mirel19.scp", ScriptFile("$[1] = 6\n")},
        {"SCP\\OMOIDE\\omoide4-01.scp", ScriptFile("$[1] = 7\n")},
    };
    for (int i = 0; i < 9; ++i)
      system.push_back(
          {"SYSTEM\\TITLE\\" + std::to_string(i) + ".png", SolidPng(256, 48, 0xFFFFFF)});
    std::vector<PackSource> thumbs = {
        {"CGMODE\\no_release.png", SolidPng(208, 156, kLockedGrey)},
        {"OMOIDE\\no_release.png", SolidPng(160, 120, kLockedMemory)},
    };
    for (int n = 1; n <= 24; ++n)
      thumbs.push_back({"CGMODE\\thumb1-" + Two(n) + ".png", SolidPng(208, 156, ThumbRgb(1, n))});
    for (int n = 1; n <= 12; ++n)
      thumbs.push_back({"CGMODE\\thumb5-" + Two(n) + ".png", SolidPng(208, 156, ThumbRgb(5, n))});
    for (int h = 1; h <= 4; ++h)
      for (int m = 1; m <= 4; ++m)
        thumbs.push_back({"OMOIDE\\thumb" + std::to_string(h) + "-" + Two(m) + ".png",
                          SolidPng(160, 120, MemoryRgb(h, m))});
    const char* heroines[4] = {"mirelA01A.png", "ondineA01A.png", "carysA01A.png", "junoA01A.png"};
    std::vector<PackSource> grp;
    for (int h = 0; h < 4; ++h)
      grp.push_back({std::string("CHR\\") + heroines[h], Figure(kHeroines[h])});
    folder.Write("system.pkd", *BuildPack(system));
    folder.Write("thumb.pkd", *BuildPack(thumbs));
    folder.Write("grp.pkd", *BuildPack(grp));
    const Bytes wav = testing_support::DcWav(256, 1, 22050, 8, 0, 0);
    for (const char* se : {"ok", "cancel", "logo", "test", "watch01", "beep01", "beep02"})
      folder.Write(std::string("SOUND/SE/SYSTEM/") + se + ".wav", wav);
    const Bytes ogg = testing_support::ToneOgg(0.25, 22050, 1).bytes;
    for (const char* bgm : {"title.ogg", "RZ_OP.ogg", "RZ_ED.ogg", "RZ_bgm02.ogg", "RZ_bgm16.ogg"})
      folder.Write(std::string("SOUND/BGM/") + bgm, ogg);
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
    ASSERT_TRUE(game.Frames(2));
    ASSERT_EQ(adv().title.state, 21);
  }

  static std::string Two(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }
  CADV& adv() { return game.process.adv; }
  CStreamSound& bgm() { return game.process.bgm; }
  uint32_t Pixel(int x, int y) { return game.process.graphics.Frame()[y * 800 + x] & 0xFFFFFF; }
  void UnlockPicture(const char* name) { adv().UnlockPicture(scene::FindEventPicture(name)); }
  // Through the title's entry state into a room, and one frame of it drawn.
  void Enter(int32_t state, GameMode mode) {
    adv().game_mode = MODE_TITLE;
    adv().SetTitleState(state);
    ASSERT_TRUE(game.Frame());
    ASSERT_EQ(adv().game_mode, mode);
    ASSERT_TRUE(game.Frame());
  }
  // The left button down for a frame at (x, y): the frame that acts on it, and no later one.
  void Press(int x, int y) {
    game.Move(x, y);
    game.ButtonDown(0);
    ASSERT_TRUE(game.Frame());
    game.ButtonUp(0);
  }
  bool Sounding(int slot) { return game.process.system_se[slot].IsPlaying(); }
  void Quiet() {
    for (int s : {0, 1}) game.process.system_se[s].Stop();
  }
  // Frames until the mode is `mode`.
  bool FramesUntil(GameMode mode, int n = 30) {
    for (int i = 0; i < n && adv().game_mode != mode; ++i)
      if (!game.Frame()) return false;
    return adv().game_mode == mode;
  }
  // The music stream played through to its end.
  void PlayOut() {
    platform::NullSoundDevice* dev = game.sound.Device();
    ASSERT_NE(dev, nullptr);
    // The stream's buffer starts with its feeder thread.
    ASSERT_TRUE(WaitFor([&] { return dev->PlayingBuffers() > 0; }));
    for (int i = 0; i < 2000 && dev->PlayingBuffers() > 0; ++i) dev->Render(480);
    ASSERT_TRUE(WaitFor([&] { return !bgm().IsPlaying(); }));
  }

  GameFolder folder;
  HeadlessGame game;
};

// Channels of a colour drawn over the gallery's brown panel (107, 77, 42) with the additive
// blend, tinted by `tint`.
uint32_t AddedOverPanel(uint32_t rgb, uint32_t tint) {
  uint32_t out = 0;
  const uint32_t panel = 0x6B4D2A;
  for (int c = 0; c < 3; ++c) {
    const int v = static_cast<int>((rgb >> (8 * c)) & 0xFF) *
                  static_cast<int>((tint >> (8 * c)) & 0xFF) / 255;
    const int sum = std::min(255, v + static_cast<int>((panel >> (8 * c)) & 0xFF));
    out |= static_cast<uint32_t>(sum) << (8 * c);
  }
  return out;
}

void ExpectNear(uint32_t got, uint32_t want, const std::string& what) {
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(static_cast<int>((got >> (8 * c)) & 0xFF),
                static_cast<int>((want >> (8 * c)) & 0xFF), 3)
        << what << " channel " << c << " got 0x" << std::hex << got << " want 0x" << want;
}

// The middle of cell p (0-5) of the grid.
int CellX(int p) {
  return 40 + 224 * (p % 2) + 104;
}
int CellY(int p) {
  return 48 + 168 * (p / 2) + 78;
}

// --- the title's items -------------------------------------------------------------------

TEST_F(GalleryTest, TheTitleOffersEachRoomOnceItHasSomethingAndExtrasLeadsToThem) {
  auto grey = [&](int item) { return (Pixel(40, 224 + 36 * item + 8) & 0xFF) == 0x66; };
  game.Move(600, 100);
  ASSERT_TRUE(game.Frame());
  for (int item : {2, 3, 4, 5, 6}) EXPECT_TRUE(grey(item)) << item;

  UnlockPicture("ev_mirel01");
  adv().UnlockMemory(16);
  ASSERT_TRUE(game.process.adv.progress.MarkMusicHeard(0));
  adv().SetTitleState(20);
  ASSERT_TRUE(game.Frames(2));
  for (int item : {2, 3, 4, 6}) EXPECT_FALSE(grey(item)) << item;
  EXPECT_TRUE(grey(5));  // no movie room yet

  adv().title.selection = 2;
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(adv().title.selection, 3);
  struct Case {
    int item;
    GameMode mode;
  } cases[] = {{3, MODE_CGMODE}, {4, MODE_OMOIDE}, {6, MODE_MUSIC}};
  for (const Case& c : cases) {
    adv().game_mode = MODE_TITLE;
    adv().SetTitleState(21);
    adv().title.selection = c.item;
    ASSERT_TRUE(game.Key(DIK_RETURN));
    EXPECT_EQ(adv().game_mode, c.mode) << c.item;
    EXPECT_EQ(adv().script_end_mode, MODE_TITLE);
    EXPECT_EQ(adv().title.state, 20);
  }
}

// --- the picture gallery -----------------------------------------------------------------

TEST_F(GalleryTest, WithNothingUnlockedEveryCellIsLockedAndNothingCanBeChosen) {
  Enter(30, MODE_CGMODE);
  const PictureGallery& g = *adv().picture_gallery;
  EXPECT_EQ(g.group(), 0);
  for (int p = 0; p < 6; ++p)
    ExpectNear(Pixel(CellX(p), CellY(p)), AddedOverPanel(kLockedGrey, 0x666666), "cell");
  // The group's heroine stands right of the panel (buffer 0 of slot 0).
  ExpectNear(Pixel(700, 300), kHeroines[0], "heroine");

  // A click on a cell hovers nothing and decides nothing; Return on the selection neither.
  Quiet();
  ASSERT_TRUE(game.Click(CellX(0), CellY(0)));
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(adv().game_mode, MODE_CGMODE);
  EXPECT_FALSE(Sounding(0));

  // Group 0's last page: three locked cells and three empty ones.
  ASSERT_TRUE(game.Click(64 + 32 * 3 + 8, 552));
  EXPECT_EQ(g.page(), 3);
  ASSERT_TRUE(game.Frame());
  for (int p = 0; p < 6; ++p)
    ExpectNear(Pixel(CellX(p), CellY(p)), p < 3 ? AddedOverPanel(kLockedGrey, 0x666666) : 0x6B4D2A,
               "last page");
}

TEST_F(GalleryTest, PagesTabsAndTheKeyboardActOnWhatWasHoveredLast) {
  UnlockPicture("ev_mirel01");
  UnlockPicture("ev_mirel08");  // page 1, cell 1
  UnlockPicture("ev_etc12");  // group 4, page 1, cell 5
  Enter(30, MODE_CGMODE);
  const PictureGallery& g = *adv().picture_gallery;
  ExpectNear(Pixel(CellX(0), CellY(0)), ThumbRgb(1, 1), "unlocked");

  // Page button 1 hovered, then the pointer leaves: it stays red (blue channel 128 × 0x60), and
  // Return turns the page.
  game.Move(64 + 32 + 8, 552);
  ASSERT_TRUE(game.Frame());
  game.Move(300, 590);
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(g.page(), 1);
  ASSERT_TRUE(game.Frame());
  EXPECT_NEAR(static_cast<int>(Pixel(64 + 32 + 4, 548) & 0xFF), 128 * 0x60 / 255, 2);
  EXPECT_NEAR(static_cast<int>(Pixel(64 + 4, 548) & 0xFF), 128, 2);  // page 0: white
  ExpectNear(Pixel(CellX(1), CellY(1)), ThumbRgb(1, 8), "page 1");
  ExpectNear(Pixel(CellX(0), CellY(0)), AddedOverPanel(kLockedGrey, 0x666666), "page 1 locked");

  // A tab shows its group's first page; group 4 has no heroine beside it.
  ASSERT_TRUE(game.Click(520, 16 + 120 * 4 + 30));
  EXPECT_EQ(g.group(), 4);
  EXPECT_EQ(g.page(), 0);
  ASSERT_TRUE(game.Click(64 + 32 + 8, 552));
  ASSERT_TRUE(game.Frame());
  ExpectNear(Pixel(CellX(5), CellY(5)), ThumbRgb(5, 12), "group 4 page 1");
  EXPECT_NE(Pixel(700, 300), kHeroines[0]);

  // The second group's tab shows its own heroine (buffer 1 of slot 0).
  ASSERT_TRUE(game.Click(520, 16 + 120 + 30));
  ASSERT_TRUE(game.Frame());
  ExpectNear(Pixel(700, 300), kHeroines[1], "second heroine");
}

TEST_F(GalleryTest, AReplayReturnsToTheGalleryByCgQuitAndByItsEndAndTheTitleMusicFollows) {
  UnlockPicture("ev_mirel01");
  UnlockPicture("ev_mirel19");
  Enter(30, MODE_CGMODE);
  struct Case {
    int page, cell, local;
    const char* script;
  } cases[] = {{0, 0, 5, "SCP\\CG\\mirel01.scp"}, {3, 0, 6, "SCP\\CG\\mirel19.scp"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    if (c.page != 0) {
      ASSERT_TRUE(game.Click(64 + 32 * c.page + 8, 552));
    }
    Press(CellX(c.cell), CellY(c.cell));
    ASSERT_EQ(adv().game_mode, MODE_ADV);
    EXPECT_EQ(adv().script.GetName(), c.script);
    EXPECT_EQ(adv().script_end_mode, MODE_CGMODE);
    EXPECT_FALSE(adv().system_menu.save_load_enabled);  // a replay is not saved
    ASSERT_TRUE(FramesUntil(MODE_CGMODE));
    EXPECT_EQ(adv().save_record.LocalVariables[1],
              c.local);  // "#cg_quit" ended the first one there
    EXPECT_EQ(adv().script_end_mode, MODE_TITLE);
    EXPECT_EQ(adv().picture_gallery->page(), 0);  // a fresh visit
  }
  // Escape leaves for the title, which starts its music again.
  bgm().Stop();
  ASSERT_TRUE(game.Key(DIK_ESCAPE));
  EXPECT_TRUE(Sounding(1));
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  ASSERT_TRUE(game.Frames(2));
  EXPECT_EQ(adv().title.state, 21);
  EXPECT_TRUE(bgm().IsPlaying());
  EXPECT_EQ(bgm().FileName(), "title.ogg");
  ExpectNear(Pixel(700, 300), 0x204080, "the title picture, no heroine over it");

  // A story from the title offers save and load again.
  adv().title.selection = 0;
  ASSERT_TRUE(game.Key(DIK_RETURN));
  ASSERT_TRUE(FramesUntil(MODE_ADV, 60));
  EXPECT_TRUE(adv().system_menu.save_load_enabled);
  EXPECT_EQ(adv().script_end_mode, MODE_TITLE);
}

TEST_F(GalleryTest, ReturnRightAfterEnteringActsOnTheElementHoveredLastButNeverOnALockedPicture) {
  UnlockPicture("ev_mirel03");  // cell 2 of page 0
  Enter(30, MODE_CGMODE);
  game.Move(CellX(2), CellY(2));
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().picture_gallery->selection(), 3);
  ASSERT_TRUE(game.Key(DIK_ESCAPE));
  game.Move(300, 590);
  // Again: the thumbnail kind is kept, the selection is back on the first (locked) picture.
  Enter(30, MODE_CGMODE);
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(adv().game_mode, MODE_CGMODE);

  // A page button hovered on the last visit: Return at once turns to that page.
  game.Move(64 + 32 * 2 + 8, 552);
  ASSERT_TRUE(game.Frame());
  game.Move(300, 590);
  ASSERT_TRUE(game.Key(DIK_ESCAPE));
  Enter(30, MODE_CGMODE);
  EXPECT_EQ(adv().picture_gallery->page(), 0);
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(adv().picture_gallery->page(), 2);
}

TEST_F(GalleryTest, MissingPicturesAndScriptsAndAnyFlagBytesLeaveTheGalleryWorking) {
  // Every byte of the record set to all ones: every picture counts as seen.
  std::memset(&adv().progress, 0xFF, sizeof adv().progress);
  // A game whose thumb archive and heroines are gone.
  folder.WriteEmptyArchive("thumb.pkd");
  ASSERT_TRUE(game.process.thumb_pkd.Open("thumb.pkd"));
  Enter(30, MODE_CGMODE);
  EXPECT_TRUE(game.process.log.Contains("CGMODE\\no_release.png"));
  ExpectNear(Pixel(CellX(0), CellY(0)), 0x6B4D2A, "an empty cell");
  // Group 1's first picture has no replay script: the story meets its end at once.
  ASSERT_TRUE(game.Click(520, 16 + 120 + 30));
  Press(CellX(0), CellY(0));
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  EXPECT_TRUE(game.process.log.Contains("SCP\\CG\\ondine01.scp"));
  ASSERT_TRUE(FramesUntil(MODE_CGMODE));
  Enter(40, MODE_OMOIDE);
  EXPECT_TRUE(game.process.log.Contains("OMOIDE\\no_release.png"));
}

// --- the memory replay -------------------------------------------------------------------

TEST_F(GalleryTest, WithNoMemoryUnlockedTheBandIsLockedAndReturnDoesNothing) {
  game.Move(400, 590);  // below the band: nothing hovered
  Enter(40, MODE_OMOIDE);
  const MemoryReplay& m = *adv().memory_replay;
  EXPECT_EQ(m.heroine(), 0);
  EXPECT_EQ(m.selection(), 1);
  for (int p = 0; p < 4; ++p)
    EXPECT_NE(Pixel(16 + 176 * p + 80, 456 + 60), MemoryRgb(1, p + 1)) << p;
  // The four heroines side by side, each centred on her column.
  for (int h = 0; h < 4; ++h) ExpectNear(Pixel(200 * h + 100, 200), kHeroines[h], "heroine");
  Quiet();
  game.Move(16 + 80, 456 + 60);
  ASSERT_TRUE(game.Frame());
  ASSERT_TRUE(game.Key(DIK_RETURN));
  ASSERT_TRUE(game.Click(16 + 80, 456 + 60));
  EXPECT_EQ(adv().game_mode, MODE_OMOIDE);
  EXPECT_FALSE(Sounding(0));
  EXPECT_EQ(m.hover_kind(), kMemoryHoverThumbnail);
}

TEST_F(GalleryTest, TheFourthHeroinesMemoriesUnlockAndReplayAndTheColumnActsOnlyOnADecide) {
  adv().UnlockMemory(13);  // heroine 3, memory 0
  Enter(40, MODE_OMOIDE);
  const MemoryReplay& m = *adv().memory_replay;
  // Hovering her column only records it; Return afterwards, with the pointer gone, chooses her.
  game.Move(700, 200);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(m.hovered_heroine(), 3);
  EXPECT_EQ(m.heroine(), 0);
  game.Move(700, 590);
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(m.heroine(), 3);
  ASSERT_TRUE(game.Frame());
  ExpectNear(Pixel(16 + 80, 456 + 60), MemoryRgb(4, 1), "thumbnail 4-01");
  EXPECT_NE(Pixel(16 + 176 + 80, 456 + 60), MemoryRgb(4, 2));

  Press(16 + 80, 456 + 60);
  ASSERT_EQ(adv().game_mode, MODE_ADV);
  EXPECT_EQ(adv().script.GetName(), "SCP\\OMOIDE\\omoide4-01.scp");
  EXPECT_EQ(adv().script_end_mode, MODE_OMOIDE);
  EXPECT_FALSE(adv().system_menu.save_load_enabled);
  ASSERT_TRUE(FramesUntil(MODE_OMOIDE));
  EXPECT_EQ(adv().save_record.LocalVariables[1], 7);
  EXPECT_EQ(m.heroine(), 0);  // every visit starts with the first heroine
  EXPECT_EQ(m.hovered_heroine(), 3);  // ... and remembers the column

  // A right click in the window leaves with the cancel sound.
  Quiet();
  ASSERT_TRUE(game.Click(400, 300, 1));
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  EXPECT_TRUE(Sounding(1));
}

// --- the music room ----------------------------------------------------------------------

constexpr int kButtonX[6] = {264, 320, 392, 392, 440, 520};
constexpr int kButtonY[6] = {540, 540, 536, 568, 540, 540};

TEST_F(GalleryTest, TheMusicRoomsButtonsKeepTheTitleMusicUntilOneReplacesItAndWrapRound) {
  ASSERT_EQ(bgm().FileName(), "title.ogg");
  Enter(60, MODE_MUSIC);
  const MusicRoom& r = *adv().music_room;
  auto press = [&](int button) { ASSERT_TRUE(game.Click(kButtonX[button], kButtonY[button])); };

  press(kMusicPlay);  // the stream refuses while the title music plays
  EXPECT_EQ(bgm().FileName(), "title.ogg");
  press(kMusicNext);  // replaces it at once
  EXPECT_EQ(r.selection(), 1);
  EXPECT_EQ(bgm().FileName(), "RZ_ED.ogg");
  press(kMusicPrevious);
  EXPECT_EQ(bgm().FileName(), "RZ_OP.ogg");
  press(kMusicStop);
  EXPECT_FALSE(bgm().IsPlaying());
  // With nothing playing the bar moves alone, round the ends.
  press(kMusicPrevious);
  EXPECT_EQ(r.selection(), 19);
  EXPECT_FALSE(bgm().IsPlaying());
  press(kMusicNext);
  EXPECT_EQ(r.selection(), 0);
  press(kMusicPrevious);
  press(kMusicPlay);
  EXPECT_EQ(bgm().FileName(), "RZ_bgm16.ogg");
  // A piece that ends by itself leaves the stream idle; next then only moves the bar.
  PlayOut();
  ASSERT_TRUE(game.Frame());
  press(kMusicNext);
  EXPECT_EQ(r.selection(), 0);
  EXPECT_FALSE(bgm().IsPlaying());

  // The pointer box lying across buttons 0 and 1 hovers 1.
  game.Move(284, 540);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(r.hovered_button(), kMusicPlay);
  // A missing file: nothing plays.
  adv().music_room->Init();
  for (int i = 0; i < 3; ++i) press(kMusicNext);
  press(kMusicPlay);
  EXPECT_EQ(r.selection(), 3);
  EXPECT_FALSE(bgm().IsPlaying());
}

TEST_F(GalleryTest, TheTogglesRepeatThePieceOrGoOnWithTheNext) {
  Enter(60, MODE_MUSIC);
  const MusicRoom& r = *adv().music_room;
  auto press = [&](int button) { ASSERT_TRUE(game.Click(kButtonX[button], kButtonY[button])); };
  press(kMusicStop);
  press(kMusicLoop);
  EXPECT_TRUE(r.loop_on());
  press(kMusicPlay);
  ASSERT_EQ(bgm().FileName(), "RZ_OP.ogg");
  PlayOut();
  ASSERT_TRUE(game.Frame());
  EXPECT_TRUE(bgm().IsPlaying());
  EXPECT_EQ(bgm().FileName(), "RZ_OP.ogg");
  EXPECT_EQ(r.selection(), 0);

  press(kMusicLoop);
  press(kMusicPlayAll);
  EXPECT_FALSE(r.loop_on());
  EXPECT_TRUE(r.play_all_on());
  PlayOut();
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(bgm().FileName(), "RZ_ED.ogg");
  EXPECT_EQ(r.selection(), 1);

  press(kMusicPlayAll);
  PlayOut();
  ASSERT_TRUE(game.Frame());
  EXPECT_FALSE(bgm().IsPlaying());
  EXPECT_EQ(r.selection(), 1);
}

TEST_F(GalleryTest, LeavingTheMusicRoomRestoresTheTitleMusicAndReturnRemembersTheReturnButton) {
  Enter(60, MODE_MUSIC);
  ASSERT_TRUE(game.Click(kButtonX[kMusicNext], kButtonY[kMusicNext]));
  ASSERT_EQ(bgm().FileName(), "RZ_ED.ogg");
  // The return button touched, the pointer gone: Return leaves.
  game.Move(740, 540);
  ASSERT_TRUE(game.Frame());
  game.Move(600, 300);
  Quiet();
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  EXPECT_TRUE(Sounding(1));
  ASSERT_TRUE(game.Frame());
  EXPECT_TRUE(bgm().IsPlaying());
  EXPECT_EQ(bgm().FileName(), "title.ogg");
  // The next visit: Return before touching anything leaves again.
  Enter(60, MODE_MUSIC);
  EXPECT_EQ(adv().music_room->selection(), 0);
  ASSERT_TRUE(game.Key(DIK_RETURN));
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
}

}  // namespace
