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

FrameStats StatsOf(const std::vector<FrameTime>& frames, int64_t FrameTime::*time) {
  FrameStats s;
  std::vector<int64_t> sorted;
  sorted.reserve(frames.size());
  for (size_t i = 0; i < frames.size(); ++i) {
    const int64_t us = frames[i].*time;
    sorted.push_back(us);
    s.over_budget += us > kFrameBudgetUs;
    if (frames[i].pictures > 0) {
      if (s.max_load_frame == 0 || us > s.max_load) s.max_load = us, s.max_load_frame = i + 1;
    } else if (s.max_outside_loads_frame == 0 || us > s.max_outside_loads) {
      s.max_outside_loads = us, s.max_outside_loads_frame = i + 1;
    }
  }
  std::sort(sorted.begin(), sorted.end());
  s.median = Percentile(sorted, 0.5);
  s.p99 = Percentile(sorted, 0.99);
  s.max = sorted.empty() ? 0 : sorted.back();
  return s;
}

std::string StatsText(const char* what, const FrameStats& s) {
  char text[320];
  int n = std::snprintf(
      text, sizeof text,
      "%s: median %lld us, p99 %lld us, max %lld us, over %lld us %zu; "
      "max outside loads %lld us (frame %zu); max load %lld us (frame %zu)\n",
      what, static_cast<long long>(s.median), static_cast<long long>(s.p99),
      static_cast<long long>(s.max), static_cast<long long>(kFrameBudgetUs), s.over_budget,
      static_cast<long long>(s.max_outside_loads), s.max_outside_loads_frame,
      static_cast<long long>(s.max_load), s.max_load_frame);
  return std::string(text, static_cast<size_t>(n));
}

}  // namespace

FrameSummary Summarize(const std::vector<FrameTime>& frames) {
  FrameSummary s;
  s.frames = frames.size();
  s.load_frames = static_cast<size_t>(
      std::count_if(frames.begin(), frames.end(), [](const FrameTime& f) { return f.pictures > 0; }));
  s.wall = StatsOf(frames, &FrameTime::wall_us);
  s.cpu = StatsOf(frames, &FrameTime::cpu_us);
  return s;
}

std::string FrameTimesText(const std::vector<FrameTime>& frames) {
  std::string out;
  char line[80];
  for (size_t i = 0; i < frames.size(); ++i) {
    const FrameTime& f = frames[i];
    int n = std::snprintf(line, sizeof line, "%zu %lld %lld", i + 1,
                          static_cast<long long>(f.cpu_us), static_cast<long long>(f.wall_us));
    if (f.pictures > 0) n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n),
                                           " load %d", f.pictures);
    out.append(line, static_cast<size_t>(n));
    out += '\n';
  }
  return out;
}

std::string SummaryText(const FrameSummary& s) {
  char head[96];
  int n = std::snprintf(head, sizeof head, "frames %zu (%zu loaded pictures)\n", s.frames,
                        s.load_frames);
  return std::string(head, static_cast<size_t>(n)) + StatsText("wall", s.wall) +
         StatsText("cpu", s.cpu);
}
