// Pack archives: one file holding many named entries behind a scrambled index. CPackFile opens
// one archive, keeps its index in memory and reads whole entries on request, each read opening
// the file afresh. The game's reader retries a failing read; the setup program's reads once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The scramble key this project's archives are written with. The reader also opens archives
// written with another key (it finds the key from the index; see ReadPackTable).
inline constexpr uint8_t kPackKey = 0x5A;

inline constexpr int kPackHeaderSize = 8;    // "PACK" + entry count
inline constexpr int kPackRecordSize = 136;  // name[128] + size + offset
inline constexpr int kPackNameSize = 128;    // NUL included, so a name has at most 127 bytes

// Restores (or makes) scrambled bytes: ((s + 0x80) mod 256) XOR key, one XOR with key ^ 0x80.
// Works a vector at a time; entries are megabytes and this runs on every read.
void PackScramble(uint8_t* data, size_t size, uint8_t key);

// Upper-cases the ASCII letters a-z only; every other byte, and both bytes of every Shift_JIS
// pair, is left as it is.
std::string PackUpperName(std::string name);

// True when a name (without its NUL) can be stored and found again: 1 to 127 bytes of printable
// ASCII, half-width katakana or Shift_JIS lead/trail pairs; no control bytes.
bool PackNameIsSound(std::string_view name);

// The relative path (UTF-8, '/' between folders) an entry name is unpacked to, or empty when
// the name would leave the folder it is unpacked into or cannot be a file name: an empty, "."
// or ".." component, a '/' or a NUL. Backslashes separate folders; the Shift_JIS
// conversion comes first, so a trail byte 0x5C is part of its character, not a separator.
std::string PackEntryHostPath(std::string_view name);

// One record of an archive's table, unscrambled.
struct PackRecord {
  std::string name;  // as stored, case kept, up to the NUL (empty when there is none)
  int32_t size = 0;
  int32_t offset = 0;
  bool name_sound = false;  // NUL-terminated and PackNameIsSound
  bool sound = false;       // name_sound, and the data lies in the file after the table
};

enum class PackError { None, ShortHeader, Magic, TableOutsideFile, Unreadable, NoKey };
const char* PackErrorText(PackError error);

// The whole table of an archive as read from an open file: its header, the key it was written
// with and every record in table order that the file holds. Reads the header and table only,
// never more than the file holds. Any error but Magic (and a file that cannot be read at all)
// is damage: the records that could be read are still there.
struct PackTable {
  PackError error = PackError::None;
  bool magic = false;  // the file begins with "PACK"
  int32_t count = 0;   // as in the header (0 when the header could not be read)
  int32_t held = 0;    // how many records the file holds (fewer than count when it is cut short)
  uint8_t key = kPackKey;
  int64_t file_size = 0;
  std::vector<PackRecord> records;
};
PackTable ReadPackTable(std::FILE* file);

class CPackFile {
 public:
  enum class ReadMode { Game, Setup };

  struct Entry {
    std::string name;  // upper case
    int32_t size = 0;
    int32_t offset = 0;
  };

  explicit CPackFile(ReadMode mode = ReadMode::Game) : mode_(mode) {}

  // Opens the archive at a game path (Shift_JIS, backslashes allowed, any ASCII case) and builds
  // the index. False only when the file cannot be opened or does not begin with "PACK": a
  // damaged archive opens, and what it cannot give is reported by Damage and Unreadable. Only
  // sound records are indexed (see PackRecord::sound); the others cannot be found, so every
  // entry in the index lies inside the file as it was at open.
  bool Open(const std::string& path);
  // The same for a path of this machine as a tool receives it (UTF-8, taken as given).
  bool OpenHostFile(const std::string& host_path);
  // Size of the named entry, -1 when there is none. Does not touch the file.
  int32_t EntrySize(const std::string& name) const;
  // Reads the whole entry into buffer (at least EntrySize bytes) and unscrambles it.
  // Returns the size, or -1 when the entry is missing or cannot be read.
  int32_t ReadEntry(const std::string& name, uint8_t* buffer) const;
  // Convenience: the entry's bytes followed by `extra` zero bytes; nothing on failure.
  std::optional<std::vector<uint8_t>> Read(const std::string& name, size_t extra = 0) const;

  const std::string& Path() const { return path_; }
  int32_t Count() const { return count_; }
  uint8_t Key() const { return key_; }
  // What was wrong with the archive at open (None for a sound one), and how many records of its
  // header's count cannot be read: cut off with the table, or not sound.
  PackError Damage() const { return damage_; }
  int32_t Unreadable() const { return unreadable_; }
  const std::map<std::string, Entry, std::less<>>& Index() const { return index_; }

  // The pause between retries of the game's reader (100 ms by default); tests make it instant.
  void SetPause(std::function<void(int ms)> pause) { pause_ = std::move(pause); }

 private:
  bool OpenResolved(const std::string& path, std::string host_path);
  const Entry* Find(const std::string& name) const;
  bool ReadGame(const Entry& entry, uint8_t* buffer) const;
  bool ReadSetup(const Entry& entry, uint8_t* buffer) const;
  void Pause(int ms) const;

  ReadMode mode_;
  std::string path_;
  std::string host_path_;  // resolved once at open, so a read does not search folders again
  std::map<std::string, Entry, std::less<>> index_;
  int32_t count_ = 0;
  uint8_t key_ = kPackKey;
  PackError damage_ = PackError::None;
  int32_t unreadable_ = 0;
  std::function<void(int ms)> pause_;
};
