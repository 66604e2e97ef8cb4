// Marks along start-up, for measuring how long the player waits for the first frame. When the
// environment variable LANTHORN_STARTUP_MARKS holds the number of an open file descriptor, each
// mark writes one line "NAME NANOSECONDS" to it, the time on the monotonic clock (the same clock
// in every process, so a launcher that notes the clock before it starts the game reads the wait
// from each line). Without the variable a mark does nothing.
#pragma once

namespace platform {

void StartupMark(const char* name);

}  // namespace platform
