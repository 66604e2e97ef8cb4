// Reading pack archives. The table is read in one block and checked record by record before
// anything is indexed, because archives come from outside: a record that does not read as a
// name with its bytes inside the file is never indexed, so no later read or allocation can
// reach past what the file holds.
#include "resource/pack_file.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/fs.h"

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

}  // namespace

void PackScramble(uint8_t* data, size_t size, uint8_t key) {
  const auto x = static_cast<uint8_t>(key ^ 0x80);
  // 16-byte vectors through memcpy (no alignment or aliasing assumptions), four per step.
  using V = uint8_t __attribute__((vector_size(16)));
  V xv;
  std::memset(&xv, x, sizeof xv);
  size_t i = 0;
  for (; i + 64 <= size; i += 64) {
    V v[4];
    std::memcpy(v, data + i, 64);
    v[0] ^= xv;
    v[1] ^= xv;
    v[2] ^= xv;
    v[3] ^= xv;
    std::memcpy(data + i, v, 64);
  }
  for (; i + 16 <= size; i += 16) {
    V v;
    std::memcpy(&v, data + i, 16);
    v ^= xv;
    std::memcpy(data + i, &v, 16);
  }
  for (; i < size; ++i) data[i] ^= x;
}

// The second byte of a Shift_JIS pair is skipped: trail bytes 0x61-0x7A are not letters, and
// folding them would make different characters one name (0x83 0x61 and 0x83 0x41 are two
// distinct katakana).
std::string PackUpperName(std::string name) {
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<uint8_t>(name[i]);
    if (c >= 'a' && c <= 'z')
      name[i] = static_cast<char>(c - 'a' + 'A');
    else if (IsSjisLead(c))
      ++i;
  }
  return name;
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
    case PackError::ShortHeader: return "the file is shorter than the 8-byte header";
    case PackError::Magic: return "the file does not begin with \"PACK\"";
    case PackError::TableOutsideFile: return "the entry table does not fit inside the file";
    case PackError::Unreadable: return "the entry table could not be read";
    case PackError::NoKey: return "no record of the table reads as an entry under any key";
  }
  return "unknown error";
}

PackTable ReadPackTable(std::FILE* file) {
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
  if (std::fread(header, 1, sizeof header, file) != sizeof header) {
    t.error = PackError::ShortHeader;
    return t;
  }
  t.count = LoadLe32(header + 4);
  if (std::memcmp(header, "PACK", 4) != 0) {
    t.error = PackError::Magic;
    return t;
  }
  if (t.count <= 0) return t;

  // The count comes from outside: the table must fit in the file before anything is allocated,
  // so a hostile count costs nothing.
  const int64_t table_end = kPackHeaderSize + static_cast<int64_t>(t.count) * kPackRecordSize;
  if (table_end > t.file_size) {
    t.error = PackError::TableOutsideFile;
    return t;
  }
  const auto table_size = static_cast<size_t>(table_end - kPackHeaderSize);
  std::vector<uint8_t> table(table_size);
  if (std::fread(table.data(), 1, table_size, file) != table_size) {
    t.error = PackError::Unreadable;
    return t;
  }

  // Key detection. Our own key is tried first and kept when every record is sound under it (the
  // usual case, one pass). Otherwise every key is scored by its number of sound records and the
  // best wins; ties go to our own key, then to the lowest key value, so the choice never depends
  // on anything but the file. A damaged archive of ours therefore keeps our key as long as no
  // other key explains more of its table.
  const auto own = static_cast<uint8_t>(kPackKey ^ 0x80);
  uint8_t best = own;
  int32_t best_sound = CountSound(table, t.count, own, table_end, t.file_size);
  if (best_sound < t.count) {
    for (int k = 0; k < 256; ++k) {
      const auto x = static_cast<uint8_t>(k ^ 0x80);
      if (x == own) continue;
      const int32_t sound = CountSound(table, t.count, x, table_end, t.file_size);
      if (sound > best_sound) {
        best_sound = sound;
        best = x;
      }
    }
  }
  if (best_sound == 0) {
    t.error = PackError::NoKey;
    return t;
  }
  t.key = static_cast<uint8_t>(best ^ 0x80);

  PackScramble(table.data(), table.size(), t.key);
  t.records.resize(static_cast<size_t>(t.count));
  for (int32_t r = 0; r < t.count; ++r) {
    const uint8_t* p = table.data() + static_cast<size_t>(r) * kPackRecordSize;
    PackRecord& rec = t.records[static_cast<size_t>(r)];
    const void* nul = std::memchr(p, 0, kPackNameSize);
    if (nul) rec.name.assign(reinterpret_cast<const char*>(p), static_cast<const uint8_t*>(nul) - p);
    rec.size = LoadLe32(p + kPackNameSize);
    rec.offset = LoadLe32(p + kPackNameSize + 4);
    rec.name_sound = SoundNameLength(p, 0) > 0;
    rec.sound = rec.name_sound && RangeIsSound(rec.size, rec.offset, table_end, t.file_size);
  }
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

  platform::fs::File file(std::fopen(host_path_.c_str(), "rb"));
  if (!file) return false;
  PackTable table = ReadPackTable(file.get());
  count_ = table.count;
  if (table.error != PackError::None) return false;  // the file is closed on the way out
  key_ = table.key;
  // Later records replace earlier ones of the same name. An unsound record is skipped, so it
  // does not hide a sound one of the same name before it.
  for (PackRecord& rec : table.records) {
    if (!rec.sound) continue;
    std::string upper = PackUpperName(std::move(rec.name));
    Entry entry{upper, rec.size, rec.offset};
    index_.insert_or_assign(std::move(upper), std::move(entry));
  }
  return true;
}

const CPackFile::Entry* CPackFile::Find(const std::string& name) const {
  auto it = index_.find(PackUpperName(name));
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
  if (!ok) return -1;
  PackScramble(buffer, static_cast<size_t>(entry->size), key_);
  return entry->size;
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
      read = size == 0 || std::fread(buffer, 1, size, f) == size;
      if (!read) {
        Pause(100);
        std::clearerr(f);
      }
    }
    file.reset();
    if (read) return true;
    Pause(100);
  }
  return false;
}

// The setup program reads once. Unlike the game's first attempt it does check the seek and the
// amount read: returning a size whose bytes never arrived would hand garbage to the caller.
bool CPackFile::ReadSetup(const Entry& entry, uint8_t* buffer) const {
  const auto size = static_cast<size_t>(entry.size);
  platform::fs::File file(std::fopen(host_path_.c_str(), "rb"));
  if (!file) return false;
  if (std::fseek(file.get(), entry.offset, SEEK_SET) != 0) return false;
  return size == 0 || std::fread(buffer, 1, size, file.get()) == size;
}
