// Save slots lie in the player's folder, where files are copied around, cut short and edited. One
// headless engine runs over the demo game; each input is written as slot 0 and loaded: the
// record's check, and for a record that passes it the whole rebuild of the scene, the sound and
// the story position, then two frames of the restored story. A damaged record must be refused
// with the scene untouched; nothing may crash, read outside a buffer or hang.
#include <cstdint>
#include <cstdlib>

#include "fuzz_game.h"
#include "fuzz_support.h"
#include "platform/log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HeadlessGame& game = []() -> HeadlessGame& {
    HeadlessGame& g = fuzz::StartGame(fuzz::Archives::kDemo);
    std::filesystem::create_directory("SAVE");
    return g;
  }();
  platform::Log log;  // a log per input, so the lines of one input are gone with it
  log.SetEcho(false);
  if (!fuzz::WriteInput("SAVE/0.dat", data, size)) return 0;
  CADV& adv = game.process.adv;
  if (adv.LoadSlot(0)) {
    game.Frames(2);
  } else if (!log.Contains("Savedata")) {
    std::abort();  // a refusal always says why
  }
  return 0;
}
