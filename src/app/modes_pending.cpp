// The set-ups and mode steps whose areas are not built yet. Each area moves its own out of this
// file into its screen's file when it lands.
#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"

void CADV::BacklogSetup() {}
void CADV::SaveLoadSetup() {}
void CADV::SystemMenuSetup() {}
void CADV::LoadTitleResources() {}
void CADV::ConfigSetup() {}
void CADV::TownSetup() {}
void CADV::ConfirmDialog() {}

// ADV_Proc, the interpreter's part of the story, is in src/script/adv_interpreter.cpp.
void CADV::SaveLoad_Proc() {}
void CADV::SaveLoad_Flip() {}
void CADV::Config_Proc() {}
void CADV::Config_Flip() {}
void CADV::Backlog_Flip() {}
// Until the title screen exists it shows the system textures, so a run proves they are loaded
// and drawn, and a click or Return starts the story.
void CADV::Title_Flip() {
  gfx::Device& device = process().graphics.Device();
  for (int i = 0; i < 3; ++i) {
    CSprite sprite;
    sprite.Init(0, 0, 256, 256, 0, 0, 1, 1, &system_textures[i]);
    sprite.Draw(device, 16.0f + 264.0f * i, 172.0f, 256, 256);
  }
  CInput& input = process().input;
  bool start = left_click;
  start |= input.KeyPressed(DIK_RETURN);
  start |= input.KeyPressed(DIK_SPACE);
  if (start && script.Load("SCP\\startup.scp")) {
    adv_state = ADV_RUNNING;
    game_mode = MODE_ADV;
  }
}
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
