// The lanthorn program: plays the game in the current folder (or the folder named on the command
// line) in a window on the user's display.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "app/shell.h"
#include "platform/quit_signal.h"
#include "platform/startup_marks.h"

namespace {

constexpr const char* kUsage =
    "usage: lanthorn [GAME_DIR]\n"
    "Plays the game in GAME_DIR (by default the current folder): the folder that holds\n"
    "system.pkd, thumb.pkd and grp.pkd. Settings and saves are written into that folder.\n"
    "To play without a display, use lanthorn-replay GAME_DIR SCRIPT OUTDIR.\n";

bool HasDisplay() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
    const char* v = std::getenv(name);
    if (v && *v) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  platform::StartupMark("main");
  if (argc > 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (argc == 2) {
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (argv[1][0] == '-') {
      std::fprintf(stderr, "lanthorn: unknown option %s\n%s", argv[1], kUsage);
      return 2;
    }
    std::error_code error;
    std::filesystem::current_path(argv[1], error);
    if (error) {
      std::fprintf(stderr, "lanthorn: cannot open the game folder %s: %s\n", argv[1],
                   error.message().c_str());
      return 2;
    }
  }
  if (!HasDisplay()) {
    std::fputs("lanthorn: there is no display to open the game's window on (DISPLAY is not "
               "set).\nTo play without a display, use lanthorn-replay GAME_DIR SCRIPT OUTDIR.\n",
               stderr);
    return 1;
  }
  platform::CatchQuitSignals();
  platform::SystemClock clock;
  auto window = platform::CreateSdlWindow();
  auto boxes = platform::CreateSdlMessageBoxes();
  platform::SdlSoundOutput sound;
  Process process(Platform{*window, clock, *boxes, sound});
  return WinMain(process);
}
