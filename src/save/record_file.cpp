// The record file helpers over platform::fs.
#include "save/record_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/fs.h"
#include "platform/log.h"

std::optional<size_t> ReadRecordPrefix(std::string_view game_path, void* data, size_t size) {
  platform::fs::File f = platform::fs::Open(game_path, "rb");
  if (!f) return std::nullopt;
  // One fread into the record itself: a short file fills a prefix, a long one is read no further.
  return std::fread(data, 1, size, f.get());
}

bool WriteRecord(std::string_view game_path, const void* data, size_t size) {
  errno = 0;
  if (platform::fs::WriteAtomic(game_path, data, size)) return true;
  const int error = errno;
  WriteLog(2,
           std::string(game_path) + " could not be written (" +
               (error != 0 ? std::strerror(error) : "unknown error") + "); the file on disk is unchanged",
           "WriteRecord", __LINE__);
  return false;
}
