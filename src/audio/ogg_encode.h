// Ogg Vorbis encoding, for the programs that make sounds (the demo generator, the tests and
// benchmarks); the engine itself only decodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct OggVorbisFile {
  std::vector<uint8_t> bytes;
  size_t header_bytes = 0;  // the pages of the three header packets (the audio starts after)
};

// Interleaved samples (−1 … 1) into an Ogg Vorbis stream at the VBR quality (−0.1 … 1). False,
// with `out` empty, when the encoder refuses the channel count, rate or quality.
bool EncodeOggVorbis(std::span<const float> interleaved, int channels, int rate, float quality,
                     int serial, OggVorbisFile& out);
