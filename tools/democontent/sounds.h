// The demo game's sounds, synthesised at build time: the interface effects the screens load by
// name, a few script effects, the music and the voice lines, written under FILES_DIR/SOUND/.
#pragma once

#include <filesystem>

// Writes every sound; the number of files that could not be written (0 on success).
int MakeSounds(const std::filesystem::path& files_dir);
