// The message history (MODE_BACKLOG): earlier pages of the story shown one at a time in the
// story's own text box, complete and in yellow, over the story's pictures, with a scroll bar, a
// return button and, on pages recorded while rollback was on, a button that takes the story back
// to that page. The page on screen when the history opens is the newest entry and is not shown;
// closing brings it back as it was. The mode has no update step: its draw step reads the input.
//
// The pages are the story's history store and checkpoints, which the screen reads by reference;
// the story's pictures under it and the way back to a page are the engine's.
#pragma once

#include <cstdint>

#include "app/game_mode.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "screens/screen_input.h"

class CGraphics;
class CTEXTBOX;
struct CheckpointHistory;
struct HistoryStore;

// BacklogHover values.
inline constexpr int kBacklogGoBack = 1;
inline constexpr int kBacklogReturn = 2;
inline constexpr int kBacklogUp = 3;
inline constexpr int kBacklogDown = 4;
inline constexpr int kBacklogScrollBar = 5;

// What the draw step leaves to the engine: the history closed (by a button, a cancel, or by
// paging down past the newest page, whose rebuild result the story takes), or the story asked
// to go back to the chosen page.
enum class BacklogStep { kStay, kClosed, kPagedOut, kGoBack };

class BacklogScreen {
 public:
  // `black` is the engine's plain black sprite, which the scroll bar's track is drawn with.
  BacklogScreen(CGraphics& graphics, CTEXTBOX& text_box, HistoryStore& history,
                CheckpointHistory& checkpoints, CSprite& black);
  BacklogScreen(const BacklogScreen&) = delete;
  BacklogScreen& operator=(const BacklogScreen&) = delete;

  // Cuts the cells from `sheet` (the first system texture); the history starts empty.
  void Setup(CTexture& sheet);
  // Opens on the page before the one on screen; false (nothing done) when that is the only one.
  bool Open(GameMode from, uint32_t elapsed);
  // History page i, complete, in the text box.
  void Show(int i);
  BacklogStep Flip(ScreenInput& in);
  // The page that was on screen comes back as it was, stopped at the same pause; the result of
  // rebuilding it.
  int Close(uint32_t elapsed);
  // The chosen page was recorded while rollback was on.
  bool GoBackAllowed() const;
  // The rebuild result of the last close by paging.
  int PagedOutResult() const { return paged_out_result_; }

  // The screen's state.
  int32_t index = 0;  // BacklogIndex: the entry chosen, 0 … count − 2
  int32_t shown = -1;  // the entry the text box holds
  GameMode return_mode = MODE_ADV;  // BacklogReturnMode
  bool sliding = false;  // BacklogSliding
  float go_back_x = 800, return_x = 1056;  // left edges of the buttons
  int32_t hover = kBacklogReturn;  // BacklogHover; kept when the pointer leaves

 private:
  void DrawScrollBar(bool bar_hovered);

  CGraphics& graphics_;
  CTEXTBOX& text_box_;
  HistoryStore& history_;
  CheckpointHistory& checkpoints_;
  CSprite& black_;
  int paged_out_result_ = 0;

  CSprite go_back_normal_, go_back_hot_, return_normal_, return_hot_;
  CSprite arrow_, thumb_;
};
