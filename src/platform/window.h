// Stands in for the game's main window: its creation and placement, its message queue (close,
// activation, display change, quit), the pointer (position in the 800 × 600 client frame, warping,
// cursor shape) and the presenter that puts each finished frame on screen, scaled to the window
// with the aspect kept. Keyboard and mouse events that arrive with the messages go straight into
// the window's InputDevice. SdlWindow is the real one; HeadlessWindow is driven by tests.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string_view>

#include "platform/input_device.h"

namespace platform {

constexpr int kFrameWidth = 800;
constexpr int kFrameHeight = 600;

struct Point {
  int x = 0;
  int y = 0;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

enum class Cursor { Game, None };

enum class MessageType {
  Close,          // the close button or Alt+F4
  Activate,       // the window came to the foreground
  Deactivate,     // another application was chosen
  DisplayChange,  // the desktop's mode or format changed
  Quit,           // posted by PostQuit; ends the message loop
};

struct Message {
  MessageType type = MessageType::Quit;
  int code = 0;  // the exit code of Quit
};

enum class PresentResult { Ok, DeviceLost };

class Window {
 public:
  virtual ~Window() = default;

  // Creates the window, hidden, with a client area of width × height at (x, y) of the desktop.
  virtual bool Create(std::string_view title_sjis, int x, int y, int width, int height) = 0;
  virtual void Show() = 0;
  virtual bool Shown() const = 0;
  virtual void Destroy() = 0;
  // The desktop area not taken by panels, in desktop coordinates.
  virtual Rect WorkArea() = 0;

  // Takes the next window message; false when the queue is empty.
  virtual bool PeekMessage(Message& out) = 0;
  virtual void PostQuit(int code) = 0;

  // The pointer in client coordinates of the 800 × 600 frame (outside it when beyond the edges
  // or over the bars around a scaled frame).
  virtual Point CursorPos() = 0;
  virtual void WarpCursor(Point client) = 0;
  virtual void SetCursor(Cursor cursor) = 0;
  virtual Cursor CurrentCursor() const = 0;

  // The presenter. Present takes an 800 × 600 XRGB frame (pitch in pixels).
  virtual bool SetFullscreen(bool fullscreen) = 0;
  virtual bool Fullscreen() const = 0;
  virtual PresentResult Present(const uint32_t* xrgb, int pitch) = 0;
  // After DeviceLost: true once presenting works again.
  virtual bool ResetDevice() = 0;

  InputDevice& Input() { return input_; }

 protected:
  InputDevice input_;
};

// A window on the user's display through SDL2.
std::unique_ptr<Window> CreateSdlWindow();

// A window that exists only in memory; the test posts messages, places the pointer and may make
// the presenter report a lost device.
class HeadlessWindow final : public Window {
 public:
  bool Create(std::string_view title_sjis, int x, int y, int width, int height) override;
  // Showing brings the window to the foreground, as on a desktop.
  void Show() override {
    shown_ = true;
    Post({MessageType::Activate, 0});
  }
  bool Shown() const override { return shown_; }
  void Destroy() override { created_ = false; }
  Rect WorkArea() override { return work_area; }
  bool PeekMessage(Message& out) override;
  void PostQuit(int code) override { Post({MessageType::Quit, code}); }
  Point CursorPos() override { return cursor; }
  void WarpCursor(Point client) override { cursor = client; }
  void SetCursor(Cursor c) override { cursor_shape_ = c; ++cursor_sets; }
  Cursor CurrentCursor() const override { return cursor_shape_; }
  bool SetFullscreen(bool fullscreen) override {
    fullscreen_ = fullscreen;
    return true;
  }
  bool Fullscreen() const override { return fullscreen_; }
  PresentResult Present(const uint32_t* xrgb, int pitch) override;
  bool ResetDevice() override { return lost_frames_ == 0; }

  // Test side.
  void Post(Message m) { queue_.push_back(m); }
  // The next Present reports a lost device; ResetDevice fails for `frames` presents after it.
  void LoseDevice(int frames = 0) {
    lose_next_ = true;
    lost_frames_ = frames;
  }
  bool Created() const { return created_; }

  Rect work_area{0, 0, 1920, 1080};
  Point cursor{400, 300};
  Rect placed{};       // where Create put the client area
  int cursor_sets = 0; // how often the cursor shape was set
  int presents = 0;

 private:
  std::deque<Message> queue_;
  bool created_ = false;
  bool shown_ = false;
  bool fullscreen_ = false;
  bool lose_next_ = false;
  int lost_frames_ = 0;
  Cursor cursor_shape_ = Cursor::Game;
};

}  // namespace platform
