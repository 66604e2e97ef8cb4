// CDIB: canvas creation and the ".bmp" writer.
#include "resource/dib.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/fs.h"
#include "resource/bitmap_header.h"
#include "resource/png_decode.h"

namespace {

void Put16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

int CDIB::CreateCanvas(int width, int height) {
  Release();
  try {
    header_.assign(kCanvasHeaderBlockSize, 0);
  } catch (const std::bad_alloc&) {
    header_ = std::vector<uint8_t>();
    return 0;
  }
  WriteBitmapInfoHeader(header_.data(), width, height, static_cast<uint16_t>(bit_count_));
  bool made = width > 0 && height > 0 && width <= static_cast<int>(kMaxImageDimension) &&
              height <= static_cast<int>(kMaxImageDimension);
  if (made) {
    try {
      bits_.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    } catch (const std::bad_alloc&) {
      made = false;
    }
  }
  if (!made) {
    // The message a developer knows from the bitmap-section call this stands in for.
    std::fputs("ADV_SYSTEM: (CDIB::CreateCanvas) : CreateDIBSection Failed\n", stderr);
    bits_ = std::vector<uint8_t>();
    header_ = std::vector<uint8_t>();
    return 0;
  }
  width_ = width;
  height_ = height;
  byte_size_ = width * height * 4;
  return 1;
}

void CDIB::Release() {
  if (bits_.empty()) return;
  bits_ = std::vector<uint8_t>();
  header_ = std::vector<uint8_t>();
  width_ = height_ = byte_size_ = 0;
}

bool CDIB::SaveBMP(const std::string& path) const {
  if (bits_.empty()) return false;
  std::vector<uint8_t> file(kCanvasFilePixelOffset + bits_.size(), 0);
  Put16(&file[0], 0x4D42);  // "BM"
  Put32(&file[2], static_cast<uint32_t>(byte_size_) + 54);
  // Bytes 6-9: two reserved words, zero.
  Put32(&file[10], static_cast<uint32_t>(kCanvasFilePixelOffset));
  std::memcpy(&file[14], header_.data(), kCanvasHeaderBlockSize);
  std::memcpy(&file[kCanvasFilePixelOffset], bits_.data(), bits_.size());
  return platform::fs::WriteAtomic(path, file.data(), file.size());
}
