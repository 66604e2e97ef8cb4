// CADV's confirmation entry points, handed to the ConfirmationDialog, and what its answers do:
// close it, quit, or go back to the title. Also the entry points of the Panels the dialogs and
// the other screens draw their boxes with, on the dialog art.
#include "app/adv.h"
#include "app/process.h"

namespace {

void Close(CADV& adv) {
  adv.confirm_open = false;
  adv.confirmation.title = false;
}

}  // namespace

// FrameProc's overlay step.
void CADV::ConfirmDialog() {
  RunConfirmation();
}

void CADV::OpenQuitConfirmation() {
  if (confirm_open) return;
  confirm_open = true;
  confirmation.AskQuit();
}

void CADV::OpenTitleConfirmation() {
  confirm_open = true;
  confirmation.AskTitle();
}

void CADV::RunConfirmation() {
  ScreenInput in = InputForScreen();
  switch (confirmation.Run(in)) {
    case ConfirmAnswer::kClosed: Close(*this); break;
    case ConfirmAnswer::kQuit: quit_confirmed = true; break;
    case ConfirmAnswer::kBackToTitle: GoBackToTitle(); break;
    case ConfirmAnswer::kOpen: break;
  }
}

void CADV::GoBackToTitle() {
  game_mode = MODE_TITLE;
  SetTitleState(kTitleMusic);
  Close(*this);
  // The story being left takes its menu with it.
  system_menu_open = false;
  system_menu.state = 0;
  LoadTitleResources();
  process_.bgm.FadeOut(0);
  for (int i = 0; i < 8; ++i) process_.voices[i].FadeOut(0);
  for (int c = 0; c < 2; ++c) scene.bg.Channel(c).blocks.SetAlpha(255);
  for (int s = 0; s < scene::kSlotCount; ++s)
    for (scene::ChrBuffer& b : scene.chr.Slot(s).buffers) b.SetAlpha(255);
  scene.bg.Stop();  // the cross-fade and the scroll
  ReturnToTitle();
}

// The panels: the screens' vocabulary, drawn on the game's device.
void CADV::RoundedPanel(float x, float y, float w, float h, uint32_t rgb, int alpha) {
  panels.Rounded(process_.graphics.Device(), x, y, w, h, rgb, alpha);
}
void CADV::DialogPanel(float x, float y, float w, float h, uint32_t rgb) {
  panels.Dialog(process_.graphics.Device(), x, y, w, h, rgb);
}
void CADV::FramedPanel(float x, float y, float w, float h, uint32_t fill_rgb,
                       uint32_t outline_rgb) {
  panels.Framed(process_.graphics.Device(), x, y, w, h, fill_rgb, outline_rgb);
}
void CADV::WindowFrame(float x, float y, int columns, int rows) {
  panels.WindowFrame(process_.graphics.Device(), x, y, columns, rows);
}
void CADV::DialogArtSetup() {
  panels.Setup(process_.graphics.Device(), system_textures[1], process_.system_pkd,
               process_.pictures);
}
