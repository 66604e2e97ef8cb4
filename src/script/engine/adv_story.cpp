// The story mode's update and draw steps: text timing, the decide and hide rules, skip and auto
// modes, Ctrl skip, the player hiding the window, the script's window fades, the timed wait, the
// ending, and the button bar under the right end of the text window.
//
// Choices of this engine where the rules leave room:
// - Text appears at the table's pace: the frame time is subtracted first and a character is
//   shown when the counter runs out, keeping the overshoot, so a delay shorter than a frame
//   still shows one character every frame and a longer one keeps its average.
// - While the player has hidden the window the page stands still (no text, auto or skip); the
//   next decide or hide key brings the window back and the page goes on where it was.
// - The voice step runs on every frame of a page (states 1-3) while voices wait, so a second
//   name stands in for a switched-off first one even on a page that appeared at once.
// - The window is drawn only while the script has not hidden it (start-up hides it), so a
//   story begins without an empty box; a script fade or dissolve that hides it leaves it hidden.
// - Window fades: the player's hide and show take 150 ms, the script's fades 300 ms; skipping
//   ends them at once.
#include <algorithm>
#include <cmath>

#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"

namespace {

constexpr float kPlayerFadePerMs = 255.0f / 150;
constexpr float kScriptFadePerMs = 255.0f / 300;
constexpr int kEndingLimit = 300;

// The menu button: hovered strictly inside its 32 × 32 picture at (752, 412).
bool OnMenuButton(const CADV& a) {
  return ButtonBar::OnMenuButton(a.pointer);
}

bool InPage(AdvState s) {
  return s == ADV_TEXT || s == ADV_PAUSED || s == ADV_PAGE_WAIT;
}

bool InWindowFade(AdvState s) {
  return s >= ADV_PLAYER_HIDE && s <= ADV_WINDOW_FADE_IN;
}

// The decide and hide inputs of one frame, each read at most once (reading uses up a press).
class FrameInput {
 public:
  FrameInput(CADV& a, bool click_allowed) : a_(a), click_allowed_(click_allowed) {}
  bool Decide() {
    if (decide_ < 0) decide_ = a_.IsDecide(click_allowed_) ? 1 : 0;
    return decide_ == 1;
  }
  bool Hide() {
    if (hide_ < 0) hide_ = a_.HideKeyPressed() ? 1 : 0;
    return hide_ == 1;
  }

 private:
  CADV& a_;
  bool click_allowed_;
  int decide_ = -1;
  int hide_ = -1;
};

int TextDelay(const CADV& a) {
  return kTextSpeedMs[std::clamp(a.system_data.TextSpeed, 0, 7)];
}
int AutoDelay(const CADV& a) {
  return kAutoDelayMs[std::clamp(a.system_data.AutoClickSpeed, 0, 7)];
}

// The page stops at a pause sign or is complete: the cursor, the next state, the auto timer.
void PageReached(CADV& a, int result) {
  a.story.advance_result = result;
  if (result == 1) {
    if (!a.script_state.page_no_wait) a.text_box.SetCursorVisible(true);
    a.adv_state = ADV_PAGE_WAIT;
    a.story.auto_timer = 0;
  } else if (result == 2) {
    a.text_box.SetCursorVisible(true);
    a.adv_state = ADV_PAUSED;
    a.story.auto_timer = 0;
  }
}

// Past a pause sign: the rest of the page appears, and the next voice of the line may start.
void ContinuePage(CADV& a, bool voices) {
  a.adv_state = a.text_box.CurrentLine() == -1 ? ADV_RUNNING : ADV_TEXT;
  a.text_box.SetCursorVisible(false);
  if (voices) a.voice_queue.VoicePending = 1;
}

void EndPage(CADV& a) {
  a.adv_state = ADV_RUNNING;
  a.text_box.SetCursorVisible(false);
}

// A click, or its stand-ins (auto mode, Ctrl): the page goes on and skip mode ends.
void ClickOn(CADV& a, bool ctrl) {
  if (a.adv_state == ADV_PAUSED) {
    ContinuePage(a, !ctrl);
  } else {
    EndPage(a);
  }
  a.script_state.skip_mode = false;
}

void HideWindow(CADV& a) {
  a.story.state_before_hiding = a.adv_state;
  a.adv_state = ADV_PLAYER_HIDE;
  a.story.window_alpha = 255;
  a.text_hidden_by_player = true;
}

void ShowWindow(CADV& a) {
  a.story.state_before_hiding = a.adv_state;
  a.adv_state = ADV_PLAYER_SHOW;
  a.story.window_alpha = 0;
}

// States 1-3: the hide keys, and what brings a hidden window back. True when the frame's input
// went to the window.
bool WindowKeys(CADV& a, FrameInput& in) {
  if (a.text_hidden_by_script) return false;
  if (a.text_hidden_by_player) {
    if (in.Hide() || in.Decide()) ShowWindow(a);
    return true;
  }
  if (in.Hide()) {
    HideWindow(a);
    return true;
  }
  return false;
}

// `revealed`: skip mode or Ctrl has shown the page this frame (its result is kept).
void TextAppearing(CADV& a, FrameInput& in, bool revealed, bool clicks_blocked) {
  if (revealed) {
    PageReached(a, a.story.advance_result);
    WindowKeys(a, in);
    return;
  }
  if (WindowKeys(a, in)) return;
  int result = 0;
  if (!clicks_blocked && in.Decide()) {
    result = a.text_box.Advance(1);
  } else if (TextDelay(a) == 0) {
    result = a.text_box.Advance(1);
  } else {
    a.story.char_countdown -= static_cast<int32_t>(a.frame_time);
    if (a.story.char_countdown >= 0) return;
    result = a.text_box.Advance(0);
    a.story.char_countdown = std::max(a.story.char_countdown + TextDelay(a), 0);
  }
  PageReached(a, result);
}

void PageWaiting(CADV& a, FrameInput& in, bool clicks_blocked) {
  if (WindowKeys(a, in)) return;
  if (a.story.ctrl_skip || (!clicks_blocked && in.Decide())) {
    ClickOn(a, a.story.ctrl_skip);
  } else if (a.story.auto_mode) {
    a.story.auto_timer += static_cast<int32_t>(a.frame_time);
  }
}

// States 10-15: the window's alpha moves; at its end the story returns to where it was.
void WindowFade(CADV& a) {
  const AdvState s = a.adv_state;
  if (!InWindowFade(s) || s == ADV_WINDOW_DISSOLVE_OUT || s == ADV_WINDOW_DISSOLVE_IN)
    return;  // the dissolves are the box's own
  const bool player = s == ADV_PLAYER_HIDE || s == ADV_PLAYER_SHOW;
  const bool lower = s == ADV_PLAYER_HIDE || s == ADV_WINDOW_FADE_OUT;
  const float step = a.Skipping() ? 255.0f
                                  : static_cast<float>(a.frame_time) *
                                        (player ? kPlayerFadePerMs : kScriptFadePerMs);
  float& alpha = a.story.window_alpha;
  alpha = lower ? std::max(alpha - step, 0.0f) : std::min(alpha + step, 255.0f);
  a.text_box.SetBoxAlpha(static_cast<int>(alpha));
  if (lower ? alpha > 0 : alpha < 255) return;
  if (player) {
    if (s == ADV_PLAYER_SHOW) a.text_hidden_by_player = false;
    a.adv_state = a.story.state_before_hiding;
  } else {
    if (lower) a.text_hidden_by_script = true;
    a.adv_state = ADV_RUNNING;
  }
}

void DissolveEnd(CADV& a) {
  const AdvState s = a.adv_state;
  if ((s != ADV_WINDOW_DISSOLVE_OUT && s != ADV_WINDOW_DISSOLVE_IN) ||
      a.text_box.TransitionActive())
    return;
  if (s == ADV_WINDOW_DISSOLVE_OUT) a.text_hidden_by_script = true;
  a.adv_state = ADV_RUNNING;
}

// The bar takes input while the window is fully there and nothing covers the story.
bool ButtonBarActive(const CADV& a) {
  const AdvState s = a.adv_state;
  return !a.system_menu_open && !a.confirm_open && !a.text_hidden_by_script &&
         !a.text_hidden_by_player && !a.text_box.TransitionActive() && s != ADV_CLICKABLE &&
         !InWindowFade(s) && s != ADV_ENDING;
}

}  // namespace

void CADV::BeginStory() {
  script_state = ScriptState{};
  story = StoryState{};
  script_end_mode = MODE_TITLE;
  adv_state = ADV_RUNNING;
  text_hidden_by_player = false;
  clickable.active = false;
  // The record is the live home of the local and favour variables and of the town day.
  save_record = SaveRecord{};
  save_record.Version = kSaveRecordVersion;
  for (HistoryEntry& e : history.entries) e = HistoryEntry{};
  history.count = 0;
  checkpoints.count = 0;
  system_menu.save_load_enabled = true;
}

void CADV::ADV_Proc() {
  SceneAnimeProc();
  CInput& input = process_.input;

  // Leaving the ending early.
  if (script_state.ending && adv_state != ADV_ENDING) {
    const bool cancel = IsCancel();
    if (cancel && !toggle_request) {
      adv_state = ADV_ENDING;
      story.ending_timer = 0;
      right_click = false;
    }
  }
  // Nothing skips while the story stands still.
  story.ctrl_skip = false;
  if (system_menu_open || confirm_open) {
    button_bar.ClearHover();
    return;
  }
  if (MovieHoldsStory()) return;  // a movie plays: the story waits for its end or a skip
  ButtonBarProc();
  if (game_mode != MODE_ADV || system_menu_open) return;
  if (button_bar.auto_hovered || button_bar.skip_hovered) return;  // a click there is the icon's

  const bool on_menu = OnMenuButton(*this);
  const bool clicks_blocked = InPage(adv_state) && on_menu;
  FrameInput in(*this, !on_menu);
  bool revealed = false;
  auto reveal = [&] {
    if (revealed || adv_state != ADV_TEXT || text_hidden_by_player) return;
    story.advance_result = text_box.Advance(1);
    revealed = true;
  };

  if (script_state.skip_mode) {
    reveal();
    const bool stays = adv_state == ADV_CHOICE && system_data.SkipAtChoice;
    if (!stays && (in.Decide() || in.Hide())) script_state.skip_mode = false;
  }

  story.ctrl_skip = input.KeyDown(DIK_LCONTROL) || input.KeyDown(DIK_RCONTROL);
  if (story.ctrl_skip) {
    if (!script_state.wait_running) reveal();
    script_state.skip_mode = false;
  }

  if (InPage(adv_state)) StartPendingVoices();
  switch (adv_state) {
    case ADV_RUNNING:
      if (!script_state.wait_running && !script_state.layer_busy) {
        ScriptStep();
        if (game_mode == MODE_ADV) ExpectScriptPictures();
      }
      break;
    case ADV_TEXT: TextAppearing(*this, in, revealed, clicks_blocked); break;
    case ADV_PAUSED:
    case ADV_PAGE_WAIT: PageWaiting(*this, in, clicks_blocked); break;
    default: break;
  }
}

void CADV::ADV_Flip() {
  // The timed wait; Ctrl passes it, except during the ending.
  ScriptState& st = script_state;
  if (st.wait_running) {
    st.wait_elapsed += frame_time;
    if (st.wait_elapsed >= st.wait_duration || (story.ctrl_skip && !st.ending))
      st.wait_running = false;
  }
  if (st.settle && --st.settle_count <= 0) st.settle = false;

  // A waiting page goes on by itself: auto mode, skip mode over read text, a no-wait page.
  if ((adv_state == ADV_PAUSED || adv_state == ADV_PAGE_WAIT) && !text_hidden_by_player &&
      !OnMenuButton(*this)) {
    const bool skippable = read_positions.IsRead(script.GetName(), script.GetPosition()) ||
                           system_data.SkipUnread;
    // Skipping ends at text not read before, so the skip button never shows a skip that waits.
    if (st.skip_mode && !skippable) st.skip_mode = false;
    if (story.auto_mode && story.auto_timer >= AutoDelay(*this)) {
      ClickOn(*this, false);
    } else if (st.skip_mode) {
      if (adv_state == ADV_PAUSED) {
        ContinuePage(*this, false);
      } else {
        EndPage(*this);
      }
    } else if (adv_state == ADV_PAGE_WAIT && st.page_no_wait) {
      EndPage(*this);
    }
  }

  SceneDrawLayers();
  WindowFade(*this);
  if (!text_hidden_by_script && (text_box.BoxAlpha() > 0 || text_box.TransitionActive())) {
    text_box.Draw(static_cast<int>(frame_time));
    if (!system_menu_open) ButtonBarDraw();
  }
  if (system_menu_open) RunSystemMenu();  // in place of the bar, even over a hidden window
  DissolveEnd(*this);
  switch (adv_state) {
    case ADV_CHOICE: ChoiceProc(); break;
    case ADV_CLICKABLE: ClickableProc(); break;
    case ADV_TIMED_CHOICE: TimedChoiceProc(); break;
    default: break;
  }
  SceneDrawEffect();

  if (adv_state == ADV_ENDING) {
    story.ending_timer += 4 * static_cast<int32_t>(frame_time);
    CSprite& black = fill_sprites[kFillBlack];
    black.SetAlpha(std::min(story.ending_timer, 255));
    black.Draw(process_.graphics.Device(), 0, 0, 800, 600);
    if (story.ending_timer > kEndingLimit) {
      st.ending = false;
      ReturnToTitle();
    }
  }
}

void CADV::ButtonBarProc() {
  button_bar.ClearHover();
  if (!ButtonBarActive(*this)) return;
  const bool skip_shown = !clickable.active;
  button_bar.UpdateHover(pointer, skip_shown);

  CInput& input = process_.input;
  if ((left_click && button_bar.menu_hovered) || input.KeyPressed(DIK_BACK)) {
    left_click = false;
    OpenSystemMenu();
    return;
  }
  if ((left_click && button_bar.auto_hovered) || input.KeyPressed(DIK_4)) {
    left_click = false;
    story.auto_mode = !story.auto_mode;
    story.auto_timer = 0;
  }
  const bool skip_key = input.KeyPressed(DIK_3);
  if (skip_shown && ((left_click && button_bar.skip_hovered) || skip_key)) {
    left_click = false;
    script_state.skip_mode = !script_state.skip_mode;
    story.auto_mode = false;
  }
  if (input.KeyPressed(DIK_1)) {
    OpenSaveLoad(true);
    return;
  }
  if (input.KeyPressed(DIK_2)) {
    OpenSaveLoad(false);
    return;
  }
  bool open_history = input.KeyPressed(DIK_PRIOR);
  open_history |= input.KeyPressed(DIK_NUMPAD9);
  open_history |= input.TakeWheel() > 0;
  if (open_history && adv_state < ADV_PLAYER_HIDE && adv_state != ADV_TRANSITION &&
      history.count >= 2)
    OpenBacklog();
}

void CADV::ButtonBarDraw() {
  button_bar.Draw(process_.graphics.Device(), text_box.BoxAlpha(), static_cast<float>(frame_time),
                  story.auto_mode, script_state.skip_mode, !clickable.active);
}

bool CADV::HideKeyPressed() {
  CInput& input = process_.input;
  bool hide = input.KeyPressed(DIK_TAB);
  hide |= input.KeyPressed(DIK_LSHIFT);
  hide |= input.KeyPressed(DIK_RSHIFT);
  const bool escape = input.KeyPressed(DIK_ESCAPE);
  if (window_active && !confirm_open && !toggle_request)
    hide |= escape || (right_click && pointer_inside);
  return hide;
}

bool CADV::Skipping() const {
  return script_state.skip_mode || story.ctrl_skip;
}
