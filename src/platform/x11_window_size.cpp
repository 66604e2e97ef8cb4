// Kept apart from the window: Xlib's macros (None, Status, ...) clash with ordinary names.
#include "platform/x11_window_size.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace platform {

bool X11WindowSize(SDL_Window* window, int& width, int& height) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11)
    return false;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes))
    return false;
  width = attributes.width;
  height = attributes.height;
  return width > 0 && height > 0;
#else
  (void)window;
  (void)width;
  (void)height;
  return false;
#endif
}

namespace {
#if defined(SDL_VIDEO_DRIVER_X11)
bool X11Info(SDL_Window* window, SDL_SysWMinfo& info) {
  SDL_VERSION(&info.version);
  return window && SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11;
}
#endif
}  // namespace

X11Manager X11WindowManager(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!X11Info(window, info)) return X11Manager::kNoServer;
  Display* display = info.info.x11.display;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == 0) return X11Manager::kNone;  // no client ever named it: no manager announced
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                        XA_WINDOW, &type, &format, &count, &after, &data);
  const bool running = status == Success && type == XA_WINDOW && format == 32 && count == 1;
  if (data) XFree(data);
  return running ? X11Manager::kRunning : X11Manager::kNone;
#else
  (void)window;
  return X11Manager::kNoServer;
#endif
}

bool X11WindowViewable(SDL_Window* window) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_SysWMinfo info;
  if (!X11Info(window, info)) return false;
  XWindowAttributes attributes;
  return XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) &&
         attributes.map_state == IsViewable;
#else
  (void)window;
  return false;
#endif
}

}  // namespace platform
