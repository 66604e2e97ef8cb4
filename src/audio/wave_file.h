// Reading a sound effect's WAV bytes: the "fmt " record and the "data" chunk, found by scanning.
// Only those two scans are made; what they find is kept inside the bytes there are.
#pragma once

#include <cstdint>
#include <span>

// The 18-byte format record as the file stores it (little-endian), unpacked.
struct WaveFormat {
  uint16_t format_tag = 0;
  uint16_t channels = 0;
  uint32_t samples_per_sec = 0;
  uint32_t avg_bytes_per_sec = 0;
  uint16_t block_align = 0;
  uint16_t bits_per_sample = 0;
  uint16_t extra_size = 0;
};
inline constexpr uint32_t kWaveFormatBytes = 18;

struct WaveData {
  WaveFormat format;
  // Where the PCM bytes lie in the file: offset and length, the length cut to the end of the file.
  size_t pcm_offset = 0;
  size_t pcm_bytes = 0;
};

// Scans for "fmt " from the start and copies at most the format record's 18 bytes of its data
// (fewer when the chunk or the file is shorter; the rest stays 0); then scans for "data" from the
// format chunk's data onward. False when either tag or its length field is missing.
bool ParseWave(std::span<const uint8_t> file, WaveData& out);

// The format the buffer is made with: PCM, 16 bits when the file says 0, block align and byte
// rate worked out from the rest.
WaveFormat BufferFormat(WaveFormat f);
