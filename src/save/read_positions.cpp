// The read-text record and its scrambled file.
#include "save/read_positions.h"

#include <cstdio>
#include <cstring>

#include "platform/fs.h"
#include "resource/pack_file.h"
#include "save/record_file.h"

void ReadPositions::RecordReadPosition(std::string_view script, int32_t position) {
  auto it = map_.find(script);
  if (it == map_.end()) {
    // No entry counts as 0, so only a positive position makes one.
    if (position > 0) map_.emplace(std::string(script), position);
  } else if (it->second < position) {
    it->second = position;
  }
}

int32_t ReadPositions::Stored(std::string_view script) const {
  auto it = map_.find(script);
  return it == map_.end() ? 0 : it->second;
}

bool ReadPositions::IsRead(std::string_view script, int32_t position) const {
  return position < Stored(script);
}

size_t ReadPositions::LoadRecords(const uint8_t* data, size_t size, uint8_t key) {
  size_t taken = 0;
  uint8_t rec[kRecordSize];
  for (size_t at = 0; at + kRecordSize <= size; at += kRecordSize) {
    std::memcpy(rec, data + at, kRecordSize);
    PackScramble(rec, kRecordSize, key);
    const void* nul = std::memchr(rec, 0, kNameSize);
    if (!nul) continue;
    std::string name(reinterpret_cast<const char*>(rec), static_cast<const uint8_t*>(nul) - rec);
    int32_t position;
    std::memcpy(&position, rec + kNameSize, 4);
    map_[std::move(name)] = position;
    ++taken;
  }
  return taken;
}

std::vector<uint8_t> ReadPositions::Records(uint8_t key, size_t* skipped) const {
  std::vector<uint8_t> out;
  out.reserve(map_.size() * kRecordSize);
  size_t left_out = 0;
  for (const auto& [name, position] : map_) {
    if (name.size() > kMaxNameLength) {
      ++left_out;
      continue;
    }
    uint8_t rec[kRecordSize] = {};
    std::memcpy(rec, name.data(), name.size());
    std::memcpy(rec + kNameSize, &position, 4);
    out.insert(out.end(), rec, rec + kRecordSize);
  }
  PackScramble(out.data(), out.size(), key);
  if (skipped) *skipped = left_out;
  return out;
}

bool ReadPositions::LoadFile(std::string_view game_path, uint8_t key) {
  platform::fs::File f = platform::fs::Open(game_path, "rb");
  if (!f) return false;
  // Whole records a block at a time, so even a huge file costs no more memory than its entries.
  std::vector<uint8_t> block(kRecordSize * 1024);
  size_t n;
  while ((n = std::fread(block.data(), 1, block.size(), f.get())) > 0) {
    LoadRecords(block.data(), n, key);
    if (n < block.size()) break;
  }
  return true;
}

bool ReadPositions::SaveFile(std::string_view game_path, uint8_t key, size_t* skipped) const {
  std::vector<uint8_t> image = Records(key, skipped);
  return WriteRecord(game_path, image.data(), image.size());
}
