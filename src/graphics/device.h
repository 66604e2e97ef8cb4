// The drawing device: a software rasteriser with exactly the device behaviour the game draws with.
// One 800 × 600 XRGB render target with a depth buffer; textures kept in their own formats so
// uploads are plain copies; pre-transformed triangles (the sprites) and transformed, lit triangles
// (the town map's cubes); point sampling; texture × diffuse for colour and alpha; source and
// destination blend factors; depth test less-or-equal with depth writes; pixel centres on integer
// coordinates and the top-left fill rule; wide antialiased patterned lines; a capture surface.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "graphics/matrix.h"

namespace platform {
class MessageBoxes;
}

namespace gfx {

// Texture and surface formats, with the game's names and values.
enum : uint32_t {
  D3DFMT_A8R8G8B8 = 21,
  D3DFMT_X8R8G8B8 = 22,
  D3DFMT_R5G6B5 = 23,
  D3DFMT_X1R5G5B5 = 24,
  D3DFMT_A1R5G5B5 = 25,
  D3DFMT_A4R4G4B4 = 26,
  D3DFMT_A8P8 = 40,
  D3DFMT_P8 = 41,
};
// Bytes per texel of a texture format; 0 for a format textures cannot have.
int FormatBytesPerPixel(uint32_t format);

enum class DeviceResult {
  Ok,
  OutOfVideoMemory,
  OutOfMemory,
  NotAvailable,
  InvalidData,
  InvalidCall
};

// Blend factors: out = source × src factor + destination × dest factor, each channel saturated.
enum class Blend : uint8_t {
  Zero,
  One,
  SrcColor,
  InvSrcColor,
  SrcAlpha,
  InvSrcAlpha,
  DestAlpha,
  InvDestAlpha,
  DestColor,
  InvDestColor,
  SrcAlphaSat,
};

// Where a copy of a sprite is drawn, from the sprite's own place.
struct SpriteOffset {
  float dx, dy;
};

// The sprite vertex: position in pixels, depth, reciprocal w, colours as ARGB, texture position.
struct TLVertex {
  float x = 0, y = 0, z = 0, rhw = 1;
  uint32_t diffuse = 0xFFFFFFFFu;
  uint32_t specular = 0;
  float u = 0, v = 0;
};
static_assert(sizeof(TLVertex) == 32);

// The vertex of transformed geometry: position, normal and texture position.
struct LitVertex {
  float x = 0, y = 0, z = 0;
  float nx = 0, ny = 0, nz = 0;
  float u = 0, v = 0;
};
static_assert(sizeof(LitVertex) == 32);

enum class PrimitiveType { TriangleList, TriangleStrip, TriangleFan };
enum class TransformType { World, View, Projection };

struct ColorValue {
  float r = 0, g = 0, b = 0, a = 0;
};

// A directional light (the only kind the game sets): it shines along `direction`.
struct Light {
  ColorValue diffuse, specular, ambient;
  Vec3 direction{0, 0, 1};
};

struct Material {
  ColorValue diffuse, ambient, specular, emissive;
  float power = 0;
};

struct LinePoint {
  float x = 0, y = 0;
};

class Device;

// Pixel memory aligned to cache lines, so a 16-pixel block row of a texture or of the target
// is one line, not parts of two.
struct AlignedFree {
  void operator()(void* p) const;
};
template <class T>
using PixelMemory = std::unique_ptr<T[], AlignedFree>;
// `count` zeroed elements, or none when memory runs out.
template <class T>
PixelMemory<T> AllocatePixels(size_t count);

namespace raster {
struct DrawContext;
struct ScaledRect;
struct RasterVertex;
struct RectQuad;
}

// A texture's texels, row after row with no padding between rows.
class DeviceTexture {
 public:
  ~DeviceTexture();
  DeviceTexture(const DeviceTexture&) = delete;
  DeviceTexture& operator=(const DeviceTexture&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t Format() const { return format_; }
  int BytesPerPixel() const { return bytes_per_pixel_; }
  int Pitch() const { return pitch_; }

  // The whole level for writing (null when memory for it ran out); Unlock ends it. A texture
  // made for sharing with another thread is locked against drawing between the two.
  uint8_t* Lock(int* pitch);
  void Unlock();

  // The texels for reading, zero until written (null when memory for them ran out). A texture
  // not written yet reads from a shared block of zeros and makes no memory of its own.
  const uint8_t* Bits() const { return bits_ ? bits_.get() : ZeroOrOwnBits(); }
  // Sets every texel to zero (transparent), without making memory for a texture that has none.
  void Clear();
  // Whether every texel of [x0, x1) × [y0, y1) is transparent; whether it is opaque as far as
  // the 16 × 16 cells it touches tell. What the cells are is worked out when first asked after a
  // Lock.
  bool Opaque(int x0, int y0, int x1, int y1) const { return CellsAre(kCellOpaque, x0, y0, x1, y1); }
  bool Transparent(int x0, int y0, int x1, int y1) const {
    // Inside one cell already looked at, as most asks are: a lookup.
    if (!cells_.empty() && x0 < x1 && y0 < y1 && x0 / 16 == (x1 - 1) / 16 &&
        y0 / 16 == (y1 - 1) / 16) {
      const int8_t known = cells_[(y0 / 16) * cell_columns_ + x0 / 16].kind;
      if (known == kCellTransparent) return true;
      if (known == kCellOpaque) return false;
    }
    return CellsAre(kCellTransparent, x0, y0, x1, y1);
  }

 private:
  friend class Device;
  DeviceTexture() = default;

  Device* device_ = nullptr;
  int width_ = 0, height_ = 0, bytes_per_pixel_ = 0, pitch_ = 0;
  uint32_t format_ = 0;
  bool shared_ = false;
  std::mutex mutex_;
  size_t bytes_ = 0;
  // Made on first use (Texels), so a texture costs no memory before its first picture.
  uint8_t* Texels() const;
  const uint8_t* ZeroOrOwnBits() const;  // Bits() before the first write
  mutable PixelMemory<uint8_t> bits_;
  // Per 16 × 16 cell: kCellOpaque and kCellTransparent for what all its texels are, or
  // kCellUnknown before it was first looked at; and the box [x0, x1) × [y0, y1) (from the cell's
  // corner) that holds its texels that are not transparent.
  static constexpr int8_t kCellOpaque = 1, kCellTransparent = 2, kCellUnknown = -1;
  struct Cell {
    int8_t kind = kCellUnknown;
    uint8_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  };
  bool CellsAre(int8_t kind, int x0, int y0, int x1, int y1) const;
  void LookAtCell(Cell& cell, int cx, int cy) const;
  mutable std::vector<Cell> cells_;
  mutable int cell_columns_ = 0;
};

// A plain XRGB surface in system memory: the capture of the render target.
class Surface {
 public:
  Surface(int width, int height) : width_(width), height_(height), pixels_(width * height) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  // Read access; the pitch is in bytes.
  const uint32_t* Lock(int* pitch) const {
    *pitch = width_ * 4;
    return pixels_.data();
  }
  void Unlock() const {}

 private:
  friend class Device;
  int width_, height_;
  std::vector<uint32_t> pixels_;
};

// The depth buffer, kept per 16 × 16 tile as one value while every pixel of the tile has it (a
// clear, a sprite covering the tile), as two values while a constant depth covers part of it,
// and per pixel once drawing splits the tile further. The sprites all lie at one depth, so almost
// no 2D drawing reads or writes a per-pixel depth, wherever its blocks lie on the tile grid.
//
// A two-value tile holds its front value on the pixels of a mask and its back value on the rest.
// A split tile keeps bounds on its pixels' values and the mask of the pixels known to hold the
// lower bound. A constant depth at or in front of the lower bound passes every pixel, and one
// behind the upper bound none, so a block off the tile grid (a quake, a scroll) is tested once per
// tile, not per pixel; once the mask covers the tile (the neighbouring blocks of a layer at one
// depth), the tile holds one value again.
class DepthBuffer {
 public:
  static constexpr int kTile = 16;
  DepthBuffer(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }
  int TileColumns() const { return tile_columns_; }
  int TileRows() const { return tile_rows_; }

  void Clear(float z);
  // Every pixel's value.
  const float* Resolve();

  enum class Test { None, All, PerPixel };
  // The test of a constant depth z over the part [x0, x1) × [y0, y1) of tile (tx, ty): None when
  // no pixel passes, All when all pass (the depths are then written here), PerPixel when the
  // caller must test and write the pixels (the tile is then kept per pixel).
  Test ConstantTest(int tx, int ty, int x0, int y0, int x1, int y1, float z, bool write) {
    const int i = ty * tile_columns_ + tx;
    if (tile_kind_[i] == kOne) {
      const float t = tile_value_[i];
      if (!(z <= t)) return Test::None;
      if (!write || z == t) return Test::All;
      const bool whole = x0 == tx * kTile && y0 == ty * kTile &&
                         x1 == std::min(x0 + kTile, width_) && y1 == std::min(y0 + kTile, height_);
      if (whole) {
        tile_value_[i] = z;
        return Test::All;
      }
      // The part in front, the rest behind.
      tile_kind_[i] = kTwo;
      tile_high_[i] = t;
      tile_value_[i] = z;
      tile_low_mask_[i].fill(0);
      AddToMask(i, tx, ty, x0, y0, x1, y1);
      return Test::All;
    }
    if (!(z <= tile_high_[i])) return Test::None;
    if (!(z <= tile_value_[i])) {
      if (tile_kind_[i] == kTwo) SplitTile(i, tx, ty);
      return Test::PerPixel;
    }
    if (write) WriteFront(i, tx, ty, x0, y0, x1, y1, z);
    return Test::All;
  }
  // Whether a constant depth z passes at every pixel of tile (tx, ty) and leaves the tile as it
  // is: ConstantTest then answers All for any part of it without changing anything.
  bool PassesUnchanged(int tx, int ty, float z, bool write) const {
    const int i = ty * tile_columns_ + tx;
    return tile_kind_[i] == kOne && z <= tile_value_[i] && (!write || z == tile_value_[i]);
  }
  // Whether a constant depth z passes at every pixel of tile (tx, ty).
  bool PassesWhole(int tx, int ty, float z) const { return z <= tile_value_[ty * tile_columns_ + tx]; }
  // Makes the tile per pixel, for a caller writing varying depths.
  void Split(int tx, int ty);
  float* Row(int y) { return pixels_.get() + static_cast<size_t>(y) * width_; }

 private:
  enum Kind : uint8_t { kOne, kTwo, kSplit };
  // Writes the pixels of tile i from its one or two values.
  void FillTile(int i, int tx, int ty);
  // Keeps the tile per pixel from now on.
  void SplitTile(int i, int tx, int ty);
  // Writes z, at or in front of every pixel of tile i (two values or split), over the part
  // [x0, x1) × [y0, y1).
  void WriteFront(int i, int tx, int ty, int x0, int y0, int x1, int y1, float z);
  // Adds the part to the mask of tile i; a mask covering the tile makes it one value.
  void AddToMask(int i, int tx, int ty, int x0, int y0, int x1, int y1);

  int width_, height_, tile_columns_, tile_rows_;
  PixelMemory<float> pixels_;
  std::vector<Kind> tile_kind_;
  // Per tile: its value, the front value of two, or the lower bound of a split tile's pixels.
  std::vector<float> tile_value_;
  // The back value of two, or the upper bound of a split tile's pixels.
  std::vector<float> tile_high_;
  // Sixteen rows of bits: the pixels of a two-value or split tile that hold tile_value_.
  std::vector<std::array<uint16_t, kTile>> tile_low_mask_;
};

// The states the game sets; everything else is fixed (culling off, fog off, texture stage 0
// modulating texture and diffuse for colour and alpha, point sampling with wrapping).
struct RenderStates {
  bool alpha_blend = false;
  Blend src_blend = Blend::One;
  Blend dest_blend = Blend::Zero;
  bool z_enable = true;
  bool z_write = true;
  bool lighting = true;
  uint32_t ambient = 0;
};

class Device {
 public:
  static constexpr int kMaxLights = 8;

  Device(int width, int height);
  ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }

  // Resources. `shared` textures may be locked by another thread while this one draws.
  DeviceResult CreateTexture(int width, int height, uint32_t format,
                             std::unique_ptr<DeviceTexture>* out, bool shared = false);
  // The palette of the P8 and A8P8 formats (ARGB entries; a grey ramp until set).
  void SetPalette(const std::array<uint32_t, 256>& entries) { palette_ = entries; }
  // Where texture creation errors are shown (none: not shown).
  void SetMessageBoxes(platform::MessageBoxes* boxes) { boxes_ = boxes; }
  platform::MessageBoxes* MessageBoxes() const { return boxes_; }

  // The render target. Clear fills the target and the depth buffer, ClearDepth the depth alone.
  // The target's fill is deferred per 16 × 16 tile and skipped where an opaque draw covers the
  // tile first (a background), so a frame pays for the pixels it draws, not for the clear too.
  void Clear(uint32_t argb, float z);
  void ClearDepth(float z) { depth_.Clear(z); }
  void BeginScene() {}
  void EndScene() {}
  const uint32_t* Frame() const {
    FillCleared();
    return frame_.get();
  }
  uint32_t* MutableFrame() {
    FillCleared();
    return frame_.get();
  }
  const float* Depth() { return depth_.Resolve(); }
  // Copies the render target into a surface of the same size; false for another size.
  bool GetRenderTargetData(Surface& out) const;

  // States.
  void SetAlphaBlendEnable(bool on) {
    states_.alpha_blend = on;
    context_dirty_ = true;
  }
  void SetBlendFactors(Blend src, Blend dest) {
    if (states_.src_blend == src && states_.dest_blend == dest) return;
    states_.src_blend = src;
    states_.dest_blend = dest;
    context_dirty_ = true;
  }
  void SetZEnable(bool on) {
    states_.z_enable = on;
    context_dirty_ = true;
  }
  void SetZWriteEnable(bool on) {
    states_.z_write = on;
    context_dirty_ = true;
  }
  void SetLighting(bool on) { states_.lighting = on; }
  void SetAmbient(uint32_t argb) { states_.ambient = argb; }
  const RenderStates& States() const { return states_; }

  void SetTransform(TransformType type, const Matrix& m) {
    transforms_[static_cast<int>(type)] = m;
  }
  const Matrix& Transform(TransformType type) const { return transforms_[static_cast<int>(type)]; }
  void SetLight(int index, const Light& light);
  void LightEnable(int index, bool on);
  const Light& GetLight(int index) const { return lights_[index]; }
  bool LightEnabled(int index) const { return light_on_[index]; }
  void SetMaterial(const Material& m) { material_ = m; }

  // Stage 0's texture (none draws the diffuse colour alone). Every call counts as one bind.
  void SetTexture(DeviceTexture* texture);
  DeviceTexture* Texture() const { return texture_; }
  int TextureBinds() const { return texture_binds_; }

  // The vertices DrawPrimitive reads.
  void SetStreamSource(std::span<const LitVertex> vertices) { stream_ = vertices; }

  // The shared depth of every sprite (see CSprite).
  float SpriteDepth() const { return sprite_depth_; }
  void SetSpriteDepth(float z) { sprite_depth_ = z; }

  // Pre-transformed triangles from the caller's vertices.
  void DrawPrimitiveUP(PrimitiveType type, int primitive_count, const TLVertex* vertices);
  // The strip of a sprite's unturned quad at (x, y), w × h pixels (before the half-pixel shift),
  // texture coordinates u0, v0 – u1, v1 and one diffuse colour, at the sprite depth, when it lies
  // on whole pixels with whole texels one to one: drawn by the fast path straight from these
  // values, with the bits DrawPrimitiveUP gives for its vertices. False (nothing drawn) for any
  // other quad, which the caller then draws through DrawPrimitiveUP.
  bool DrawAlignedSprite(float x, float y, float w, float h, float u0, float v0, float u1, float v1,
                         uint32_t diffuse);
  // The same sprite drawn at each offset of `at` in turn (the outline's copies of a glyph) with
  // one depth walk for all: the bits of DrawAlignedSprite at each offset. False (nothing drawn)
  // unless every copy is one DrawAlignedSprite takes.
  bool DrawAlignedSpriteCopies(std::span<const SpriteOffset> at, float x, float y, float w,
                               float h, float u0, float v0, float u1, float v1, uint32_t diffuse);
  // Transformed, optionally lit triangles from the stream source, starting at `start_vertex`.
  void DrawPrimitive(PrimitiveType type, int start_vertex, int primitive_count);
  // A polyline `width` pixels wide through points at pixel centres, blended over the target with
  // its alpha, not depth tested. Bit k of `pattern` (lowest first) covers the k-th stretch of
  // `pattern_scale` pixels along the line from its first point, repeating every 32 stretches.
  void DrawLine(std::span<const LinePoint> points, uint32_t argb, float width, bool antialias,
                uint32_t pattern, float pattern_scale);

  // Whether the fast path may blend eight pixels a step with AVX2; on where the processor has
  // it. Both settings give the same bits; tests and benchmarks compare them.
  void SetWidePixels(bool on);
  bool WidePixels() const { return wide_pixels_; }

  // Counters for tests and benchmarks: quads that took the axis-aligned fast path, and triangles
  // drawn by the general path.
  int FastQuads() const { return fast_quads_; }
  int GeneralTriangles() const { return general_triangles_; }
  // Textured quads drawn scaled (their texels not one to one) as rectangles.
  int ScaledQuads() const { return scaled_quads_; }

 private:
  friend class DeviceTexture;
  // What the draws read of the states and the bound texture, rebuilt after they change.
  const raster::DrawContext& Context();
  // Fills the tiles still waiting for the clear colour: all of them, or those under the
  // fast path's quad where it does not give every pixel of its own; only the pixels no opaque
  // draw has covered.
  void FillCleared() const;
  void FillClearedUnder(const raster::DrawContext& ctx, const raster::RectQuad& q);
  // The same for a quad that reads the texels [x0, y0, x1, y1) of `texels` (a scaled one).
  void FillClearedUnder(const raster::DrawContext& ctx, const raster::RectQuad& q,
                        const std::array<int, 4>& texels);
  // A two-triangle strip drawn as a scaled rectangle when it is one (raster::SetUpScaledRect);
  // false, with nothing drawn, for any other.
  bool DrawScaledStrip(const raster::DrawContext& ctx, const raster::RasterVertex r[4]);
  // Whether a textured two-triangle strip would change nothing, pixels nor depth: all the texels
  // it can read are transparent under a blend that keeps the target on them, and its constant
  // depth leaves every tile it can touch as it was. Such a strip is not set up at all.
  bool LeavesAllAsItWas(const raster::DrawContext& ctx, const raster::RasterVertex r[4]) const;
  // The fast path's quad; where whole cells of its texels are transparent under a blend that keeps
  // the target on them, only their depth is written and no texel read.
  void DrawTexelRect(const raster::DrawContext& ctx, const raster::RectQuad& q);
  void FillTile(int tx, int ty) const;
  // Sixteen bits a row: x0 .. x1 − 1 of tile column tx.
  static uint16_t TileBits(int tx, int x0, int x1);

  int width_, height_;
  PixelMemory<uint32_t> frame_;
  DepthBuffer depth_;
  RenderStates states_;
  std::array<Matrix, 3> transforms_{Matrix::Identity(), Matrix::Identity(), Matrix::Identity()};
  std::array<Light, kMaxLights> lights_{};
  std::array<bool, kMaxLights> light_on_{};
  Material material_{};
  DeviceTexture* texture_ = nullptr;
  int texture_binds_ = 0;
  std::span<const LitVertex> stream_;
  std::array<uint32_t, 256> palette_{};
  float sprite_depth_ = 0.9f;
  platform::MessageBoxes* boxes_ = nullptr;
  int fast_quads_ = 0;
  int general_triangles_ = 0;
  int scaled_quads_ = 0;
  bool context_dirty_ = true;
  bool wide_pixels_ = false;
  // The tiles of the target that still wait for the clear colour, and how many do; per tile, the
  // pixels that opaque draws have given their own colour meanwhile (16 rows of bits).
  uint32_t clear_color_ = 0xFF000000u;
  mutable std::vector<uint8_t> clear_pending_;
  std::vector<std::array<uint16_t, DepthBuffer::kTile>> clear_covered_;
  mutable int pending_tiles_ = 0;
  std::unique_ptr<raster::DrawContext> context_;
  std::unique_ptr<raster::ScaledRect> scaled_;  // the scaled rectangle's tables, kept for reuse
};

}  // namespace gfx
