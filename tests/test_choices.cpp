// The choices on the headless engine: "@select" boxes (layout, hover, keys, decide and its
// targets) and the "@battle_select" timed choice (availability, time bar, beeps, timeout), with
// the system sounds they play heard through the null sound device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/dik.h"
#include "platform/sjis.h"
#include "resource/image.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

using Bytes = std::vector<uint8_t>;

// 0.1 s of a constant level, 16-bit mono at 48 kHz: loud enough to hear in any rendered block.
Bytes LevelWav() { return testing_support::DcWav(4800, 1, 48000, 16, 0.5f, 0.5f); }

using testing_support::GameFolder;
using testing_support::ScriptFile;

// A picture whose every pixel names its own position, so a misplaced tile shows.
uint32_t TileColour(int x, int y) {
  return 0x800000u | static_cast<uint32_t>(x) << 8 | y;
}
Bytes PositionPng(int w, int h) {
  CImage32 image;
  image.Create(w, h);
  uint8_t* p = image.Pixels();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x, p += 4) {
      const uint32_t c = TileColour(x, y);
      p[0] = c & 0xFF;
      p[1] = (c >> 8) & 0xFF;
      p[2] = (c >> 16) & 0xFF;
      p[3] = 255;
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

uint64_t Checksum(const uint32_t* frame) {
  uint64_t h = 1469598103934665603ull;
  for (int i = 0; i < 800 * 600; ++i) {
    h ^= frame[i] & 0xFFFFFF;
    h *= 1099511628211ull;
  }
  return h;
}

using Scripts = std::vector<std::pair<std::string, std::string>>;

// A game in `folder` with these scripts ("name" -> "SCP\name.scp") and extra system entries,
// the timed choice's three sounds on disk unless `sounds` is false; the story runs "main".
void Start(const GameFolder& folder, HeadlessGame& game, const Scripts& scripts,
           std::vector<PackSource> entries = {}, bool sounds = true) {
  for (const auto& [name, text] : scripts)
    entries.push_back({"SCP\\" + name + ".scp", ScriptFile(text)});
  folder.Write("system.pkd", *BuildPack(entries));
  folder.WriteEmptyArchive("thumb.pkd");
  folder.WriteEmptyArchive("grp.pkd");
  if (sounds)
    for (const char* f : {"watch01", "beep01", "beep02"})
      folder.Write(std::string("SOUND/SE/SYSTEM/") + f + ".wav", LevelWav());
  game.process.log.SetEcho(std::getenv("H3_ECHO") != nullptr);
  ASSERT_TRUE(game.Boot());
  game.Move(0, 0);
  CADV& adv = game.process.adv;
  ASSERT_TRUE(adv.script.Load("SCP\\main.scp"));
  adv.game_mode = MODE_ADV;
  adv.adv_state = ADV_RUNNING;
}

class ChoiceTest : public ::testing::Test {
 protected:
  void Boot(const Scripts& scripts, std::vector<PackSource> entries = {}) {
    Start(folder, game, scripts, std::move(entries));
  }
  CADV& adv() { return game.process.adv; }
  uint32_t Pixel(int x, int y) const {
    return game.process.graphics.Frame()[y * 800 + x] & 0xFFFFFF;
  }
  bool Logged(std::string_view utf8) const { return game.process.log.Count(SJ(utf8)) > 0; }
  int32_t& Local(int i) { return adv().save_record.LocalVariables[i]; }
  // Writes the frame for a look by eye when LANTHORN_CHOICE_SHOTS names a folder.
  void Shot(const char* name) const {
    if (const char* dir = std::getenv("LANTHORN_CHOICE_SHOTS"))
      SavePNG(std::string(dir) + "/" + name + ".png",
              reinterpret_cast<const uint8_t*>(game.process.graphics.Frame()), 800, 600, 800 * 4,
              PngChannels::Rgb);
  }
  // Runs frames until the story shows a choice (at most a few).
  void UntilChoice(AdvState state) {
    for (int i = 0; i < 5 && adv().adv_state != state; ++i) ASSERT_TRUE(game.Frame());
    ASSERT_EQ(adv().adv_state, state);
  }
  // Plays of a sound so far: every play sets the buffer's volume once.
  size_t Plays(int slot) const {
    const platform::SoundBuffer* b = game.process.system_se[slot].DeviceBuffer();
    return b ? b->VolumeHistory().size() : 0;
  }
  // Near-white pixels in a rectangle: the timed choice's labels.
  int WhitePixels(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const uint32_t c = Pixel(x, y);
        n += (c >> 16) > 0xE0 && ((c >> 8) & 0xFF) > 0xE0 && (c & 0xFF) > 0xE0;
      }
    return n;
  }

  GameFolder folder;
  HeadlessGame game;
};

std::string Select(int n) {
  std::string s = "@select {\n";
  for (int i = 0; i < n; ++i) s += "choice" + std::to_string(i) + ",*here\n";
  return s + "}\nhere:\n";
}

TEST_F(ChoiceTest, BoxesStandInAColumnCentredOnTheScreen) {
  struct Case {
    int count;
    int first_top;
  } cases[] = {{1, 262}, {2, 232}, {3, 202}, {4, 172}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    GameFolder other;  // each case boots its own game
    HeadlessGame g;
    Start(other, g, {{"main", Select(c.count)}});
    ASSERT_TRUE(g.Frame());
    ASSERT_EQ(g.process.adv.adv_state, ADV_CHOICE);
    EXPECT_EQ(g.process.adv.choice.list.count, c.count);
    // The selected first box is the blue one: exactly rows first_top … first_top + 27.
    const uint32_t* f = g.process.graphics.Frame();
    EXPECT_EQ(f[(c.first_top - 1) * 800 + 200] & 0xFFFFFF, 0u);
    EXPECT_EQ(f[c.first_top * 800 + 200] & 0xFFFFFF, 0x0040A0u);
    EXPECT_EQ(f[(c.first_top + 27) * 800 + 200] & 0xFFFFFF, 0x0040A0u);
    EXPECT_EQ(f[(c.first_top + 28) * 800 + 200] & 0xFFFFFF, 0u);
    EXPECT_EQ(f[(c.first_top + 14) * 800 + 143] & 0xFFFFFF, 0u);
    EXPECT_EQ(f[(c.first_top + 14) * 800 + 656] & 0xFFFFFF, 0u);
  }
}

TEST_F(ChoiceTest, PointerPicksTheBoxUnderItAndArrowsCycle) {
  Boot({{"main", Select(3)}});
  UntilChoice(ADV_CHOICE);
  // Boxes at 202, 262, 322.
  game.Move(400, 322 + 14);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().choice.hovered, 2);
  EXPECT_EQ(Pixel(200, 330), 0x0040A0u);
  EXPECT_EQ(Pixel(200, 210), 0u);  // the first box is no longer lit
  game.Move(400, 262 - 10);  // between boxes: the selection stays
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().choice.hovered, 2);

  game.Move(0, 0);
  const struct {
    uint8_t key;
    int hovered;
  } keys[] = {{DIK_DOWN, 0}, {DIK_UP, 2}, {DIK_UP, 1}, {DIK_DOWN, 2}};
  for (const auto& k : keys) {
    ASSERT_TRUE(game.Key(k.key));
    EXPECT_EQ(adv().choice.hovered, k.hovered);
  }
  EXPECT_EQ(adv().adv_state, ADV_CHOICE);  // nothing decided yet
}

TEST_F(ChoiceTest, DecideFollowsALabelOrLoadsAScript) {
  const std::string main =
      "@select {\nはい,*yes\nいいえ,next\n戻る,gone\n}\n"
      "$[1] = 1\n"
      "yes:\n$[2] = 1\n";
  struct Case {
    const char* name;
    int pick;  // the box decided
    bool by_click;
    const char* log;  // utf-8
    int variable;  // set once the story has gone on (-1: a failed load leaves no script)
  } cases[] = {
      {"label by click", 0, true, "JUMP : ラベル *yes ", 2},
      {"script by Return", 1, false, "Load Script [SCP\\next.scp]", 3},
      {"missing script", 2, false, "ERROR: Load fail [SCP\\gone.scp]", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GameFolder other;
    HeadlessGame g;
    Start(other, g, {{"main", main}, {"next", "$[3] = 1\n"}});
    CADV& a = g.process.adv;
    ASSERT_TRUE(g.Frame());
    ASSERT_EQ(a.adv_state, ADV_CHOICE);
    // A click beside the boxes decides nothing.
    ASSERT_TRUE(g.Click(700, 262 + 14));
    ASSERT_EQ(a.adv_state, ADV_CHOICE);
    if (c.by_click) {
      ASSERT_TRUE(g.Click(400, 202 + 60 * c.pick + 14));
    } else {
      g.Move(0, 0);
      for (int i = 0; i < c.pick; ++i) ASSERT_TRUE(g.Key(DIK_DOWN));
      ASSERT_TRUE(g.Key(DIK_RETURN));
    }
    EXPECT_TRUE(a.choice.decided);
    EXPECT_GT(g.process.log.Count(SJ(c.log)), 0);
    EXPECT_EQ(a.adv_state, ADV_RUNNING);
    ASSERT_TRUE(g.Frames(3));
    if (c.variable < 0) continue;
    EXPECT_EQ(a.save_record.LocalVariables[c.variable], 1);
    if (c.variable == 2) {
      EXPECT_EQ(a.save_record.LocalVariables[1], 0);  // jumped over
    }
  }
}

TEST_F(ChoiceTest, TokensWithoutACommaAreNoChoices) {
  Boot({{"main", "@select {\nnocomma\nはい,*here\n}\nhere:\n@select {\nnone\n}\n$[5] = 1\n"}});
  UntilChoice(ADV_CHOICE);
  EXPECT_EQ(adv().choice.list.count, 1);
  EXPECT_EQ(Pixel(200, 262), 0x0040A0u);  // one box, in the one-choice place
  ASSERT_TRUE(game.Key(DIK_RETURN));
  // The block with no choice shows nothing and does not hold the story.
  ASSERT_TRUE(game.Frames(3));
  EXPECT_EQ(Local(5), 1);
  EXPECT_NE(adv().adv_state, ADV_CHOICE);
  EXPECT_TRUE(Logged("@select : no choice to show"));
}

TEST_F(ChoiceTest, SkipAndAutoEndAtAChoiceUnlessTheSettingsKeepThem) {
  const struct {
    bool timed;
    uint8_t skip_at, auto_at;
  } cases[] = {{false, 1, 0}, {false, 0, 1}, {true, 1, 0}, {true, 0, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.timed << " " << int{c.skip_at} << int{c.auto_at});
    GameFolder other;
    HeadlessGame g;
    Start(other, g, {{"main", c.timed ? "@battle_select {\na,*x,0\n},9,*x\nx:\n" : Select(2)}});
    CADV& a = g.process.adv;
    a.script_state.skip_mode = true;
    a.story.auto_mode = true;
    a.system_data.SkipAtChoice = c.skip_at;
    a.system_data.AutoAtChoice = c.auto_at;
    ASSERT_TRUE(g.Frame());
    ASSERT_EQ(a.adv_state, c.timed ? ADV_TIMED_CHOICE : ADV_CHOICE);
    EXPECT_EQ(a.script_state.skip_mode, c.skip_at == 1);
    EXPECT_EQ(a.story.auto_mode, c.auto_at == 1);
  }
}

// --- the timed choice

TEST_F(ChoiceTest, TimedItemsNeedTheirRequirementAtLeastLocal99) {
  Boot({{"main",
         "$[99] = 1\n"
         "@battle_select {\na,*zero,0\nb,*one,1\nc,*two,2\n},30,*late\n"
         "zero:\n$[10] = 1\none:\n$[11] = 1\ntwo:\n$[12] = 1\nlate:\n"}});
  UntilChoice(ADV_TIMED_CHOICE);
  ASSERT_TRUE(game.Frame());
  // Labels only for items 1 and 2; item 0 (requirement 0 < 1) is not drawn.
  EXPECT_EQ(WhitePixels(330, 222, 440, 250), 0);
  EXPECT_GT(WhitePixels(330, 254, 440, 282), 0);
  EXPECT_GT(WhitePixels(330, 286, 440, 314), 0);

  game.Move(400, 220 + 64 + 16);  // item 2
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().choice.hovered, 2);
  game.Move(400, 220 + 16);  // item 0 is not available: the selection stays
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().choice.hovered, 2);
  ASSERT_TRUE(game.Click(400, 220 + 16));  // and a click there decides nothing
  EXPECT_EQ(adv().adv_state, ADV_TIMED_CHOICE);
  game.Move(400, 252);  // the rows' edges belong to neither
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(adv().choice.hovered, 2);

  ASSERT_TRUE(game.Click(400, 220 + 32 + 16));  // item 1
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);
  EXPECT_TRUE(Logged("JUMP : ラベル *one "));
}

TEST_F(ChoiceTest, TimeBarLightsBySegmentAndBeepsOncePerRedSegment) {
  Boot({{"main", "@battle_select {\na,*x,0\n},1,*x\nx:\n"}});
  UntilChoice(ADV_TIMED_CHOICE);  // drawn at 0 ms; 16 ms have passed
  // Segment k lights once k × 1000 / 30 (integer) is below the elapsed time: 1 at 34 ms, 21 at
  // 701 ms, 29 at 967 ms.
  auto lit = [&](int k) { return Pixel(194 + 10 * k, 199) == (k < 15 ? 0x55CC66u : 0xCC3300u); };
  // A frame draws the bar at the time passed before it; this one draws at `ms`.
  auto run_to = [&](int32_t ms) {
    if (adv().choice.elapsed < ms) {
      ASSERT_TRUE(game.Frame(static_cast<uint32_t>(ms - adv().choice.elapsed)));
    }
    ASSERT_TRUE(game.Frame(1));
  };
  // Dimmed: half over the black screen, even segment 0 at 0 ms.
  EXPECT_NE(Pixel(194, 199), 0x55CC66u);
  EXPECT_NE(Pixel(194, 199), 0u);
  run_to(33);
  EXPECT_TRUE(lit(0));
  EXPECT_FALSE(lit(1));
  run_to(34);
  EXPECT_TRUE(lit(1));
  const size_t beeps = Plays(5);
  run_to(700);
  EXPECT_FALSE(lit(21));
  EXPECT_EQ(Plays(5), beeps);
  run_to(701);
  EXPECT_TRUE(lit(21));
  EXPECT_EQ(Plays(5), beeps + 1);
  for (int32_t ms = 711; ms <= 1000; ms += 10) run_to(ms);
  EXPECT_TRUE(lit(29));
  EXPECT_EQ(Plays(5), beeps + 9);  // 21 … 29, each once
  EXPECT_EQ(adv().adv_state, ADV_TIMED_CHOICE);
}

TEST_F(ChoiceTest, SegmentsLitInOneFrameBeepOnce) {
  Boot({{"main", "@battle_select {\na,*x,0\n},1,*x\nx:\n"}});
  UntilChoice(ADV_TIMED_CHOICE);
  const size_t beeps = Plays(5);
  ASSERT_TRUE(game.Frame(900));  // draws at 16 ms
  ASSERT_TRUE(game.Frame(16));  // draws at 916 ms: 21 … 27 light together
  EXPECT_EQ(Plays(5), beeps + 1);
}

TEST_F(ChoiceTest, ADecisionOrTheTimeoutStopsTheWatch) {
  const std::string main =
      "@battle_select {\na,*first,0\nb,*second,0\n},1,*late\n"
      "first:\n$[1] = 1\nsecond:\n$[2] = 1\nlate:\n$[3] = 1\n";
  struct Case {
    const char* name;
    bool wait_out;
    const char* log;
  } cases[] = {{"decided", false, "JUMP : ラベル *second "},
               {"timed out", true, "JUMP : ラベル *late "}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GameFolder other;
    HeadlessGame g;
    Start(other, g, {{"main", main}});
    CADV& a = g.process.adv;
    Process& p = g.process;
    ASSERT_TRUE(g.Frame());
    ASSERT_EQ(a.adv_state, ADV_TIMED_CHOICE);
    EXPECT_TRUE(p.system_se[4].IsPlaying());
    EXPECT_TRUE(p.system_se[4].Looping());
    EXPECT_EQ(p.system_se[4].FileName(), "SOUND\\SE\\SYSTEM\\watch01.wav");

    if (c.wait_out) {
      ASSERT_TRUE(g.Frame(1500));  // draws at 16 ms, then 1516 ms are past the limit
      EXPECT_EQ(a.choice.hovered, 4);
    } else {
      ASSERT_TRUE(g.Key(DIK_DOWN));
      ASSERT_TRUE(g.Key(DIK_RETURN));
    }
    EXPECT_EQ(a.adv_state, ADV_RUNNING);
    EXPECT_GT(p.log.Count(SJ(c.log)), 0);
    EXPECT_FALSE(p.system_se[4].IsPlaying());
    EXPECT_FALSE(p.system_se[4].DeviceBuffer()->IsPlaying());
    // Only the timeout beeps; nothing else is left sounding.
    platform::NullSoundDevice* dev = g.sound.Device();
    ASSERT_NE(dev, nullptr);
    const std::vector<float> heard = dev->Render(480);
    float peak = 0;
    for (float s : heard) peak = std::max(peak, std::fabs(s));
    if (c.wait_out) {
      EXPECT_TRUE(p.system_se[6].DeviceBuffer()->IsPlaying());
      EXPECT_GT(peak, 0.1f);
    } else {
      EXPECT_FALSE(p.system_se[6].IsPlaying());
      EXPECT_EQ(peak, 0.0f);
    }
    ASSERT_TRUE(g.Frames(2));
    EXPECT_EQ(a.save_record.LocalVariables[3], 1);
    EXPECT_EQ(a.save_record.LocalVariables[2], c.wait_out ? 0 : 1);
  }
}

TEST_F(ChoiceTest, TimedRowsShowEachItemsOwnWordsAfterItsLabel) {
  // Words of its own; the label itself; none; more than the row holds.
  Boot({{"main",
         "@battle_select {\n花火を見上げる,*x,0\n選択肢②,*x,0\n,*x,0\n"
         "ながいながいながいながいながいながいながいながい,*x,0\n},60,*x\nx:\n"}});
  UntilChoice(ADV_TIMED_CHOICE);
  const auto& rows = adv().choice.timed_labels;
  EXPECT_EQ(rows[0].Text(), SJ("選択肢① 花火を見上げる"));
  EXPECT_EQ(rows[1].Text(), SJ("選択肢②"));
  EXPECT_EQ(rows[2].Text(), SJ("選択肢③"));
  EXPECT_EQ(rows[3].Count(), 23);  // cut to the 670 pixels of the row
  EXPECT_EQ(rows[3].Text().rfind(SJ("選択肢④ "), 0), 0u);
  ASSERT_TRUE(game.Frame());
  // The rows start in one column under the widest, centred on x 384: the labels line up.
  for (const auto& row : rows) EXPECT_EQ(row.X(), 384 - 23 * 28 / 2);
  // Words drawn after the first label, nothing after the second's.
  const int after_label = 384 - 23 * 28 / 2 + 5 * 28;
  EXPECT_GT(WhitePixels(after_label, 222, after_label + 7 * 28, 250), 0);
  EXPECT_EQ(WhitePixels(after_label, 254, 734, 282), 0);
  Shot("timed_texts");
}

TEST_F(ChoiceTest, BattlePictureIsCutIntoTilesOverThreeTextures) {
  Boot({{"main", "@battle_select {\na,*x,0\n},60,*x\nx:\n"}},
       {{"SYSTEM\\battle_select.png", PositionPng(704, 192)}});
  UntilChoice(ADV_TIMED_CHOICE);
  ASSERT_TRUE(game.Frame(400));
  Shot("timed");
  // Rows 0 and 11 lie clear of the bar and the highlight; columns across all three textures
  // (tiles 0-255, 256-511, 512-527).
  for (int row : {0, 11})
    for (int col : {0, 5, 15, 16, 27, 28, 43}) {
      SCOPED_TRACE(testing::Message() << "row " << row << " column " << col);
      const int x = 16 * col + 7, y = 16 * row + (row == 0 ? 3 : 12);
      EXPECT_EQ(Pixel(48 + x, 172 + y), TileColour(x, y));
    }
  EXPECT_FALSE(Logged("SYSTEM\\battle_select.png could not be loaded"));
}

TEST_F(ChoiceTest, SystemSoundsFillTheirSlotsAndMissingOnesAreLogged) {
  folder.Write("SOUND/SE/SYSTEM/ok.wav", LevelWav());
  Boot({{"main", "$[0] = 0\n"}});  // watch01, beep01, beep02 too
  const char* names[7] = {"ok", "cancel", "logo", "test", "watch01", "beep01", "beep02"};
  for (int i = 0; i < 7; ++i) {
    SCOPED_TRACE(names[i]);
    const std::string path = std::string("SOUND\\SE\\SYSTEM\\") + names[i] + ".wav";
    const bool present = i == 0 || i >= 4;
    EXPECT_EQ(game.process.system_se[i].FileName(), present ? path : "");
    EXPECT_EQ(Logged(path + " could not be loaded"), !present);
  }
  // Without the picture and the sounds the timed choice still runs.
  EXPECT_TRUE(Logged("SYSTEM\\battle_select.png could not be loaded"));
}

// The second system texture with only the panel corner: a quarter disc, so the boxes show
// their rounded corners.
Bytes CornerTexture() {
  CImage32 image;
  image.Create(256, 256);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const double dx = 8 - (x + 0.5), dy = 8 - (y + 0.5);
      uint8_t* p = image.Pixels() + ((224 + y) * 256 + 240 + x) * 4;
      p[0] = p[1] = p[2] = 255;
      p[3] = dx * dx + dy * dy <= 64 ? 255 : 0;
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

TEST_F(ChoiceTest, ThreeChoiceScreenGolden) {
  Boot({{"main", "@select {\nはい,*here\nいいえ,*here\n①わからない,*here\n}\nhere:\n"}},
       {{"SYSTEM\\systex2.png", CornerTexture()}});
  UntilChoice(ADV_CHOICE);
  game.Move(400, 262 + 14);
  ASSERT_TRUE(game.Frame());
  EXPECT_EQ(Pixel(144, 262), 0u);  // the rounded corner leaves the box's corner pixel
  EXPECT_EQ(Pixel(148, 266), 0x0040A0u);
  Shot("choices");
  EXPECT_EQ(Checksum(game.process.graphics.Frame()), 12521122161398075669ull);
}

TEST_F(ChoiceTest, TimedChoiceWithItemWordsGolden) {
  Boot({{"main", "@battle_select {\n花火を見上げる,*x,0\nひなの手を取る,*x,0\n},60,*x\nx:\n"}},
       {{"SYSTEM\\systex2.png", CornerTexture()}});
  UntilChoice(ADV_TIMED_CHOICE);
  game.Move(400, 220 + 32 + 16);
  ASSERT_TRUE(game.Frame(500));
  EXPECT_EQ(adv().choice.hovered, 1);
  Shot("timed_golden");
  EXPECT_EQ(Checksum(game.process.graphics.Frame()), 14016299290586157920ull);
}

}  // namespace
