// CMovieTexture: the accepted formats, the textures and the two row conversions.
#include "movie/movie_texture.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "movie/movie_error.h"
#include "platform/log.h"

namespace movie {

void ShowError(platform::MessageBoxes* boxes, const char* format, ...) {
  char text[1024];  // the box shows at most 1023 characters
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  WriteLog(2, text, "CMoviePlayer", 0);
  if (boxes) boxes->Show("", text, platform::BoxButtons::Ok, platform::BoxIcon::Error);
}

namespace {

inline uint32_t ToX888(const uint8_t* s) {
  return 0xFF000000u | uint32_t{s[2]} << 16 | uint32_t{s[1]} << 8 | s[0];
}

void ConvertRowX8R8G8B8Plain(const uint8_t* s, uint32_t* d, int width) {
  int x = 0;
  for (; x + 4 <= width; x += 4, s += 12, d += 4) {
    d[0] = ToX888(s);
    d[1] = ToX888(s + 3);
    d[2] = ToX888(s + 6);
    d[3] = ToX888(s + 9);
  }
  for (; x < width; ++x, s += 3, ++d) d[0] = ToX888(s);
}

#if defined(__x86_64__) || defined(__i386__)
// Four pixels a step with one byte shuffle: the step reads 16 source bytes, so it runs while
// two more pixels lie beyond the four; the rest go one by one.
__attribute__((target("ssse3"))) void ConvertRowX8R8G8B8Ssse3(const uint8_t* s, uint32_t* d,
                                                              int width) {
  const __m128i order = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  int x = 0;
  for (; x + 6 <= width; x += 4, s += 12, d += 4) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_or_si128(_mm_shuffle_epi8(v, order), alpha));
  }
  for (; x < width; ++x, s += 3, ++d) d[0] = ToX888(s);
}
#endif

}  // namespace

void ConvertRowX8R8G8B8(const uint8_t* s, uint32_t* d, int width) {
#if defined(__x86_64__) || defined(__i386__)
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) return ConvertRowX8R8G8B8Ssse3(s, d, width);
#endif
  ConvertRowX8R8G8B8Plain(s, d, width);
}

namespace {
inline uint16_t To1555(const uint8_t* s) {
  return static_cast<uint16_t>(0x8000 | (s[2] & 0xF8) << 7 | (s[1] & 0xF8) << 2 | s[0] >> 3);
}
}  // namespace

void ConvertRowA1R5G5B5(const uint8_t* s, uint16_t* d, int width) {
  int x = 0;
  for (; x + 4 <= width; x += 4, s += 12, d += 4) {
    d[0] = To1555(s);
    d[1] = To1555(s + 3);
    d[2] = To1555(s + 6);
    d[3] = To1555(s + 9);
  }
  for (; x < width; ++x, s += 3, ++d) d[0] = To1555(s);
}

}  // namespace movie

using namespace movie;

Result CMovieTexture::CheckMediaType(const MediaType* type) const {
  if (!type) return kPointer;
  if (type->format != FormatType::VideoInfo) return kInvalidArg;
  if (type->major != MajorType::Video || type->subtype != SubType::RGB24) return kFail;
  return kOk;
}

namespace {
int PowerOfTwoAtLeast(int n) {
  int p = 2;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}
}  // namespace

Result CMovieTexture::SetMediaType(const MediaType& type) {
  width_ = type.width;
  height_ = std::abs(type.height);
  pitch_ = (3 * width_ + 3) & ~3;
  const int tw = PowerOfTwoAtLeast(width_), th = PowerOfTwoAtLeast(height_);
  char line[64];
  std::snprintf(line, sizeof line, "movie texture size(%d x %d)", tw, th);
  WriteLog(0, line, "CMovieTexture::SetMediaType", __LINE__);
  // "Bitwise copy of the sample": the rows go into the texture as they come.
  for (auto& t : textures_) {
    gfx::DeviceResult r = width_ > 0 && height_ > 0
                              ? device_.CreateTexture(tw, th, asked_format_, &t)
                              : gfx::DeviceResult::InvalidCall;
    if (r != gfx::DeviceResult::Ok) {
      for (auto& u : textures_) u.reset();
      Result hr = r == gfx::DeviceResult::OutOfMemory ? kOutOfMemory : kInvalidArg;
      ShowError(device_.MessageBoxes(), "Could not create the D3DX texture!  hr=0x%x", hr);
      return hr;
    }
  }
  format_ = textures_[0]->Format();
  if (format_ != gfx::D3DFMT_X8R8G8B8 && format_ != gfx::D3DFMT_A1R5G5B5) {
    for (auto& t : textures_) t.reset();
    ShowError(device_.MessageBoxes(), "Texture is format we can't handle! Format = 0x%x",
              format_);
    return kTypeNotAccepted;
  }
  return kOk;
}

Result CMovieTexture::DoRenderSample(const Sample* sample) {
  if (!textures_[writing_]) return kUnexpected;
  if (!sample || !sample->bits) return kPointer;
  // A sample shorter than its rows would be read past its end.
  if (height_ > 0 && sample->size < static_cast<size_t>(pitch_) * (height_ - 1) + 3 * width_)
    return kInvalidArg;
  gfx::DeviceTexture& t = *textures_[writing_];
  int locked_pitch = 0;
  uint8_t* bits = t.Lock(&locked_pitch);
  if (!bits) return kFail;
  const uint8_t* src = sample->bits;
  for (int y = 0; y < height_; ++y, src += pitch_, bits += locked_pitch) {
    if (format_ == gfx::D3DFMT_X8R8G8B8)
      ConvertRowX8R8G8B8(src, reinterpret_cast<uint32_t*>(bits), width_);
    else
      ConvertRowA1R5G5B5(src, reinterpret_cast<uint16_t*>(bits), width_);
  }
  t.Unlock();
  pts_[writing_] = sample->pts;
  // Hand the whole frame over; take back the one the frame loop left (or an older one of ours).
  writing_ = ready_.exchange(writing_ | kFresh, std::memory_order_acq_rel) & ~kFresh;
  rendered_.fetch_add(1, std::memory_order_relaxed);
  return kOk;
}

gfx::DeviceTexture* CMovieTexture::Texture() {
  if (ready_.load(std::memory_order_acquire) & kFresh)
    drawing_ = ready_.exchange(drawing_, std::memory_order_acq_rel) & ~kFresh;
  if (!textures_[drawing_]) return nullptr;
  drawn_pts_ = pts_[drawing_];
  return textures_[drawing_].get();
}
