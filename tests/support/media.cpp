#include "support/media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "resource/image.h"
#include "resource/png_encode.h"

namespace testing_support {

Bytes SolidPng(int w, int h, uint32_t rgb, int alpha) {
  CImage32 image;
  image.Create(w, h);
  uint8_t* p = image.Pixels();
  for (int i = 0; i < w * h; ++i, p += 4) {
    p[0] = rgb & 0xFF;
    p[1] = (rgb >> 8) & 0xFF;
    p[2] = (rgb >> 16) & 0xFF;
    p[3] = static_cast<uint8_t>(alpha);
  }
  return *EncodePNG(image, PngChannels::Rgba);
}

void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
Bytes Chunk(const char* tag, const Bytes& data, int64_t declared) {
  Bytes b(tag, tag + 4);
  Put32(b, static_cast<uint32_t>(declared < 0 ? static_cast<int64_t>(data.size()) : declared));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}
Bytes Fmt(int channels, int rate, int bits, size_t length) {
  Bytes f;
  Put16(f, 1);
  Put16(f, static_cast<uint32_t>(channels));
  Put32(f, static_cast<uint32_t>(rate));
  Put32(f, static_cast<uint32_t>(rate * channels * bits / 8));
  Put16(f, static_cast<uint32_t>(channels * bits / 8));
  Put16(f, static_cast<uint32_t>(bits));
  f.resize(length, 0);
  return f;
}
Bytes Riff(const std::vector<Bytes>& chunks) {
  Bytes body = {'W', 'A', 'V', 'E'};
  for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
  Bytes b = {'R', 'I', 'F', 'F'};
  Put32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
Bytes DcPcm(int frames, int channels, int bits, float left, float right) {
  Bytes b;
  for (int i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      const float v = c == 0 ? left : right;
      if (bits == 8)
        b.push_back(static_cast<uint8_t>(std::clamp(128 + std::lround(v * 128), 0L, 255L)));
      else
        Put16(b, static_cast<uint16_t>(static_cast<int16_t>(
                     std::clamp(std::lround(v * 32768), -32768L, 32767L))));
    }
  }
  return b;
}
Bytes DcWav(int frames, int channels, int rate, int bits, float left, float right) {
  return Riff({Chunk("fmt ", Fmt(channels, rate, bits)),
               Chunk("data", DcPcm(frames, channels, bits, left, right))});
}

OggVorbisFile ToneOgg(double seconds, int rate, int channels, double hz, double amplitude) {
  const long frames = std::lround(seconds * rate);
  std::vector<float> samples(static_cast<size_t>(frames) * static_cast<size_t>(channels));
  for (long i = 0; i < frames; ++i) {
    const float s = static_cast<float>(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate));
    for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(i * channels + c)] = s;
  }
  OggVorbisFile out;
  EXPECT_TRUE(EncodeOggVorbis(samples, channels, rate, 0.5f, 7, out)) << channels << " channels";
  return out;
}

}  // namespace testing_support
