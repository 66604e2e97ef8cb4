// The label a save slot shows for the time its file was written: "yy/mm/dd hh:mm:ss(day)" with
// the weekday as one Shift_JIS character, in the player's local time.
//
// Save library: uses platform and resource only.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// "%02d/%02d/%02d %02d:%02d:%02d(%s)" from a broken-down local time (year − 100, month 1-12).
std::string SlotTimeLabel(const std::tm& local);
// The same for seconds since the epoch, converted to local time; empty when it cannot be.
std::string SlotTimeLabel(int64_t seconds);
