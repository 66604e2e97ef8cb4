// The story mode's update and draw steps. The text box, waiting, skip and auto modes, the
// history and the choices join here as they are built; for now the story runs the script and
// the scene.
#include "app/adv.h"

void CADV::ADV_Proc() {
  SceneAnimeProc();
  if (adv_state == ADV_RUNNING && !script_state.wait_running && !script_state.layer_busy)
    ScriptStep();
}

void CADV::ADV_Flip() {
  SceneDrawLayers();
  SceneDrawEffect();
}
