// Writes the layout the reader expects; every check the reader makes on a record holds for what
// this writes, so an archive from here always opens with all its entries.
#include "resource/pack_writer.h"

#include <cstring>
#include <limits>

namespace {

void StoreLe32(uint8_t* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
  p[2] = static_cast<uint8_t>(u >> 16);
  p[3] = static_cast<uint8_t>(u >> 24);
}

void Fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
}

}  // namespace

std::optional<std::vector<uint8_t>> BuildPack(const std::vector<PackSource>& entries, uint8_t key,
                                              std::string* error) {
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  const int64_t table_end =
      kPackHeaderSize + static_cast<int64_t>(entries.size()) * kPackRecordSize;
  int64_t total = table_end;
  for (const PackSource& e : entries) {
    if (!PackNameIsSound(e.name)) {
      Fail(error, "entry name \"" + e.name +
                      "\" cannot be stored (1 to 127 bytes of printable Shift_JIS, no control bytes)");
      return std::nullopt;
    }
    total += static_cast<int64_t>(e.data.size());
  }
  if (static_cast<int64_t>(entries.size()) > kMax || total > kMax) {
    Fail(error, "the archive would be larger than 2 GiB, beyond what its 32-bit offsets can address");
    return std::nullopt;
  }

  std::vector<uint8_t> out(static_cast<size_t>(total));
  std::memcpy(out.data(), "PACK", 4);
  StoreLe32(out.data() + 4, static_cast<int32_t>(entries.size()));
  int64_t offset = table_end;
  for (size_t i = 0; i < entries.size(); ++i) {
    const PackSource& e = entries[i];
    uint8_t* rec = out.data() + kPackHeaderSize + i * kPackRecordSize;
    std::memcpy(rec, e.name.data(), e.name.size());  // the rest of the 128 bytes stays NUL
    StoreLe32(rec + kPackNameSize, static_cast<int32_t>(e.data.size()));
    StoreLe32(rec + kPackNameSize + 4, static_cast<int32_t>(offset));
    if (!e.data.empty()) std::memcpy(out.data() + offset, e.data.data(), e.data.size());
    offset += static_cast<int64_t>(e.data.size());
  }
  // Everything after the header is scrambled: the table and the data alike.
  PackScramble(out.data() + kPackHeaderSize, out.size() - kPackHeaderSize, key);
  return out;
}
