// CADV's movie entry points: the story's movie commands and layer (MovieLayer) and the movie
// room (MovieRoom), handed what they need this frame.
#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"

namespace {

const char* MovieFolder(const SystemData& d) { return d.MovieHighRes ? "HIGH" : "LOW"; }

}  // namespace

void CADV::MovieLoad(const std::string& file) {
  movie_layer.Load("MOVIE\\" + std::string(MovieFolder(system_data)) + "\\" + file,
                   system_data.MovieVolume);
}
void CADV::MoviePlay() { movie_layer.Play(); }
void CADV::MovieStop() { movie_layer.Stop(); }

bool CADV::MovieHoldsStory() {
  if (!movie_layer.Active()) return false;
  // Esc or a right click inside the window closes the movie; the script goes on next frame.
  CInput& input = process_.input;
  if (window_active && !input.AltEnterHeld() && !confirm_open && !system_menu_open) {
    const bool esc = input.KeyPressed(DIK_ESCAPE);
    if (esc || (right_click && pointer_inside)) {
      right_click = false;
      movie_layer.Stop();
      return true;
    }
  }
  return movie_layer.HoldsStory();
}

void CADV::MovieLayerDraw() {
  if (!movie_layer.Active()) return;
  movie_layer.Poll();
  movie_layer.DrawFullScreen();
}

void CADV::MOVIE_Init() { movie_room.Init(); }

void CADV::Movie_Proc() {
  CInput& input = process_.input;
  movie_room::Input in;
  in.pointer = pointer;
  in.modal = confirm_open;
  in.left_click = left_click && window_active;
  in.decide_key = IsDecide(false);
  in.cancel = window_active && !input.AltEnterHeld() && IsCancel();
  in.movie_folder = MovieFolder(system_data);
  in.movie_volume = system_data.MovieVolume;
  if (!movie_room.Proc(in)) return;
  left_click = right_click = false;
  process_.bgm.Stop();
  SubBGLoadFromPNG(1, "SYSTEM\\blank.png");
  SubBGLoadFromPNG(0, "SYSTEM\\TITLE\\title.png");
  scene.bg.Reset();  // every block opaque again
  game_mode = MODE_TITLE;
}

void CADV::Movie_Flip() { movie_room.Flip(frame_time); }
