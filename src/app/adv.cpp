// CADV's construction, one-time start-up and the device hooks.
#include "app/adv.h"

#include "app/process.h"

CADV::CADV(Process& process) : modes(DefaultModes()), process_(process) {}

void CADV::Init() {
  platform::Window& window = process_.platform.window;
  window.SetCursor(platform::Cursor::Game);
  game_mode = MODE_TITLE;

  // The sub-systems in their order; each area fills its own.
  LayersSetup();
  BacklogSetup();
  DialogArtSetup();
  SaveLoadSetup();
  SystemMenuSetup();
  ChoiceSetup();
  LoadTitleResources();
  ConfigSetup();
  TownSetup();
  LoadProgress();

  text_hidden_by_script = true;
  text_hidden_by_player = false;
  system_menu_open = false;

  LoadReadPositions();
  ready = true;
}

void CADV::ReleaseDeviceResources() {}

void CADV::RestoreDeviceResources() {}
