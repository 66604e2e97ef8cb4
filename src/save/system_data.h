// The settings record, "system.dat": 252 bytes, little-endian, stored byte for byte. The struct is
// the file image itself (padding bytes named, so unknown bytes read from a file are written back
// as they were). Also the volume scale every audio user shares.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "records are stored as memory images");

struct SystemData {
  uint8_t Windowed;  // 1 window, 0 full screen
  uint8_t pad1[3];
  int32_t TextSpeed;  // 0-7
  int32_t unused8;
  int32_t AutoClickSpeed;  // 0-7
  int32_t TextStyle;       // 0 plain, 1 drop shadow, 2 outline
  uint8_t SkipUnread;
  uint8_t pad21[3];
  int32_t EffectSpeed;  // 0 normal, 1 fast, 2 none
  uint8_t AutoAtChoice;
  uint8_t SkipAtChoice;
  uint8_t BgmEnabled;
  uint8_t pad31;
  int32_t BgmVolume;  // volume index 0-8
  uint8_t SeEnabled;
  uint8_t pad37[3];
  int32_t SeVolume;
  uint8_t VoiceEnabled;
  uint8_t pad45[3];
  int32_t VoiceVolume;
  uint8_t VoiceGroupEnabled[9];
  uint8_t pad61[3];
  int32_t VoiceGroupVolume[9];
  int32_t unused100;
  int32_t MovieVolume;
  uint8_t pad108;
  uint8_t MovieHighRes;
  uint8_t ConfirmOverwrite;
  uint8_t pad111;
  int32_t FileCacheSize;
  uint8_t VSyncMode;
  uint8_t pad117[3];
  int32_t SystemVariables[33];
};

static_assert(sizeof(SystemData) == 252);
static_assert(offsetof(SystemData, TextSpeed) == 4);
static_assert(offsetof(SystemData, AutoClickSpeed) == 12);
static_assert(offsetof(SystemData, TextStyle) == 16);
static_assert(offsetof(SystemData, SkipUnread) == 20);
static_assert(offsetof(SystemData, EffectSpeed) == 24);
static_assert(offsetof(SystemData, AutoAtChoice) == 28);
static_assert(offsetof(SystemData, SkipAtChoice) == 29);
static_assert(offsetof(SystemData, BgmEnabled) == 30);
static_assert(offsetof(SystemData, BgmVolume) == 32);
static_assert(offsetof(SystemData, SeEnabled) == 36);
static_assert(offsetof(SystemData, SeVolume) == 40);
static_assert(offsetof(SystemData, VoiceEnabled) == 44);
static_assert(offsetof(SystemData, VoiceVolume) == 48);
static_assert(offsetof(SystemData, VoiceGroupEnabled) == 52);
static_assert(offsetof(SystemData, VoiceGroupVolume) == 64);
static_assert(offsetof(SystemData, MovieVolume) == 104);
static_assert(offsetof(SystemData, MovieHighRes) == 109);
static_assert(offsetof(SystemData, ConfirmOverwrite) == 110);
static_assert(offsetof(SystemData, FileCacheSize) == 112);
static_assert(offsetof(SystemData, VSyncMode) == 116);
static_assert(offsetof(SystemData, SystemVariables) == 120);

// Volume index 0-8 -> per cent.
inline constexpr int VolumePercent[9] = {0, 30, 40, 50, 60, 70, 80, 90, 100};
// Voice-group volume index 0-8 -> factor on the voice percentage.
inline constexpr float VoiceGroupFactor[9] = {0.0f, 0.44f, 0.52f, 0.60f, 0.68f,
                                              0.76f, 0.84f, 0.92f, 1.0f};

// The values ResetSettings gives. Windowed, SkipUnread, the two at-choice switches,
// FileCacheSize, VSyncMode and $SYS 8-32 are left as they are.
inline void SetDefaultSettings(SystemData& d) {
  d.TextSpeed = 5;
  d.AutoClickSpeed = 3;
  d.TextStyle = 1;
  d.EffectSpeed = 0;
  d.BgmEnabled = d.SeEnabled = d.VoiceEnabled = 1;
  d.BgmVolume = d.SeVolume = d.VoiceVolume = 8;
  for (int g = 0; g < 9; ++g) {
    d.VoiceGroupEnabled[g] = 1;
    d.VoiceGroupVolume[g] = 8;
  }
  d.MovieVolume = 8;
  d.MovieHighRes = 1;
  d.ConfirmOverwrite = 1;
  for (int v = 0; v < 8; ++v) d.SystemVariables[v] = 0;
}

// The record a first start writes: the defaults above, a window, everything else zero.
inline SystemData FirstStartSystemData() {
  SystemData d{};
  d.Windowed = 1;
  SetDefaultSettings(d);
  return d;
}
