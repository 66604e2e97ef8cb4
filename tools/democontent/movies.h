// The demo game's movies, encoded at build time: three short race scenes with their engine
// sound, each in two sizes, written as FILES_DIR/MOVIE/HIGH/00n.mpg (640 × 480) and
// FILES_DIR/MOVIE/LOW/00n.mpg (320 × 240).
#pragma once

#include <filesystem>

inline constexpr int kDemoMovieCount = 3;

// Writes every movie; the number of files that could not be written (0 on success).
int MakeMovies(const std::filesystem::path& files_dir);
