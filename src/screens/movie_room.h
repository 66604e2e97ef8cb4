// The movie room: the story's race movies in a list of twenty rows a page, each with the pass and
// the place on it and the cars, and a small player panel (previous, play, loop, play on, stop,
// next). The chosen movie plays in a 4:3 frame over the list, which is dimmed meanwhile.
//
// How the room reads:
// - The page start W is the number of the first entry listed (1, 21, ..., 181); the page lists
//   the numbers W to W + 19 that exist, so paging never skips or repeats an entry. Entries 137
//   and 138 are not movies and never appear; the rows after them close up.
// - The highlighted row S is the entry played: "play" plays the entry shown in that row.
//   Previous and next move the highlight over the rows the page has, round the ends.
// - Loop: a movie that ends starts again. Play on: a movie that ends is followed by the next
//   entry of the list, which the highlight follows (onto the next page too). Loop wins when
//   both are on. Both are off when the room is entered.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/sprite.h"
#include "platform/window.h"

class CGraphics;
class CSoundBuffer;
class MovieLayer;

namespace movie_room {

inline constexpr int kEntries = 184;
inline constexpr int kRows = 20;
inline constexpr int kLastPageStart = 181;

struct Entry {
  std::string caption;  // Shift_JIS
  std::string cars;
};
// Entry n (0-184; 0 is the unlisted slot "欠番" / "未定").
const Entry& EntryOf(int n);
// Whether entry n is ever listed (1-184 but 137 and 138).
bool Listed(int n);
// The numbers a page starting at w lists, in order.
std::vector<int> PageEntries(int w);

// The frame the movie is shown in.
inline constexpr float kFrameX = 136, kFrameY = 70, kFrameW = 528, kFrameH = 396;

enum Group { kNone = -1, kPanel = 0, kScroll = 1, kExit = 3 };

// One frame's input, read by the engine.
struct Input {
  platform::Point pointer{};
  bool left_click = false;  // a left click inside the window
  bool decide_key = false;  // Space, Return or numpad Enter
  bool cancel = false;  // Esc or a right click, where it may leave
  bool modal = false;  // a dialog is open: nothing is hovered
  std::string_view movie_folder = "HIGH";  // "HIGH" or "LOW"
  int movie_volume = 8;  // the settings' index 0-8
};

}  // namespace movie_room

class MovieRoom {
 public:
  // `system_se` are the interface sounds (0 ok, 1 cancel).
  MovieRoom(CGraphics& graphics, MovieLayer& layer, std::array<CSoundBuffer, 16>& system_se);
  MovieRoom(const MovieRoom&) = delete;
  MovieRoom& operator=(const MovieRoom&) = delete;

  // A fresh visit: first page, first row, toggles off, nothing hovered.
  void Init();
  // The update step; true when the player leaves the room (the movie is closed then).
  bool Proc(const movie_room::Input& in);
  // The draw step.
  void Flip(uint32_t elapsed);

  int PageStart() const { return w_; }
  int Selection() const { return s_; }
  // The entry the highlighted row shows (0 for an empty row).
  int SelectedEntry() const;
  int Playing() const { return playing_; }  // the entry last started, 0 none
  bool Loop() const { return loop_; }
  bool PlayOn() const { return play_on_; }
  int HoveredGroup() const { return group_; }
  int HoveredButton() const { return button_; }
  // The path of entry n's movie in the given folder ("HIGH" or "LOW").
  static std::string MoviePath(std::string_view folder, int n);

 private:
  void HitTest(platform::Point p, bool modal);
  void Act(int group, int button, const movie_room::Input& in);
  void PlayEntry(int n, const movie_room::Input& in);
  void ShowEntry(int n);  // pages and highlights entry n
  int RowCount() const;
  void Rect(float x, float y, float w, float h, uint32_t rgb, int alpha);

  CGraphics& graphics_;
  MovieLayer& layer_;
  std::array<CSoundBuffer, 16>& se_;
  CSprite plain_;

  int group_ = movie_room::kNone, button_ = -1;
  int last_group_ = movie_room::kNone, last_button_ = -1;  // what the keys act on
  uint32_t pulse_ = 0;  // ms, 0-3599
  int w_ = 1;
  int s_ = 0;
  bool loop_ = false, play_on_ = false;
  int playing_ = 0;
  std::string folder_ = "HIGH";
  int volume_ = 8;
};
