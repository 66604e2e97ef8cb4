// The movie room: its list, its panel and the movie in its frame.
#include "screens/movie_room.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "audio/sound.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "platform/sjis.h"
#include "screens/movie_layer.h"

using namespace movie_room;

namespace {

struct Range {
  int first, last;
  const char* text;  // UTF-8
};

// The cars of each entry.
constexpr Range kCars[] = {
    {1, 3, "カプチーノ/シルビア"}, {4, 17, "カプチーノ/セリカ"}, {18, 18, "セリカ"},
    {19, 19, "カプチーノ"}, {20, 20, "ＡＥ８６"}, {21, 28, "カプチーノ/ＡＥ８６"},
    {29, 29, "ＡＥ８６"}, {30, 48, "カプチーノ/インテグラ"}, {49, 49, "インテグラ"},
    {50, 50, "カプチーノ/ハコスカ"}, {51, 51, "ハコスカ"}, {52, 66, "カプチーノ/ハコスカ"},
    {67, 67, "ハコスカ"}, {68, 68, "レガシィ"}, {69, 71, "カプチーノ/レガシィ"},
    {72, 72, "エリーゼ"}, {73, 78, "エリーゼ/レガシィ"}, {79, 79, "レガシィ"},
    {80, 80, "ポルシェ"}, {81, 102, "エリーゼ/ポルシェ"}, {103, 103, "ポルシェ"},
    {104, 104, "エリーゼ"}, {105, 105, "ランエボ"}, {106, 119, "エリーゼ/ランエボ"},
    {120, 120, "ランエボ"}, {121, 121, "ＲＸ－８"}, {122, 135, "エリーゼ/ＲＸ－８"},
    {136, 136, "ＲＸ－８"}, {137, 137, "ＭＲ－２"}, {138, 138, "ＧＴ－Ｒ/ＭＲ－２"},
    {139, 152, "エリーゼ/ＭＲ－２"}, {153, 153, "ＭＲ－２"}, {154, 154, "ＣＲ－Ｘ"},
    {155, 168, "エリーゼ/ＣＲ－Ｘ"}, {169, 169, "ＣＲ－Ｘ"}, {170, 170, "ＧＴ－Ｒ"},
    {171, 182, "エリーゼ/ＧＴ－Ｒ"}, {183, 184, "ＣＲ－Ｘ"},
};

// The passes, each name padded with full-width spaces to seven characters.
constexpr Range kPasses[] = {
    {1, 79, "四ツ谷峠　　　"}, {80, 120, "氷上峠　　　　"}, {121, 136, "四ツ谷峠　　　"},
    {139, 153, "氷上峠　　　　"}, {154, 169, "姫田峠　　　　"}, {170, 184, "四ツ谷峠　　　"},
};

const std::vector<const char*> kYotsuya = {
    "スタート地点", "スタートＳ字", "90度Ｓ字付近", "90度Ｓ字後ストレート", "中腹付近Ｓ字",
    "デッドストレート付近", "デッドストレートカーブ", "45度ヘアピン付近",
    "45度ヘアピン後ストレート", "90度ヘアピン付近", "90度ヘアピン後", "最後のヘアピン", "頂上"};
const std::vector<const char*> kHikami = {
    "スタート地点", "4連続ヘアピン付近", "連続ヘアピン後ストレート", "3連続ヘアピン付近",
    "連続ヘアピン出口", "ロングストレート付近", "ハイスピードカーブ付近",
    "90度ヘアピン後ストレート", "ゆるやかなＳ字", "ゆるやかなＳ字後", "スネークヘアピン付近",
    "ストレート付近", "最後のヘアピン", "頂上"};
const std::vector<const char*> kHimeda = {
    "スタート地点", "Ｓ字付近", "90度ヘアピン付近", "90度ヘアピン後ストレート",
    "ストレート後Ｓ字付近", "連続ヘアピン付近", "連続ヘアピン後ストレート", "最後のＳ字付近",
    "頂上"};

// Places fixed by the story's records; the other entries run through their pass's places in
// order from the start of each stretch, and an entry with one car away from a fixed place shows
// the pass alone.
struct Fixed {
  int n;
  const char* place;  // empty: the pass alone
};
constexpr Fixed kFixedPlaces[] = {{1, "スタート地点"}, {2, "90度Ｓ字付近"}, {18, ""},
                                  {20, "頂上"},       {80, "頂上"},         {154, "頂上"},
                                  {182, "90度ヘアピン付近"}, {184, "90度ヘアピン付近"}};

const char* Find(const Range* table, size_t count, int n) {
  for (size_t i = 0; i < count; ++i)
    if (n >= table[i].first && n <= table[i].last) return table[i].text;
  return nullptr;
}

std::vector<Entry> BuildEntries() {
  std::vector<Entry> entries(kEntries + 1);
  entries[0] = {SJ("欠番"), SJ("未定")};
  for (int n = 1; n <= kEntries; ++n) {
    Entry& e = entries[n];
    e.cars = SJ(Find(kCars, std::size(kCars), n));
    if (!Listed(n)) {
      e.caption = SJ("欠番");
      continue;
    }
    const Range* pass = nullptr;
    for (const Range& r : kPasses)
      if (n >= r.first && n <= r.last) pass = &r;
    const std::string padded = pass->text;
    const std::string name = padded.substr(0, padded.find("　"));
    const std::vector<const char*>& places =
        name == "氷上峠" ? kHikami : name == "姫田峠" ? kHimeda : kYotsuya;
    const char* place = places[static_cast<size_t>(n - pass->first) % places.size()];
    const bool single = e.cars.find('/') == std::string::npos;
    if (single) place = "";
    for (const Fixed& f : kFixedPlaces)
      if (f.n == n) place = f.place;
    e.caption = *place ? SJ(padded + place) : SJ(name);
  }
  return entries;
}

constexpr float kRowY = 68, kRowH = 22;

// Panel buttons, exit and scroll areas: inside when strictly between the edges (an 8 × 8 box
// at the pointer).
struct Box {
  float l, t, r, b;
};
constexpr Box kButtons[6] = {{256, 528, 288, 592}, {288, 528, 384, 592}, {384, 528, 416, 560},
                             {384, 560, 416, 592}, {416, 528, 512, 592}, {512, 528, 544, 592}};
constexpr Box kExitBox = {720, 520, 784, 584};

bool Overlaps(platform::Point p, const Box& b) {
  const float x = static_cast<float>(p.x), y = static_cast<float>(p.y);
  return x < b.r && b.l < x + 8 && y < b.b && y + 8 > b.t;
}

}  // namespace

const Entry& movie_room::EntryOf(int n) {
  static const std::vector<Entry> entries = BuildEntries();
  return entries[static_cast<size_t>(std::clamp(n, 0, kEntries))];
}

bool movie_room::Listed(int n) { return n >= 1 && n <= kEntries && n != 137 && n != 138; }

std::vector<int> movie_room::PageEntries(int w) {
  std::vector<int> rows;
  for (int n = w; n < w + kRows && n <= kEntries; ++n)
    if (Listed(n)) rows.push_back(n);
  return rows;
}

MovieRoom::MovieRoom(CGraphics& graphics, MovieLayer& layer, std::array<CSoundBuffer, 16>& system_se)
    : graphics_(graphics), layer_(layer), se_(system_se) {}

void MovieRoom::Init() {
  group_ = button_ = last_group_ = last_button_ = -1;
  pulse_ = 0;
  w_ = 1;
  s_ = 0;
  loop_ = play_on_ = false;
  playing_ = 0;
  plain_.Init(0, 0, 8, 8);
  plain_.SetDevice(&graphics_.Device());
}

std::string MovieRoom::MoviePath(std::string_view folder, int n) {
  char name[32];
  std::snprintf(name, sizeof name, "%03d.mpg", n);
  return "MOVIE\\" + std::string(folder) + "\\" + name;
}

int MovieRoom::RowCount() const { return static_cast<int>(PageEntries(w_).size()); }

int MovieRoom::SelectedEntry() const {
  const std::vector<int> rows = PageEntries(w_);
  return s_ < static_cast<int>(rows.size()) ? rows[static_cast<size_t>(s_)] : 0;
}

void MovieRoom::HitTest(platform::Point p, bool modal) {
  group_ = kNone;
  button_ = -1;
  if (modal) return;
  for (int i = 0; i < 6; ++i)
    if (Overlaps(p, kButtons[i])) group_ = kPanel, button_ = i;
  if (Overlaps(p, kExitBox)) group_ = kExit, button_ = 0;
  const float page = static_cast<float>(w_ / 20);
  if (w_ / 20 > 0 && (Overlaps(p, {714, 71, 730, 87}) || Overlaps(p, {714, 87, 730, 87 + 40 * page})))
    group_ = kScroll, button_ = 0;
  if (w_ / 20 < 9 &&
      (Overlaps(p, {714, 487, 730, 503}) || Overlaps(p, {714, 143 + 40 * page, 730, 503})))
    group_ = kScroll, button_ = 1;
  if (group_ != kNone) last_group_ = group_, last_button_ = button_;
}

void MovieRoom::ShowEntry(int n) {
  w_ = std::clamp(1 + (n - 1) / kRows * kRows, 1, kLastPageStart);
  const std::vector<int> rows = PageEntries(w_);
  s_ = static_cast<int>(std::find(rows.begin(), rows.end(), n) - rows.begin());
  if (s_ >= static_cast<int>(rows.size())) s_ = 0;
}

void MovieRoom::PlayEntry(int n, const Input& in) {
  layer_.Load(MoviePath(in.movie_folder, n), in.movie_volume);
  layer_.Play();
  playing_ = n;
}

void MovieRoom::Act(int group, int button, const Input& in) {
  const int rows = std::max(RowCount(), 1);
  if (group == kPanel) {
    switch (button) {
      case 0: s_ = (s_ + rows - 1) % rows; break;
      case 1:
        if (SelectedEntry() > 0) PlayEntry(SelectedEntry(), in);
        break;
      case 2: loop_ = !loop_; break;
      case 3: play_on_ = !play_on_; break;
      case 4:
        layer_.Stop();
        playing_ = 0;
        break;
      case 5: s_ = (s_ + 1) % rows; break;
      default: break;
    }
  } else if (group == kScroll) {
    se_[0].Play(false);
    if (button == 0 && w_ > 19) w_ -= kRows;
    if (button == 1 && w_ < kLastPageStart) w_ += kRows;
    s_ = std::min(s_, std::max(RowCount() - 1, 0));
  }
}

bool MovieRoom::Proc(const Input& in) {
  HitTest(in.pointer, in.modal);
  if (in.modal) return false;
  if (in.cancel || (in.left_click && group_ == kExit) || (in.decide_key && last_group_ == kExit)) {
    se_[1].Play(false);
    layer_.Stop();
    playing_ = 0;
    return true;
  }
  if (in.left_click && group_ != kNone) {
    Act(group_, button_, in);
  } else if (in.decide_key && last_group_ != kNone) {
    Act(last_group_, last_button_, in);
  }

  // A movie of the room that has run to its end: again, or the next one.
  if (playing_ > 0 && layer_.Active() && layer_.Completed()) {
    if (loop_) {
      PlayEntry(playing_, in);
    } else if (play_on_) {
      int next = playing_ + 1;
      while (next <= kEntries && !Listed(next)) ++next;
      if (next <= kEntries) {
        ShowEntry(next);
        PlayEntry(next, in);
      }
    }
  }
  return false;
}

void MovieRoom::Rect(float x, float y, float w, float h, uint32_t rgb, int alpha) {
  plain_.SetColor(rgb);
  plain_.SetAlpha(alpha);
  plain_.Draw(graphics_.Device(), x, y, w, h);
}

void MovieRoom::Flip(uint32_t elapsed) {
  pulse_ = (pulse_ + elapsed) % 3600;
  Rect(0, 0, 800, 600, 0x1A2230, 255);
  Rect(56, 60, 680, 452, 0x283448, 255);  // the list's panel
  Rect(240, 520, 320, 80, 0x283448, 255);  // the player panel

  const int bar_alpha =
      static_cast<int>(96 * std::sin(static_cast<double>(pulse_) * 0.0017453289) + 96);
  Rect(70, kRowY + kRowH * static_cast<float>(s_), 664, 16, 0xA0A0FF, bar_alpha);

  const std::vector<int> rows = PageEntries(w_);
  for (size_t k = 0; k < rows.size(); ++k) {
    const int top = static_cast<int>(kRowY + kRowH * static_cast<float>(k));
    const Entry& e = EntryOf(rows[k]);
    graphics_.DrawText(kFont14, e.caption, {70, top, 422, top + 22}, 0xFFFFFFFFu, 0);
    graphics_.DrawText(kFont14, e.cars, {512, top, 702, top + 22}, 0xFFFFFFFFu, 0);
  }

  // The scroll bar: arrows, track, thumb.
  Rect(714, 71, 16, 16, group_ == kScroll && button_ == 0 ? 0xFFFFFF : 0xAAAAAA, 255);
  Rect(714, 487, 16, 16, group_ == kScroll && button_ == 1 ? 0xFFFFFF : 0xAAAAAA, 255);
  Rect(720, 87, 4, 400, 0x333333, 192);
  Rect(714, 87 + 40 * static_cast<float>(w_ / 20), 16, 40, 0xFFB060, 255);

  // The panel: the toggles lit while on; the hovered button bright.
  for (int i = 0; i < 6; ++i) {
    const Box& b = kButtons[i];
    const bool lit = (i == 2 && loop_) || (i == 3 && play_on_);
    const bool hot = group_ == kPanel && button_ == i;
    Rect(b.l + 1, b.t + 1, b.r - b.l - 2, b.b - b.t - 2, lit ? 0x60A060 : 0x506070, 255);
    if (hot) Rect(b.l + 1, b.t + 1, b.r - b.l - 2, b.b - b.t - 2, 0xFFFFFF, 64);
  }
  static const std::string labels[6] = {SJ("前"), SJ("再生"), SJ("繰"), SJ("続"), SJ("停止"),
                                        SJ("次")};
  for (int i = 0; i < 6; ++i) {
    const Box& b = kButtons[i];
    graphics_.DrawText(kFont14, labels[i],
                       {static_cast<int>(b.l), static_cast<int>(b.t) + (i == 2 || i == 3 ? 8 : 24),
                        static_cast<int>(b.r), static_cast<int>(b.b)},
                       0xFFFFFFFFu, DT_CENTER);
  }
  Rect(728, 528, 48, 48, group_ == kExit ? 0x8090B0 : 0x506070, 255);  // the exit button
  static const std::string exit_label = SJ("戻る");
  graphics_.DrawText(kFont14, exit_label, {728, 544, 776, 576}, 0xFFFFFFFFu, DT_CENTER);

  // A movie of the room: the list dimmed, the picture in its frame.
  if (layer_.Active()) {
    layer_.Poll();
    Rect(56, 60, 680, 452, 0x000000, 176);
    Rect(kFrameX - 4, kFrameY - 4, kFrameW + 8, kFrameH + 8, 0x000000, 255);
    layer_.Draw(kFrameX, kFrameY, kFrameW, kFrameH);
  }
}
