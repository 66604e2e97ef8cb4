// CADV's progress and read-text files: "data.dat" and "text.dat" in the current folder. The
// read-text file is scrambled with the key of the system archive.
#include "app/adv.h"
#include "app/process.h"
#include "app/shell.h"
#include "platform/log.h"
#include "platform/sjis.h"

namespace {
std::string ProgressPath() {
  return CurrentFolder() + "\\data.dat";
}
std::string ReadPositionsPath() {
  return CurrentFolder() + "\\text.dat";
}

const std::string& ReadPositionsFailed() {
  static const std::string k = SJ("text.datのopenに失敗しました。既読データーが失われます。");
  return k;
}
}  // namespace

bool CADV::LoadProgress() {
  return LoadProgressFile(ProgressPath(), progress);
}

bool CADV::SaveProgress() {
  return SaveProgressFile(ProgressPath(), progress);
}

void CADV::UnlockPicture(int index) {
  if (progress.UnlockPicture(index)) SaveProgress();
}

void CADV::UnlockMemory(int n) {
  if (progress.UnlockMemory(n)) SaveProgress();
}

void CADV::UnlockMovie(int n) {
  progress.UnlockMovie(n);
}

bool CADV::LoadReadPositions() {
  if (!read_positions.LoadFile(ReadPositionsPath(), process_.system_pkd.Key())) {
    WriteLog(2, ReadPositionsFailed(), "LoadReadPositions", 0);
    return false;
  }
  return true;
}

bool CADV::SaveReadPositions() {
  size_t skipped = 0;
  if (!read_positions.SaveFile(ReadPositionsPath(), process_.system_pkd.Key(), &skipped)) {
    WriteLog(2, ReadPositionsFailed(), "SaveReadPositions", 0);
    return false;
  }
  if (skipped > 0)
    WriteLog(2, std::to_string(skipped) + " script names longer than 31 bytes not stored",
             "SaveReadPositions", 0);
  return true;
}
