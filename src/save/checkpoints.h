// The page snapshots of the message history: a copy of the save record taken at the start of
// each of the last 50 pages, entry 0 the oldest. Allocated once at construction (50 records are
// 332 KB, too much for the stack a test builds the engine on).
//
// Save library: uses platform and resource only.
#pragma once

#include <cstdint>
#include <memory>

#include "save/save_record.h"

inline constexpr int kCheckpointCount = 50;

struct CheckpointHistory {
  CheckpointHistory() : records(std::make_unique<SaveRecord[]>(kCheckpointCount)) {}

  SaveRecord& operator[](int i) { return records[static_cast<size_t>(i)]; }
  const SaveRecord& operator[](int i) const { return records[static_cast<size_t>(i)]; }
  // Moves entries 1-49 down by one; entry 49 keeps its old content until overwritten.
  void DropOldest() {
    for (int i = 1; i < kCheckpointCount; ++i) records[i - 1] = records[i];
  }

  std::unique_ptr<SaveRecord[]> records;
  int32_t count = 0;  // kept equal to the history store's count
};
