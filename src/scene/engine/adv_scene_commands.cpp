// "@bg_sync": the story waits while a scroll is still moving.
#include "app/adv.h"

void CADV::BgSync() {
  if (SceneBgScrolling() && adv_state == ADV_RUNNING) adv_state = ADV_TRANSITION;
}
