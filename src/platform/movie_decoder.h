// Stands in for the system's movie graph below the renderer: a file (or bytes in memory) opened
// with FFmpeg's demuxers, its first video stream decoded into 24-bit bottom-up RGB samples (blue,
// green, red bytes; rows padded to four bytes, the picture's last row first) and its first audio
// stream into interleaved signed 16-bit PCM (mono or stereo, at the stream's rate). Decoding is
// synchronous: the caller's thread asks for the next piece of output. Times are seconds from the
// start of the file. Every FFmpeg handle is owned here; nothing of FFmpeg leaks into the header.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct MovieStreams {
  bool has_video = false;
  int width = 0, height = 0;
  double frame_rate = 0;  // frames per second, 0 when unknown
  bool has_audio = false;
  int audio_rate = 0;
  int audio_channels = 0;  // 1 or 2
  double duration = 0;  // seconds, 0 when unknown
  // True for MPEG program and elementary streams (the system's own movie files).
  bool mpeg_stream = false;
};

enum class MovieOpenResult {
  Ok,
  NotFound,  // no such file
  Unreadable,  // not a movie FFmpeg can read
  NoVideo,  // no video stream that can be decoded
  TooLarge,  // a picture larger than the limit
};

// Caps for outside input: bytes probed, the largest picture, and a wall-clock budget for one
// call (opening, or one Next), after which the input counts as ended.
struct MovieLimits {
  int max_dimension = 4096;
  int64_t probe_bytes = 5'000'000;
  uint32_t call_budget_ms = 0;  // 0: none
};

// One video sample: bottom-up rows of pitch bytes each.
struct MovieSample {
  const uint8_t* bits = nullptr;
  int width = 0, height = 0, pitch = 0;
  size_t size = 0;
  double pts = 0;
};

// A piece of PCM audio: `frames` interleaved frames of the stream's channel count.
struct MovieAudio {
  const int16_t* samples = nullptr;
  int frames = 0;
  double pts = 0;
};

class MovieDecoder {
 public:
  enum class Output { Video, Audio, End };

  ~MovieDecoder();
  MovieDecoder(const MovieDecoder&) = delete;
  MovieDecoder& operator=(const MovieDecoder&) = delete;

  // Loads the movie libraries on a thread of their own, so the first movie to open does not wait
  // for them on the frame that opens it. Once; returns at once.
  static void LoadLibrariesAhead();
  // A game path (Shift_JIS, backslashes). With `audio` false the audio stream is ignored.
  static std::unique_ptr<MovieDecoder> Open(std::string_view game_path, bool audio,
                                            const MovieLimits& limits, MovieOpenResult* result);
  // Bytes kept by the caller for the decoder's lifetime.
  static std::unique_ptr<MovieDecoder> OpenMemory(std::span<const uint8_t> bytes, bool audio,
                                                  const MovieLimits& limits,
                                                  MovieOpenResult* result);

  const MovieStreams& Streams() const { return streams_; }
  // Decodes until the next sample or piece of audio. A read or decode error past the opening
  // ends the movie (End), as does the call budget; End stays End.
  Output Next();
  // Valid after Next returned Video or Audio, until the next call.
  const MovieSample& Sample() const { return sample_; }
  const MovieAudio& Audio() const { return audio_; }
  // Hands the last video sample's bytes over instead of a copy: they are swapped with `bits`,
  // whose storage the decoder then uses for its next picture. Sample() has no bits afterwards.
  void TakeSampleBits(std::vector<uint8_t>& bits);
  // With `convert` false, video frames are decoded but not turned into RGB (Sample() then has
  // no bits): for skipping frames that are already late.
  void SetConvert(bool convert) { convert_ = convert; }
  // Wakes a blocked read; every call after it returns End.
  void Abort();

  // The libavcodec version string, for reports.
  static std::string CodecVersion();

 private:
  struct State;
  MovieDecoder();
  static double VideoLength(State& s);
  static std::unique_ptr<MovieDecoder> Finish(std::unique_ptr<MovieDecoder> d, bool audio,
                                              const MovieLimits& limits, MovieOpenResult* result);

  std::unique_ptr<State> state_;
  MovieStreams streams_;
  MovieSample sample_;
  MovieAudio audio_;
  bool convert_ = true;
};

}  // namespace platform
