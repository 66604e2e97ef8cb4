// The message history: the buttons sliding in, the pointer, the keys, the wheel and the scroll
// bar, and the page shown in the story's text box.
//
// Choices of this engine where the rules leave room:
// - The scroll bar's drag arithmetic is all in integers, as its step is.
// - A page whose snapshot cannot be rebuilt (the rebuild refuses it with a log line and keeps
//   the history) closes the history instead, so the story goes on where it was.
#include <algorithm>
#include <cstring>
#include <string>

#include "screens/backlog.h"

#include "graphics/graphics.h"
#include "graphics/text_box.h"
#include "platform/dik.h"
#include "save/checkpoints.h"
#include "screens/cells.h"
#include "script/story.h"

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

}  // namespace

BacklogScreen::BacklogScreen(CGraphics& graphics, CTEXTBOX& text_box, HistoryStore& history,
                             CheckpointHistory& checkpoints, CSprite& black)
    : graphics_(graphics),
      text_box_(text_box),
      history_(history),
      checkpoints_(checkpoints),
      black_(black) {}

void BacklogScreen::Setup(CTexture& sheet) {
  gfx::Device& device = graphics_.Device();
  CTexture* t = &sheet;
  CutCell(return_normal_, device, t, 64, 0, 128, 16);
  CutCell(return_hot_, device, t, 64, 16, 128, 32);
  CutCell(go_back_normal_, device, t, 128, 0, 256, 16);
  CutCell(go_back_hot_, device, t, 128, 16, 256, 32);
  CutCell(arrow_, device, t, 224, 192, 240, 208);
  CutCell(thumb_, device, t, 240, 192, 256, 208);
  history_.count = 0;
  checkpoints_.count = 0;
  for (HistoryEntry& e : history_.entries) e = HistoryEntry{};
}

bool BacklogScreen::GoBackAllowed() const {
  return index >= 0 && index < checkpoints_.count && checkpoints_[index].RollbackEnabled != 0;
}

void BacklogScreen::Show(int i) {
  if (i < 0 || i >= static_cast<int>(history_.entries.size())) return;  // no such page
  const HistoryEntry& e = history_.entries[static_cast<size_t>(i)];
  text_box_.Advance(-1);
  text_box_.SetNamePlate(e.name_plate != 0);
  text_box_.SetName(Field(e.name));
  for (int line = 0; line < kTextLineCount; ++line) text_box_.SetLine(line, Field(e.lines[line]));
  // The whole page at once, past every pause sign.
  for (int n = 0; n < kMaxAdvanceCalls && text_box_.Advance(1) != 1; ++n) {
  }
  shown = i;
}

bool BacklogScreen::Open(GameMode from, uint32_t elapsed) {
  if (history_.count < 2) return false;  // the page on screen is the only one
  text_box_.SaveState();
  index = history_.count - 2;
  text_box_.SetTextColor(kHistoryColour);
  Show(index);
  text_box_.SetCursorVisible(false);
  text_box_.Draw(static_cast<int>(elapsed));
  return_mode = from;
  sliding = true;
  go_back_x = kGoBackStart;
  return_x = kReturnStart;
  hover = kBacklogReturn;
  return true;
}

int BacklogScreen::Close(uint32_t elapsed) {
  const int result = text_box_.RestoreState();
  text_box_.Draw(static_cast<int>(elapsed));
  return result;
}

BacklogStep BacklogScreen::Flip(ScreenInput& in) {
  gfx::Device& device = graphics_.Device();
  const float elapsed = static_cast<float>(in.elapsed);
  const platform::Point pointer = in.pointer;
  const int count = history_.count;
  const int newest = count - 2;  // the newest page the history shows

  bool hit = false;
  bool allowed = GoBackAllowed();
  if (sliding) {
    go_back_x = std::max(go_back_x - elapsed * kSlidePerMs, kGoBackRest);
    return_x -= elapsed * kSlidePerMs;
    if (return_x <= kReturnRest) {
      return_x = kReturnRest;
      sliding = false;
    }
  } else {
    go_back_x = kGoBackRest;
    return_x = kReturnRest;
    if (!in.dialog_open) {
      if (in.Key(DIK_LEFT) && allowed) hover = kBacklogGoBack;
      if (in.Key(DIK_RIGHT)) hover = kBacklogReturn;
      if (pointer.y > 556 && pointer.y < 604) {
        if (pointer.x > 576 && pointer.x < 704 && allowed) {
          hover = kBacklogGoBack;
          hit = true;
        } else if (pointer.x > 704 && pointer.x < 768) {
          hover = kBacklogReturn;
          hit = true;
        }
      }
      if (in.PointerBox(kArrowX, kUpY, kArrowX + kArrowSize, kUpY + kArrowSize)) {
        hover = kBacklogUp;
        hit = true;
      }
      if (in.PointerBox(kArrowX, kDownY, kArrowX + kArrowSize, kDownY + kArrowSize)) {
        hover = kBacklogDown;
        hit = true;
      }
    }
  }

  if (allowed)
    (hover == kBacklogGoBack ? go_back_hot_ : go_back_normal_)
        .Draw(device, go_back_x, kButtonY, 128, 16);
  (hover == kBacklogReturn ? return_hot_ : return_normal_).Draw(device, return_x, kButtonY, 64, 16);

  bool bar_hovered = false;
  if (!in.dialog_open) {
    auto page_up = [&] {
      index = std::max(index - 1, 0);
      Show(index);
    };
    bool decide = false;
    if (hit) {
      decide = in.Decide(true);
    } else if (count > 2 && pointer.x > kArrowX && pointer.x < kArrowX + kArrowSize &&
               pointer.y > kTrackY && pointer.y < kTrackY + kTrackH) {
      bar_hovered = true;
      hover = kBacklogScrollBar;
      if (in.Held(0)) {
        const int step = 63 / (count - 1);
        const int chosen = std::clamp((pointer.y - 468 - step / 2) / step, 0, newest);
        index = chosen;
        if (chosen != shown) Show(chosen);
      }
    }
    decide |= in.Decide(false);

    const int wheel = in.Wheel();
    bool up = in.Key(DIK_PRIOR);
    up |= in.Key(DIK_NUMPAD9);
    if (up || wheel > 0) page_up();
    bool down = in.Key(DIK_NEXT);
    down |= in.Key(DIK_NUMPAD3);
    if (down || wheel < 0) {
      if (index >= newest) {
        paged_out_result_ = Close(in.elapsed);
        return BacklogStep::kPagedOut;
      }
      Show(++index);
    }

    if (decide) {
      switch (hover) {
        case kBacklogGoBack:
          if (GoBackAllowed()) return BacklogStep::kGoBack;
          break;
        case kBacklogReturn: Close(in.elapsed); return BacklogStep::kClosed;
        case kBacklogUp: page_up(); break;
        case kBacklogDown:
          if (index < newest) Show(++index);
          break;
        default: break;
      }
    }
    if (in.Cancel()) {
      Close(in.elapsed);
      return BacklogStep::kClosed;
    }
  }

  text_box_.Draw(static_cast<int>(in.elapsed));
  DrawScrollBar(bar_hovered);
  return BacklogStep::kStay;
}

void BacklogScreen::DrawScrollBar(bool bar_hovered) {
  gfx::Device& device = graphics_.Device();
  const int count = history_.count;
  const int newest = count - 2;
  black_.SetAlpha(64);
  black_.Draw(device, kArrowX, kTrackY, kArrowSize, kTrackH);
  black_.SetAlpha(255);
  arrow_.SetColor(hover == kBacklogUp ? kHotColour : 0xFFFFFF);
  arrow_.Draw(device, kArrowX, kUpY, kArrowSize, kArrowSize);
  arrow_.SetColor(hover == kBacklogDown ? kHotColour : 0xFFFFFF);
  arrow_.DrawRotated(device, kArrowX, kDownY, kArrowSize, kArrowSize, 180);
  if (count > 2) {
    thumb_.SetColor(bar_hovered ? kHotColour : 0xFFFFFF);
    const float y = 462.0f + 55.0f * static_cast<float>(index) / static_cast<float>(newest);
    thumb_.Draw(device, kArrowX, y, kArrowSize, kArrowSize);
  }
}
