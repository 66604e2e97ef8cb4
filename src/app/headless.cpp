#include "app/headless.h"

HeadlessGame::HeadlessGame() : process(Platform{window, clock, boxes, sound}) {}

bool HeadlessGame::Boot() {
  running_ = ::Boot(process);
  return running_;
}

bool HeadlessGame::Frame(uint32_t ms) {
  if (!running_) return false;
  clock.Advance(ms);
  if (!on_frame) {
    running_ = MessageLoopStep(process);
    return running_;
  }
  const auto start = std::chrono::steady_clock::now();
  running_ = MessageLoopStep(process);
  on_frame(std::chrono::steady_clock::now() - start);
  return running_;
}

bool HeadlessGame::Frames(int n, uint32_t ms) {
  for (int i = 0; i < n; ++i)
    if (!Frame(ms)) return false;
  return running_;
}

bool HeadlessGame::Key(uint8_t dik, uint32_t ms) {
  KeyDown(dik);
  Frame(ms);
  KeyUp(dik);
  return Frame(ms);
}

bool HeadlessGame::Click(int x, int y, int button, uint32_t ms) {
  Move(x, y);
  ButtonDown(button);
  Frame(ms);
  ButtonUp(button);
  return Frame(ms);
}
