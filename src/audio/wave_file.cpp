#include "audio/wave_file.h"

#include <algorithm>
#include <cstring>

namespace {

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The first position at or after `from` where the tag and its 32-bit length both fit.
bool FindTag(std::span<const uint8_t> file, size_t from, const char (&tag)[5], size_t& at) {
  if (file.size() < 8) return false;
  for (size_t i = from; i + 8 <= file.size(); ++i) {
    if (std::memcmp(file.data() + i, tag, 4) == 0) {
      at = i;
      return true;
    }
  }
  return false;
}

}  // namespace

bool ParseWave(std::span<const uint8_t> file, WaveData& out) {
  out = {};
  size_t fmt = 0;
  if (!FindTag(file, 0, "fmt ", fmt)) return false;
  const size_t fmt_data = fmt + 8;
  size_t copy =
      std::min<size_t>({U32(file.data() + fmt + 4), kWaveFormatBytes, file.size() - fmt_data});
  uint8_t record[kWaveFormatBytes] = {};
  std::memcpy(record, file.data() + fmt_data, copy);
  WaveFormat& f = out.format;
  f.format_tag = U16(record);
  f.channels = U16(record + 2);
  f.samples_per_sec = U32(record + 4);
  f.avg_bytes_per_sec = U32(record + 8);
  f.block_align = U16(record + 12);
  f.bits_per_sample = U16(record + 14);
  f.extra_size = U16(record + 16);

  size_t data = 0;
  if (!FindTag(file, fmt_data, "data", data)) return false;
  out.pcm_offset = data + 8;
  // A length past the end of the file (a cut-off download, a bad header) keeps what is there.
  out.pcm_bytes = std::min<size_t>(U32(file.data() + data + 4), file.size() - out.pcm_offset);
  return true;
}

WaveFormat BufferFormat(WaveFormat f) {
  f.format_tag = 1;
  if (f.bits_per_sample == 0) f.bits_per_sample = 16;
  f.block_align = static_cast<uint16_t>(f.bits_per_sample / 8 * f.channels);
  f.avg_bytes_per_sec = f.block_align * f.samples_per_sec;
  return f;
}
