#include "platform/log.h"

#include <atomic>
#include <cstdio>

#include "platform/sjis.h"

namespace platform {
namespace {
std::atomic<Log*> current_log{nullptr};
}

Log::Log() : previous_(current_log.exchange(this)) {}

Log::~Log() {
  Log* self = this;
  current_log.compare_exchange_strong(self, previous_);
}

void Log::Append(int /*level*/, std::string_view text, std::string_view where, int line) {
  std::string out = "[";
  out += where;
  out += " : ";
  out += std::to_string(line);
  out += "] ";
  out += text;
  if (out.empty() || out.back() != '\n') out += '\n';
  if (echo_) {
    std::string utf8 = SjisToUtf8(out);
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  }
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(out));
}

std::vector<std::string> Log::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

bool Log::Contains(std::string_view fragment) const { return Count(fragment) > 0; }

int Log::Count(std::string_view fragment) const {
  std::lock_guard lock(mutex_);
  int n = 0;
  for (const auto& l : lines_)
    if (l.find(fragment) != std::string::npos) ++n;
  return n;
}

std::string Log::Utf8Text() const {
  std::string all;
  for (const auto& l : Lines()) all += l;
  return SjisToUtf8(all);
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
