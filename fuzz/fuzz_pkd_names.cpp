// `pkd extract` turns the names an archive holds, which anyone may have written, into paths under
// the folder it unpacks into. Maps the input as a name: a path it gives must be relative, made of
// real components only, and stay inside the folder after normalisation.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "resource/pack_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  (void)PackNameIsSound(name);
  if (PackUpperName(std::string(name)).size() != size) std::abort();
  const std::string path = PackEntryHostPath(name);
  if (path.empty()) return 0;
  if (path.front() == '/' || path.back() == '/' || path.find('\0') != std::string::npos) std::abort();
  size_t start = 0;
  while (start <= path.size()) {
    size_t stop = path.find('/', start);
    if (stop == std::string::npos) stop = path.size();
    const std::string_view part(path.data() + start, stop - start);
    if (part.empty() || part == "." || part == "..") std::abort();
    start = stop + 1;
  }
  const std::filesystem::path joined = (std::filesystem::path("/unpack") / path).lexically_normal();
  const std::string text = joined.string();
  if (text.rfind("/unpack/", 0) != 0) std::abort();
  return 0;
}
