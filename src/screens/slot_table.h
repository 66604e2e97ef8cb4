// The save slots as the game knows them between visits of the save/load screen: for each slot
// file its time, size and label, and the texture its thumbnail is shown from. The save code
// fills an entry when it writes or reads a slot file; the save/load screen reads them and fills
// the thumbnails.
//
// Engine library (screens).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "graphics/device.h"
#include "graphics/texture.h"

inline constexpr int kSaveSlotCount = 48;  // the save/load screen shows 0-35

struct SlotInfo {
  CTexture thumbnail;  // 8 × 8 XRGB at start; the screen may fill it from the slot's .bmp
  int64_t file_time = 0;  // modification time of the slot file (seconds), 0 none known
  int64_t file_size = 0;
  std::string label;  // "%02d/%02d/%02d %02d:%02d:%02d(%s)"
  bool thumbnail_shown = false;
};

class SlotTable {
 public:
  static bool Valid(int n) { return n >= 0 && n < kSaveSlotCount; }
  // "<current folder>\SAVE\<n>.dat".
  static std::string Path(int n);

  SlotInfo& operator[](int n) { return slots_[static_cast<size_t>(n)]; }
  const SlotInfo& operator[](int n) const { return slots_[static_cast<size_t>(n)]; }

  // At engine start: every thumbnail an 8 × 8 XRGB texture, no file known.
  void Reset(gfx::Device& device);
  // Slot n's file size, time and label from the disk; false (logged) when the file cannot be
  // read.
  bool Refresh(int n);
  // Slot n has no file.
  void Forget(int n);

 private:
  std::array<SlotInfo, kSaveSlotCount> slots_;
};
