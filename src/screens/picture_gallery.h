// The picture gallery (MODE_CGMODE): the event pictures the player has seen, in five groups (the
// four heroines and the others) of pages of six thumbnails, with the group's heroine beside the
// grid. Choosing an unlocked thumbnail asks for its replay script; the engine runs it and, at its
// end, enters the gallery again. The hovered element survives between visits, so the keyboard
// acts on whatever the pointer touched last.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "screens/gallery_atlas.h"

inline constexpr int kGalleryGroups = 5;
inline constexpr int kGalleryPerPage = 6;
inline constexpr int kGalleryThumbWidth = 208, kGalleryThumbHeight = 156;
inline constexpr int kGalleryThumbColumns = 13, kGalleryThumbRows = 10;

struct GalleryGroupInfo {
  const char* key;  // "mirel": pictures "ev_mirel01" ..., replays "SCP\CG\mirel01.scp" ...
  int count;
  int Pages() const { return (count + kGalleryPerPage - 1) / kGalleryPerPage; }
};
extern const std::array<GalleryGroupInfo, kGalleryGroups> kGalleryGroupTable;

// Picture n (0-based) of group g has been seen in the story.
bool GalleryPictureUnlocked(const ProgressData& progress, int group, int n);
// Any picture the gallery shows has been seen.
bool AnyGalleryPictureUnlocked(const ProgressData& progress);

// GalleryHoverKind values.
inline constexpr int kGalleryHoverThumbnail = 0;
inline constexpr int kGalleryHoverPage = 1;
inline constexpr int kGalleryHoverTab = 2;
inline constexpr int kGalleryHoverReturn = 3;

class PictureGallery {
 public:
  explicit PictureGallery(GalleryContext context);

  // CGMODE_Init: group 0, page 0, the first thumbnail; the heroines into the character slots.
  void Init();
  // Refills the atlas with the locked picture and the page's six thumbnails.
  void LoadPage(int group, int page);
  GalleryStep Proc(const GalleryInput& in);
  void Flip(uint32_t elapsed);
  // After Proc answered kReplay: "SCP\CG\<key><nn>.scp".
  const std::string& ReplayScript() const { return replay_script_; }

  int group() const { return group_; }
  int page() const { return page_; }
  int selection() const { return selection_; }
  int hover_kind() const { return hover_kind_; }
  int hovered_page() const { return hovered_page_; }
  int hovered_tab() const { return hovered_tab_; }

 private:
  bool Unlocked(int n) const { return GalleryPictureUnlocked(c_.progress, group_, n); }
  void Cells();

  GalleryContext c_;
  TileAtlas atlas_;
  int locked_first_ = -1;  // the locked picture's first tile
  std::array<int, kGalleryPerPage> thumb_first_{};
  int group_ = 0;  // GalleryGroup
  int page_ = 0;  // GalleryPage
  int selection_ = 1;  // GallerySelection, 1-6 (0 after the return button)
  int hover_kind_ = kGalleryHoverThumbnail;  // GalleryHoverKind; kept between visits
  int hovered_tab_ = 0;
  int hovered_page_ = 0;
  std::string replay_script_;
  bool cells_made_ = false;
  RoomFrame frame_;
  CSprite plain_;
  std::array<CSprite, 3> tab_other_, tab_current_;
  std::array<CSprite, kGalleryGroups> tab_labels_;
  std::array<CSprite, 4> page_buttons_;
};
