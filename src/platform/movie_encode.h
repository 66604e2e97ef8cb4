// Movie encoding, for the programs that make movies (the demo generator, the tests and the
// benchmarks): MPEG-1 video and MP2 audio in an MPEG program stream, through libavcodec and
// libavformat. The engine itself only decodes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

struct MovieEncodeSpec {
  int width = 320, height = 240;  // even
  int fps = 25;  // one of MPEG-1's rates: 24, 25, 30, 50, 60
  int frames = 25;
  int video_bit_rate = 1'500'000;
  // Paints frame `index` as top-down 24-bit rows of red, green, blue bytes, `pitch` bytes apart.
  std::function<void(int index, uint8_t* rgb, int pitch)> paint;
  // Without audio the file has a video stream only.
  bool audio = true;
  int audio_rate = 44100;  // 32000, 44100 or 48000
  int audio_channels = 2;  // 1 or 2
  // Writes `frames` interleaved frames (−1 … 1) starting at frame `first`; silence when unset.
  std::function<void(int64_t first, float* out, int frames)> sound;
};

// Writes the movie to a host path. False when an encoder or the file refuses.
bool EncodeMovie(const std::string& host_path, const MovieEncodeSpec& spec);

}  // namespace platform
