// CADV's system-menu entry points, handed to the SystemMenu, and the screens and questions the
// menu opens.
#include "app/adv.h"
#include "app/process.h"

// The menu's sprites; the confirmation dialog, whose questions the menu asks, cuts its own.
void CADV::SystemMenuSetup() {
  system_menu.Setup(system_textures[0]);
  confirmation.Setup(system_textures[2]);
}

void CADV::OpenSystemMenu() {
  system_menu_open = true;
  system_menu.Open();
}

void CADV::RunSystemMenu() {
  ScreenInput in = InputForScreen();
  switch (system_menu.Run(in)) {
    case SystemMenuStep::kSave: OpenSaveLoad(true); break;
    case SystemMenuStep::kLoad: OpenSaveLoad(false); break;
    case SystemMenuStep::kSettings: OpenConfig(MODE_ADV); break;
    case SystemMenuStep::kTitle: OpenTitleConfirmation(); break;
    case SystemMenuStep::kClosing: left_click = right_click = false; break;
    case SystemMenuStep::kClosed: system_menu_open = false; break;
    case SystemMenuStep::kStay: break;
  }
}
