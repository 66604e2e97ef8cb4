// PNG decoding shared by the picture loaders: libpng fed from an in-memory copy of a file or from
// an open file, with every libpng error caught here (setjmp/longjmp in small C-only frames), so a
// corrupt or truncated picture ends as a failure code and never unwinds through C++ frames, reads
// past its source or aborts the program. No libpng transformation is requested: the callers
// accept only the colour types they convert themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

// Pictures larger than this in either direction are refused before anything is allocated (by
// libpng itself, at the header). No picture of the engine comes near it: the screen is 800 ×
// 600 and the largest texture 4096 a side; 8192 leaves room for long scrolling backgrounds.
inline constexpr uint32_t kMaxImageDimension = 8192;
// The most one ancillary chunk (text, profile, unknown) may cost to read or inflate, and how
// many such chunks are kept: libpng would otherwise allocate whatever length a chunk claims.
inline constexpr size_t kMaxPngChunkBytes = size_t{4} << 20;
inline constexpr uint32_t kMaxPngCachedChunks = 128;
// The most memory one decoded picture's rows may take (rows × row bytes).
inline constexpr uint64_t kMaxRowBufferBytes = uint64_t{1} << 30;

// Where the PNG bytes come from: the whole file in memory (with a read offset), or an open file.
class PngSource {
 public:
  static PngSource Memory(const uint8_t* data, size_t size);
  static PngSource File(std::FILE* file);

  // Copies exactly `length` bytes, or returns false when the source has fewer left.
  bool Read(uint8_t* out, size_t length);
  // All the bytes the source holds (for a file, its size when it was opened).
  uint64_t Total() const { return total_; }

 private:
  const uint8_t* data_ = nullptr;
  size_t offset_ = 0;
  std::FILE* file_ = nullptr;
  uint64_t total_ = 0;
};

struct PngHeader {
  uint32_t width = 0;
  uint32_t height = 0;
  int bit_depth = 0;
  int color_type = 0;  // PNG colour type: 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA
  int interlace = 0;
  int compression = 0;
  int filter = 0;
};

// The decoded rows of one picture, in the file's own sample layout.
struct PngRows {
  PngHeader header;
  size_t row_bytes = 0;     // distance between rows (libpng's row size)
  size_t buffer_size = 0;   // the size the caller's rule asked for (see PngDecodeRules)
  std::unique_ptr<uint8_t[]> buffer;
  const uint8_t* Row(uint32_t y) const { return buffer.get() + row_bytes * y; }
};

struct PngDecodeRules {
  // Whether the caller converts pictures of this kind; the others fail with -1.
  bool (*accept)(const PngHeader& header) = nullptr;
  // The row buffer size the caller's format calls for. The decoder allocates at least what the
  // rows need even if this is smaller, so a picture never writes past the buffer.
  size_t (*row_buffer_size)(const PngHeader& header) = nullptr;
  size_t extra_bytes = 0;  // added to the allocation
};

// Reads the header, asks `rules.accept`, then calls `prepare` (the caller re-creates its image
// there; a non-zero result is returned as it is) and reads every row. Returns 0, -1 (unreadable,
// unsupported, implausible or too large) or -2 (out of memory for the rows). The row buffer is
// not cleared first (every row is written by the decoder; only the bytes past the rows are
// zeroed), so a caller's image made in `prepare` must not be shown after a failure either.
int DecodePngRows(PngSource& source, const PngDecodeRules& rules,
                  const std::function<int(const PngHeader&)>& prepare, PngRows& out);

// How many pictures were decoded for the calling thread since it started: by DecodePngRows on
// it, or for it by a worker (the loader that hands the picture over notes it). Tools that time
// frames read it before and after a frame to tell the frames that loaded a picture from the
// ones that only drew.
uint64_t PngDecodeCount();
void NotePngDecode();

// What decoding the PNG file in memory into 32-bit pixels holds at its peak: the pixels and the
// rows as the header gives them. 0 when the bytes do not begin with a PNG header (the decode
// then fails before it allocates anything).
uint64_t PngDecodePeakBytes(const uint8_t* data, size_t size);
