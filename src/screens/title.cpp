// The title screen: its item tiles, the menu picture of the way back, and its draw step (see
// TitleScreen).
#include "screens/title.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "audio/sound.h"
#include "audio/stream_sound.h"
#include "graphics/graphics.h"
#include "platform/dik.h"
#include "platform/fs.h"
#include "resource/image.h"
#include "resource/pack_file.h"
#include "resource/picture_loader.h"
#include "save/progress.h"
#include "scene/scene.h"
#include "screens/memory_replay.h"
#include "screens/music_room.h"
#include "screens/picture_gallery.h"
#include "screens/save_load.h"

namespace {

constexpr float kItemX = 32;
constexpr float kItemY = 224;
constexpr float kItemStep = 36;
constexpr float kItemW = 256;
constexpr float kItemH = 32;  // the hit rectangle; the picture is 48 high

constexpr uint32_t kGreyRgb = 0x666666;
constexpr uint32_t kSelectedRgb = 0xFFFFFF;
constexpr uint32_t kItemRgb = 0xCCCC55;

constexpr float kFadePerMs = 0.512f;  // 256 in about 500 ms
constexpr float kFadeEnd = 256;

constexpr int kOkSound = 0;
constexpr int kLogoSound = 2;

// The menu picture's home among the character layers' textures, counted over the slots' buffers
// in order (five textures a buffer, two buffers a slot).
constexpr int kMenuTexture = 6;

const char kMenuPicture[] = "SYSTEM\\menu.png";

// Grey items are drawn dim and do nothing; the keys pass over them.
bool ItemGrey(const TitleScreen& t, int i) {
  switch (i) {
    case kTitleContinue: return !t.continue_offered;
    case kTitleExtrasItem:
      return !(t.pictures_offered || t.memories_offered || t.movies_offered || t.music_offered);
    case kTitlePicturesItem: return !t.pictures_offered;
    case kTitleMemoriesItem: return !t.memories_offered;
    case kTitleMoviesItem: return !t.movies_offered;
    case kTitleMusicItem: return !t.music_offered;
    default: return false;
  }
}

// The next item from `from` in the direction `step` (±1) that is not grey, round the ends.
int NextActiveItem(const TitleScreen& t, int from, int step) {
  int i = from;
  for (int n = 0; n < kTitleItems; ++n) {
    i = (i + step + kTitleItems) % kTitleItems;
    if (!ItemGrey(t, i)) return i;
  }
  return from;
}

// The 4 × 4 box whose top-left corner is the pointer overlaps item i's hit rectangle.
bool PointerOnItem(platform::Point pointer, int i) {
  const int x = pointer.x, y = pointer.y;
  const float top = kItemY + kItemStep * static_cast<float>(i);
  return static_cast<float>(x) < kItemX + kItemW && kItemX < static_cast<float>(x + 4) &&
         static_cast<float>(y) < top + kItemH && top < static_cast<float>(y + 4);
}

// Copies the 16 × 16 pixels at (sx, sy) of `picture` into the tile's cell of `work`; a picture
// that is missing or too small leaves the cell empty rather than showing an older tile.
void PlaceTile(CImage32& work, const CImage32& picture, int tile, int sx, int sy) {
  const int cell = tile % kAtlasTilesPerPage;
  const int x = 16 * (cell % 16), y = 16 * (cell / 16);
  if (work.CopyRect(picture, x, y, 16, 16, sx, sy) == 0) {
    for (int row = 0; row < 16; ++row)
      std::memset(work.Pixels() + (static_cast<size_t>(y + row) * 256 + x) * 4, 0, 16 * 4);
  }
}

}  // namespace

TitleScreen::TitleScreen(TitleContext context) : c_(std::move(context)) {}

void TitleScreen::DrawCover(int alpha) {
  c_.cover.SetBlendMode(0);
  c_.cover.SetAlpha(alpha);
  c_.cover.Draw(c_.graphics.Device(), 0, 0, 800, 600);
}

// ---------------------------------------------------------------------------------------------
// Resources

void TitleScreen::LoadItems() {
  gfx::Device& device = c_.graphics.Device();
  CImage32 work;
  work.Create(256, 256);
  tile_count = 0;
  atlas_page = 0;
  state = kTitleLoaded;

  // The nine item pictures, 16 × 3 tiles each, packed into the atlas one after the other.
  CImage32 picture;
  for (int i = 0; i < kTitleItems; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "SYSTEM\\TITLE\\%d.png", i);
    // A missing picture leaves its tiles empty.
    c_.pictures.Load(c_.system, name, picture);
    for (int k = 0; k < kTitleTileRows; ++k) {
      for (int j = 0; j < kTitleTileColumns; ++j) {
        const int tile = tile_count;
        const int page = tile / kAtlasTilesPerPage;
        atlas_page = page;
        PlaceTile(work, picture, tile, 16 * j, 16 * k);
        if (tile % kAtlasTilesPerPage == kAtlasTilesPerPage - 1)
          c_.atlas[static_cast<size_t>(page)].Upload(work.Pixels());
        const int cell = tile % kAtlasTilesPerPage;
        const float u = 16.0f * static_cast<float>(cell % 16) / 256.0f;
        const float v = 16.0f * static_cast<float>(cell / 16) / 256.0f;
        CSprite& s = item_tiles[static_cast<size_t>(i)][static_cast<size_t>(16 * k + j)];
        s.Init(0, 0, 16, 16, u, v, u + 1.0f / 16, v + 1.0f / 16,
               &c_.atlas[static_cast<size_t>(page)]);
        s.SetDevice(&device);
        ++tile_count;
      }
    }
  }
  // The timed choice's picture keeps its own textures, so it is not cut again here.
  atlas_page = tile_count / kAtlasTilesPerPage;
  if (tile_count % kAtlasTilesPerPage != 0)
    c_.atlas[static_cast<size_t>(atlas_page)].Upload(work.Pixels());
}

void TitleScreen::PlaceMenuPicture() {
  CImage32 menu;
  const auto bytes = platform::fs::ReadAll(kMenuPicture);
  if (!bytes || menu.LoadFromPNGMemory(bytes->data(), bytes->size()) != 0) return;
  constexpr int kPerBuffer = scene::kCharacterTextures;
  scene::ChrBuffer& buffer =
      c_.scene.chr.Slot(kMenuTexture / (2 * kPerBuffer)).buffers[(kMenuTexture / kPerBuffer) % 2];
  CImage32 cell;
  cell.Create(256, 256);
  cell.CopyRect(menu, 0, 0, std::min(menu.Width(), 256), std::min(menu.Height(), 256), 0, 0);
  buffer.blocks.Texture(kMenuTexture % kPerBuffer).Upload(cell.Pixels());
  buffer.cache_name.clear();  // the buffer no longer holds the picture of its name
}

// ---------------------------------------------------------------------------------------------
// The draw step

// The title music from its start unless it already plays, and what the menu offers now.
void TitleScreen::StartMusic() {
  CStreamSound& bgm = c_.music;
  if (!(bgm.IsPlaying() && bgm.FileName().find("title.ogg") != std::string::npos)) {
    bgm.Stop();
    const std::string path = platform::fs::CurrentFolder() + "\\SOUND\\BGM\\title.ogg";
    // Without the file the menu still works, silently.
    if (bgm.Open(path) == 0) bgm.Play(true);
  }
  continue_offered = AnySlotSaved();
  pictures_offered = AnyGalleryPictureUnlocked(c_.progress);
  memories_offered = AnyMemoryUnlocked(c_.progress);
  music_offered = AnyMusicHeard(c_.progress);
  movies_offered = false;
  for (int n = 1; n <= kMovieCount; ++n) movies_offered |= c_.progress.IsMovieSeen(n);
}

void TitleScreen::DrawItems() {
  gfx::Device& device = c_.graphics.Device();
  for (int i = 0; i < kTitleItems; ++i) {
    const uint32_t rgb = ItemGrey(*this, i) ? kGreyRgb : i == selection ? kSelectedRgb : kItemRgb;
    const float y = kItemY + kItemStep * static_cast<float>(i);
    for (int k = 0; k < kTitleTileRows; ++k) {
      for (int j = 0; j < kTitleTileColumns; ++j) {
        CSprite& s = item_tiles[static_cast<size_t>(i)][static_cast<size_t>(16 * k + j)];
        s.SetColor(rgb);
        s.SetAlpha(255);
        s.SetBlendMode(0);
        s.Draw(device, kItemX + 16.0f * static_cast<float>(j), y + 16.0f * static_cast<float>(k),
               16, 16);
      }
    }
  }
}

TitleStep TitleScreen::Menu(ScreenInput& in) {
  bool hit = false;
  if (!in.dialog_open) {
    for (int i = 0; i < kTitleItems; ++i) {
      if (PointerOnItem(in.pointer, i)) {
        selection = i;
        hit = true;
      }
    }
  }
  c_.draw_layers();
  DrawItems();
  if (in.dialog_open) return TitleStep::kStay;
  if (in.Key(DIK_UP)) selection = NextActiveItem(*this, selection, -1);
  if (in.Key(DIK_DOWN)) selection = NextActiveItem(*this, selection, 1);
  if (!in.Decide(hit)) return TitleStep::kStay;
  c_.system_se[kOkSound].Play(false);
  switch (selection) {
    case kTitleNewGame:
      fade = 0;
      state = kTitleFadeOut;
      break;
    case kTitleContinue:
      // The load screen over the title; a cancel there comes back to this menu.
      if (continue_offered) return TitleStep::kLoadScreen;
      break;
    case kTitleExtrasItem:
      // The extras are the gallery items below: the selection goes to the first that acts.
      if (!ItemGrey(*this, kTitleExtrasItem))
        selection = NextActiveItem(*this, kTitleExtrasItem, 1);
      break;
    case kTitlePicturesItem:
      if (pictures_offered) state = kTitlePictureGallery;
      break;
    case kTitleMemoriesItem:
      if (memories_offered) state = kTitleMemoryReplay;
      break;
    case kTitleMusicItem:
      if (music_offered) state = kTitleMusicRoom;
      break;
    case kTitleSettings: return TitleStep::kSettings;
    case kTitleMoviesItem:
      if (movies_offered) state = kTitleMovieGallery;  // once a movie was seen
      break;
    case kTitleQuit: return TitleStep::kQuit;
    default: break;  // not offered in this game
  }
  return TitleStep::kStay;
}

TitleStep TitleScreen::Flip(ScreenInput& in) {
  if (state >= kTitleLoaded && state <= kTitleMusic) {
    // Both are read, so neither press is left over for the menu.
    const bool decide = in.Decide();
    const bool cancel = in.Cancel();
    if (decide || cancel) c_.system_se[kLogoSound].FadeOut(0);
    if (state < kTitleMusic) {
      state = kTitleMusic;
      DrawCover(255);
      return TitleStep::kStay;
    }
  }

  // A gallery's entry (from items 3, 4, 5 and 6) leaves the title in its music step, for the
  // way back.
  auto enter = [this](TitleStep room) {
    state = kTitleMusic;
    return room;
  };
  switch (state) {
    case kTitleMusic:
      c_.draw_layers();
      StartMusic();
      state = kTitleMenu;
      return TitleStep::kStay;
    case kTitleMenu: return Menu(in);
    case kTitleFadeOut:
      c_.draw_layers();
      fade += static_cast<float>(in.elapsed) * kFadePerMs;
      DrawCover(static_cast<int>(fade));
      return fade > kFadeEnd ? TitleStep::kNewStory : TitleStep::kStay;
    case kTitlePictureGallery: return enter(TitleStep::kPictureGallery);
    case kTitleMemoryReplay: return enter(TitleStep::kMemoryReplay);
    case kTitleMovieGallery: return enter(TitleStep::kMovieRoom);
    case kTitleMusicRoom: return enter(TitleStep::kMusicRoom);
    case kTitleStory: return TitleStep::kStory;
    default: return TitleStep::kStay;
  }
}
