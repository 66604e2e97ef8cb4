// Reading and writing the fixed-size records the player's files hold. Records are memory images
// read as far as the file goes and written whole through a temporary file and a rename.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

// Reads at most `size` bytes from the start of the file into `data`; bytes the file does not
// have are left untouched. The number of bytes read, or nothing when the file cannot be opened.
std::optional<size_t> ReadRecordPrefix(std::string_view game_path, void* data, size_t size);

// Writes the whole record atomically; false, and a line in the log saying why, when the file
// cannot be written (the file on disk then keeps its previous contents).
bool WriteRecord(std::string_view game_path, const void* data, size_t size);
