// File calls that fail on purpose: installed in place of the system's (platform::fs::FileCalls),
// they count every write, fsync and rename and make the n-th of them fail as a full disk or a
// broken disk would, write only part of its buffer, or end the process there as a kill would.
// Header-only so that the platform's own tests can use it without the engine.
#pragma once

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace test_support {

class FaultyFileCalls : public platform::fs::FileCalls {
 public:
  enum class Fault { kNone, kNoSpace, kIoError, kShortWrite, kExit };
  enum class Call { kWrite, kSync, kRename };
  struct Seen {
    Call call;
    std::string path;    // the file or folder written or synced; a rename's source
    std::string target;  // a rename's target
  };

  // Installs itself for the lifetime of the object.
  FaultyFileCalls() : previous_(platform::fs::UseFileCalls(this)) {}
  ~FaultyFileCalls() override { platform::fs::UseFileCalls(previous_); }
  FaultyFileCalls(const FaultyFileCalls&) = delete;
  FaultyFileCalls& operator=(const FaultyFileCalls&) = delete;

  // The `n`-th counted call from now (0 first) meets `fault`; kNone only counts.
  void Arm(int n, Fault fault) {
    count_ = 0;
    fault_at_ = n;
    fault_ = fault;
    seen_.clear();
    created_.clear();
  }
  int Count() const { return count_; }
  const std::vector<Seen>& Calls() const { return seen_; }
  // The temporary files opened for writing since Arm, in order.
  const std::vector<std::string>& Created() const { return created_; }
  int Open(const char* path, int flags, unsigned mode) override {
    const int fd = platform::fs::SystemFileCalls().Open(path, flags, mode);
    if (fd >= 0) {
      paths_[fd] = path;
      if (flags & O_CREAT) created_.push_back(path);
    }
    return fd;
  }
  int Close(int fd) override {
    paths_.erase(fd);
    return platform::fs::SystemFileCalls().Close(fd);
  }
  long Write(int fd, const void* data, size_t size) override {
    switch (Next(Call::kWrite, paths_[fd])) {
      case Fault::kNoSpace: return Fail(ENOSPC);
      case Fault::kIoError: return Fail(EIO);
      case Fault::kShortWrite:
        if (size > 1) size /= 2;
        break;
      default: break;
    }
    return platform::fs::SystemFileCalls().Write(fd, data, size);
  }
  int Sync(int fd) override {
    switch (Next(Call::kSync, paths_[fd])) {
      case Fault::kNoSpace: return Fail(ENOSPC);
      case Fault::kIoError: return Fail(EIO);
      default: break;
    }
    return platform::fs::SystemFileCalls().Sync(fd);
  }
  int Rename(const char* from, const char* to) override {
    switch (Next(Call::kRename, from, to)) {
      case Fault::kNoSpace: return Fail(ENOSPC);
      case Fault::kIoError: return Fail(EIO);
      default: break;
    }
    return platform::fs::SystemFileCalls().Rename(from, to);
  }

 private:
  Fault Next(Call call, const std::string& path, const std::string& target = {}) {
    seen_.push_back({call, path, target});
    const int n = count_++;
    if (n != fault_at_) return Fault::kNone;
    if (fault_ == Fault::kExit) std::_Exit(3);  // as abrupt as a kill: no flush, no unwinding
    return fault_;
  }
  static int Fail(int error) {
    errno = error;
    return -1;
  }

  platform::fs::FileCalls* previous_;
  std::map<int, std::string> paths_;
  std::vector<Seen> seen_;
  std::vector<std::string> created_;
  int count_ = 0;
  int fault_at_ = -1;
  Fault fault_ = Fault::kNone;
};

}  // namespace test_support
