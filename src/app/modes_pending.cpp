// The set-ups and mode steps whose areas are not built yet. Each area moves its own out of this
// file into its screen's file when it lands.
#include "app/adv.h"

void CADV::LayersSetup() {}
void CADV::BacklogSetup() {}
void CADV::DialogArtSetup() {}
void CADV::SaveLoadSetup() {}
void CADV::SystemMenuSetup() {}
void CADV::ChoiceSetup() {}
void CADV::LoadTitleResources() {}
void CADV::ConfigSetup() {}
void CADV::TownSetup() {}
void CADV::ConfirmDialog() {}

void CADV::ADV_Proc() {}
void CADV::ADV_Flip() {}
void CADV::SaveLoad_Proc() {}
void CADV::SaveLoad_Flip() {}
void CADV::Config_Proc() {}
void CADV::Config_Flip() {}
void CADV::Backlog_Flip() {}
void CADV::Title_Flip() {}
void CADV::Town_Proc() {}
void CADV::Town_Flip() {}
void CADV::CGMODE_Proc() {}
void CADV::CGMODE_Flip() {}
void CADV::OMOIDE_Proc() {}
void CADV::OMOIDE_Flip() {}
void CADV::Movie_Proc() {}
void CADV::Movie_Flip() {}
void CADV::Music_Proc() {}
void CADV::Music_Flip() {}
