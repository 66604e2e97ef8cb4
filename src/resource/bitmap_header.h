// The 40-byte bitmap information header that images and canvases keep beside their pixels, laid
// out little-endian as the bitmap file format stores it.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kBitmapInfoHeaderSize = 40;

// Writes size 40, width, height (positive: a bottom-up bitmap), planes 1, the bit count and
// compression 0; every other member stays as the caller zeroed it.
inline void WriteBitmapInfoHeader(uint8_t* out, int32_t width, int32_t height, uint16_t bit_count) {
  auto put32 = [out](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put32(0, kBitmapInfoHeaderSize);
  put32(4, static_cast<uint32_t>(width));
  put32(8, static_cast<uint32_t>(height));
  out[12] = 1;  // planes
  out[13] = 0;
  out[14] = static_cast<uint8_t>(bit_count);
  out[15] = static_cast<uint8_t>(bit_count >> 8);
  put32(16, 0);  // compression: uncompressed RGB
}
