// The event pictures the story can unlock, in the order of their unlock flags: the sorted order
// of their file names, so a picture's variants ("-01", "-02", ...) come before its plain name.
#pragma once

#include <array>
#include <string_view>

namespace scene {

inline constexpr int kEventPictureCount = 198;
extern const std::array<std::string_view, kEventPictureCount> EventPictureTable;

// The position (0–197) of a picture name, or -1 when it is not an event picture. ASCII letters
// match without case, as the archives find their entries.
int FindEventPicture(std::string_view name);

}  // namespace scene
