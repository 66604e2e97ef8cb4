// The music room (MODE_MUSIC): the game's twenty pieces in a list with a pulsing selection bar,
// and a player panel: previous, play, stop, next and two toggles. The pieces play from
// "SOUND\BGM\" on the music stream, once each, unless a toggle says otherwise: the first repeats
// the piece that ends, the second goes on with the next piece of the list. Whatever played when
// the room was entered keeps playing until a button stops or replaces it; the engine stops the
// room's piece when the room is left. The hovered element survives between visits, so the
// keyboard acts on whatever the pointer touched last.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "screens/gallery_atlas.h"

inline constexpr int kMusicPieces = 20;

struct MusicPiece {
  std::string title;  // Shift_JIS, in 「…」
  const char* file;  // under "SOUND\BGM\"
};
const std::array<MusicPiece, kMusicPieces>& MusicTable();
// The piece whose file is `file` (no folder; case ignored), or -1.
int FindMusicPiece(std::string_view file);
bool AnyMusicHeard(const ProgressData& progress);

// Hovered group values.
inline constexpr int kMusicHoverPanel = 0;
inline constexpr int kMusicHoverReturn = 3;
// Panel buttons.
inline constexpr int kMusicPrevious = 0, kMusicPlay = 1, kMusicLoop = 2, kMusicPlayAll = 3,
                     kMusicStop = 4, kMusicNext = 5;

class MusicRoom {
 public:
  explicit MusicRoom(GalleryContext context);

  // MUSIC_Init: the button sprites; selection, toggles, hovered button and pulse from the start.
  void Init();
  GalleryStep Proc(const GalleryInput& in);
  void Flip(uint32_t elapsed);

  int selection() const { return selection_; }
  int hovered_group() const { return hovered_group_; }
  int hovered_button() const { return hovered_button_; }
  bool loop_on() const { return loop_; }
  bool play_all_on() const { return play_all_; }
  int pulse() const { return pulse_; }
  // The piece the room started and that has not been stopped, or -1.
  int playing_piece() const { return playing_; }

 private:
  void StartSelected();
  void Step(int direction);

  GalleryContext c_;
  int hovered_group_ = kMusicHoverPanel;  // not reset by Init
  int hovered_button_ = 0;
  int pulse_ = 0;  // ms, 0-3599
  int selection_ = 0;
  bool loop_ = false;  // the first toggle
  bool play_all_ = false;  // the second toggle
  int playing_ = -1;
  bool cells_made_ = false;
  RoomFrame frame_;
  CSprite bar_;
  std::array<CSprite, 6> normal_, lit_;
};
