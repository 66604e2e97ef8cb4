// The drawing device: an 800 × 600 XRGB render target with its depth buffer, presented through
// the window's presenter; the fixed states, matrices and lights every frame starts from; the
// display-mode switch; and the recovery from a lost device. The engine is told about device
// changes through DeviceClient, so this library knows nothing of it.
//
// Graphics library: textures, sprites, lines and fonts on the device. May use platform and
// resource; nothing here includes an engine header.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "graphics/device.h"
#include "graphics/direct_line.h"
#include "graphics/font.h"
#include "graphics/matrix.h"
#include "platform/message_box.h"
#include "platform/window.h"

// What the device calls on the game when its resources must go or come back.
class DeviceClient {
 public:
  virtual ~DeviceClient() = default;
  virtual void ReleaseDeviceResources() = 0;
  virtual void RestoreDeviceResources() = 0;
  // Cleared while the display mode is being switched, so frames skip the screens.
  virtual void SetDeviceReady(bool ready) = 0;
};

class CGraphics {
 public:
  static constexpr int kWidth = platform::kFrameWidth;
  static constexpr int kHeight = platform::kFrameHeight;

  CGraphics();

  // Creates the device for the window; `windowed` is always true at start-up. Sets the fixed
  // states, the matrices and lights, then restores the device resources (the graphics object's
  // own first, then the client's).
  bool InitDevice(platform::Window& window, platform::MessageBoxes& boxes, DeviceClient& client,
                  bool windowed);
  // Releases the device resources once; later calls do nothing.
  void ReleaseDevice();
  // Window ↔ desktop full screen; the states, matrices and lights are set again afterwards.
  bool ToggleScreenMode();
  void CheckDisplayFormat();

  // The device side of a frame.
  void Clear(uint32_t argb, float depth);
  void BeginScene() { device_.BeginScene(); }
  void EndScene() { device_.EndScene(); }
  platform::PresentResult Present();
  // After a lost Present: true when the device could be reset (resources released and restored).
  bool RecoverLostDevice();

  bool Ready() const { return ready_; }
  bool Windowed() const { return windowed_; }
  bool DeviceLost() const { return device_lost_; }

  // The device every sprite, texture and line draws with.
  gfx::Device& Device() { return device_; }

  // The render target, 800 × 600 XRGB, row after row.
  const uint32_t* Frame() const { return device_.Frame(); }
  uint32_t* MutableFrame() { return device_.MutableFrame(); }
  const float* Depth() { return device_.Depth(); }

  // The capture surface (800 × 600 XRGB, a device resource): CaptureFrame copies the render
  // target into it; false while it does not exist (device released or lost).
  bool CaptureFrame();
  const gfx::Surface* CaptureSurface() const { return capture_.get(); }

  // The dotted-line drawer (a device resource: width 3, pattern scale 0.5).
  CDirectLine& Line() { return line_; }

  // The town map's projections and the camera's view.
  const gfx::Matrix& OrthoProjection() const { return ortho_; }
  const gfx::Matrix& PerspectiveProjection() const { return perspective_; }
  const gfx::Matrix& View() const { return view_; }

  // The caption fonts, device resources like the line: RestoreResources fills the six slots,
  // ReleaseResources empties them. Face and text are Shift_JIS; DrawText writes into the render
  // target and does nothing while the device is not ready or the slot is empty.
  bool CreateFontSet(int slot, int height, bool italic, bool bold, std::string_view face) {
    return fonts_.CreateFontSet(slot, height, italic, bold, face);
  }
  int DrawText(int slot, std::string_view text, const platform::Rect& rect, uint32_t argb,
               uint32_t format) {
    if (!ready_) return 0;
    return fonts_.DrawText(slot, text, rect, argb, format, device_.MutableFrame(), kWidth, kHeight);
  }

 private:
  void SetBlendAndStageStates();
  void SetLights(const gfx::Light& light0);
  void ReleaseResources();
  void RestoreResources();

  platform::Window* window_ = nullptr;
  platform::MessageBoxes* boxes_ = nullptr;
  DeviceClient* client_ = nullptr;
  bool ready_ = false;
  bool windowed_ = true;
  bool device_lost_ = false;
  gfx::Device device_{kWidth, kHeight};

  gfx::Matrix view_ = gfx::Matrix::Identity();
  gfx::Matrix perspective_ = gfx::Matrix::Identity();
  gfx::Matrix ortho_ = gfx::Matrix::Identity();
  gfx::Vec3 eye_{0, 0, -300};
  gfx::Vec3 look_at_{0, 0, 0};
  gfx::Vec3 up_{0, 1, 0};

  std::unique_ptr<gfx::Surface> capture_;
  CDirectLine line_;
  FontSlots fonts_;
};
