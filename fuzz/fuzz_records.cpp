// The player's records ("system.dat", "data.dat", "text.dat") lie in the game's folder, where
// anything may replace them. One headless engine; each input is written as all three files and
// loaded as at start-up, then the values are used as the game uses them: the settings screen
// shows every page, and a page of text is revealed with the loaded speed, style and read marks.
// Every frame is drawn whole, so a run makes a few inputs a second; that is the price of reaching
// every use of a stored value.
#include <cstdint>
#include <cstdlib>

#include "fuzz_game.h"
#include "fuzz_support.h"
#include "platform/log.h"

namespace {

constexpr char kPage[] = "@text,0 {\nfirst line\n}\n@text,1 {\nsecond\n}\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HeadlessGame& game = fuzz::StartGame(fuzz::Archives::kEmpty);
  platform::Log log;
  log.SetEcho(false);
  for (const char* name : {"system.dat", "data.dat", "text.dat"})
    if (!fuzz::WriteInput(name, data, size)) return 0;
  CADV& adv = game.process.adv;
  adv.read_positions.Clear();
  if (!adv.LoadSystemData() || !adv.LoadProgress() || !adv.LoadReadPositions()) std::abort();

  adv.OpenConfig(MODE_TITLE);
  for (int page = 0; page < 3; ++page) {
    adv.config.page = page;
    game.Frame();
  }
  if (!adv.script.LoadFromMemory("SCP\\fuzz.scp", reinterpret_cast<const uint8_t*>(kPage),
                                 sizeof kPage - 1))
    std::abort();
  adv.script_end_mode = MODE_TITLE;
  adv.game_mode = MODE_ADV;
  adv.adv_state = ADV_RUNNING;
  game.Frames(4);
  adv.game_mode = MODE_TITLE;
  return 0;
}
