// The story's button bar under the right end of the text window: the menu button that turns
// while the pointer rests on it, and the auto and skip icons showing their modes. The bar owns
// its pictures (cells of the first system texture) and its hover state; what a click on it
// opens is the story's (CADV::ButtonBarProc).
//
// Engine library (screens).
#pragma once

#include "graphics/device.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "platform/window.h"

class ButtonBar {
 public:
  void Setup(gfx::Device& device, CTexture& sheet);
  // The menu button's square, (752, 412)-(784, 444), exclusive.
  static bool OnMenuButton(platform::Point pointer) {
    return pointer.x > 752 && pointer.x < 784 && pointer.y > 412 && pointer.y < 444;
  }
  // What the pointer rests on; the skip icon only where it is shown.
  void UpdateHover(platform::Point pointer, bool skip_shown);
  void ClearHover() { menu_hovered = auto_hovered = skip_hovered = false; }
  // The bar at the window's alpha (0-255); the menu button turns while hovered.
  void Draw(gfx::Device& device, int box_alpha, float elapsed_ms, bool auto_mode, bool skip_mode,
            bool skip_shown);

  bool menu_hovered = false;
  bool auto_hovered = false;
  bool skip_hovered = false;
  float menu_angle = 0;  // degrees

 private:
  CSprite menu_button_, menu_button_hot_, auto_off_, auto_on_, skip_off_, skip_on_;
};
