// CTexture: creation with its error captions, uploads as copies into the locked texture.
#include "graphics/texture.h"

#include <cstring>
#include <string>

#include "platform/message_box.h"
#include "platform/sjis.h"

namespace {

// The caption shown for a creation failure, or none.
const std::string* CreateErrorCaption(gfx::DeviceResult r) {
  static const std::string kOutOfVideoMemory = SJ("ビデオメモリーが足りない");
  static const std::string kOutOfMemory = SJ("メモリ不足");
  static const std::string kNotAvailable = SJ("テクスチャーデータではない");
  static const std::string kInvalidData = SJ("テクスチャーデータが壊れている");
  static const std::string kInvalidCall = SJ("読み込めるフォーマットではない");
  switch (r) {
    case gfx::DeviceResult::OutOfVideoMemory: return &kOutOfVideoMemory;
    case gfx::DeviceResult::OutOfMemory: return &kOutOfMemory;
    case gfx::DeviceResult::NotAvailable: return &kNotAvailable;
    case gfx::DeviceResult::InvalidData: return &kInvalidData;
    case gfx::DeviceResult::InvalidCall: return &kInvalidCall;
    case gfx::DeviceResult::Ok: break;
  }
  return nullptr;
}

}  // namespace

bool CTexture::Create(gfx::Device& device, int width, int height, uint32_t format) {
  Release();
  gfx::DeviceResult r = device.CreateTexture(width, height, format, &texture_);
  if (r != gfx::DeviceResult::Ok) {
    const std::string* caption = CreateErrorCaption(r);
    if (caption && device.MessageBoxes())
      device.MessageBoxes()->Show(*caption, "", platform::BoxButtons::Ok, platform::BoxIcon::None);
    return false;
  }
  width_ = width;
  height_ = height;
  bytes_per_pixel_ = gfx::FormatBytesPerPixel(format);
  if (bytes_per_pixel_ == 0) {  // a format the game never draws with
    texture_.reset();
    return false;
  }
  format_ = format;
  ready_ = true;
  return true;
}

int CTexture::Upload(const void* pixels) {
  if (!ready_ || !pixels) return -1;
  int pitch = 0;
  uint8_t* bits = texture_->Lock(&pitch);
  if (bits) std::memcpy(bits, pixels, static_cast<size_t>(height_) * pitch);
  texture_->Unlock();
  return bits ? 0 : -1;
}

int CTexture::UploadRect(const void* pixels, int x, int y, int w, int h) {
  if (!ready_ || !pixels) return -1;
  // A rectangle reaching outside the texture would write past its rows.
  if (x < 0 || y < 0 || w < 0 || h < 0 || x > width_ - w || y > height_ - h) return -1;
  int pitch = 0;
  uint8_t* bits = texture_->Lock(&pitch);
  if (!bits) {
    texture_->Unlock();
    return -1;
  }
  const uint8_t* src = static_cast<const uint8_t*>(pixels);
  const size_t row = static_cast<size_t>(w) * bytes_per_pixel_;
  for (int i = 0; i < h; ++i)
    std::memcpy(
        bits + static_cast<size_t>(y + i) * pitch + static_cast<size_t>(x) * bytes_per_pixel_,
        src + i * row, row);
  texture_->Unlock();
  return 0;
}

int CTexture::Clear() {
  if (!ready_) return -1;
  texture_->Clear();
  return 0;
}

void CTexture::Release() {
  texture_.reset();
  ready_ = false;
}
