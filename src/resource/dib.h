// CDIB: a 32-bit canvas with the bitmap header that describes it, written out as a ".bmp" file
// (the save-slot thumbnails). Like a bottom-up device-independent bitmap, its header gives a
// positive height: memory row 0 is the bottom row of the picture as a bitmap viewer shows it.
// ReadCanvasBMP and LoadCanvasBMP read such a file back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The header block a canvas keeps and writes: the 40-byte information header and three zero bytes.
inline constexpr size_t kCanvasHeaderBlockSize = 43;
// Where the pixels start in a file written by SaveBMP: the 14-byte file header and the block.
inline constexpr size_t kCanvasFilePixelOffset = 14 + kCanvasHeaderBlockSize;

class CDIB {
 public:
  CDIB() = default;
  CDIB(const CDIB&) = delete;
  CDIB& operator=(const CDIB&) = delete;
  CDIB(CDIB&&) noexcept = default;
  CDIB& operator=(CDIB&&) noexcept = default;

  // Releases any previous canvas, then makes a zeroed width × height canvas. 1 on success, 0 when
  // memory is short or the size is not a positive one within kMaxImageDimension.
  int CreateCanvas(int width, int height);
  void Release();

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitCount() const { return bit_count_; }
  int ByteSize() const { return byte_size_; }  // width × height × 4
  uint8_t* Bits() { return bits_.empty() ? nullptr : bits_.data(); }
  const uint8_t* Bits() const { return bits_.empty() ? nullptr : bits_.data(); }
  const uint8_t* Header() const { return header_.empty() ? nullptr : header_.data(); }

  // Writes (through a temporary file renamed over the target) the 14-byte file header — "BM",
  // a size field of width × height × 4 + 54, two zero words, pixel offset 57 — then the 43-byte
  // header block and the pixels as they lie in memory. The size field is 3 short of the real
  // length; readers find the pixels through the stored offset. True when the file was written;
  // false (and no file) without a canvas or when it cannot be written.
  bool SaveBMP(const std::string& path) const;

 private:
  std::vector<uint8_t> bits_;
  std::vector<uint8_t> header_;
  int width_ = 0;
  int height_ = 0;
  int bit_count_ = 32;
  int byte_size_ = 0;
};

// A file of this size or more is not taken for a canvas file (none the engine reads is near it),
// so a damaged or foreign file is refused before it is read into memory.
inline constexpr size_t kMaxCanvasFileSize = size_t{1} << 24;

// Reads a 32-bit bitmap file as SaveBMP writes it, of exactly width × height pixels: "BM", the
// pixels found through the stored offset, bottom-up for a positive height as bitmaps are and
// top-down for a negative one. Into `out` top row first, each pixel the four bytes as stored.
// False for anything else (too short, another size or bit count, pixels beyond the end), with
// `out` untouched and, when `problem` is given, a line saying what is wrong.
bool ReadCanvasBMP(std::span<const uint8_t> file, int width, int height, std::vector<uint32_t>& out,
                   std::string* problem = nullptr);
// The same for a file on disk (a game path); also false when it cannot be read.
bool LoadCanvasBMP(const std::string& path, int width, int height, std::vector<uint32_t>& out,
                   std::string* problem = nullptr);
