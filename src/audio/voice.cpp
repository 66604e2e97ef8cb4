#include "audio/voice.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/log.h"

int VoiceCategory(std::string_view name) {
  int category = 0;
  for (const VoiceCategoryEntry& e : kVoiceCategories)
    if (name.starts_with(e.prefix)) category = e.category;
  return category;
}

void VoiceQueueFields::Clear() {
  std::memset(VoiceQueue, 0, sizeof VoiceQueue);
}

void VoiceQueueFields::Store(int slot, std::string_view name) {
  char* s = VoiceQueue[((slot % kVoiceQueueSlots) + kVoiceQueueSlots) % kVoiceQueueSlots];
  size_t n = std::min<size_t>(name.size(), kVoiceNameBytes - 1);
  if (n > 0) std::memcpy(s, name.data(), n);
  s[n] = '\0';
}

void VoiceStep(VoiceQueueFields& q, std::span<CStreamSound> voices, const VoiceSettings& settings,
               bool skipping, std::string_view base_folder) {
  // The indexes live in the engine's state; keep them in range whatever was stored there.
  q.VoiceReadIndex = ((q.VoiceReadIndex % kVoiceQueueSlots) + kVoiceQueueSlots) % kVoiceQueueSlots;
  q.VoiceChannel = ((q.VoiceChannel % kVoiceChannels) + kVoiceChannels) % kVoiceChannels;
  auto next_slot = [&q] { q.VoiceReadIndex = (q.VoiceReadIndex + 1) % kVoiceQueueSlots; };
  if (voices.size() < static_cast<size_t>(kVoiceChannels)) return;

  const char* slot = q.VoiceQueue[q.VoiceReadIndex];
  std::string_view name(slot, strnlen(slot, kVoiceNameBytes));
  if (name.empty() || !settings.enabled) {
    next_slot();
    return;
  }
  int previous = q.VoiceChannel == 0 ? kVoiceChannels - 1 : q.VoiceChannel - 1;
  voices[previous].FadeOut(3);

  if (!skipping) {
    int category = VoiceCategory(name);
    if (category >= 1 && !settings.group_enabled[category - 1]) {
      next_slot();
      return;
    }
    float percent = static_cast<float>(settings.percent);
    if (category >= 1) percent *= settings.group_factor[category - 1];
    CStreamSound& stream = voices[q.VoiceChannel];
    stream.Stop();
    std::string path = std::string(base_folder) + "SOUND\\VOICE\\" + std::string(name) + ".ogg";
    if (stream.Open(path) != 0) {
      WriteLog(2, "voice play failed. (HDD): " + path, "VoiceStep", 0);
    } else {
      WriteLog(0, "voice play : " + path, "VoiceStep", 0);
      stream.SetVolume(static_cast<int>(percent));
      stream.Play(false);
    }
  }
  q.VoiceChannel = (q.VoiceChannel + 1) % kVoiceChannels;
  q.VoicePending = 0;
  next_slot();
}
