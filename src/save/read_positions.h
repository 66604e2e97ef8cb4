// The read-text record: for each script, the token position up to which its text has been read,
// and its file "text.dat": one 36-byte record per script (name, NUL-terminated in 32 bytes; then
// the position, little-endian), in ascending byte order of the names, each byte scrambled like
// the pack archives.
//
// Save library: uses platform and resource only; never includes an engine header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class ReadPositions {
 public:
  static constexpr size_t kRecordSize = 36;
  static constexpr size_t kNameSize = 32;
  static constexpr size_t kMaxNameLength = kNameSize - 1;

  // Raises the script's stored position to `position` when that is higher.
  void RecordReadPosition(std::string_view script, int32_t position);
  // True when the position lies before the stored one (a script with no entry stores 0).
  bool IsRead(std::string_view script, int32_t position) const;
  int32_t Stored(std::string_view script) const;

  const std::map<std::string, int32_t, std::less<>>& Map() const { return map_; }
  void Clear() { map_.clear(); }

  // Takes the whole records of a file image (a shorter tail is ignored); a later record of the
  // same name wins. A record whose name has no NUL within its 32 bytes is damaged and skipped.
  // Returns the number of records taken.
  size_t LoadRecords(const uint8_t* data, size_t size, uint8_t key);
  // The file image. Names longer than 31 bytes have no room and are left out (counted in
  // *skipped when given).
  std::vector<uint8_t> Records(uint8_t key, size_t* skipped = nullptr) const;

  // The file through platform::fs; false when it cannot be opened or written.
  bool LoadFile(std::string_view game_path, uint8_t key);
  bool SaveFile(std::string_view game_path, uint8_t key, size_t* skipped = nullptr) const;

 private:
  std::map<std::string, int32_t, std::less<>> map_;
};
