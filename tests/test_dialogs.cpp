// The confirmation dialog, the in-story system menu and the message history on the headless
// engine, over a running story. The first system texture is plain white, so every button and
// the history's scroll thumb show as white where they are drawn.
#include <gtest/gtest.h>

#include <string>
#include <utility>
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

Bytes Picture(int w, int h, uint32_t rgb) { return testing_support::SolidPng(w, h, rgb); }

using testing_support::GameFolder;
using testing_support::ScriptFile;

constexpr uint32_t kSky = 0x3080F0, kSea = 0x104080, kWhite = 0xFFFFFF, kHot = 0xFFB060;

// Three pages: the first recorded with rollback off, the second (with a pause sign) with it on
// over the sky, the third over the sea with a variable changed.
constexpr const char* kThreePages =
    "@textwindow_fast show\n"
    "@rollback_off\n"
    "@text,0 {\nいち\n}\n"
    "@rollback_on\n"
    "@bg_load sky.png\n"
    "@bg_change 0\n"
    "@text,0 {\nに▽ふた\n}\n"
    "@bg_load sea.png\n"
    "@bg_change 0\n"
    "$[1] = 5\n"
    "@text,0 {\nさん\n}\n";

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteEmptyArchive("thumb.pkd");
    folder.Write("grp.pkd", *BuildPack({{"BG\\sky.png", Picture(800, 600, kSky)},
                                        {"BG\\sea.png", Picture(800, 600, kSea)}}));
    folder.Write("system.pkd", *BuildPack({{"SCP\\t.scp", ScriptFile(kThreePages)},
                                           {"SYSTEM\\systex1.png", Picture(256, 256, kWhite)}}));
    game.process.log.SetEcho(false);
    ASSERT_TRUE(game.Boot());
    adv().system_data.TextSpeed = 7;
    adv().game_mode = MODE_ADV;
    ASSERT_TRUE(adv().script.Load("SCP\\t.scp"));
    adv().adv_state = ADV_RUNNING;
    Park();
  }
  CADV& adv() { return game.process.adv; }
  uint32_t Pixel(int x, int y) { return game.process.graphics.Frame()[y * 800 + x] & 0xFFFFFF; }
  void Park() { game.Move(10, 10); }  // the pointer away from everything
  // One frame with the key held, then let go.
  void Press(uint8_t dik, uint32_t ms = 16) {
    game.KeyDown(dik);
    game.Frame(ms);
    game.KeyUp(dik);
  }
  // ... and a frame after it, so the next press of the same key is a new one.
  void Tap(uint8_t dik) {
    Press(dik);
    game.Frame();
  }
  // The click's frame, then one with the button up and the pointer away.
  void ClickAt(int x, int y, int button = 0) {
    game.Move(x, y);
    game.ButtonDown(button);
    game.Frame();
    game.ButtonUp(button);
    Park();
    game.Frame();
  }
  // Plays on until page `page` (1-based) is complete and waits.
  void ToPage(int page) {
    for (int n = 0; n < 20; ++n) {
      for (int i = 0; i < 100 && adv().adv_state != ADV_PAGE_WAIT && adv().adv_state != ADV_PAUSED;
           ++i)
        game.Frame();
      if (adv().adv_state == ADV_PAGE_WAIT && adv().history.count >= page) return;
      Press(DIK_RETURN);
    }
    FAIL() << "page " << page << " not reached";
  }
  void OpenMenuIdle() {
    Press(DIK_BACK);
    ASSERT_TRUE(adv().system_menu_open);
    for (int i = 0; i < 60 && adv().system_menu.state != 0; ++i) game.Frame();
    ASSERT_EQ(adv().system_menu.state, 0);
  }
  void OpenHistoryIdle() {
    Press(DIK_PRIOR);
    ASSERT_EQ(adv().game_mode, MODE_BACKLOG);
    for (int i = 0; i < 60 && adv().backlog.sliding; ++i) game.Frame();
    ASSERT_FALSE(adv().backlog.sliding);
  }

  GameFolder folder;
  HeadlessGame game;
};

// ---------------------------------------------------------------------------------------------
// Confirmation dialog

TEST_F(DialogTest, QuitConfirmationOpensOnNoAndHoldsTheStoryStill) {
  ToPage(2);
  game.Frame();
  const uint32_t beneath = Pixel(250, 240);
  adv().OpenQuitConfirmation();
  game.Frame();
  EXPECT_EQ(adv().confirmation.selection, 1);
  EXPECT_NE(Pixel(250, 240), beneath);  // the panel is drawn over the story
  // ... opaque, so nothing beneath mixes into the question's row.
  for (int x : {250, 300, 550}) EXPECT_EQ(Pixel(x, 240), 0x666666u) << x;
  EXPECT_EQ(Pixel(245, 284), 0x666666u);

  // The story beneath ignores clicks and keys: no decide, no history, no menu, no hiding.
  ClickAt(300, 150);
  for (uint8_t key : {DIK_PRIOR, DIK_BACK, DIK_TAB, DIK_4}) Press(key);
  EXPECT_TRUE(adv().confirm_open);
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
  EXPECT_FALSE(adv().system_menu_open);
  EXPECT_FALSE(adv().text_hidden_by_player);
  EXPECT_FALSE(adv().story.auto_mode);

  // Return right after opening answers "no": the game goes on, the page still waits.
  Press(DIK_RETURN);
  EXPECT_FALSE(adv().confirm_open);
  EXPECT_FALSE(game.process.quit_requested);
  EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
  EXPECT_EQ(adv().text_box.Line(0), SJ("に▽ふた"));

  // A second opening while one is open changes nothing; a click on "yes" ends the program.
  adv().OpenQuitConfirmation();
  Press(DIK_LEFT);
  adv().OpenQuitConfirmation();
  EXPECT_EQ(adv().confirmation.selection, 0);
  Press(DIK_RIGHT);
  ClickAt(300, 340);
  EXPECT_TRUE(game.process.quit_requested);
  EXPECT_FALSE(game.Running());  // the shell ended it after that frame
}

TEST_F(DialogTest, EscapeOrTheHeldRightButtonClosesWithoutAnswerOrDrawing) {
  ToPage(1);
  game.Frame();
  const uint32_t beneath = Pixel(250, 240);
  for (bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "right button");
    adv().OpenQuitConfirmation();
    Press(DIK_LEFT);  // "yes" selected: closing must still not answer
    ASSERT_NE(Pixel(250, 240), beneath);
    if (escape) {
      Press(DIK_ESCAPE);
    } else {
      game.ButtonDown(1);
      game.Frame();
    }
    EXPECT_FALSE(adv().confirm_open);
    EXPECT_EQ(Pixel(250, 240), beneath);  // not drawn in the closing frame
    EXPECT_FALSE(game.process.quit_requested);
    game.ButtonUp(1);
    game.Frame();
    EXPECT_FALSE(adv().text_hidden_by_player);  // the story did not take it as a hide key
  }
}

// ---------------------------------------------------------------------------------------------
// System menu

TEST_F(DialogTest, MenuItemsSlideInAndTheLastRestsAfterAbout386Ms) {
  ToPage(1);
  adv().system_menu.save_load_enabled = true;
  Press(DIK_BACK, 1);
  ASSERT_TRUE(adv().system_menu_open);
  EXPECT_FALSE(adv().text_box.CursorVisible());  // hidden while the menu is open
  game.Frames(384, 1);  // 385 ms in all
  EXPECT_EQ(adv().system_menu.state, 1);
  EXPECT_GT(adv().system_menu.item_x[3], 624.0f);
  game.Frame(1);
  EXPECT_EQ(adv().system_menu.state, 0);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(adv().system_menu.item_x[i], static_cast<float>(240 + 128 * i)) << i;
}

TEST_F(DialogTest, LeftAndRightWrapOverTheShownItemsAndTheCloseButton) {
  ToPage(1);
  struct Case {
    bool save_load;
    std::vector<std::pair<uint8_t, int>> steps;  // key, selection after it
  } cases[] = {
      {false,
       {{DIK_RIGHT, 2},
        {DIK_LEFT, 4},
        {DIK_LEFT, 3},
        {DIK_LEFT, 2},
        {DIK_LEFT, 4},
        {DIK_RIGHT, 2},
        {DIK_RIGHT, 3},
        {DIK_RIGHT, 4}}},
      {true, {{DIK_RIGHT, 0}, {DIK_RIGHT, 1}, {DIK_LEFT, 0}, {DIK_LEFT, 4}, {DIK_LEFT, 3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.save_load);
    adv().system_menu.save_load_enabled = c.save_load;
    OpenMenuIdle();
    EXPECT_EQ(adv().system_menu.selection, 4);
    for (auto [key, selection] : c.steps) {
      Tap(key);
      EXPECT_EQ(adv().system_menu.selection, selection) << int{key};
    }
    Press(DIK_BACK);
    game.Frames(40);
    ASSERT_FALSE(adv().system_menu_open);
  }
}

TEST_F(DialogTest, ClosingTheMenuNeverAdvancesTheText) {
  ToPage(1);
  struct Way {
    const char* name;
    int x, y, button;  // a click, or a key when button < 0
    uint8_t key;
  } ways[] = {
      {"close button", 768, 428, 0, 0},
      {"Backspace", 0, 0, -1, DIK_BACK},
      {"Escape", 0, 0, -1, DIK_ESCAPE},
      {"right click", 300, 150, 1, 0},
  };
  for (const Way& w : ways) {
    SCOPED_TRACE(w.name);
    OpenMenuIdle();
    if (w.button >= 0)
      ClickAt(w.x, w.y, w.button);
    else
      Press(w.key);
    EXPECT_EQ(adv().system_menu.state, -1);
    game.Frames(40);  // the items slide out at 2.56 px/ms
    EXPECT_FALSE(adv().system_menu_open);
    EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
    EXPECT_EQ(adv().text_box.Line(0), SJ("いち"));
    EXPECT_FALSE(adv().text_hidden_by_player);
    EXPECT_TRUE(adv().text_box.CursorVisible());  // back as it was
  }
  Press(DIK_RETURN);  // the story takes input again
  EXPECT_NE(adv().adv_state, ADV_PAGE_WAIT);
}

TEST_F(DialogTest, MenuItemsOpenTheirScreensAndTheMenuStaysOpen) {
  ToPage(1);
  adv().system_menu.save_load_enabled = true;
  OpenMenuIdle();
  for (int item = 0; item < 3; ++item) {
    SCOPED_TRACE(item);
    ClickAt(240 + 128 * item + 64, 428);
    if (item < 2) {
      EXPECT_EQ(adv().game_mode, MODE_SAVELOAD);
      EXPECT_EQ(adv().save_load.is_save, item == 0);
      EXPECT_EQ(adv().save_load.return_mode, MODE_ADV);
    } else {
      EXPECT_EQ(adv().game_mode, MODE_CONFIG);
      EXPECT_EQ(adv().config.return_mode, MODE_ADV);
    }
    EXPECT_TRUE(adv().system_menu_open);
    adv().game_mode = MODE_ADV;  // as the screen's return would
    game.Frame();
    EXPECT_EQ(adv().system_menu.item_x[item],
              static_cast<float>(240 + 128 * item));  // where it was
  }
}

TEST_F(DialogTest, TitleConfirmationOverTheMenuGoesBackToTheTitle) {
  ToPage(1);
  OpenMenuIdle();
  ClickAt(240 + 128 * 3 + 64, 428);
  ASSERT_TRUE(adv().confirm_open);
  EXPECT_TRUE(adv().confirmation.title);
  EXPECT_EQ(adv().confirmation.selection, 1);

  // The menu beneath does not react: neither the keys nor the pointer reach it.
  Press(DIK_LEFT);
  EXPECT_EQ(adv().confirmation.selection, 0);
  game.Move(768, 428);
  game.Frame();
  EXPECT_EQ(adv().system_menu.selection, 3);
  Park();

  Press(DIK_RETURN);
  EXPECT_EQ(adv().game_mode, MODE_TITLE);
  EXPECT_EQ(adv().title.state, kTitleMusic);  // the title starts with its music step
  EXPECT_FALSE(adv().confirm_open);
  EXPECT_FALSE(adv().confirmation.title);
  EXPECT_FALSE(adv().system_menu_open);
  EXPECT_FALSE(game.process.quit_requested);
}

// ---------------------------------------------------------------------------------------------
// Message history

TEST_F(DialogTest, HistoryPagesBackAndForthAndClosesToTheCurrentPage) {
  ToPage(3);
  Press(DIK_PRIOR);
  ASSERT_EQ(adv().game_mode, MODE_BACKLOG);
  EXPECT_EQ(adv().backlog.index, 1);  // the page before the current one
  // Shown complete, past its pause sign, in yellow, without the wait cursor.
  EXPECT_EQ(adv().text_box.Line(0), SJ("に▽ふた"));
  EXPECT_EQ(adv().text_box.CurrentLine(), -1);
  EXPECT_EQ(adv().text_box.GlyphCount(), 4);
  EXPECT_EQ(adv().text_box.TextColor(), 0xFFF0);
  EXPECT_FALSE(adv().text_box.CursorVisible());
  for (int i = 0; i < 60 && adv().backlog.sliding; ++i) game.Frame();

  Tap(DIK_PRIOR);
  EXPECT_EQ(adv().text_box.Line(0), SJ("いち"));
  Tap(DIK_PRIOR);  // the oldest page stays
  EXPECT_EQ(adv().backlog.index, 0);
  ClickAt(764, 537);  // the down arrow
  EXPECT_EQ(adv().backlog.index, 1);
  ClickAt(764, 537);  // ... does nothing on the newest shown page
  EXPECT_EQ(adv().backlog.index, 1);
  // A page number the history does not hold leaves the page shown.
  for (int i : {-1, kHistoryEntries}) adv().ShowBacklogEntry(i);
  EXPECT_EQ(adv().backlog.shown, 1);
  EXPECT_EQ(adv().text_box.Line(0), SJ("に▽ふた"));
  EXPECT_EQ(adv().game_mode, MODE_BACKLOG);
  ClickAt(764, 450);  // the up arrow
  EXPECT_EQ(adv().backlog.index, 0);
  game.Wheel(-1);  // toward the user: Page Down
  game.Frame();
  EXPECT_EQ(adv().backlog.index, 1);

  Press(DIK_NEXT);  // on the newest shown page: back to the story
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  EXPECT_EQ(adv().adv_state, ADV_PAGE_WAIT);
  EXPECT_EQ(adv().text_box.Line(0), SJ("さん"));
  EXPECT_NE(adv().text_box.TextColor(), 0xFFF0);
  EXPECT_TRUE(adv().text_box.CursorVisible());
  EXPECT_EQ(adv().history.count, 3);
}

TEST_F(DialogTest, GoingBackExistsOnlyOnRollbackPagesAndRebuildsTheScene) {
  ToPage(3);
  OpenHistoryIdle();
  ASSERT_EQ(adv().backlog.index, 1);
  game.Frame();
  EXPECT_EQ(Pixel(640, 580), kWhite);  // the go-back button

  // Page 1 was recorded with rollback off: no button, and neither Left nor the pointer
  // choose it.
  Press(DIK_PRIOR);
  game.Frame();
  EXPECT_EQ(Pixel(640, 580), kSea);
  Press(DIK_LEFT);
  game.Move(640, 580);
  game.Frame();
  EXPECT_EQ(adv().backlog.hover, kBacklogReturn);
  Park();

  Press(DIK_NEXT);
  Press(DIK_LEFT);
  ASSERT_EQ(adv().backlog.hover, kBacklogGoBack);
  adv().story.auto_mode = true;
  Press(DIK_RETURN);
  EXPECT_EQ(adv().game_mode, MODE_ADV);
  EXPECT_FALSE(adv().story.auto_mode);
  EXPECT_EQ(adv().history.count, 1);  // the page before it stays; the pages after it go
  EXPECT_EQ(adv().save_record.LocalVariables[1], 0);  // as the snapshot had it

  // The page's text command runs again over its scene.
  for (int i = 0; i < 100 && adv().adv_state != ADV_PAUSED; ++i) game.Frame();
  ASSERT_EQ(adv().adv_state, ADV_PAUSED);
  EXPECT_EQ(adv().text_box.Line(0), SJ("に▽ふた"));
  EXPECT_NE(adv().text_box.TextColor(), 0xFFF0);
  EXPECT_EQ(Pixel(10, 10), kSky);
  // The history still opens on the page before.
  ToPage(2);
  EXPECT_EQ(adv().history.count, 2);
  OpenHistoryIdle();
  EXPECT_EQ(adv().backlog.index, 0);
  EXPECT_EQ(std::string(adv().history.entries[0].lines[0]), SJ("いち"));
}

TEST_F(DialogTest, ScrollBarThumbAndDragNeedMoreThanTwoPages) {
  struct Case {
    int pages;
    bool thumb;
  } cases[] = {{2, false}, {3, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pages);
    ToPage(c.pages);
    OpenHistoryIdle();
    const int newest = c.pages - 2;
    game.Frame();
    const int thumb_y = 462 + (c.pages > 2 ? 55 : 0) + 8;
    EXPECT_EQ(Pixel(768, thumb_y) == kWhite, c.thumb);

    // Dragging on the track: to the top shows the oldest page, with the thumb lit.
    game.Move(768, 470);
    game.ButtonDown(0);
    game.Frame();
    EXPECT_EQ(adv().backlog.index, c.thumb ? 0 : newest);
    EXPECT_EQ(adv().backlog.hover, c.thumb ? kBacklogScrollBar : kBacklogReturn);
    EXPECT_EQ(Pixel(768, 470) == kHot, c.thumb);
    game.Move(768, 525);
    game.Frame();
    EXPECT_EQ(adv().backlog.index, newest);
    game.ButtonUp(0);
    Park();
    Press(DIK_ESCAPE);
    ASSERT_EQ(adv().game_mode, MODE_ADV);
    Press(DIK_RETURN);
  }
}

}  // namespace
