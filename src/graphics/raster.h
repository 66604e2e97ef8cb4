// The device's inner drawing routines: the axis-aligned quad fast path, the general triangle
// path and the line. The device decides which one a draw takes; both triangle paths give the
// same bits for the quads the fast path accepts.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "graphics/device.h"

namespace gfx::raster {

enum class BlendKind { Alpha, Shade, Add, Replace, Runtime };

// Everything a draw reads besides its geometry.
struct DrawContext {
  uint32_t* frame = nullptr;
  int width = 0, height = 0;
  DepthBuffer* depth = nullptr;
  bool z_enable = true, z_write = true;
  BlendKind blend = BlendKind::Replace;
  Blend src = Blend::One, dst = Blend::Zero;
  // The bound texture, or bits == nullptr for none.
  const uint8_t* tex_bits = nullptr;
  int tex_width = 0, tex_height = 0, tex_pitch = 0;
  uint32_t tex_format = 0;
  const uint32_t* palette = nullptr;
  // Whether the eight-pixel AVX2 loops may run (the processor has them and the device allows).
  bool wide = false;
};

// An axis-aligned quad whose texels map one to one onto its pixels: [x0, x1) × [y0, y1) on the
// target (already clipped), texel (x + tex_dx, y + tex_dy) for pixel (x, y), one colour.
struct RectQuad {
  int x0, y0, x1, y1;
  int tex_dx, tex_dy;
  uint32_t color;
  float z;
};
void DrawRect(const DrawContext& ctx, const RectQuad& q);
// Whether a source pixel of alpha 0 leaves the target pixel as it was, under the context's blend.
bool KeepsTargetOnZeroAlpha(const DrawContext& ctx);
// What DrawRect does to the depth buffer, without the colours: the draw of a quad whose texels
// are all transparent under a blend that keeps the target on them.
void WriteRectDepth(const DrawContext& ctx, const RectQuad& q);

// Whether this processor runs AVX2 (checked once).
bool CpuHasAvx2();
// The rows [y0, y1) × [x0, x1) of a quad with an A8R8G8B8, X8R8G8B8 or A4R4G4B4 (glyph) texture
// bound, without per-pixel depth, eight pixels a step; only when CpuHasAvx2().
void TexturedRowsAvx2(const DrawContext& ctx, const RectQuad& q, int x0, int x1, int y0, int y1);
// One row of a colour gradient without depth test from x0, eight pixels a step: the colour of
// channel c at x is at[c] + dx[c] × (x − ox), clamped and rounded. Returns where it stopped
// (fewer than eight pixels before x1 are left); only when CpuHasAvx2().
int GradientRowAvx2(const DrawContext& ctx, uint32_t* dst, int x0, int x1, const float at[4],
                    const float dx[4], float ox);

// Copies of one quad (the same size, texture, colour and depth at different places), the same
// bits as DrawRect on each in turn, with one depth walk for all of them. False (nothing drawn) for
// copies it does not take: more than eight, differing colours or depths, or copies that leave
// holes in their bounding box.
constexpr int kMaxRectCopies = 8;
bool DrawRectCopies(const DrawContext& ctx, const RectQuad* copies, int count);

// A vertex on the target: position in pixels, depth, 1/w, colour channels 0–255 (b, g, r, a),
// texture position in texels (u × width, v × height).
struct RasterVertex {
  float x, y, z, rhw;
  float c[4];
  float u, v;
};
// One triangle; `perspective` interpolates the texture position through 1/w.
void DrawTriangle(const DrawContext& ctx, const RasterVertex& a, const RasterVertex& b,
                  const RasterVertex& c, bool perspective);
// Two triangles, the same bits as drawing them one after the other; a strip's two halves of a
// quad share the per-row work.
void DrawTrianglePair(const DrawContext& ctx, const RasterVertex* const first[3],
                      bool first_perspective, const RasterVertex* const second[3],
                      bool second_perspective);

// The same axis-aligned quad untextured with a colour per corner, `v` its strip's corners
// (top-left, top-right, bottom-left, bottom-right): the same bits as its two triangles. False
// (nothing drawn) for a quad it does not take.
bool DrawGradientRect(const DrawContext& ctx, const RectQuad& q, const RasterVertex v[4]);

// An axis-aligned textured quad of one colour, depth and 1/w whose texels do not map one to one
// (a picture drawn scaled). SetUpScaledRect reads the strip's corners `v` as the general path
// sees them and fills in what each pixel samples; DrawScaledRect then draws exactly what the
// strip's two triangles (v0, v1, v2) and (v1, v2, v3) draw, per row of texels instead of per
// pixel. False from SetUpScaledRect (nothing to draw here) for a quad it cannot take that way.
struct ScaledRect {
  RectQuad q;  // the pixels the two triangles cover, their colour and depth (no texel offset)
  int bytes_per_texel = 0;
  std::array<int, 4> texels;  // the texels it reads lie in [x0, x1) × [y0, y1) of the texture
  // Whether both triangles read the same texel for every pixel, so that which triangle a pixel
  // belongs to does not matter (and `first` is not filled in).
  bool one_table = false;
  // Per row from q.y0: the first triangle's pixels [lo, hi) (lo = hi = q.x1 for none); the rest
  // of the row is the second's.
  std::vector<std::array<int, 2>> first;
  // Per triangle: the byte offset of each column's texel in its row (from q.x0, and three more
  // repeating the last, which a row's last group of four pixels may read), and each row's texel
  // row (from q.y0).
  std::vector<int32_t> column[2];
  std::vector<const uint8_t*> row[2];
};
bool SetUpScaledRect(const DrawContext& ctx, const RasterVertex v[4], ScaledRect* s);
void DrawScaledRect(const DrawContext& ctx, const ScaledRect& s);

struct LineStyle {
  float width;
  bool antialias;
  uint32_t pattern;
  float pattern_scale;
};
void DrawLine(const DrawContext& ctx, const LinePoint* points, int count, uint32_t argb,
              const LineStyle& style);

// Wider than any target row, with room for the last group of four pixels.
constexpr int kMaxSpan = 4096;

// Positions beyond this many pixels from the target are clipped before rasterising, which keeps
// the fixed-point edge arithmetic in range.
constexpr float kGuardBand = 8192.0f;

}  // namespace gfx::raster
