// CADV's settings entry points, handed to the ConfigScreen, and what the screen asks of the
// engine: the settings that act at once, and the way back.
#include "app/adv.h"
#include "app/process.h"
#include "audio/engine/adv_sound.h"

void CADV::ConfigSetup() {
  config.Setup(process_.pictures);
}

void CADV::OpenConfig(GameMode return_mode) {
  config.return_mode = return_mode;
  game_mode = MODE_CONFIG;
}

void CADV::Config_Proc() {
  const SystemData& d = system_data;
  ScreenInput in = InputForScreen();
  switch (config.Proc(in)) {
    case ConfigStep::kLeave:
      game_mode = config.return_mode;
      SaveSystemData();  // a failure keeps the settings in memory; nothing to tell the player
      left_click = right_click = false;
      break;
    case ConfigStep::kDisplaySwitch: toggle_request = true; break;
    case ConfigStep::kTextStyle: text_box.SetTextStyle(d.TextStyle); break;
    case ConfigStep::kMusicVolume:
      process_.bgm.SetVolume(SettingPercent(d.BgmVolume, d.BgmEnabled));
      break;
    case ConfigStep::kEffectVolume:
      SetSeVolumeAll(process_, SettingPercent(d.SeVolume, d.SeEnabled));
      break;
    case ConfigStep::kVoiceVolume:
      SetVoiceVolumeAll(process_, SettingPercent(d.VoiceVolume, d.VoiceEnabled));
      break;
    case ConfigStep::kStay: break;
  }
}

void CADV::Config_Flip() {
  config.Flip(frame_time);
}
