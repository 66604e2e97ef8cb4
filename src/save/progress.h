// The progress record, "data.dat": which event pictures, memory scenes and movies the player has
// reached over all play-throughs. 398 bytes stored byte for byte; the struct is the file image.
//
// Save library: uses platform and resource only; never includes an engine header.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>

static_assert(std::endian::native == std::endian::little, "records are stored as memory images");

inline constexpr int kPictureCount = 198;  // the event-picture table
inline constexpr int kMemoryCount = 16;  // memory scenes 1-16, four heroines with four each
inline constexpr int kMovieCount = 185;  // movies 1-185

struct ProgressData {
  uint8_t PictureSeen[197];  // by event-picture index; the 198th picture: see kLastPictureBit
  uint8_t MemorySeen[16];  // scene n at n - 1
  uint8_t MovieSeen[185];  // movie n at n - 1

  // The picture table has one entry more than PictureSeen has bytes. The last picture's flag is
  // bit 1 of the last MovieSeen byte (movie 185 keeps bit 0): nothing but this record reads
  // MovieSeen, so no byte another reader tests changes meaning, the layout stays 398 bytes, and
  // the picture no longer shares a byte with memory scene 1.
  static constexpr uint8_t kLastPictureBit = 0x02;
  // The music room's pieces heard in the story: bit 2 of MovieSeen[piece] for pieces 0-19, beside
  // the movie's own bit 0, for the same reasons.
  static constexpr uint8_t kMusicHeardBit = 0x04;
  static constexpr int kMusicPieceCount = 20;

  bool IsPictureSeen(int index) const;
  bool IsMemorySeen(int n) const;  // n = 1-16
  bool IsMovieSeen(int n) const;
  bool IsMusicHeard(int piece) const;  // piece 0-19 of the music room
  // Each sets its flag and is false (changing nothing) when the number is out of range.
  bool UnlockPicture(int index);
  bool UnlockMemory(int n);
  bool UnlockMovie(int n);
  // True only when the flag was not set before (so the caller knows to save).
  bool MarkMusicHeard(int piece);
  void Clear();
};

static_assert(sizeof(ProgressData) == 398);
static_assert(offsetof(ProgressData, PictureSeen) == 0);
static_assert(offsetof(ProgressData, MemorySeen) == 197);
static_assert(offsetof(ProgressData, MovieSeen) == 213);

// Loads as much of the record as the file holds (the rest keeps its contents); false when the
// file cannot be opened.
bool LoadProgressFile(std::string_view game_path, ProgressData& progress);
// Writes the 398 bytes atomically.
bool SaveProgressFile(std::string_view game_path, const ProgressData& progress);
