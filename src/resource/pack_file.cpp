// Reading pack archives. The table is read in one block and checked record by record before
// anything is indexed, because archives come from outside: a record that does not read as a
// name with its bytes inside the file is never indexed, so no later read or allocation can
// reach past what the file holds.
#include "resource/pack_file.h"

#include <algorithm>
#include <tuple>
#include <utility>
#include <chrono>
#include <climits>
#include <cstring>
#include <thread>

#include "platform/fs.h"
#include "platform/sjis.h"

namespace {

int32_t LoadLe32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

bool IsSjisLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
bool IsSjisTrail(uint8_t c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }
// Printable ASCII and half-width katakana: the single-byte characters a path may hold.
bool IsSjisSingle(uint8_t c) { return (c >= 0x20 && c <= 0x7E) || (c >= 0xA1 && c <= 0xDF); }

// Length of the name in the 128 stored bytes at p when they are unscrambled with x, or -1 when
// it is not a sound name (no NUL, empty, a control byte or a broken Shift_JIS pair). Works on
// the stored bytes so that trying a key costs no copy.
int SoundNameLength(const uint8_t* p, uint8_t x) {
  int i = 0;
  while (i < kPackNameSize) {
    const uint8_t c = p[i] ^ x;
    if (c == 0) return i > 0 ? i : -1;
    if (IsSjisSingle(c)) {
      ++i;
    } else if (IsSjisLead(c) && i + 1 < kPackNameSize && IsSjisTrail(p[i + 1] ^ x)) {
      i += 2;
    } else {
      return -1;
    }
  }
  return -1;
}

int64_t TableEnd(int32_t count) { return kPackHeaderSize + static_cast<int64_t>(count) * kPackRecordSize; }

// Copies n bytes with a-z upper-cased. The second byte of a Shift_JIS pair is skipped: trail
// bytes 0x61-0x7A are not letters, and folding them would make different characters one name
// (0x83 0x61 and 0x83 0x41 are two distinct katakana). in and out may be the same.
void UpperInto(const char* in, size_t n, char* out) {
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<uint8_t>(in[i]);
    out[i] = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : in[i];
    if (IsSjisLead(c) && i + 1 < n) {
      ++i;
      out[i] = in[i];
    }
  }
}

// The data of a record lies inside the file, after the table.
bool RangeIsSound(int32_t size, int32_t offset, int64_t table_end, int64_t file_size) {
  return size >= 0 && offset >= table_end && static_cast<int64_t>(offset) + size <= file_size;
}

// How many records of the stored table are sound when unscrambled with x. The range is tested
// first: it is 8 bytes, and under a wrong key it almost never holds, so most records of most
// keys are rejected before their name is looked at.
int32_t CountSound(const std::vector<uint8_t>& table, int32_t count, uint8_t x, int64_t table_end,
                   int64_t file_size) {
  const auto x4 = static_cast<int32_t>(0x01010101u * x);
  int32_t sound = 0;
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* p = table.data() + static_cast<size_t>(r) * kPackRecordSize;
    const int32_t size = LoadLe32(p + kPackNameSize) ^ x4;
    const int32_t offset = LoadLe32(p + kPackNameSize + 4) ^ x4;
    if (RangeIsSound(size, offset, table_end, file_size) && SoundNameLength(p, x) > 0) ++sound;
  }
  return sound;
}

// A record that is sound apart from where its data lies: a sound name, a size that is not
// negative and an offset after the table. An archive cut short keeps such records for the
// entries whose bytes are gone, and they still tell the key. Without the end of the file a
// wrong key can explain a name too (the XOR of two keys may turn a later character into the
// NUL), so a record whose name field is NUL-padded to its end counts double: under any other
// key its padding would not read as zeros. The score is at most 2 × count.
int32_t CountNamed(const std::vector<uint8_t>& table, int32_t count, uint8_t x, int64_t table_end) {
  const auto x4 = static_cast<int32_t>(0x01010101u * x);
  int64_t named = 0;
  for (int32_t r = 0; r < count; ++r) {
    const uint8_t* p = table.data() + static_cast<size_t>(r) * kPackRecordSize;
    const int32_t size = LoadLe32(p + kPackNameSize) ^ x4;
    const int32_t offset = LoadLe32(p + kPackNameSize + 4) ^ x4;
    const int length = size >= 0 && offset >= table_end ? SoundNameLength(p, x) : -1;
    if (length <= 0) continue;
    bool padded = true;
    for (int i = length + 1; i < kPackNameSize && padded; ++i) padded = p[i] == x;
    named += padded ? 2 : 1;
  }
  return static_cast<int32_t>(std::min<int64_t>(named, INT32_MAX));
}

// The stored-byte XOR (key ^ 0x80) that explains most records by `score`; ties go to our own
// key, then to the lowest key value, so the choice never depends on anything but the file.
template <class Score>
std::pair<uint8_t, int32_t> BestKey(int32_t records, Score score) {
  const auto own = static_cast<uint8_t>(kPackKey ^ 0x80);
  uint8_t best = own;
  int32_t best_score = score(own);
  if (best_score < records) {
    for (int k = 0; k < 256; ++k) {
      const auto x = static_cast<uint8_t>(k ^ 0x80);
      if (x == own) continue;
      const int32_t s = score(x);
      if (s > best_score) {
        best_score = s;
        best = x;
      }
    }
  }
  return {best, best_score};
}

// Reads the header and the table, finds the key and unscrambles the table into `table`; the
// records are left for the caller to take from it (ReadPackTable keeps them all, Open indexes
// the sound ones without building them first). Only Magic (and a file that cannot be read at
// all) leaves nothing to open: every other error is damage, reported with the records that
// could still be read. `records` of the result says how many of them the table holds.
PackTable ReadUnscrambledTable(std::FILE* file, std::vector<uint8_t>& table) {
  PackTable t;
  if (std::fseek(file, 0, SEEK_END) != 0) {
    t.error = PackError::Unreadable;
    return t;
  }
  const long end = std::ftell(file);
  if (end < 0 || std::fseek(file, 0, SEEK_SET) != 0) {
    t.error = PackError::Unreadable;
    return t;
  }
  t.file_size = end;

  uint8_t header[kPackHeaderSize];
  const size_t got = std::fread(header, 1, sizeof header, file);
  if (got < 4 || std::memcmp(header, "PACK", 4) != 0) {
    t.error = PackError::Magic;
    return t;
  }
  t.magic = true;
  if (got != sizeof header) {
    t.error = PackError::ShortHeader;
    return t;
  }
  t.count = LoadLe32(header + 4);
  if (t.count <= 0) return t;

  // The count comes from outside: only the records the file really holds are read, so a hostile
  // count costs nothing. A table cut short keeps its whole records.
  const int64_t table_end = TableEnd(t.count);
  int32_t held = t.count;
  if (table_end > t.file_size) {
    t.error = PackError::TableOutsideFile;
    held = static_cast<int32_t>((t.file_size - kPackHeaderSize) / kPackRecordSize);
  }
  t.held = held;
  const auto table_size = static_cast<size_t>(held) * kPackRecordSize;
  table.resize(table_size);
  if (table_size > 0 && std::fread(table.data(), 1, table_size, file) != table_size) {
    t.error = PackError::Unreadable;
    t.held = 0;
    table.clear();
    return t;
  }
  if (held == 0) return t;

  // Key detection. Our own key is tried first and kept when every record is sound under it (the
  // usual case, one pass). Otherwise every key is scored by its number of sound records and the
  // best wins. A damaged archive of ours therefore keeps our key as long as no other key explains
  // more of its table. When no record is sound under any key (every entry's data is gone), the
  // records are scored again without the end of the file.
  auto [best, best_sound] = BestKey(held, [&](uint8_t x) {
    return CountSound(table, held, x, table_end, t.file_size);
  });
  if (best_sound == 0) {
    const int32_t most = static_cast<int32_t>(std::min<int64_t>(int64_t{held} * 2, INT32_MAX));
    std::tie(best, best_sound) =
        BestKey(most, [&](uint8_t x) { return CountNamed(table, held, x, table_end); });
    if (best_sound == 0) {
      if (t.error == PackError::None) t.error = PackError::NoKey;
      best = static_cast<uint8_t>(kPackKey ^ 0x80);
    }
  }
  t.key = static_cast<uint8_t>(best ^ 0x80);
  PackScramble(table.data(), table.size(), t.key);
  return t;
}

// Calls f(name, name_length, size, offset, name_sound, sound) for each unscrambled record;
// name_length is -1 when the name has no NUL.
template <class F>
void ForEachRecord(const std::vector<uint8_t>& table, const PackTable& t, F f) {
  const int64_t table_end = TableEnd(t.count);
  for (int32_t r = 0; r < t.held; ++r) {
    const uint8_t* p = table.data() + static_cast<size_t>(r) * kPackRecordSize;
    const void* nul = std::memchr(p, 0, kPackNameSize);
    const int length = nul ? static_cast<int>(static_cast<const uint8_t*>(nul) - p) : -1;
    const int32_t size = LoadLe32(p + kPackNameSize);
    const int32_t offset = LoadLe32(p + kPackNameSize + 4);
    const bool name_sound = SoundNameLength(p, 0) > 0;
    f(reinterpret_cast<const char*>(p), length, size, offset, name_sound,
      name_sound && RangeIsSound(size, offset, table_end, t.file_size));
  }
}

// Reads size bytes at the file's position as one block and unscrambles them; a short read is a
// failed read. (Reading in cache-sized chunks and unscrambling each was measured: no faster.)
bool ReadUnscrambled(std::FILE* f, uint8_t* buffer, size_t size, uint8_t key) {
  if (size > 0 && std::fread(buffer, 1, size, f) != size) return false;
  PackScramble(buffer, size, key);
  return true;
}

}  // namespace

void PackScramble(uint8_t* data, size_t size, uint8_t key) {
  const auto x = static_cast<uint8_t>(key ^ 0x80);
  // 16-byte vectors loaded and stored through memcpy (no alignment or aliasing assumptions),
  // four per step. They are separate variables on purpose: an array of them is kept on the
  // stack by the compiler and runs at less than half the speed.
  typedef uint8_t V __attribute__((vector_size(16)));
  V xv;
  std::memset(&xv, x, sizeof xv);
  size_t i = 0;
  for (; i + 64 <= size; i += 64) {
    V a, b, c, d;
    std::memcpy(&a, data + i, 16);
    std::memcpy(&b, data + i + 16, 16);
    std::memcpy(&c, data + i + 32, 16);
    std::memcpy(&d, data + i + 48, 16);
    a ^= xv;
    b ^= xv;
    c ^= xv;
    d ^= xv;
    std::memcpy(data + i, &a, 16);
    std::memcpy(data + i + 16, &b, 16);
    std::memcpy(data + i + 32, &c, 16);
    std::memcpy(data + i + 48, &d, 16);
  }
  for (; i < size; ++i) data[i] ^= x;
}

std::string PackUpperName(std::string name) {
  UpperInto(name.data(), name.size(), name.data());
  return name;
}

std::string PackEntryHostPath(std::string_view name) {
  const std::string utf8 = platform::SjisToUtf8(name);
  if (utf8.find_first_of(std::string_view("/\0", 2)) != std::string::npos) return {};
  std::string path;
  size_t start = 0;
  while (start <= utf8.size()) {
    size_t stop = utf8.find('\\', start);
    if (stop == std::string::npos) stop = utf8.size();
    const std::string_view part(utf8.data() + start, stop - start);
    if (part.empty() || part == "." || part == "..") return {};
    if (!path.empty()) path += '/';
    path += part;
    start = stop + 1;
  }
  return path;
}

bool PackNameIsSound(std::string_view name) {
  if (name.empty() || name.size() >= static_cast<size_t>(kPackNameSize)) return false;
  uint8_t stored[kPackNameSize] = {};
  std::memcpy(stored, name.data(), name.size());
  return SoundNameLength(stored, 0) == static_cast<int>(name.size());
}

const char* PackErrorText(PackError error) {
  switch (error) {
    case PackError::None: return "no error";
    case PackError::ShortHeader: return "the file ends inside the 8-byte header";
    case PackError::Magic: return "the file does not begin with \"PACK\"";
    case PackError::TableOutsideFile: return "the file ends inside the entry table";
    case PackError::Unreadable: return "the entry table could not be read";
    case PackError::NoKey: return "no record of the table reads as an entry under any key";
  }
  return "unknown error";
}

PackTable ReadPackTable(std::FILE* file) {
  std::vector<uint8_t> table;
  PackTable t = ReadUnscrambledTable(file, table);
  t.records.reserve(static_cast<size_t>(t.held));
  ForEachRecord(table, t, [&](const char* name, int length, int32_t size, int32_t offset,
                              bool name_sound, bool sound) {
    t.records.push_back({length > 0 ? std::string(name, static_cast<size_t>(length)) : std::string(),
                         size, offset, name_sound, sound});
  });
  return t;
}

bool CPackFile::Open(const std::string& path) { return OpenResolved(path, platform::fs::HostPath(path)); }

bool CPackFile::OpenHostFile(const std::string& host_path) { return OpenResolved(host_path, host_path); }

bool CPackFile::OpenResolved(const std::string& path, std::string host_path) {
  path_ = path;
  host_path_ = std::move(host_path);
  index_.clear();
  count_ = 0;
  key_ = kPackKey;
  damage_ = PackError::None;
  unreadable_ = 0;

  platform::fs::File file(std::fopen(host_path_.c_str(), "rb"));
  if (!file) return false;
  std::vector<uint8_t> table;
  const PackTable t = ReadUnscrambledTable(file.get(), table);
  count_ = t.count;
  damage_ = t.error;
  if (!t.magic) return false;  // the file is closed on the way out
  key_ = t.key;
  // Later records replace earlier ones of the same name. An unsound record is skipped, so it
  // does not hide a sound one of the same name before it.
  ForEachRecord(table, t, [&](const char* name, int length, int32_t size, int32_t offset, bool,
                              bool sound) {
    if (!sound) {
      ++unreadable_;
      return;
    }
    std::string upper = PackUpperName(std::string(name, static_cast<size_t>(length)));
    Entry entry{upper, size, offset};
    index_.insert_or_assign(std::move(upper), std::move(entry));
  });
  if (t.count > t.held) unreadable_ += t.count - t.held;
  return true;
}

// Upper-cases into a buffer on the stack: a lookup allocates nothing. No indexed name is longer
// than 127 bytes, so a longer request cannot match.
const CPackFile::Entry* CPackFile::Find(const std::string& name) const {
  if (name.size() >= static_cast<size_t>(kPackNameSize)) return nullptr;
  char upper[kPackNameSize];
  UpperInto(name.data(), name.size(), upper);
  auto it = index_.find(std::string_view(upper, name.size()));
  return it == index_.end() ? nullptr : &it->second;
}

int32_t CPackFile::EntrySize(const std::string& name) const {
  const Entry* entry = Find(name);
  return entry ? entry->size : -1;
}

int32_t CPackFile::ReadEntry(const std::string& name, uint8_t* buffer) const {
  const Entry* entry = Find(name);
  if (!entry) return -1;
  const bool ok = mode_ == ReadMode::Game ? ReadGame(*entry, buffer) : ReadSetup(*entry, buffer);
  return ok ? entry->size : -1;
}

std::optional<std::vector<uint8_t>> CPackFile::Read(const std::string& name, size_t extra) const {
  const Entry* entry = Find(name);
  if (!entry) return std::nullopt;
  // Indexed sizes are bounded by the file's size at open, so this never allocates more than it.
  std::vector<uint8_t> data(static_cast<size_t>(entry->size) + extra);
  if (ReadEntry(name, data.data()) != entry->size) return std::nullopt;
  return data;
}

void CPackFile::Pause(int ms) const {
  if (pause_)
    pause_(ms);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The game reads from media that may be slow or briefly locked, so a failing read is retried:
// 10 attempts, each with 10 seeks and 10 reads, pausing 100 ms after each failure (about 11 s
// in all before giving up).
bool CPackFile::ReadGame(const Entry& entry, uint8_t* buffer) const {
  const auto size = static_cast<size_t>(entry.size);
  for (int attempt = 0; attempt < 10; ++attempt) {
    platform::fs::File file(std::fopen(host_path_.c_str(), "rb"));
    if (!file) continue;
    std::FILE* f = file.get();
    bool seeked = false;
    if (std::fseek(f, 0, SEEK_SET) == 0) {
      for (int t = 0; t < 10 && !seeked; ++t) {
        seeked = std::fseek(f, entry.offset, SEEK_SET) == 0;
        if (!seeked) Pause(100);
      }
    }
    if (!seeked) {
      file.reset();
      Pause(100);
      continue;
    }
    bool read = false;
    for (int t = 0; t < 10 && !read; ++t) {
      read = ReadUnscrambled(f, buffer, size, key_);
      if (!read) {
        Pause(100);
        std::clearerr(f);
        std::fseek(f, entry.offset, SEEK_SET);
      }
    }
    file.reset();
    if (read) return true;
    Pause(100);
  }
  return false;
}

// The setup program reads once. It still checks the seek and the amount read: returning a size
// whose bytes never arrived would hand the caller garbage as if it were the entry.
bool CPackFile::ReadSetup(const Entry& entry, uint8_t* buffer) const {
  const auto size = static_cast<size_t>(entry.size);
  platform::fs::File file(std::fopen(host_path_.c_str(), "rb"));
  if (!file) return false;
  if (std::fseek(file.get(), entry.offset, SEEK_SET) != 0) return false;
  return ReadUnscrambled(file.get(), buffer, size, key_);
}
