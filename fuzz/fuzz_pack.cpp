// Pack archives come from outside the program: any file may sit where an archive is expected.
// Opens the input as an archive and reads every entry it offers, in both reading modes; the
// reader must neither crash, read out of bounds nor allocate beyond the file's size.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resource/pack_file.h"

namespace {

const std::string& InputPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/lanthorn-fuzz-pack-" +
           std::to_string(::getpid()) + ".pkd";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = InputPath();
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  for (CPackFile::ReadMode mode : {CPackFile::ReadMode::Game, CPackFile::ReadMode::Setup}) {
    CPackFile pack(mode);
    pack.SetPause([](int) {});  // a failing read must not sleep through the run
    if (!pack.OpenHostFile(path)) continue;
    for (const auto& [name, entry] : pack.Index()) {
      const int32_t expect = pack.EntrySize(name);
      if (expect != entry.size || expect < 0 || static_cast<size_t>(expect) > size) std::abort();
      auto bytes = pack.Read(name);
      if (!bytes || bytes->size() != static_cast<size_t>(expect)) std::abort();
    }
  }
  std::remove(path.c_str());
  return 0;
}
