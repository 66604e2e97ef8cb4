// The device: its resources and states, the choice between the fast quad path and the general
// triangle path, and the vertex stage of transformed geometry (transforms, lighting, clipping).
#include "graphics/device.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "graphics/clip_polygon.h"
#include "graphics/raster.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gfx {

int FormatBytesPerPixel(uint32_t format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8P8: return 2;
    case D3DFMT_P8: return 1;
    default: return 0;
  }
}

constexpr std::align_val_t kLine{64};

void AlignedFree::operator()(void* p) const { ::operator delete[](p, kLine); }

template <class T>
PixelMemory<T> AllocatePixels(size_t count) {
  void* p = ::operator new[](count * sizeof(T), kLine, std::nothrow);
  if (p) std::memset(p, 0, count * sizeof(T));
  return PixelMemory<T>(static_cast<T*>(p));
}
template PixelMemory<uint8_t> AllocatePixels(size_t);
template PixelMemory<uint32_t> AllocatePixels(size_t);
template PixelMemory<float> AllocatePixels(size_t);

// --- textures -------------------------------------------------------------------------------

DeviceTexture::~DeviceTexture() {
  // A texture released while bound must not stay bound.
  if (device_ && device_->texture_ == this) {
    device_->texture_ = nullptr;
    device_->context_dirty_ = true;
  }
}

uint8_t* DeviceTexture::Lock(int* pitch) {
  if (shared_) mutex_.lock();
  *pitch = pitch_;
  return Texels();
}

uint8_t* DeviceTexture::Texels() const {
  if (!bits_) bits_ = AllocatePixels<uint8_t>(bytes_);
  return bits_.get();
}

void DeviceTexture::Unlock() {
  if (shared_) mutex_.unlock();
}

// --- depth ----------------------------------------------------------------------------------

DepthBuffer::DepthBuffer(int width, int height)
    : width_(width),
      height_(height),
      tile_columns_((width + kTile - 1) / kTile),
      tile_rows_((height + kTile - 1) / kTile),
      pixels_(AllocatePixels<float>(static_cast<size_t>(width) * height + 16)),
      tile_value_(tile_columns_ * tile_rows_, 1.0f),
      tile_split_(tile_columns_ * tile_rows_, 0) {}

void DepthBuffer::Clear(float z) {
  std::fill(tile_value_.begin(), tile_value_.end(), z);
  std::fill(tile_split_.begin(), tile_split_.end(), 0);
}

void DepthBuffer::Split(int tx, int ty) {
  int i = ty * tile_columns_ + tx;
  if (tile_split_[i]) return;
  tile_split_[i] = 1;
  int x0 = tx * kTile, x1 = std::min(x0 + kTile, width_);
  int y1 = std::min(ty * kTile + kTile, height_);
  for (int y = ty * kTile; y < y1; ++y) std::fill(Row(y) + x0, Row(y) + x1, tile_value_[i]);
}

const float* DepthBuffer::Resolve() {
  for (int ty = 0; ty < tile_rows_; ++ty)
    for (int tx = 0; tx < tile_columns_; ++tx) {
      int i = ty * tile_columns_ + tx;
      if (tile_split_[i]) continue;
      int x0 = tx * kTile, x1 = std::min(x0 + kTile, width_);
      int y1 = std::min(ty * kTile + kTile, height_);
      for (int y = ty * kTile; y < y1; ++y) std::fill(Row(y) + x0, Row(y) + x1, tile_value_[i]);
    }
  return pixels_.get();
}

// --- the device -----------------------------------------------------------------------------

Device::Device(int width, int height)
    : width_(width),
      height_(height),
      frame_(AllocatePixels<uint32_t>(static_cast<size_t>(width) * height + 16)),
      depth_(width, height),
      context_(std::make_unique<raster::DrawContext>()) {
  std::fill(frame_.get(), frame_.get() + static_cast<size_t>(width) * height, 0xFF000000u);
  for (int i = 0; i < 256; ++i) palette_[i] = 0xFF000000u | static_cast<uint32_t>(i) * 0x010101u;
  wide_pixels_ = raster::CpuHasAvx2();
}

void Device::SetWidePixels(bool on) {
  wide_pixels_ = on && raster::CpuHasAvx2();
  context_dirty_ = true;
}

Device::~Device() = default;

DeviceResult Device::CreateTexture(int width, int height, uint32_t format,
                                   std::unique_ptr<DeviceTexture>* out, bool shared) {
  out->reset();
  int bpp = FormatBytesPerPixel(format);
  if (bpp == 0 || width <= 0 || height <= 0 || width > 4096 || height > 4096)
    return DeviceResult::InvalidCall;
  std::unique_ptr<DeviceTexture> t(new (std::nothrow) DeviceTexture());
  if (!t) return DeviceResult::OutOfMemory;
  // 32 bytes past the end let the eight-texel reads at a row's end stay inside the allocation.
  t->bytes_ = static_cast<size_t>(width) * height * bpp + 32;
  // The texels are made (zeroed) when the texture is first written or drawn: most textures
  // made at start-up wait long for their first picture, and some never get one. A texture
  // shared with another thread has them at once, so the two never race to make them.
  if (shared && !t->Texels()) return DeviceResult::OutOfMemory;
  t->device_ = this;
  t->width_ = width;
  t->height_ = height;
  t->format_ = format;
  t->bytes_per_pixel_ = bpp;
  t->pitch_ = width * bpp;
  t->shared_ = shared;
  *out = std::move(t);
  return DeviceResult::Ok;
}

void Device::Clear(uint32_t argb, float z) {
  std::fill(frame_.get(), frame_.get() + static_cast<size_t>(width_) * height_, argb | 0xFF000000u);
  depth_.Clear(z);
}

bool Device::GetRenderTargetData(Surface& out) const {
  if (out.width_ != width_ || out.height_ != height_) return false;
  std::copy(frame_.get(), frame_.get() + static_cast<size_t>(width_) * height_,
            out.pixels_.begin());
  return true;
}

void Device::SetLight(int index, const Light& light) {
  if (index >= 0 && index < kMaxLights) lights_[index] = light;
}

void Device::LightEnable(int index, bool on) {
  if (index >= 0 && index < kMaxLights) light_on_[index] = on;
}

void Device::SetTexture(DeviceTexture* texture) {
  texture_ = texture;
  ++texture_binds_;
  context_dirty_ = true;
}

namespace {

raster::DrawContext MakeContext(uint32_t* frame, int width, int height, DepthBuffer* depth,
                                const RenderStates& s, const DeviceTexture* tex,
                                const uint32_t* palette, bool wide) {
  raster::DrawContext c;
  c.wide = wide;
  c.frame = frame;
  c.width = width;
  c.height = height;
  c.depth = depth;
  c.z_enable = s.z_enable;
  c.z_write = s.z_write;
  c.src = s.src_blend;
  c.dst = s.dest_blend;
  using B = Blend;
  using K = raster::BlendKind;
  if (!s.alpha_blend || (c.src == B::One && c.dst == B::Zero)) {
    c.blend = K::Replace;
  } else if (c.src == B::SrcAlpha && c.dst == B::InvSrcAlpha) {
    c.blend = K::Alpha;
  } else if (c.src == B::Zero && c.dst == B::InvSrcAlpha) {
    c.blend = K::Shade;
  } else if (c.src == B::SrcAlpha && c.dst == B::One) {
    c.blend = K::Add;
  } else {
    c.blend = K::Runtime;
  }
  if (!s.alpha_blend) c.src = B::One, c.dst = B::Zero;
  // A texture whose texels could not be made draws as no texture.
  if (tex && tex->Bits()) {
    c.tex_bits = tex->Bits();
    c.tex_width = tex->Width();
    c.tex_height = tex->Height();
    c.tex_pitch = tex->Pitch();
    c.tex_format = tex->Format();
    c.palette = palette;
  }
  return c;
}

int64_t CeilDiv256(int64_t v) {
  return -((-v) >> 8);
}

// Round to nearest and floor without calls into the maths library (the fast path runs these
// for every block).
int64_t RoundToInt64(double v) {
#if defined(__SSE2__)
  return _mm_cvtsd_si64(_mm_set_sd(v));
#else
  return std::llrint(v);
#endif
}
double Floor(double v) {
  double t = static_cast<double>(static_cast<int64_t>(v));
  return t > v ? t - 1 : t;
}

// The largest horizontal shear (in 1/256 pixel) between a quad's top and bottom corners that the
// rectangle path still takes: the wave effect shifts block rows by hundredths of a pixel.
constexpr int64_t kMaxShear = 16;

// Whether the closed range [min(a, b), max(a, b)] of 1/256-pixel positions holds a pixel centre.
bool HoldsPixelCentre(int64_t a, int64_t b) {
  // The largest multiple of 256 not above the top of the range (two's complement masking floors).
  return (std::max(a, b) & ~int64_t{255}) >= std::min(a, b);
}

// The quad of a two-triangle strip in sprite order (top-left, top-right, bottom-left,
// bottom-right) when the triangle path would draw it as an axis-aligned rectangle of one colour
// and depth whose texels map one to one onto its pixels with a margin from texel edges; false
// sends it down the general path. An untextured quad may have a colour per corner (`*gradient`
// then says so).
//
// The triangle path sees positions only as they snap to 1/256 pixel, so the test is made on the
// snapped positions. A parallelogram whose left and right edges lean by at most kMaxShear and
// pass no pixel centre covers exactly the pixels of its rectangle; its texture positions differ
// from the rectangle's by at most the lean (in texels, as texels map one to one), so with that
// much more margin from texel edges every pixel samples the same texel.
bool AsRect(const raster::DrawContext& ctx, const TLVertex* v, raster::RectQuad* q,
            bool* gradient) {
  const TLVertex &a = v[0], &b = v[1], &c = v[2], &d = v[3];
  if (a.z != b.z || a.z != c.z || a.z != d.z) return false;
  *gradient = a.diffuse != b.diffuse || a.diffuse != c.diffuse || a.diffuse != d.diffuse;
  if (*gradient && ctx.tex_bits) return false;
  const float g = raster::kGuardBand;
  for (int i = 0; i < 4; ++i)
    if (!(v[i].x > -g && v[i].x < g && v[i].y > -g && v[i].y < g)) return false;
  const int64_t x0 = RoundToInt64(double(a.x) * 256), x1 = RoundToInt64(double(b.x) * 256);
  const int64_t x2 = RoundToInt64(double(c.x) * 256), x3 = RoundToInt64(double(d.x) * 256);
  const int64_t y0 = RoundToInt64(double(a.y) * 256), y1 = RoundToInt64(double(c.y) * 256);
  if (RoundToInt64(double(b.y) * 256) != y0 || RoundToInt64(double(d.y) * 256) != y1) return false;
  if (x1 <= x0 || y1 <= y0 || x3 - x2 != x1 - x0) return false;
  const int64_t shear = x2 - x0;
  if (shear != 0) {
    if (shear > kMaxShear || shear < -kMaxShear) return false;
    if (HoldsPixelCentre(x0, x2) || HoldsPixelCentre(x1, x3)) return false;
  }
  q->x0 = static_cast<int>(std::max<int64_t>(CeilDiv256(x0), 0));
  q->x1 = static_cast<int>(std::min<int64_t>(CeilDiv256(x1), ctx.width));
  q->y0 = static_cast<int>(std::max<int64_t>(CeilDiv256(y0), 0));
  q->y1 = static_cast<int>(std::min<int64_t>(CeilDiv256(y1), ctx.height));
  q->color = a.diffuse;
  q->z = a.z;
  q->tex_dx = q->tex_dy = 0;
  if (!ctx.tex_bits) return true;
  if (a.rhw != b.rhw || a.rhw != c.rhw || a.rhw != d.rhw) return false;
  if (a.u != c.u || b.u != d.u || a.v != b.v || c.v != d.v) return false;
  const double w = ctx.tex_width, h = ctx.tex_height;
  if ((double(b.u) - a.u) * w * 256 != double(x1 - x0)) return false;
  if ((double(c.v) - a.v) * h * 256 != double(y1 - y0)) return false;
  const double off_u = double(a.u) * w - x0 / 256.0, off_v = double(a.v) * h - y0 / 256.0;
  if (!(std::fabs(off_u) < 1e9 && std::fabs(off_v) < 1e9)) return false;
  const double fu = off_u - Floor(off_u), fv = off_v - Floor(off_v);
  const double lean = static_cast<double>(shear < 0 ? -shear : shear) / 256.0;
  if (fu < 1.0 / 64 + lean || fu > 63.0 / 64 - lean || fv < 1.0 / 64 || fv > 63.0 / 64)
    return false;
  q->tex_dx = static_cast<int>(Floor(off_u));
  q->tex_dy = static_cast<int>(Floor(off_v));
  if (q->x0 < q->x1 && (q->x0 + q->tex_dx < 0 || q->x1 - 1 + q->tex_dx >= ctx.tex_width))
    return false;
  if (q->y0 < q->y1 && (q->y0 + q->tex_dy < 0 || q->y1 - 1 + q->tex_dy >= ctx.tex_height))
    return false;
  return true;
}

raster::RasterVertex FromTL(const TLVertex& t, const raster::DrawContext& ctx) {
  raster::RasterVertex r;
  r.x = t.x;
  r.y = t.y;
  r.z = t.z;
  r.rhw = t.rhw;
  for (int ch = 0; ch < 4; ++ch) r.c[ch] = static_cast<float>((t.diffuse >> (8 * ch)) & 0xFF);
  r.u = t.u * ctx.tex_width;
  r.v = t.v * ctx.tex_height;
  return r;
}

// Vertex indices of triangle i of a primitive.
void TriangleIndices(PrimitiveType type, int i, int idx[3]) {
  switch (type) {
    case PrimitiveType::TriangleList: idx[0] = 3 * i, idx[1] = 3 * i + 1, idx[2] = 3 * i + 2; break;
    case PrimitiveType::TriangleStrip: idx[0] = i, idx[1] = i + 1, idx[2] = i + 2; break;
    case PrimitiveType::TriangleFan: idx[0] = 0, idx[1] = i + 1, idx[2] = i + 2; break;
  }
}

int VertexCount(PrimitiveType type, int primitives) {
  return type == PrimitiveType::TriangleList ? 3 * primitives : primitives + 2;
}

// A vertex in clip space with its colour (0–255 per channel, b, g, r, a) and texture position.
struct ClipVertex {
  float x, y, z, w;
  float c[4];
  float u, v;
};

// Signed distance of a clip-space vertex to plane k (inside when ≥ 0): near, far, the guard
// band's four sides and a w floor that keeps the divide finite.
float ClipDistance(const ClipVertex& p, int k) {
  constexpr float kBand = 16.0f;
  switch (k) {
    case 0: return p.z;
    case 1: return p.w - p.z;
    case 2: return p.x + kBand * p.w;
    case 3: return kBand * p.w - p.x;
    case 4: return p.y + kBand * p.w;
    case 5: return kBand * p.w - p.y;
    default: return p.w - 1e-5f;
  }
}

uint8_t ToByte(float f) {
  return static_cast<uint8_t>(std::lrint(std::clamp(f, 0.0f, 1.0f) * 255));
}

}  // namespace

const raster::DrawContext& Device::Context() {
  if (context_dirty_) {
    *context_ = MakeContext(frame_.get(), width_, height_, &depth_, states_, texture_,
                            palette_.data(), wide_pixels_);
    context_dirty_ = false;
  }
  return *context_;
}

void Device::DrawPrimitiveUP(PrimitiveType type, int primitive_count, const TLVertex* v) {
  if (primitive_count <= 0 || !v) return;
  std::unique_lock<std::mutex> lock;
  if (texture_ && texture_->shared_) lock = std::unique_lock<std::mutex>(texture_->mutex_);
  const raster::DrawContext& ctx = Context();
  raster::RectQuad q;
  bool gradient = false;
  if (type == PrimitiveType::TriangleStrip && primitive_count == 2 &&
      AsRect(ctx, v, &q, &gradient)) {
    if (!gradient) {
      ++fast_quads_;
      raster::DrawRect(ctx, q);
      return;
    }
    const raster::RasterVertex r[4] = {FromTL(v[0], ctx), FromTL(v[1], ctx), FromTL(v[2], ctx),
                                       FromTL(v[3], ctx)};
    if (raster::DrawGradientRect(ctx, q, r)) {
      ++fast_quads_;
      return;
    }
  }
  for (int i = 0; i < primitive_count; ++i) {
    int idx[3];
    TriangleIndices(type, i, idx);
    raster::RasterVertex r[3];
    for (int k = 0; k < 3; ++k) r[k] = FromTL(v[idx[k]], ctx);
    bool perspective = ctx.tex_bits && (r[0].rhw != r[1].rhw || r[0].rhw != r[2].rhw);
    ++general_triangles_;
    raster::DrawTriangle(ctx, r[0], r[1], r[2], perspective);
  }
}

bool Device::DrawAlignedSprite(float x, float y, float w, float h, float u0, float v0, float u1,
                               float v1, uint32_t diffuse) {
  // Whole pixels, well inside the guard band: the shifted corners x − 0.5 and x − 0.5 + w are
  // then exact in float, so these are the rectangle AsRect finds in the strip's vertices.
  constexpr float kLimit = 4096.0f;
  if (!(x > -kLimit && y > -kLimit && w > 0 && h > 0 && x + w < kLimit && y + h < kLimit))
    return false;
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  const int iw = static_cast<int>(w), ih = static_cast<int>(h);
  if (ix != x || iy != y || iw != w || ih != h) return false;
  std::unique_lock<std::mutex> lock;
  if (texture_ && texture_->shared_) lock = std::unique_lock<std::mutex>(texture_->mutex_);
  const raster::DrawContext& ctx = Context();
  raster::RectQuad q;
  q.x0 = std::max(ix, 0);
  q.x1 = std::min(ix + iw, ctx.width);
  q.y0 = std::max(iy, 0);
  q.y1 = std::min(iy + ih, ctx.height);
  q.color = diffuse;
  q.z = sprite_depth_;
  q.tex_dx = q.tex_dy = 0;
  if (ctx.tex_bits) {
    // Whole texels one to one: the texel offset is then a whole number and every pixel centre
    // samples the middle of its texel.
    const double tu = double(u0) * ctx.tex_width, tv = double(v0) * ctx.tex_height;
    if ((double(u1) - u0) * ctx.tex_width != iw || (double(v1) - v0) * ctx.tex_height != ih)
      return false;
    if (!(std::fabs(tu) < kLimit && std::fabs(tv) < kLimit)) return false;
    const int itu = static_cast<int>(tu), itv = static_cast<int>(tv);
    if (itu != tu || itv != tv) return false;
    q.tex_dx = itu - ix;
    q.tex_dy = itv - iy;
    if (q.x0 < q.x1 && (q.x0 + q.tex_dx < 0 || q.x1 - 1 + q.tex_dx >= ctx.tex_width)) return false;
    if (q.y0 < q.y1 && (q.y0 + q.tex_dy < 0 || q.y1 - 1 + q.tex_dy >= ctx.tex_height)) return false;
  }
  ++fast_quads_;
  raster::DrawRect(ctx, q);
  return true;
}

void Device::DrawPrimitive(PrimitiveType type, int start_vertex, int primitive_count) {
  if (primitive_count <= 0 || start_vertex < 0) return;
  const int count = VertexCount(type, primitive_count);
  if (static_cast<size_t>(start_vertex) + count > stream_.size()) return;
  std::unique_lock<std::mutex> lock;
  if (texture_ && texture_->shared_) lock = std::unique_lock<std::mutex>(texture_->mutex_);
  const raster::DrawContext& ctx = Context();

  const Matrix& world = transforms_[static_cast<int>(TransformType::World)];
  const Matrix wvp = D3DXMatrixMultiply(
      D3DXMatrixMultiply(world, transforms_[static_cast<int>(TransformType::View)]),
      transforms_[static_cast<int>(TransformType::Projection)]);

  // Vertex colours: emissive + ambient + Σ diffuse × N·L per light, alpha from the material's
  // diffuse; without lighting the vertices are white.
  ColorValue global{};
  global.r = ((states_.ambient >> 16) & 0xFF) / 255.0f;
  global.g = ((states_.ambient >> 8) & 0xFF) / 255.0f;
  global.b = (states_.ambient & 0xFF) / 255.0f;
  auto shade = [&](const LitVertex& lv, ClipVertex& out) {
    if (!states_.lighting) {
      for (float& c : out.c) c = 255.0f;
      return;
    }
    const Material& m = material_;
    Vec3 n = Normalize(TransformDirection({lv.nx, lv.ny, lv.nz}, world));
    float r = m.emissive.r + global.r * m.ambient.r;
    float g = m.emissive.g + global.g * m.ambient.g;
    float b = m.emissive.b + global.b * m.ambient.b;
    for (int i = 0; i < kMaxLights; ++i) {
      if (!light_on_[i]) continue;
      const Light& l = lights_[i];
      Vec3 to_light = Normalize({-l.direction.x, -l.direction.y, -l.direction.z});
      float lambert = std::max(0.0f, Dot(n, to_light));
      r += l.ambient.r * m.ambient.r + l.diffuse.r * m.diffuse.r * lambert;
      g += l.ambient.g * m.ambient.g + l.diffuse.g * m.diffuse.g * lambert;
      b += l.ambient.b * m.ambient.b + l.diffuse.b * m.diffuse.b * lambert;
    }
    out.c[0] = ToByte(b);
    out.c[1] = ToByte(g);
    out.c[2] = ToByte(r);
    out.c[3] = ToByte(m.diffuse.a);
  };

  for (int i = 0; i < primitive_count; ++i) {
    int idx[3];
    TriangleIndices(type, i, idx);
    ClipVertex poly[2][10];
    for (int k = 0; k < 3; ++k) {
      const LitVertex& lv = stream_[start_vertex + idx[k]];
      Vec4 p = TransformPoint({lv.x, lv.y, lv.z}, wvp);
      ClipVertex& cv = poly[0][k];
      cv.x = p.x, cv.y = p.y, cv.z = p.z, cv.w = p.w;
      cv.u = lv.u * ctx.tex_width;
      cv.v = lv.v * ctx.tex_height;
      shade(lv, cv);
    }
    int cur = 0;
    const int n = ClipPolygon(poly, 3, 7, ClipDistance, cur);
    if (n < 3) continue;
    raster::RasterVertex screen[10];
    for (int k = 0; k < n; ++k) {
      const ClipVertex& cv = poly[cur][k];
      raster::RasterVertex& r = screen[k];
      r.rhw = 1.0f / cv.w;
      r.x = (cv.x * r.rhw + 1.0f) * (width_ / 2.0f);
      r.y = (1.0f - cv.y * r.rhw) * (height_ / 2.0f);
      r.z = cv.z * r.rhw;
      for (int ch = 0; ch < 4; ++ch) r.c[ch] = cv.c[ch];
      r.u = cv.u;
      r.v = cv.v;
    }
    for (int k = 1; k + 1 < n; ++k) {
      ++general_triangles_;
      raster::DrawTriangle(ctx, screen[0], screen[k], screen[k + 1], true);
    }
  }
}

void Device::DrawLine(std::span<const LinePoint> points, uint32_t argb, float width, bool antialias,
                      uint32_t pattern, float pattern_scale) {
  if (points.size() < 2) return;
  const raster::DrawContext ctx =
      MakeContext(frame_.get(), width_, height_, &depth_, states_, nullptr, palette_.data(), false);
  raster::LineStyle style{width, antialias, pattern, pattern_scale};
  raster::DrawLine(ctx, points.data(), static_cast<int>(points.size()), argb, style);
}

}  // namespace gfx
