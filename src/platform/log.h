// The diagnostic log: a queue of lines kept in memory as Shift_JIS, each also echoed to stderr
// as UTF-8 so a developer can follow a run. One Log belongs to each process-objects instance;
// WriteLog reaches the one that is current (set by that instance, so a test that builds its own
// instance reads its own log).
//
// The memory it takes is bounded whatever a script does: it keeps the most recent kKeptLines
// information and trace lines and, apart from them, the most recent kKeptErrors errors (so a
// script's noise never pushes out the error that explains it); a line that repeats the one
// before it is counted on that line rather than stored (or echoed) again, and the echo says how
// often once another line follows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
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

  static constexpr size_t kKeptLines = 10000;
  static constexpr size_t kKeptErrors = 2000;

  // The kept lines, oldest first, each once however often it was repeated.
  std::vector<std::string> Lines() const;
  // True when some kept line contains the Shift_JIS fragment.
  bool Contains(std::string_view fragment) const;
  // Number of lines containing the fragment, repeats included.
  int Count(std::string_view fragment) const;
  // The kept lines converted to UTF-8, one after another, a repeated one followed by a note.
  std::string Utf8Text() const;
  // Lines appended in all, repeats included; and the bytes of text kept now.
  uint64_t Appended() const;
  size_t KeptBytes() const;

  void SetEcho(bool echo) { echo_ = echo; }

 private:
  struct Line {
    std::string text;
    uint64_t order = 0;    // when it was first appended
    uint64_t repeats = 0;  // further times it came right after itself
  };
  void EchoRepeats(const Line& line) const;
  // Every kept line in the order appended.
  std::vector<const Line*> InOrder() const;

  mutable std::mutex mutex_;  // the audio threads may log too
  std::deque<Line> lines_;    // information and trace
  std::deque<Line> errors_;
  Line* last_ = nullptr;      // the line appended last (deque growth keeps it in place)
  uint64_t appended_ = 0;
  size_t kept_bytes_ = 0;
  bool echo_ = true;
  Log* previous_ = nullptr;
};

}  // namespace platform

// level: 0 information, 1 trace, 2 error. Text and where are Shift_JIS.
void WriteLog(int level, std::string_view text, std::string_view where, int line);
void WriteLog(int level, std::string_view text);
