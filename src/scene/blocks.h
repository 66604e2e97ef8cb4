// A picture cut into 16 × 16 blocks packed 256 to a 256 × 256 texture, each block drawn as its own
// sprite, so transitions can fade, mask, bend or squeeze it block by block. The textures and the
// sprites are made once; a new picture is only uploaded.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "resource/image.h"

namespace scene {

inline constexpr int kBlockSize = 16;
inline constexpr int kBlocksPerTexture = 256;
inline constexpr int kLayerHeight = 600;  // the last block row is 8 pixels high

// The background and wipe grid: 38 rows × 50 columns.
inline constexpr int kGridRows = 38;
inline constexpr int kGridColumns = 50;
inline constexpr int kGridBlocks = kGridRows * kGridColumns;

// One value per grid block: the wipe masks and the background dissolve.
class BlockMask {
 public:
  float& At(int row, int column) { return values_[row * kGridColumns + column]; }
  // Corners beyond the grid take the nearest value inside it (the edge value repeated).
  float Clamped(int row, int column) const {
    row = row < kGridRows ? row : kGridRows - 1;
    column = column < kGridColumns ? column : kGridColumns - 1;
    return values_[row * kGridColumns + column];
  }
  // value = scale × k + offset with k = 49 − c in rows 0–11 and 26–37, c in rows 12–25.
  void FillWipe3(float scale, float offset);
  // value = scale × (r + c) + offset: a diagonal from the top-left corner.
  void FillPage(float scale, float offset);
  void Add(float delta);

 private:
  std::array<float, kGridBlocks> values_{};
};

// The sine wave the raster bends rows with; row i's top edge moves by Shift(i), its bottom edge
// by Shift(i + 1), so neighbouring rows meet.
struct Wave {
  float amplitude = 0;  // in thousandths of a pixel
  float phase = 0;      // degrees
  float row_step = 0;   // degrees per block row
  float Shift(int row) const;
};

class BlockLayer {
 public:
  BlockLayer(int columns, int rows, int texture_count);
  BlockLayer(const BlockLayer&) = delete;
  BlockLayer& operator=(const BlockLayer&) = delete;
  BlockLayer(BlockLayer&&) noexcept = default;

  // Creates the textures and points every block sprite at its cell (alpha 255).
  bool Create(gfx::Device& device);
  void Release();
  // Cuts the top-left columns × 16 by 600 pixels of `image` into the textures; what lies beyond
  // the image is transparent. `work` is a 256 × 256 image reused for every texture.
  bool Upload(const CImage32& image, CImage32& work);
  // Every block transparent. Textures that never held a picture make no memory for it.
  bool Clear();

  void SetAlpha(int a);
  int Alpha() const { return sprites_[0].Alpha(CSprite::kTopLeft); }
  void SetBlendMode(int mode);

  // Every block at (x + 16c, y + 16r); bent by `wave` when given; with `mask` a block takes the
  // mask's value (clamped to 0–255) as its alpha.
  void Draw(gfx::Device& device, float x, float y, const Wave* wave = nullptr,
            const BlockMask* mask = nullptr);
  // Squeezed horizontally about the line x = axis by `scale` (0–1): the card-turn frames.
  void DrawSqueezed(gfx::Device& device, float x, float y, float axis, float scale);

  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  int Count() const { return columns_ * rows_; }
  const CSprite& Block(int b) const { return sprites_[b]; }
  // A block to change on its own: the blocks may no longer look alike.
  CSprite& MutableBlock(int b) {
    same_look_ = false;
    return sprites_[b];
  }
  CTexture& Texture(int t) { return textures_[t]; }

 private:
  float BlockHeight(int row) const;

  int columns_;
  int rows_;
  std::vector<CTexture> textures_;
  std::vector<CSprite> sprites_;
  // Whether every block has the same colours and alphas (they were set for all at once since
  // the last draw through a mask): Draw then joins blocks without comparing them.
  bool same_look_ = true;
};

}  // namespace scene
