// The replay script: one input command a line, read whole before the game starts so a malformed
// script is refused before anything runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ReplayCommand {
  enum Kind { Frames, Key, KeyDown, KeyUp, Move, Click, ButtonDown, ButtonUp, Wheel, Shot } kind;
  int line = 0;
  int a = 0;  // frames: count; key: DIK code; move/click: x; button: 0 left, 1 right; wheel: notches
  int b = 0;  // frames: ms; move/click: y; click: button
  std::string name;  // shot: file name
};

// Parses the script text; on a malformed line returns false with "LINE: message" in *error.
bool ParseReplayScript(const std::string& text, std::vector<ReplayCommand>& out, std::string* error);
