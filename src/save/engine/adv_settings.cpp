// CADV's settings file: "system.dat" in the current folder, the SystemData image byte for byte.
#include <cstring>

#include "app/adv.h"
#include "app/shell.h"
#include "save/record_file.h"

namespace {
std::string SystemDataPath() {
  return CurrentFolder() + "\\system.dat";
}
}  // namespace

bool CADV::LoadSystemData() {
  std::optional<size_t> got = ReadRecordPrefix(SystemDataPath(), &system_data, sizeof system_data);
  if (!got) return false;
  // A short file (a crash of an older writer, a copy cut off) gives the bytes it has; the rest
  // take the first-start values rather than zero, which would mean no sound and the slowest text.
  if (*got < sizeof system_data) {
    const SystemData defaults = FirstStartSystemData();
    std::memcpy(reinterpret_cast<uint8_t*>(&system_data) + *got,
                reinterpret_cast<const uint8_t*>(&defaults) + *got, sizeof system_data - *got);
  }
  startup_windowed = system_data.Windowed != 0;
  return true;
}

// The file keeps the display mode the program started with, whatever the player toggled since.
bool CADV::SaveSystemData() {
  system_data.Windowed = startup_windowed ? 1 : 0;
  return WriteRecord(SystemDataPath(), &system_data, sizeof system_data);
}

void CADV::ResetSettings() {
  SetDefaultSettings(system_data);
  progress.Clear();
}
