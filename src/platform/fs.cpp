#include "platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>

#include "platform/sjis.h"

namespace platform::fs {
namespace {

std::atomic<FileCalls*> installed_calls{nullptr};

bool IsDir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathExists(const std::string& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0;
}

// The entry of `dir` whose name equals `name` without regard to ASCII case, if any.
std::optional<std::string> FindCaseless(const std::string& dir, const std::string& name) {
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return std::nullopt;
  std::optional<std::string> found;
  while (dirent* e = ::readdir(d)) {
    if (::strcasecmp(e->d_name, name.c_str()) == 0) {
      found = e->d_name;
      break;
    }
  }
  ::closedir(d);
  return found;
}

std::string ParentOf(const std::string& host) {
  const size_t slash = host.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : host.substr(0, slash);
}

// Makes a folder's entries (a rename or a new folder in it) durable, as fsync does a file's
// bytes; without it a power cut after the rename may bring the old name back, or no folder.
bool SyncFolder(const std::string& folder) {
  FileCalls& calls = CurrentFileCalls();
  const int fd = calls.Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = calls.Sync(fd) == 0;
  const int saved = errno;
  calls.Close(fd);
  errno = saved;
  return ok;
}

// Creates every missing folder of a host path; each new folder's parent is synced, so the
// folder is there after a crash before anything is renamed into it.
bool MakeHostDirs(const std::string& host) {
  for (size_t i = 1; i <= host.size(); ++i) {
    if (i == host.size() || host[i] == '/') {
      std::string prefix = host.substr(0, i);
      if (IsDir(prefix)) continue;
      if (CurrentFileCalls().MakeDir(prefix.c_str(), 0755) != 0) {
        if (errno != EEXIST) return false;
        continue;
      }
      SyncFolder(ParentOf(prefix));
    }
  }
  return true;
}

// "<name>.tmp<pid>", as WriteAtomic names its temporary files; the pid when it is one.
std::optional<pid_t> TemporaryOwner(const std::string& name) {
  const size_t at = name.rfind(".tmp");
  if (at == std::string::npos || at == 0 || at + 4 == name.size()) return std::nullopt;
  int64_t pid = 0;
  for (size_t i = at + 4; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    pid = pid * 10 + (name[i] - '0');
    if (pid > INT32_MAX) return std::nullopt;
  }
  return static_cast<pid_t>(pid);
}

}  // namespace

std::string HostFolderAsGamePath(std::string host) {
  while (host.size() > 1 && host.back() == '/') host.pop_back();
  std::string sjis = Utf8ToSjis(host);
  return SjisToUtf8(sjis) == host ? sjis : host;
}

std::string CurrentFolder() {
  char buf[PATH_MAX];
  if (!::getcwd(buf, sizeof buf)) return ".";
  return HostFolderAsGamePath(buf);
}

bool SetCurrentFolder(const std::string& host_path) { return ::chdir(host_path.c_str()) == 0; }

std::string ProgramHostFolder() {
  char buf[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string exe(buf, static_cast<size_t>(n));
  const size_t slash = exe.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : exe.substr(0, slash);
}

std::string ProgramFolder() {
  const std::string host = ProgramHostFolder();
  if (host.empty()) return CurrentFolder() + "\\";
  std::string folder = HostFolderAsGamePath(host);
  for (char& c : folder)
    if (c == '/') c = '\\';
  if (folder.back() != '\\') folder += '\\';
  return folder;
}

namespace {

// The folders a game path may begin with in the host's own bytes (see HostFolderAsGamePath):
// the current folder and the program's.
std::vector<std::string> HostNamedFolders() {
  std::vector<std::string> out;
  char buf[PATH_MAX];
  if (::getcwd(buf, sizeof buf)) out.emplace_back(buf);
  if (std::string program = ProgramHostFolder(); !program.empty()) out.push_back(std::move(program));
  for (std::string& f : out)
    while (f.size() > 1 && f.back() == '/') f.pop_back();
  return out;
}

// The length of the prefix of an absolute game path that is one of those folders as the host
// names it, when it cannot be the Shift_JIS form (which converts like the rest of the path).
// Separators are either kind (UTF-8 never has 0x2F or 0x5C inside a character, so a folder
// written with backslashes is still its own bytes).
size_t HostNamedPrefix(std::string_view game_path) {
  auto separator = [](char c) { return c == '/' || c == '\\'; };
  if (game_path.empty() || !separator(game_path[0])) return 0;
  for (const std::string& folder : HostNamedFolders()) {
    // A folder Shift_JIS can hold arrives in its Shift_JIS form and converts with the rest.
    if (folder.size() <= 1 || folder.size() > game_path.size() ||
        HostFolderAsGamePath(folder) != folder)
      continue;
    bool same = true;
    for (size_t i = 0; i < folder.size() && same; ++i)
      same = folder[i] == game_path[i] || (separator(folder[i]) && separator(game_path[i]));
    if (same && (game_path.size() == folder.size() || separator(game_path[folder.size()])))
      return folder.size();
  }
  return 0;
}

}  // namespace

std::string HostPath(std::string_view game_path) {
  // A folder the host names in bytes Shift_JIS cannot hold is kept as those bytes; only the
  // game's own names after it are converted.
  const size_t kept = HostNamedPrefix(game_path);
  std::string utf8 = std::string(game_path.substr(0, kept)) + SjisToUtf8(game_path.substr(kept));
  for (char& c : utf8)
    if (c == '\\') c = '/';
  std::string out;
  size_t pos = 0;
  if (!utf8.empty() && utf8[0] == '/') {
    out = "/";
    pos = 1;
  }
  bool matching = true;  // once a component is missing, the rest is taken as given
  while (pos <= utf8.size()) {
    size_t next = utf8.find('/', pos);
    if (next == std::string::npos) next = utf8.size();
    std::string part = utf8.substr(pos, next - pos);
    pos = next + 1;
    if (part.empty()) {
      if (next == utf8.size()) break;
      continue;
    }
    std::string base = out;
    std::string candidate = base.empty() ? part : (base.back() == '/' ? base + part : base + "/" + part);
    if (matching && part != "." && part != ".." && !PathExists(candidate)) {
      if (auto alt = FindCaseless(base, part)) {
        candidate = base.empty() ? *alt : (base.back() == '/' ? base + *alt : base + "/" + *alt);
      } else {
        matching = false;
      }
    }
    out = candidate;
  }
  return out.empty() ? "." : out;
}

bool IsConfinedName(std::string_view game_name) {
  if (game_name.empty()) return false;
  if (game_name.find('/') != std::string_view::npos || game_name.find(':') != std::string_view::npos)
    return false;
  const std::string utf8 = SjisToUtf8(game_name);
  size_t start = 0;
  while (start <= utf8.size()) {
    size_t stop = utf8.find('\\', start);
    if (stop == std::string::npos) stop = utf8.size();
    const std::string_view part(utf8.data() + start, stop - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = stop + 1;
  }
  return true;
}

File Open(std::string_view game_path, const char* mode) {
  return File(std::fopen(HostPath(game_path).c_str(), mode));
}

bool Exists(std::string_view game_path) { return PathExists(HostPath(game_path)); }

std::optional<int64_t> FileSize(std::string_view game_path) {
  struct stat st;
  if (::stat(HostPath(game_path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return st.st_size;
}

std::optional<std::vector<uint8_t>> ReadAll(std::string_view game_path) {
  File f = Open(game_path, "rb");
  if (!f) return std::nullopt;
  std::vector<uint8_t> data;
  uint8_t buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) data.insert(data.end(), buf, buf + n);
  if (std::ferror(f.get())) return std::nullopt;
  return data;
}

bool MakeDirs(std::string_view game_path) { return MakeHostDirs(HostPath(game_path)); }

bool WriteAtomic(std::string_view game_path, const void* data, size_t size) {
  FileCalls& calls = CurrentFileCalls();
  std::string host = HostPath(game_path);
  size_t slash = host.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeHostDirs(host.substr(0, slash))) return false;
  std::string temp = host + ".tmp" + std::to_string(::getpid());
  int fd = calls.Open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  // On any failure the temporary file goes and errno tells why.
  auto give_up = [&](bool open) {
    const int saved = errno;
    if (open) calls.Close(fd);
    calls.Unlink(temp.c_str());
    errno = saved;
    return false;
  };
  const auto* p = static_cast<const uint8_t*>(data);
  size_t left = size;
  while (left > 0) {
    const long w = calls.Write(fd, p, left);
    if (w < 0 && errno == EINTR) continue;
    if (w < 0) return give_up(true);
    if (w == 0) {  // no progress and no error: taken as a full disk rather than looping forever
      errno = ENOSPC;
      return give_up(true);
    }
    p += w;
    left -= static_cast<size_t>(w);
  }
  if (calls.Sync(fd) != 0) return give_up(true);
  if (calls.Close(fd) != 0) return give_up(false);
  if (calls.Rename(temp.c_str(), host.c_str()) != 0) return give_up(false);
  return SyncFolder(ParentOf(host));
}

int RemoveLeftoverTemporaries(std::string_view game_folder) {
  const std::string host = HostPath(game_folder);
  DIR* d = ::opendir(host.c_str());
  if (!d) return 0;
  std::vector<std::string> leftovers;
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    const auto owner = TemporaryOwner(name);
    // A file of a game still running in this folder is its save in progress.
    if (!owner || (*owner != ::getpid() && *owner > 0 && ::kill(*owner, 0) == 0)) continue;
    const std::string path = host + "/" + name;
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) leftovers.push_back(path);
  }
  ::closedir(d);
  int removed = 0;
  for (const std::string& path : leftovers) removed += CurrentFileCalls().Unlink(path.c_str()) == 0;
  if (removed > 0) SyncFolder(host);
  return removed;
}

bool Remove(std::string_view game_path) { return ::unlink(HostPath(game_path).c_str()) == 0; }

int FileCalls::Open(const char* path, int flags, unsigned mode) {
  return ::open(path, flags, static_cast<mode_t>(mode));
}
long FileCalls::Write(int fd, const void* data, size_t size) { return ::write(fd, data, size); }
int FileCalls::Sync(int fd) { return ::fsync(fd); }
int FileCalls::Close(int fd) { return ::close(fd); }
int FileCalls::Rename(const char* from, const char* to) { return ::rename(from, to); }
int FileCalls::Unlink(const char* path) { return ::unlink(path); }
int FileCalls::MakeDir(const char* path, unsigned mode) {
  return ::mkdir(path, static_cast<mode_t>(mode));
}

FileCalls& SystemFileCalls() {
  static FileCalls system;
  return system;
}
FileCalls& CurrentFileCalls() {
  FileCalls* calls = installed_calls.load();
  return calls ? *calls : SystemFileCalls();
}
FileCalls* UseFileCalls(FileCalls* calls) { return installed_calls.exchange(calls); }

}  // namespace platform::fs
