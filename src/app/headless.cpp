#include "app/headless.h"

HeadlessGame::HeadlessGame() : process(Platform{window, clock, boxes, sound}) {}

bool HeadlessGame::Boot() {
  running_ = ::Boot(process);
  return running_;
}

bool HeadlessGame::Frame(uint32_t ms) {
  if (!running_) return false;
  clock.Advance(ms);
  running_ = MessageLoopStep(process);
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
