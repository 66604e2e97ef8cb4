// The engine's side of the audio objects: the settings' volumes as percentages and the volume
// changes the settings screen makes. (Engine library: it may include CADV's headers.)
#pragma once

#include <cstdint>

#include "app/process.h"
#include "audio/voice.h"
#include "save/system_data.h"

// VolumePercent of a volume index (kept to 0-8), or 0 when its switch is off.
int SettingPercent(int32_t volume_index, uint8_t enabled);
// The voice step's view of the settings.
VoiceSettings VoiceSettingsOf(const SystemData& d);
// Every slot of both effect banks / all 16 voice streams get the percentage.
void SetSeVolumeAll(Process& p, int percent);
void SetVoiceVolumeAll(Process& p, int percent);
