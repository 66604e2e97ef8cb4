// What an installation leaves outside its folder, and how it is made and removed: the record in
// the registry (the maker key with one key per title, holding "INSTALL_NO" and "INSTALL_DIR"),
// the menu group with the game, its read-me and its uninstaller, the desktop entry on request,
// and the script that removes the installed setup program after a removal. Also the default
// base folder and the fixed-disk rule for a chosen one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "setup/setup.h"

namespace setup {

// Registry access as the program uses it; each fails when a text is missing (empty).
bool ReadRegistryString(const platform::Registry& registry, platform::RegistryRoot root,
                        std::string_view key, std::string_view name, std::string& out,
                        size_t size);
bool ReadRegistryNumber(const platform::Registry& registry, platform::RegistryRoot root,
                        std::string_view key, std::string_view name, uint32_t& out);
bool WriteRegistryString(platform::Registry& registry, platform::RegistryRoot root,
                         std::string_view key, std::string_view name, std::string_view text);
bool WriteRegistryNumber(platform::Registry& registry, platform::RegistryRoot root,
                         std::string_view key, std::string_view name, uint32_t value);
bool RegistryKeyExists(const platform::Registry& registry, platform::RegistryRoot root,
                       std::string_view key);

// The name of the read-me the group points at, in the installation folder.
std::string ReadMeName();

class Installation {
 public:
  explicit Installation(SetupContext& context) : context_(context) {}

  std::string TitleKey() const;
  // -1 without the maker key; otherwise the recorded number (0 when unreadable). Fills
  // installed_number and installed_folder.
  int ReadInstallation();
  bool RegisterInstallation();
  bool UnregisterInstallation();

  std::string DefaultBaseFolder() const;
  // The rule for a folder the user chose: an empty path keeps the current base folder; a folder
  // not on a fixed disk is refused with its message; a trailing '/' goes.
  std::string AcceptChosenFolder(std::string path);

  // The menu group folder: programs + "/BRASK/" + title.
  std::string GroupFolder() const;
  std::string DesktopEntryPath() const;
  bool CreateStartMenuShortcuts();
  bool CreateDesktopShortcut();
  bool RemoveStartMenuShortcuts();
  bool RemoveDesktopShortcut();

  // Appends the two lines to the script in the installed folder; false when it cannot.
  bool WriteSelfRemovalScript();
  // Writes the script and starts it in the installed folder, detached.
  bool RemoveSelf();

 private:
  SetupContext& context_;
};

}  // namespace setup
