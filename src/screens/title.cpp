// The title screen: the title picture with a column of nine menu items and the title music. It
// has no update step; its draw step reads the input too. Also here: the loader of the title's and
// the system's resources (run at start-up and on every way back), the way back itself, and the
// start of a new story after the fade to black.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"
#include "platform/fs.h"
#include "platform/log.h"

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

const char kTitlePicture[] = "SYSTEM\\TITLE\\title.png";
const char kBlankPicture[] = "SYSTEM\\blank.png";
const char kMenuPicture[] = "SYSTEM\\menu.png";
const char kStartupScript[] = "SCP\\startup.scp";

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
bool PointerOnItem(const CADV& adv, int i) {
  const int x = adv.pointer.x, y = adv.pointer.y;
  const float top = kItemY + kItemStep * static_cast<float>(i);
  return static_cast<float>(x) < kItemX + kItemW && kItemX < static_cast<float>(x + 4) &&
         static_cast<float>(y) < top + kItemH && top < static_cast<float>(y + 4);
}

void DrawCover(CADV& adv, int alpha) {
  CSprite& black = adv.fill_sprites[CADV::kFillBlack];
  black.SetBlendMode(0);
  black.SetAlpha(alpha);
  black.Draw(adv.process().graphics.Device(), 0, 0, 800, 600);
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

// ---------------------------------------------------------------------------------------------
// Resources

// The title's pictures in the order LoadTitleResources (and after it the way back) reads them,
// so the workers decode them side by side while the first ones are cut into tiles.
void CADV::ExpectTitlePictures(bool with_return) {
  std::vector<PictureLoader::Wanted> wanted;
  char name[32];
  for (int i = 0; i < kTitleItems; ++i) {
    std::snprintf(name, sizeof name, "SYSTEM\\TITLE\\%d.png", i);
    wanted.push_back({&process_.system_pkd, name});
  }
  wanted.push_back({&process_.system_pkd, kBlankPicture});
  wanted.push_back({&process_.system_pkd, kTitlePicture});
  if (with_return) {
    wanted.push_back({&process_.system_pkd, kTitlePicture});
    wanted.push_back({&process_.system_pkd, kBlankPicture});
  }
  process_.pictures.Expect(wanted);
}

void CADV::LoadTitleResources() {
  TitleScreen& t = title;
  if (!title_pictures_expected_) ExpectTitlePictures(false);
  title_pictures_expected_ = false;
  gfx::Device& device = process_.graphics.Device();
  process_.bgm.FadeOut(1);
  for (CSoundBuffer& se : process_.script_se) se.FadeOut(0);

  CImage32 work;
  work.Create(256, 256);
  t.tile_count = 0;
  t.atlas_page = 0;
  t.state = kTitleLoaded;

  // The nine item pictures, 16 × 3 tiles each, packed into the atlas one after the other.
  CImage32 picture;
  for (int i = 0; i < kTitleItems; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "SYSTEM\\TITLE\\%d.png", i);
    // A missing picture leaves its tiles empty.
    process_.pictures.Load(process_.system_pkd, name, picture);
    for (int k = 0; k < kTitleTileRows; ++k) {
      for (int j = 0; j < kTitleTileColumns; ++j) {
        const int tile = t.tile_count;
        const int page = tile / kAtlasTilesPerPage;
        t.atlas_page = page;
        PlaceTile(work, picture, tile, 16 * j, 16 * k);
        if (tile % kAtlasTilesPerPage == kAtlasTilesPerPage - 1)
          blank_textures[static_cast<size_t>(page)].Upload(work.Pixels());
        const int cell = tile % kAtlasTilesPerPage;
        const float u = 16.0f * static_cast<float>(cell % 16) / 256.0f;
        const float v = 16.0f * static_cast<float>(cell / 16) / 256.0f;
        CSprite& s = t.item_tiles[static_cast<size_t>(i)][static_cast<size_t>(16 * k + j)];
        s.Init(0, 0, 16, 16, u, v, u + 1.0f / 16, v + 1.0f / 16,
               &blank_textures[static_cast<size_t>(page)]);
        s.SetDevice(&device);
        ++t.tile_count;
      }
    }
  }
  // The timed choice's picture keeps its own textures (ChoiceSetup), so it is not cut again here.
  t.atlas_page = t.tile_count / kAtlasTilesPerPage;
  if (t.tile_count % kAtlasTilesPerPage != 0)
    blank_textures[static_cast<size_t>(t.atlas_page)].Upload(work.Pixels());

  process_.bgm.Stop();
  for (CSoundBuffer& se : process_.script_se) se.Stop();
  process_.system_se[kLogoSound].Stop();
  for (int s = 0; s < scene::kSlotCount; ++s)
    for (scene::ChrBuffer& b : scene.chr.Slot(s).buffers) b.SetAlpha(0);

  // The title picture must be the one shown: a story may have left channel 1 in front or a
  // transition running, which would show the blank picture instead.
  scene.bg.Reset();
  SubBGLoadFromPNG(1, kBlankPicture);
  SubBGLoadFromPNG(0, kTitlePicture);

  LoadSystemSounds();

  fill_sprites[kFillBlack].SetAlpha(255);
  fill_sprites[kFillBlack].SetBlendMode(0);
}

// ---------------------------------------------------------------------------------------------
// The way back

void CADV::ReturnToTitle() {
  // Decoded while the sounds stop and the read positions are written.
  ExpectTitlePictures(true);
  title_pictures_expected_ = true;
  process_.bgm.FadeOut(0);
  for (CSoundBuffer& se : process_.script_se)
    if (se.IsPlaying()) se.FadeOut(0);
  for (CStreamSound& voice : process_.voices) voice.FadeOut(2);

  movie_layer.Stop();
  SaveReadPositions();
  LoadTitleResources();
  game_mode = MODE_TITLE;
  title.state = kTitleMusic;

  // The menu picture is a loose file of the game's folder, beside the archives.
  CImage32 menu;
  bool menu_loaded = false;
  if (const auto bytes = platform::fs::ReadAll(kMenuPicture))
    menu_loaded = menu.LoadFromPNGMemory(bytes->data(), bytes->size()) == 0;
  SubBGLoadFromPNG(0, kTitlePicture);
  SubBGLoadFromPNG(1, kBlankPicture);
  if (menu_loaded) {
    constexpr int kPerBuffer = scene::kCharacterTextures;
    scene::ChrBuffer& buffer =
        scene.chr.Slot(kMenuTexture / (2 * kPerBuffer)).buffers[(kMenuTexture / kPerBuffer) % 2];
    CImage32 cell;
    cell.Create(256, 256);
    cell.CopyRect(menu, 0, 0, std::min(menu.Width(), 256), std::min(menu.Height(), 256), 0, 0);
    buffer.blocks.Texture(kMenuTexture % kPerBuffer).Upload(cell.Pixels());
    buffer.cache_name.clear();  // the buffer no longer holds the picture of its name
  }

  clickable.active = false;
  // A day the map queued belongs to the story left behind.
  std::memset(save_record.TownPendingScript, 0, sizeof save_record.TownPendingScript);
  confirm_open = false;
  confirmation.title = false;
  process_.bgm.Stop();
}

void CADV::SetTitleState(int32_t state) {
  title.state = state;
}

// ---------------------------------------------------------------------------------------------
// The draw step

// A story from a menu (the title's new story, a gallery's replay): an empty scene under an
// opaque cover, the script loaded. The first script's failure is also shown to the player; a
// replay that cannot be loaded runs empty, and its end leads back to its gallery.
void CADV::StartMenuScript(const std::string& path, bool first_script) {
  CADV& a = *this;
  a.BeginStory();
  a.game_mode = MODE_ADV;
  a.fill_sprites[CADV::kFillBlack].SetAlpha(255);
  if (first_script)
    a.LoadStartupScript(path);
  else if (a.script.Load(path))
    WriteLog(1, "Load Script [" + path + "]", "CADV::StartMenuScript", __LINE__);
  else
    WriteLog(2, "ERROR: Load fail [" + path + "]", "CADV::StartMenuScript", __LINE__);

  a.text_box.Advance(-1);
  a.text_box.SetBoxAlpha(255);
  a.text_hidden_by_script = true;
  a.system_menu_open = false;
  a.system_menu.state = 0;

  scene::Scene& s = a.scene;
  for (int c = 0; c < 2; ++c) {
    scene::BgChannel& ch = s.bg.Channel(c);
    ch.blocks.Clear(s.work);
    ch.blocks.SetBlendMode(0);
    ch.cache_name.clear();
    ch.save_name.fill(0);
  }
  for (int slot = 0; slot < scene::kSlotCount; ++slot) {
    for (int b = 0; b < 2; ++b) {
      s.chr.Clear(slot, b, s.work);
      scene::ChrBuffer& buffer = s.chr.Slot(slot).buffers[b];
      buffer.blocks.SetBlendMode(0);
      for (CSprite& shadow : buffer.shadow) shadow.SetBlendMode(1);
    }
  }
  s.chr.Reset();  // invisible, standard places, every block opaque
  s.bg.Reset();  // opaque, no transition, channel 0 in front
  // An effect the last story left running (a fade to black before it ended) would cover the
  // new one until a script uncovered it.
  s.effects.Reset();
  s.effect_settled = false;
  a.script_state.screen_effect_running = false;
  a.script_state.layer_busy = false;
  a.choice.list = ChoiceList{};
  // Nothing of the last story's sound belongs to the new one's saves.
  a.bgm_name.clear();
  a.bgm_active = a.bgm_looping = false;
  a.se_channel_active.fill(0);
  a.se_channel_looping.fill(0);

  DrawCover(a, 255);
}

void CADV::Title_Flip() {
  TitleScreen& t = title;
  gfx::Device& device = process_.graphics.Device();
  CInput& input = process_.input;

  if (t.state >= kTitleLoaded && t.state <= kTitleMusic) {
    // Both are read, so neither press is left over for the menu.
    const bool decide = IsDecide();
    const bool cancel = IsCancel();
    if (decide || cancel) process_.system_se[kLogoSound].FadeOut(0);
    if (t.state < kTitleMusic) {
      t.state = kTitleMusic;
      DrawCover(*this, 255);
      return;
    }
  }

  switch (t.state) {
    case kTitleMusic: {
      SceneDrawLayers();
      CStreamSound& bgm = process_.bgm;
      if (!(bgm.IsPlaying() && bgm.FileName().find("title.ogg") != std::string::npos)) {
        bgm.Stop();
        const std::string path = platform::fs::CurrentFolder() + "\\SOUND\\BGM\\title.ogg";
        // Without the file the menu still works, silently.
        if (bgm.Open(path) == 0) bgm.Play(true);
      }
      t.continue_offered = AnySlotSaved();
      t.pictures_offered = AnyGalleryPictureUnlocked(progress);
      t.memories_offered = AnyMemoryUnlocked(progress);
      t.music_offered = AnyMusicHeard(progress);
      t.movies_offered = false;
      for (int n = 1; n <= kMovieCount; ++n) t.movies_offered |= progress.IsMovieSeen(n);
      t.state = kTitleMenu;
      break;
    }

    case kTitleMenu: {
      bool hit = false;
      if (!confirm_open) {
        for (int i = 0; i < kTitleItems; ++i) {
          if (PointerOnItem(*this, i)) {
            t.selection = i;
            hit = true;
          }
        }
      }
      SceneDrawLayers();
      for (int i = 0; i < kTitleItems; ++i) {
        const uint32_t rgb = ItemGrey(t, i)        ? kGreyRgb
                             : i == t.selection ? kSelectedRgb
                                                : kItemRgb;
        const float y = kItemY + kItemStep * static_cast<float>(i);
        for (int k = 0; k < kTitleTileRows; ++k) {
          for (int j = 0; j < kTitleTileColumns; ++j) {
            CSprite& s = t.item_tiles[static_cast<size_t>(i)][static_cast<size_t>(16 * k + j)];
            s.SetColor(rgb);
            s.SetAlpha(255);
            s.SetBlendMode(0);
            s.Draw(device, kItemX + 16.0f * static_cast<float>(j),
                   y + 16.0f * static_cast<float>(k), 16, 16);
          }
        }
      }
      if (confirm_open) break;
      if (input.KeyPressed(DIK_UP)) t.selection = NextActiveItem(t, t.selection, -1);
      if (input.KeyPressed(DIK_DOWN)) t.selection = NextActiveItem(t, t.selection, 1);
      if (!IsDecide(hit)) break;
      process_.system_se[kOkSound].Play(false);
      switch (t.selection) {
        case kTitleNewGame:
          t.fade = 0;
          t.state = kTitleFadeOut;
          break;
        case kTitleContinue:
          // The load screen over the title; a cancel there comes back to this menu.
          if (t.continue_offered) OpenSaveLoad(false);
          break;
        case kTitleExtrasItem:
          // The extras are the gallery items below: the selection goes to the first that acts.
          if (!ItemGrey(t, kTitleExtrasItem)) t.selection = NextActiveItem(t, kTitleExtrasItem, 1);
          break;
        case kTitlePicturesItem:
          if (t.pictures_offered) t.state = kTitlePictureGallery;
          break;
        case kTitleMemoriesItem:
          if (t.memories_offered) t.state = kTitleMemoryReplay;
          break;
        case kTitleMusicItem:
          if (t.music_offered) t.state = kTitleMusicRoom;
          break;
        case kTitleSettings: OpenConfig(MODE_TITLE); break;
        case kTitleMoviesItem:
          if (t.movies_offered) t.state = kTitleMovieGallery;  // once a movie was seen
          break;
        case kTitleQuit: OpenQuitConfirmation(); break;
        default: break;  // not offered in this game
      }
      break;
    }

    case kTitleFadeOut:
      SceneDrawLayers();
      t.fade += static_cast<float>(frame_time) * kFadePerMs;
      DrawCover(*this, static_cast<int>(t.fade));
      if (t.fade > kFadeEnd) StartMenuScript(kStartupScript, true);
      break;

    // The galleries' entries, from items 3, 4, 5 and 6.
    case kTitlePictureGallery:
      CGMODE_Init();
      game_mode = MODE_CGMODE;
      script_end_mode = MODE_TITLE;
      t.state = kTitleMusic;
      break;
    case kTitleMemoryReplay:
      OMOIDE_Init();
      game_mode = MODE_OMOIDE;
      script_end_mode = MODE_TITLE;
      t.state = kTitleMusic;
      break;
    case kTitleMovieGallery:
      MOVIE_Init();
      game_mode = MODE_MOVIE;
      script_end_mode = MODE_TITLE;
      t.state = kTitleMusic;
      break;
    case kTitleMusicRoom:
      MUSIC_Init();
      game_mode = MODE_MUSIC;
      script_end_mode = MODE_TITLE;
      t.state = kTitleMusic;
      break;
    case kTitleStory: game_mode = MODE_ADV; break;
    default: break;
  }
}
