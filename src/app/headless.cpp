#include "app/headless.h"

HeadlessGame::HeadlessGame() : process(Platform{window, clock, boxes, sound}) {}

bool HeadlessGame::Boot() {
  running_ = ::Boot(process);
  return running_;
}

bool HeadlessGame::Frame(uint32_t ms) {
  if (!running_) return false;
  clock.Advance(ms);
  // A movie's clock is its sound's play position: while one plays, the frame's time of sound
  // is played out of the null device, as a sound card would have played it meanwhile.
  if (process.adv.movie_layer.PlayingWithSound())
    if (platform::NullSoundDevice* device = sound.Device())
      device->Render(static_cast<int>(static_cast<int64_t>(device->Rate()) * ms / 1000));
  // Time leaps here rather than runs: the movie thread gets to do what it would have done
  // meanwhile before the frame draws its picture.
  process.adv.movie_layer.CatchUp();
  if (!on_frame) {
    running_ = MessageLoopStep(process);
    return running_;
  }
  const int64_t cpu_start = platform::ThreadCpuNs();
  const auto start = std::chrono::steady_clock::now();
  running_ = MessageLoopStep(process);
  FrameClock t;
  t.wall = std::chrono::steady_clock::now() - start;
  t.cpu = std::chrono::nanoseconds(platform::ThreadCpuNs() - cpu_start);
  on_frame(t);
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
