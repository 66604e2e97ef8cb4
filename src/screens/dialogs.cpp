// The confirmation dialog's buttons, question and answers (see ConfirmationDialog).
#include "screens/dialogs.h"

#include <string>

#include "graphics/font.h"
#include "graphics/graphics.h"
#include "platform/dik.h"
#include "platform/sjis.h"
#include "screens/cells.h"
#include "screens/panels.h"

namespace {

constexpr float kPanelX = 240, kPanelY = 236, kPanelW = 320, kPanelH = 128;
constexpr uint32_t kPanelColour = 0x666666;
constexpr float kButtonY = 332, kButtonW = 128, kButtonH = 32;
constexpr float kYesX = 256, kNoX = 416;

}  // namespace

ConfirmationDialog::ConfirmationDialog(CGraphics& graphics, Panels& panels)
    : graphics_(graphics), panels_(panels) {}

void ConfirmationDialog::Setup(CTexture& sheet) {
  gfx::Device& device = graphics_.Device();
  CutCell(yes_normal, device, &sheet, 0, 0, 128, 32);
  CutCell(yes_hot, device, &sheet, 128, 0, 256, 32);
  CutCell(no_normal, device, &sheet, 0, 32, 128, 64);
  CutCell(no_hot, device, &sheet, 128, 32, 256, 64);
}

void OpaqueDialogPanel(Panels& panels, gfx::Device& device, float x, float y, float w, float h,
                       uint32_t rgb) {
  // The rounded panel's right corners stand 8 pixels inside its width.
  panels.Rounded(device, x, y, w + 8, h, rgb, 255);
}

ConfirmAnswer ConfirmationDialog::Run(ScreenInput& in) {
  gfx::Device& device = graphics_.Device();

  bool hit = false;
  if (in.PointerBox(kYesX, kButtonY, kYesX + kButtonW, kButtonY + kButtonH)) {
    selection = 0;
    hit = true;
  } else if (in.PointerBox(kNoX, kButtonY, kNoX + kButtonW, kButtonY + kButtonH)) {
    selection = 1;
    hit = true;
  }
  if (in.Key(DIK_LEFT)) selection = 0;
  if (in.Key(DIK_RIGHT)) selection = 1;

  if (in.Key(DIK_ESCAPE) || in.Held(1)) {
    title = false;
    return ConfirmAnswer::kClosed;
  }

  OpaqueDialogPanel(panels_, device, kPanelX, kPanelY, kPanelW, kPanelH, kPanelColour);
  (selection == 0 ? yes_hot : yes_normal).Draw(device, kYesX, kButtonY, kButtonW, kButtonH);
  (selection == 1 ? no_hot : no_normal).Draw(device, kNoX, kButtonY, kButtonW, kButtonH);
  static const std::string quit = SJ("本当に終了しますか？？");
  static const std::string title_question = SJ("タイトルに戻りますか？");
  graphics_.DrawText(kFont16, title ? title_question : quit, {240, 268, 560, 300}, 0xFFFFFFFFu,
                     DT_CENTER);

  // The shared decide rule without its dialog condition: every key is read.
  bool decide = in.Key(DIK_SPACE);
  decide |= in.Key(DIK_RETURN);
  decide |= in.Key(DIK_NUMPADENTER);
  decide |= in.LeftClick() && hit;
  if (!decide) return ConfirmAnswer::kOpen;
  if (selection == 1) {
    title = false;
    return ConfirmAnswer::kClosed;
  }
  return title ? ConfirmAnswer::kBackToTitle : ConfirmAnswer::kQuit;
}
