// Pictures in memory. CImage32 holds 32-bit pixels stored as the bytes blue, green, red, alpha
// (a little-endian 0xAARRGGBB), rows top-down, ready for A8R8G8B8 textures, and decodes RGB and
// RGBA PNGs into them. CImage16 holds raw 16-bit texels, filled from 16-bit greyscale PNGs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

class CPackFile;
class PngSource;

// An allocator whose resize leaves new elements as memory gives them: pixels that a decoder
// writes whole are not cleared first (a large picture would pay for it twice).
template <class T>
struct UninitializedAllocator : std::allocator<T> {
  UninitializedAllocator() = default;
  template <class U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
template <class T>
using PixelBuffer = std::vector<T, UninitializedAllocator<T>>;

// Size of the bitmap header block a CImage32 keeps: the 40-byte information header and one
// zero colour entry.
inline constexpr size_t kImageHeaderBlockSize = 44;

// Reads a whole archive entry into memory as the picture loaders do (one spare zero byte after
// it): 0, -1 when it is missing or unreadable, -2 when memory is short.
int ReadPictureEntry(const CPackFile& archive, const std::string& name,
                     std::unique_ptr<uint8_t[]>& data, size_t& size);

class CImage32 {
 public:
  CImage32() = default;
  CImage32(const CImage32&) = delete;
  CImage32& operator=(const CImage32&) = delete;
  CImage32(CImage32&&) noexcept = default;
  CImage32& operator=(CImage32&&) noexcept = default;

  // Releases any previous buffers, fills the header block and allocates zero-filled pixels.
  // 1 on success; 0 when memory is short or the size is negative or beyond kMaxImageDimension.
  int Create(int width, int height);
  // Frees pixels and header block; the image is empty (zero size) afterwards.
  void Release();

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bits_per_pixel_; }
  int ByteSize() const { return byte_size_; }  // width × height × 4
  // width × height × 4 bytes (plus one spare), or nullptr when empty.
  uint8_t* Pixels() { return pixels_.empty() ? nullptr : pixels_.data(); }
  const uint8_t* Pixels() const { return pixels_.empty() ? nullptr : pixels_.data(); }
  // The kImageHeaderBlockSize-byte header block, or nullptr when empty. Its height is positive,
  // as the bitmap format has it, although the pixels here run top-down.
  const uint8_t* Header() const { return header_.empty() ? nullptr : header_.data(); }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // Stores the value (0xAARRGGBB) into every pixel.
  bool Fill(uint32_t value);
  // Copies the w × h block at (sx, sy) of source to (x, y) here, row by row. Copies nothing
  // (returns 0) unless the block lies wholly inside both images; otherwise returns h.
  int CopyRect(const CImage32& source, int x, int y, int w, int h, int sx, int sy);

  // Decoders: 0 success, -1 missing, unreadable or unsupported, -2 out of memory. A load
  // empties the image first, and after a failure it is empty.
  // Accepted: RGB (alpha 255) and RGBA (alpha kept as stored), 8 or 16 bits per sample.
  int LoadFromPNG(const std::string& name, const CPackFile& archive);
  // The file platform::fs::ProgramFolder() + name.
  int LoadFromPNGFile(const std::string& name);
  // A whole PNG file already in memory.
  int LoadFromPNGMemory(const uint8_t* data, size_t size);

 private:
  int LoadFrom(PngSource& source);
  // Create, with the pixels left for the caller to write (zero: cleared as Create has them).
  int Allocate(int width, int height, bool zero);

  std::vector<uint8_t> header_;
  PixelBuffer<uint8_t> pixels_;
  int width_ = 0;
  int height_ = 0;
  int bits_per_pixel_ = 32;
  int byte_size_ = 0;
  std::string name_;
};

class CImage16 {
 public:
  CImage16() = default;
  CImage16(const CImage16&) = delete;
  CImage16& operator=(const CImage16&) = delete;
  CImage16(CImage16&&) noexcept = default;
  CImage16& operator=(CImage16&&) noexcept = default;

  // 1 on success, 0 when memory is short or the size is out of range. The texels start at 0.
  int Create(int width, int height);
  void Release();

  int Width() const { return width_; }
  int Height() const { return height_; }
  int ByteSize() const { return byte_size_; }  // width × height × 2
  // Size of the row buffer of the last PNG decoded into this image (rows padded to 32 bits).
  int RowBufferSize() const { return row_buffer_size_; }
  uint16_t* Pixels() { return pixels_.empty() ? nullptr : pixels_.data(); }
  const uint16_t* Pixels() const { return pixels_.empty() ? nullptr : pixels_.data(); }

  bool Fill(uint16_t value);

  // Accepts only 16-bit greyscale. Each sample's two bytes are copied unchanged, in file order,
  // into the texel's memory, so the texel's low byte is the sample's most significant byte.
  // 0, -1 or -2 as for CImage32.
  int LoadFromPNG16(const std::string& name, const CPackFile& archive);
  int LoadFromPNG16Memory(const uint8_t* data, size_t size);

 private:
  int LoadFrom(PngSource& source);
  int Allocate(int width, int height, bool zero);

  PixelBuffer<uint16_t> pixels_;
  int width_ = 0;
  int height_ = 0;
  int byte_size_ = 0;
  int row_buffer_size_ = 0;
};
