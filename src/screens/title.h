// The title screen: the title picture with a column of nine menu items and the title music. Its
// state is where the title is in its short sequence (logo, music, menu, fade to the story, or a
// hand-over to a gallery), the highlighted menu item, the fade to black, and the sprites of the
// nine item pictures, each cut into 16 × 16 tiles of the shared atlas. The selection survives
// between visits. It has no update step; its draw step reads the input too, and answers what the
// engine is to do (open a screen, start the story, enter a gallery).
//
// Engine library (screens).
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "screens/screen_input.h"

class CGraphics;
class CPackFile;
class PictureLoader;
class CSoundBuffer;
class CStreamSound;
struct ProgressData;
namespace scene {
struct Scene;
}

inline constexpr int kTitleItems = 9;
inline constexpr int kTitleTileRows = 3;
inline constexpr int kTitleTileColumns = 16;
inline constexpr int kTitleItemTiles = kTitleTileRows * kTitleTileColumns;  // 48
inline constexpr int kAtlasTilesPerPage = 256;

// The items that act. 1 (continue) acts while a slot holds a save; 3 (pictures), 4 (memories)
// and 6 (music) once their room has something to show, and 2 (extras) once any of them does,
// moving the selection to the first of them; 5 (movies) once a movie was seen. The items
// without anything to offer are drawn grey and only answer with the decide sound.
inline constexpr int kTitleNewGame = 0;
inline constexpr int kTitleContinue = 1;
inline constexpr int kTitleExtrasItem = 2;
inline constexpr int kTitlePicturesItem = 3;
inline constexpr int kTitleMemoriesItem = 4;
inline constexpr int kTitleMoviesItem = 5;
inline constexpr int kTitleMusicItem = 6;
inline constexpr int kTitleSettings = 7;
inline constexpr int kTitleQuit = 8;

// TitleState values.
inline constexpr int32_t kTitleLoaded = 0;  // after the resources were loaded
inline constexpr int32_t kTitleMusic = 20;  // starts the title music
inline constexpr int32_t kTitleMenu = 21;
inline constexpr int32_t kTitleFadeOut = 22;  // fading to black, then the story
inline constexpr int32_t kTitlePictureGallery = 30;
inline constexpr int32_t kTitleMemoryReplay = 40;
inline constexpr int32_t kTitleMovieGallery = 50;
inline constexpr int32_t kTitleMusicRoom = 60;
inline constexpr int32_t kTitleStory = 99;

// What the title reaches, owned by the engine and alive as long as it.
struct TitleContext {
  CGraphics& graphics;
  const CPackFile& system;  // the item pictures "SYSTEM\TITLE\<i>.png"
  PictureLoader& pictures;  // decodes them, side by side when they were expected
  std::array<CTexture, 18>& atlas;  // the engine's blank textures, the item tiles' home
  CSprite& cover;  // the black full-screen fill
  CStreamSound& music;
  std::array<CSoundBuffer, 16>& system_se;  // 0 ok, 2 the logo
  const ProgressData& progress;  // what the galleries have to show
  scene::Scene& scene;  // the menu picture goes into a character layer's texture
  std::function<void()> draw_layers;  // the scene's layers, under the menu
};

// What the title's draw step asks of the engine.
enum class TitleStep {
  kStay,
  kLoadScreen,  // the load screen over the title
  kSettings,
  kQuit,  // the quit confirmation
  kNewStory,  // the fade to black is over: the first script
  kPictureGallery,
  kMemoryReplay,
  kMovieRoom,
  kMusicRoom,
  kStory,  // back to a story the title was shown over
};

class TitleScreen {
 public:
  explicit TitleScreen(TitleContext context);
  TitleScreen(const TitleScreen&) = delete;
  TitleScreen& operator=(const TitleScreen&) = delete;

  // The nine item pictures, 16 × 3 tiles each, cut into the atlas one after the other; the
  // state back to kTitleLoaded. A missing picture leaves its tiles empty.
  void LoadItems();
  // The way back's part: the menu picture, a loose file of the game's folder beside the
  // archives, into its character-layer texture.
  void PlaceMenuPicture();
  // The draw step.
  TitleStep Flip(ScreenInput& in);
  // The opaque black cover over the whole screen at `alpha`.
  void DrawCover(int alpha);

  int32_t state = kTitleLoaded;  // TitleState
  int32_t selection = 0;  // TitleSelection, 0-8
  float fade = 0;  // TitleFade: the black cover's alpha during the fade-out, 0-256
  // A slot holds a save, so "continue" is offered; looked at whenever the menu comes up.
  bool continue_offered = false;
  // The galleries have something to show (a picture, a memory, a piece heard in the story).
  bool pictures_offered = false;
  bool memories_offered = false;
  bool music_offered = false;
  bool movies_offered = false;  // a movie was seen, so the movie room is offered
  // Tile (row k, column j) of item i is item_tiles[i][16k + j].
  std::array<std::array<CSprite, kTitleItemTiles>, kTitleItems> item_tiles;
  int32_t tile_count = 0;  // tiles placed in the atlas by the current load
  int32_t atlas_page = 0;  // the atlas texture being filled (tile_count / 256)

 private:
  void StartMusic();
  TitleStep Menu(ScreenInput& in);
  void DrawItems();

  TitleContext c_;
};
