// The panel window through SDL2: an unscaled streaming texture of the window's size, mouse
// events in client coordinates, the system arrow and hand cursors.
#include <SDL.h>

#include <cstdio>

#include "platform/panel_window.h"
#include "platform/sjis.h"

namespace platform {
namespace {

struct Deleter {
  void operator()(SDL_Window* w) const { SDL_DestroyWindow(w); }
  void operator()(SDL_Renderer* r) const { SDL_DestroyRenderer(r); }
  void operator()(SDL_Texture* t) const { SDL_DestroyTexture(t); }
  void operator()(SDL_Cursor* c) const { SDL_FreeCursor(c); }
};

class SdlPanelWindow final : public PanelWindow {
 public:
  ~SdlPanelWindow() override {
    Destroy();
    if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }

  bool Create(std::string_view title_sjis, int width, int height) override {
    if (!video_) video_ = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (!video_) {
      std::fprintf(stderr, "SDL video: %s\n", SDL_GetError());
      return false;
    }
    SDL_Rect area{0, 0, width, height};
    if (SDL_GetDisplayUsableBounds(0, &area) != 0) SDL_GetDisplayBounds(0, &area);
    const std::string title = SjisToUtf8(title_sjis);
    window_.reset(SDL_CreateWindow(title.c_str(), area.x + (area.w - width) / 2,
                                   area.y + (area.h - height) / 2, width, height,
                                   SDL_WINDOW_HIDDEN));
    if (!window_) {
      std::fprintf(stderr, "SDL_CreateWindow: %s\n", SDL_GetError());
      return false;
    }
    renderer_.reset(SDL_CreateRenderer(window_.get(), -1, 0));
    if (!renderer_) renderer_.reset(SDL_CreateRenderer(window_.get(), -1, SDL_RENDERER_SOFTWARE));
    if (renderer_)
      texture_.reset(SDL_CreateTexture(renderer_.get(), SDL_PIXELFORMAT_ARGB8888,
                                       SDL_TEXTUREACCESS_STREAMING, width, height));
    if (!texture_) {
      std::fprintf(stderr, "SDL renderer: %s\n", SDL_GetError());
      return false;
    }
    arrow_.reset(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW));
    hand_.reset(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_HAND));
    return true;
  }

  void Show() override {
    if (window_) SDL_ShowWindow(window_.get());
  }

  void Destroy() override {
    texture_.reset();
    renderer_.reset();
    window_.reset();
  }

  bool NextEvent(PanelEvent& out, bool wait) override {
    if (!window_) return false;
    SDL_Event ev;
    for (;;) {
      const int got = wait ? SDL_WaitEvent(&ev) : SDL_PollEvent(&ev);
      if (!got) return false;
      switch (ev.type) {
        case SDL_QUIT:
          out = {PanelEventType::Close, 0, 0};
          return true;
        case SDL_WINDOWEVENT:
          if (ev.window.event == SDL_WINDOWEVENT_CLOSE) {
            out = {PanelEventType::Close, 0, 0};
            return true;
          }
          if (ev.window.event == SDL_WINDOWEVENT_EXPOSED ||
              ev.window.event == SDL_WINDOWEVENT_SHOWN) {
            out = {PanelEventType::Expose, 0, 0};
            return true;
          }
          break;
        case SDL_MOUSEMOTION:
          out = {PanelEventType::MouseMove, ev.motion.x, ev.motion.y};
          return true;
        case SDL_MOUSEBUTTONUP:
          if (ev.button.button == SDL_BUTTON_LEFT) {
            out = {PanelEventType::ButtonUp, ev.button.x, ev.button.y};
            return true;
          }
          break;
        default:
          break;
      }
    }
  }

  void SetCursor(PanelCursor c) override {
    SDL_Cursor* cursor = c == PanelCursor::Hand ? hand_.get() : arrow_.get();
    if (cursor) SDL_SetCursor(cursor);
  }

  void Present(const uint32_t* xrgb, int width, int height) override {
    if (!texture_) return;
    SDL_UpdateTexture(texture_.get(), nullptr, xrgb, width * 4);
    SDL_RenderClear(renderer_.get());
    SDL_Rect d{0, 0, width, height};
    SDL_RenderCopy(renderer_.get(), texture_.get(), nullptr, &d);
    SDL_RenderPresent(renderer_.get());
  }

 private:
  bool video_ = false;
  std::unique_ptr<SDL_Window, Deleter> window_;
  std::unique_ptr<SDL_Renderer, Deleter> renderer_;
  std::unique_ptr<SDL_Texture, Deleter> texture_;
  std::unique_ptr<SDL_Cursor, Deleter> arrow_;
  std::unique_ptr<SDL_Cursor, Deleter> hand_;
};

}  // namespace

std::unique_ptr<PanelWindow> CreateSdlPanelWindow() { return std::make_unique<SdlPanelWindow>(); }

}  // namespace platform
