// The message history (MODE_BACKLOG): earlier pages of the story shown one at a time in the
// story's own text box, complete and in yellow, over the story's pictures, with a scroll bar, a
// return button and, on pages recorded while rollback was on, a button that takes the story back
// to that page. The page on screen when the history opens is the newest entry and is not shown;
// closing brings it back as it was. The mode has no update step: its draw step reads the input.
//
// Choices of this engine where the rules leave room:
// - The scroll bar's drag arithmetic is all in integers, as its step is.
// - A page whose snapshot cannot be rebuilt (the rebuild refuses it with a log line and keeps
//   the history) closes the history instead, so the story goes on where it was.
#include <algorithm>
#include <cstring>
#include <string>

#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"
#include "screens/cells.h"

namespace {

constexpr float kButtonY = 572;
constexpr float kGoBackRest = 576, kReturnRest = 704;
constexpr float kGoBackStart = 800, kReturnStart = 1056;
constexpr float kSlidePerMs = 0.896f;
constexpr float kArrowX = 760, kUpY = 446, kDownY = 533, kArrowSize = 16;
constexpr float kTrackY = 464, kTrackH = 67;
constexpr uint32_t kHotColour = 0xFFB060;
constexpr uint16_t kHistoryColour = 0xFFF0;  // opaque yellow in the box's 16-bit format
constexpr int kMaxAdvanceCalls = 128;  // more than a page has pause signs

template <size_t N>
std::string Field(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

bool GoBackAllowed(const CADV& adv) {
  const int i = adv.backlog.index;
  return i >= 0 && i < adv.checkpoints.count && adv.checkpoints[i].RollbackEnabled != 0;
}

// The page that was on screen comes back as it was, stopped at the same pause; the result of
// rebuilding it.
int Close(CADV& adv) {
  const int result = adv.text_box.RestoreState();
  adv.game_mode = static_cast<GameMode>(adv.backlog.return_mode);
  adv.text_box.Draw(static_cast<int>(adv.frame_time));
  return result;
}

// The story is rebuilt from the page's snapshot; it runs the page's text command again, which
// sets the speaker, the colour and the text.
void GoBack(CADV& adv) {
  Process& p = adv.process();
  p.bgm.FadeOut(0);
  for (int i = 0; i < 8; ++i)
    if (p.script_se[i].IsPlaying()) p.script_se[i].FadeOut(0);
  for (int i = 0; i < 8; ++i) p.voices[i].FadeOut(2);
  if (!adv.RestoreCheckpoint(adv.backlog.index)) {  // refused: the history is still there
    Close(adv);
    return;
  }
  adv.story.auto_mode = false;
  adv.script_state.skip_mode = false;
  adv.game_mode = MODE_ADV;
}

}  // namespace

void CADV::BacklogSetup() {
  gfx::Device& device = process_.graphics.Device();
  BacklogScreen& b = backlog;
  CTexture* t = &system_textures[0];
  CutCell(b.return_normal, device, t, 64, 0, 128, 16);
  CutCell(b.return_hot, device, t, 64, 16, 128, 32);
  CutCell(b.go_back_normal, device, t, 128, 0, 256, 16);
  CutCell(b.go_back_hot, device, t, 128, 16, 256, 32);
  CutCell(b.arrow, device, t, 224, 192, 240, 208);
  CutCell(b.thumb, device, t, 240, 192, 256, 208);
  history.count = 0;
  checkpoints.count = 0;
  for (HistoryEntry& e : history.entries) e = HistoryEntry{};
}

void CADV::ShowBacklogEntry(int i) {
  const HistoryEntry& e = history.entries[static_cast<size_t>(i)];
  text_box.Advance(-1);
  text_box.SetNamePlate(e.name_plate != 0);
  text_box.SetName(Field(e.name));
  for (int line = 0; line < kTextLineCount; ++line) text_box.SetLine(line, Field(e.lines[line]));
  // The whole page at once, past every pause sign.
  for (int n = 0; n < kMaxAdvanceCalls && text_box.Advance(1) != 1; ++n) {
  }
  backlog.shown = i;
}

void CADV::OpenBacklog() {
  if (history.count < 2) return;  // the page on screen is the only one
  BacklogScreen& b = backlog;
  text_box.SaveState();
  b.index = history.count - 2;
  text_box.SetTextColor(kHistoryColour);
  ShowBacklogEntry(b.index);
  text_box.SetCursorVisible(false);
  text_box.Draw(static_cast<int>(frame_time));
  b.return_mode = game_mode;
  game_mode = MODE_BACKLOG;
  b.sliding = true;
  b.go_back_x = kGoBackStart;
  b.return_x = kReturnStart;
  b.hover = kBacklogReturn;
}

void CADV::Backlog_Flip() {
  BacklogScreen& b = backlog;
  CInput& input = process_.input;
  gfx::Device& device = process_.graphics.Device();
  const float elapsed = static_cast<float>(frame_time);
  const int count = history.count;
  const int newest = count - 2;  // the newest page the history shows

  SceneDrawLayers();

  bool hit = false;
  bool allowed = GoBackAllowed(*this);
  if (b.sliding) {
    b.go_back_x = std::max(b.go_back_x - elapsed * kSlidePerMs, kGoBackRest);
    b.return_x -= elapsed * kSlidePerMs;
    if (b.return_x <= kReturnRest) {
      b.return_x = kReturnRest;
      b.sliding = false;
    }
  } else {
    b.go_back_x = kGoBackRest;
    b.return_x = kReturnRest;
    if (!confirm_open) {
      if (input.KeyPressed(DIK_LEFT) && allowed) b.hover = kBacklogGoBack;
      if (input.KeyPressed(DIK_RIGHT)) b.hover = kBacklogReturn;
      if (pointer.y > 556 && pointer.y < 604) {
        if (pointer.x > 576 && pointer.x < 704 && allowed) {
          b.hover = kBacklogGoBack;
          hit = true;
        } else if (pointer.x > 704 && pointer.x < 768) {
          b.hover = kBacklogReturn;
          hit = true;
        }
      }
      if (PointerBoxOverlaps(kArrowX, kUpY, kArrowX + kArrowSize, kUpY + kArrowSize)) {
        b.hover = kBacklogUp;
        hit = true;
      }
      if (PointerBoxOverlaps(kArrowX, kDownY, kArrowX + kArrowSize, kDownY + kArrowSize)) {
        b.hover = kBacklogDown;
        hit = true;
      }
    }
  }

  if (allowed)
    (b.hover == kBacklogGoBack ? b.go_back_hot : b.go_back_normal)
        .Draw(device, b.go_back_x, kButtonY, 128, 16);
  (b.hover == kBacklogReturn ? b.return_hot : b.return_normal)
      .Draw(device, b.return_x, kButtonY, 64, 16);

  bool bar_hovered = false;
  if (!confirm_open) {
    auto page_up = [&] {
      b.index = std::max(b.index - 1, 0);
      ShowBacklogEntry(b.index);
    };
    bool decide = false;
    if (hit) {
      decide = IsDecide(true);
    } else if (count > 2 && pointer.x > kArrowX && pointer.x < kArrowX + kArrowSize &&
               pointer.y > kTrackY && pointer.y < kTrackY + kTrackH) {
      bar_hovered = true;
      b.hover = kBacklogScrollBar;
      if (input.ButtonDown(0)) {
        const int step = 63 / (count - 1);
        const int index = std::clamp((pointer.y - 468 - step / 2) / step, 0, newest);
        b.index = index;
        if (index != b.shown) ShowBacklogEntry(index);
      }
    }
    decide |= IsDecide(false);

    const int wheel = input.TakeWheel();
    bool up = input.KeyPressed(DIK_PRIOR);
    up |= input.KeyPressed(DIK_NUMPAD9);
    if (up || wheel > 0) page_up();
    bool down = input.KeyPressed(DIK_NEXT);
    down |= input.KeyPressed(DIK_NUMPAD3);
    if (down || wheel < 0) {
      if (b.index >= newest) {
        story.advance_result = Close(*this);
        return;
      }
      ShowBacklogEntry(++b.index);
    }

    if (decide) {
      switch (b.hover) {
        case kBacklogGoBack:
          if (GoBackAllowed(*this)) {
            GoBack(*this);
            return;
          }
          break;
        case kBacklogReturn: Close(*this); return;
        case kBacklogUp: page_up(); break;
        case kBacklogDown:
          if (b.index < newest) ShowBacklogEntry(++b.index);
          break;
        default: break;
      }
    }
    if (IsCancel()) {
      Close(*this);
      return;
    }
  }

  text_box.Draw(static_cast<int>(frame_time));

  // The scroll bar.
  CSprite& black = fill_sprites[kFillBlack];
  black.SetAlpha(64);
  black.Draw(device, kArrowX, kTrackY, kArrowSize, kTrackH);
  black.SetAlpha(255);
  b.arrow.SetColor(b.hover == kBacklogUp ? kHotColour : 0xFFFFFF);
  b.arrow.Draw(device, kArrowX, kUpY, kArrowSize, kArrowSize);
  b.arrow.SetColor(b.hover == kBacklogDown ? kHotColour : 0xFFFFFF);
  b.arrow.DrawRotated(device, kArrowX, kDownY, kArrowSize, kArrowSize, 180);
  if (count > 2) {
    b.thumb.SetColor(bar_hovered ? kHotColour : 0xFFFFFF);
    const float y = 462.0f + 55.0f * static_cast<float>(b.index) / static_cast<float>(newest);
    b.thumb.Draw(device, kArrowX, y, kArrowSize, kArrowSize);
  }
}
