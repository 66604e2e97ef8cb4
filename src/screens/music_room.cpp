// The music room: the table of pieces, the panel's buttons, what the toggles do when a piece
// ends, and the screen.
#include "screens/music_room.h"

#include <strings.h>

#include <cmath>

#include "graphics/font.h"
#include "platform/sjis.h"
#include "screens/cells.h"

const std::array<MusicPiece, kMusicPieces>& MusicTable() {
  static const std::array<MusicPiece, kMusicPieces> table{{
      {SJ("「ともしびの町」"), "RZ_OP.ogg"},        {SJ("「灯のあとで」"), "RZ_ED.ogg"},
      {SJ("「いつもの通り」"), "RZ_bgm02.ogg"},     {SJ("「雨のにおい」"), "RZ_bgm03.ogg"},
      {SJ("「駆け出す足音」"), "RZ_bgm04.ogg"},     {SJ("「夜の川辺」"), "RZ_bgm05.ogg"},
      {SJ("「石畳を歩けば」"), "RZ_bgm06.ogg"},     {SJ("「陽だまりの店先」"), "RZ_bgm08.ogg"},
      {SJ("「言えなかったこと」"), "RZ_bgm09.ogg"}, {SJ("「峠へ」"), "RZ_bgm10.ogg"},
      {SJ("「ひとつ目の約束」"), "RZ_bgm12.ogg"},   {SJ("「午後の窓辺」"), "RZ_bgm13.ogg"},
      {SJ("「遠い灯」"), "RZ_bgm14.ogg"},           {SJ("「星を数えて」"), "RZ_bgm11.ogg"},
      {SJ("「張りつめた空」"), "RZ_bgm15.ogg"},     {SJ("「風の街角」"), "RZ_bgm17.ogg"},
      {SJ("「はしゃぐ声」"), "RZ_bgm18.ogg"},       {SJ("「さよならの手前」"), "RZ_bgm19.ogg"},
      {SJ("「町の地図」"), "RZ_MAP.ogg"},           {SJ("「夜明けの灯」"), "RZ_bgm16.ogg"},
  }};
  return table;
}

int FindMusicPiece(std::string_view file) {
  const auto& table = MusicTable();
  for (int i = 0; i < kMusicPieces; ++i) {
    const std::string_view name = table[static_cast<size_t>(i)].file;
    if (name.size() == file.size() && strncasecmp(name.data(), file.data(), name.size()) == 0)
      return i;
  }
  return -1;
}

bool AnyMusicHeard(const ProgressData& progress) {
  for (int i = 0; i < kMusicPieces; ++i)
    if (progress.IsMusicHeard(i)) return true;
  return false;
}

MusicRoom::MusicRoom(GalleryContext context) : c_(std::move(context)) {}

void MusicRoom::Init() {
  hovered_button_ = 0;
  pulse_ = 0;
  selection_ = 0;
  loop_ = play_all_ = false;
  playing_ = -1;
  if (cells_made_) return;
  cells_made_ = true;
  gfx::Device& device = c_.graphics.Device();
  CTexture* art = &c_.dialog_art;
  frame_.Cut(device, *art);
  // Normal and highlighted cells of the second system texture, by button.
  static constexpr int kCells[6][8] = {
      {96, 64, 128, 128, 0, 64, 32, 128},   {96, 0, 192, 64, 0, 0, 96, 64},
      {128, 64, 160, 96, 32, 64, 64, 96},   {128, 96, 160, 128, 32, 96, 64, 128},
      {96, 128, 192, 192, 0, 128, 96, 192}, {160, 64, 192, 128, 64, 64, 96, 128},
  };
  CTexture* sheet = &c_.system_texture2;
  for (int k = 0; k < 6; ++k) {
    const int* q = kCells[k];
    CutCell(normal_[static_cast<size_t>(k)], device, sheet, q[0], q[1], q[2], q[3]);
    CutCell(lit_[static_cast<size_t>(k)], device, sheet, q[4], q[5], q[6], q[7]);
  }
  bar_.Init(0, 0, 8, 8);
}

namespace {

struct Button {
  float x, y, w, h;
};
constexpr Button kButtons[6] = {
    {256, 528, 32, 64}, {288, 528, 96, 64}, {384, 528, 32, 32},
    {384, 560, 32, 32}, {416, 528, 96, 64}, {512, 528, 32, 64},
};

}  // namespace

// Opens and plays the selected piece once; silent when the stream refuses (it is playing) or the
// file is missing.
void MusicRoom::StartSelected() {
  const std::string path =
      std::string("SOUND\\BGM\\") + MusicTable()[static_cast<size_t>(selection_)].file;
  if (c_.bgm.Open(path) >= 0 && c_.bgm.Play(false)) playing_ = selection_;
}

// Previous (-1) or next (+1): the selection moves round the list; a playing stream is replaced
// by the new selection at once.
void MusicRoom::Step(int direction) {
  selection_ = (selection_ + direction + kMusicPieces) % kMusicPieces;
  if (!c_.bgm.IsPlaying()) return;
  c_.bgm.Stop();
  playing_ = -1;
  StartSelected();
}

GalleryStep MusicRoom::Proc(const GalleryInput& in) {
  // The room's piece has ended by itself: again, the next one, or the stream stays idle.
  if (playing_ >= 0 && !c_.bgm.IsPlaying()) {
    const int ended = playing_;
    playing_ = -1;
    if (loop_) {
      selection_ = ended;
      StartSelected();
    } else if (play_all_) {
      selection_ = (ended + 1) % kMusicPieces;
      StartSelected();
    }
  }

  bool hit = false;
  if (!in.dialog_open) {
    if (PointerBoxHits(in.pointer, 720, 520, 784, 584)) {
      hovered_group_ = kMusicHoverReturn;
      hit = true;
    }
    for (int k = 0; k < 6; ++k) {
      const Button& b = kButtons[k];
      if (PointerBoxHits(in.pointer, b.x, b.y, b.x + b.w, b.y + b.h)) {
        hovered_group_ = kMusicHoverPanel;
        hovered_button_ = k;
        hit = true;
      }
    }
  }
  if (in.cancel) {
    c_.cancel_sound.Play(false);
    return GalleryStep::kLeave;
  }
  if (!(in.key_decide || (in.click && hit))) return GalleryStep::kStay;
  if (hovered_group_ == kMusicHoverReturn) {
    c_.cancel_sound.Play(false);
    return GalleryStep::kLeave;
  }
  switch (hovered_button_) {
    case kMusicPrevious: Step(-1); break;
    // No Stop first: while anything plays the stream refuses, and nothing changes.
    case kMusicPlay: StartSelected(); break;
    case kMusicLoop: loop_ = !loop_; break;
    case kMusicPlayAll: play_all_ = !play_all_; break;
    case kMusicStop:
      c_.bgm.Stop();
      playing_ = -1;
      break;
    case kMusicNext: Step(1); break;
    default: break;
  }
  return GalleryStep::kStay;
}

void MusicRoom::Flip(uint32_t elapsed) {
  gfx::Device& device = c_.graphics.Device();
  DrawBackgroundTiles(device, frame_.background, 0);
  DrawHeader(device, c_.title, 6);
  c_.framed_panel(64, 64, 670, 440, 0x333333, 0xA0A0FF);

  (hovered_group_ == kMusicHoverReturn ? frame_.return_hot : frame_.return_normal)
      .Draw(device, 728, 528, 64, 64);
  for (int k = 0; k < 6; ++k) {
    const Button& b = kButtons[k];
    // A toggle that is on stays lit, so the panel shows what it will do.
    const bool on = (k == kMusicLoop && loop_) || (k == kMusicPlayAll && play_all_);
    (k == hovered_button_ || on ? lit_ : normal_)[static_cast<size_t>(k)].Draw(device, b.x, b.y,
                                                                               b.w, b.h);
  }

  pulse_ = static_cast<int>((static_cast<uint32_t>(pulse_) + elapsed) % 3600);
  const int alpha = static_cast<int>(96 * std::sin(pulse_ * 0.0017453289) + 96);
  bar_.SetColor(0xA0A0FF);
  bar_.SetAlpha(alpha);
  bar_.SetBlendMode(0);
  bar_.Draw(device, 70, static_cast<float>(68 + 22 * selection_), 664, 16);

  const auto& table = MusicTable();
  for (int i = 0; i < kMusicPieces; ++i)
    c_.graphics.DrawText(kFont14, table[static_cast<size_t>(i)].title,
                         {70, 68 + 22 * i, 422, 90 + 22 * i}, 0xFFFFFFFFu, DT_LEFT);
}
