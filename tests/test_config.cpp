// The settings screen on the headless engine: the display-mode row against the device's mode,
// the values each button stores, volumes heard through the null sound device, the decide and
// cancel sounds, leaving (and the settings file it writes), the tabs, and the flag behind the
// panels.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
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
#include "save/system_data.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

using testing_support::GameFolder;
using Bytes = std::vector<uint8_t>;

// Mono 16-bit PCM at 48 kHz with every sample `level`, and a 400 Hz tone (support/media.h).
Bytes Wav(int frames, int16_t level) {
  return testing_support::DcWav(frames, 1, 48000, 16, level / 32768.0f, level / 32768.0f);
}
Bytes ToneOgg(double seconds) { return testing_support::ToneOgg(seconds, 48000, 1).bytes; }


// --- fixtures

// Stripes of 8 texels in two colours: any movement of the cloth changes the pixels it shows.
Bytes StripedPicture() {
  CImage32 image;
  image.Create(256, 256);
  uint8_t* p = image.Pixels();
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x, p += 4) {
      const bool light = ((x / 8) + (y / 8)) % 2 == 0;
      p[0] = light ? 40 : 200;
      p[1] = light ? 220 : 60;
      p[2] = light ? 250 : 30;
      p[3] = 255;
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

float Rms(const std::vector<float>& s) {
  double sum = 0;
  for (size_t i = 0; i < s.size(); i += 2) sum += double{s[i]} * s[i];
  return static_cast<float>(std::sqrt(sum / static_cast<double>(s.size() / 2)));
}

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// --- where things are on the screen

struct Row {
  int x, width, step;
};
// The rows the tests press, by page and row.
Row RowOf(int page, int row) {
  if (page >= 1 && !(page == 1 && row == 4)) return {56, 40, 71};  // volume rows
  if (page == 0 && (row == 1 || row == 3)) return {56, 48, 80};
  if (page == 0 && (row == 2 || row == 7)) return {216, 128, 160};
  return {376, 128, 160};
}
// The pointer (the top-left of its 8 × 8 box) inside button j of a row.
int ButtonX(int page, int row, int j) {
  const Row r = RowOf(page, row);
  return r.x + j * r.step + r.width / 2 - 4;
}
int ButtonY(int row) {
  return 64 * (row + 1) + 4;
}
constexpr int kReturnX = 756, kReturnY = 556;
int TabY(int p) {
  return 54 + 128 * p + 44;
}
constexpr int kTabX = 740;
constexpr int kOffX = 10, kOffY = 300;  // on no element

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { game.process.log.SetEcho(false); }
  // The game, booted with the settings screen open over the title.
  void Start(bool with_flag = true) {
    std::vector<PackSource> entries;
    if (with_flag) entries.push_back({"SYSTEM\\option_flag.png", StripedPicture()});
    folder.Write("system.pkd", *BuildPack(entries));
    folder.WriteEmptyArchive("thumb.pkd");
    folder.WriteEmptyArchive("grp.pkd");
    folder.Write("SOUND/SE/SYSTEM/ok.wav", Wav(480, 0));
    folder.Write("SOUND/SE/SYSTEM/cancel.wav", Wav(480, 0));
    ASSERT_TRUE(game.Boot());
    adv().OpenConfig(MODE_TITLE);
    game.Move(kOffX, kOffY);
    ASSERT_TRUE(game.Frame());
  }
  CADV& adv() { return game.process.adv; }
  ConfigScreen& screen() { return adv().config; }
  void Press(int page, int row, int j) {
    screen().page = page;
    ASSERT_TRUE(game.Click(ButtonX(page, row, j), ButtonY(row)));
  }
  size_t Plays(int system_slot) const {
    const platform::SoundBuffer* b = game.process.system_se[system_slot].DeviceBuffer();
    return b ? b->VolumeHistory().size() : 0;
  }
  uint32_t Pixel(int x, int y) const {
    return game.process.graphics.Frame()[y * 800 + x] & 0xFFFFFF;
  }
  // The flag shows right of the panel and below it (the tests' dialog art is empty).
  std::vector<uint32_t> FlagStrip() const {
    std::vector<uint32_t> px;
    for (int y = 0; y < 600; y += 2)
      for (int x = 704; x < 800; x += 2) px.push_back(Pixel(x, y));
    for (int y = 560; y < 600; y += 2)
      for (int x = 0; x < 704; x += 2) px.push_back(Pixel(x, y));
    return px;
  }

  GameFolder folder;
  HeadlessGame game;
};

TEST_F(ConfigTest, DisplayModeButtonsSwitchOnlyToTheModeNotInUse) {
  struct Case {
    bool start_full;
    int button;  // 0 "ウィンドウモード", 1 "フルスクリーン"
    bool full_after;
  } cases[] = {{false, 1, true}, {false, 0, false}, {true, 1, true}, {true, 0, false}};
  Start();
  CGraphics& graphics = game.process.graphics;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "full " << c.start_full << " button " << c.button);
    if (graphics.Windowed() == c.start_full) {
      ASSERT_TRUE(graphics.ToggleScreenMode());
    }
    ASSERT_TRUE(game.Frame());
    screen().page = 0;
    game.Move(ButtonX(0, 0, c.button), ButtonY(0));
    game.ButtonDown(0);
    ASSERT_TRUE(game.Frame());  // the switch happens at the end of this very frame
    EXPECT_EQ(!graphics.Windowed(), c.full_after);
    EXPECT_EQ(game.window.Fullscreen(), c.full_after);
    game.ButtonUp(0);
    ASSERT_TRUE(game.Frame());
    EXPECT_EQ(!graphics.Windowed(), c.full_after);  // one switch, not one per frame
    EXPECT_EQ(adv().system_data.Windowed, c.full_after ? 0 : 1);  // the row shows the mode
  }
}

TEST_F(ConfigTest, ButtonsStoreTheirValues) {
  struct Case {
    const char* name;
    int page, row, button;
    std::function<int(const SystemData&)> field;
    int value;
  } cases[] = {
      {"text speed 1", 0, 1, 0, [](const SystemData& d) { return d.TextSpeed; }, 0},
      {"auto speed 8", 0, 3, 7, [](const SystemData& d) { return d.AutoClickSpeed; }, 7},
      {"outline", 0, 2, 2, [](const SystemData& d) { return d.TextStyle; }, 2},
      {"skip unread", 0, 4, 1, [](const SystemData& d) { return d.SkipUnread; }, 1},
      {"auto at choice", 0, 5, 1, [](const SystemData& d) { return d.AutoAtChoice; }, 1},
      {"skip at choice", 0, 6, 1, [](const SystemData& d) { return d.SkipAtChoice; }, 1},
      {"effects none", 0, 7, 0, [](const SystemData& d) { return d.EffectSpeed; }, 2},
      {"effects normal", 0, 7, 1, [](const SystemData& d) { return d.EffectSpeed; }, 0},
      {"effects fast", 0, 7, 2, [](const SystemData& d) { return d.EffectSpeed; }, 1},
      {"movie volume off", 1, 3, 0, [](const SystemData& d) { return d.MovieVolume; }, 0},
      {"movie low res", 1, 4, 0, [](const SystemData& d) { return d.MovieHighRes; }, 0},
      {"last voice group 3", 2, 7, 3, [](const SystemData& d) { return d.VoiceGroupVolume[7]; }, 3},
  };
  Start();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Press(c.page, c.row, c.button);
    EXPECT_EQ(c.field(adv().system_data), c.value);
  }
  EXPECT_EQ(adv().text_box.TextStyle(), 2);  // the text box took the style at once
  EXPECT_FALSE(folder.Exists("system.dat.tmp"));

  // Page 3 is drawn but changes nothing.
  const SystemData before = adv().system_data;
  Press(3, 0, 1);
  Press(3, 1, 3);
  EXPECT_EQ(std::memcmp(&before, &adv().system_data, sizeof before), 0);
}

TEST_F(ConfigTest, VolumeOffIsSilentAtOnce) {
  folder.Write("SOUND/SE/loop.wav", Wav(4800, 16384));
  folder.Write("SOUND/BGM/tone.ogg", ToneOgg(3.0));
  Start();
  Process& p = game.process;
  platform::NullSoundDevice* dev = game.sound.Device();
  ASSERT_NE(dev, nullptr);
  struct Case {
    const char* name;
    int row;  // page 1
    std::function<bool()> start;
    std::function<void()> stop;
  } cases[] = {
      {"music", 0, [&] { return p.bgm.Open("SOUND\\BGM\\tone.ogg") == 0 && p.bgm.Play(true); },
       [&] { p.bgm.Stop(); }},
      {"effects", 1,
       [&] { return p.script_se[2].Load("SOUND\\SE\\loop.wav") && p.script_se[2].Play(true); },
       [&] { p.script_se[2].Stop(); }},
      {"voice", 2,
       [&] { return p.voices[3].Open("SOUND\\BGM\\tone.ogg") == 0 && p.voices[3].Play(true); },
       [&] { p.voices[3].Stop(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(c.start());
    ASSERT_TRUE(WaitFor([&] { return Rms(dev->Render(480)) > 0.1f; }));
    Press(1, c.row, 0);  // "ＯＦＦ"
    // Effects change on the spot; a stream's feeder applies it within a pass of about 8 ms.
    ASSERT_TRUE(WaitFor([&] { return Rms(dev->Render(480)) < 1e-4f; }, 1000));
    Press(1, c.row, 8);
    EXPECT_TRUE(WaitFor([&] { return Rms(dev->Render(480)) > 0.1f; }, 1000));
    c.stop();
  }
  EXPECT_EQ(adv().system_data.SeVolume, 8);
  // Every effect slot of both banks follows the effect volume, not only the one heard.
  Press(1, 1, 0);
  ASSERT_TRUE(p.system_se[5].Load("SOUND\\SE\\loop.wav"));
  ASSERT_TRUE(p.system_se[5].Play(false));
  EXPECT_EQ(p.system_se[5].DeviceBuffer()->Volume(), -9210);  // volume 1, the quietest
}

TEST_F(ConfigTest, EveryDecideSoundsWhereverThePointerWasBefore) {
  Start();
  const size_t at_start = Plays(0);
  game.Move(740, 540);  // over the return button's corner
  ASSERT_TRUE(game.Frame());
  for (int i = 0; i < 3; ++i) Press(0, 1, i);
  ASSERT_TRUE(game.Click(kTabX, TabY(1)));
  EXPECT_EQ(Plays(0), at_start + 4);
  EXPECT_EQ(Plays(1), 0u);  // "cancel.wav" only on leaving
  // A click on nothing is no decide.
  ASSERT_TRUE(game.Click(kOffX, kOffY));
  EXPECT_EQ(Plays(0), at_start + 4);
}

TEST_F(ConfigTest, LeavingSavesTheSettingsAndReturns) {
  struct Case {
    const char* name;
    GameMode opener;
    std::function<void(HeadlessGame&)> leave;
  } cases[] = {
      {"Escape", MODE_TITLE, [](HeadlessGame& g) { ASSERT_TRUE(g.Key(DIK_ESCAPE)); }},
      {"right click", MODE_ADV, [](HeadlessGame& g) { ASSERT_TRUE(g.Click(kOffX, kOffY, 1)); }},
      {"return button", MODE_TITLE,
       [](HeadlessGame& g) { ASSERT_TRUE(g.Click(kReturnX, kReturnY)); }},
      {"Return on the return button", MODE_ADV,
       [](HeadlessGame& g) {
         g.Move(kReturnX, kReturnY);
         ASSERT_TRUE(g.Frame());
         g.Move(kOffX, kOffY);  // it stays chosen for the keys
         ASSERT_TRUE(g.Key(DIK_RETURN));
       }},
  };
  Start();
  adv().SetModeSteps(MODE_ADV, {});  // the story is not under test
  int speed = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    adv().OpenConfig(c.opener);
    ASSERT_TRUE(game.Frame());
    Press(0, 1, speed);
    const size_t cancels = Plays(1);
    ASSERT_EQ(adv().game_mode, MODE_CONFIG);
    c.leave(game);
    EXPECT_EQ(adv().game_mode, c.opener);
    EXPECT_EQ(Plays(1), cancels + 1);
    const Bytes file = folder.Read("system.dat");
    ASSERT_EQ(file.size(), sizeof(SystemData));
    EXPECT_EQ(file[4], speed);  // TextSpeed
    ++speed;
  }
}

TEST_F(ConfigTest, TabsLeadToThreePagesOnly) {
  Start();
  for (int p : {2, 1, 0}) {
    SCOPED_TRACE(p);
    ASSERT_TRUE(game.Click(kTabX, TabY(p)));
    EXPECT_EQ(screen().page, p);
  }
  // Below the last tab, where a fourth would be, and the page-3 caption's place: nothing.
  for (int y : {TabY(3), TabY(3) - 40}) {
    ASSERT_TRUE(game.Click(kTabX, y));
    EXPECT_EQ(screen().page, 0);
  }
  // A button chosen on one page is not pressed on the next by the keys.
  game.Move(ButtonX(0, 7, 2), ButtonY(7));
  ASSERT_TRUE(game.Frame());
  ASSERT_TRUE(game.Click(kTabX, TabY(1)));
  const SystemData before = adv().system_data;
  ASSERT_TRUE(game.Key(DIK_SPACE));
  EXPECT_EQ(std::memcmp(&before, &adv().system_data, sizeof before), 0);
  EXPECT_EQ(adv().game_mode, MODE_CONFIG);
}

TEST_F(ConfigTest, SpeedRowsSayWhichEndIsFastBesideTheirHeadings) {
  Start();
  // Light pixels right of the heading line of a row, clear of the heading and the buttons.
  auto light = [&](int row) {
    int n = 0;
    for (int y = 96 + 64 * (row - 1); y < 124 + 64 * (row - 1); ++y)
      for (int x = 420; x < 664; ++x) n += (Pixel(x, y) >> 16) > 0x80;
    return n;
  };
  EXPECT_GT(light(1), 0);  // text speed
  EXPECT_GT(light(3), 0);  // auto speed
  EXPECT_EQ(light(2), 0);  // the text style has no scale
  EXPECT_EQ(light(4), 0);
}

TEST_F(ConfigTest, TheFlagMovesBehindThePanels) {
  Start();
  ASSERT_TRUE(game.Frames(30, 100));  // a few gusts have crossed the cloth
  const std::vector<uint32_t> first = FlagStrip();
  ASSERT_TRUE(game.Frame(100));
  const std::vector<uint32_t> second = FlagStrip();
  size_t lit = 0, changed = 0;
  for (size_t i = 0; i < first.size(); ++i) {
    lit += first[i] != 0;
    changed += first[i] != second[i];
  }
  EXPECT_GT(lit, first.size() * 9 / 10);  // the cloth fills the view behind the panels
  EXPECT_GT(changed, first.size() / 20);
}

TEST_F(ConfigTest, AMissingFlagPictureLeavesAnEmptyFlag) {
  Start(false);
  ASSERT_TRUE(game.Frames(5, 100));
  for (uint32_t px : FlagStrip()) ASSERT_EQ(px, 0u);
}

}  // namespace
