// One headless engine for a whole fuzzing run, started once in a temporary game folder that is
// removed at exit. The folder holds the three archives: empty ones, or the demo game's as the
// build made them (with its SOUND folder) when a fuzzer needs real scripts around its input.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/headless.h"

namespace fuzz {

enum class Archives { kEmpty, kDemo };

inline char* GameFolder() {
  static char folder[] = "/tmp/lanthorn-fuzz-game-XXXXXX";
  return folder;
}

// Registered before the game exists, so it runs after the game is gone.
inline void RemoveGameFolder() {
  std::error_code error;
  std::filesystem::remove_all(GameFolder(), error);
}

inline HeadlessGame& StartGame(Archives archives) {
  if (!mkdtemp(GameFolder()) || chdir(GameFolder()) != 0) std::abort();
  std::atexit(RemoveGameFolder);
  if (archives == Archives::kDemo) {
#ifdef LANTHORN_DEMO_DIR
    const std::filesystem::path demo = LANTHORN_DEMO_DIR;
#else
    const std::filesystem::path demo;
#endif
    std::error_code error;
    for (const char* name : {"system.pkd", "thumb.pkd", "grp.pkd", "SOUND"}) {
      std::filesystem::create_symlink(demo / name, name, error);
      if (error || !std::filesystem::exists(name)) {
        std::fprintf(stderr, "the demo game is missing (%s): build the demo target first\n",
                     (demo / name).c_str());
        std::abort();
      }
    }
  } else {
    for (const char* name : {"system.pkd", "thumb.pkd", "grp.pkd"}) {
      std::FILE* f = std::fopen(name, "wb");
      if (!f) std::abort();
      std::fwrite("PACK\0\0\0\0", 1, 8, f);
      std::fclose(f);
    }
  }
  static HeadlessGame game;  // lives for the whole run, as the game's objects do
  game.process.log.SetEcho(false);
  if (!game.Boot()) std::abort();
  return game;
}

}  // namespace fuzz
