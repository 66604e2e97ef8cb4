#include "setup/installation.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform/confined_folder.h"
#include "platform/desktop_entry.h"
#include "platform/detached_script.h"
#include "platform/fixed_disk.h"
#include "platform/log.h"
#include "platform/sjis.h"

namespace setup {
namespace {

using platform::RegistryRoot;

bool IsDir(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The three menu entries: the game, the read-me, the uninstaller (names without ".desktop").
struct Shortcut {
  std::string name_sjis;
  std::string target;
};

}  // namespace

std::string ReadMeName() { return SJ("はじめにお読みください.txt"); }

bool ReadRegistryString(const platform::Registry& registry, RegistryRoot root,
                        std::string_view key, std::string_view name, std::string& out,
                        size_t size) {
  if (key.empty() || name.empty() || size == 0) return false;
  if (!registry.KeyExists(root, key)) return false;
  auto value = registry.Query(root, key, name);
  // The text as stored, up to a zero if it has one; it must fit the buffer with its zero.
  if (!value || value->data.empty() || value->data.size() > size) return false;
  const auto* begin = reinterpret_cast<const char*>(value->data.data());
  const size_t length = ::strnlen(begin, value->data.size());
  if (length >= size) return false;
  out.assign(begin, length);
  return true;
}

bool ReadRegistryNumber(const platform::Registry& registry, RegistryRoot root,
                        std::string_view key, std::string_view name, uint32_t& out) {
  if (key.empty() || name.empty()) return false;
  auto value = registry.Query(root, key, name);
  if (!value || value->data.size() != 4) return false;
  out = static_cast<uint32_t>(value->data[0]) | static_cast<uint32_t>(value->data[1]) << 8 |
        static_cast<uint32_t>(value->data[2]) << 16 | static_cast<uint32_t>(value->data[3]) << 24;
  return true;
}

bool WriteRegistryString(platform::Registry& registry, RegistryRoot root, std::string_view key,
                         std::string_view name, std::string_view text) {
  if (key.empty() || name.empty()) return false;
  if (!registry.CreateKey(root, key)) return false;
  // Stored without its terminating zero, as the record has always been.
  return registry.Set(root, key, name, platform::kRegSz, text.data(), text.size());
}

bool WriteRegistryNumber(platform::Registry& registry, RegistryRoot root, std::string_view key,
                         std::string_view name, uint32_t value) {
  if (key.empty() || name.empty()) return false;
  if (!registry.CreateKey(root, key)) return false;
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return registry.Set(root, key, name, platform::kRegDword, bytes, 4);
}

bool RegistryKeyExists(const platform::Registry& registry, RegistryRoot root,
                       std::string_view key) {
  return !key.empty() && registry.KeyExists(root, key);
}

std::string Installation::TitleKey() const { return std::string(kMakerKey) + "\\" + context_.title; }

int Installation::ReadInstallation() {
  if (!RegistryKeyExists(context_.registry, RegistryRoot::LocalMachine, kMakerKey)) return -1;
  uint32_t number = 0;
  if (!ReadRegistryNumber(context_.registry, RegistryRoot::LocalMachine, TitleKey(),
                          "INSTALL_NO", number))
    number = 0;
  std::string folder;
  if (!ReadRegistryString(context_.registry, RegistryRoot::LocalMachine, TitleKey(),
                          "INSTALL_DIR", folder, 4096))
    folder.clear();
  context_.installed_number = static_cast<int>(number);
  context_.installed_folder = folder;
  return static_cast<int>(number);
}

bool Installation::RegisterInstallation() {
  const std::string text = context_.InstallationFolder();
  if (!WriteRegistryNumber(context_.registry, RegistryRoot::LocalMachine, TitleKey(),
                           "INSTALL_NO", static_cast<uint32_t>(context_.install_number)))
    return false;
  if (!WriteRegistryString(context_.registry, RegistryRoot::LocalMachine, TitleKey(),
                           "INSTALL_DIR", text))
    return false;
  context_.installed_number = context_.install_number;
  context_.installed_folder = text;
  return true;
}

bool Installation::UnregisterInstallation() {
  if (!RegistryKeyExists(context_.registry, RegistryRoot::LocalMachine, kMakerKey)) return false;
  context_.registry.DeleteKey(RegistryRoot::LocalMachine, TitleKey());
  return true;
}

std::string Installation::DefaultBaseFolder() const { return context_.folders.program_files; }

std::string Installation::AcceptChosenFolder(std::string path) {
  if (path.empty()) return context_.base_folder;
  if (platform::DiskKindOf(path) != platform::DiskKind::Fixed) {
    context_.Box(context_.title, SJ("ハードディスク以外にはインストールできません。"));
    return context_.base_folder;
  }
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string Installation::GroupFolder() const {
  return context_.folders.programs + "/" + kMakerFolder + "/" +
         platform::SjisToUtf8(context_.title);
}

std::string Installation::DesktopEntryPath() const {
  return context_.folders.desktop + "/" + platform::SjisToUtf8(context_.title) + ".desktop";
}

bool Installation::CreateStartMenuShortcuts() {
  const std::string maker = context_.folders.programs + "/" + kMakerFolder;
  for (const std::string& folder : {maker, GroupFolder()}) {
    if (!IsDir(folder) && ::mkdir(folder.c_str(), 0755) != 0) {
      context_.Box(context_.title, platform::Utf8ToSjis(folder) + SJ("を作成する所有権がありません。"));
      return false;
    }
  }
  const std::string install = context_.InstallationFolder();
  const std::string title = platform::SjisToUtf8(context_.title);
  const Shortcut shortcuts[] = {
      {context_.title, install + "/" + platform::SjisToUtf8(context_.exe_name)},
      {SJ("はじめにお読みください"), install + "/" + platform::SjisToUtf8(ReadMeName())},
      {context_.title + SJ("のアンインストール"), install + "/" + kSetupProgramName},
  };
  // The program's name comes from the medium; an entry never points out of the folder.
  const bool exe_sound = platform::SplitContainedPath(context_.exe_name).has_value();
  for (size_t i = 0; i < 3; ++i) {
    if (i == 0 && !exe_sound) continue;
    const std::string link =
        GroupFolder() + "/" + platform::SjisToUtf8(shortcuts[i].name_sjis) + ".desktop";
    if (!platform::SaveDesktopEntry(link, {shortcuts[i].name_sjis, shortcuts[i].target, install}))
      WriteLog(2, platform::Utf8ToSjis(link) + " cannot be written",
                         "CreateStartMenuShortcuts", __LINE__);
  }
  return true;
}

bool Installation::CreateDesktopShortcut() {
  if (!platform::SplitContainedPath(context_.exe_name)) return true;
  const std::string install = context_.InstallationFolder();
  platform::SaveDesktopEntry(
      DesktopEntryPath(),
      {context_.title, install + "/" + platform::SjisToUtf8(context_.exe_name), install});
  return true;
}

bool Installation::RemoveStartMenuShortcuts() {
  const std::string group = GroupFolder();
  const std::string title = platform::SjisToUtf8(context_.title);
  ::unlink((group + "/" + title + ".desktop").c_str());
  ::unlink((group + "/" + title + platform::SjisToUtf8(SJ("のアンインストール")) + ".desktop").c_str());
  ::unlink((group + "/" + platform::SjisToUtf8(SJ("はじめにお読みください")) + ".desktop").c_str());
  // Folders that still hold another title's entries stay.
  ::rmdir(group.c_str());
  ::rmdir((context_.folders.programs + "/" + kMakerFolder).c_str());
  return true;
}

bool Installation::RemoveDesktopShortcut() {
  ::unlink(DesktopEntryPath().c_str());
  return true;
}

bool Installation::WriteSelfRemovalScript() {
  platform::ConfinedFolder folder(context_.installed_folder);
  const std::string text = std::string("rm -f '") + kSetupProgramName + "'\nrm -f '" +
                           kSelfRemovalScript + "'\n";
  return folder.Append(kSelfRemovalScript, text) == platform::FolderResult::Ok;
}

bool Installation::RemoveSelf() {
  if (context_.installed_folder.empty()) return false;
  WriteSelfRemovalScript();
  return platform::StartDetachedScript(context_.installed_folder, kSelfRemovalScript);
}

}  // namespace setup
