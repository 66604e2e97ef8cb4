#include "frame_times.h"

#include <algorithm>
#include <cstdio>

namespace {

// The value at rank ceil(p × n) of the sorted times (nearest rank).
int64_t Percentile(const std::vector<int64_t>& sorted, double p) {
  if (sorted.empty()) return 0;
  size_t rank = static_cast<size_t>(p * static_cast<double>(sorted.size()) + 0.999999);
  rank = std::clamp<size_t>(rank, 1, sorted.size());
  return sorted[rank - 1];
}

}  // namespace

FrameSummary Summarize(const std::vector<FrameTime>& frames) {
  FrameSummary s;
  s.frames = frames.size();
  std::vector<int64_t> sorted;
  sorted.reserve(frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    const FrameTime& f = frames[i];
    sorted.push_back(f.us);
    if (f.pictures > 0) {
      ++s.load_frames;
      if (s.max_load_frame == 0 || f.us > s.max_load) s.max_load = f.us, s.max_load_frame = i + 1;
    } else if (s.max_outside_loads_frame == 0 || f.us > s.max_outside_loads) {
      s.max_outside_loads = f.us, s.max_outside_loads_frame = i + 1;
    }
  }
  std::sort(sorted.begin(), sorted.end());
  s.median = Percentile(sorted, 0.5);
  s.p99 = Percentile(sorted, 0.99);
  s.max = sorted.empty() ? 0 : sorted.back();
  return s;
}

std::string FrameTimesText(const std::vector<FrameTime>& frames) {
  std::string out;
  char line[64];
  for (size_t i = 0; i < frames.size(); ++i) {
    int n = frames[i].pictures > 0
                ? std::snprintf(line, sizeof line, "%zu %lld load %d\n", i + 1,
                                static_cast<long long>(frames[i].us), frames[i].pictures)
                : std::snprintf(line, sizeof line, "%zu %lld\n", i + 1,
                                static_cast<long long>(frames[i].us));
    out.append(line, static_cast<size_t>(n));
  }
  return out;
}

std::string SummaryText(const FrameSummary& s) {
  char text[512];
  int n = std::snprintf(
      text, sizeof text,
      "frames %zu (%zu loaded pictures): median %lld us, p99 %lld us, max %lld us; "
      "max outside loads %lld us (frame %zu); max load %lld us (frame %zu)\n",
      s.frames, s.load_frames, static_cast<long long>(s.median), static_cast<long long>(s.p99),
      static_cast<long long>(s.max), static_cast<long long>(s.max_outside_loads),
      s.max_outside_loads_frame, static_cast<long long>(s.max_load), s.max_load_frame);
  return std::string(text, static_cast<size_t>(n));
}
