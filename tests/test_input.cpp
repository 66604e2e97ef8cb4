// The input rules: presses latched until read and dropped when released first, one press per
// hold, wheel notches with their pause, and what a failed poll keeps; the screens' decide and
// cancel rules on top of them.
#include <gtest/gtest.h>

#include "app/input.h"
#include "platform/dik.h"
#include "screens/screen_input.h"

namespace {

// One poll of a scripted sequence: the state to set before it, what to ask after it.
struct Step {
  bool key_down;
  int ask;  // 0 nothing, 1 KeyPressed, 2 KeyDown
  bool expect;
};

struct KeyCase {
  const char* name;
  std::vector<Step> steps;
};

TEST(Input, KeyLatchRules) {
  const KeyCase cases[] = {
      {"press read once", {{true, 1, true}, {true, 1, false}, {true, 2, true}, {false, 2, false}}},
      {"released before read is dropped", {{true, 0, false}, {false, 1, false}}},
      {"held over polls is read later", {{true, 0, false}, {true, 0, false}, {true, 1, true}}},
      {"new hold is a new press", {{true, 1, true}, {false, 0, false}, {true, 1, true}}},
      {"read after release of a read press", {{true, 1, true}, {false, 1, false}}},
  };
  for (const KeyCase& c : cases) {
    platform::InputDevice device;
    CInput input;
    input.Init(device);
    for (size_t i = 0; i < c.steps.size(); ++i) {
      const Step& s = c.steps[i];
      device.OnKey(DIK_SPACE, s.key_down);
      input.PollKeyboard();
      if (s.ask == 1) {
        EXPECT_EQ(input.KeyPressed(DIK_SPACE), s.expect) << c.name << " step " << i;
      } else if (s.ask == 2) {
        EXPECT_EQ(input.KeyDown(DIK_SPACE), s.expect) << c.name << " step " << i;
      }
    }
  }
}

TEST(Input, ButtonsFollowTheSameRule) {
  platform::InputDevice device;
  CInput input;
  input.Init(device);
  device.OnButton(1, true);
  input.PollMouse();
  EXPECT_TRUE(input.ButtonDown(1));
  device.OnButton(1, false);
  input.PollMouse();
  EXPECT_FALSE(input.ButtonPressed(1));  // released before anybody asked
  device.OnButton(0, true);
  input.PollMouse();
  input.PollMouse();
  EXPECT_TRUE(input.ButtonPressed(0));
  EXPECT_FALSE(input.ButtonPressed(0));
}

// A tap (down and up between two polls, as a touchpad or a quick click gives it) is one press,
// seen by the poll after it; the poll after that sees the key up again.
TEST(Input, ATapBetweenTwoPollsIsOnePress) {
  platform::InputDevice device;
  CInput input;
  input.Init(device);
  device.OnKey(DIK_RETURN, true);
  device.OnKey(DIK_RETURN, false);
  device.OnButton(0, true);
  device.OnButton(0, false);
  input.PollKeyboard();
  input.PollMouse();
  EXPECT_TRUE(input.KeyPressed(DIK_RETURN));
  EXPECT_TRUE(input.ButtonPressed(0));
  input.PollKeyboard();
  input.PollMouse();
  EXPECT_FALSE(input.KeyDown(DIK_RETURN));
  EXPECT_FALSE(input.ButtonDown(0));
  EXPECT_FALSE(input.KeyPressed(DIK_RETURN));
  EXPECT_FALSE(input.ButtonPressed(0));
  // Losing the foreground forgets a tap that nobody has read.
  device.OnButton(1, true);
  device.OnButton(1, false);
  device.SetForeground(false);
  device.SetForeground(true);
  device.Acquire();
  input.PollMouse();
  EXPECT_FALSE(input.ButtonPressed(1));
}

TEST(Input, WheelNotchesThresholdAndPause) {
  struct Case {
    int delta;
    int expect;
  } thresholds[] = {{120, 1}, {-120, -1}, {15, 0}, {-15, 0}, {16, 1}, {-16, -1}};
  for (const Case& c : thresholds) {
    platform::InputDevice device;
    CInput input;
    input.Init(device);
    device.OnWheel(c.delta);
    input.PollMouse();
    EXPECT_EQ(input.TakeWheel(), c.expect) << c.delta;
  }

  // Turning on and on: a notch at most every five polls once notches are taken.
  platform::InputDevice device;
  CInput input;
  input.Init(device);
  std::vector<int> notch_polls;
  for (int poll = 0; poll < 12; ++poll) {
    device.OnWheel(120);
    input.PollMouse();
    if (input.TakeWheel() != 0) notch_polls.push_back(poll);
  }
  EXPECT_EQ(notch_polls, (std::vector<int>{0, 5, 10}));

  // A notch stays until taken; ClearWheel drops it without a pause.
  device.OnWheel(-200);
  for (int i = 0; i < 5; ++i) input.PollMouse();
  input.ClearWheel();
  EXPECT_EQ(input.TakeWheel(), 0);
  device.OnWheel(-200);
  input.PollMouse();
  EXPECT_EQ(input.TakeWheel(), -1);
}

TEST(Input, FailedPollKeepsLatchesAndReacquires) {
  platform::InputDevice device;
  CInput input;
  input.Init(device);
  device.OnKey(DIK_RETURN, true);
  input.PollKeyboard();
  device.SetForeground(false);  // another application took the foreground
  input.PollKeyboard();
  EXPECT_TRUE(input.KeyDown(DIK_RETURN));
  EXPECT_TRUE(input.KeyPressed(DIK_RETURN));  // the unread press survives
  device.SetForeground(true);
  input.AcquireAll();
  device.OnKey(DIK_ESCAPE, true);
  input.PollKeyboard();
  EXPECT_TRUE(input.KeyPressed(DIK_ESCAPE));
  EXPECT_FALSE(input.KeyDown(DIK_RETURN));
}

// The screens' decide and cancel: which presses and clicks count, and that a press is left in
// place when the rule does not read it (a dialog open), so the dialog drawn later still gets it.
TEST(Input, ScreenDecideAndCancelRules) {
  struct Case {
    const char* name;
    uint8_t key;  // 0 none
    bool alt = false, left_click = false, hit = false, right_click = false, inside = true;
    bool dialog = false;
    bool decide, cancel, key_left;  // key_left: the press is still there afterwards
  } cases[] = {
      {"space", DIK_SPACE, false, false, false, false, true, false, true, false, false},
      {"numpad enter", DIK_NUMPADENTER, false, false, false, false, true, false, true, false, false},
      {"alt+enter is no decide", DIK_RETURN, true, false, false, false, true, false, false, false,
       false},
      {"click on the element", 0, false, true, true, false, true, false, true, false, false},
      {"click beside it", 0, false, true, false, false, true, false, false, false, false},
      {"a dialog keeps the key", DIK_SPACE, false, true, true, false, true, true, false, false,
       true},
      {"escape", DIK_ESCAPE, false, false, false, false, true, false, false, true, false},
      {"right click inside", 0, false, false, false, true, true, false, false, true, false},
      {"right click outside", 0, false, false, false, true, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    platform::InputDevice device;
    CInput input;
    input.Init(device);
    if (c.alt) device.OnKey(DIK_LMENU, true);
    if (c.key) device.OnKey(c.key, true);
    input.PollKeyboard();
    bool left = c.left_click, right = c.right_click;
    ScreenInput in(input, {100, 100}, left, right, c.inside, c.dialog, 16);
    EXPECT_EQ(in.Decide(c.hit), c.decide) << c.name;
    if (c.key != DIK_ESCAPE && c.key) {
      EXPECT_EQ(input.KeyPressed(c.key), c.key_left) << c.name;
    } else {
      EXPECT_EQ(in.Cancel(), c.cancel) << c.name;
    }
  }

  // An answered right click is gone for the rest of the frame.
  platform::InputDevice device;
  CInput input;
  input.Init(device);
  bool left = false, right = true;
  ScreenInput in(input, {0, 0}, left, right, true, false, 16);
  in.TakeRightClick();
  EXPECT_FALSE(right);
  EXPECT_FALSE(in.Cancel());
}

}  // namespace
