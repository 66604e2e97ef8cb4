// Feeds arbitrary bytes to the interpreter as a script: one headless engine, started once in a
// temporary game folder, runs a few interpreter steps on each input (the story state put back to
// running before each, so every step reads on) and one whole frame. Any crash, hang or sanitizer
// report is a fault; a step must always end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_game.h"
#include "platform/log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static HeadlessGame* game = &fuzz::StartGame(fuzz::Archives::kEmpty);
  // A log per input, so the lines of one input are gone with it.
  platform::Log log;
  log.SetEcho(false);

  CADV& adv = game->process.adv;
  if (!adv.script.LoadFromMemory("SCP\\fuzz.scp", data, size)) return 0;
  adv.script_state.if_stack.Clear();
  adv.script_end_mode = MODE_TITLE;
  // The first byte may open a clickable scope, so "]" and the scope rules run too.
  adv.clickable.active = size > 0 && (data[0] & 1);
  adv.clickable.current_region = size > 0 ? data[0] % 9 : 0;
  for (int step = 0; step < 4; ++step) {
    adv.game_mode = MODE_ADV;
    adv.adv_state = ADV_RUNNING;
    adv.script_state.wait_running = false;
    adv.script_state.layer_busy = false;
    adv.script_state.screen_effect_running = false;
    const int32_t count = adv.script.TokenCount();
    adv.ScriptStep();
    if (adv.script.TokenCount() == count && adv.script.GetPosition() > count + 1) std::abort();
  }
  adv.game_mode = MODE_ADV;
  adv.adv_state = ADV_CLICKABLE;
  adv.ClickableProc();
  adv.adv_state = ADV_RUNNING;
  game->Frame();
  return 0;
}
