// Pictures and sounds the tests write into their game folders: made by code, small, and each
// shaped so a fault shows (constant levels to listen for, plain colours to look for).
#pragma once

#include <cstdint>
#include <vector>

#include "audio/ogg_encode.h"

namespace testing_support {

using Bytes = std::vector<uint8_t>;

// A w × h PNG of one colour (0xRRGGBB) and alpha.
Bytes SolidPng(int w, int h, uint32_t rgb, int alpha = 255);

// WAV building blocks, for files both sound and broken.
void Put16(Bytes& b, uint32_t v);
void Put32(Bytes& b, uint32_t v);
// A chunk with its tag and length (`declared` when not negative, else the data's size).
Bytes Chunk(const char* tag, const Bytes& data, int64_t declared = -1);
// A format record of `length` bytes (16 is the plain PCM record; more adds extension bytes).
Bytes Fmt(int channels, int rate, int bits, size_t length = 16);
Bytes Riff(const std::vector<Bytes>& chunks);
// Constant levels per channel (left, right; −1 … 1) as PCM of 8 or 16 bits.
Bytes DcPcm(int frames, int channels, int bits, float left, float right);
// A whole PCM file of constant levels.
Bytes DcWav(int frames, int channels = 1, int rate = 48000, int bits = 16, float left = 0.5f,
            float right = -0.25f);

// A sine tone, every channel alike.
OggVorbisFile ToneOgg(double seconds, int rate, int channels, double hz = 400.0,
                      double amplitude = 0.5);

}  // namespace testing_support
