// CImage32 and CImage16: creation, copying and the conversion from decoded PNG rows.
//
// What the loaders accept, and why:
// - LoadFromPNG: RGB and RGBA only. Greyscale, grey + alpha and palette pictures fail with -1 at
//   every bit depth (no expansion is requested from libpng). RGB and RGBA with 16 bits per
//   sample are converted: each sample's most significant byte is taken, in the conversion loop
//   below, and the row buffer is sized for the 16-bit rows.
// - LoadFromPNG16: 16-bit greyscale only. Greyscale of 1, 2, 4 or 8 bits fails with -1: its
//   samples are too narrow to carry the 16-bit texels these files exist for, and any widening
//   would invent texel bits.
#include "resource/image.h"

#include <cstring>
#include <memory>
#include <new>

#include "platform/fs.h"
#include "platform/sjis.h"
#include "resource/bitmap_header.h"
#include "resource/pack_file.h"
#include "resource/png_decode.h"

namespace {

constexpr int kColorRgb = 2;
constexpr int kColorRgba = 6;
constexpr int kColorGray = 0;

bool SizeInRange(int width, int height) {
  return width >= 0 && height >= 0 && width <= static_cast<int>(kMaxImageDimension) &&
         height <= static_cast<int>(kMaxImageDimension);
}

// count elements, zero-filled or (zero false) as the allocator leaves them but the last.
template <typename V>
bool TryAssign(V& v, size_t count, bool zero = true) {
  try {
    if (zero) {
      v.assign(count, typename V::value_type{});
    } else {
      v.clear();
      v.resize(count);
      if (count > 0) v.back() = typename V::value_type{};
    }
    return true;
  } catch (const std::bad_alloc&) {
    v = V();
    return false;
  }
}

// Rows padded to whole 32-bit words, as the picture formats of this system lay them out.
size_t PaddedRowsSize(uint32_t bits_per_pixel, uint32_t width, uint32_t height) {
  return (uint64_t{bits_per_pixel} * width + 31) / 32 * 4 * height;
}

bool Accept32(const PngHeader& h) {
  return (h.color_type == kColorRgb || h.color_type == kColorRgba) &&
         (h.bit_depth == 8 || h.bit_depth == 16);
}
size_t RowBuffer32(const PngHeader& h) {
  return PaddedRowsSize(h.color_type == kColorRgba ? 32 : 24, h.width, h.height);
}

bool Accept16(const PngHeader& h) { return h.color_type == kColorGray && h.bit_depth == 16; }
size_t RowBuffer16(const PngHeader& h) { return PaddedRowsSize(16, h.width, h.height); }

}  // namespace

// The spare byte is the one the entry copy always had.
int ReadPictureEntry(const CPackFile& archive, const std::string& name,
                     std::unique_ptr<uint8_t[]>& data, size_t& size) {
  const int32_t entry_size = archive.EntrySize(name);
  if (entry_size < 0) return -1;
  data.reset(new (std::nothrow) uint8_t[static_cast<size_t>(entry_size) + 1]());
  if (!data) return -2;
  if (archive.ReadEntry(name, data.get()) < 0) return -1;
  size = static_cast<size_t>(entry_size);
  return 0;
}

// ---- CImage32 ----

int CImage32::Create(int width, int height) { return Allocate(width, height, true); }

int CImage32::Allocate(int width, int height, bool zero) {
  Release();
  if (!SizeInRange(width, height)) return 0;
  if (!TryAssign(header_, kImageHeaderBlockSize)) return 0;
  WriteBitmapInfoHeader(header_.data(), width, height, static_cast<uint16_t>(bits_per_pixel_));
  const size_t bytes = size_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height) * 4;
  if (!TryAssign(pixels_, bytes + 1, zero)) {
    header_ = std::vector<uint8_t>();
    return 0;
  }
  width_ = width;
  height_ = height;
  byte_size_ = static_cast<int>(bytes);
  return 1;
}

void CImage32::Release() {
  if (pixels_.empty()) return;
  pixels_ = PixelBuffer<uint8_t>();
  header_ = std::vector<uint8_t>();
  width_ = height_ = byte_size_ = 0;
}

bool CImage32::Fill(uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  for (int i = 0; i < byte_size_; i += 4) std::memcpy(&pixels_[static_cast<size_t>(i)], bytes, 4);
  return true;
}

int CImage32::CopyRect(const CImage32& source, int x, int y, int w, int h, int sx, int sy) {
  if (pixels_.empty() || source.pixels_.empty() || w < 0 || h < 0) return 0;
  // 64-bit sums: the checks must not overflow for callers' extreme values.
  auto inside = [](int64_t at, int64_t length, int64_t limit) {
    return at >= 0 && at <= limit && at + length <= limit;
  };
  if (!inside(x, w, width_) || !inside(y, h, height_)) return 0;
  // The source rectangle is checked too: reading past the other image is never wanted.
  if (!inside(sx, w, source.width_) || !inside(sy, h, source.height_)) return 0;
  const size_t row_length = static_cast<size_t>(w) * 4;
  // Copying within one image downwards must start from the bottom row, or it would read rows
  // it has already overwritten.
  const bool bottom_up = &source == this && sy < y;
  for (int i = 0; i < h; ++i) {
    const int row = bottom_up ? h - 1 - i : i;
    uint8_t* to = &pixels_[(static_cast<size_t>(y + row) * width_ + x) * 4];
    const uint8_t* from = &source.pixels_[(static_cast<size_t>(sy + row) * source.width_ + sx) * 4];
    std::memmove(to, from, row_length);
  }
  return h;
}

// Every load starts by emptying the image, so whatever way it fails, the image never keeps the
// previous picture to be taken for the one asked for.
int CImage32::LoadFromPNG(const std::string& name, const CPackFile& archive) {
  Release();
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
  if (int r = ReadPictureEntry(archive, name, data, size); r != 0) return r;
  PngSource source = PngSource::Memory(data.get(), size);
  return LoadFrom(source);
}

int CImage32::LoadFromPNGFile(const std::string& name) {
  Release();
  platform::fs::File file = platform::fs::Open(platform::fs::ProgramFolder() + "\\" + name, "rb");
  if (!file) return -1;
  PngSource source = PngSource::File(file.get());
  return LoadFrom(source);
}

int CImage32::LoadFromPNGMemory(const uint8_t* data, size_t size) {
  PngSource source = PngSource::Memory(data, size);
  return LoadFrom(source);
}

int CImage32::LoadFrom(PngSource& source) {
  Release();
  PngRows rows;
  const PngDecodeRules rules{Accept32, RowBuffer32, 1};
  // The image is re-created before any row is read, with pixels the conversion below writes
  // whole; a failure part way empties it again.
  const int result = DecodePngRows(
      source, rules,
      [this](const PngHeader& h) {
        return Allocate(static_cast<int>(h.width), static_cast<int>(h.height), false) ? 0 : -2;
      },
      rows);
  if (result != 0) {
    Release();
    return result;
  }

  const size_t sample = static_cast<size_t>(rows.header.bit_depth / 8);
  const bool has_alpha = rows.header.color_type == kColorRgba;
  const size_t step = sample * (has_alpha ? 4 : 3);
  uint8_t* out = pixels_.data();
  for (int y = 0; y < height_; ++y) {
    // For 16-bit samples the first of the two bytes is the most significant one.
    const uint8_t* in = rows.Row(static_cast<uint32_t>(y));
    for (int x = 0; x < width_; ++x, in += step, out += 4) {
      out[0] = in[2 * sample];
      out[1] = in[sample];
      out[2] = in[0];
      out[3] = has_alpha ? in[3 * sample] : 255;
    }
  }
  return 0;
}

// ---- CImage16 ----

int CImage16::Create(int width, int height) { return Allocate(width, height, true); }

int CImage16::Allocate(int width, int height, bool zero) {
  Release();
  if (!SizeInRange(width, height)) return 0;
  const size_t count = size_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height);
  // One spare texel, as the 32-bit image keeps a spare byte. Zero-filled unless a decoder
  // writes every texel, so a texel never shows whatever memory held before.
  if (!TryAssign(pixels_, count + 1, zero)) return 0;
  width_ = width;
  height_ = height;
  byte_size_ = static_cast<int>(count * 2);
  return 1;
}

void CImage16::Release() {
  if (pixels_.empty()) return;
  pixels_ = PixelBuffer<uint16_t>();
  width_ = height_ = byte_size_ = 0;
}

bool CImage16::Fill(uint16_t value) {
  for (size_t i = 0; i < static_cast<size_t>(byte_size_) / 2; ++i) pixels_[i] = value;
  return true;
}

int CImage16::LoadFromPNG16(const std::string& name, const CPackFile& archive) {
  Release();
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
  if (int r = ReadPictureEntry(archive, name, data, size); r != 0) return r;
  PngSource source = PngSource::Memory(data.get(), size);
  return LoadFrom(source);
}

int CImage16::LoadFromPNG16Memory(const uint8_t* data, size_t size) {
  PngSource source = PngSource::Memory(data, size);
  return LoadFrom(source);
}

int CImage16::LoadFrom(PngSource& source) {
  Release();
  PngRows rows;
  const PngDecodeRules rules{Accept16, RowBuffer16, 0};
  const int result = DecodePngRows(
      source, rules,
      [this](const PngHeader& h) {
        return Allocate(static_cast<int>(h.width), static_cast<int>(h.height), false) ? 0 : -2;
      },
      rows);
  if (result != 0) {
    Release();
    return result;
  }
  row_buffer_size_ = static_cast<int>(rows.buffer_size);
  // Byte for byte in file order: no swap to the host's order.
  auto* out = reinterpret_cast<uint8_t*>(pixels_.data());
  const size_t row_length = static_cast<size_t>(width_) * 2;
  for (int y = 0; y < height_; ++y)
    std::memcpy(out + row_length * static_cast<size_t>(y), rows.Row(static_cast<uint32_t>(y)),
                row_length);
  return 0;
}
