#include "graphics/graphics.h"

#include <algorithm>

CGraphics::CGraphics() : frame_(kWidth * kHeight, 0xFF000000u), depth_(kWidth * kHeight, 1.0f) {}

bool CGraphics::InitDevice(platform::Window& window, platform::MessageBoxes& boxes,
                           DeviceClient& client, bool windowed) {
  window_ = &window;
  boxes_ = &boxes;
  client_ = &client;
  windowed_ = windowed;
  ready_ = true;
  client_->RestoreDeviceResources();
  return true;
}

void CGraphics::ReleaseDevice() {
  if (!ready_) return;
  if (client_) client_->ReleaseDeviceResources();
  ready_ = false;
}

bool CGraphics::ToggleScreenMode() {
  if (!ready_ || !window_) return false;
  client_->SetDeviceReady(false);
  client_->ReleaseDeviceResources();
  bool ok = window_->SetFullscreen(windowed_);
  if (ok) windowed_ = !windowed_;
  client_->RestoreDeviceResources();
  client_->SetDeviceReady(true);
  return ok;
}

void CGraphics::CheckDisplayFormat() {
  // The presenter converts the frame to whatever the desktop uses; nothing to re-create.
}

void CGraphics::Clear(uint32_t argb, float depth) {
  std::fill(frame_.begin(), frame_.end(), argb | 0xFF000000u);
  std::fill(depth_.begin(), depth_.end(), depth);
}

platform::PresentResult CGraphics::Present() {
  if (!window_) return platform::PresentResult::Ok;
  return window_->Present(frame_.data(), kWidth);
}

bool CGraphics::RecoverLostDevice() {
  if (!device_lost_) {
    device_lost_ = true;
    client_->ReleaseDeviceResources();
  }
  if (!window_->ResetDevice()) return false;
  device_lost_ = false;
  client_->RestoreDeviceResources();
  return true;
}
