#include "screens/button_bar.h"

#include <cmath>

#include "screens/cells.h"
#include "screens/pointer_box.h"

namespace {

constexpr float kMenuTurnPerMs = 0.36f;  // one turn a second

}  // namespace

void ButtonBar::Setup(gfx::Device& device, CTexture& sheet) {
  CutCell(menu_button_, device, &sheet, 192, 160, 224, 192);
  CutCell(menu_button_hot_, device, &sheet, 224, 160, 256, 192);
  CutCell(auto_off_, device, &sheet, 32, 160, 96, 176);
  CutCell(auto_on_, device, &sheet, 32, 176, 96, 192);
  CutCell(skip_off_, device, &sheet, 96, 160, 160, 176);
  CutCell(skip_on_, device, &sheet, 96, 176, 160, 192);
}

void ButtonBar::UpdateHover(platform::Point pointer, bool skip_shown) {
  menu_hovered = OnMenuButton(pointer);
  auto_hovered = PointerBoxHits(pointer, 688, 428, 752, 444);
  skip_hovered = skip_shown && PointerBoxHits(pointer, 624, 428, 688, 444);
}

void ButtonBar::Draw(gfx::Device& device, int box_alpha, float elapsed_ms, bool auto_mode,
                     bool skip_mode, bool skip_shown) {
  // The bar fades with the window.
  const float k = static_cast<float>(box_alpha) / 255;
  auto alpha = [k](int a) { return static_cast<int>(static_cast<float>(a) * k); };

  if (menu_hovered) {
    menu_angle += kMenuTurnPerMs * elapsed_ms;
    if (menu_angle > 359) menu_angle = std::fmod(menu_angle, 360.0f);
    menu_button_hot_.SetAlpha(alpha(255));
    menu_button_hot_.DrawRotated(device, 752, 412, 32, 32, menu_angle);
  } else {
    menu_button_.SetAlpha(alpha(128));
    menu_button_.DrawRotated(device, 752, 412, 32, 32, menu_angle);
  }
  CSprite& auto_icon = auto_mode ? auto_on_ : auto_off_;
  auto_icon.SetAlpha(alpha(auto_hovered ? 255 : 170));
  auto_icon.Draw(device, 688, 428, 64, 16);
  if (skip_shown) {
    CSprite& skip_icon = skip_mode ? skip_on_ : skip_off_;
    skip_icon.SetAlpha(alpha(skip_hovered ? 255 : 170));
    skip_icon.Draw(device, 624, 428, 64, 16);
  }
}
