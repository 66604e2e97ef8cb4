// The memory replay (MODE_OMOIDE): four heroines side by side, and along the bottom a band with
// the four memory scenes of the one chosen. Choosing an unlocked memory asks for its replay
// script; the engine runs it and, at its end, enters this screen again. A memory is unlocked by
// "@OMOIDE_FLAG_SET 4h + m + 1" (1-16), which sets its byte of MemorySeen.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "screens/gallery_atlas.h"

inline constexpr int kMemoryHeroines = 4;
inline constexpr int kMemoriesEach = 4;
inline constexpr int kMemoryThumbWidth = 160, kMemoryThumbHeight = 120;
inline constexpr int kMemoryThumbColumns = 10, kMemoryThumbRows = 8;

// Memory m (0-3) of heroine h (0-3) has been reached.
bool MemoryUnlocked(const ProgressData& progress, int heroine, int memory);
bool AnyMemoryUnlocked(const ProgressData& progress);

// MemoryHoverKind values.
inline constexpr int kMemoryHoverThumbnail = 0;
inline constexpr int kMemoryHoverHeroine = 1;
inline constexpr int kMemoryHoverReturn = 3;

class MemoryReplay {
 public:
  explicit MemoryReplay(GalleryContext context);

  // OMOIDE_Init: heroine 0, the second memory, the thumbnail kind; the heroines into the
  // character slots and the locked picture and all sixteen thumbnails into the atlas.
  void Init();
  GalleryStep Proc(const GalleryInput& in);
  void Flip(uint32_t elapsed);
  // After Proc answered kReplay: "SCP\OMOIDE\omoide<h>-<mm>.scp".
  const std::string& ReplayScript() const { return replay_script_; }

  int heroine() const { return heroine_; }
  int selection() const { return selection_; }
  int hover_kind() const { return hover_kind_; }
  int hovered_heroine() const { return hovered_heroine_; }

 private:
  void Cells();

  GalleryContext c_;
  TileAtlas atlas_;
  // First tiles: [0] the locked picture, [1 + 4h + m] memory m of heroine h.
  std::array<int, 1 + kMemoryHeroines * kMemoriesEach> first_{};
  int heroine_ = 0;  // MemoryHeroine
  int selection_ = 1;  // MemorySelection, 0-3
  int hover_kind_ = kMemoryHoverThumbnail;  // MemoryHoverKind
  int hovered_heroine_ = 0;  // kept between visits
  std::string replay_script_;
  bool cells_made_ = false;
  RoomFrame frame_;
  CSprite plain_;
};
