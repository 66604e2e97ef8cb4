// Slot thumbnails lie in the player's folder, where anything may replace them. Reads the input
// as a thumbnail (160 × 120) and as a small canvas, from memory and from a file; a picture that is
// taken must have exactly its pixels, and a refusal must say why and leave the output alone.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "resource/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> file(data, size);
  for (auto [w, h] : {std::pair{160, 120}, std::pair{4, 3}}) {
    std::vector<uint32_t> out = {0xDEADBEEF};
    std::string problem;
    if (ReadCanvasBMP(file, w, h, out, &problem)) {
      if (out.size() != static_cast<size_t>(w) * h) std::abort();
    } else if (problem.empty() || out.size() != 1 || out[0] != 0xDEADBEEF) {
      std::abort();
    }
  }
  static const std::string path = fuzz::ScratchPath("thumbnail", ".bmp");
  if (fuzz::WriteInput(path, data, size)) {
    std::vector<uint32_t> out;
    if (LoadCanvasBMP(path, 160, 120, out) && out.size() != 160u * 120u) std::abort();
    std::remove(path.c_str());
  }
  return 0;
}
