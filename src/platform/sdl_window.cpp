// The main window on the user's display through SDL2: video events become window messages, key
// and mouse events go into the InputDevice as DIK_ scan codes, and the finished frame goes into a
// streaming texture drawn scaled with the aspect kept.
//
// The frame is drawn on the CPU, so it is presented through SDL's software renderer straight
// into the window's own surface (shared memory on X11), not through OpenGL: making a GL context
// loads the system's GL driver, which took most of the wait before the first frame (60 ms and
// more, before the window showed anything). The software renderer has no vsync, so Present paces
// the frames at the display's refresh rate itself, as vsync did; on a server without a compositor
// a frame may tear, as it may with the window surface of any program. Setting SDL_RENDER_DRIVER
// (opengl, ...) chooses SDL's renderer of that name instead, with vsync.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/dik.h"
#include "platform/sjis.h"
#include "platform/window.h"
#include "platform/x11_window_size.h"

namespace platform {
namespace {

uint8_t DikFromScancode(SDL_Scancode sc) {
  switch (sc) {
    case SDL_SCANCODE_ESCAPE: return DIK_ESCAPE;
    case SDL_SCANCODE_1: return DIK_1;
    case SDL_SCANCODE_2: return DIK_2;
    case SDL_SCANCODE_3: return DIK_3;
    case SDL_SCANCODE_4: return DIK_4;
    case SDL_SCANCODE_5: return DIK_5;
    case SDL_SCANCODE_6: return DIK_6;
    case SDL_SCANCODE_7: return DIK_7;
    case SDL_SCANCODE_8: return DIK_8;
    case SDL_SCANCODE_9: return DIK_9;
    case SDL_SCANCODE_0: return DIK_0;
    case SDL_SCANCODE_MINUS: return DIK_MINUS;
    case SDL_SCANCODE_EQUALS: return DIK_EQUALS;
    case SDL_SCANCODE_BACKSPACE: return DIK_BACK;
    case SDL_SCANCODE_TAB: return DIK_TAB;
    case SDL_SCANCODE_Q: return DIK_Q;
    case SDL_SCANCODE_W: return DIK_W;
    case SDL_SCANCODE_E: return DIK_E;
    case SDL_SCANCODE_R: return DIK_R;
    case SDL_SCANCODE_T: return DIK_T;
    case SDL_SCANCODE_Y: return DIK_Y;
    case SDL_SCANCODE_U: return DIK_U;
    case SDL_SCANCODE_I: return DIK_I;
    case SDL_SCANCODE_O: return DIK_O;
    case SDL_SCANCODE_P: return DIK_P;
    case SDL_SCANCODE_LEFTBRACKET: return DIK_LBRACKET;
    case SDL_SCANCODE_RIGHTBRACKET: return DIK_RBRACKET;
    case SDL_SCANCODE_RETURN: return DIK_RETURN;
    case SDL_SCANCODE_LCTRL: return DIK_LCONTROL;
    case SDL_SCANCODE_A: return DIK_A;
    case SDL_SCANCODE_S: return DIK_S;
    case SDL_SCANCODE_D: return DIK_D;
    case SDL_SCANCODE_F: return DIK_F;
    case SDL_SCANCODE_G: return DIK_G;
    case SDL_SCANCODE_H: return DIK_H;
    case SDL_SCANCODE_J: return DIK_J;
    case SDL_SCANCODE_K: return DIK_K;
    case SDL_SCANCODE_L: return DIK_L;
    case SDL_SCANCODE_SEMICOLON: return DIK_SEMICOLON;
    case SDL_SCANCODE_APOSTROPHE: return DIK_APOSTROPHE;
    case SDL_SCANCODE_GRAVE: return DIK_GRAVE;
    case SDL_SCANCODE_LSHIFT: return DIK_LSHIFT;
    case SDL_SCANCODE_BACKSLASH: return DIK_BACKSLASH;
    case SDL_SCANCODE_Z: return DIK_Z;
    case SDL_SCANCODE_X: return DIK_X;
    case SDL_SCANCODE_C: return DIK_C;
    case SDL_SCANCODE_V: return DIK_V;
    case SDL_SCANCODE_B: return DIK_B;
    case SDL_SCANCODE_N: return DIK_N;
    case SDL_SCANCODE_M: return DIK_M;
    case SDL_SCANCODE_COMMA: return DIK_COMMA;
    case SDL_SCANCODE_PERIOD: return DIK_PERIOD;
    case SDL_SCANCODE_SLASH: return DIK_SLASH;
    case SDL_SCANCODE_RSHIFT: return DIK_RSHIFT;
    case SDL_SCANCODE_KP_MULTIPLY: return DIK_MULTIPLY;
    case SDL_SCANCODE_LALT: return DIK_LMENU;
    case SDL_SCANCODE_SPACE: return DIK_SPACE;
    case SDL_SCANCODE_CAPSLOCK: return DIK_CAPITAL;
    case SDL_SCANCODE_F1: return DIK_F1;
    case SDL_SCANCODE_F2: return DIK_F2;
    case SDL_SCANCODE_F3: return DIK_F3;
    case SDL_SCANCODE_F4: return DIK_F4;
    case SDL_SCANCODE_F5: return DIK_F5;
    case SDL_SCANCODE_F6: return DIK_F6;
    case SDL_SCANCODE_F7: return DIK_F7;
    case SDL_SCANCODE_F8: return DIK_F8;
    case SDL_SCANCODE_F9: return DIK_F9;
    case SDL_SCANCODE_F10: return DIK_F10;
    case SDL_SCANCODE_NUMLOCKCLEAR: return DIK_NUMLOCK;
    case SDL_SCANCODE_SCROLLLOCK: return DIK_SCROLL;
    case SDL_SCANCODE_KP_7: return DIK_NUMPAD7;
    case SDL_SCANCODE_KP_8: return DIK_NUMPAD8;
    case SDL_SCANCODE_KP_9: return DIK_NUMPAD9;
    case SDL_SCANCODE_KP_MINUS: return DIK_SUBTRACT;
    case SDL_SCANCODE_KP_4: return DIK_NUMPAD4;
    case SDL_SCANCODE_KP_5: return DIK_NUMPAD5;
    case SDL_SCANCODE_KP_6: return DIK_NUMPAD6;
    case SDL_SCANCODE_KP_PLUS: return DIK_ADD;
    case SDL_SCANCODE_KP_1: return DIK_NUMPAD1;
    case SDL_SCANCODE_KP_2: return DIK_NUMPAD2;
    case SDL_SCANCODE_KP_3: return DIK_NUMPAD3;
    case SDL_SCANCODE_KP_0: return DIK_NUMPAD0;
    case SDL_SCANCODE_KP_PERIOD: return DIK_DECIMAL;
    case SDL_SCANCODE_NONUSBACKSLASH: return DIK_OEM_102;
    case SDL_SCANCODE_F11: return DIK_F11;
    case SDL_SCANCODE_F12: return DIK_F12;
    case SDL_SCANCODE_F13: return DIK_F13;
    case SDL_SCANCODE_F14: return DIK_F14;
    case SDL_SCANCODE_F15: return DIK_F15;
    case SDL_SCANCODE_LANG3: return DIK_KANA;
    case SDL_SCANCODE_INTERNATIONAL1: return DIK_ABNT_C1;
    case SDL_SCANCODE_INTERNATIONAL4: return DIK_CONVERT;
    case SDL_SCANCODE_INTERNATIONAL5: return DIK_NOCONVERT;
    case SDL_SCANCODE_INTERNATIONAL3: return DIK_YEN;
    case SDL_SCANCODE_KP_EQUALS: return DIK_NUMPADEQUALS;
    case SDL_SCANCODE_LANG5: return DIK_KANJI;
    case SDL_SCANCODE_KP_ENTER: return DIK_NUMPADENTER;
    case SDL_SCANCODE_RCTRL: return DIK_RCONTROL;
    case SDL_SCANCODE_MUTE: return DIK_MUTE;
    case SDL_SCANCODE_VOLUMEDOWN: return DIK_VOLUMEDOWN;
    case SDL_SCANCODE_VOLUMEUP: return DIK_VOLUMEUP;
    case SDL_SCANCODE_KP_COMMA: return DIK_NUMPADCOMMA;
    case SDL_SCANCODE_KP_DIVIDE: return DIK_DIVIDE;
    case SDL_SCANCODE_PRINTSCREEN: return DIK_SYSRQ;
    case SDL_SCANCODE_RALT: return DIK_RMENU;
    case SDL_SCANCODE_PAUSE: return DIK_PAUSE;
    case SDL_SCANCODE_HOME: return DIK_HOME;
    case SDL_SCANCODE_UP: return DIK_UP;
    case SDL_SCANCODE_PAGEUP: return DIK_PRIOR;
    case SDL_SCANCODE_LEFT: return DIK_LEFT;
    case SDL_SCANCODE_RIGHT: return DIK_RIGHT;
    case SDL_SCANCODE_END: return DIK_END;
    case SDL_SCANCODE_DOWN: return DIK_DOWN;
    case SDL_SCANCODE_PAGEDOWN: return DIK_NEXT;
    case SDL_SCANCODE_INSERT: return DIK_INSERT;
    case SDL_SCANCODE_DELETE: return DIK_DELETE;
    case SDL_SCANCODE_LGUI: return DIK_LWIN;
    case SDL_SCANCODE_RGUI: return DIK_RWIN;
    case SDL_SCANCODE_APPLICATION: return DIK_APPS;
    default: return 0;
  }
}

struct SdlWindowDeleter {
  void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
};
struct SdlRendererDeleter {
  void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
};
struct SdlTextureDeleter {
  void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
};
struct SdlCursorDeleter {
  void operator()(SDL_Cursor* c) const { SDL_FreeCursor(c); }
};

// SDL's video subsystem for the life of one window object.
class VideoSubsystem {
 public:
  bool Up() {
    if (!up_) {
      // The game reads keys, never composed text, so Xlib's input method is spared parsing the
      // locale's compose table (thousands of lines, about a third of the video start-up) unless
      // the user names a table of their own. Only the start reads it; the variable is put back.
      const bool spare_compose = !std::getenv("XCOMPOSEFILE");
      if (spare_compose) setenv("XCOMPOSEFILE", "/dev/null", 1);
      up_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
      if (spare_compose) unsetenv("XCOMPOSEFILE");
    }
    if (!up_) std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
    return up_;
  }
  ~VideoSubsystem() {
    if (up_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

 private:
  bool up_ = false;
};

class SdlWindow final : public Window {
 public:
  ~SdlWindow() override { Destroy(); }

  bool Create(std::string_view title_sjis, int x, int y, int width, int height) override {
    if (!video_.Up()) return false;
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The window surface itself, not a GL texture standing for it (the environment still wins).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    std::string title = SjisToUtf8(title_sjis);
    window_.reset(SDL_CreateWindow(title.c_str(), x, y, width, height, SDL_WINDOW_HIDDEN));
    if (!window_) {
      std::fprintf(stderr, "SDL_CreateWindow: %s\n", SDL_GetError());
      return false;
    }
    return CreatePresenter();
  }

  void Show() override {
    if (!window_) return;
    SDL_ShowWindow(window_.get());
    SDL_RaiseWindow(window_.get());
    // A window manager gives a new window the focus itself, and asking for it while the manager
    // is still framing the window is an X protocol error that ends the program. So with a
    // manager the game goes on at once and asks for the focus only if it has not come a moment
    // later (CheckFocus, from the message loop); without one it asks now, the window being
    // viewable once shown. Off X (no server, or the dummy driver) there is nothing to ask.
    focus_wait_ = false;
    if (!HasFocus()) {
      switch (X11WindowManager(window_.get())) {
        case X11Manager::kRunning:
          focus_wait_ = true;
          focus_deadline_ = SDL_GetTicks() + 250;
          break;
        case X11Manager::kNone:
          // Asked for as soon as the window is viewable: now, or from the message loop.
          focus_wait_ = true;
          focus_deadline_ = SDL_GetTicks();
          CheckFocus();
          break;
        case X11Manager::kNoServer: break;
      }
    }
    SDL_GetMouseState(&pointer_x_, &pointer_y_);
    shown_ = true;
  }
  bool Shown() const override { return shown_; }

  void Destroy() override {
    cursor_.reset();
    texture_.reset();
    renderer_.reset();
    window_.reset();
    shown_ = false;
  }

  Rect WorkArea() override {
    SDL_Rect r{0, 0, kFrameWidth, kFrameHeight};
    if (video_.Up() && SDL_GetDisplayUsableBounds(0, &r) != 0) SDL_GetDisplayBounds(0, &r);
    return {r.x, r.y, r.x + r.w, r.y + r.h};
  }

  bool PeekMessage(Message& out) override {
    if (focus_wait_) CheckFocus();
    if (!quit_queue_.empty()) {
      out = quit_queue_.front();
      quit_queue_.pop_front();
      return true;
    }
    if (!window_) return false;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
      if (Translate(ev, out)) return true;
    }
    return false;
  }

  void PostQuit(int code) override { quit_queue_.push_back({MessageType::Quit, code}); }

  // The pointer as the window's own motion events last placed it, mapped to the frame through
  // the presenter's scale, with the bars around a scaled frame outside it.
  Point CursorPos() override {
    if (!window_) return {};
    SDL_Rect d = Destination();
    double fx = (pointer_x_ - d.x) * static_cast<double>(kFrameWidth) / d.w;
    double fy = (pointer_y_ - d.y) * static_cast<double>(kFrameHeight) / d.h;
    return {static_cast<int>(fx < 0 ? fx - 1 : fx), static_cast<int>(fy < 0 ? fy - 1 : fy)};
  }

  void WarpCursor(Point client) override {
    if (!window_) return;
    SDL_Rect d = Destination();
    pointer_x_ = d.x + client.x * d.w / kFrameWidth;
    pointer_y_ = d.y + client.y * d.h / kFrameHeight;
    SDL_WarpMouseInWindow(window_.get(), pointer_x_, pointer_y_);
  }

  void SetCursor(Cursor c) override {
    shape_ = c;
    if (c == Cursor::None) {
      SDL_ShowCursor(SDL_DISABLE);
      return;
    }
    if (!cursor_) cursor_.reset(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW));
    if (cursor_) SDL_SetCursor(cursor_.get());
    SDL_ShowCursor(SDL_ENABLE);
  }
  Cursor CurrentCursor() const override { return shape_; }

  bool SetFullscreen(bool fullscreen) override {
    if (!window_) return false;
    if (fullscreen) {
      if (SDL_SetWindowFullscreen(window_.get(), SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) return false;
    } else {
      if (SDL_SetWindowFullscreen(window_.get(), 0) != 0) return false;
      SDL_SetWindowSize(window_.get(), kFrameWidth, kFrameHeight);
      Rect wa = WorkArea();
      SDL_SetWindowPosition(window_.get(), wa.left + (wa.right - wa.left - kFrameWidth) / 2,
                            wa.top + (wa.bottom - wa.top - kFrameHeight) / 2);
    }
    fullscreen_ = fullscreen;
    fullscreen_since_ = SDL_GetTicks();
    size_mismatch_since_ = 0;
    return true;
  }
  bool Fullscreen() const override { return fullscreen_; }

  PresentResult Present(const uint32_t* xrgb, int pitch) override {
    if (lost_ || !renderer_) return PresentResult::DeviceLost;
    KeepFullscreenHonest();
    SDL_UpdateTexture(texture_.get(), nullptr, xrgb, pitch * 4);
    SDL_Rect d = Destination();
    int w = 0, h = 0;
    SDL_GetWindowSize(window_.get(), &w, &h);
    if (d.x > 0 || d.y > 0 || d.w < w || d.h < h) {  // bars around a scaled frame
      SDL_SetRenderDrawColor(renderer_.get(), 0, 0, 0, 255);
      SDL_RenderClear(renderer_.get());
    }
    SDL_RenderCopy(renderer_.get(), texture_.get(), nullptr, &d);
    if (!vsync_) WaitForRefresh();
    SDL_RenderPresent(renderer_.get());
    return lost_ ? PresentResult::DeviceLost : PresentResult::Ok;
  }

  bool ResetDevice() override {
    if (!window_) return false;
    texture_.reset();
    renderer_.reset();
    lost_ = false;
    return CreatePresenter();
  }

 private:
  bool CreatePresenter() {
    const char* chosen = std::getenv("SDL_RENDER_DRIVER");
    // The one chosen first; then whichever renderer SDL can make on this window.
    const bool software_first = !chosen || !*chosen;
    if (software_first)
      renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE));
    if (!renderer_) renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_PRESENTVSYNC));
    if (!renderer_ && !software_first)
      renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE));
    if (!renderer_) {
      std::fprintf(stderr, "SDL_CreateRenderer: %s\n", SDL_GetError());
      return false;
    }
    SDL_RendererInfo info{};
    vsync_ = SDL_GetRendererInfo(renderer_.get(), &info) == 0 &&
             (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    next_refresh_ = 0;
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    // The frame's fourth byte is not shown: the texture ignores it, and a frame the size of the
    // window goes into the window's surface as a plain copy.
    texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_RGB888,
                                     SDL_TEXTUREACCESS_STREAMING, kFrameWidth, kFrameHeight));
    if (!texture_) {
      std::fprintf(stderr, "SDL_CreateTexture: %s\n", SDL_GetError());
      return false;
    }
    return true;
  }

  // A window manager may refuse full screen and keep the window as it was, while SDL goes on
  // drawing for the whole screen (so only a corner of the frame shows). When the server's size
  // of the window and SDL's stay apart for a while after the switch, the window is left in a
  // window again, where the two agree, and the frame shows whole.
  // The server is asked only in the seconds after a switch (a round trip a frame would cost
  // every frame of full screen), which is when a manager answers.
  void KeepFullscreenHonest() {
    if (!fullscreen_ || SDL_GetTicks() - fullscreen_since_ > kFullscreenWatchMs) return;
    int real_w = 0, real_h = 0, w = 0, h = 0;
    SDL_GetWindowSize(window_.get(), &w, &h);
    if (!X11WindowSize(window_.get(), real_w, real_h) || (real_w == w && real_h == h)) {
      size_mismatch_since_ = 0;
      return;
    }
    const uint32_t now = SDL_GetTicks();
    if (size_mismatch_since_ == 0) size_mismatch_since_ = now ? now : 1;
    if (now - size_mismatch_since_ < 1000) return;  // the manager may still be at work
    std::fprintf(stderr, "full screen refused: the window stayed %d x %d; back to a window\n",
                 real_w, real_h);
    SDL_SetWindowFullscreen(window_.get(), 0);
    fullscreen_ = false;
    size_mismatch_since_ = 0;
  }

  // Without vsync: waits for the display's next refresh after the frame before, so the game
  // runs at the display's rate as it does with vsync. The first frame, and one after a stall of
  // more than a refresh, go out at once.
  void WaitForRefresh() {
    SDL_DisplayMode mode{};
    const int display = SDL_GetWindowDisplayIndex(window_.get());
    const int rate = display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 &&
                             mode.refresh_rate > 0
                         ? mode.refresh_rate
                         : 60;
    const uint64_t frequency = SDL_GetPerformanceFrequency();
    const uint64_t period = frequency / static_cast<uint64_t>(rate);
    uint64_t now = SDL_GetPerformanceCounter();
    if (next_refresh_ == 0 || now > next_refresh_ + period) {
      next_refresh_ = now + period;
      return;
    }
    if (now < next_refresh_) {
      const uint64_t wait_ms = (next_refresh_ - now) * 1000 / frequency;
      if (wait_ms > 0) SDL_Delay(static_cast<uint32_t>(wait_ms));
    }
    next_refresh_ += period;
  }

  // Where the frame lands in the window: as large as fits with the aspect kept, centred. The
  // size is asked every frame, so whatever the window manager does, the frame fits.
  SDL_Rect Destination() const {
    int w = kFrameWidth, h = kFrameHeight;
    if (window_) SDL_GetWindowSize(window_.get(), &w, &h);
    int dw = w, dh = w * kFrameHeight / kFrameWidth;
    if (dh > h) {
      dh = h;
      dw = h * kFrameWidth / kFrameHeight;
    }
    if (dw <= 0 || dh <= 0) return {0, 0, kFrameWidth, kFrameHeight};
    return {(w - dw) / 2, (h - dh) / 2, dw, dh};
  }

  bool HasFocus() const {
    return (SDL_GetWindowFlags(window_.get()) & SDL_WINDOW_INPUT_FOCUS) != 0;
  }
  // After the deadline the focus that has not come is asked for once, as soon as the window is
  // viewable (framed); a window that stays unviewable a second longer is left alone.
  void CheckFocus() {
    const uint32_t now = SDL_GetTicks();
    if (!window_ || HasFocus() || SDL_TICKS_PASSED(now, focus_deadline_ + 1000)) {
      focus_wait_ = false;
    } else if (SDL_TICKS_PASSED(now, focus_deadline_) && X11WindowViewable(window_.get())) {
      focus_wait_ = false;
      SDL_SetWindowInputFocus(window_.get());
    }
  }

  bool Translate(const SDL_Event& ev, Message& out) {
    switch (ev.type) {
      case SDL_QUIT:
        out = {MessageType::Close, 0};
        return true;
      case SDL_WINDOWEVENT:
        switch (ev.window.event) {
          case SDL_WINDOWEVENT_CLOSE:
            out = {MessageType::Close, 0};
            return true;
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            input_.SetForeground(true);
            out = {MessageType::Activate, 0};
            return true;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            input_.SetForeground(false);
            out = {MessageType::Deactivate, 0};
            return true;
          default:
            return false;
        }
      case SDL_DISPLAYEVENT:
        out = {MessageType::DisplayChange, 0};
        return true;
      case SDL_RENDER_DEVICE_RESET:
      case SDL_RENDER_TARGETS_RESET:
        lost_ = true;
        return false;
      case SDL_KEYDOWN:
      case SDL_KEYUP: {
        uint8_t dik = DikFromScancode(ev.key.keysym.scancode);
        bool down = ev.type == SDL_KEYDOWN;
        input_.OnKey(dik, down);
        // The system's own Alt+F4: close at once, as the window's default handling does.
        if (down && dik == DIK_F4 && (ev.key.keysym.mod & KMOD_ALT)) {
          out = {MessageType::Close, 0};
          return true;
        }
        return false;
      }
      case SDL_MOUSEBUTTONDOWN:
      case SDL_MOUSEBUTTONUP: {
        pointer_x_ = ev.button.x;
        pointer_y_ = ev.button.y;
        int b = ev.button.button == SDL_BUTTON_LEFT     ? 0
                : ev.button.button == SDL_BUTTON_RIGHT  ? 1
                : ev.button.button == SDL_BUTTON_MIDDLE ? 2
                : ev.button.button == SDL_BUTTON_X1     ? 3
                                                        : -1;
        input_.OnButton(b, ev.type == SDL_MOUSEBUTTONDOWN);
        return false;
      }
      case SDL_MOUSEWHEEL: {
        int notches = ev.wheel.y;
        if (ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
        input_.OnWheel(notches * 120);
        return false;
      }
      case SDL_MOUSEMOTION:
        pointer_x_ = ev.motion.x;
        pointer_y_ = ev.motion.y;
        input_.OnMotion(ev.motion.xrel, ev.motion.yrel);
        return false;
      default:
        return false;
    }
  }

  VideoSubsystem video_;
  std::unique_ptr<SDL_Window, SdlWindowDeleter> window_;
  std::unique_ptr<SDL_Renderer, SdlRendererDeleter> renderer_;
  std::unique_ptr<SDL_Texture, SdlTextureDeleter> texture_;
  std::unique_ptr<SDL_Cursor, SdlCursorDeleter> cursor_;
  std::deque<Message> quit_queue_;
  bool shown_ = false;
  bool focus_wait_ = false;  // shown under a window manager, the focus not yet come
  uint32_t focus_deadline_ = 0;
  bool fullscreen_ = false;
  bool lost_ = false;
  bool vsync_ = false;         // the renderer waits for the display itself
  uint64_t next_refresh_ = 0;  // performance counter of the next refresh, without vsync
  Cursor shape_ = Cursor::Game;
  int pointer_x_ = -1, pointer_y_ = -1;  // window pixels, from the window's own events
  uint32_t size_mismatch_since_ = 0;
  uint32_t fullscreen_since_ = 0;  // when the window last switched
  static constexpr uint32_t kFullscreenWatchMs = 3000;
};

}  // namespace

std::unique_ptr<Window> CreateSdlWindow() { return std::make_unique<SdlWindow>(); }

}  // namespace platform
