// What the three gallery rooms share: the references they draw and play with, the per-frame
// input the engine hands them, the atlas of 16 × 16 tiles their thumbnails are cut into, and the
// way a heroine picture held by a character slot is shown outside the story.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/sound.h"
#include "audio/stream_sound.h"
#include "graphics/graphics.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "platform/window.h"
#include "resource/image.h"
#include "resource/pack_file.h"
#include "save/progress.h"
#include "scene/scene.h"
#include "screens/pointer_box.h"
#include "screens/title.h"

// Everything a room reaches, owned by the engine and alive as long as it.
struct GalleryContext {
  CGraphics& graphics;
  const CPackFile& thumbs;  // thumb.pkd
  const ProgressData& progress;
  CSoundBuffer& ok_sound;  // system effect 0
  CSoundBuffer& cancel_sound;  // system effect 1
  CStreamSound& bgm;
  scene::Scene& scene;
  TitleScreen& title;  // its item tiles are the rooms' headers
  CTexture& dialog_art;  // "SYSTEM\dialog_base1.png"
  CTexture& system_texture2;  // "SYSTEM\systex2.png"
  // Loads "CHR\<name>" into a character slot's buffer; false (logged by the loader) when missing.
  std::function<bool(int slot, int buffer, const std::string& path)> load_character;
  // The dialogs' framed panel (the engine's panel pieces).
  std::function<void(float x, float y, float w, float h, uint32_t fill, uint32_t outline)>
      framed_panel;
};

// One frame's input as the rooms read it. `key_decide`: Space, Return or numpad Enter (never
// while a dialog is open); `click`: the left button's edge; `cancel`: Escape or a right click in
// the window.
struct GalleryInput {
  platform::Point pointer{};
  bool key_decide = false;
  bool click = false;
  bool cancel = false;
  bool dialog_open = false;
};

// What a room's update step asks of the engine.
enum class GalleryStep { kStay, kLeave, kReplay };

// Six 256 × 256 textures of 16 × 16 tiles, tile t on texture t / 256 at
// (16 (t mod 16), 16 ((t mod 256) / 16)), each tile with its own sprite. Filled from tile 0 by
// Begin, Cut and Finish.
class TileAtlas {
 public:
  static constexpr int kTextures = 6;
  static constexpr int kTiles = kTextures * 256;

  // Creates the textures that are not there yet; a failure is logged under `owner` and the
  // rest goes on.
  void Create(gfx::Device& device, const char* owner);
  void Begin();
  // Cuts `picture` (w × h, its top-left part; an empty or smaller picture gives transparent
  // cells) into columns × rows tiles, row by row. Returns the first tile's number, or -1 when
  // the atlas is full.
  int Cut(const CImage32& picture, int columns, int rows);
  // Uploads the texture being filled.
  void Finish();
  // Draws columns × rows tiles from `first` at (x, y) in `rgb` with `blend`.
  void Draw(gfx::Device& device, int first, int columns, int rows, float x, float y, uint32_t rgb,
            int blend);
  int Count() const { return count_; }
  CSprite& Tile(int t) { return sprites_[static_cast<size_t>(t)]; }

 private:
  std::array<CTexture, kTextures> textures_;
  std::vector<CSprite> sprites_ = std::vector<CSprite>(kTiles);
  CImage32 work_;
  int count_ = 0;
  gfx::Device* device_ = nullptr;
};

// A heroine's picture as the galleries show it: buffer `buffer` of character slot `slot`, when
// the slot is visible, at (x + the slot's standard x, y), every block set to `alpha` (0 leaves
// the blocks' alpha alone). A moving slot is drawn without its standard x; a running quake and
// the characters' wave bend it as in the story.
void DrawSlotPicture(gfx::Device& device, scene::Scene& scene, int slot, int buffer, int x, int y,
                     int alpha);

// Title item `item`'s 16 × 3 tiles from (0, 0) in white: the rooms' headers.
void DrawHeader(gfx::Device& device, TitleScreen& title, int item);

// The pieces every room cuts from the dialog art: the background tile and the return button,
// normal and highlighted.
struct RoomFrame {
  void Cut(gfx::Device& device, CTexture& art);
  CSprite background, return_normal, return_hot;
};


// The dialog art's 32 × 32 background tile over the columns [first_column, 24] of the screen.
void DrawBackgroundTiles(gfx::Device& device, CSprite& tile, int first_column);

// The picture `name` from `archive`; an empty w × h picture (and a log line under `owner`)
// when it is missing or cannot be read.
void LoadOrEmpty(CImage32& picture, const std::string& name, const CPackFile& archive, int w, int h,
                 const char* owner);

// The four heroines' pictures into slots 0 and 1 (two buffers each), shown, at standard place 0;
// each load logged under `owner`.
void LoadHeroines(GalleryContext& c, const char* owner);
