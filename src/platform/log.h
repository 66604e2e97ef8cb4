// The diagnostic log: an append-only queue of lines kept in memory as Shift_JIS, each also echoed
// to stderr as UTF-8 so a developer can follow a run. One Log belongs to each process-objects
// instance; WriteLog reaches the one that is current (set by that instance, so a test that builds
// its own instance reads its own log).
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Log {
 public:
  Log();
  ~Log();
  Log(const Log&) = delete;
  Log& operator=(const Log&) = delete;

  // Appends "[where : line] text", with a line feed added when text has none.
  void Append(int level, std::string_view text, std::string_view where, int line);

  std::vector<std::string> Lines() const;
  // True when some line contains the Shift_JIS fragment.
  bool Contains(std::string_view fragment) const;
  // Number of lines containing the fragment.
  int Count(std::string_view fragment) const;
  // All lines converted to UTF-8, one after another.
  std::string Utf8Text() const;

  void SetEcho(bool echo) { echo_ = echo; }

 private:
  mutable std::mutex mutex_;  // the audio threads may log too
  std::vector<std::string> lines_;
  bool echo_ = true;
  Log* previous_ = nullptr;
};

}  // namespace platform

// level: 0 information, 1 trace, 2 error. Text and where are Shift_JIS.
void WriteLog(int level, std::string_view text, std::string_view where, int line);
void WriteLog(int level, std::string_view text);
