#include "platform/shell_folders.h"

#include <cstdlib>
#include <fstream>

namespace platform {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v && *v == '/' ? std::string(v) : std::string();
}

// XDG_DESKTOP_DIR="$HOME/Desktop" from user-dirs.dirs; empty when it is not there.
std::string DesktopFromUserDirs(const std::string& config, const std::string& home) {
  std::ifstream in(config + "/user-dirs.dirs");
  std::string line;
  while (std::getline(in, line)) {
    const std::string key = "XDG_DESKTOP_DIR=\"";
    if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
    std::string value = line.substr(key.size(), line.size() - key.size() - 1);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value[0] == '/') {
      while (value.size() > 1 && value.back() == '/') value.pop_back();
      return value;
    }
  }
  return {};
}

}  // namespace

ShellFolders ShellFolders::ForUser() {
  const std::string home = Env("HOME");
  std::string data = Env("XDG_DATA_HOME");
  if (data.empty() && !home.empty()) data = home + "/.local/share";
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty() && !home.empty()) config = home + "/.config";
  ShellFolders f;
  if (!data.empty()) {
    f.programs = data + "/applications";
    f.program_files = data + "/games";
  }
  f.desktop = DesktopFromUserDirs(config, home);
  if (f.desktop.empty() && !home.empty()) f.desktop = home + "/Desktop";
  return f;
}

}  // namespace platform
