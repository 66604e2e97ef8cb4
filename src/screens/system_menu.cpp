// The in-story system menu (see SystemMenu). The story's button bar opens it; the story's
// draw step runs it every frame while it is open, in place of the bar, and the story holds still
// meanwhile. Save and load are offered only while the switch is on. The save/load and settings
// screens are entered from it and come back to it still open; closing it swallows the frame's
// clicks so they never reach the story.
//
// Choices of this engine where the rules leave room: the close button spins only while no
// dialog is open, as it is only highlighted then.
#include "screens/system_menu.h"

#include <algorithm>
#include <cmath>

#include "graphics/graphics.h"
#include "graphics/text_box.h"
#include "platform/dik.h"
#include "screens/cells.h"

namespace {

constexpr float kItemY = 412, kItemW = 128, kItemH = 32;
constexpr float kCloseX = 752, kCloseY = 412, kCloseSize = 32;
constexpr float kInPerMs = 5.12f, kOutPerMs = 2.56f;
constexpr float kTurnPerMs = 0.36f;  // one turn a second
constexpr float kOutside = 800;
constexpr float kStartX[kSystemMenuItems] = {800, 1400, 2000, 2600};

float RestX(int i) {
  return 240.0f + 128.0f * static_cast<float>(i);
}

int FirstShown(const SystemMenu& m) {
  return m.save_load_enabled ? 0 : 2;
}

// Moves the shown items one frame; true when all of them have arrived.
bool Slide(SystemMenu& m, float elapsed, bool in) {
  bool arrived = true;
  for (int i = FirstShown(m); i < kSystemMenuItems; ++i) {
    float& x = m.item_x[static_cast<size_t>(i)];
    if (in) {
      x = std::max(x - elapsed * kInPerMs, RestX(i));
      arrived &= x <= RestX(i);
    } else {
      x = std::min(x + elapsed * kOutPerMs, kOutside);
      arrived &= x >= kOutside;
    }
  }
  return arrived;
}

}  // namespace

SystemMenu::SystemMenu(CGraphics& graphics, CTEXTBOX& text_box)
    : graphics_(graphics), text_box_(text_box) {}

void SystemMenu::Setup(CTexture& sheet) {
  gfx::Device& device = graphics_.Device();
  SystemMenu& m = *this;
  CTexture* first = &sheet;
  for (int i = 0; i < kSystemMenuItems; ++i) {
    CutCell(m.item_normal[static_cast<size_t>(i)], device, first, 0, 32 + 32 * i, 128, 64 + 32 * i);
    CutCell(m.item_hot[static_cast<size_t>(i)], device, first, 128, 32 + 32 * i, 256, 64 + 32 * i);
  }
  CutCell(m.close_normal, device, first, 192, 160, 224, 192);
  CutCell(m.close_hot, device, first, 224, 160, 256, 192);
  m.angle = 0;
}

void SystemMenu::Open() {
  SystemMenu& m = *this;
  m.selection = kSystemMenuClose;
  m.state = 1;
  for (int i = 0; i < kSystemMenuItems; ++i) m.item_x[static_cast<size_t>(i)] = kStartX[i];
  m.cursor_shown_before = text_box_.CursorVisible();
  if (m.cursor_shown_before) text_box_.SetCursorVisible(false);
}

SystemMenuStep SystemMenu::Run(ScreenInput& in) {
  SystemMenu& m = *this;
  gfx::Device& device = graphics_.Device();
  const platform::Point pointer = in.pointer;
  const bool confirm_open = in.dialog_open;
  const float elapsed = static_cast<float>(in.elapsed);
  const int first = FirstShown(m);
  bool hit = false;
  bool closed = false;
  // The close button.
  if (!confirm_open) {
    if (pointer.x > kCloseX && pointer.x < kCloseX + kCloseSize && pointer.y > kCloseY &&
        pointer.y < kCloseY + kCloseSize) {
      m.selection = kSystemMenuClose;
      hit = true;
    }
    if (m.selection == kSystemMenuClose) {
      m.angle += elapsed * kTurnPerMs;
      if (m.angle > 359) m.angle -= 360.0f * static_cast<float>(static_cast<int>(m.angle) / 360);
    }
  }
  const bool close_hot = m.selection == kSystemMenuClose && !confirm_open;
  CSprite& close = close_hot ? m.close_hot : m.close_normal;
  close.SetAlpha(close_hot ? 255 : 128);
  close.DrawRotated(device, kCloseX, kCloseY, kCloseSize, kCloseSize, m.angle);

  // The items.
  if (m.state == 1) {
    if (Slide(m, elapsed, true)) m.state = 0;
  } else if (m.state == -1) {
    if (Slide(m, elapsed, false)) {
      closed = true;
      if (m.cursor_shown_before) text_box_.SetCursorVisible(true);
      m.state = 0;
      in.ClearWheel();
    }
  } else if (!confirm_open) {
    if (in.Key(DIK_LEFT)) {
      --m.selection;
      if (m.selection < first) m.selection = kSystemMenuClose;
    }
    if (in.Key(DIK_RIGHT)) {
      ++m.selection;
      if (m.selection > kSystemMenuClose) m.selection = first;
    }
    if (pointer.y > kItemY && pointer.y < kItemY + kItemH) {
      for (int i = first; i < kSystemMenuItems; ++i) {
        const float x = m.item_x[static_cast<size_t>(i)];
        if (static_cast<float>(pointer.x) > x && static_cast<float>(pointer.x) < x + kItemW) {
          m.selection = i;
          hit = true;
        }
      }
    }
  }
  for (int i = first; i < kSystemMenuItems; ++i) {
    const size_t k = static_cast<size_t>(i);
    (m.selection == i ? m.item_hot[k] : m.item_normal[k])
        .Draw(device, m.item_x[k], kItemY, kItemW, kItemH);
  }

  if (closed) return SystemMenuStep::kClosed;
  if (m.state != 0 || confirm_open) return SystemMenuStep::kStay;
  const bool decide = in.Decide(hit);
  bool cancel = in.Key(DIK_BACK);
  cancel |= in.Cancel();
  if (cancel) {
    m.selection = kSystemMenuClose;
  } else if (!decide) {
    return SystemMenuStep::kStay;
  }
  switch (m.selection) {
    case 0: return SystemMenuStep::kSave;
    case 1: return SystemMenuStep::kLoad;
    case 2: return SystemMenuStep::kSettings;
    case 3: return SystemMenuStep::kTitle;
    default:
      m.state = -1;
      return SystemMenuStep::kClosing;  // the click closed the menu; the story never sees it
  }
}
