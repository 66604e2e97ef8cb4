#include "platform/window.h"

namespace platform {

bool HeadlessWindow::Create(std::string_view, int x, int y, int width, int height) {
  created_ = true;
  placed = {x, y, x + width, y + height};
  return true;
}

bool HeadlessWindow::PeekMessage(Message& out) {
  if (queue_.empty()) return false;
  out = queue_.front();
  queue_.pop_front();
  return true;
}

PresentResult HeadlessWindow::Present(const uint32_t*, int) {
  ++presents;
  if (lose_next_) {
    lose_next_ = false;
    return PresentResult::DeviceLost;
  }
  if (lost_frames_ > 0) {
    --lost_frames_;
    return PresentResult::DeviceLost;
  }
  return PresentResult::Ok;
}

}  // namespace platform
