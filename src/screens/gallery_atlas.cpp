// The galleries' shared pieces: the thumbnail atlas, the heroine pictures and the headers.
#include "screens/gallery_atlas.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/log.h"
#include "platform/sjis.h"
#include "screens/cells.h"

void TileAtlas::Create(gfx::Device& device, const char* owner) {
  device_ = &device;
  for (int i = 0; i < kTextures; ++i) {
    CTexture& t = textures_[static_cast<size_t>(i)];
    if (t.Ready()) continue;
    if (!t.Create(device, 256, 256, gfx::D3DFMT_A8R8G8B8)) {
      char text[96];
      std::snprintf(text, sizeof text, "%s(tex_no=%d)",
                    SJ("テクスチャーの作成に失敗しました。").c_str(), i);
      WriteLog(2, text, owner, __LINE__);
    }
  }
  if (work_.Width() != 256) work_.Create(256, 256);
}

void TileAtlas::Begin() {
  count_ = 0;
  if (work_.Width() != 256) work_.Create(256, 256);
  work_.Fill(0);
}

int TileAtlas::Cut(const CImage32& picture, int columns, int rows) {
  if (count_ + columns * rows > kTiles || work_.Pixels() == nullptr) return -1;
  const int first = count_;
  const int pw = picture.Pixels() ? picture.Width() : 0;
  const int ph = picture.Pixels() ? picture.Height() : 0;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const int t = count_++;
      const int cell = t % 256;
      const int tx = 16 * (cell % 16), ty = 16 * (cell / 16);
      // The part of the picture's block that exists; the rest of the cell stays clear.
      const int w = std::clamp(pw - 16 * c, 0, 16), h = std::clamp(ph - 16 * r, 0, 16);
      for (int y = 0; y < h; ++y)
        std::memcpy(work_.Pixels() + (static_cast<size_t>(ty + y) * 256 + tx) * 4,
                    picture.Pixels() + (static_cast<size_t>(16 * r + y) * pw + 16 * c) * 4,
                    static_cast<size_t>(w) * 4);
      CTexture* texture = &textures_[static_cast<size_t>(t / 256)];
      const float u = static_cast<float>(tx) / 256, v = static_cast<float>(ty) / 256;
      CSprite& s = sprites_[static_cast<size_t>(t)];
      s.Init(0, 0, 16, 16, u, v, u + 1.0f / 16, v + 1.0f / 16, texture);
      s.SetDevice(device_);
      if (cell == 255) {
        if (texture->Ready()) texture->Upload(work_.Pixels());
        work_.Fill(0);
      }
    }
  }
  return first;
}

void TileAtlas::Finish() {
  if (count_ % 256 == 0) return;  // the last texture filled was uploaded when it was full
  CTexture& t = textures_[static_cast<size_t>(count_ / 256)];
  if (t.Ready()) t.Upload(work_.Pixels());
}

void TileAtlas::Draw(gfx::Device& device, int first, int columns, int rows, float x, float y,
                     uint32_t rgb, int blend) {
  if (first < 0) return;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      CSprite& s = sprites_[static_cast<size_t>(first + r * columns + c)];
      s.SetColor(rgb);
      s.SetAlpha(255);
      s.SetBlendMode(blend);
      s.Draw(device, x + 16.0f * static_cast<float>(c), y + 16.0f * static_cast<float>(r), 16, 16);
    }
  }
}

void DrawSlotPicture(gfx::Device& device, scene::Scene& scene, int slot, int buffer, int x, int y,
                     int alpha) {
  scene::ChrSlot& s = scene.chr.Slot(slot);
  if (!s.visible) return;
  scene::ChrBuffer& b = s.buffers[static_cast<size_t>(buffer & 1)];
  if (alpha != 0) b.blocks.SetAlpha(alpha);
  const scene::Offset quake = scene.effects.QuakeOffset();
  const int left = x + (s.moving ? 0 : scene::StandardX(s.position)) + quake.x;
  b.blocks.Draw(device, static_cast<float>(left), static_cast<float>(y + quake.y),
                scene.effects.CharacterWave());
}

void DrawHeader(gfx::Device& device, TitleScreen& title, int item) {
  auto& tiles = title.item_tiles[static_cast<size_t>(item)];
  for (int k = 0; k < kTitleTileRows; ++k) {
    for (int j = 0; j < kTitleTileColumns; ++j) {
      CSprite& s = tiles[static_cast<size_t>(16 * k + j)];
      s.SetColor(0xFFFFFF);
      s.SetAlpha(255);
      s.SetBlendMode(0);
      s.Draw(device, 16.0f * static_cast<float>(j), 16.0f * static_cast<float>(k), 16, 16);
    }
  }
}

void DrawBackgroundTiles(gfx::Device& device, CSprite& tile, int first_column) {
  for (int i = 0; i <= 18; ++i)
    for (int j = first_column; j <= 24; ++j)
      tile.Draw(device, 32.0f * static_cast<float>(j), 32.0f * static_cast<float>(i), 32, 32);
}

void LoadOrEmpty(CImage32& picture, const std::string& name, const CPackFile& archive, int w, int h,
                 const char* owner) {
  if (picture.LoadFromPNG(name, archive) == 0) return;
  WriteLog(2, "PNG Load failed. -> " + name, owner, __LINE__);
  picture.Create(w, h);
}

void LoadHeroines(GalleryContext& c, const char* owner) {
  static constexpr const char* kPictures[4] = {"mirelA01A.png", "ondineA01A.png", "carysA01A.png",
                                               "junoA01A.png"};
  for (int h = 0; h < 4; ++h) {
    const int slot = h / 2, buffer = h % 2;
    c.scene.chr.Show(slot, true);
    const bool ok = c.load_character(slot, buffer, std::string("CHR\\") + kPictures[h]);
    if (!ok) c.scene.chr.Clear(slot, buffer);  // no older picture shows instead
    char text[128];
    std::snprintf(
        text, sizeof text,
        ok ? "@chr_load. no(%d) channel(%d) : %s" : "@chr_load failed. no(%d) channel(%d) : %s",
        slot, buffer, kPictures[h]);
    WriteLog(ok ? 0 : 2, text, owner, __LINE__);
  }
  for (int s = 0; s < scene::kSlotCount; ++s) c.scene.chr.SetPosition(s, 0);
}

void RoomFrame::Cut(gfx::Device& device, CTexture& art) {
  CutCell(background, device, &art, 224, 224, 256, 256);
  CutCell(return_normal, device, &art, 192, 64, 256, 128);
  CutCell(return_hot, device, &art, 192, 128, 256, 192);
}
