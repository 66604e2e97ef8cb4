// The progress record's flags and its file.
#include "save/progress.h"

#include <cstring>

#include "save/record_file.h"

namespace {
constexpr int kLastPicture = kPictureCount - 1;
constexpr int kOwnPictureBytes = static_cast<int>(sizeof ProgressData::PictureSeen);
static_assert(kLastPicture == kOwnPictureBytes, "exactly one picture lacks a byte of its own");
}  // namespace

bool ProgressData::IsPictureSeen(int index) const {
  if (index < 0 || index >= kPictureCount) return false;
  if (index == kLastPicture) return (MovieSeen[kMovieCount - 1] & kLastPictureBit) != 0;
  return PictureSeen[index] != 0;
}

bool ProgressData::IsMemorySeen(int n) const {
  return n >= 1 && n <= static_cast<int>(sizeof MemorySeen) && MemorySeen[n - 1] != 0;
}

// Bit 0 only, so the last byte's second flag does not count as movie 185.
bool ProgressData::IsMovieSeen(int n) const {
  return n >= 1 && n <= kMovieCount && (MovieSeen[n - 1] & 1) != 0;
}

bool ProgressData::UnlockPicture(int index) {
  if (index < 0 || index >= kPictureCount) return false;
  if (index == kLastPicture) {
    MovieSeen[kMovieCount - 1] |= kLastPictureBit;
  } else {
    PictureSeen[index] = 1;
  }
  return true;
}

bool ProgressData::UnlockMemory(int n) {
  if (n < 1 || n > kMemoryCount) return false;
  MemorySeen[n - 1] = 1;
  return true;
}

bool ProgressData::UnlockMovie(int n) {
  if (n < 1 || n > kMovieCount) return false;
  MovieSeen[n - 1] |= 1;  // keeps the last picture's bit in the last byte
  return true;
}

bool ProgressData::IsMusicHeard(int piece) const {
  return piece >= 0 && piece < kMusicPieceCount && (MovieSeen[piece] & kMusicHeardBit) != 0;
}

bool ProgressData::MarkMusicHeard(int piece) {
  if (IsMusicHeard(piece) || piece < 0 || piece >= kMusicPieceCount) return false;
  MovieSeen[piece] |= kMusicHeardBit;
  return true;
}

void ProgressData::Clear() {
  std::memset(this, 0, sizeof *this);
}

bool LoadProgressFile(std::string_view game_path, ProgressData& progress) {
  return ReadRecordPrefix(game_path, &progress, sizeof progress).has_value();
}

bool SaveProgressFile(std::string_view game_path, const ProgressData& progress) {
  return WriteRecord(game_path, &progress, sizeof progress);
}
