// Stands in for the shell's special folders the setup program asks for: the programs menu
// ($XDG_DATA_HOME/applications), the desktop (XDG_DESKTOP_DIR of $XDG_CONFIG_HOME/user-dirs.dirs,
// else ~/Desktop) and the folder games are installed under by default ($XDG_DATA_HOME/games, a
// per-user folder, since installing needs no administrator here). Host paths, UTF-8, no trailing
// '/'. A test builds its own set pointing into a temporary folder.
#pragma once

#include <string>

namespace platform {

struct ShellFolders {
  std::string programs;
  std::string desktop;
  std::string program_files;

  // The user's folders from the environment (empty strings when HOME is unset too).
  static ShellFolders ForUser();
};

}  // namespace platform
