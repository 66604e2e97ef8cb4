// The benchmarks' pictures: photograph-like (smooth colour plus noise), so a PNG is not trivially
// small; `cutout` makes an oval character shape with transparent corners.
#pragma once

#include <cstdint>
#include <vector>

#include "resource/image.h"
#include "resource/png_encode.h"

inline std::vector<uint8_t> PhotoPng(int w, int h, bool cutout, uint32_t seed,
                                     PngChannels channels = PngChannels::Rgba) {
  CImage32 image;
  image.Create(w, h);
  uint8_t* p = image.Pixels();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x, p += 4) {
      seed = seed * 1664525u + 1013904223u;
      const int n = static_cast<int>(seed >> 28);
      p[0] = static_cast<uint8_t>((x * 255 / w + n) & 0xFF);
      p[1] = static_cast<uint8_t>((y * 255 / h + n) & 0xFF);
      p[2] = static_cast<uint8_t>(((x + y) / 5 + n) & 0xFF);
      const double dx = (x - w / 2) / (w * 0.4), dy = (y - h / 2) / (h * 0.45);
      p[3] = cutout && dx * dx + dy * dy > 1 ? 0 : 255;
    }
  return *EncodePNG(image, channels);
}
