#include "platform/startup_marks.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace platform {
namespace {

int MarksFd() {
  static const int fd = [] {
    const char* v = std::getenv("LANTHORN_STARTUP_MARKS");
    if (!v || !*v) return -1;
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    return *end == '\0' && n > 2 && n < 1024 ? static_cast<int>(n) : -1;
  }();
  return fd;
}

}  // namespace

void StartupMark(const char* name) {
  const int fd = MarksFd();
  if (fd < 0) return;
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  char line[96];
  const int n = std::snprintf(line, sizeof line, "%s %lld\n", name,
                              static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
  if (n <= 0) return;
  // One short write of a whole line; a launcher that went away leaves the game as it was.
  while (::write(fd, line, static_cast<size_t>(n)) < 0 && errno == EINTR) {
  }
}

}  // namespace platform
