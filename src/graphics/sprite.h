// CSprite: the screen-space textured quad every picture, glyph and layer block is drawn with:
// per-corner colour and alpha, blend modes 0 (alpha), 1 (shade the destination by alpha) and
// 2 (additive), drawn as a two-triangle strip with the half-pixel shift that puts texels on
// pixels. Sprites reach the device through the call or the stored device; the two values all
// sprites share, the sprite depth and the bound texture, are the device's (SpriteDepth, and the
// texture bound to stage 0), so there is one of each per device and no global.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "graphics/device.h"
#include "graphics/texture.h"

class CSprite {
 public:
  enum Corner { kTopLeft, kTopRight, kBottomLeft, kBottomRight };

  // Textured, with texture coordinates as fractions of the texture; white, opaque, mode 0.
  int Init(float x, float y, float w, float h, float u0, float v0, float u1, float v1,
           CTexture* texture);
  // Untextured.
  int Init(float x, float y, float w, float h);

  // The axis-aligned quad at (x, y), w × h pixels.
  int Draw(gfx::Device& device, float x, float y, float w, float h);
  // The same quad turned by `degrees` about its centre, clockwise on screen.
  int DrawRotated(gfx::Device& device, float x, float y, float w, float h, float degrees);
  // Four free corners in strip order (top-left, top-right, bottom-left, bottom-right).
  int DrawQuad(gfx::Device& device, float x0, float y0, float x1, float y1, float x2, float y2,
               float x3, float y3);
  // Draw on the stored device at the stored position and size; 0 without a stored device.
  int Draw();
  // The axis-aligned quad at (x, y) moved by each offset of `at` in turn, as that many Draw
  // calls leave it (the outline's copies of a glyph); the device draws the copies together where
  // its aligned path takes them. Returns the number of copies.
  int DrawCopies(gfx::Device& device, std::span<const gfx::SpriteOffset> at, float x, float y,
                 float w, float h);
  // The axis-aligned quad at (x, y), w × h pixels, with the texture range widened on the right to
  // u1, drawn whole by the device's aligned path: the neighbouring blocks of one picture that
  // share this sprite's look, drawn as one. False, nothing drawn, where that path does not take
  // it (off whole pixels, a colour per corner); the blocks are then drawn one by one.
  bool DrawAlignedRun(gfx::Device& device, float x, float y, float w, float h, float u1);
  // Whether `other` draws with this sprite's texture, blend mode, colours and alphas.
  bool SameLook(const CSprite& other) const {
    // Corner by corner, not through memcmp: asked for every block of every layer each frame.
    bool same = texture_ == other.texture_ && blend_mode_ == other.blend_mode_;
    for (int i = 0; i < 4; ++i)
      same &= alpha_[i] == other.alpha_[i] && color_[i] == other.color_[i];
    return same;
  }

  void SetBlendMode(int mode) { blend_mode_ = mode; }
  // Alphas are clamped to 0–255.
  void SetAlpha(int a);
  void SetVertexAlpha(int corner, int a);
  // Adds to every corner and clamps each; returns the top-left corner's alpha.
  int AddAlpha(int delta);
  void SetPosition(float x, float y) {
    x_ = x;
    y_ = y;
  }
  // The low 24 bits, on all four corners.
  void SetColor(uint32_t rgb);
  void SetDevice(gfx::Device* device) { device_ = device; }
  void SetSpecular(int corner, uint32_t argb);

  int Alpha(int corner) const { return alpha_[corner & 3]; }
  uint32_t Color(int corner) const { return color_[corner & 3]; }
  int BlendMode() const { return blend_mode_; }
  float X() const { return x_; }
  float Y() const { return y_; }
  float Width() const { return w_; }
  float Height() const { return h_; }
  CTexture* Texture() const { return texture_; }
  float U1() const { return u1_; }
  // The vertices of the last draw.
  const std::array<gfx::TLVertex, 4>& Vertices() const { return vertices_; }

 private:
  // The quad's corners for a draw at (x, y), w × h, on the pixel centres' grid.
  void PlaceCorners(float x, float y, float w, float h);
  bool OneColour() const;  // all four corners take one colour
  void FillColors(gfx::Device& device, bool with_specular);
  // The texture and blend factors of this sprite on the device.
  void Bind(gfx::Device& device);
  int Submit(gfx::Device& device);

  std::array<int, 4> alpha_{255, 255, 255, 255};
  float x_ = 0, y_ = 0, w_ = 0, h_ = 0;
  float u0_ = 0, v0_ = 0, u1_ = 1, v1_ = 1;
  std::array<gfx::TLVertex, 4> vertices_{};
  CTexture* texture_ = nullptr;
  int blend_mode_ = 0;
  gfx::Device* device_ = nullptr;
  std::array<uint32_t, 4> color_{0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
  std::array<uint32_t, 4> specular_{};
};
