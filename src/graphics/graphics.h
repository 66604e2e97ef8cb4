// The drawing device: an 800 × 600 XRGB render target with its depth buffer, presented through
// the window's presenter; the display-mode switch; and the recovery from a lost device. The
// engine is told about device changes through DeviceClient, so this library knows nothing of it.
#pragma once

#include <cstdint>
#include <vector>

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

  // Creates the device for the window; `windowed` is always true at start-up.
  bool InitDevice(platform::Window& window, platform::MessageBoxes& boxes, DeviceClient& client,
                  bool windowed);
  // Releases the device once; later calls do nothing.
  void ReleaseDevice();
  bool ToggleScreenMode();
  void CheckDisplayFormat();

  // The device side of a frame.
  void Clear(uint32_t argb, float depth);
  void BeginScene() {}
  void EndScene() {}
  platform::PresentResult Present();
  // After a lost Present: true when the device could be reset (resources released and restored).
  bool RecoverLostDevice();

  bool Ready() const { return ready_; }
  bool Windowed() const { return windowed_; }
  bool DeviceLost() const { return device_lost_; }

  // The render target, 800 × 600 XRGB, row after row.
  const uint32_t* Frame() const { return frame_.data(); }
  uint32_t* MutableFrame() { return frame_.data(); }
  float* Depth() { return depth_.data(); }

 private:
  platform::Window* window_ = nullptr;
  platform::MessageBoxes* boxes_ = nullptr;
  DeviceClient* client_ = nullptr;
  bool ready_ = false;
  bool windowed_ = true;
  bool device_lost_ = false;
  std::vector<uint32_t> frame_;
  std::vector<float> depth_;
};
