// CSprite: vertex building for the three draw forms, texture binding without redundant binds,
// and the blend factors of the three modes.
#include "graphics/sprite.h"

#include <algorithm>
#include <cmath>

namespace {

int ClampAlpha(int a) {
  return std::clamp(a, 0, 255);
}

}  // namespace

int CSprite::Init(float x, float y, float w, float h, float u0, float v0, float u1, float v1,
                  CTexture* texture) {
  x_ = x, y_ = y, w_ = w, h_ = h;
  u0_ = u0, v0_ = v0, u1_ = u1, v1_ = v1;
  texture_ = texture;
  color_.fill(0xFFFFFF);
  alpha_.fill(255);
  specular_.fill(0);
  blend_mode_ = 0;
  return 1;
}

int CSprite::Init(float x, float y, float w, float h) {
  return Init(x, y, w, h, 0.0f, 0.0f, 1.0f, 1.0f, nullptr);
}

void CSprite::SetAlpha(int a) {
  alpha_.fill(ClampAlpha(a));
}

void CSprite::SetVertexAlpha(int corner, int a) {
  if (corner >= 0 && corner < 4) alpha_[corner] = ClampAlpha(a);
}

int CSprite::AddAlpha(int delta) {
  for (int& a : alpha_) a = ClampAlpha(a + delta);
  return alpha_[0];
}

void CSprite::SetColor(uint32_t rgb) {
  color_.fill(rgb & 0xFFFFFF);
}

void CSprite::SetSpecular(int corner, uint32_t argb) {
  if (corner >= 0 && corner < 4) specular_[corner] = argb;
}

void CSprite::FillColors(gfx::Device& device, bool with_specular) {
  for (int i = 0; i < 4; ++i) {
    gfx::TLVertex& v = vertices_[i];
    v.diffuse = static_cast<uint32_t>(alpha_[i]) << 24 | color_[i];
    v.specular = with_specular ? specular_[i] : 0;
    v.z = device.SpriteDepth();
    v.rhw = 1.0f;
  }
  if (texture_) {
    vertices_[0].u = u0_, vertices_[0].v = v0_;
    vertices_[1].u = u1_, vertices_[1].v = v0_;
    vertices_[2].u = u0_, vertices_[2].v = v1_;
    vertices_[3].u = u1_, vertices_[3].v = v1_;
  }
}

void CSprite::Bind(gfx::Device& device) {
  // The texture bound to stage 0 is the one shared "bound texture": any code that binds another
  // one changes it, so a sprite never skips a bind it needs.
  gfx::DeviceTexture* wanted = texture_ ? texture_->Interface() : nullptr;
  if (!texture_ || device.Texture() != wanted) device.SetTexture(wanted);
  switch (blend_mode_) {
    case 1: device.SetBlendFactors(gfx::Blend::Zero, gfx::Blend::InvSrcAlpha); break;
    case 2: device.SetBlendFactors(gfx::Blend::SrcAlpha, gfx::Blend::One); break;
    default: device.SetBlendFactors(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha); break;
  }
}

int CSprite::Submit(gfx::Device& device) {
  Bind(device);
  device.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, vertices_.data());
  return 1;
}

void CSprite::PlaceCorners(float x, float y, float w, float h) {
  const float l = x - 0.5f, t = y - 0.5f;
  vertices_[0].x = l, vertices_[0].y = t;
  vertices_[1].x = l + w, vertices_[1].y = t;
  vertices_[2].x = l, vertices_[2].y = t + h;
  vertices_[3].x = l + w, vertices_[3].y = t + h;
}

bool CSprite::OneColour() const {
  const uint32_t diffuse = vertices_[0].diffuse;
  return vertices_[1].diffuse == diffuse && vertices_[2].diffuse == diffuse &&
         vertices_[3].diffuse == diffuse;
}

int CSprite::Draw(gfx::Device& device, float x, float y, float w, float h) {
  FillColors(device, true);
  PlaceCorners(x, y, w, h);
  // Most blocks sit on whole pixels with one colour: the device takes those from the sprite's
  // own values, without reading the quad back out of its vertices.
  const uint32_t diffuse = vertices_[0].diffuse;
  if (OneColour()) {
    Bind(device);
    const bool textured = texture_ != nullptr;
    if (device.DrawAlignedSprite(x, y, w, h, textured ? u0_ : 0.0f, textured ? v0_ : 0.0f,
                                 textured ? u1_ : 1.0f, textured ? v1_ : 1.0f, diffuse))
      return 1;
    device.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, vertices_.data());
    return 1;
  }
  return Submit(device);
}

int CSprite::DrawCopies(gfx::Device& device, std::span<const gfx::SpriteOffset> at, float x,
                        float y, float w, float h) {
  if (at.empty()) return 0;
  FillColors(device, true);
  const uint32_t diffuse = vertices_[0].diffuse;
  if (OneColour()) {
    Bind(device);
    const bool textured = texture_ != nullptr;
    if (device.DrawAlignedSpriteCopies(at, x, y, w, h, textured ? u0_ : 0.0f, textured ? v0_ : 0.0f,
                                       textured ? u1_ : 1.0f, textured ? v1_ : 1.0f, diffuse)) {
      // The corners the last copy's Draw would have left.
      PlaceCorners(x + at.back().dx, y + at.back().dy, w, h);
      return static_cast<int>(at.size());
    }
  }
  for (const gfx::SpriteOffset& o : at) Draw(device, x + o.dx, y + o.dy, w, h);
  return static_cast<int>(at.size());
}

bool CSprite::DrawAlignedRun(gfx::Device& device, float x, float y, float w, float h, float u1) {
  const uint32_t diffuse = static_cast<uint32_t>(alpha_[0]) << 24 | color_[0];
  for (int i = 1; i < 4; ++i)
    if ((static_cast<uint32_t>(alpha_[i]) << 24 | color_[i]) != diffuse) return false;
  Bind(device);
  if (!texture_) return device.DrawAlignedSprite(x, y, w, h, 0.0f, 0.0f, 1.0f, 1.0f, diffuse);
  return device.DrawAlignedSprite(x, y, w, h, u0_, v0_, u1, v1_, diffuse);
}

int CSprite::DrawRotated(gfx::Device& device, float x, float y, float w, float h, float degrees) {
  FillColors(device, false);
  const float rad = degrees * 0.01745328f;
  const float c = std::cos(rad), s = std::sin(rad);
  const float cx = x - 0.5f + w / 2, cy = y - 0.5f + h / 2;
  const float dx[4] = {-w / 2, w / 2, -w / 2, w / 2};
  const float dy[4] = {-h / 2, -h / 2, h / 2, h / 2};
  for (int i = 0; i < 4; ++i) {
    vertices_[i].x = cx + dx[i] * c - dy[i] * s;
    vertices_[i].y = cy + dx[i] * s + dy[i] * c;
  }
  return Submit(device);
}

int CSprite::DrawQuad(gfx::Device& device, float x0, float y0, float x1, float y1, float x2,
                      float y2, float x3, float y3) {
  FillColors(device, false);
  const float xs[4] = {x0, x1, x2, x3}, ys[4] = {y0, y1, y2, y3};
  for (int i = 0; i < 4; ++i) {
    vertices_[i].x = xs[i] - 0.5f;
    vertices_[i].y = ys[i] - 0.5f;
  }
  return Submit(device);
}

int CSprite::Draw() {
  if (!device_) return 0;
  return Draw(*device_, x_, y_, w_, h_);
}
