// Start-up, the window's messages and the frame dispatcher, on the headless platform.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "app/headless.h"
#include "platform/dik.h"
#include "resource/pack_writer.h"
#include "support/game_folder.h"

namespace {

using testing_support::GameFolder;

struct Probe {
  int updates = 0;
  int draws = 0;
  int left_clicks = 0;
  GameMode drawn = MODE_NONE;
  GameMode switch_to = MODE_NONE;
  bool confirm_quit = false;
};
Probe* g_probe = nullptr;

// Steps standing in for the screens, to watch the dispatcher.
void ProbeUpdate(CADV& adv) {
  ++g_probe->updates;
  g_probe->left_clicks += adv.left_click;
  if (g_probe->switch_to != MODE_NONE) adv.game_mode = g_probe->switch_to;
  if (g_probe->confirm_quit) adv.quit_confirmed = true;
}
void ProbeDraw(CADV& adv) {
  ++g_probe->draws;
  g_probe->drawn = adv.game_mode;
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_probe = &probe;
    game.process.log.SetEcho(false);
  }
  void BootWithProbes() {
    folder.WriteEmptyGame();
    ASSERT_TRUE(game.Boot());
    for (GameMode m : {MODE_TITLE, MODE_CONFIG, MODE_ADV}) game.process.adv.SetModeSteps(m, {ProbeUpdate, ProbeDraw});
  }
  GameFolder folder;
  HeadlessGame game;
  Probe probe;
};

TEST_F(ShellTest, MissingArchiveStopsStartUpWithItsMessageOnly) {
  struct Case {
    std::vector<const char*> present;
    const char* message;
  } cases[] = {
      {{}, "system.pkd not found. Initialize failed."},
      {{"system.pkd"}, "thumb.pkd not found. Initialize failed."},
      {{"system.pkd", "thumb.pkd"}, "grp.pkd not found. Initialize failed."},
  };
  for (const Case& c : cases) {
    GameFolder f;
    for (const char* name : c.present) f.WriteEmptyArchive(name);
    HeadlessGame g;
    g.process.log.SetEcho(false);
    EXPECT_EQ(WinMain(g.process), 1);
    ASSERT_EQ(g.boxes.shown.size(), 1u) << c.message;
    EXPECT_EQ(g.boxes.shown[0].text, c.message);
    EXPECT_EQ(g.boxes.shown[0].caption, kWindowTitle);
    EXPECT_FALSE(g.window.Shown());
    EXPECT_FALSE(g.process.graphics.Ready());
    if (c.present.size() == 1) {
      EXPECT_TRUE(g.process.grp_pkd.Path().empty());  // never tried
    }
  }
}

// An archive cut short is damaged, not missing: the game starts, says so in its log, and the
// pictures whose bytes are gone fail as loads.
TEST_F(ShellTest, TruncatedArchiveStartsTheGameWithFailedLoads) {
  folder.WriteEmptyArchive("system.pkd");
  folder.WriteEmptyArchive("thumb.pkd");
  auto grp = BuildPack({{"GRP\\BG\\a.png", std::vector<uint8_t>(3000, 1)},
                        {"GRP\\BG\\b.png", std::vector<uint8_t>(3000, 2)}});
  ASSERT_TRUE(grp);
  grp->resize(grp->size() - 4000);  // b is gone, a is cut
  folder.Write("grp.pkd", *grp);
  ASSERT_TRUE(game.Boot());
  EXPECT_TRUE(game.boxes.shown.empty());
  EXPECT_TRUE(game.window.Shown());
  EXPECT_TRUE(game.process.log.Contains("grp.pkd is damaged; 2 of its 2 entries cannot be read"))
      << game.process.log.Utf8Text();
  EXPECT_FALSE(game.process.adv.SubBGLoadFromPNG(0, "GRP\\BG\\b.png"));
  EXPECT_TRUE(game.process.log.Contains("PNG Load failed. -> GRP\\BG\\b.png"));
}

// A save killed before its rename leaves "<file>.tmp<pid>" beside the whole old file; the next
// start removes it.
TEST_F(ShellTest, StartUpRemovesTheTemporaryFilesOfAKilledSave) {
  folder.WriteEmptyGame();
  const std::string dead = std::to_string(INT32_MAX);  // beyond any process number
  folder.Write("SAVE/2.dat.tmp" + dead, "half");
  folder.Write("system.dat.tmp" + dead, "half");
  ASSERT_TRUE(game.Boot());
  EXPECT_FALSE(folder.Exists("SAVE/2.dat.tmp" + dead));
  EXPECT_FALSE(folder.Exists("system.dat.tmp" + dead));
}

TEST_F(ShellTest, StartUpPlacesTheWindowFromTheWorkAreaEdges) {
  folder.WriteEmptyGame();
  game.window.work_area = {100, 40, 1700, 1000};
  ASSERT_TRUE(game.Boot());
  EXPECT_EQ(game.window.placed.left, 450);  // 1700 / 2 - 400, not the middle of the area
  EXPECT_EQ(game.window.placed.top, 200);
  EXPECT_EQ(game.window.placed.right - game.window.placed.left, 800);
  EXPECT_EQ(game.window.placed.bottom - game.window.placed.top, 600);
  EXPECT_TRUE(game.window.Shown());
  EXPECT_TRUE(game.boxes.shown.empty());
  EXPECT_TRUE(game.process.log.Contains("[InitInstance : 0] DirectSound Create"));
  EXPECT_EQ(game.process.adv.game_mode, MODE_TITLE);
  EXPECT_TRUE(game.process.adv.ready);
}

TEST_F(ShellTest, AModeChangedByTheUpdateIsDrawnInTheSameFrame) {
  BootWithProbes();
  probe.switch_to = MODE_CONFIG;
  game.Frame();
  EXPECT_EQ(probe.updates, 1);
  EXPECT_EQ(probe.drawn, MODE_CONFIG);
  EXPECT_EQ(game.process.adv.frame_time, 16u);
}

TEST_F(ShellTest, ElapsedTimeIsTheClockDifference) {
  BootWithProbes();
  game.Frame(33);
  EXPECT_EQ(game.process.adv.frame_time, 33u);
  game.Frame(0);
  EXPECT_EQ(game.process.adv.frame_time, 0u);
}

TEST_F(ShellTest, ClicksOnANotReadyFrameAreDropped) {
  BootWithProbes();
  game.Frame();  // the activation that came with showing the window
  game.process.adv.ready = false;
  game.ButtonDown(0);
  game.Frame();
  EXPECT_EQ(probe.updates, 1);  // the steps did not run
  game.process.adv.ready = true;
  game.Frame();  // still held: no new press
  game.ButtonUp(0);
  game.Frame();
  EXPECT_EQ(probe.left_clicks, 0);
  game.Click(10, 10);
  EXPECT_EQ(probe.left_clicks, 1);
}

TEST_F(ShellTest, InactiveWindowGetsNoClicksAndActivationRestoresInput) {
  BootWithProbes();
  game.Frame();
  game.window.Input().SetForeground(false);
  game.window.Post({platform::MessageType::Deactivate, 0});
  game.Click(10, 10);
  EXPECT_EQ(probe.left_clicks, 0);
  game.window.Input().SetForeground(true);
  game.window.Post({platform::MessageType::Activate, 0});
  game.Click(10, 10);
  EXPECT_EQ(probe.left_clicks, 1);
}

TEST_F(ShellTest, AltEnterTogglesOnEveryFrameBothAreHeld) {
  BootWithProbes();
  uint8_t before = game.process.adv.system_data.Windowed;
  game.KeyDown(DIK_LMENU);
  game.KeyDown(DIK_RETURN);
  game.Frame();
  EXPECT_TRUE(game.window.Fullscreen());
  EXPECT_FALSE(game.process.graphics.Windowed());
  EXPECT_EQ(game.process.adv.system_data.Windowed, before ^ 1);
  game.Frame();
  EXPECT_FALSE(game.window.Fullscreen());
  game.KeyUp(DIK_LMENU);
  game.Frame();
  EXPECT_FALSE(game.window.Fullscreen());
  EXPECT_TRUE(game.process.adv.ready);
}

TEST_F(ShellTest, CloseEndsWithoutConfirmation) {
  BootWithProbes();
  game.Frame();
  game.window.Post({platform::MessageType::Close, 0});
  EXPECT_FALSE(game.Frame());
  EXPECT_FALSE(game.process.graphics.Ready());
  EXPECT_EQ(game.process.exit_code, 0);
  EXPECT_TRUE(game.boxes.shown.empty());
}

TEST_F(ShellTest, ConfirmedQuitEndsAtTheEndOfThatFrame) {
  BootWithProbes();
  game.process.adv.confirm_open = true;  // the dialog clears and re-decides quit each frame
  probe.confirm_quit = true;
  game.process.adv.confirm_open = false;
  EXPECT_TRUE(game.Frame());
  EXPECT_TRUE(game.process.quit_requested);
  EXPECT_FALSE(game.process.graphics.Ready());
  EXPECT_FALSE(game.Frame());  // the posted quit message ends the loop
  EXPECT_EQ(game.process.exit_code, 0);
}

TEST_F(ShellTest, LostDeviceSkipsTheEngineUntilReset) {
  BootWithProbes();
  game.Frame();
  int before = probe.draws;
  game.window.LoseDevice(2);
  game.Frame();  // drawn, then lost at present
  EXPECT_TRUE(game.process.graphics.DeviceLost());
  game.Frames(2);
  EXPECT_EQ(probe.draws, before + 1);
  game.Frames(2);
  EXPECT_FALSE(game.process.graphics.DeviceLost());
  EXPECT_GT(probe.draws, before + 1);
}

TEST_F(ShellTest, PointerShapeFollowsTheClientAreaWhenStartedWindowed) {
  BootWithProbes();
  game.Move(900, 300);
  game.Frame();
  EXPECT_EQ(game.window.CurrentCursor(), platform::Cursor::None);
  EXPECT_FALSE(game.process.adv.pointer_inside);
  game.Move(799, 599);
  game.Frame();
  EXPECT_EQ(game.window.CurrentCursor(), platform::Cursor::Game);

  game.process.adv.startup_windowed = false;  // a game started full screen
  int sets = game.window.cursor_sets;
  game.Move(-5, 300);
  game.Frame();
  EXPECT_EQ(game.window.CurrentCursor(), platform::Cursor::Game);
  EXPECT_EQ(game.window.cursor_sets, sets);
}

}  // namespace
