// Block cutting, uploading and the block draw forms (plain, masked, bent, squeezed).
#include "scene/blocks.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace scene {

void BlockMask::FillWipe3(float scale, float offset) {
  for (int r = 0; r < kGridRows; ++r) {
    const bool middle = r >= 12 && r <= 25;
    for (int c = 0; c < kGridColumns; ++c) At(r, c) = scale * (middle ? c : 49 - c) + offset;
  }
}

void BlockMask::FillPage(float scale, float offset) {
  for (int r = 0; r < kGridRows; ++r)
    for (int c = 0; c < kGridColumns; ++c) At(r, c) = scale * static_cast<float>(r + c) + offset;
}

void BlockMask::Add(float delta) {
  for (float& v : values_) v += delta;
}

float Wave::Shift(int row) const {
  constexpr double kPi = 3.14159265358979323846;
  return static_cast<float>(amplitude * std::sin((phase + row * row_step) * kPi / 180.0) * 0.001);
}

BlockLayer::BlockLayer(int columns, int rows, int texture_count)
    : columns_(columns), rows_(rows), textures_(texture_count), sprites_(columns * rows) {}

float BlockLayer::BlockHeight(int row) const {
  return static_cast<float>(std::min(kBlockSize, kLayerHeight - row * kBlockSize));
}

bool BlockLayer::Create(gfx::Device& device) {
  bool ok = true;
  for (CTexture& t : textures_) ok = t.Create(device, 256, 256, gfx::D3DFMT_A8R8G8B8) && ok;
  constexpr float kCell = 1.0f / 16.0f;
  for (int b = 0; b < Count(); ++b) {
    const int cell = b % kBlocksPerTexture;
    const float u0 = (cell % 16) * kCell;
    const float v0 = (cell / 16) * kCell;
    const float h = BlockHeight(b / columns_);
    const int column = b % columns_;
    const int row = b / columns_;
    sprites_[b].Init(static_cast<float>(column * kBlockSize), static_cast<float>(row * kBlockSize),
                     kBlockSize, h, u0, v0, u0 + kCell, v0 + h / 256.0f,
                     &textures_[b / kBlocksPerTexture]);
  }
  same_look_ = true;
  return ok;
}

void BlockLayer::Release() {
  for (CTexture& t : textures_) t.Release();
}

bool BlockLayer::Upload(const CImage32& image) {
  const uint8_t* src = image.Pixels();
  const int src_w = src ? image.Width() : 0;
  const int src_h = src ? image.Height() : 0;
  constexpr int kRowBytes = kBlockSize * 4;
  bool ok = true;
  // Each texture is written in place, cell by cell: its block's rows of the picture, clipped to
  // the picture (a smaller picture leaves the rest transparent), and zeros for the rest.
  for (int t = 0; t * kBlocksPerTexture < Count(); ++t) {
    gfx::DeviceTexture* texture = textures_[t].Ready() ? textures_[t].Interface() : nullptr;
    int pitch = 0;
    uint8_t* bits = texture ? texture->Lock(&pitch) : nullptr;
    if (!bits) {
      if (texture) texture->Unlock();
      ok = false;
      continue;
    }
    for (int cell = 0; cell < kBlocksPerTexture; ++cell) {
      const int b = t * kBlocksPerTexture + cell;
      const int x = (b % columns_) * kBlockSize;
      const int y = (b / columns_) * kBlockSize;
      const int w = b < Count() ? std::clamp(src_w - x, 0, kBlockSize) : 0;
      const int h = b < Count() ? std::clamp(std::min(src_h, kLayerHeight) - y, 0, kBlockSize) : 0;
      uint8_t* dst = bits + static_cast<size_t>(cell / 16 * kBlockSize) * pitch +
                     (cell % 16) * kRowBytes;
      for (int i = 0; i < kBlockSize; ++i, dst += pitch) {
        const int copied = i < h ? w * 4 : 0;
        if (copied)
          std::memcpy(dst, src + (static_cast<size_t>(y + i) * src_w + x) * 4,
                      static_cast<size_t>(copied));
        if (copied < kRowBytes) std::memset(dst + copied, 0, static_cast<size_t>(kRowBytes - copied));
      }
    }
    texture->Unlock();
  }
  return ok;
}

bool BlockLayer::Clear() {
  bool ok = true;
  for (CTexture& t : textures_) ok = t.Clear() == 0 && ok;
  return ok;
}

void BlockLayer::SetAlpha(int a) {
  // Layers are given their alpha every frame; blocks that all have it already are left alone.
  if (same_look_ && !sprites_.empty() && Alpha() == std::clamp(a, 0, 255)) return;
  for (CSprite& s : sprites_) s.SetAlpha(a);
  same_look_ = true;
}

void BlockLayer::SetBlendMode(int mode) {
  for (CSprite& s : sprites_) s.SetBlendMode(mode);
}

void BlockLayer::Draw(gfx::Device& device, float x, float y, const Wave* wave,
                      const BlockMask* mask) {
  // The alpha a block takes from the mask (0: not drawn), or −1 without one.
  auto mask_alpha = [&](int r, int c) {
    if (!mask) return -1;
    const float v = mask->Clamped(r, c);
    return v <= 0 ? 0 : v >= 255 ? 255 : static_cast<int>(v);
  };
  if (mask) same_look_ = false;  // each block takes the mask's alpha
  for (int r = 0; r < rows_; ++r) {
    const float top = y + r * kBlockSize;
    const float h = BlockHeight(r);
    const float shift_top = wave ? wave->Shift(r) : 0.0f;
    const float shift_bottom = wave ? wave->Shift(r + 1) : 0.0f;
    for (int c = 0; c < columns_;) {
      CSprite& s = sprites_[r * columns_ + c];
      const int a = mask_alpha(r, c);
      if (a == 0) {
        ++c;
        continue;
      }
      if (a > 0) s.SetAlpha(a);
      const float left = x + c * kBlockSize;
      if (wave) {
        s.DrawQuad(device, left + shift_top, top, left + shift_top + kBlockSize, top,
                   left + shift_bottom, top + h, left + shift_bottom + kBlockSize, top + h);
        ++c;
        continue;
      }
      // The blocks to the right that lie beside this one in its texture and look the same are
      // drawn with it as one quad, which costs one block's set-up instead of one each. Without
      // a mask, blocks that took one alpha together still have it.
      int end = c + 1;
      if (!mask && same_look_) {
        end = std::min(columns_, c + 16 - (r * columns_ + c) % 16);
      } else {
        for (; end < columns_; ++end) {
          const int b = r * columns_ + end;
          if (b % 16 == 0) break;  // the next cell row of the texture, or the next texture
          if (mask_alpha(r, end) != a) break;
          if (a > 0) sprites_[b].SetAlpha(a);
          if (!s.SameLook(sprites_[b])) break;
        }
      }
      const float run_width = static_cast<float>(kBlockSize * (end - c));
      if (end - c > 1 &&
          s.DrawAlignedRun(device, left, top, run_width, h, sprites_[r * columns_ + end - 1].U1())) {
        c = end;
        continue;
      }
      for (; c < end; ++c)
        sprites_[r * columns_ + c].Draw(device, x + c * kBlockSize, top, kBlockSize, h);
    }
  }
}

void BlockLayer::DrawSqueezed(gfx::Device& device, float x, float y, float axis, float scale) {
  if (scale <= 0) return;
  const float w = kBlockSize * scale;
  for (int r = 0; r < rows_; ++r) {
    const float h = BlockHeight(r);
    for (int c = 0; c < columns_; ++c) {
      const float left = axis + (x + c * kBlockSize - axis) * scale;
      sprites_[r * columns_ + c].Draw(device, left, y + r * kBlockSize, w, h);
    }
  }
}

}  // namespace scene
