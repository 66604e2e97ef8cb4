#include "platform/registry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/sjis.h"

namespace platform {
namespace {

bool IsDir(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// One component of a key path or a value name as a file name, or nothing when it is unsound.
std::optional<std::string> SoundName(std::string_view sjis) {
  if (sjis.empty()) return std::nullopt;
  for (char c : sjis)
    if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
  std::string name = SjisToUtf8(sjis);
  if (name == "." || name == ".." || name.find('/') != std::string::npos || name[0] == '=')
    return std::nullopt;
  return name;
}

bool WriteWhole(const std::string& path, const std::vector<uint8_t>& bytes) {
  const std::string temp = path + ".tmp" + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<size_t>(w);
  }
  const bool ok = done == bytes.size() && ::fsync(fd) == 0;
  if (::close(fd) != 0 || !ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string Registry::UserStoreFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (config && *config == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.config";
  }
  return base + "/lanthorn/registry";
}

std::optional<std::string> Registry::KeyPath(RegistryRoot root, std::string_view key) const {
  std::string path = folder_ + (root == RegistryRoot::LocalMachine ? "/HKEY_LOCAL_MACHINE"
                                                                   : "/HKEY_CURRENT_USER");
  size_t pos = 0;
  while (pos <= key.size()) {
    size_t next = key.find('\\', pos);
    if (next == std::string_view::npos) next = key.size();
    auto part = SoundName(key.substr(pos, next - pos));
    if (!part) return std::nullopt;
    path += "/" + *part;
    pos = next + 1;
  }
  return path;
}

bool Registry::KeyExists(RegistryRoot root, std::string_view key) const {
  auto path = KeyPath(root, key);
  return path && IsDir(*path);
}

bool Registry::CreateKey(RegistryRoot root, std::string_view key) {
  auto path = KeyPath(root, key);
  if (!path) return false;
  for (size_t i = 1; i <= path->size(); ++i) {
    if (i == path->size() || (*path)[i] == '/') {
      const std::string prefix = path->substr(0, i);
      if (!IsDir(prefix) && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
  }
  return IsDir(*path);
}

std::optional<RegistryValue> Registry::Query(RegistryRoot root, std::string_view key,
                                             std::string_view name) const {
  auto path = KeyPath(root, key);
  auto file = SoundName(name);
  if (!path || !file) return std::nullopt;
  int fd = ::open((*path + "/=" + *file).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return std::nullopt;
  std::vector<uint8_t> bytes;
  uint8_t buf[4096];
  ssize_t n;
  // A value is small; a store file beyond 1 MB is not one this program wrote.
  while ((n = ::read(fd, buf, sizeof buf)) > 0 && bytes.size() < (1u << 20))
    bytes.insert(bytes.end(), buf, buf + n);
  ::close(fd);
  if (n < 0 || bytes.size() < 4 || bytes.size() >= (1u << 20)) return std::nullopt;
  RegistryValue value;
  value.type = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
               static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  value.data.assign(bytes.begin() + 4, bytes.end());
  return value;
}

bool Registry::Set(RegistryRoot root, std::string_view key, std::string_view name, uint32_t type,
                   const void* data, size_t size) {
  auto path = KeyPath(root, key);
  auto file = SoundName(name);
  if (!path || !file || !IsDir(*path) || (size > 0 && !data)) return false;
  std::vector<uint8_t> bytes(4 + size);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(type >> (8 * i));
  if (size > 0) std::memcpy(bytes.data() + 4, data, size);
  return WriteWhole(*path + "/=" + *file, bytes);
}

bool Registry::DeleteKey(RegistryRoot root, std::string_view key) {
  auto path = KeyPath(root, key);
  if (!path || !IsDir(*path)) return false;
  DIR* d = ::opendir(path->c_str());
  if (!d) return false;
  std::vector<std::string> values;
  bool has_subkeys = false;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n == "." || n == "..") continue;
    if (n[0] == '=')
      values.push_back(n);
    else
      has_subkeys = true;
  }
  ::closedir(d);
  if (has_subkeys) return false;
  for (const auto& v : values) ::unlink((*path + "/" + v).c_str());
  return ::rmdir(path->c_str()) == 0;
}

}  // namespace platform
