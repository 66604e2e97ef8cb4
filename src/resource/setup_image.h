// The setup program's picture: the same 32-bit PNG decoding as the game's CImage32, but the
// pixels are turned bottom-up after decoding, to match the positive height of the header block,
// and the picture is drawn onto a canvas (CDIB) scaled to a rectangle.
#pragma once

#include <cstdint>
#include <string>

#include "resource/image.h"

class CDIB;

namespace setup {

class CImage32 {
 public:
  int Create(int width, int height) { return image_.Create(width, height); }
  void Release() { image_.Release(); }
  int Width() const { return image_.Width(); }
  int Height() const { return image_.Height(); }
  // Rows bottom-up after a load: memory row 0 is the picture's bottom row.
  uint8_t* Pixels() { return image_.Pixels(); }
  const uint8_t* Pixels() const { return image_.Pixels(); }
  const uint8_t* Header() const { return image_.Header(); }

  // 0, -1 or -2 as ::CImage32::LoadFromPNG; the pixels are flipped on success.
  int LoadFromPNG(const std::string& name, const CPackFile& archive);
  int LoadFromPNGMemory(const uint8_t* data, size_t size);

  // Copies the whole picture onto the canvas at (x, y), scaled to w × h (nearest pixel), all
  // four bytes of each pixel as they are. (x, y) is the top-left corner as the canvas is seen,
  // so both bottom-up layouts are taken into account; what falls outside the canvas is clipped.
  // Nothing is drawn for an empty picture or canvas or a rectangle without area.
  void Draw(CDIB& canvas, int x, int y, int w, int h) const;

 private:
  void FlipRows();

  ::CImage32 image_;
};

}  // namespace setup
