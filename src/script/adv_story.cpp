// The story mode's update and draw steps, the button bar, hiding the window, skip and auto.
#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"

void CADV::ADV_Proc() {
  SceneAnimeProc();
  if (adv_state == ADV_RUNNING && !script_state.wait_running && !script_state.layer_busy)
    ScriptStep();
}

void CADV::ADV_Flip() {
  SceneDrawLayers();
  SceneDrawEffect();
}

void CADV::ButtonBarProc() {}
void CADV::ButtonBarDraw() {}
bool CADV::HideKeyPressed() { return false; }
bool CADV::Skipping() const {
  return script_state.skip_mode || story.ctrl_skip;
}
