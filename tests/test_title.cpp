// The title screen on the headless engine: the menu's pictures out of the tile atlas in their
// colours, the keys and the pointer, which items act (continue only with a save), the title
// music, the fade into a new story and the way back to the title.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/dik.h"
#include "platform/fs.h"
#include "resource/image.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Plain pictures, a short 8-bit mono sound and half a second of music (support/media.h).
Bytes Plain(int w, int h, uint32_t rgb) { return testing_support::SolidPng(w, h, rgb); }
Bytes Wav() { return testing_support::DcWav(256, 1, 22050, 8, 0, 0); }
Bytes Ogg() { return testing_support::ToneOgg(0.5, 22050, 1).bytes; }

using testing_support::GameFolder;
using testing_support::ScriptFile;

constexpr uint32_t kTitleRgb = 0x204080;
constexpr uint32_t kMenuRgb = 0x80C040;

// The grey level of tile (row k, column j) of item i: neighbouring tiles, rows and items all
// differ, so a tile taken from the wrong cell or page shows in the frame.
int TileLevel(int item, int k, int j) {
  return 32 * ((j + 3 * k + 5 * item) % 8) + 16;
}

Bytes Png(const CImage32& image) {
  return *EncodePNG(image, PngChannels::Rgba);
}

Bytes ItemPicture(int item) {
  CImage32 image;
  image.Create(256, 48);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 256; ++x) {
      const uint8_t v = static_cast<uint8_t>(TileLevel(item, y / 16, x / 16));
      uint8_t* p = image.Pixels() + (y * 256 + x) * 4;
      p[0] = p[1] = p[2] = v;
      p[3] = 255;
    }
  return Png(image);
}

class TitleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<PackSource> system = {
        {"SYSTEM\\TITLE\\title.png", Plain(800, 600, kTitleRgb)},
        {"SYSTEM\\blank.png", Plain(800, 600, 0)},
        {"SCP\\startup.scp", ScriptFile("$[1] = 7\n@keywait\n")},
    };
    for (int i = 0; i < 9; ++i)
      system.push_back({"SYSTEM\\TITLE\\" + std::to_string(i) + ".png", ItemPicture(i)});
    folder.Write("system.pkd", *BuildPack(system));
    folder.WriteEmptyArchive("thumb.pkd");
    folder.WriteEmptyArchive("grp.pkd");
    folder.Write("SYSTEM/menu.png", Plain(256, 256, kMenuRgb));
    for (const char* se : {"ok", "cancel", "logo", "test", "watch01", "beep01", "beep02"})
      folder.Write(std::string("SOUND/SE/SYSTEM/") + se + ".wav", Wav());
    const Bytes ogg = Ogg();
    folder.Write("SOUND/BGM/title.ogg", ogg);
    folder.Write("SOUND/BGM/other.ogg", ogg);
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
  }
  CADV& adv() { return game.process.adv; }
  uint32_t Pixel(int x, int y) { return game.process.graphics.Frame()[y * 800 + x] & 0xFFFFFF; }
  // The logo frame and the music frame: the menu is up from the next frame on.
  void ToMenu() {
    ASSERT_TRUE(game.Frames(2));
    ASSERT_EQ(adv().title.state, 21);
  }
  // Down for a frame, up for the next (the press is seen in the first).
  void Press(uint8_t dik) { ASSERT_TRUE(game.Key(dik)); }
  bool OkPlaying() { return game.process.system_se[0].IsPlaying(); }

  GameFolder folder;
  HeadlessGame game;
};

// Colour channel c (0 blue, 1 green, 2 red) of a value times a tint.
int Tinted(int level, uint32_t tint, int c) {
  return level * static_cast<int>((tint >> (8 * c)) & 0xFF) / 255;
}

TEST_F(TitleTest, StartsBlackThenShowsEveryItemTileInItsColourOverTheTitlePicture) {
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  EXPECT_EQ(adv().title.state, 0);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().title.state, 20);
  EXPECT_EQ(Pixel(600, 300), 0u);  // the cover
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().title.state, 21);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Pixel(600, 300), kTitleRgb);

  // 432 tiles over two atlas pages; item 5 straddles the page boundary.
  for (int i = 0; i < 9; ++i) {
    const uint32_t tint = i >= 1 && i <= 6 ? 0x666666 : i == 0 ? 0xFFFFFF : 0xCCCC55;
    for (int k = 0; k < 3; ++k)
      for (int j = 0; j < 16; ++j) {
        // The next item covers the last 12 rows of each picture but the last.
        const uint32_t px = Pixel(32 + 16 * j + 8, 224 + 36 * i + 16 * k + (k == 2 ? 1 : 8));
        const int level = TileLevel(i, k, j);
        for (int c = 0; c < 3; ++c)
          ASSERT_NEAR(static_cast<int>((px >> (8 * c)) & 0xFF), Tinted(level, tint, c), 2)
              << "item " << i << " tile " << k << "," << j << " channel " << c;
      }
  }
}

TEST_F(TitleTest, ArrowKeysPassOverGreyItemsAndReturnActsOnlyOnActiveOnes) {
  ToMenu();
  // Without a save only 0, 7 and 8 act, and the keys go round them.
  const struct {
    uint8_t key;
    int selection;
  } keys[] = {{DIK_UP, 8}, {DIK_DOWN, 0}, {DIK_DOWN, 7}, {DIK_DOWN, 8}, {DIK_UP, 7}, {DIK_UP, 0}};
  for (const auto& k : keys) {
    Press(k.key);
    EXPECT_EQ(adv().title.selection, k.selection);
  }

  // Items 1-6 reached by the pointer: the decide sound and nothing else; the item stays grey.
  for (int item = 1; item <= 6; ++item) {
    SCOPED_TRACE(item);
    game.Move(100, 224 + 36 * item + 10);
    ASSERT_TRUE(game.Frame());
    ASSERT_EQ(adv().title.selection, item);
    game.process.system_se[0].Stop();
    Press(DIK_RETURN);
    EXPECT_TRUE(OkPlaying());
    EXPECT_EQ(adv().game_mode, MODE_TITLE);
    EXPECT_EQ(adv().title.state, 21);
    EXPECT_FALSE(adv().confirm_open);
    EXPECT_NEAR(static_cast<int>(Pixel(32 + 8, 224 + 36 * item + 8) & 0xFF),
                Tinted(TileLevel(item, 0, 0), 0x666666, 0), 2);
  }
  game.Move(600, 100);

  struct Case {
    int item;
    GameMode mode;
    int state;
    bool dialog;
  } cases[] = {
      {7, MODE_CONFIG, 21, false},
      {8, MODE_TITLE, 21, true},
      {0, MODE_TITLE, 22, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    adv().game_mode = MODE_TITLE;
    adv().confirm_open = false;
    adv().title.selection = c.item;
    game.process.system_se[0].Stop();
    Press(DIK_RETURN);
    EXPECT_TRUE(OkPlaying());
    EXPECT_EQ(adv().game_mode, c.mode);
    EXPECT_EQ(adv().title.state, c.state);
    EXPECT_EQ(adv().confirm_open, c.dialog);
    if (c.mode == MODE_CONFIG) {
      EXPECT_EQ(adv().config.return_mode, MODE_TITLE);
    }
  }
}

TEST_F(TitleTest, ContinueActsOnceASlotHoldsASaveAndItsLoadScreenCancelsBackToTheMenu) {
  ToMenu();
  EXPECT_FALSE(adv().title.continue_offered);
  // A slot of the screen's last page, saved in an earlier run; the menu sees it when it comes up.
  folder.Write("SAVE/35.dat", Bytes(6640, 0));
  adv().SetTitleState(20);
  ToMenu();
  ASSERT_TRUE(adv().title.continue_offered);
  game.Move(600, 100);
  ASSERT_TRUE(game.Frame());
  // No longer grey: in the colour of the items not selected.
  EXPECT_NEAR(static_cast<int>(Pixel(32 + 8, 224 + 36 + 8) >> 8 & 0xFF),
              Tinted(TileLevel(1, 0, 0), 0xCCCC55, 1), 2);
  adv().title.selection = 0;
  Press(DIK_DOWN);
  EXPECT_EQ(adv().title.selection, 1);
  Press(DIK_DOWN);
  EXPECT_EQ(adv().title.selection, 7);
  Press(DIK_UP);

  game.process.system_se[0].Stop();
  Press(DIK_RETURN);
  EXPECT_TRUE(OkPlaying());
  EXPECT_EQ(adv().game_mode, MODE_SAVELOAD);
  EXPECT_FALSE(adv().save_load.is_save);
  EXPECT_EQ(adv().save_load.return_mode, MODE_TITLE);
  Press(DIK_ESCAPE);
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  EXPECT_EQ(adv().title.state, 21);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Pixel(600, 300), kTitleRgb);

  // The slot gone (the menu came up again): grey, passed over, and a decide on it does nothing.
  ASSERT_TRUE(platform::fs::Remove("SAVE\\35.dat"));
  adv().SetTitleState(20);
  ToMenu();
  EXPECT_FALSE(adv().title.continue_offered);
  adv().title.selection = 0;
  Press(DIK_DOWN);
  EXPECT_EQ(adv().title.selection, 7);
  adv().title.selection = 1;
  Press(DIK_RETURN);
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
}

TEST_F(TitleTest, ThePointerOnAnItemWinsOverTheKeysFromTheNextFrameAndClicksCountOnlyOnItems) {
  ToMenu();
  game.Move(100, 224 + 36 * 5 + 10);  // on item 5
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().title.selection, 5);
  game.KeyDown(DIK_DOWN);
  ASSERT_TRUE(game.Frame());
  game.KeyUp(DIK_DOWN);
  EXPECT_EQ(adv().title.selection, 7);  // the keys act after the pointer, past the grey items
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().title.selection, 5);

  // Between two items (the 4-pixel gap) nothing is hit: the selection stays, a click is ignored.
  adv().title.selection = 8;
  game.process.system_se[0].Stop();
  ASSERT_TRUE(game.Click(100, 224 + 36 * 2 + 32));
  EXPECT_EQ(adv().title.selection, 8);
  EXPECT_FALSE(OkPlaying());
  EXPECT_FALSE(adv().confirm_open);
  // On item 8 the click decides.
  ASSERT_TRUE(game.Click(100, 224 + 36 * 8 + 4));
  EXPECT_TRUE(OkPlaying());
  EXPECT_TRUE(adv().confirm_open);
  // While the dialog is open the menu reads neither the pointer nor the keys.
  game.Move(100, 224 + 10);
  Press(DIK_DOWN);
  EXPECT_EQ(adv().title.selection, 8);
}

TEST_F(TitleTest, RightClickAndEscapeDoNothingOnTheMenu) {
  ToMenu();
  adv().title.selection = 3;
  Press(DIK_ESCAPE);
  ASSERT_TRUE(game.Click(400, 100, 1));
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  EXPECT_EQ(adv().title.state, 21);
  EXPECT_EQ(adv().title.selection, 3);
  EXPECT_FALSE(adv().confirm_open);
  EXPECT_FALSE(OkPlaying());
  EXPECT_FALSE(game.process.system_se[1].IsPlaying());
}

TEST_F(TitleTest, TheTitleMusicIsKeptWhenPlayingAndReplacesAnyOtherTrack) {
  ToMenu();
  CStreamSound& bgm = game.process.bgm;
  ASSERT_TRUE(bgm.IsPlaying());
  EXPECT_EQ(bgm.FileName(), "title.ogg");

  // Back at the music step with the title music on: it is left alone. Without the file a
  // restart could not play, so the stream still playing proves it was not restarted.
  ASSERT_TRUE(platform::fs::Remove("SOUND\\BGM\\title.ogg"));
  adv().SetTitleState(20);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().title.state, 21);
  EXPECT_TRUE(bgm.IsPlaying());
  EXPECT_EQ(bgm.FileName(), "title.ogg");

  // Another track gives way to the title music.
  folder.Write("SOUND/BGM/title.ogg", Ogg());
  bgm.Stop();
  ASSERT_EQ(bgm.Open("SOUND\\BGM\\other.ogg"), 0);
  ASSERT_TRUE(bgm.Play(true));
  adv().SetTitleState(20);
  ASSERT_TRUE(game.Frame());
  EXPECT_TRUE(bgm.IsPlaying());
  EXPECT_EQ(bgm.FileName(), "title.ogg");
}

TEST_F(TitleTest, TheFadeLastsAbout500MsAndTheStoryStartsOnACleanSceneInTheFrameItPasses256) {
  ToMenu();
  // Leftovers of an earlier story: a visible character, a fade to black, the modes.
  adv().scene.chr.Slot(1).visible = true;
  adv().ScreenFade(EFFECT_BLACK_OUT, 100);
  adv().story.auto_mode = true;
  adv().system_menu.save_load_enabled = true;

  game.KeyDown(DIK_RETURN);
  ASSERT_TRUE(game.Frame());
  game.KeyUp(DIK_RETURN);
  ASSERT_EQ(adv().title.state, 22);
  EXPECT_EQ(adv().title.fade, 0);
  ASSERT_TRUE(game.Frame(250));
  EXPECT_NEAR(adv().title.fade, 128, 0.1);
  const uint32_t half = Pixel(600, 100);
  EXPECT_GT(half, 0u);
  EXPECT_LT(half & 0xFF, kTitleRgb & 0xFF);
  ASSERT_TRUE(game.Frame(249));  // 499 ms: 255.5
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  EXPECT_EQ(adv().script.GetName(), "");
  ASSERT_TRUE(game.Frame(2));
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  EXPECT_NE(adv().script.GetName().find("startup"), std::string::npos);
  EXPECT_EQ(Pixel(600, 100), 0u);  // the opaque cover in the frame the story starts
  EXPECT_EQ(adv().script_end_mode, MODE_TITLE);
  EXPECT_TRUE(adv().system_menu.save_load_enabled);  // a story can be saved
  EXPECT_FALSE(adv().story.auto_mode);
  EXPECT_FALSE(adv().scene.chr.Slot(1).visible);
  EXPECT_FALSE(adv().scene.effects.Active());

  ASSERT_TRUE(game.Frames(3));
  EXPECT_EQ(adv().save_record.LocalVariables[1], 7);  // the script runs
}

TEST_F(TitleTest, ReturnToTitleWritesTheReadTextAndComesBackInTheMusicState) {
  ToMenu();
  adv().title.selection = 7;
  adv().game_mode = MODE_ADV;
  adv().scene.bg.SetFront(1);  // the story ended with the other channel in front
  adv().confirm_open = true;
  ASSERT_FALSE(folder.Exists("text.dat"));
  adv().ReturnToTitle();
  EXPECT_TRUE(folder.Exists("text.dat"));
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  EXPECT_EQ(adv().title.state, 20);
  EXPECT_FALSE(adv().confirm_open);
  EXPECT_FALSE(game.process.bgm.IsPlaying());
  // The loose menu picture is in the sixth character-layer texture (slot A's second buffer).
  const gfx::DeviceTexture* menu = adv().scene.chr.Slot(0).buffers[1].blocks.Texture(1).Interface();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(reinterpret_cast<const uint32_t*>(menu->Bits())[0] & 0xFFFFFF, kMenuRgb);

  ASSERT_TRUE(game.Frame());  // the music step
  EXPECT_TRUE(game.process.bgm.IsPlaying());
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Pixel(600, 300), kTitleRgb);
  EXPECT_EQ(adv().title.selection, 7);  // kept between visits
}

// A new story whose first script is missing, empty or unreadable says so in the log and to the
// player, instead of a black screen and silence.
TEST_F(TitleTest, AStartupScriptThatCannotBeLoadedIsLoggedAndShown) {
  struct Case {
    const char* what;
    std::optional<Bytes> script;  // nothing: no entry at all
    bool cut;      // the entry's bytes are gone from the file after it was opened
    const char* why;
  } cases[] = {
      {"missing", std::nullopt, false, "the script is not in system.pkd"},
      {"empty", Bytes{}, false, "the script is empty"},
      {"unreadable", ScriptFile("$[1] = 7\n"), true, "the script cannot be read from system.pkd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<PackSource> system = {{"SYSTEM\\blank.png", Plain(800, 600, 0)}};
    if (c.script) system.push_back({"SCP\\startup.scp", *c.script});
    folder.Write("system.pkd", *BuildPack(system));
    CPackFile& pkd = game.process.system_pkd;
    ASSERT_TRUE(pkd.Open("system.pkd"));
    pkd.SetPause([](int) {});
    if (c.cut)
      std::filesystem::resize_file(folder.path() + "/system.pkd",
                                   pkd.Index().at("SCP\\STARTUP.SCP").offset);
    game.boxes.shown.clear();
    adv().title.state = 21;
    adv().game_mode = MODE_TITLE;
    game.KeyDown(DIK_RETURN);
    ASSERT_TRUE(game.Frame());
    game.KeyUp(DIK_RETURN);
    for (int i = 0; i < 100 && adv().game_mode != MODE_ADV; ++i) ASSERT_TRUE(game.Frame(16));
    ASSERT_EQ(adv().game_mode, MODE_ADV);
    EXPECT_TRUE(game.process.log.Contains("ERROR: Load fail [SCP\\startup.scp] : " + std::string(c.why)))
        << game.process.log.Utf8Text();
    ASSERT_EQ(game.boxes.shown.size(), 1u);
    EXPECT_EQ(game.boxes.shown[0].text, "ERROR: Load fail [SCP\\startup.scp]\n" + std::string(c.why));
    EXPECT_EQ(game.boxes.shown[0].caption, kWindowTitle);
  }
}

}  // namespace

// Alt with Enter switches the display; it is never a decide as well, whichever Alt and Enter.
TEST_F(TitleTest, AltEnterOverQuitOpensNothing) {
  ToMenu();
  for (uint8_t alt : {DIK_LMENU, DIK_RMENU})
    for (uint8_t enter : {DIK_RETURN, DIK_NUMPADENTER}) {
      SCOPED_TRACE(testing::Message() << int(alt) << "+" << int(enter));
      game.Move(100, 224 + 36 * 8 + 4);  // on 終了
      game.KeyDown(alt);
      ASSERT_TRUE(game.Frame());
      game.KeyDown(enter);
      ASSERT_TRUE(game.Frame());
      game.KeyUp(enter);
      game.KeyUp(alt);
      ASSERT_TRUE(game.Frame());
      EXPECT_FALSE(adv().confirm_open);
      EXPECT_EQ(adv().game_mode, MODE_TITLE);
    }
}

// A new story starts with every story variable at its start value; the system variables stay.
TEST_F(TitleTest, ANewStoryStartsWithFreshStoryVariables) {
  ToMenu();
  for (int story = 0; story < 2; ++story) {
    SCOPED_TRACE(story);
    adv().save_record.FavourVariables[0] = 4;
    adv().save_record.LocalVariables[2] = 9;
    adv().system_data.SystemVariables[0] = 5;
    std::strcpy(adv().save_record.TownPendingScript, "day2");
    adv().script_state.ending = true;  // as an ending leaves it
    adv().title.selection = 0;
    Press(DIK_RETURN);
    for (int i = 0; i < 60 && adv().game_mode != MODE_ADV; ++i) ASSERT_TRUE(game.Frame());
    ASSERT_EQ(adv().game_mode, MODE_ADV);
    ASSERT_TRUE(game.Frames(3));
    EXPECT_EQ(adv().save_record.FavourVariables[0], 0);
    EXPECT_EQ(adv().save_record.LocalVariables[2], 0);
    EXPECT_EQ(adv().save_record.LocalVariables[1], 7);  // the new script's own
    EXPECT_EQ(adv().system_data.SystemVariables[0], 5);
    EXPECT_STREQ(adv().save_record.TownPendingScript, "");
    EXPECT_FALSE(adv().script_state.ending);
    adv().ReturnToTitle();
    ASSERT_TRUE(game.Frames(2));
  }
}
