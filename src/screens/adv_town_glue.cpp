// CADV's town-map entry points, handed to the TownMap screen with what it needs this frame.
#include "app/adv.h"
#include "app/process.h"

void CADV::Town_init() { town.Init(process_.pictures); }
void CADV::Town_SetPlace() { town.SetPlace(); }
void CADV::PlayTownMusic() { town.PlayMusic(); }
void CADV::SubCubeVertexInit() { town.SubCubeVertexInit(); }

void CADV::Town_Proc() {
  if (confirm_open || !town.Proc(window_active && process_.input.ButtonDown(0))) return;
  // The chosen event (or the day's continuation) runs from its start.
  clickable.active = false;
  script_state.step_cut_logged = false;
  adv_state = ADV_RUNNING;
  game_mode = MODE_ADV;
  StartSettle();
}

void CADV::Town_Flip() { town.Flip(pointer, frame_time); }
