// What only the X server knows of a window. SDL keeps its own idea of a window's size, and after
// a switch to full screen that a window manager refused it can go on believing the window fills
// the screen; and whether a window manager runs, or a window is viewable yet, SDL does not say.
#pragma once

struct SDL_Window;

namespace platform {

// False when the window is not on an X server (or the server does not answer).
bool X11WindowSize(SDL_Window* window, int& width, int& height);

enum class X11Manager { kNoServer, kNone, kRunning };
// Whether a window manager runs on the window's screen (one that announces itself on the root
// window, as current managers do); kNoServer when the window is not on an X server.
X11Manager X11WindowManager(SDL_Window* window);
// The window and all its parents are mapped: asking for the focus is allowed.
bool X11WindowViewable(SDL_Window* window);

}  // namespace platform
