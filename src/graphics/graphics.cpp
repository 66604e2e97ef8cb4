// CGraphics: device start-up with its fixed states, the display-mode switch, lost-device
// recovery and the graphics object's own device resources (capture surface, line drawer).
#include "graphics/graphics.h"

namespace {

gfx::Light MakeLight(gfx::ColorValue specular, gfx::ColorValue ambient, gfx::Vec3 direction) {
  gfx::Light l;
  l.diffuse = {1, 1, 1, 1};
  l.specular = specular;
  l.ambient = ambient;
  l.direction = direction;
  return l;
}

// Light 0 as the device is created, and light 1 (never switched on).
const gfx::Light kStartLight0 = MakeLight({0.4f, 0.4f, 0.4f, 1}, {0.5f, 0.5f, 0.5f, 1}, {1, -1, 1});
const gfx::Light kLight1 =
    MakeLight({0.4f, 0.4f, 0.4f, 1}, {0.5f, 0.5f, 0.5f, 1}, {-0.5f, -1.5f, 0});
// Light 0 after a display-mode switch.
const gfx::Light kToggledLight0 =
    MakeLight({0.2f, 0.2f, 0.2f, 1}, {0.6f, 0.6f, 0.8f, 1}, {-1, -0.5f, 0});

}  // namespace

CGraphics::CGraphics() = default;

void CGraphics::SetBlendAndStageStates() {
  // Every sprite multiplies texture by vertex colour (fixed in the device) and blends by alpha.
  device_.SetAlphaBlendEnable(true);
  device_.SetBlendFactors(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha);
}

void CGraphics::SetLights(const gfx::Light& light0) {
  device_.SetLighting(false);
  device_.SetAmbient(0xFFFFFFFFu);
  device_.SetLight(0, light0);
  device_.LightEnable(0, true);
  device_.SetLight(1, kLight1);
  device_.LightEnable(1, false);
}

bool CGraphics::InitDevice(platform::Window& window, platform::MessageBoxes& boxes,
                           DeviceClient& client, bool windowed) {
  window_ = &window;
  boxes_ = &boxes;
  client_ = &client;
  device_.SetMessageBoxes(&boxes);
  if (!windowed) window_->SetFullscreen(true);

  SetBlendAndStageStates();
  windowed_ = windowed;
  ready_ = true;

  ortho_ = gfx::D3DXMatrixOrthoRH(40, 30, -10, 300);
  perspective_ = gfx::D3DXMatrixPerspectiveFovRH(1.0472f, 4.0f / 3.0f, 1, 1000);
  device_.SetTransform(gfx::TransformType::Projection, perspective_);
  view_ = gfx::D3DXMatrixLookAtRH(eye_, look_at_, up_);
  device_.SetTransform(gfx::TransformType::View, view_);
  SetLights(kStartLight0);

  RestoreResources();
  return true;
}

void CGraphics::ReleaseDevice() {
  if (!ready_) return;
  ReleaseResources();
  ready_ = false;
}

bool CGraphics::ToggleScreenMode() {
  if (!ready_ || !window_) return false;
  client_->SetDeviceReady(false);
  ReleaseResources();
  bool ok = window_->SetFullscreen(windowed_);
  if (ok) windowed_ = !windowed_;

  SetBlendAndStageStates();
  RestoreResources();
  device_.SetTransform(gfx::TransformType::Projection, perspective_);
  // The switch builds the view left-handed; the town map sets its own view for every cube.
  view_ = gfx::D3DXMatrixLookAtLH(eye_, look_at_, up_);
  device_.SetTransform(gfx::TransformType::View, view_);
  SetLights(kToggledLight0);

  client_->SetDeviceReady(true);
  return ok;
}

void CGraphics::CheckDisplayFormat() {
  // The presenter converts the frame to whatever the desktop uses; nothing to re-create.
}

void CGraphics::Clear(uint32_t argb, float depth) {
  device_.Clear(argb, depth);
}

platform::PresentResult CGraphics::Present() {
  if (!window_) return platform::PresentResult::Ok;
  return window_->Present(device_.Frame(), kWidth);
}

bool CGraphics::RecoverLostDevice() {
  if (!device_lost_) {
    device_lost_ = true;
    ReleaseResources();
  }
  if (!window_->ResetDevice()) return false;
  device_lost_ = false;
  RestoreResources();
  return true;
}

bool CGraphics::CaptureFrame() {
  if (!capture_) return false;
  return device_.GetRenderTargetData(*capture_);
}

void CGraphics::RestoreResources() {
  // Fonts first, then the capture surface and the line, then the game's own resources.
  fonts_.CreateDefaultSet();
  capture_ = std::make_unique<gfx::Surface>(kWidth, kHeight);
  line_.Create(3.0f, 0.5f, device_);
  if (client_) client_->RestoreDeviceResources();
}

void CGraphics::ReleaseResources() {
  if (client_) client_->ReleaseDeviceResources();
  line_.Release();
  capture_.reset();
  fonts_.Release();
}
