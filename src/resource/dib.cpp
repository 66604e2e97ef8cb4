// CDIB: canvas creation, the ".bmp" writer and its reader.
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
uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool Refuse(std::string* problem, const char* why) {
  if (problem) *problem = why;
  return false;
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

bool ReadCanvasBMP(std::span<const uint8_t> file, int width, int height, std::vector<uint32_t>& out,
                   std::string* problem) {
  if (width <= 0 || height <= 0 || width > static_cast<int>(kMaxImageDimension) ||
      height > static_cast<int>(kMaxImageDimension))
    return Refuse(problem, "no such canvas size");
  if (file.size() < 14 + kBitmapInfoHeaderSize) return Refuse(problem, "too short for the headers");
  const uint8_t* b = file.data();
  if (b[0] != 'B' || b[1] != 'M') return Refuse(problem, "not a bitmap file");
  const uint32_t offset = Le32(b + 10);
  const auto file_width = static_cast<int32_t>(Le32(b + 18));
  const auto file_height = static_cast<int32_t>(Le32(b + 22));
  const int bit_count = b[28] | b[29] << 8;
  if (file_width != width || (file_height != height && file_height != -height))
    return Refuse(problem, "another size");
  if (bit_count != 32) return Refuse(problem, "not 32 bits per pixel");
  const size_t row_bytes = static_cast<size_t>(width) * 4;
  const size_t rows = static_cast<size_t>(height);
  if (offset > file.size() || (file.size() - offset) / row_bytes < rows)
    return Refuse(problem, "the pixels run past the end of the file");
  const bool bottom_up = file_height > 0;
  out.resize(row_bytes / 4 * rows);
  for (size_t y = 0; y < rows; ++y) {
    const size_t file_row = bottom_up ? rows - 1 - y : y;
    std::memcpy(&out[y * static_cast<size_t>(width)], b + offset + file_row * row_bytes, row_bytes);
  }
  return true;
}

bool LoadCanvasBMP(const std::string& path, int width, int height, std::vector<uint32_t>& out,
                   std::string* problem) {
  const auto size = platform::fs::FileSize(path);
  if (!size) return Refuse(problem, "no such file");
  if (*size >= static_cast<int64_t>(kMaxCanvasFileSize)) return Refuse(problem, "too large");
  const auto file = platform::fs::ReadAll(path);
  if (!file) return Refuse(problem, "cannot be read");
  return ReadCanvasBMP(*file, width, height, out, problem);
}
