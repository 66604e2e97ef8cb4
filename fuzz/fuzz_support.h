// What several fuzzers share: a scratch file per process for parsers that read from disk, and
// the demo game the build makes, for fuzzers that need a real story around the input.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// "$TMPDIR/lanthorn-fuzz-<tag>-<pid><extension>", the same path for the whole run.
inline std::string ScratchPath(const char* tag, const char* extension) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/lanthorn-fuzz-" + tag + "-" +
         std::to_string(::getpid()) + extension;
}

// Writes the input whole to a host path; false when the file cannot be written.
inline bool WriteInput(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

}  // namespace fuzz
