// Pack archives: the cost of opening a large index and looking names up in it, per entry, and
// of reading a big entry next to its peer, a plain read() of the same bytes from the same file.
// The gap between the two is what the archive costs over the file system (stdio and unscramble).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "resource/pack_file.h"
#include "resource/pack_writer.h"

namespace {

constexpr int kEntries = 20000;
constexpr size_t kBigSize = 4 << 20;

// The archives, made once in a temporary folder and removed at exit.
struct Fixture {
  std::filesystem::path dir;
  std::string many;     // kEntries small entries
  std::string foreign;  // the same written with another key, so the reader searches for it
  std::string big;   // one entry of kBigSize, after a small one
  std::vector<std::string> names;
  int32_t big_offset = 0;

  Fixture() {
    std::string t = (std::filesystem::temp_directory_path() / "lanthorn-bench-XXXXXX").string();
    dir = ::mkdtemp(t.data());
    std::vector<PackSource> entries;
    for (int i = 0; i < kEntries; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "GRP\\CHR%02d\\ch%02d_%05d.png", i % 40, i % 40, i);
      names.push_back(name);
      entries.push_back({name, std::vector<uint8_t>(64, static_cast<uint8_t>(i))});
    }
    many = Write("many.pkd", entries);
    foreign = Write("foreign.pkd", entries, 0xA5);
    std::vector<uint8_t> data(kBigSize);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 131);
    big = Write("big.pkd", {{"SCP\\startup.scp", std::vector<uint8_t>(100)}, {"MOVIE\\big.bin", data}});
    big_offset = kPackHeaderSize + 2 * kPackRecordSize + 100;
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string Write(const char* name, const std::vector<PackSource>& entries, uint8_t key = kPackKey) {
    const auto bytes = BuildPack(entries, key);
    if (!bytes) std::abort();
    const std::string path = (dir / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    return path;
  }
};

Fixture& Files() {
  static Fixture f;
  return f;
}

void PerEntry(benchmark::State& state, int per_iteration) {
  state.SetItemsProcessed(state.iterations() * per_iteration);
  state.counters["per_entry"] = benchmark::Counter(
      per_iteration, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Open20000(benchmark::State& state, bool foreign_key) {
  const std::string& path = foreign_key ? Files().foreign : Files().many;
  for (auto _ : state) {
    CPackFile pack;
    if (!pack.Open(path)) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(pack.Index().size());
  }
  PerEntry(state, kEntries);
}
BENCHMARK_CAPTURE(BM_Open20000, own_key, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Open20000, foreign_key, true)->Unit(benchmark::kMillisecond);

void BM_Lookup20000(benchmark::State& state) {
  CPackFile pack;
  if (!pack.Open(Files().many)) state.SkipWithError("open failed");
  // Requests in another case than stored, as scripts write them.
  std::vector<std::string> requests;
  for (std::string n : Files().names) {
    for (char& c : n)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    requests.push_back(n);
  }
  for (auto _ : state) {
    int64_t total = 0;
    for (const std::string& n : requests) total += pack.EntrySize(n);
    if (total != int64_t{64} * kEntries) state.SkipWithError("lookup failed");
    benchmark::DoNotOptimize(total);
  }
  PerEntry(state, kEntries);
}
BENCHMARK(BM_Lookup20000)->Unit(benchmark::kMillisecond);

void BM_ReadEntry4MB(benchmark::State& state) {
  CPackFile pack;
  if (!pack.Open(Files().big)) state.SkipWithError("open failed");
  std::vector<uint8_t> buffer(kBigSize);
  for (auto _ : state) {
    if (pack.ReadEntry("movie\\big.bin", buffer.data()) != static_cast<int32_t>(kBigSize))
      state.SkipWithError("read failed");
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBigSize));
}
BENCHMARK(BM_ReadEntry4MB)->Unit(benchmark::kMicrosecond);

// The peer: open, seek, read() the same 4 MB, close; no stdio and no unscramble.
void BM_PlainRead4MB(benchmark::State& state) {
  const std::string& path = Files().big;
  const off_t offset = Files().big_offset;
  std::vector<uint8_t> buffer(kBigSize);
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    size_t got = 0;
    if (fd >= 0 && ::lseek(fd, offset, SEEK_SET) == offset) {
      while (got < kBigSize) {
        const ssize_t n = ::read(fd, buffer.data() + got, kBigSize - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
      }
    }
    if (fd >= 0) ::close(fd);
    if (got != kBigSize) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(buffer.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBigSize));
}
BENCHMARK(BM_PlainRead4MB)->Unit(benchmark::kMicrosecond);

// The unscramble alone, and a byte-at-a-time loop beside it to show what the vector form buys.
void BM_Unscramble4MB(benchmark::State& state) {
  std::vector<uint8_t> buffer(kBigSize, 0x33);
  for (auto _ : state) {
    PackScramble(buffer.data(), buffer.size(), kPackKey);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBigSize));
}
BENCHMARK(BM_Unscramble4MB)->Unit(benchmark::kMicrosecond);

__attribute__((noinline)) void ByteLoop(volatile uint8_t* data, size_t size, uint8_t x) {
  for (size_t i = 0; i < size; ++i) data[i] = data[i] ^ x;
}

void BM_UnscrambleByteLoop4MB(benchmark::State& state) {
  std::vector<uint8_t> buffer(kBigSize, 0x33);
  for (auto _ : state) {
    ByteLoop(buffer.data(), buffer.size(), kPackKey ^ 0x80);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBigSize));
}
BENCHMARK(BM_UnscrambleByteLoop4MB)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
