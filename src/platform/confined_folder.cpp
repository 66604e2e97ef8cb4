#include "platform/confined_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/sjis.h"

namespace platform {
namespace {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int release() {
    int f = fd_;
    fd_ = -1;
    return f;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const uint8_t* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

}  // namespace

uint64_t Fnv1a64(const uint8_t* data, size_t size, uint64_t hash) {
  for (size_t i = 0; i < size; ++i) {
    hash ^= data[i];
    hash *= 1099511628211ull;
  }
  return hash;
}

std::optional<std::vector<std::string>> SplitContainedPath(std::string_view sjis) {
  if (sjis.empty()) return std::nullopt;
  for (char c : sjis)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
  // Converted first: a Shift_JIS trail byte may be a backslash.
  const std::string utf8 = SjisToUtf8(sjis);
  if (utf8[0] == '\\' || utf8[0] == '/' || utf8.find(':') != std::string::npos)
    return std::nullopt;
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i <= utf8.size(); ++i) {
    if (i == utf8.size() || utf8[i] == '\\' || utf8[i] == '/') {
      if (part == "..") return std::nullopt;
      if (!part.empty() && part != ".") parts.push_back(part);
      part.clear();
    } else {
      part += utf8[i];
    }
  }
  if (parts.empty()) return std::nullopt;
  return parts;
}

int ConfinedFolder::OpenParent(std::string_view relative, std::string& leaf, FolderResult& result) {
  auto parts = SplitContainedPath(relative);
  if (!parts) {
    result = FolderResult::Outside;
    return -1;
  }
  Fd dir(::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) {
    error_ = errno;
    result = FolderResult::Failed;
    return -1;
  }
  for (size_t i = 0; i + 1 < parts->size(); ++i) {
    Fd next(::openat(dir.get(), (*parts)[i].c_str(),
                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.get() < 0) {
      error_ = errno;
      struct stat st;
      // A link (or anything not a folder) on the way leads out; a missing folder is a failure.
      const bool exists = ::fstatat(dir.get(), (*parts)[i].c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
      result = exists ? FolderResult::Outside : FolderResult::Failed;
      return -1;
    }
    dir.reset(next.release());
  }
  leaf = parts->back();
  result = FolderResult::Ok;
  return dir.release();
}

FolderResult ConfinedFolder::MakeDir(std::string_view relative) {
  std::string leaf;
  FolderResult result;
  Fd parent(OpenParent(relative, leaf, result));
  if (parent.get() < 0) return result;
  struct stat st;
  if (::fstatat(parent.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
    if (S_ISLNK(st.st_mode)) return FolderResult::Outside;
    if (!S_ISDIR(st.st_mode)) {
      error_ = EEXIST;
      return FolderResult::Failed;
    }
  } else if (::mkdirat(parent.get(), leaf.c_str(), 0755) != 0) {
    error_ = errno;
    return FolderResult::Failed;
  }
  // "Normal" here: the owner may read, write and enter it; nobody else's rights are widened.
  if (::fstatat(parent.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
      ::fchmodat(parent.get(), leaf.c_str(), (st.st_mode & 07777) | 0700, 0) != 0) {
    error_ = errno;
    return FolderResult::AttributeFailed;
  }
  return FolderResult::Ok;
}

FolderResult MakeOwnFolder(const std::string& host, int* error) {
  struct stat st;
  if (host.empty()) {
    if (error) *error = ENOENT;
    return FolderResult::Failed;
  }
  if (::stat(host.c_str(), &st) != 0) {
    for (size_t i = 1; i <= host.size(); ++i) {
      if (i != host.size() && host[i] != '/') continue;
      const std::string prefix = host.substr(0, i);
      if (::stat(prefix.c_str(), &st) != 0 && ::mkdir(prefix.c_str(), 0755) != 0 &&
          errno != EEXIST) {
        if (error) *error = errno;
        return FolderResult::Failed;
      }
    }
  }
  if (::stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    if (error) *error = ENOTDIR;
    return FolderResult::Failed;
  }
  if ((st.st_mode & 0700) != 0700 && ::chmod(host.c_str(), (st.st_mode & 07777) | 0700) != 0) {
    if (error) *error = errno;
    return FolderResult::AttributeFailed;
  }
  return FolderResult::Ok;
}

bool ConfinedFolder::CanRead(std::string_view relative) {
  std::string leaf;
  FolderResult result;
  Fd parent(OpenParent(relative, leaf, result));
  if (parent.get() < 0) return false;
  Fd file(::openat(parent.get(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  struct stat st;
  return file.get() >= 0 && ::fstat(file.get(), &st) == 0 && S_ISREG(st.st_mode);
}

FolderResult ConfinedFolder::CopyIn(const std::string& source_host, std::string_view relative,
                                    bool replace) {
  std::string leaf;
  FolderResult result;
  Fd parent(OpenParent(relative, leaf, result));
  if (parent.get() < 0) return result;
  Fd source(::open(source_host.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (source.get() < 0 || ::fstat(source.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = source.get() < 0 ? errno : EINVAL;
    return FolderResult::Failed;
  }
  const mode_t mode = (st.st_mode & 0111) ? 0755 : 0644;
  const std::string temp = "." + leaf + ".setup" + std::to_string(::getpid());
  ::unlinkat(parent.get(), temp.c_str(), 0);
  Fd out(::openat(parent.get(), temp.c_str(),
                  O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (out.get() < 0) {
    error_ = errno;
    return FolderResult::Failed;
  }
  auto fail = [&](int error) {
    error_ = error;
    ::unlinkat(parent.get(), temp.c_str(), 0);
    return FolderResult::Failed;
  };
  std::vector<uint8_t> buf(1 << 16);
  uint64_t hash = Fnv1a64(nullptr, 0);
  int64_t copied = 0;
  for (;;) {
    ssize_t n = ::read(source.get(), buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno);
    if (n == 0) break;
    hash = Fnv1a64(buf.data(), static_cast<size_t>(n), hash);
    if (!WriteAll(out.get(), buf.data(), static_cast<size_t>(n))) return fail(errno ? errno : EIO);
    copied += n;
  }
  if (::fsync(out.get()) != 0) return fail(errno);
  // Read back what landed on disk and compare it with what the medium gave.
  uint64_t check = Fnv1a64(nullptr, 0);
  int64_t read_back = 0;
  for (;;) {
    ssize_t n = ::pread(out.get(), buf.data(), buf.size(), read_back);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno);
    if (n == 0) break;
    check = Fnv1a64(buf.data(), static_cast<size_t>(n), check);
    read_back += n;
  }
  if (copied != st.st_size || read_back != copied || check != hash) return fail(EIO);
  const bool mode_set = ::fchmod(out.get(), mode) == 0;
  const int mode_error = errno;
  if (replace) {
    if (::renameat(parent.get(), temp.c_str(), parent.get(), leaf.c_str()) != 0)
      return fail(errno);
  } else {
    if (::linkat(parent.get(), temp.c_str(), parent.get(), leaf.c_str(), 0) != 0)
      return fail(errno);
    ::unlinkat(parent.get(), temp.c_str(), 0);
  }
  if (!mode_set) {
    error_ = mode_error;
    return FolderResult::AttributeFailed;
  }
  return FolderResult::Ok;
}

FolderResult ConfinedFolder::Delete(std::string_view relative) {
  std::string leaf;
  FolderResult result;
  Fd parent(OpenParent(relative, leaf, result));
  if (parent.get() < 0) return result;
  if (::unlinkat(parent.get(), leaf.c_str(), 0) != 0) {
    error_ = errno;
    return FolderResult::Failed;
  }
  return FolderResult::Ok;
}

FolderResult ConfinedFolder::RemoveDir(std::string_view relative) {
  std::string leaf;
  FolderResult result;
  Fd parent(OpenParent(relative, leaf, result));
  if (parent.get() < 0) return result;
  struct stat st;
  if (::fstatat(parent.get(), leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
    return FolderResult::Outside;
  if (::unlinkat(parent.get(), leaf.c_str(), AT_REMOVEDIR) != 0) {
    error_ = errno;
    return FolderResult::Failed;
  }
  return FolderResult::Ok;
}

FolderResult ConfinedFolder::Append(std::string_view relative, std::string_view bytes) {
  std::string leaf;
  FolderResult result;
  Fd parent(OpenParent(relative, leaf, result));
  if (parent.get() < 0) return result;
  Fd file(::openat(parent.get(), leaf.c_str(),
                   O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (file.get() < 0) {
    error_ = errno;
    return errno == ELOOP ? FolderResult::Outside : FolderResult::Failed;
  }
  if (!WriteAll(file.get(), reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()) ||
      ::fsync(file.get()) != 0) {
    error_ = errno;
    return FolderResult::Failed;
  }
  return FolderResult::Ok;
}

}  // namespace platform
