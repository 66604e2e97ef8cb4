// PNG pictures come from archives and files anyone can replace. Feeds the input to the 32-bit
// decoder (game and setup forms) and the 16-bit texel decoder, once as it is and once with every
// whole chunk's CRC made right, so mutations reach the header checks and the inflater instead
// of stopping at the first CRC. No input may crash, read out of bounds or allocate without bound.
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "resource/image.h"
#include "resource/setup_image.h"

namespace {

void FixChunkCrcs(std::vector<uint8_t>& png) {
  size_t at = 8;  // after the signature
  while (at + 12 <= png.size()) {
    const uint32_t length = uint32_t{png[at]} << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
    if (length > png.size() - at - 12) break;
    const uint32_t crc = static_cast<uint32_t>(crc32(0, png.data() + at + 4, length + 4));
    for (int i = 0; i < 4; ++i) png[at + 8 + length + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    at += 12 + length;
  }
}

void Decode(const uint8_t* data, size_t size) {
  CImage32 image;
  image.LoadFromPNGMemory(data, size);
  CImage16 texels;
  texels.LoadFromPNG16Memory(data, size);
  setup::CImage32 setup_image;
  setup_image.LoadFromPNGMemory(data, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Decode(data, size);
  std::vector<uint8_t> fixed(data, data + size);
  FixChunkCrcs(fixed);
  Decode(fixed.data(), fixed.size());
  return 0;
}
