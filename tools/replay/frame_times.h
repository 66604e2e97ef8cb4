// The frame budget of a replay: each frame's wall and CPU time and whether it loaded a picture,
// written one line a frame and summed up at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FrameTime {
  int64_t cpu_us = 0;   // the frame thread's CPU microseconds for the frame's update and draw
  int64_t wall_us = 0;  // steady-clock microseconds of the same, waits included
  int pictures = 0;     // pictures decoded for the frame
};

// The distribution of one of the two times.
struct FrameStats {
  int64_t median = 0, p99 = 0, max = 0;
  size_t over_budget = 0;  // frames above kFrameBudgetUs
  int64_t max_outside_loads = 0, max_load = 0;
  size_t max_outside_loads_frame = 0, max_load_frame = 0;  // 1-based frame numbers, 0 for none
};

struct FrameSummary {
  size_t frames = 0, load_frames = 0;
  FrameStats wall, cpu;
};

// One frame at 144 Hz.
inline constexpr int64_t kFrameBudgetUs = 6900;

// Median and 99th percentile by nearest rank over all frames; the maxima split by whether the
// frame loaded a picture.
FrameSummary Summarize(const std::vector<FrameTime>& frames);

// "FRAME CPU_US WALL_US" a line, with " load N" when the frame decoded N pictures.
std::string FrameTimesText(const std::vector<FrameTime>& frames);
std::string SummaryText(const FrameSummary& s);
