// The player's error messages: logged, and shown in a box with an empty caption and an error
// icon, the text cut to 1023 characters.
#pragma once

#include "platform/message_box.h"

namespace movie {

void ShowError(platform::MessageBoxes* boxes, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace movie
