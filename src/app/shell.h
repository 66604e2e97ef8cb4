// The program's shell: start-up in its order, the window's messages and the frame loop.
#pragma once

#include <cstdarg>
#include <string>

#include "app/process.h"

// Start-up, then the message loop until the quit message; returns the exit code.
int WinMain(Process& p);

// Start-up alone (window, archives, settings, input, sound, device, engine). False when the game
// cannot start; the reason has been shown in a message box.
bool Boot(Process& p);
bool InitInstance(Process& p);

// One round of the message loop: every waiting message is handled; when none is left, one frame
// runs. False once the quit message has been handled.
bool MessageLoopStep(Process& p);

void WindowProc(Process& p, const platform::Message& m);
int RenderFrame(Process& p);

// The current folder without a trailing separator.
std::string CurrentFolder();

// A printf-style error box with no caption (at most 1023 characters).
void ErrorBox(platform::MessageBoxes& boxes, const char* format, ...);
