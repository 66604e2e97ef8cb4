// The panels and the window frame every screen draws its boxes with, from the system textures
// and the dialog art (see Panels).
#include "screens/panels.h"

#include "platform/log.h"
#include "resource/image.h"
#include "resource/pack_file.h"
#include "screens/cells.h"
#include "resource/picture_loader.h"

namespace {

// The four corners of a panel, turned 0, 90, 180 and 270 degrees; `right` is the left edge of
// the right-hand corners.
void Corners(gfx::Device& device, CSprite& corner, float x, float y, float right, float h,
             uint32_t rgb, int alpha) {
  corner.SetColor(rgb);
  corner.SetAlpha(alpha);
  corner.DrawRotated(device, x - 8, y - 8, 8, 8, 0);
  corner.DrawRotated(device, right, y - 8, 8, 8, 90);
  corner.DrawRotated(device, right, y + h, 8, 8, 180);
  corner.DrawRotated(device, x - 8, y + h, 8, 8, 270);
}

// The three bands between the corners: left strip, middle, right strip.
void Bands(gfx::Device& device, CSprite& fill, float x, float y, float w, float h, float right,
           uint32_t rgb, int alpha) {
  fill.SetColor(rgb);
  fill.SetAlpha(alpha);
  fill.Draw(device, x - 8, y, 8, h);
  fill.Draw(device, x, y - 8, w, h + 16);
  fill.Draw(device, right, y, 8, h);
}

}  // namespace

void Panels::Rounded(gfx::Device& device, float x, float y, float w, float h, uint32_t rgb,
                     int alpha) {
  Corners(device, corner_, x, y, x + w - 8, h, rgb, alpha);
  Bands(device, fill_, x, y, w, h, x + w - 8, rgb, alpha);
}

void Panels::Dialog(gfx::Device& device, float x, float y, float w, float h, uint32_t rgb) {
  Corners(device, corner_, x, y, x + w, h, rgb, 192);
  Bands(device, fill_, x, y, w, h, x + w, rgb, 192);
}

void Panels::Framed(gfx::Device& device, float x, float y, float w, float h, uint32_t fill_rgb,
                    uint32_t outline_rgb) {
  Dialog(device, x, y, w, h, fill_rgb);
  Corners(device, outline_corner_, x, y, x + w, h, outline_rgb, 192);
  fill_.SetColor(outline_rgb);
  fill_.SetAlpha(192);
  fill_.Draw(device, x, y - 8, w, 3);
  fill_.Draw(device, x, y + h + 5, w, 3);
  fill_.Draw(device, x - 8, y, 3, h);
  fill_.Draw(device, x + w + 5, y, 3, h);
}

void Panels::WindowFrame(gfx::Device& device, float x, float y, int columns, int rows) {
  for (int j = 0; j <= rows; ++j) {
    const int i = j == 0 ? 0 : j == rows ? 2 : 1;
    for (int k = 0; k <= columns; ++k) {
      const int c = k == 0 ? 0 : k == columns ? 2 : 1;
      frame_cells_[3 * i + c].Draw(device, x + 32.0f * k, y + 32.0f * j, 32, 32);
    }
  }
}

void Panels::Setup(gfx::Device& device, CTexture& corner_sheet, const CPackFile& system,
                   PictureLoader& pictures) {
  CutCell(corner_, device, &corner_sheet, 240, 224, 248, 232);
  CutCell(outline_corner_, device, &corner_sheet, 224, 224, 232, 232);
  fill_.Init(0, 0, 8, 8);
  fill_.SetDevice(&device);

  art_.Create(device, 256, 256, gfx::D3DFMT_A8R8G8B8);
  CImage32 image;
  if (pictures.Load(system, kArtPicture, image) == 0 && image.Width() == 256 &&
      image.Height() == 256) {
    art_.Upload(image.Pixels());
  } else {
    WriteLog(2, "SYSTEM\\dialog_base1.png could not be loaded", "CADV::DialogArtSetup", 0);
  }
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      CutCell(frame_cells_[3 * i + j], device, &art_, 32 * j, 32 * i, 32 * j + 32, 32 * i + 32);
}
