// The town map: between the episodes of a story day the player picks whom to meet. Nine places
// on an 800 × 600 map carry the characters the day's schedule puts there as small two-frame
// icons; ten slowly turning lit cubes mark the places; hovering an icon opens a popup with the
// place's caption picture and text; holding the left button on an icon loads that character's
// event script and queues the day's continuation, which the next "@CALL_TOWNMAP" loads.
//
// The schedule lives in the save record (day, choices made today, the queued script, and the
// visits per character in the first five favour variables), so it travels with a save. The
// tables cover day indexes 0-9 and two choices a day; beyond them the map keeps to the last
// column and says so in the log.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "platform/window.h"
#include "resource/picture_loader.h"
class CGraphics;
class CPackFile;
class CScript;
class CStreamSound;
struct SaveRecord;

namespace town {

inline constexpr int kPlaceCount = 9;
inline constexpr int kCharacterCount = 5;  // 0-3 the heroines, 4 the town guide
inline constexpr int kGuide = 4;
inline constexpr int kSlotsPerPlace = 4;
inline constexpr int kNowhere = 10;  // a place value that places nobody
inline constexpr int kDays = 10;
inline constexpr int kChoicesPerDay = 2;
inline constexpr int kVisitColumns = 20;
inline constexpr int kMarkerCount = 10;  // markers 0-8 stand on the places; 9 stands alone

inline constexpr int kMapColumns = 50, kMapRows = 38;  // the last row is 8 pixels high
inline constexpr int kIconTiles = 6;  // 96 × 96, 6 × 6 tiles
inline constexpr int kIconSize = 96;
inline constexpr int kCaptionColumns = 20, kCaptionRows = 6;  // 320 × 96
inline constexpr int kAtlasPages = 24;
inline constexpr int kTilesPerPage = 256;

inline constexpr int kIconFrameMs = 750;  // frame "a", then "b"
inline constexpr float kFadeFull = 160.0f;
inline constexpr uint32_t kPopupRgb = 0x1E9D7B;  // RGB (30, 157, 123)

struct PlaceInfo {
  const char* key;  // the caption picture "SYSTEM\TOWN\<key>.png"
  int x, y;  // the anchor the icons gather around
  int dx, dy;  // the side the popup opens to
};
extern const std::array<PlaceInfo, kPlaceCount> kPlaces;
// Marker k's position (x, z) on the ground plane.
extern const std::array<std::array<float, 2>, kMarkerCount> kMarkers;

// The schedule: heroine availability A[c][day][choice], heroine place by visits L[c][visits],
// guide availability G[day] and guide place P[day][choice].
extern const uint8_t kHeroineAvailable[4][kDays][kChoicesPerDay];
extern const uint8_t kHeroinePlace[4][kVisitColumns];
extern const uint8_t kGuideAvailable[kDays];
extern const uint8_t kGuidePlace[kDays][kChoicesPerDay];

// The icon's top-left offset from its place's anchor, for slot s of a place holding n (1-4).
platform::Point IconOffset(int n, int s);

struct Place {
  int count = 0;
  std::array<int, kSlotsPerPlace> slots{-1, -1, -1, -1};
};

struct Hover {
  int place = -1;  // the place hovered last; its cube stays red
  int slot = 0;
  int character = -1;
  bool hovered = false;  // an icon is under the pointer in the last draw
  float fade = 0;  // the popup, 0-160
  bool armed = false;
  int icon_x = 0, icon_y = 0;  // the hovered icon's top-left
};

}  // namespace town

class TownMap {
 public:
  TownMap(CGraphics& graphics, const CPackFile& archive, SaveRecord& record, CScript& script,
          CStreamSound& music, const CTexture& marker_art);
  TownMap(const TownMap&) = delete;
  TownMap& operator=(const TownMap&) = delete;

  // Once at start: the atlas with the map, the icons and the caption pictures; the cube buffer;
  // the cube angle back to 0; the places.
  void Init(PictureLoader& pictures);
  // The pictures Init reads, in its order: the map, the icons, the captions.
  std::vector<PictureLoader::Wanted> PictureOrder() const;
  // Puts the characters of the current day and choice on their places.
  void SetPlace();
  // The map is shown: its music from the start on the map's stream.
  void PlayMusic();
  // The update step: with an icon hovered and the left button held, that character's event is
  // chosen. True when it was: the story goes on with the event script (or, when that cannot be
  // loaded, at once with the day's continuation).
  bool Proc(bool left_held);
  // The draw step: map, cubes, icons and popup. `pointer` is in screen pixels.
  void Flip(platform::Point pointer, uint32_t elapsed);

  // The cube's vertices, with the device resources.
  void SubCubeVertexInit();
  void ReleaseCube() { cube_ready_ = false; }
  bool CubeReady() const { return cube_ready_; }

  const std::array<town::Place, town::kPlaceCount>& Places() const { return places_; }
  const town::Hover& HoverState() const { return hover_; }
  float CubeAngle() const { return cube_angle_; }
  uint32_t IconTimer() const { return icon_timer_; }
  // The caption text of a place: its name, address and telephone, three lines (Shift_JIS).
  static const std::string& CaptionText(int place);

 private:
  // The schedule column used for today: the day index and choice clamped into the tables.
  struct Column {
    int day, choice;
  };
  Column TodayColumn() const;
  void AddCharacter(int place, int character);
  void LoadPictures(PictureLoader& pictures);
  void DrawCube(int marker);
  void DrawOverlay(platform::Point pointer, uint32_t elapsed);
  void DrawPopup(uint32_t elapsed);
  // Tile t's sprite at (x, y), or nothing for a tile the atlas has no room for.
  void DrawTile(int tile, float x, float y, int alpha);
  // Sets the queued continuation of today into the record.
  void QueueContinuation();

  CGraphics& graphics_;
  const CPackFile& archive_;
  SaveRecord& record_;
  CScript& script_;
  CStreamSound& music_;
  const CTexture& marker_art_;

  std::array<CTexture, town::kAtlasPages> atlas_;
  std::array<CSprite, town::kAtlasPages * town::kTilesPerPage> tiles_;
  int tile_count_ = 0;
  int map_first_ = 0, icon_first_ = 0, caption_first_ = 0;
  CSprite plain_;  // the popup's balloon and panel

  std::array<gfx::LitVertex, 24> cube_{};
  bool cube_ready_ = false;

  std::array<town::Place, town::kPlaceCount> places_{};
  town::Hover hover_;
  float cube_angle_ = 0;  // degrees
  uint32_t icon_timer_ = 0;  // ms, 0-1499
};
