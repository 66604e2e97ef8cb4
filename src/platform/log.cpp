#include "platform/log.h"

#include <atomic>
#include <cstdint>
#include <cstdio>

#include "platform/sjis.h"

namespace platform {
namespace {
std::atomic<Log*> current_log{nullptr};

std::string RepeatNote(uint64_t repeats) {
  return "(the line above came " + std::to_string(repeats) + " more times)\n";
}
}  // namespace

Log::Log() : previous_(current_log.exchange(this)) {}

Log::~Log() {
  if (last_) EchoRepeats(*last_);
  Log* self = this;
  current_log.compare_exchange_strong(self, previous_);
}

void Log::EchoRepeats(const Line& line) const {
  if (!echo_ || line.repeats == 0) return;
  const std::string note = RepeatNote(line.repeats);
  std::fwrite(note.data(), 1, note.size(), stderr);
}

void Log::Append(int level, std::string_view text, std::string_view where, int line) {
  std::string out = "[";
  out += where;
  out += " : ";
  out += std::to_string(line);
  out += "] ";
  out += text;
  if (out.empty() || out.back() != '\n') out += '\n';
  std::lock_guard lock(mutex_);
  const uint64_t order = appended_++;
  if (last_ && last_->text == out) {
    ++last_->repeats;
    return;
  }
  if (last_) EchoRepeats(*last_);
  if (echo_) {
    std::string utf8 = SjisToUtf8(out);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  }
  std::deque<Line>& kept = level >= 2 ? errors_ : lines_;
  const size_t limit = level >= 2 ? kKeptErrors : kKeptLines;
  kept_bytes_ += out.size();
  kept.push_back({std::move(out), order, 0});
  last_ = &kept.back();
  if (kept.size() > limit) {
    kept_bytes_ -= kept.front().text.size();
    kept.pop_front();
  }
}

std::vector<const Log::Line*> Log::InOrder() const {
  std::vector<const Line*> out;
  out.reserve(lines_.size() + errors_.size());
  auto a = lines_.begin(), b = errors_.begin();
  while (a != lines_.end() || b != errors_.end()) {
    if (b == errors_.end() || (a != lines_.end() && a->order < b->order))
      out.push_back(&*a++);
    else
      out.push_back(&*b++);
  }
  return out;
}

std::vector<std::string> Log::Lines() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> out;
  for (const Line* l : InOrder()) out.push_back(l->text);
  return out;
}

bool Log::Contains(std::string_view fragment) const { return Count(fragment) > 0; }

int Log::Count(std::string_view fragment) const {
  std::lock_guard lock(mutex_);
  uint64_t n = 0;
  for (const auto* kept : {&lines_, &errors_})
    for (const Line& l : *kept)
      if (l.text.find(fragment) != std::string::npos) n += 1 + l.repeats;
  return n > INT32_MAX ? INT32_MAX : static_cast<int>(n);
}

std::string Log::Utf8Text() const {
  std::string all;
  {
    std::lock_guard lock(mutex_);
    for (const Line* l : InOrder()) {
      all += l->text;
      if (l->repeats > 0) all += RepeatNote(l->repeats);
    }
  }
  return SjisToUtf8(all);
}

uint64_t Log::Appended() const {
  std::lock_guard lock(mutex_);
  return appended_;
}

size_t Log::KeptBytes() const {
  std::lock_guard lock(mutex_);
  return kept_bytes_;
}

}  // namespace platform

void WriteLog(int level, std::string_view text, std::string_view where, int line) {
  if (platform::Log* log = platform::current_log.load()) {
    log->Append(level, text, where, line);
  } else {
    std::string utf8 = platform::SjisToUtf8(text);
    std::fprintf(stderr, "[%.*s : %d] %s\n", static_cast<int>(where.size()), where.data(), line,
                 utf8.c_str());
  }
}

void WriteLog(int level, std::string_view text) { WriteLog(level, text, "", 0); }
