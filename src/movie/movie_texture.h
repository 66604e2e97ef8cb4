// Movie library: the renderer that copies movie frames into a texture (CMovieTexture, this file)
// and the player that runs one movie file into it with its sound (CMoviePlayer).
// It may use the platform, resource, graphics and audio libraries; it knows nothing of CADV.
//
// CMovieTexture accepts 24-bit bottom-up RGB samples and converts each one straight into a
// texture of the device. The movie thread writes one texture while the frame loop draws another:
// three textures pass between them (one being written, one being drawn, one holding the newest
// finished frame), so a frame is drawn only once it is whole, and neither thread ever waits for
// the other.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "graphics/device.h"

namespace movie {

// Results, with the system's values.
using Result = int32_t;
inline constexpr Result kOk = 0;
inline constexpr Result kPointer = static_cast<Result>(0x80004003u);  // E_POINTER
inline constexpr Result kInvalidArg = static_cast<Result>(0x80070057u);  // E_INVALIDARG
inline constexpr Result kFail = static_cast<Result>(0x80004005u);  // E_FAIL
inline constexpr Result kUnexpected = static_cast<Result>(0x8000FFFFu);  // E_UNEXPECTED
inline constexpr Result kOutOfMemory = static_cast<Result>(0x8007000Eu);  // E_OUTOFMEMORY
inline constexpr Result kNotFound = static_cast<Result>(0x80040216u);  // VFW_E_NOT_FOUND
inline constexpr Result kCannotRender = static_cast<Result>(0x80040218u);  // VFW_E_CANNOT_RENDER
inline constexpr Result kTypeNotAccepted = static_cast<Result>(0x8004022Au);
inline constexpr Result kUnknownFileType = static_cast<Result>(0x80040240u);
inline constexpr Result kInvalidMediaType = static_cast<Result>(0x80040200u);

enum class FormatType { VideoInfo, Other };
enum class MajorType { Video, Audio, Other };
enum class SubType { RGB24, RGB32, Other };

// A proposed format: for video info, the picture's width and height (negative for top-down).
struct MediaType {
  FormatType format = FormatType::VideoInfo;
  MajorType major = MajorType::Video;
  SubType subtype = SubType::RGB24;
  int width = 0;
  int height = 0;
};

// One frame: rows of the renderer's pitch, in the order they are copied.
struct Sample {
  const uint8_t* bits = nullptr;
  size_t size = 0;
  double pts = 0;
};

// The two conversions of one row, four pixels a step and the rest one by one.
void ConvertRowX8R8G8B8(const uint8_t* src, uint32_t* dst, int width);
void ConvertRowA1R5G5B5(const uint8_t* src, uint16_t* dst, int width);

}  // namespace movie

class CMovieTexture {
 public:
  // `format` is the format the device gives the movie texture (the game asks for X8R8G8B8).
  explicit CMovieTexture(gfx::Device& device, uint32_t format = gfx::D3DFMT_X8R8G8B8)
      : device_(device), asked_format_(format) {}

  movie::Result CheckMediaType(const movie::MediaType* type) const;
  // Creates the textures (the smallest powers of two holding the picture); shows its failures.
  movie::Result SetMediaType(const movie::MediaType& type);
  // Media thread: converts the sample into the texture being written and passes it on as the
  // newest frame.
  movie::Result DoRenderSample(const movie::Sample* sample);

  // Frame loop: the texture to draw this frame, the newest whole frame (null before SetMediaType).
  gfx::DeviceTexture* Texture();
  // The presentation time of the frame Texture() last returned (−1 before the first).
  double TexturePts() const { return drawn_pts_; }
  // Frames converted so far (any thread).
  int64_t FramesRendered() const { return rendered_.load(); }

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Pitch() const { return pitch_; }
  uint32_t Format() const { return format_; }

 private:
  static constexpr int kFresh = 4;  // on `ready_`: a frame the frame loop has not taken

  gfx::Device& device_;
  uint32_t asked_format_;
  std::array<std::unique_ptr<gfx::DeviceTexture>, 3> textures_;
  std::array<double, 3> pts_{-1, -1, -1};
  uint32_t format_ = 0;
  int width_ = 0, height_ = 0, pitch_ = 0;
  int writing_ = 0;  // media thread only
  int drawing_ = 1;  // frame loop only
  std::atomic<int> ready_{2};  // the texture between them, with kFresh once a frame is in it
  double drawn_pts_ = -1;
  std::atomic<int64_t> rendered_{0};
};
