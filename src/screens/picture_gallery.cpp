// The picture gallery: page loads into the thumbnail atlas, the hover and decide rules, and the
// screen: heroine, panel, the six cells, header, group tabs, page buttons and the return button.
#include "screens/picture_gallery.h"

#include <cstdio>

#include "scene/event_pictures.h"
#include "screens/cells.h"

namespace {

constexpr const char kOwner[] = "CADV::CGMODE_Init";
constexpr uint32_t kPanelRgb = 0x6B4D2A;  // RGB (107, 77, 42)
constexpr uint32_t kLockedRgb = 0x666666;
constexpr uint32_t kOutlineArgb = 0xFFFFB060u;

float CellX(int position) {
  return static_cast<float>(40 + 224 * (position % 2));
}
float CellY(int position) {
  return static_cast<float>(48 + 168 * (position / 2));
}

}  // namespace

const std::array<GalleryGroupInfo, kGalleryGroups> kGalleryGroupTable{{
    {"mirel", 21},
    {"ondine", 16},
    {"carys", 17},
    {"juno", 17},
    {"etc", 12},
}};

bool GalleryPictureUnlocked(const ProgressData& progress, int group, int n) {
  if (group < 0 || group >= kGalleryGroups || n < 0 || n >= kGalleryGroupTable[group].count)
    return false;
  char name[32];
  std::snprintf(name, sizeof name, "ev_%s%02d", kGalleryGroupTable[group].key, n + 1);
  return progress.IsPictureSeen(scene::FindEventPicture(name));
}

bool AnyGalleryPictureUnlocked(const ProgressData& progress) {
  for (int g = 0; g < kGalleryGroups; ++g)
    for (int n = 0; n < kGalleryGroupTable[g].count; ++n)
      if (GalleryPictureUnlocked(progress, g, n)) return true;
  return false;
}

PictureGallery::PictureGallery(GalleryContext context) : c_(std::move(context)) {}

void PictureGallery::Cells() {
  if (cells_made_) return;
  cells_made_ = true;
  gfx::Device& device = c_.graphics.Device();
  CTexture* art = &c_.dialog_art;
  frame_.Cut(device, *art);
  for (int i = 0; i < 3; ++i) {
    CutCell(tab_other_[i], device, art, 96, 32 * i, 128, 32 * i + 32);
    CutCell(tab_current_[i], device, art, 96, 96 + 32 * i, 128, 128 + 32 * i);
  }
  static constexpr int kLabelCells[kGalleryGroups][2] = {
      {64, 96}, {80, 96}, {64, 128}, {80, 128}, {64, 160}};
  for (int g = 0; g < kGalleryGroups; ++g)
    CutCell(tab_labels_[g], device, art, kLabelCells[g][0], kLabelCells[g][1],
            kLabelCells[g][0] + 16, kLabelCells[g][1] + 32);
  for (int i = 0; i < 4; ++i)
    CutCell(page_buttons_[i], device, &c_.system_texture2, 32 * i, 192, 32 * i + 32, 224);
  plain_.Init(0, 0, 8, 8);
}

void PictureGallery::Init() {
  group_ = 0;
  page_ = 0;
  selection_ = 1;
  Cells();
  LoadPage(0, 0);
  LoadHeroines(c_, kOwner);
}

void PictureGallery::LoadPage(int group, int page) {
  atlas_.Create(c_.graphics.Device(), kOwner);
  atlas_.Begin();
  CImage32 picture;
  LoadOrEmpty(picture, "CGMODE\\no_release.png", c_.thumbs, kGalleryThumbWidth, kGalleryThumbHeight,
              kOwner);
  locked_first_ = atlas_.Cut(picture, kGalleryThumbColumns, kGalleryThumbRows);
  // All six, whether or not the group has that many pictures: the cells stay uniform.
  for (int i = 1; i <= kGalleryPerPage; ++i) {
    char name[48];
    std::snprintf(name, sizeof name, "CGMODE\\thumb%d-%02d.png", group + 1,
                  page * kGalleryPerPage + i);
    const int n = page * kGalleryPerPage + i - 1;
    // Only a picture that is shown is worth its log line when missing.
    if (n < kGalleryGroupTable[group].count && Unlocked(n))
      LoadOrEmpty(picture, name, c_.thumbs, kGalleryThumbWidth, kGalleryThumbHeight, kOwner);
    else if (picture.LoadFromPNG(name, c_.thumbs) != 0)
      picture.Create(kGalleryThumbWidth, kGalleryThumbHeight);
    thumb_first_[static_cast<size_t>(i - 1)] =
        atlas_.Cut(picture, kGalleryThumbColumns, kGalleryThumbRows);
  }
  atlas_.Finish();
}

GalleryStep PictureGallery::Proc(const GalleryInput& in) {
  const GalleryGroupInfo& info = kGalleryGroupTable[group_];
  bool hit = false;
  if (!in.dialog_open) {
    if (PointerBoxHits(in.pointer, 720, 520, 784, 584)) {
      hover_kind_ = kGalleryHoverReturn;
      selection_ = 0;
      hit = true;
    }
    for (int p = 0; p < kGalleryPerPage; ++p) {
      const int n = page_ * kGalleryPerPage + p;
      if (!Unlocked(n)) continue;
      if (PointerBoxHits(in.pointer, CellX(p), CellY(p), CellX(p) + 208, CellY(p) + 158)) {
        hover_kind_ = kGalleryHoverThumbnail;
        selection_ = p + 1;
        hit = true;
      }
    }
    for (int k = kGalleryGroups - 1; k >= 0; --k) {
      const float top = static_cast<float>(16 + 120 * k);
      if (PointerBoxHits(in.pointer, 512, top, 544, top + 64)) {
        hover_kind_ = kGalleryHoverTab;
        hovered_tab_ = k;
        hit = true;
      }
    }
    for (int i = 0; i < info.Pages(); ++i) {
      const float left = static_cast<float>(64 + 32 * i);
      if (PointerBoxHits(in.pointer, left, 544, left + 32, 576)) {
        hover_kind_ = kGalleryHoverPage;
        hovered_page_ = i;
        hit = true;
      }
    }
  }

  if (in.cancel) {
    c_.cancel_sound.Play(false);
    return GalleryStep::kLeave;
  }
  if (!(in.key_decide || (in.click && hit))) return GalleryStep::kStay;
  switch (hover_kind_) {
    case kGalleryHoverThumbnail: {
      const int n = page_ * kGalleryPerPage + selection_ - 1;
      if (selection_ < 1 || !Unlocked(n)) break;
      c_.ok_sound.Play(false);
      char name[48];
      std::snprintf(name, sizeof name, "SCP\\CG\\%s%02d.scp", info.key, n + 1);
      replay_script_ = name;
      return GalleryStep::kReplay;
    }
    case kGalleryHoverPage:
      // A button hovered in an earlier visit may lie beyond this group's pages.
      if (hovered_page_ >= info.Pages()) break;
      page_ = hovered_page_;
      c_.ok_sound.Play(false);
      LoadPage(group_, page_);
      break;
    case kGalleryHoverTab:
      group_ = hovered_tab_;
      page_ = 0;
      c_.ok_sound.Play(false);
      LoadPage(group_, page_);
      break;
    case kGalleryHoverReturn: c_.cancel_sound.Play(false); return GalleryStep::kLeave;
    default: break;
  }
  return GalleryStep::kStay;
}

void PictureGallery::Flip(uint32_t elapsed) {
  Cells();
  gfx::Device& device = c_.graphics.Device();
  const GalleryGroupInfo& info = kGalleryGroupTable[group_];
  c_.scene.effects.StepQuake(static_cast<int32_t>(elapsed));
  c_.scene.effects.StepRaster(static_cast<float>(elapsed));

  DrawBackgroundTiles(device, frame_.background, 16);
  if (group_ < 4) DrawSlotPicture(device, c_.scene, group_ / 2, group_ % 2, 482, 0, 255);
  plain_.SetColor(kPanelRgb);
  plain_.SetAlpha(255);
  plain_.SetBlendMode(0);
  plain_.Draw(device, 0, 0, 512, 600);

  for (int p = 0; p < kGalleryPerPage; ++p) {
    const int n = page_ * kGalleryPerPage + p;
    if (n >= info.count) continue;
    const float x = CellX(p), y = CellY(p);
    if (Unlocked(n))
      atlas_.Draw(device, thumb_first_[static_cast<size_t>(p)], kGalleryThumbColumns,
                  kGalleryThumbRows, x, y, 0xFFFFFF, 0);
    else
      atlas_.Draw(device, locked_first_, kGalleryThumbColumns, kGalleryThumbRows, x, y, kLockedRgb,
                  2);
    if (hover_kind_ == kGalleryHoverThumbnail && p == selection_ - 1) {
      const gfx::LinePoint points[5] = {
          {x - 1, y - 1}, {x + 209, y - 1}, {x + 209, y + 157}, {x - 1, y + 157}, {x - 1, y - 1}};
      c_.graphics.Line().Draw(device, points, 5, kOutlineArgb, static_cast<int>(elapsed));
    }
  }

  DrawHeader(device, c_.title, 3);

  for (int k = kGalleryGroups - 1; k >= 0; --k) {
    const bool current = k == group_;
    std::array<CSprite, 3>& cells = current ? tab_current_ : tab_other_;
    const float y = static_cast<float>(120 * k);
    cells[0].Draw(device, 512, y, 32, 32);
    cells[1].Draw(device, 512, y + 32, 32, 32);
    cells[1].Draw(device, 512, y + 64, 32, 32);
    cells[2].Draw(device, 512, y + 96, 32, 32);
    tab_labels_[k].SetAlpha(current ? 255 : 64);
    tab_labels_[k].Draw(device, 520, y + 48, 16, 32);
  }

  for (int i = 0; i < info.Pages(); ++i) {
    CSprite& b = page_buttons_[static_cast<size_t>(i)];
    b.SetColor(i == hovered_page_ ? 0xFF6060 : i == page_ ? 0xCCFF99 : 0xFFFFFF);
    b.Draw(device, static_cast<float>(64 + 32 * i), 544, 32, 32);
  }

  (hover_kind_ == kGalleryHoverReturn ? frame_.return_hot : frame_.return_normal)
      .Draw(device, 728, 528, 64, 64);
}
