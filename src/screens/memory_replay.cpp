// The memory replay: the heroines, the band of memories, the hover and decide rules.
#include "screens/memory_replay.h"

#include <cstdio>

#include "screens/cells.h"

namespace {

// The set-up logs under the picture gallery's name, as the two screens always have.
constexpr const char kOwner[] = "CADV::CGMODE_Init";
constexpr uint32_t kBandRgb = 0x6B4D2A;  // RGB (107, 77, 42)
constexpr uint32_t kLockedRgb = 0x448FFF;
constexpr uint32_t kOutlineArgb = 0xFFFFB060u;

float MemoryLeft(int m) {
  return static_cast<float>(16 + 176 * m);
}

}  // namespace

bool MemoryUnlocked(const ProgressData& progress, int heroine, int memory) {
  if (heroine < 0 || heroine >= kMemoryHeroines || memory < 0 || memory >= kMemoriesEach)
    return false;
  return progress.IsMemorySeen(kMemoriesEach * heroine + memory + 1);
}

bool AnyMemoryUnlocked(const ProgressData& progress) {
  for (int h = 0; h < kMemoryHeroines; ++h)
    for (int m = 0; m < kMemoriesEach; ++m)
      if (MemoryUnlocked(progress, h, m)) return true;
  return false;
}

MemoryReplay::MemoryReplay(GalleryContext context) : c_(std::move(context)) {}

void MemoryReplay::Cells() {
  if (cells_made_) return;
  cells_made_ = true;
  gfx::Device& device = c_.graphics.Device();
  CTexture* art = &c_.dialog_art;
  frame_.Cut(device, *art);
  plain_.Init(0, 0, 8, 8);
}

void MemoryReplay::Init() {
  heroine_ = 0;
  selection_ = 1;
  hover_kind_ = kMemoryHoverThumbnail;
  Cells();
  LoadHeroines(c_, kOwner);

  atlas_.Create(c_.graphics.Device(), kOwner);
  atlas_.Begin();
  CImage32 picture;
  LoadOrEmpty(picture, "OMOIDE\\no_release.png", c_.thumbs, kMemoryThumbWidth, kMemoryThumbHeight,
              kOwner);
  first_[0] = atlas_.Cut(picture, kMemoryThumbColumns, kMemoryThumbRows);
  for (int h = 0; h < kMemoryHeroines; ++h) {
    for (int m = 0; m < kMemoriesEach; ++m) {
      char name[48];
      std::snprintf(name, sizeof name, "OMOIDE\\thumb%d-%02d.png", h + 1, m + 1);
      // A memory not yet reached shows the locked picture: its thumbnail may well be absent.
      if (MemoryUnlocked(c_.progress, h, m))
        LoadOrEmpty(picture, name, c_.thumbs, kMemoryThumbWidth, kMemoryThumbHeight, kOwner);
      else if (picture.LoadFromPNG(name, c_.thumbs) != 0)
        picture.Create(kMemoryThumbWidth, kMemoryThumbHeight);
      first_[static_cast<size_t>(1 + kMemoriesEach * h + m)] =
          atlas_.Cut(picture, kMemoryThumbColumns, kMemoryThumbRows);
    }
  }
  atlas_.Finish();
}

GalleryStep MemoryReplay::Proc(const GalleryInput& in) {
  bool hit = false;
  if (!in.dialog_open) {
    for (int m = 0; m < kMemoriesEach; ++m) {
      if (!MemoryUnlocked(c_.progress, heroine_, m)) continue;
      if (PointerBoxHits(in.pointer, MemoryLeft(m), 456, MemoryLeft(m) + 160, 576)) {
        hover_kind_ = kMemoryHoverThumbnail;
        selection_ = m;
        hit = true;
      }
    }
    for (int h = 0; h < kMemoryHeroines; ++h) {
      const float left = static_cast<float>(200 * h);
      if (PointerBoxHits(in.pointer, left, 0, left + 200, 456)) {
        hover_kind_ = kMemoryHoverHeroine;
        hovered_heroine_ = h;
        hit = true;
      }
    }
    if (PointerBoxHits(in.pointer, 720, 520, 784, 584)) {
      hover_kind_ = kMemoryHoverReturn;
      hit = true;
    }
  }

  if (in.cancel) {
    c_.cancel_sound.Play(false);
    return GalleryStep::kLeave;
  }
  if (!(in.key_decide || (in.click && hit))) return GalleryStep::kStay;
  switch (hover_kind_) {
    case kMemoryHoverThumbnail: {
      if (!MemoryUnlocked(c_.progress, heroine_, selection_)) break;
      c_.ok_sound.Play(false);
      char name[48];
      std::snprintf(name, sizeof name, "SCP\\OMOIDE\\omoide%d-%02d.scp", heroine_ + 1,
                    selection_ + 1);
      replay_script_ = name;
      return GalleryStep::kReplay;
    }
    case kMemoryHoverHeroine:
      // Nothing to reload: all sixteen thumbnails are in the atlas.
      heroine_ = hovered_heroine_;
      c_.ok_sound.Play(false);
      break;
    case kMemoryHoverReturn: c_.cancel_sound.Play(false); return GalleryStep::kLeave;
    default: break;
  }
  return GalleryStep::kStay;
}

void MemoryReplay::Flip(uint32_t elapsed) {
  Cells();
  gfx::Device& device = c_.graphics.Device();
  c_.scene.effects.StepQuake(static_cast<int32_t>(elapsed));
  c_.scene.effects.StepRaster(static_cast<float>(elapsed));

  DrawBackgroundTiles(device, frame_.background, 0);
  for (int h = 0; h < kMemoryHeroines; ++h)
    DrawSlotPicture(device, c_.scene, h / 2, h % 2, 200 * h - 64, 0, 255);

  plain_.SetColor(kBandRgb);
  plain_.SetAlpha(192);
  plain_.SetBlendMode(0);
  plain_.Draw(device, 0, 448, 800, 136);

  for (int m = 0; m < kMemoriesEach; ++m) {
    if (MemoryUnlocked(c_.progress, heroine_, m))
      atlas_.Draw(device, first_[static_cast<size_t>(1 + kMemoriesEach * heroine_ + m)],
                  kMemoryThumbColumns, kMemoryThumbRows, MemoryLeft(m), 456, 0xFFFFFF, 0);
    else
      atlas_.Draw(device, first_[0], kMemoryThumbColumns, kMemoryThumbRows, MemoryLeft(m), 456,
                  kLockedRgb, 2);
  }
  if (hover_kind_ == kMemoryHoverThumbnail) {
    const float l = static_cast<float>(176 * selection_ + 15);
    const float r = static_cast<float>(176 * selection_ + 177);
    const gfx::LinePoint points[5] = {{l, 455}, {r, 455}, {r, 577}, {l, 577}, {l, 455}};
    c_.graphics.Line().Draw(device, points, 5, kOutlineArgb, static_cast<int>(elapsed));
  }

  DrawHeader(device, c_.title, 4);
  (hover_kind_ == kMemoryHoverReturn ? frame_.return_hot : frame_.return_normal).Draw(device, 728, 528, 64, 64);
}
