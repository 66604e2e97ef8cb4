// CTexture: one texture of the device in a game format, filled from memory images by plain
// copies. Creation failures show the device's reason as a message box caption.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/device.h"

class CTexture {
 public:
  // One level in `format`; false (texture not ready) on failure.
  bool Create(gfx::Device& device, int width, int height, uint32_t format);
  // Copies height × pitch bytes: an image of the texture's width and texel size. 0, or −1 when
  // not ready.
  int Upload(const void* pixels);
  // Copies h rows of w texels from tightly packed `pixels` to column x, row y. 0, or −1 when not
  // ready or when the rectangle does not lie inside the texture.
  int UploadRect(const void* pixels, int x, int y, int w, int h);
  // Every texel transparent; a texture never written stays without memory of its own.
  int Clear();
  void Release();

  bool Ready() const { return ready_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BytesPerPixel() const { return bytes_per_pixel_; }
  uint32_t Format() const { return format_; }
  // The device's texture (none until created).
  gfx::DeviceTexture* Interface() const { return texture_.get(); }

 private:
  std::unique_ptr<gfx::DeviceTexture> texture_;
  int width_ = 0;
  int height_ = 0;
  bool ready_ = false;
  int bytes_per_pixel_ = 0;
  uint32_t format_ = 0;
};
