// The panels every screen draws its boxes with: rounded panels and dialog panels from the
// corner and fill pieces of the second system texture, and the nine-slice window frame cut from
// the dialog art ("SYSTEM\dialog_base1.png"). One object, owned by CADV, made once at start-up.
//
// Engine library (screens).
#pragma once

#include <array>
#include <cstdint>

#include "graphics/device.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"

class CPackFile;
class PictureLoader;

class Panels {
 public:
  static constexpr const char* kArtPicture = "SYSTEM\\dialog_base1.png";

  // The corners come from `corner_sheet` (so the panels work without the dialog art); the art
  // is read from the system archive, its failure logged.
  void Setup(gfx::Device& device, CTexture& corner_sheet, const CPackFile& system,
             PictureLoader& pictures);

  // The rounded panel (the save screen's; its right pieces stand 8 px further in).
  void Rounded(gfx::Device& device, float x, float y, float w, float h, uint32_t rgb, int alpha);
  void Dialog(gfx::Device& device, float x, float y, float w, float h, uint32_t rgb);
  void Framed(gfx::Device& device, float x, float y, float w, float h, uint32_t fill_rgb,
              uint32_t outline_rgb);
  // The nine-slice frame: columns × rows cells of 32 px.
  void WindowFrame(gfx::Device& device, float x, float y, int columns, int rows);

  CSprite& Corner() { return corner_; }
  CSprite& Fill() { return fill_; }
  CTexture& Art() { return art_; }

 private:
  CSprite corner_, outline_corner_, fill_;
  std::array<CSprite, 9> frame_cells_;  // cell (i, j) at [3i + j]
  CTexture art_;
};
