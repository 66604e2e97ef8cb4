// The setup program's picture: flip after decoding, and the scaled draw onto a canvas.
#include "resource/setup_image.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "resource/dib.h"

namespace setup {

int CImage32::LoadFromPNG(const std::string& name, const CPackFile& archive) {
  const int result = image_.LoadFromPNG(name, archive);
  if (result == 0) FlipRows();
  return result;
}

int CImage32::LoadFromPNGMemory(const uint8_t* data, size_t size) {
  const int result = image_.LoadFromPNGMemory(data, size);
  if (result == 0) FlipRows();
  return result;
}

void CImage32::FlipRows() {
  uint8_t* pixels = image_.Pixels();
  const int height = image_.Height();
  const size_t row = static_cast<size_t>(image_.Width()) * 4;
  if (!pixels || row == 0) return;
  std::vector<uint8_t> temp(row);
  for (int i = 0; i < height / 2; ++i) {
    uint8_t* a = pixels + row * static_cast<size_t>(i);
    uint8_t* b = pixels + row * static_cast<size_t>(height - 1 - i);
    std::memcpy(temp.data(), a, row);
    std::memcpy(a, b, row);
    std::memcpy(b, temp.data(), row);
  }
}

void CImage32::Draw(CDIB& canvas, int x, int y, int w, int h) const {
  const uint8_t* src = image_.Pixels();
  uint8_t* dst = canvas.Bits();
  const int sw = image_.Width();
  const int sh = image_.Height();
  if (!src || !dst || sw <= 0 || sh <= 0 || w <= 0 || h <= 0) return;
  const int cw = canvas.Width();
  const int ch = canvas.Height();
  const int x0 = std::max(x, 0);
  const int y0 = std::max(y, 0);
  const int x1 = static_cast<int>(std::min<int64_t>(int64_t{x} + w, cw));
  const int y1 = static_cast<int>(std::min<int64_t>(int64_t{y} + h, ch));
  for (int dy = y0; dy < y1; ++dy) {
    // Row dy from the top of the rectangle, taken from the picture's row sy from its top; both
    // lie bottom-up in memory.
    const int sy = static_cast<int>(int64_t{dy - y} * sh / h);
    const uint8_t* src_row = src + static_cast<size_t>(sh - 1 - sy) * sw * 4;
    uint8_t* dst_row = dst + static_cast<size_t>(ch - 1 - dy) * cw * 4;
    for (int dx = x0; dx < x1; ++dx) {
      const int sx = static_cast<int>(int64_t{dx - x} * sw / w);
      std::memcpy(dst_row + static_cast<size_t>(dx) * 4, src_row + static_cast<size_t>(sx) * 4, 4);
    }
  }
}

}  // namespace setup
