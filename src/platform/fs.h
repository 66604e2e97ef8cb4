// Files as the game names them. Game paths are Shift_JIS with backslash separators, relative to
// the current folder (or absolute when built from CurrentFolder()). They map to host paths with
// '/', UTF-8 names, and each component matched without regard to ASCII case when the exact name
// is missing, since game data made on other systems has mixed case.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::fs {

// A folder of this machine (UTF-8 bytes, '/') in the form a game path may begin with: its
// Shift_JIS form when Shift_JIS holds every character of it, otherwise the host's bytes as they
// are (a folder named "café" or with an emoji), which HostPath keeps unconverted for the current
// folder and the program's. No trailing separator (except a bare root).
std::string HostFolderAsGamePath(std::string host);
// The process's current folder in the game's form (see HostFolderAsGamePath), so that
// CurrentFolder() + "\\name" always names a file inside it, whatever the folder is called.
std::string CurrentFolder();
bool SetCurrentFolder(const std::string& host_path);
// The folder the running program lives in, as the host names it (UTF-8, '/', no trailing
// separator); empty when the system cannot tell.
std::string ProgramHostFolder();
// The same folder in the game's form (see HostFolderAsGamePath) ending with a separator; the
// current folder stands in when the program's cannot be found.
std::string ProgramFolder();

// The host path for a game path: the existing entry when one matches, otherwise the path as
// it would be created (existing parents matched, the rest as given).
std::string HostPath(std::string_view game_path);

// True when a name read from outside (a save record, say) stays inside the folder it is joined
// to: relative, with no drive, no empty, "." or ".." component and no '/'. Judged after the
// Shift_JIS conversion HostPath makes, so a trail byte 0x5C is not taken for a separator.
bool IsConfinedName(std::string_view game_name);

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// mode as for fopen ("rb", "wb", ...).
File Open(std::string_view game_path, const char* mode);
bool Exists(std::string_view game_path);
std::optional<int64_t> FileSize(std::string_view game_path);
// Whole file; nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadAll(std::string_view game_path);
// Writes the bytes to a temporary file beside the target ("<target>.tmp<pid>"), flushes it,
// renames it over the target and syncs the folder, so a crash never leaves a half-written file
// and a finished save stays. Missing parent folders are created (and their parents synced).
bool WriteAtomic(std::string_view game_path, const void* data, size_t size);
bool MakeDirs(std::string_view game_path);
// Removes the temporary files WriteAtomic left in a folder when the process was killed before
// its rename; those of a process still running are left alone. Returns how many were removed.
int RemoveLeftoverTemporaries(std::string_view game_folder);
bool Remove(std::string_view game_path);

// The system calls behind WriteAtomic, the folder syncs and RemoveLeftoverTemporaries, each as
// its POSIX namesake (-1 and errno on failure; Write may write less than asked). The system's own
// serve by default; a test installs others to make one of them fail or stop part way, and so
// proves what a full disk, an I/O error or a kill at that point leaves behind.
class FileCalls {
 public:
  virtual ~FileCalls() = default;
  virtual int Open(const char* path, int flags, unsigned mode);
  virtual long Write(int fd, const void* data, size_t size);
  virtual int Sync(int fd);
  virtual int Close(int fd);
  virtual int Rename(const char* from, const char* to);
  virtual int Unlink(const char* path);
  virtual int MakeDir(const char* path, unsigned mode);
};
// The calls in use, and the system's own.
FileCalls& CurrentFileCalls();
FileCalls& SystemFileCalls();
// Installs `calls` (nullptr: the system's again) for the whole process; returns the previous.
FileCalls* UseFileCalls(FileCalls* calls);

}  // namespace platform::fs
