// Stands in for the session's end message: a terminal's Ctrl+C, a `kill` or the desktop logging
// out ask the program to end through a signal. The program asks for them once; the frame loop
// then sees the request and ends the game the way closing its window does, so nothing the
// player did is lost.
#pragma once

namespace platform {

void CatchQuitSignals();  // SIGINT, SIGTERM, SIGHUP
bool QuitSignalled();

}  // namespace platform
