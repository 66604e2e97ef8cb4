// The story mode on the headless engine: text timing, decide and hide rules, skip, Ctrl and
// auto, the timed wait, the ending, the text and window commands, and the button bar. Scripts
// are written here in UTF-8 with "\n" line ends and packed as the game has them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/dik.h"
#include "platform/sjis.h"
#include "support/game_folder.h"

namespace {

using testing_support::GameFolder;
using testing_support::ScriptFile;

constexpr const char* kShow = "@textwindow_fast show\n";

class StoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteEmptyArchive("system.pkd");
    folder.WriteEmptyArchive("thumb.pkd");
    folder.WriteEmptyArchive("grp.pkd");
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
    adv().game_mode = MODE_ADV;
    adv().system_data.TextSpeed = 7;
  }
  CADV& adv() { return game.process.adv; }
  // A fresh start of the script: the story state as a new game has it.
  void Run(std::string_view utf8) {
    const std::vector<uint8_t> b = ScriptFile(utf8);
    ASSERT_TRUE(adv().script.LoadFromMemory("SCP\\t.scp", b.data(), b.size()));
    adv().adv_state = ADV_RUNNING;
  }
  int32_t Local(int i) { return adv().save_record.LocalVariables[i]; }
  bool Logged(std::string_view utf8) const { return game.process.log.Contains(SJ(utf8)); }
  int Count(std::string_view utf8) const { return game.process.log.Count(SJ(utf8)); }
  // One frame with the key held, then let go (no frame after).
  void Press(uint8_t dik, uint32_t ms = 16) {
    game.KeyDown(dik);
    game.Frame(ms);
    game.KeyUp(dik);
  }
  // The click's frame, then one with the button up and the pointer away.
  void ClickAt(int x, int y, int button = 0) {
    game.Move(x, y);
    game.ButtonDown(button);
    game.Frame();
    game.ButtonUp(button);
    game.Move(10, 10);
    game.Frame();
  }
  // Frames until the state is `s` (at most n); true when it got there.
  bool FramesUntil(AdvState s, int n = 200, uint32_t ms = 16) {
    for (int i = 0; i < n && adv().adv_state != s; ++i) game.Frame(ms);
    return adv().adv_state == s;
  }

  GameFolder folder;
  HeadlessGame game;
};

TEST_F(StoryTest, CharactersAppearAtTheTextSpeed) {
  // Glyphs shown after n frames of ms in the appearing state (the frame that ran "@text" first).
  struct Case {
    int speed;
    uint32_t ms;
    std::vector<int> glyphs;  // after frame 1, 2, ...
  } cases[] = {
      {7, 16, {3}},  // the whole page in the first frame
      {6, 16, {1, 2, 3}},  // shorter than a frame: one character each frame
      {0, 100, {0, 0, 1, 1, 1, 2, 2, 3}},  // 250 ms each, the overshoot kept
      {3, 16, {0, 0, 0, 0, 1, 1, 1, 1, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed);
    adv().system_data.TextSpeed = c.speed;
    Run("@text,0 {\nあいう\n}\n");
    game.Frame(c.ms);
    ASSERT_EQ(adv().adv_state, ADV_TEXT);
    for (size_t i = 0; i < c.glyphs.size(); ++i) {
      game.Frame(c.ms);
      EXPECT_EQ(adv().text_box.GlyphCount(), c.glyphs[i]) << "frame " << i + 1;
    }
    if (c.speed == 7) {
      EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
      EXPECT_TRUE(adv().text_box.CursorVisible());  // at once
    }
  }
}

TEST_F(StoryTest, DecideRevealsThenEndsThePageAndStopsAtPauseSigns) {
  adv().system_data.TextSpeed = 0;
  Run(std::string(kShow) + "@text,0 {\nあ▽いう\n}\n$[1] = 1\n");
  game.Frames(2);
  ASSERT_EQ(adv().adv_state, ADV_TEXT);
  Press(DIK_RETURN);  // the rest up to the pause sign
  EXPECT_EQ(adv().adv_state, ADV_PAUSED);
  EXPECT_EQ(adv().text_box.GlyphCount(), 2);  // the sign is shown as a blank
  EXPECT_TRUE(adv().text_box.CursorVisible());

  // While the pointer rests on the menu button nothing decides.
  game.Move(760, 420);
  Press(DIK_RETURN);
  game.Frame();
  EXPECT_EQ(adv().adv_state, ADV_PAUSED);
  EXPECT_FALSE(adv().system_menu_open);  // only a click or Backspace opens it

  ClickAt(300, 200);
  EXPECT_EQ(adv().adv_state, ADV_TEXT);
  EXPECT_FALSE(adv().text_box.CursorVisible());
  Press(DIK_SPACE);
  EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
  EXPECT_EQ(adv().text_box.GlyphCount(), 4);
  game.Frames(30);
  EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);  // waits for the player
  Press(DIK_NUMPADENTER);
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);
  EXPECT_FALSE(adv().text_box.CursorVisible());
  game.Frame();
  EXPECT_EQ(Local(1), 1);
}

TEST_F(StoryTest, NoWaitPageEndsWithoutAClickAndTheNextStatementRunsAFrameLater) {
  Run("@text,0 {\nあ\nい\nう\n},nowait\n$[1] = 1\n");
  game.Frame();  // "@text"
  game.Frame();  // the page appears and ends
  EXPECT_EQ(adv().text_box.GlyphCount(), 3);
  EXPECT_FALSE(adv().text_box.CursorVisible());
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);
  EXPECT_EQ(Local(1), 0);
  game.Frame();
  EXPECT_EQ(Local(1), 1);
}

TEST_F(StoryTest, PageTakesItsSpeakerFromTheNameTableAndDropsAFourthLine) {
  const std::string table =
      "@def_text {\n"
      "0 ナレ FFF0 off\n"
      "3 あかね 0xF48C on\n"
      "}\n";
  struct Case {
    const char* token;
    const char* name;
    uint16_t colour;
    bool plate;
    bool reported;
  } cases[] = {
      {"@text,3", "あかね", 0xF48C, true, false},
      {"@text,200", "ナレ", 0xFFF0, false, true},
      {"@text,-1", "ナレ", 0xFFF0, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.token);
    const int reports = Count("キャラ名番号が(0-127)の範囲にありません");
    const int dropped = Count("ERROR: too many text line. ignore more than 3 text line.");
    const int pages = adv().history.count;
    Run(table + c.token + " {\nいち\nに\nさん\nよん\n}\n");
    game.Frames(2);
    EXPECT_EQ(adv().text_box.Name(), SJ(c.name));
    EXPECT_EQ(adv().text_box.TextColor(), c.colour);
    EXPECT_EQ(adv().text_box.NamePlate(), c.plate);
    EXPECT_EQ(Count("キャラ名番号が(0-127)の範囲にありません"), reports + (c.reported ? 1 : 0));
    EXPECT_EQ(Count("ERROR: too many text line. ignore more than 3 text line."), dropped + 1);
    EXPECT_EQ(adv().text_box.Line(2), SJ("さん"));
    EXPECT_EQ(adv().text_box.GlyphCount(), 2 + 1 + 2);  // the fourth line is not shown
    EXPECT_EQ(adv().history.count, pages + 1);
    EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
  }
  // The table is kept in the save record too (22 bytes an entry; the colour at 18).
  EXPECT_EQ(adv().save_record.CharacterNames[3 * 22 + 18], 0x8C);
}

TEST_F(StoryTest, SkipModePassesReadPagesAndStopsAtUnreadOnes) {
  const char* script =
      "@text,0 {\nいち\n}\n"
      "@text,0 {\nに\n}\n"
      "$[1] = 1\n";
  // The first reading: both pages clicked through.
  Run(script);
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(FramesUntil(ADV_PAGE_WAIT));
    Press(DIK_RETURN);
  }
  struct Case {
    bool skip_unread;
    bool passes_second;
  } cases[] = {{false, false}, {true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.skip_unread);
    adv().system_data.SkipUnread = c.skip_unread;
    adv().save_record.LocalVariables[1] = 0;
    adv().script_state.skip_mode = true;
    Run(script);
    game.Frames(12);
    EXPECT_EQ(Local(1), c.passes_second ? 1 : 0);
    if (!c.passes_second) {
      // Stopped at the second page (its position is not below the one recorded), and skip
      // mode ended there, so its button does not stay lit over a page that waits.
      EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
      EXPECT_EQ(adv().text_box.Line(0), SJ("に"));
      EXPECT_FALSE(adv().script_state.skip_mode);
      ClickAt(300, 200);  // a click ends the page
      game.Frame();
      EXPECT_EQ(Local(1), 1);
    }
    adv().script_state.skip_mode = false;
  }
}

TEST_F(StoryTest, CtrlPassesPagesPauseSignsAndWaitsButNotTheEnding) {
  adv().system_data.TextSpeed = 0;
  Run("@text,0,akane_0001 {\nあ▽い▽う\n}\n"
      "@wait 100000\n"
      "$[1] = 1\n"
      "@ending_start\n"
      "@wait 1000\n"
      "$[2] = 1\n");
  game.KeyDown(DIK_LCONTROL);
  game.Frames(20);
  EXPECT_EQ(Local(1), 1);
  EXPECT_FALSE(Logged("voice play"));  // no voice starts while skipping
  // The ending's wait takes its whole time, Ctrl or not.
  const ScriptState& st = adv().script_state;
  ASSERT_TRUE(st.ending);
  ASSERT_TRUE(st.wait_running);
  const int frames_left = static_cast<int>(st.wait_duration - st.wait_elapsed) / 16;
  game.Frames(frames_left - 1);
  EXPECT_TRUE(st.wait_running);
  game.Frames(3);
  EXPECT_EQ(Local(2), 1);
  game.KeyUp(DIK_LCONTROL);
}

TEST_F(StoryTest, TimedWaitCountsTheFrameTime) {
  Run("@wait 500\n$[1] = 1\n");
  game.Frames(5, 90);  // 450 ms counted, from the command's own frame
  EXPECT_TRUE(adv().script_state.wait_running);
  game.Frame(90);  // over in the draw step; the script goes on in the next frame
  EXPECT_FALSE(adv().script_state.wait_running);
  EXPECT_EQ(Local(1), 0);
  game.Frame(1);
  EXPECT_EQ(Local(1), 1);
}

TEST_F(StoryTest, AutoModeAtSpeedZeroWaitsOneSecond) {
  adv().system_data.AutoClickSpeed = 0;
  Run(std::string(kShow) + "@text,0 {\nあ\n}\n$[1] = 1\n");
  game.Frame();
  Press(DIK_4);  // the bar's auto key, in the frame that runs "@text"
  ASSERT_TRUE(adv().story.auto_mode);
  game.Frame();  // the page appears: the auto timer starts at 0
  ASSERT_EQ(adv().adv_state, ADV_PAGE_WAIT);
  game.Frames(9, 100);
  EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
  game.Frame(100);
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);
  Press(DIK_4);
  EXPECT_FALSE(adv().story.auto_mode);
}

TEST_F(StoryTest, HiddenWindowComesBackInTheStateItWasIn) {
  struct Case {
    const char* what;
    uint8_t hide_key;  // 0: a right click
    uint8_t show_key;
    AdvState state;
  } cases[] = {
      {"right click, Return", 0, DIK_RETURN, ADV_PAGE_WAIT},
      {"Escape, Tab", DIK_ESCAPE, DIK_TAB, ADV_PAGE_WAIT},
      {"left Shift, Space", DIK_LSHIFT, DIK_SPACE, ADV_PAUSED},
      {"Tab, right Shift", DIK_TAB, DIK_RSHIFT, ADV_TEXT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    adv().system_data.TextSpeed = c.state == ADV_TEXT ? 0 : 7;
    Run(std::string(kShow) +
        (c.state == ADV_PAUSED ? "@text,0 {\nあ▽い\n}\n" : "@text,0 {\nあい\n}\n"));
    game.Frames(3);
    ASSERT_EQ(adv().adv_state, c.state);
    const int glyphs = adv().text_box.GlyphCount();
    if (c.hide_key == 0) {
      ClickAt(300, 200, 1);
    } else {
      Press(c.hide_key);
    }
    EXPECT_EQ(adv().adv_state, ADV_PLAYER_HIDE);
    ASSERT_TRUE(FramesUntil(c.state));
    EXPECT_TRUE(adv().text_hidden_by_player);
    EXPECT_EQ(adv().text_box.BoxAlpha(), 0);
    game.Frames(40);  // the page stands still while hidden
    EXPECT_EQ(adv().adv_state, c.state);
    EXPECT_EQ(adv().text_box.GlyphCount(), glyphs);

    Press(c.show_key);
    EXPECT_EQ(adv().adv_state, ADV_PLAYER_SHOW);
    ASSERT_TRUE(FramesUntil(c.state));
    EXPECT_FALSE(adv().text_hidden_by_player);
    EXPECT_EQ(adv().text_box.BoxAlpha(), 255);
  }
}

TEST_F(StoryTest, WindowCommandsSetTheirStatesAndAlphas) {
  struct Case {
    const char* command;
    AdvState during;  // after the command's frame
    bool hidden;  // by the script, in the end
    int alpha;  // in the end (-1: not checked)
  } cases[] = {
      {"@textwindow_fast show", ADV_RUNNING, false, 255},
      {"@textwindow_fast hide", ADV_RUNNING, true, 0},
      {"@textwindow show", ADV_WINDOW_FADE_IN, false, 255},
      {"@textwindow hide", ADV_WINDOW_FADE_OUT, true, 0},
      {"@textwindow_fx1 show", ADV_WINDOW_DISSOLVE_IN, false, 255},
      {"@textwindow_fx2 hide", ADV_WINDOW_DISSOLVE_OUT, true, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    Run(std::string(kShow) + "@text,0 {\nあ\n},nowait\n" + c.command + "\n$[1] = 1\n");
    adv().save_record.LocalVariables[1] = 0;
    game.Frames(3);  // the window, the page, the page ends
    game.Frame();
    EXPECT_EQ(adv().adv_state, c.during);
    if (c.during == ADV_WINDOW_FADE_IN || c.during == ADV_WINDOW_FADE_OUT) {
      game.Frames(5);  // part of the way
      EXPECT_GT(adv().text_box.BoxAlpha(), 0);
      EXPECT_LT(adv().text_box.BoxAlpha(), 255);
    }
    ASSERT_TRUE(FramesUntil(ADV_RUNNING));
    game.Frame();
    EXPECT_EQ(Local(1), 1);
    EXPECT_EQ(adv().text_hidden_by_script, c.hidden);
    if (c.alpha >= 0) {
      EXPECT_EQ(adv().text_box.BoxAlpha(), c.alpha);
    }
    EXPECT_FALSE(adv().text_box.TransitionActive());
  }
  // A fast hide also clears the page and the name plate.
  EXPECT_EQ(adv().text_box.GlyphCount(), 1);
  Run("@charname_window show\n@textwindow_fast hide\n");
  game.Frames(3);
  EXPECT_EQ(adv().text_box.GlyphCount(), 0);
  EXPECT_FALSE(adv().text_box.NamePlate());
}

TEST_F(StoryTest, TextClearAndClsEmptyThePage) {
  for (const char* command : {"@text_clear", "@text_cls"}) {
    SCOPED_TRACE(command);
    Run(std::string("@text,0 {\nあい\n}\n@charname_window show\n") + command + "\n");
    ASSERT_TRUE(FramesUntil(ADV_PAGE_WAIT));
    Press(DIK_RETURN);
    game.Frames(2);  // the name plate, then the command
    EXPECT_EQ(adv().text_box.GlyphCount(), 0);
    EXPECT_EQ(adv().text_box.Line(0), "");
    EXPECT_EQ(adv().text_box.NamePlate(), std::string(command) == "@text_clear");
  }
}

TEST_F(StoryTest, SecondVoiceStandsInForASwitchedOffSpeaker) {
  adv().system_data.VoiceGroupEnabled[0] = 0;  // category 1, "akane"
  Run("@text,0,akane_0001,hina_0002 {\nあ\n}\n");
  game.Frames(4);
  EXPECT_FALSE(Logged("akane_0001.ogg"));
  EXPECT_TRUE(Logged("voice play failed. (HDD): SOUND\\VOICE\\hina_0002.ogg"));
  EXPECT_EQ(adv().voice_queue.VoicePending, 0);
}

TEST_F(StoryTest, EscapeLeavesTheEndingThroughBlackToTheTitle) {
  Run("@ending_start\n@wait 100000\n");
  game.Frames(2);
  ASSERT_TRUE(adv().script_state.ending);
  Press(DIK_ESCAPE);
  EXPECT_EQ(adv().adv_state, ADV_ENDING);
  game.Frames(3);  // 4 × 64 ms of ending time
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  game.Frame();
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  EXPECT_FALSE(adv().script_state.ending);
}

TEST_F(StoryTest, ButtonBarKeysAndIcons) {
  Run(std::string(kShow) + "@text,0 {\nいち\n}\n@text,0 {\nに\n}\n@text,0 {\nさん\n}\n");
  ASSERT_TRUE(FramesUntil(ADV_PAGE_WAIT));

  // Clicking an icon toggles its mode and is not a decide.
  ClickAt(700, 432);
  EXPECT_TRUE(adv().story.auto_mode);
  ClickAt(630, 432);  // skip on ends auto mode; over a page not read before it ends at once
  EXPECT_FALSE(adv().script_state.skip_mode);
  EXPECT_FALSE(adv().story.auto_mode);
  Press(DIK_3);
  EXPECT_FALSE(adv().script_state.skip_mode);
  EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
  EXPECT_EQ(adv().text_box.Line(0), SJ("いち"));

  for (uint8_t key : {DIK_1, DIK_2}) {
    Press(key);
    EXPECT_EQ(adv().game_mode, MODE_SAVELOAD) << int{key};
    adv().game_mode = MODE_ADV;
  }

  // The history: Page Up, numpad 9 and the wheel, once there are two pages.
  Press(DIK_PRIOR);
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  Press(DIK_RETURN);
  ASSERT_TRUE(FramesUntil(ADV_PAGE_WAIT));
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    if (way == 2) {
      game.Wheel(1);
      game.Frame();
    } else {
      Press(way == 0 ? DIK_PRIOR : DIK_NUMPAD9);
    }
    EXPECT_EQ(adv().game_mode, MODE_BACKLOG);
    adv().game_mode = MODE_ADV;
    game.Frame();
  }

  // Backspace opens the system menu, and the story stands still under it.
  Press(DIK_BACK);
  EXPECT_TRUE(adv().system_menu_open);
  game.Frames(100);
  EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
}

}  // namespace

TEST_F(StoryTest, AltEnterDoesNotEndThePage) {
  Run(std::string(kShow) + "@text,0 {\nあ\n}\n$[1] = 1\n");
  ASSERT_TRUE(FramesUntil(ADV_PAGE_WAIT));
  for (uint8_t alt : {DIK_LMENU, DIK_RMENU})
    for (uint8_t enter : {DIK_RETURN, DIK_NUMPADENTER}) {
      SCOPED_TRACE(testing::Message() << int(alt) << "+" << int(enter));
      game.KeyDown(alt);
      game.Frame();
      Press(enter);
      game.KeyUp(alt);
      game.Frames(3);
      EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
    }
  Press(DIK_RETURN);
  EXPECT_EQ(adv().adv_state, ADV_RUNNING);
}

// Through the commands as a script runs them: only the fade-ins and the wipe-in hold the
// statements after them; the others let the script run on underneath.
TEST_F(StoryTest, OnlyTheFadeInsAndTheWipeInHoldTheScript) {
  const struct {
    const char* command;
    bool holds;
  } cases[] = {
      {"@effect_white_in", true},   {"@effect_black_in", true},  {"@effect_wipe3_in", true},
      {"@effect_white_out", false}, {"@effect_black_out", false}, {"@effect_wipe3_out", false},
      {"@effect_page_out", false},  {"@effect_page_in", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    adv().save_record.LocalVariables[1] = 0;
    adv().script_state.wait_running = false;  // the last case's wait
    Run(std::string(c.command) + " 3000\n$[1] = 1\n@wait 100000\n");
    game.Frames(10);  // 160 ms of a 3 s effect
    EXPECT_EQ(Local(1), c.holds ? 0 : 1);
    game.Frames(200);  // past its end
    EXPECT_EQ(Local(1), 1);
  }
}

TEST_F(StoryTest, AnOutWipeThatEndsEmptiesThePageAndHidesTheNamePlate) {
  for (const char* out : {"@effect_wipe3_out", "@effect_page_out"}) {
    SCOPED_TRACE(out);
    adv().script_state.wait_running = false;  // the last case's wait
    Run(std::string(kShow) + "@def_text {\n3 あかね 0xF48C on\n}\n@text,3 {\nいち\n}\n" + out +
        " 300\n@wait 100000\n");
    ASSERT_TRUE(FramesUntil(ADV_PAGE_WAIT));
    ASSERT_TRUE(adv().text_box.NamePlate());
    Press(DIK_RETURN);
    game.Frames(40);
    EXPECT_EQ(adv().text_box.GlyphCount(), 0);
    EXPECT_FALSE(adv().text_box.NamePlate());
  }
}

// However the game ends, what was read stays read: a game closed with its window (the close
// button or Alt+F4) writes the read-text record, and the next run knows the page.
TEST_F(StoryTest, ClosingTheWindowKeepsWhatWasRead) {
  Run(std::string(kShow) + "@text,0 {\nあ\n}\n@text,0 {\nい\n}\n");
  ASSERT_TRUE(FramesUntil(ADV_PAGE_WAIT));
  Press(DIK_RETURN);
  ASSERT_TRUE(FramesUntil(ADV_PAGE_WAIT));
  const int32_t position = adv().script.GetPosition();
  game.window.Post({platform::MessageType::Close, 0});
  game.Frames(3);
  ASSERT_FALSE(game.Running());
  ASSERT_TRUE(folder.Exists("text.dat"));

  HeadlessGame again;
  again.process.log.SetEcho(false);
  ASSERT_TRUE(again.Boot());
  EXPECT_TRUE(again.process.adv.read_positions.IsRead("SCP\\t.scp", position - 1));
}
