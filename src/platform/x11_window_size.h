// The size the X server gives a window, asked of the server itself. SDL keeps its own idea of a
// window's size, and after a switch to full screen that a window manager refused it can go on
// believing the window fills the screen; only the server knows what is really there.
#pragma once

struct SDL_Window;

namespace platform {

// False when the window is not on an X server (or the server does not answer).
bool X11WindowSize(SDL_Window* window, int& width, int& height);

}  // namespace platform
