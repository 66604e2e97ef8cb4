// The device: its resources and states, the choice between the fast quad path and the general
// triangle path, and the vertex stage of transformed geometry (transforms, lighting, clipping).
#include "graphics/device.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
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

namespace {

// What a texture without texels of its own reads: zeros, as much as the largest texture. One
// block for the whole process, never written; made by calloc at a size the allocator always
// maps afresh, so its pages are the system's shared zero page and cost no memory.
const uint8_t* ZeroTexels() {
  static const void* block = std::calloc(size_t{4096} * 4096 * 4 + 32, 1);
  return static_cast<const uint8_t*>(block);
}

}  // namespace

uint8_t* DeviceTexture::Lock(int* pitch) {
  if (shared_) mutex_.lock();
  *pitch = pitch_;
  cells_.clear();
  return Texels();
}

const uint8_t* DeviceTexture::ZeroOrOwnBits() const {
  const uint8_t* zero = ZeroTexels();
  return zero ? zero : Texels();
}

void DeviceTexture::Clear() {
  if (shared_) mutex_.lock();
  cells_.clear();
  if (bits_) std::memset(bits_.get(), 0, bytes_);
  if (shared_) mutex_.unlock();
}

uint8_t* DeviceTexture::Texels() const {
  if (!bits_) bits_ = AllocatePixels<uint8_t>(bytes_);
  return bits_.get();
}

void DeviceTexture::LookAtCell(Cell& cell, int cx, int cy) const {
  constexpr int kCell = 16;
  const int w = std::min(kCell, width_ - cx * kCell), h = std::min(kCell, height_ - cy * kCell);
  const uint32_t row_mask = (1u << w) - 1;
  uint32_t columns = 0;  // the columns holding a texel that is not transparent
  bool opaque = true;
  int y0 = kCell, y1 = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* t = bits_.get() + static_cast<size_t>(cy * kCell + y) * pitch_ + cx * kCell * 4;
    uint32_t shown = 0, full = 0;  // per texel of the row: alpha above 0, alpha 255
#if defined(__SSE2__)
    if (w == kCell) {
      auto alphas = [&](int k) {
        return _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 16 * k)), 24);
      };
      const __m128i a = _mm_packus_epi16(_mm_packs_epi32(alphas(0), alphas(1)),
                                         _mm_packs_epi32(alphas(2), alphas(3)));
      shown = ~static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, _mm_setzero_si128()))) &
              row_mask;
      full = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, _mm_set1_epi8(-1))));
    } else
#endif
    {
      for (int x = 0; x < w; ++x) {
        shown |= static_cast<uint32_t>(t[4 * x + 3] != 0) << x;
        full |= static_cast<uint32_t>(t[4 * x + 3] == 255) << x;
      }
    }
    opaque &= full == row_mask;
    columns |= shown;
    if (shown) y0 = std::min(y0, y), y1 = y + 1;
  }
  cell.kind = static_cast<int8_t>((opaque ? kCellOpaque : 0) | (columns ? 0 : kCellTransparent));
  if (columns) {
    cell.x0 = static_cast<uint8_t>(__builtin_ctz(columns));
    cell.x1 = static_cast<uint8_t>(32 - __builtin_clz(columns));
    cell.y0 = static_cast<uint8_t>(y0);
    cell.y1 = static_cast<uint8_t>(y1);
  }
}

bool DeviceTexture::CellsAre(int8_t kind, int x0, int y0, int x1, int y1) const {
  if (format_ == D3DFMT_X8R8G8B8 || format_ == D3DFMT_R5G6B5) return kind == kCellOpaque;
  if (format_ != D3DFMT_A8R8G8B8) return false;
  // Texels never written are zero: transparent.
  if (!bits_) return kind == kCellTransparent;
  constexpr int kCell = 16;
  const int columns = cell_columns_ = (width_ + kCell - 1) / kCell;
  if (cells_.empty()) cells_.assign(columns * ((height_ + kCell - 1) / kCell), Cell{});
  for (int cy = y0 / kCell; cy * kCell < y1; ++cy)
    for (int cx = x0 / kCell; cx * kCell < x1; ++cx) {
      Cell& cell = cells_[cy * columns + cx];
      if (cell.kind == kCellUnknown) LookAtCell(cell, cx, cy);
      if (cell.kind & kind) continue;
      // A transparent rectangle may take in the part of a cell outside the box of its texels
      // that show.
      if (kind == kCellTransparent) {
        const int cx0 = cx * kCell, cy0 = cy * kCell;
        if (x1 <= cx0 + cell.x0 || x0 >= cx0 + cell.x1 || y1 <= cy0 + cell.y0 ||
            y0 >= cy0 + cell.y1)
          continue;
      }
      return false;
    }
  return true;
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
      tile_kind_(tile_columns_ * tile_rows_, kOne),
      tile_value_(tile_columns_ * tile_rows_, 1.0f),
      tile_high_(tile_columns_ * tile_rows_, 1.0f),
      tile_low_mask_(tile_columns_ * tile_rows_) {}

void DepthBuffer::Clear(float z) {
  std::fill(tile_value_.begin(), tile_value_.end(), z);
  std::fill(tile_kind_.begin(), tile_kind_.end(), kOne);
}

void DepthBuffer::FillTile(int i, int tx, int ty) {
  const int x0 = tx * kTile, x1 = std::min(x0 + kTile, width_);
  const int y0 = ty * kTile, y1 = std::min(y0 + kTile, height_);
  const float front = tile_value_[i];
  if (tile_kind_[i] == kOne) {
    for (int y = y0; y < y1; ++y) std::fill(Row(y) + x0, Row(y) + x1, front);
    return;
  }
  const float back = tile_high_[i];
  for (int y = y0; y < y1; ++y) {
    const unsigned bits = tile_low_mask_[i][y - y0];
    float* row = Row(y);
    for (int x = x0; x < x1; ++x) row[x] = bits >> (x - x0) & 1 ? front : back;
  }
}

void DepthBuffer::SplitTile(int i, int tx, int ty) {
  if (tile_kind_[i] == kSplit) return;
  FillTile(i, tx, ty);
  if (tile_kind_[i] == kOne) {
    tile_high_[i] = tile_value_[i];
    const int w = std::min(kTile, width_ - tx * kTile);
    tile_low_mask_[i].fill(static_cast<uint16_t>((1u << w) - 1));
  }
  tile_kind_[i] = kSplit;
}

void DepthBuffer::Split(int tx, int ty) {
  const int i = ty * tile_columns_ + tx;
  SplitTile(i, tx, ty);
  // Varying depths may land anywhere below the pixels they replace: no lower bound is known.
  tile_value_[i] = -std::numeric_limits<float>::infinity();
  tile_low_mask_[i].fill(0);
}

void DepthBuffer::WriteFront(int i, int tx, int ty, int x0, int y0, int x1, int y1, float z) {
  std::array<uint16_t, kTile>& mask = tile_low_mask_[i];
  if (z < tile_value_[i]) {
    if (tile_kind_[i] == kTwo) {
      // Two values stay two while the part covers every pixel in front; else a third comes in.
      const auto bits = static_cast<uint16_t>(((1u << (x1 - x0)) - 1) << (x0 - tx * kTile));
      bool covers = true;
      for (int r = 0; r < kTile; ++r) {
        const bool inside = r >= y0 - ty * kTile && r < y1 - ty * kTile;
        covers &= (mask[r] & ~(inside ? bits : 0)) == 0;
      }
      if (!covers) SplitTile(i, tx, ty);
    }
    // In front of every pixel: the written part alone holds the new lower bound.
    tile_value_[i] = z;
    mask.fill(0);
  }
  if (tile_kind_[i] == kSplit)
    for (int y = y0; y < y1; ++y) std::fill(Row(y) + x0, Row(y) + x1, z);
  AddToMask(i, tx, ty, x0, y0, x1, y1);
}

void DepthBuffer::AddToMask(int i, int tx, int ty, int x0, int y0, int x1, int y1) {
  std::array<uint16_t, kTile>& mask = tile_low_mask_[i];
  const auto bits = static_cast<uint16_t>(((1u << (x1 - x0)) - 1) << (x0 - tx * kTile));
  for (int r = y0 - ty * kTile; r < y1 - ty * kTile; ++r) mask[r] |= bits;
  const int w = std::min(kTile, width_ - tx * kTile), h = std::min(kTile, height_ - ty * kTile);
  const auto full = static_cast<uint16_t>((1u << w) - 1);
  for (int r = 0; r < h; ++r)
    if (mask[r] != full) return;
  tile_kind_[i] = kOne;
}

const float* DepthBuffer::Resolve() {
  for (int ty = 0; ty < tile_rows_; ++ty)
    for (int tx = 0; tx < tile_columns_; ++tx) {
      const int i = ty * tile_columns_ + tx;
      if (tile_kind_[i] != kSplit) FillTile(i, tx, ty);
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
  clear_pending_.assign(static_cast<size_t>(depth_.TileColumns()) * depth_.TileRows(), 0);
  clear_covered_.resize(clear_pending_.size());
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
  clear_color_ = argb | 0xFF000000u;
  std::fill(clear_pending_.begin(), clear_pending_.end(), 1);
  std::memset(clear_covered_.data(), 0, clear_covered_.size() * sizeof(clear_covered_[0]));
  pending_tiles_ = static_cast<int>(clear_pending_.size());
  depth_.Clear(z);
}

uint16_t Device::TileBits(int tx, int x0, int x1) {
  const int left = x0 - tx * DepthBuffer::kTile;
  return static_cast<uint16_t>(((1u << (x1 - x0)) - 1) << left);
}

void Device::FillTile(int tx, int ty) const {
  constexpr int kTile = DepthBuffer::kTile;
  const int x0 = tx * kTile, x1 = std::min(x0 + kTile, width_);
  const int y0 = ty * kTile, y1 = std::min(y0 + kTile, height_);
  const auto& covered = clear_covered_[ty * depth_.TileColumns() + tx];
  for (int y = y0; y < y1; ++y) {
    uint32_t* row = frame_.get() + static_cast<size_t>(y) * width_;
    const unsigned bits = covered[y - y0];
    if (bits == 0) {
      std::fill(row + x0, row + x1, clear_color_);
      continue;
    }
    for (int x = x0; x < x1; ++x)
      if (!(bits >> (x - x0) & 1)) row[x] = clear_color_;
  }
}

void Device::FillCleared() const {
  if (pending_tiles_ == 0) return;
  const int columns = depth_.TileColumns();
  if (pending_tiles_ == static_cast<int>(clear_pending_.size()) &&
      std::all_of(clear_covered_.begin(), clear_covered_.end(), [](const auto& c) {
        return std::all_of(c.begin(), c.end(), [](uint16_t b) { return b == 0; });
      })) {
    std::fill(frame_.get(), frame_.get() + static_cast<size_t>(width_) * height_, clear_color_);
  } else {
    for (size_t i = 0; i < clear_pending_.size(); ++i)
      if (clear_pending_[i]) FillTile(static_cast<int>(i) % columns, static_cast<int>(i) / columns);
  }
  std::fill(clear_pending_.begin(), clear_pending_.end(), 0);
  pending_tiles_ = 0;
}

void Device::FillClearedUnder(const raster::DrawContext& ctx, const raster::RectQuad& q) {
  FillClearedUnder(ctx, q, {q.x0 + q.tex_dx, q.y0 + q.tex_dy, q.x1 + q.tex_dx, q.y1 + q.tex_dy});
}

void Device::FillClearedUnder(const raster::DrawContext& ctx, const raster::RectQuad& q,
                              const std::array<int, 4>& texels) {
  if (pending_tiles_ == 0 || q.x0 >= q.x1 || q.y0 >= q.y1) return;
  // Whether the quad leaves pixels that do not depend on what lay under them: blending off, or
  // opaque texels in an opaque colour blended by their alpha.
  bool own = ctx.blend == raster::BlendKind::Replace;
  if (ctx.blend == raster::BlendKind::Alpha && q.color >> 24 == 255)
    own = !texture_ || texture_->Opaque(texels[0], texels[1], texels[2], texels[3]);
  constexpr int kTile = DepthBuffer::kTile;
  const int columns = depth_.TileColumns();
  for (int ty = q.y0 / kTile; ty * kTile < q.y1; ++ty)
    for (int tx = q.x0 / kTile; tx * kTile < q.x1; ++tx) {
      const int i = ty * columns + tx;
      if (!clear_pending_[i]) continue;
      // Where the quad passes depth everywhere in the tile, its part of the tile gets pixels of
      // its own; the tile waits on until they cover it.
      if (own && (!ctx.z_enable || depth_.PassesWhole(tx, ty, q.z))) {
        const int w = std::min(kTile, width_ - tx * kTile), h = std::min(kTile, height_ - ty * kTile);
        const int y0 = std::max(q.y0, ty * kTile) - ty * kTile;
        const int y1 = std::min(q.y1, ty * kTile + kTile) - ty * kTile;
        const uint16_t bits = TileBits(tx, std::max(q.x0, tx * kTile), std::min(q.x1, tx * kTile + w));
        const auto full = static_cast<uint16_t>((1u << w) - 1);
        // A quad over the whole tile (a picture's block on the grid) gives it all at once.
        if (y0 > 0 || y1 < h || bits != full) {
          auto& covered = clear_covered_[i];
          for (int r = y0; r < y1; ++r) covered[r] |= bits;
          if (!std::all_of(covered.begin(), covered.begin() + h,
                           [&](uint16_t b) { return b == full; }))
            continue;
        }
      } else {
        FillTile(tx, ty);
      }
      clear_pending_[i] = 0;
      --pending_tiles_;
    }
}

bool Device::GetRenderTargetData(Surface& out) const {
  if (out.width_ != width_ || out.height_ != height_) return false;
  FillCleared();
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
  // A bound texture that has since got texels of its own no longer reads the shared zeros. (Asked
  // here, on the drawing thread, not by Lock: a movie thread locks textures of its own.)
  if (!context_dirty_ && texture_ && context_->tex_bits != texture_->Bits()) context_dirty_ = true;
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
  auto perspective = [&](const raster::RasterVertex& a, const raster::RasterVertex& b,
                         const raster::RasterVertex& c) {
    return ctx.tex_bits && (a.rhw != b.rhw || a.rhw != c.rhw);
  };
  if (type == PrimitiveType::TriangleStrip && primitive_count == 2) {
    raster::RectQuad q;
    bool gradient = false;
    const bool rect = AsRect(ctx, v, &q, &gradient);
    if (rect && !gradient) {
      ++fast_quads_;
      DrawTexelRect(ctx, q);
      return;
    }
    const raster::RasterVertex r[4] = {FromTL(v[0], ctx), FromTL(v[1], ctx), FromTL(v[2], ctx),
                                       FromTL(v[3], ctx)};
    if (rect) {
      FillCleared();
      if (raster::DrawGradientRect(ctx, q, r)) {
        ++fast_quads_;
        return;
      }
    }
    if (ctx.tex_bits && (LeavesAllAsItWas(ctx, r) || DrawScaledStrip(ctx, r))) return;
    FillCleared();
    // A quad: its halves walk down the target together.
    const raster::RasterVertex* first[3] = {&r[0], &r[1], &r[2]};
    const raster::RasterVertex* second[3] = {&r[1], &r[2], &r[3]};
    general_triangles_ += 2;
    raster::DrawTrianglePair(ctx, first, perspective(r[0], r[1], r[2]), second,
                             perspective(r[1], r[2], r[3]));
    return;
  }
  FillCleared();
  for (int i = 0; i < primitive_count; ++i) {
    int idx[3];
    TriangleIndices(type, i, idx);
    raster::RasterVertex r[3];
    for (int k = 0; k < 3; ++k) r[k] = FromTL(v[idx[k]], ctx);
    ++general_triangles_;
    raster::DrawTriangle(ctx, r[0], r[1], r[2], perspective(r[0], r[1], r[2]));
  }
}

bool Device::LeavesAllAsItWas(const raster::DrawContext& ctx,
                              const raster::RasterVertex r[4]) const {
  if (!texture_ || !raster::KeepsTargetOnZeroAlpha(ctx)) return false;
  float x0 = r[0].x, x1 = r[0].x, y0 = r[0].y, y1 = r[0].y;
  float u0 = r[0].u, u1 = r[0].u, v0 = r[0].v, v1 = r[0].v;
  for (int i = 1; i < 4; ++i) {
    if (r[i].z != r[0].z || r[i].rhw != r[0].rhw) return false;
    x0 = std::min(x0, r[i].x), x1 = std::max(x1, r[i].x);
    y0 = std::min(y0, r[i].y), y1 = std::max(y1, r[i].y);
    u0 = std::min(u0, r[i].u), u1 = std::max(u1, r[i].u);
    v0 = std::min(v0, r[i].v), v1 = std::max(v1, r[i].v);
  }
  // A pixel inside samples the texel under its texture position, which lies between the corners'
  // (one texel more each way for rounding, which at the texture's edges wraps to the other side).
  constexpr float kLimit = 4096.0f;
  const int w = texture_->Width(), h = texture_->Height();
  if (!(u0 >= 0 && v0 >= 0 && u1 <= w && v1 <= h && x0 > -kLimit && y0 > -kLimit &&
        x1 < kLimit && y1 < kLimit))
    return false;
  const int tx0 = static_cast<int>(u0) - 1, ty0 = static_cast<int>(v0) - 1;
  const int tx1 = static_cast<int>(u1) + 2, ty1 = static_cast<int>(v1) + 2;
  // The texel columns (rows) in the texture: the range itself, and where it runs over an edge.
  auto pieces = [](int from, int to, int size, std::array<std::array<int, 2>, 3>& out) {
    int n = 0;
    out[n++] = {std::max(from, 0), std::min(to, size)};
    if (from < 0) out[n++] = {size + from, size};
    if (to > size) out[n++] = {0, std::min(to - size, size)};
    return n;
  };
  std::array<std::array<int, 2>, 3> columns, rows;
  const int nc = pieces(tx0, tx1, w, columns), nr = pieces(ty0, ty1, h, rows);
  for (int i = 0; i < nr; ++i)
    for (int j = 0; j < nc; ++j)
      if (!texture_->Transparent(columns[j][0], rows[i][0], columns[j][1], rows[i][1]))
        return false;
  // Its depth, constant, must leave every tile it could touch as it was.
  if (!ctx.z_enable || !ctx.z_write) return true;
  constexpr int kTile = DepthBuffer::kTile;
  const int px0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
  const int py0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
  const int px1 = std::min(width_ - 1, static_cast<int>(std::ceil(x1)) + 1);
  const int py1 = std::min(height_ - 1, static_cast<int>(std::ceil(y1)) + 1);
  for (int ty = py0 / kTile; ty <= py1 / kTile; ++ty)
    for (int tx = px0 / kTile; tx <= px1 / kTile; ++tx)
      if (!depth_.PassesUnchanged(tx, ty, r[0].z, true)) return false;
  return true;
}

bool Device::DrawScaledStrip(const raster::DrawContext& ctx, const raster::RasterVertex r[4]) {
  if (!scaled_) scaled_ = std::make_unique<raster::ScaledRect>();
  if (!raster::SetUpScaledRect(ctx, r, scaled_.get())) return false;
  ++scaled_quads_;
  const auto& t = scaled_->texels;
  if (texture_ && raster::KeepsTargetOnZeroAlpha(ctx) &&
      texture_->Transparent(t[0], t[1], t[2], t[3])) {
    raster::WriteRectDepth(ctx, scaled_->q);
    return true;
  }
  FillClearedUnder(ctx, scaled_->q, scaled_->texels);
  raster::DrawScaledRect(ctx, *scaled_);
  return true;
}

void Device::DrawTexelRect(const raster::DrawContext& ctx, const raster::RectQuad& q) {
  auto draw = [&](const raster::RectQuad& part) {
    FillClearedUnder(ctx, part);
    raster::DrawRect(ctx, part);
  };
  if (!texture_ || !ctx.tex_bits || q.x0 >= q.x1 || q.y0 >= q.y1 ||
      !raster::KeepsTargetOnZeroAlpha(ctx))
    return draw(q);
  // The quad's columns, a texture cell wide each, in stretches that are all transparent or not.
  constexpr int kCell = 16;
  const int ty0 = q.y0 + q.tex_dy, ty1 = q.y1 + q.tex_dy;
  raster::RectQuad part = q;
  bool clear = false;
  for (int x = q.x0; x < q.x1;) {
    const int end = std::min(q.x1, ((x + q.tex_dx) / kCell + 1) * kCell - q.tex_dx);
    const bool column_clear = texture_->Transparent(x + q.tex_dx, ty0, end + q.tex_dx, ty1);
    if (x > q.x0 && column_clear != clear) {
      part.x1 = x;
      clear ? raster::WriteRectDepth(ctx, part) : draw(part);
      part.x0 = x;
    }
    clear = column_clear;
    x = end;
  }
  part.x1 = q.x1;
  clear ? raster::WriteRectDepth(ctx, part) : draw(part);
}

namespace {

// The fast path's quad for a sprite at (x, y), w × h pixels, on whole pixels with whole texels one
// to one; false for any other.
bool AlignedQuad(const raster::DrawContext& ctx, float x, float y, float w, float h, float u0,
                 float v0, float u1, float v1, uint32_t diffuse, float z, raster::RectQuad* out) {
  // Whole pixels, well inside the guard band: the shifted corners x − 0.5 and x − 0.5 + w are
  // then exact in float, so these are the rectangle AsRect finds in the strip's vertices.
  constexpr float kLimit = 4096.0f;
  if (!(x > -kLimit && y > -kLimit && w > 0 && h > 0 && x + w < kLimit && y + h < kLimit))
    return false;
  const int ix = static_cast<int>(x), iy = static_cast<int>(y);
  const int iw = static_cast<int>(w), ih = static_cast<int>(h);
  if (ix != x || iy != y || iw != w || ih != h) return false;
  raster::RectQuad& q = *out;
  q.x0 = std::max(ix, 0);
  q.x1 = std::min(ix + iw, ctx.width);
  q.y0 = std::max(iy, 0);
  q.y1 = std::min(iy + ih, ctx.height);
  q.color = diffuse;
  q.z = z;
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
  return true;
}

}  // namespace

bool Device::DrawAlignedSprite(float x, float y, float w, float h, float u0, float v0, float u1,
                               float v1, uint32_t diffuse) {
  std::unique_lock<std::mutex> lock;
  if (texture_ && texture_->shared_) lock = std::unique_lock<std::mutex>(texture_->mutex_);
  const raster::DrawContext& ctx = Context();
  raster::RectQuad q;
  if (!AlignedQuad(ctx, x, y, w, h, u0, v0, u1, v1, diffuse, sprite_depth_, &q)) return false;
  ++fast_quads_;
  DrawTexelRect(ctx, q);
  return true;
}

bool Device::DrawAlignedSpriteCopies(std::span<const SpriteOffset> at, float x, float y, float w,
                                     float h, float u0, float v0, float u1, float v1,
                                     uint32_t diffuse) {
  if (at.empty() || at.size() > static_cast<size_t>(raster::kMaxRectCopies)) return false;
  std::unique_lock<std::mutex> lock;
  if (texture_ && texture_->shared_) lock = std::unique_lock<std::mutex>(texture_->mutex_);
  const raster::DrawContext& ctx = Context();
  raster::RectQuad q[raster::kMaxRectCopies];
  const int count = static_cast<int>(at.size());
  for (int k = 0; k < count; ++k)
    if (!AlignedQuad(ctx, x + at[k].dx, y + at[k].dy, w, h, u0, v0, u1, v1, diffuse,
                     sprite_depth_, &q[k]))
      return false;
  // Each copy's tiles are filled in before any copy draws: a copy only draws over tiles filled
  // (or covered) for it, which the others' fills leave alone.
  for (int k = 0; k < count; ++k) FillClearedUnder(ctx, q[k]);
  if (!raster::DrawRectCopies(ctx, q, count)) {
    for (int k = 0; k < count; ++k) raster::DrawRect(ctx, q[k]);
  }
  fast_quads_ += count;
  return true;
}

void Device::DrawPrimitive(PrimitiveType type, int start_vertex, int primitive_count) {
  if (primitive_count <= 0 || start_vertex < 0) return;
  const int count = VertexCount(type, primitive_count);
  if (static_cast<size_t>(start_vertex) + count > stream_.size()) return;
  std::unique_lock<std::mutex> lock;
  if (texture_ && texture_->shared_) lock = std::unique_lock<std::mutex>(texture_->mutex_);
  const raster::DrawContext& ctx = Context();
  FillCleared();

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
  FillCleared();
  const raster::DrawContext ctx =
      MakeContext(frame_.get(), width_, height_, &depth_, states_, nullptr, palette_.data(), false);
  raster::LineStyle style{width, antialias, pattern, pattern_scale};
  raster::DrawLine(ctx, points.data(), static_cast<int>(points.size()), argb, style);
}

}  // namespace gfx
