// The confirmation dialog: a yes/no box drawn over whatever screen is showing, asking whether to
// quit or whether to go back to the title. FrameProc runs it after the mode's draw step; while it
// is open every screen ignores its own input, so the dialog reads the keys itself. Escape or the
// held right button closes it without an answer, and it is not drawn in that frame.
#include <string>

#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"
#include "platform/sjis.h"
#include "screens/cells.h"

namespace {

constexpr float kPanelX = 240, kPanelY = 236, kPanelW = 320, kPanelH = 128;
constexpr uint32_t kPanelColour = 0x666666;
constexpr float kButtonY = 332, kButtonW = 128, kButtonH = 32;
constexpr float kYesX = 256, kNoX = 416;

void Close(CADV& adv) {
  adv.confirm_open = false;
  adv.confirmation.title = false;
}

}  // namespace

void ConfirmationDialog::Setup(gfx::Device& device, CTexture& sheet) {
  CutCell(yes_normal, device, &sheet, 0, 0, 128, 32);
  CutCell(yes_hot, device, &sheet, 128, 0, 256, 32);
  CutCell(no_normal, device, &sheet, 0, 32, 128, 64);
  CutCell(no_hot, device, &sheet, 128, 32, 256, 64);
}

void OpaqueDialogPanel(CADV& adv, float x, float y, float w, float h, uint32_t rgb) {
  // The rounded panel's right corners stand 8 pixels inside its width.
  adv.RoundedPanel(x, y, w + 8, h, rgb, 255);
}

// FrameProc's overlay step.
void CADV::ConfirmDialog() {
  RunConfirmation();
}

void CADV::OpenQuitConfirmation() {
  if (confirm_open) return;
  confirm_open = true;
  confirmation.selection = 1;
}

void CADV::OpenTitleConfirmation() {
  confirmation.title = true;
  confirm_open = true;
  confirmation.selection = 1;
}

void CADV::RunConfirmation() {
  ConfirmationDialog& d = confirmation;
  CInput& input = process_.input;
  gfx::Device& device = process_.graphics.Device();

  bool hit = false;
  if (PointerBoxOverlaps(kYesX, kButtonY, kYesX + kButtonW, kButtonY + kButtonH)) {
    d.selection = 0;
    hit = true;
  } else if (PointerBoxOverlaps(kNoX, kButtonY, kNoX + kButtonW, kButtonY + kButtonH)) {
    d.selection = 1;
    hit = true;
  }
  if (input.KeyPressed(DIK_LEFT)) d.selection = 0;
  if (input.KeyPressed(DIK_RIGHT)) d.selection = 1;

  if (input.KeyPressed(DIK_ESCAPE) || input.ButtonDown(1)) {
    Close(*this);
    return;
  }

  OpaqueDialogPanel(*this, kPanelX, kPanelY, kPanelW, kPanelH, kPanelColour);
  (d.selection == 0 ? d.yes_hot : d.yes_normal).Draw(device, kYesX, kButtonY, kButtonW, kButtonH);
  (d.selection == 1 ? d.no_hot : d.no_normal).Draw(device, kNoX, kButtonY, kButtonW, kButtonH);
  static const std::string quit = SJ("本当に終了しますか？？");
  static const std::string title = SJ("タイトルに戻りますか？");
  process_.graphics.DrawText(kFont16, d.title ? title : quit, {240, 268, 560, 300}, 0xFFFFFFFFu,
                             DT_CENTER);

  // The shared decide rule without its dialog condition: every key is read.
  bool decide = input.KeyPressed(DIK_SPACE);
  decide |= input.KeyPressed(DIK_RETURN);
  decide |= input.KeyPressed(DIK_NUMPADENTER);
  decide |= left_click && hit;
  if (!decide) return;
  if (d.selection == 1) {
    Close(*this);
  } else if (d.title) {
    GoBackToTitle();
  } else {
    quit_confirmed = true;
  }
}

void CADV::GoBackToTitle() {
  game_mode = MODE_TITLE;
  SetTitleState(20);
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
