// The PNG writer: libpng with a write function into a byte vector, errors caught as in the
// decoder (the frame that calls setjmp holds nothing with a destructor).
#include "resource/png_encode.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <new>

#include "platform/fs.h"
#include "resource/image.h"
#include "resource/png_decode.h"

namespace {

[[noreturn]] void OnPngError(png_structp png, png_const_charp /*message*/) { png_longjmp(png, 1); }
void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void WriteToVector(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  bool ok = true;
  try {
    out->insert(out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) png_error(png, "out of memory");
}
void FlushNothing(png_structp /*png*/) {}

class PngWriteGuard {
 public:
  PngWriteGuard() {
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
    if (png_) info_ = png_create_info_struct(png_);
  }
  ~PngWriteGuard() {
    if (png_) png_destroy_write_struct(&png_, info_ ? &info_ : nullptr);
  }
  PngWriteGuard(const PngWriteGuard&) = delete;
  PngWriteGuard& operator=(const PngWriteGuard&) = delete;
  bool Ok() const { return png_ && info_; }
  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
};

// The rows are already in the file's sample layout.
bool WriteStage(png_structp png, png_infop info, uint32_t width, uint32_t height, int bit_depth,
                int color_type, png_bytepp rows, std::vector<uint8_t>* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, WriteToVector, FlushNothing);
  png_set_IHDR(png, info, width, height, bit_depth, color_type, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

bool SizeUsable(int width, int height) {
  return width > 0 && height > 0 && width <= static_cast<int>(kMaxImageDimension) &&
         height <= static_cast<int>(kMaxImageDimension);
}

// Encodes rows laid out by `fill_row` (which writes row y into the given buffer).
template <typename FillRow>
std::optional<std::vector<uint8_t>> Encode(int width, int height, int bit_depth, int color_type,
                                           size_t row_bytes, FillRow fill_row) {
  PngWriteGuard guard;
  if (!guard.Ok()) return std::nullopt;
  std::vector<uint8_t> samples;
  std::vector<png_bytep> rows;
  std::vector<uint8_t> out;
  try {
    samples.resize(row_bytes * static_cast<size_t>(height));
    rows.resize(static_cast<size_t>(height));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  for (int y = 0; y < height; ++y) {
    rows[static_cast<size_t>(y)] = samples.data() + row_bytes * static_cast<size_t>(y);
    fill_row(y, rows[static_cast<size_t>(y)]);
  }
  if (!WriteStage(guard.png(), guard.info(), static_cast<uint32_t>(width),
                  static_cast<uint32_t>(height), bit_depth, color_type, rows.data(), &out))
    return std::nullopt;
  return out;
}

}  // namespace

std::optional<std::vector<uint8_t>> EncodePNG(const uint8_t* pixels, int width, int height,
                                              size_t stride, PngChannels channels) {
  if (!pixels || !SizeUsable(width, height) || stride < static_cast<size_t>(width) * 4)
    return std::nullopt;
  const bool alpha = channels == PngChannels::Rgba;
  const size_t out_step = alpha ? 4 : 3;
  return Encode(width, height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                out_step * static_cast<size_t>(width), [&](int y, uint8_t* row) {
                  const uint8_t* in = pixels + stride * static_cast<size_t>(y);
                  for (int x = 0; x < width; ++x, in += 4, row += out_step) {
                    row[0] = in[2];
                    row[1] = in[1];
                    row[2] = in[0];
                    if (alpha) row[3] = in[3];
                  }
                });
}

std::optional<std::vector<uint8_t>> EncodePNG(const CImage32& image, PngChannels channels) {
  return EncodePNG(image.Pixels(), image.Width(), image.Height(),
                   static_cast<size_t>(image.Width()) * 4, channels);
}

std::optional<std::vector<uint8_t>> EncodePNG16(const CImage16& image) {
  const int width = image.Width();
  const uint16_t* texels = image.Pixels();
  if (!texels || !SizeUsable(width, image.Height())) return std::nullopt;
  const size_t row_bytes = static_cast<size_t>(width) * 2;
  return Encode(width, image.Height(), 16, PNG_COLOR_TYPE_GRAY, row_bytes,
                [&](int y, uint8_t* row) {
                  // Memory order, not the texel's value order: see LoadFromPNG16.
                  const auto* bytes = reinterpret_cast<const uint8_t*>(texels);
                  const size_t at = row_bytes * static_cast<size_t>(y);
                  for (size_t i = 0; i < row_bytes; ++i) row[i] = bytes[at + i];
                });
}

bool SavePNG(const std::string& host_path, const uint8_t* pixels, int width, int height,
             size_t stride, PngChannels channels) {
  auto bytes = EncodePNG(pixels, width, height, stride, channels);
  if (!bytes) return false;
  platform::fs::File file(std::fopen(host_path.c_str(), "wb"));
  if (!file) return false;
  const bool written = std::fwrite(bytes->data(), 1, bytes->size(), file.get()) == bytes->size();
  return std::fclose(file.release()) == 0 && written;
}
