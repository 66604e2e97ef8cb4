// Building pack archives. The reader's counterpart, kept in the resource library so the pkd tool,
// the tests and the demo generator all write archives the same way.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "resource/pack_file.h"

struct PackSource {
  std::string name;  // Shift_JIS with backslash separators, stored as given
  std::vector<uint8_t> data;
};

// The bytes of an archive holding the entries in the given order: header, scrambled table,
// scrambled data. Names must pass PackNameIsSound; the same name may appear twice (the reader
// keeps the later one). Nothing, with a message in *error, when a name is unsound or the archive
// would not fit the format's signed 32-bit offsets.
std::optional<std::vector<uint8_t>> BuildPack(const std::vector<PackSource>& entries,
                                              uint8_t key = kPackKey, std::string* error = nullptr);
