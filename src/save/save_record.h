// The save record: 6,640 bytes, little-endian, byte for byte the content of a save slot file. It
// is at once the snapshot taken at every text page and the live home of the story state other
// areas read and write in place: the favour and local script variables and the town map's
// schedule. Strings are NUL-terminated Shift_JIS in fixed fields; bytes not named are zero.
//
// Save library: uses platform and resource only; never includes an engine header.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "records are stored as memory images");

inline constexpr int32_t kSaveRecordVersion = 202;
inline constexpr int kLocalVariableCount = 100;  // $[0]-$[99]
inline constexpr int kFavourVariableCount = 6;  // $FAV[0]-$FAV[5], in a block of 8 slots
inline constexpr int kClickableRegionCount = 7;  // regions A-G
inline constexpr int kClickableBlockCount = 64;  // blocks per region in the block-end table

struct SaveRecord {
  int32_t Version = kSaveRecordVersion;
  char ScriptName[64] = {};
  int32_t ScriptPosition = 0;  // the position of the page's text command
  char CharacterPictures[6][64] = {};  // character c, buffer b at [2c + b]
  int32_t CharacterValues1[3] = {};
  int32_t CharacterPictureValues[6] = {};
  int32_t CharacterValues2[3] = {};
  uint8_t CharacterBytes[3] = {};
  uint8_t CharacterLayerByte = 0;
  uint8_t StoryByte508 = 0;
  char BackgroundPictures[2][64] = {};
  uint8_t pad637[67] = {};
  int32_t EngineValue = 0;
  uint8_t pad708 = 0;
  uint8_t StoryByte709 = 0;
  uint8_t pad710[2] = {};
  int32_t ClickableBlockEnd[kClickableRegionCount][kClickableBlockCount] = {};
  int32_t ClickableCounters[kClickableRegionCount] = {};
  int32_t ClickableScopeStart = 0;
  int32_t ClickableCurrentRegion = 0;
  uint8_t ClickableActive = 0;
  char ClickableMapName[64] = {};
  char SeNames[8][64] = {};
  uint8_t SeActive[8] = {};
  uint8_t SeLooping[8] = {};
  uint8_t pad3133[35] = {};
  char BgmName[64] = {};
  uint8_t BgmActive = 0;
  uint8_t BgmLooping = 0;
  uint8_t pad3234[6] = {};
  uint8_t CharacterNames[2816] = {};  // 128 entries of 22 bytes
  uint8_t TextBoxState = 0;
  uint8_t pad6057[79] = {};
  uint8_t RollbackEnabled = 0;
  uint8_t TownSaveFlag = 0;
  uint8_t pad6138[2] = {};
  int32_t TownDay = 0;  // the episode number
  int32_t TownChoicesToday = 0;  // the episode step
  char TownPendingScript[60] = {};
  int32_t FavourVariables[8] = {};
  int32_t LocalVariables[kLocalVariableCount] = {};
};

static_assert(sizeof(SaveRecord) == 6640);
static_assert(offsetof(SaveRecord, ScriptName) == 4);
static_assert(offsetof(SaveRecord, ScriptPosition) == 68);
static_assert(offsetof(SaveRecord, CharacterPictures) == 72);
static_assert(offsetof(SaveRecord, CharacterValues1) == 456);
static_assert(offsetof(SaveRecord, CharacterPictureValues) == 468);
static_assert(offsetof(SaveRecord, CharacterValues2) == 492);
static_assert(offsetof(SaveRecord, CharacterBytes) == 504);
static_assert(offsetof(SaveRecord, CharacterLayerByte) == 507);
static_assert(offsetof(SaveRecord, StoryByte508) == 508);
static_assert(offsetof(SaveRecord, BackgroundPictures) == 509);
static_assert(offsetof(SaveRecord, EngineValue) == 704);
static_assert(offsetof(SaveRecord, StoryByte709) == 709);
static_assert(offsetof(SaveRecord, ClickableBlockEnd) == 712);
static_assert(offsetof(SaveRecord, ClickableCounters) == 2504);
static_assert(offsetof(SaveRecord, ClickableScopeStart) == 2532);
static_assert(offsetof(SaveRecord, ClickableCurrentRegion) == 2536);
static_assert(offsetof(SaveRecord, ClickableActive) == 2540);
static_assert(offsetof(SaveRecord, ClickableMapName) == 2541);
static_assert(offsetof(SaveRecord, SeNames) == 2605);
static_assert(offsetof(SaveRecord, SeActive) == 3117);
static_assert(offsetof(SaveRecord, SeLooping) == 3125);
static_assert(offsetof(SaveRecord, BgmName) == 3168);
static_assert(offsetof(SaveRecord, BgmActive) == 3232);
static_assert(offsetof(SaveRecord, BgmLooping) == 3233);
static_assert(offsetof(SaveRecord, CharacterNames) == 3240);
static_assert(offsetof(SaveRecord, TextBoxState) == 6056);
static_assert(offsetof(SaveRecord, RollbackEnabled) == 6136);
static_assert(offsetof(SaveRecord, TownSaveFlag) == 6137);
static_assert(offsetof(SaveRecord, TownDay) == 6140);
static_assert(offsetof(SaveRecord, TownChoicesToday) == 6144);
static_assert(offsetof(SaveRecord, TownPendingScript) == 6148);
static_assert(offsetof(SaveRecord, FavourVariables) == 6208);
static_assert(offsetof(SaveRecord, LocalVariables) == 6240);
static_assert(offsetof(SaveRecord, LocalVariables) + 99 * 4 == 6636);
