#include "screens/slot_table.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/fs.h"
#include "platform/log.h"
#include "save/slot_label.h"

std::string SlotTable::Path(int n) {
  return platform::fs::CurrentFolder() + "\\SAVE\\" + std::to_string(n) + ".dat";
}

void SlotTable::Reset(gfx::Device& device) {
  for (int n = 0; n < kSaveSlotCount; ++n) {
    (*this)[n].thumbnail.Create(device, 8, 8, gfx::D3DFMT_X8R8G8B8);
    (*this)[n].file_size = 0;
    Forget(n);
  }
}

bool SlotTable::Refresh(int n) {
  if (!Valid(n)) return false;
  const std::string path = Path(n);
  const std::filesystem::path host = platform::fs::HostPath(path);
  std::error_code size_error, time_error;
  const auto size = std::filesystem::file_size(host, size_error);
  const auto time = std::filesystem::last_write_time(host, time_error);
  if (size_error || time_error) {
    WriteLog(2, "SYSTEM ERROR: _stat failed.->" + path, "CADV::RefreshSlotInfo", __LINE__);
    return false;
  }
  SlotInfo& slot = (*this)[n];
  slot.file_size = static_cast<int64_t>(size);
  slot.file_time = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::file_clock::to_sys(time).time_since_epoch())
                       .count();
  slot.label = SlotTimeLabel(slot.file_time);
  slot.thumbnail_shown = true;
  return true;
}

void SlotTable::Forget(int n) {
  SlotInfo& slot = (*this)[n];
  slot.file_time = 0;
  slot.label.clear();
  slot.thumbnail_shown = false;
}
