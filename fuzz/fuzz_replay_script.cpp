// Replay scripts are written by hand. Parses the input as one; a script taken must hold only
// commands with arguments in their ranges, and a refusal must name the line it stopped at.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "replay_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<ReplayCommand> commands;
  std::string error;
  if (!ParseReplayScript(text, commands, &error)) {
    if (error.empty() || error[0] < '0' || error[0] > '9') std::abort();
    return 0;
  }
  int last_line = 0;
  for (const ReplayCommand& c : commands) {
    if (c.line < last_line || c.line < 1) std::abort();
    last_line = c.line;
    if (c.kind == ReplayCommand::Frames && (c.a < 0 || c.b < 0)) std::abort();
    if (c.kind == ReplayCommand::Shot &&
        (c.name.size() < 5 || c.name.find('/') != std::string::npos ||
         c.name.compare(c.name.size() - 4, 4, ".png") != 0))
      std::abort();
  }
  return 0;
}
