// CADV's entry points of the choices (src/screens/choices.*): the story's state while one is
// shown, the auto and skip modes at it, and the decided target followed.
#include "app/adv.h"
#include "app/process.h"

void CADV::ChoiceSetup() { choice.Setup(process_.pictures); }

void CADV::ApplyChoiceModeRules() {
  ChoiceScreen::ApplyModeRules(system_data, story.auto_mode, script_state.skip_mode);
}

void CADV::ShowChoices(const ChoiceList& choices) {
  if (!choice.Show(choices)) return;
  adv_state = ADV_CHOICE;
  ApplyChoiceModeRules();
}

void CADV::ShowTimedChoices(const ChoiceList& choices) {
  choice.ShowTimed(choices);
  adv_state = ADV_TIMED_CHOICE;
  ApplyChoiceModeRules();
}

void CADV::ChoiceProc() {
  ScreenInput in = InputForScreen();
  if (const auto target = choice.Proc(in, system_menu_open)) FollowChoiceTarget(*target);
}

void CADV::TimedChoiceProc() {
  ScreenInput in = InputForScreen();
  if (const auto target = choice.TimedProc(in, system_menu_open)) FollowChoiceTarget(*target);
}
