// The choices: "@select" boxes and the "@battle_select" timed choice.
#include "app/adv.h"

void CADV::ChoiceSetup() {}
void CADV::ShowChoices(const ChoiceList&) {}
void CADV::ShowTimedChoices(const ChoiceList&) {}
void CADV::ChoiceProc() {}
void CADV::TimedChoiceProc() {}
void CADV::ApplyChoiceModeRules() {}
