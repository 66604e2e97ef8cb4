// The frame budget of a replay: each frame's engine time and whether it loaded a picture, written
// one line a frame and summed up at the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FrameTime {
  int64_t us = 0;  // steady-clock microseconds of the frame's update and draw
  int pictures = 0;  // pictures decoded during the frame
};

struct FrameSummary {
  size_t frames = 0, load_frames = 0;
  int64_t median = 0, p99 = 0, max = 0;
  int64_t max_outside_loads = 0, max_load = 0;
  size_t max_outside_loads_frame = 0, max_load_frame = 0;  // 1-based frame numbers, 0 for none
};

// Median and 99th percentile by nearest rank over all frames; the maxima split by whether the
// frame loaded a picture.
FrameSummary Summarize(const std::vector<FrameTime>& frames);

// "FRAME MICROSECONDS" a line, with " load N" when the frame decoded N pictures.
std::string FrameTimesText(const std::vector<FrameTime>& frames);
std::string SummaryText(const FrameSummary& s);
