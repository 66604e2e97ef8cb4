// libpng behind an owning guard, with its errors turned into return codes. The functions that
// call setjmp hold no object with a destructor, and the read callback holds none either, so a
// longjmp out of libpng skips nothing that C++ would have cleaned up.
#include "resource/png_decode.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// Deflate turns at most 258 bytes into 2 bits (a 1-bit length code and a 1-bit distance code),
// so a file of n bytes can never inflate to more than 1032 × n bytes of rows. A header claiming
// more than that belongs to a truncated or forged file, and is refused before the rows are
// allocated.
constexpr uint64_t kMaxInflateRatio = 1032;

[[noreturn]] void OnPngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void ReadFromSource(png_structp png, png_bytep out, size_t length) {
  auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
  if (!source->Read(out, length)) png_error(png, "unexpected end of file");
}

// Every allocation libpng makes for itself. Its own buffers are a few rows and a zlib window
// (well under a megabyte at the largest width allowed); only an ancillary chunk's claimed length
// can ask for more, and libpng reads text chunks into a buffer of that length (cleared first)
// without consulting its chunk limit. Refused here, the chunk is skipped or the load fails.
png_voidp LimitedMalloc(png_structp /*png*/, png_alloc_size_t size) {
  return size <= kMaxPngChunkBytes + 1024 ? std::malloc(size) : nullptr;
}
void LimitedFree(png_structp /*png*/, png_voidp p) { std::free(p); }

class PngReadGuard {
 public:
  PngReadGuard() {
    png_ = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning,
                                    nullptr, LimitedMalloc, LimitedFree);
    if (!png_) return;
    info_ = png_create_info_struct(png_);
    end_ = png_create_info_struct(png_);
  }
  ~PngReadGuard() {
    if (png_) png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, end_ ? &end_ : nullptr);
  }
  PngReadGuard(const PngReadGuard&) = delete;
  PngReadGuard& operator=(const PngReadGuard&) = delete;

  bool Ok() const { return png_ && info_ && end_; }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }
  png_infop end() const { return end_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  png_infop end_ = nullptr;
};

// The three stages that run libpng. Each sets its own return point, writes only through its
// pointer arguments and returns false when libpng reported an error.
bool ReadHeaderStage(png_structp png, png_infop info, PngHeader* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  png_get_IHDR(png, info, &out->width, &out->height, &out->bit_depth, &out->color_type,
               &out->interlace, &out->compression, &out->filter);
  return true;
}

bool UpdateInfoStage(png_structp png, png_infop info, size_t* row_bytes) {
  if (setjmp(png_jmpbuf(png))) return false;
  // Lets png_read_image hand back whole rows of an interlaced file; this is not a change of the
  // pixel format.
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  *row_bytes = png_get_rowbytes(png, info);
  return true;
}

bool ReadImageStage(png_structp png, png_infop end, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_image(png, rows);
  png_read_end(png, end);
  return true;
}

// Left as it comes (the caller writes every element), or nothing when memory is short.
template <typename T>
std::unique_ptr<T[]> TryAllocate(size_t count) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

}  // namespace

PngSource PngSource::Memory(const uint8_t* data, size_t size) {
  PngSource s;
  s.data_ = data;
  s.total_ = data ? size : 0;
  return s;
}

PngSource PngSource::File(std::FILE* file) {
  PngSource s;
  s.file_ = file;
  if (file) {
    long here = std::ftell(file);
    if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
      long end = std::ftell(file);
      if (end >= here) s.total_ = static_cast<uint64_t>(end - here);
      std::fseek(file, here, SEEK_SET);
    }
  }
  return s;
}

bool PngSource::Read(uint8_t* out, size_t length) {
  if (file_) return std::fread(out, 1, length, file_) == length;
  if (!data_ || length > total_ - offset_) return false;
  std::memcpy(out, data_ + offset_, length);
  offset_ += length;
  return true;
}

namespace {
// A statistic only, never a decision of the engine; each thread counts its own.
thread_local uint64_t png_decodes = 0;
}  // namespace

uint64_t PngDecodeCount() { return png_decodes; }
void NotePngDecode() { ++png_decodes; }

int DecodePngRows(PngSource& source, const PngDecodeRules& rules,
                  const std::function<int(const PngHeader&)>& prepare, PngRows& out) {
  ++png_decodes;
  out = PngRows{};
  PngReadGuard guard;
  if (!guard.Ok()) return -1;
  png_structp png = guard.png();
  png_set_read_fn(png, &source, ReadFromSource);
  // libpng refuses larger headers itself, before it allocates anything for the rows, and no
  // ancillary chunk may make it allocate more than a few megabytes whatever length it claims.
  png_set_user_limits(png, kMaxImageDimension, kMaxImageDimension);
  png_set_chunk_malloc_max(png, kMaxPngChunkBytes);
  png_set_chunk_cache_max(png, kMaxPngCachedChunks);

  PngHeader header;
  if (!ReadHeaderStage(png, guard.info(), &header)) return -1;
  if (!rules.accept || !rules.accept(header)) return -1;
  size_t row_bytes = 0;
  if (!UpdateInfoStage(png, guard.info(), &row_bytes)) return -1;

  const uint64_t rows_size = uint64_t{row_bytes} * header.height;
  if (header.width == 0 || header.height == 0 || row_bytes == 0 ||
      header.width > kMaxImageDimension || header.height > kMaxImageDimension ||
      rows_size > kMaxRowBufferBytes || rows_size > source.Total() * kMaxInflateRatio)
    return -1;

  if (int r = prepare(header); r != 0) return r;

  const size_t asked = rules.row_buffer_size ? rules.row_buffer_size(header) : 0;
  const size_t allocation = std::max<size_t>(asked, rows_size) + rules.extra_bytes;
  out.buffer = TryAllocate<uint8_t>(allocation);
  auto row_pointers = TryAllocate<png_bytep>(header.height);
  if (!out.buffer || !row_pointers) {
    out.buffer.reset();
    return -2;
  }
  for (uint32_t y = 0; y < header.height; ++y) row_pointers[y] = out.buffer.get() + row_bytes * y;
  std::memset(out.buffer.get() + rows_size, 0, allocation - rows_size);

  if (!ReadImageStage(png, guard.end(), row_pointers.get())) {
    out.buffer.reset();
    return -1;
  }
  out.header = header;
  out.row_bytes = row_bytes;
  out.buffer_size = asked;
  return 0;
}

uint64_t PngDecodePeakBytes(const uint8_t* data, size_t size) {
  static constexpr uint8_t kStart[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n',
                                         0,    0,   0,   13,  'I',  'H',  'D',  'R'};
  if (!data || size < 26 || std::memcmp(data, kStart, sizeof kStart) != 0) return 0;
  auto be32 = [&](size_t at) {
    return uint32_t{data[at]} << 24 | uint32_t{data[at + 1]} << 16 | uint32_t{data[at + 2]} << 8 |
           data[at + 3];
  };
  const uint64_t width = std::min(be32(16), kMaxImageDimension);
  const uint64_t height = std::min(be32(20), kMaxImageDimension);
  const uint8_t depth = data[24], colour = data[25];
  const uint64_t channels = colour == 2 ? 3 : colour == 4 ? 2 : colour == 6 ? 4 : 1;
  // Rows padded to whole words, as the loaders' row buffers are.
  const uint64_t row_bytes = (width * channels * std::min<uint8_t>(depth, 16) + 31) / 32 * 4;
  return width * height * 4 + row_bytes * height;
}
