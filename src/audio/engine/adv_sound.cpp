#include "audio/engine/adv_sound.h"

#include <algorithm>

namespace {
// The record comes from a file; an index outside the table must not read past it.
int Index(int32_t i) {
  return std::clamp<int32_t>(i, 0, 8);
}
}  // namespace

int SettingPercent(int32_t volume_index, uint8_t enabled) {
  return enabled ? VolumePercent[Index(volume_index)] : 0;
}

VoiceSettings VoiceSettingsOf(const SystemData& d) {
  VoiceSettings s;
  s.enabled = d.VoiceEnabled != 0;
  s.percent = VolumePercent[Index(d.VoiceVolume)];
  for (int g = 0; g < kVoiceGroups; ++g) {
    s.group_enabled[g] = d.VoiceGroupEnabled[g] != 0;
    s.group_factor[g] = VoiceGroupFactor[Index(d.VoiceGroupVolume[g])];
  }
  return s;
}

void SetSeVolumeAll(Process& p, int percent) {
  for (CSoundBuffer& b : p.system_se) b.SetVolume(percent);
  for (CSoundBuffer& b : p.script_se) b.SetVolume(percent);
}

void SetVoiceVolumeAll(Process& p, int percent) {
  for (CStreamSound& s : p.voices) s.SetVolume(percent);
}
