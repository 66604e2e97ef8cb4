// Stands in for the file operations the setup program runs inside one installation folder
// (creating folders, copying files in, deleting them, appending to its lists), so that no path a
// list names can act outside that folder: a path is refused when it is absolute, names a drive,
// holds ".." or ":" or a control byte, and every folder on the way down is opened without
// following links, so a link inside the tree that points out is refused too. Paths are relative
// and given as the lists give them (Shift_JIS, backslashes).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The components (UTF-8) of a relative path that stays inside the folder; nothing otherwise.
std::optional<std::vector<std::string>> SplitContainedPath(std::string_view sjis_relative);

enum class FolderResult {
  Ok,
  Outside,          // the path is unsound or leads through a link
  Failed,           // the operation failed; error() says why
  AttributeFailed,  // done, but its permissions could not be set
};

class ConfinedFolder {
 public:
  explicit ConfinedFolder(std::string host_root) : root_(std::move(host_root)) {}
  const std::string& Root() const { return root_; }
  // The errno of the last failure (EIO for a copy whose check failed).
  int error() const { return error_; }

  // Creates the folder when it is missing (its parent must exist) and gives its owner full
  // rights (the rights of others are left as they are).
  FolderResult MakeDir(std::string_view relative);
  // True when the entry is a file that can be opened for reading (a link is not followed).
  bool CanRead(std::string_view relative);
  // Copies the file at source_host into the folder. replace: an existing file is replaced (a
  // link in its place is replaced, never written through); otherwise the copy fails when the
  // target exists. The copy goes to a temporary file first and is read back and checked against
  // the size and checksum of what was read from the source before it takes the target's name;
  // the mode is 0644, or 0755 when the source is executable.
  FolderResult CopyIn(const std::string& source_host, std::string_view relative, bool replace);
  FolderResult Delete(std::string_view relative);
  FolderResult RemoveDir(std::string_view relative);  // only when empty
  FolderResult Append(std::string_view relative, std::string_view bytes);

 private:
  // Opens the parent folder of a sound path without following links; -1 with the result set.
  int OpenParent(std::string_view relative, std::string& leaf, FolderResult& result);
  std::string root_;
  int error_ = 0;
};

// Creates a folder of the chain the installation goes into (base folder, maker folder,
// installation folder) with its missing parents, and gives its owner full rights.
FolderResult MakeOwnFolder(const std::string& host, int* error);

// 64-bit FNV-1a, the checksum the verified copy uses.
uint64_t Fnv1a64(const uint8_t* data, size_t size, uint64_t hash = 14695981039346656037ull);

}  // namespace platform
