// The setup program: installs the game from its medium into a folder, records the installation,
// makes the menu and desktop entries, and removes it all again from the uninstall list. It owns
// the copy and uninstall lists (setup_lists), the installation record and shortcuts
// (installation), the folder chooser and the window with its pages (setup_program). It uses the
// platform stand-ins and the resource library (pack archive, pictures), nothing of the engine.
//
// SetupContext holds what these parts share: the values of the set-up information, the folders,
// what the record says is installed, and the busy flag around message boxes. Folders are host
// paths (UTF-8, '/'); the title and texts are Shift_JIS.
#pragma once

#include <string>

#include "platform/message_box.h"
#include "platform/registry.h"
#include "platform/shell_folders.h"

namespace setup {

// The maker folder between the base folder and the game's folder, and the maker's registry key.
inline constexpr const char* kMakerFolder = "BRASK";
inline constexpr const char* kMakerKey = "SOFTWARE\\Ravelmoor";
// The setup program's own file name in the installation folder (the uninstall entry's target,
// and what the self-removal script deletes), the script's name and the uninstall list's.
inline constexpr const char* kSetupProgramName = "setup";
inline constexpr const char* kSelfRemovalScript = "del_me.sh";
inline constexpr const char* kUninstallList = "Uninstall.dir";

struct SetupContext {
  SetupContext(platform::MessageBoxes& b, platform::Registry& r) : boxes(b), registry(r) {}

  platform::MessageBoxes& boxes;
  platform::Registry& registry;
  platform::ShellFolders folders;

  std::string current_folder;  // where the program was started: the medium
  std::string base_folder;
  std::string title;      // Shift_JIS
  std::string exe_name;   // Shift_JIS, relative to the installation folder
  int install_number = 0;
  int installed_number = 0;
  std::string installed_folder;

  bool busy = false;                  // a message box of a step is open
  bool back_to_folder_page = false;   // a copy-list command failed: the run stops

  // base folder + "/BRASK/" + title.
  std::string InstallationFolder() const;
  // Shows a box with busy set around it.
  platform::BoxAnswer Box(const std::string& caption, const std::string& text,
                          platform::BoxButtons buttons = platform::BoxButtons::Ok);
};

}  // namespace setup
