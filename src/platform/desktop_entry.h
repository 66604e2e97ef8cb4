// Stands in for the shell's link files: a shortcut is a freedesktop desktop entry (".desktop")
// that starts a program in its working folder, or, for a target that is not a program (a text
// to read), a link entry that opens it. Paths are host paths (UTF-8); the name shown is given in
// Shift_JIS. The file is written whole through a temporary file.
#pragma once

#include <string>
#include <string_view>

namespace platform {

struct DesktopEntry {
  std::string name_sjis;          // Name= of the menu entry
  std::string target;             // the program or file
  std::string working_directory;  // Path= for a program
};

// The escaped Exec= value for a program started without arguments.
std::string DesktopExecValue(const std::string& program);

// Writes the entry to link_path (parent folders must exist). False when it cannot be written.
bool SaveDesktopEntry(const std::string& link_path, const DesktopEntry& entry);

}  // namespace platform
