// The message boxes on the user's display through SDL (which shows them with the desktop's own
// dialog program where there is one). Where no box can be shown the text goes to stderr and the
// first button is the answer.
#include <SDL.h>

#include <cstdio>

#include "platform/message_box.h"
#include "platform/sjis.h"

namespace platform {
namespace {


class SdlMessageBoxes final : public MessageBoxes {
 public:
  BoxAnswer Show(std::string_view caption, std::string_view text, BoxButtons buttons,
                 BoxIcon icon) override {
    std::string c = SjisToUtf8(caption);
    std::string t = SjisToUtf8(text);
    SDL_MessageBoxButtonData data[2];
    int count = 0;
    auto add = [&](BoxAnswer a, const char* label, Uint32 flags) {
      data[count++] = {flags, static_cast<int>(a), label};
    };
    switch (buttons) {
      case BoxButtons::Ok:
        add(BoxAnswer::Ok, "OK", SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT |
                                     SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
        break;
      case BoxButtons::OkCancel:
        add(BoxAnswer::Ok, "OK", SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT);
        add(BoxAnswer::Cancel, "Cancel", SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
        break;
      case BoxButtons::YesNo:
        add(BoxAnswer::Yes, "Yes", SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT);
        add(BoxAnswer::No, "No", SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT);
        break;
    }
    Uint32 flags = icon == BoxIcon::Error     ? SDL_MESSAGEBOX_ERROR
                   : icon == BoxIcon::Warning ? SDL_MESSAGEBOX_WARNING
                                              : SDL_MESSAGEBOX_INFORMATION;
    SDL_MessageBoxData box{flags, nullptr, c.c_str(), t.c_str(), count, data, nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0 || pressed < 0) {
      std::fprintf(stderr, "%s%s%s\n", c.c_str(), c.empty() ? "" : ": ", t.c_str());
      return FirstAnswer(buttons);
    }
    return static_cast<BoxAnswer>(pressed);
  }
};

}  // namespace

std::unique_ptr<MessageBoxes> CreateSdlMessageBoxes() { return std::make_unique<SdlMessageBoxes>(); }

}  // namespace platform
