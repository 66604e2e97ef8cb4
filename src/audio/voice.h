// Voices: the table that sorts voice files by speaker, the voice queue the text command fills,
// and the voice step the story runs once per frame while voices are pending.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "audio/stream_sound.h"

inline constexpr int kVoiceQueueSlots = 16;
inline constexpr int kVoiceNameBytes = 64;  // with the terminating NUL
inline constexpr int kVoiceChannels = 8;  // voice streams 0-7 take turns
inline constexpr int kVoiceGroups = 8;  // categories 1-8 use settings groups 0-7

struct VoiceCategoryEntry {
  const char* prefix;  // 3-8 ASCII letters, compared case-sensitively with a name's start
  int category;  // 1-8
};

// The demo's speakers. A voice file is named after its speaker and a number ("akane_0012").
// Categories 1-6 are the six named characters (the first six voice rows of the settings
// screen); 7 is every other man, 8 every other woman. Later entries win, so "mobf" (crowd,
// women) overrides "mob" (crowd, men).
//
//   akane 1   hina 2   mio 3   sora 4   yuzu 5   kaede 6
//   man, boy, oldman, clerk, racer, mob  7
//   woman, girl, mother, mobf            8
inline constexpr VoiceCategoryEntry kVoiceCategories[16] = {
    {"akane", 1}, {"hina", 2}, {"mio", 3},    {"sora", 4},  {"yuzu", 5},  {"kaede", 6},
    {"man", 7},   {"boy", 7},  {"oldman", 7}, {"clerk", 7}, {"racer", 7}, {"mob", 7},
    {"woman", 8}, {"girl", 8}, {"mother", 8}, {"mobf", 8},
};

// 1-8 by the last matching prefix; 0 when none matches.
int VoiceCategory(std::string_view name);

// The engine's voice queue (kept in CADV): names without folder and extension.
struct VoiceQueueFields {
  char VoiceQueue[kVoiceQueueSlots][kVoiceNameBytes] = {};
  int VoiceReadIndex = 0;  // the slot the step looks at next
  uint8_t VoicePending = 0;  // a page queued voices
  int VoiceChannel = 0;  // the stream the next voice plays on

  void Clear();
  // Stores a name in a slot (cut to 63 bytes); slots wrap after 15.
  void Store(int slot, std::string_view name);
};

// What the step needs of the settings.
struct VoiceSettings {
  bool enabled = true;  // VoiceEnabled
  int percent = 100;  // the voice volume as a percentage
  bool group_enabled[kVoiceGroups] = {true, true, true, true, true, true, true, true};
  float group_factor[kVoiceGroups] = {1, 1, 1, 1, 1, 1, 1, 1};
};

// One voice step: the name at VoiceReadIndex is played on stream VoiceChannel (the previous
// stream fades out quickly); an empty slot, voices switched off or a switched-off speaker
// group only move on to the next slot, leaving VoicePending set so a later name of the same
// line stands in. While skipping, no voice starts. base_folder is put before "SOUND\VOICE\".
void VoiceStep(VoiceQueueFields& q, std::span<CStreamSound> voices, const VoiceSettings& settings,
               bool skipping, std::string_view base_folder);
