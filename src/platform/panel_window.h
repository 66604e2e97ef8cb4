// Stands in for a small fixed-size window that a program draws entirely by itself (the setup
// program's): created centred in the desktop's work area with a caption, it delivers pointer
// moves and left-button releases in client coordinates, close requests and "paint again"
// notices, shows the cursor shape it is told, and puts a finished frame of its own size on
// screen unscaled. SdlPanelWindow is the real one; HeadlessPanelWindow is driven by tests.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class PanelEventType { MouseMove, ButtonUp, Close, Expose };

struct PanelEvent {
  PanelEventType type = PanelEventType::Expose;
  int x = 0;
  int y = 0;
};

enum class PanelCursor { Arrow, Hand };

class PanelWindow {
 public:
  virtual ~PanelWindow() = default;
  virtual bool Create(std::string_view title_sjis, int width, int height) = 0;
  virtual void Show() = 0;
  virtual void Destroy() = 0;
  // The next event; with wait set, blocks until there is one. False when there is none (or the
  // window is gone).
  virtual bool NextEvent(PanelEvent& out, bool wait) = 0;
  virtual void SetCursor(PanelCursor cursor) = 0;
  // A top-down XRGB frame of the window's size.
  virtual void Present(const uint32_t* xrgb, int width, int height) = 0;
};

std::unique_ptr<PanelWindow> CreateSdlPanelWindow();

class HeadlessPanelWindow final : public PanelWindow {
 public:
  bool Create(std::string_view title_sjis, int width, int height) override {
    title = std::string(title_sjis);
    this->width = width;
    this->height = height;
    created = true;
    return true;
  }
  void Show() override { shown = true; }
  void Destroy() override { created = false; }
  bool NextEvent(PanelEvent& out, bool) override {
    if (events.empty() || !created) return false;
    out = events.front();
    events.pop_front();
    return true;
  }
  void SetCursor(PanelCursor c) override { cursor = c; }
  void Present(const uint32_t* xrgb, int w, int h) override {
    frame.assign(xrgb, xrgb + static_cast<size_t>(w) * h);
    ++presents;
    if (on_present) on_present();
  }

  // Test side.
  void Move(int x, int y) { events.push_back({PanelEventType::MouseMove, x, y}); }
  void Click(int x, int y) {
    Move(x, y);
    events.push_back({PanelEventType::ButtonUp, x, y});
  }
  void Close() { events.push_back({PanelEventType::Close, 0, 0}); }
  uint32_t Pixel(int x, int y) const { return frame[static_cast<size_t>(y) * width + x]; }

  std::deque<PanelEvent> events;
  std::string title;
  int width = 0;
  int height = 0;
  bool created = false;
  bool shown = false;
  PanelCursor cursor = PanelCursor::Arrow;
  std::vector<uint32_t> frame;
  int presents = 0;
  std::function<void()> on_present;  // called after each frame is taken
};

}  // namespace platform
