// The in-story system menu: up to four picture buttons (save, load, settings, back to the title)
// that slide in from the right edge, and a close button that spins while it is selected. Its
// state: the selection, the items' places, the close button's angle and the save/load switch,
// which survive between openings. Whether it is shown is CADV's system_menu_open, which the story
// and the layers read to hold still.
//
// Engine library (screens).
#pragma once

#include <array>
#include <cstdint>

#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "screens/screen_input.h"

class CGraphics;
class CTEXTBOX;

inline constexpr int kSystemMenuItems = 4;
inline constexpr int kSystemMenuClose = 4;  // the selection of the close button

// What a frame of the menu asks of the engine.
enum class SystemMenuStep {
  kStay,
  kSave,  // the save/load screen, saving
  kLoad,
  kSettings,
  kTitle,  // the question whether to go back to the title
  kClosing,  // the close began: the frame's clicks are the menu's, never the story's
  kClosed,  // the items are out: the menu is no longer shown
};

class SystemMenu {
 public:
  // `text_box` is the story's: its wait cursor hides while the menu is open.
  SystemMenu(CGraphics& graphics, CTEXTBOX& text_box);
  SystemMenu(const SystemMenu&) = delete;
  SystemMenu& operator=(const SystemMenu&) = delete;

  // The menu's sprites, cells of the first system texture.
  void Setup(CTexture& sheet);
  // The items at their start places, sliding in, the close button selected.
  void Open();
  // One frame, by the story's draw step in place of the button bar.
  SystemMenuStep Run(ScreenInput& in);

  int32_t state = 0;  // SystemMenuState: 1 sliding in, 0 idle, -1 sliding out
  int32_t selection = kSystemMenuClose;  // SystemMenuSelection: 0 save … 3 title, 4 close
  std::array<float, kSystemMenuItems> item_x{};  // left edges
  float angle = 0;  // SystemMenuAngle, degrees
  bool cursor_shown_before = false;  // the text box's wait cursor when the menu opened
  // MenuSaveLoadEnabled: items 0 and 1 are offered (set when a load resumes in the town map,
  // cleared when a new story or a replay starts).
  bool save_load_enabled = false;

  std::array<CSprite, kSystemMenuItems> item_normal, item_hot;
  CSprite close_normal, close_hot;

 private:
  CGraphics& graphics_;
  CTEXTBOX& text_box_;
};
