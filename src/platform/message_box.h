// Stands in for the system's message boxes. The SDL form shows a real box and, when none can be
// shown (no display), writes caption and text to stderr and answers as if the first button was
// pressed. The headless form logs the box and answers by the policy a test sets.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class BoxButtons { Ok, OkCancel, YesNo };
enum class BoxIcon { None, Error, Warning, Information, Question };
enum class BoxAnswer { Ok, Cancel, Yes, No };

// The answer of a box nobody can press: its first button.
inline BoxAnswer FirstAnswer(BoxButtons buttons) {
  return buttons == BoxButtons::YesNo ? BoxAnswer::Yes : BoxAnswer::Ok;
}

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Caption and text are Shift_JIS.
  virtual BoxAnswer Show(std::string_view caption, std::string_view text, BoxButtons buttons,
                         BoxIcon icon) = 0;
};

std::unique_ptr<MessageBoxes> CreateSdlMessageBoxes();

class HeadlessMessageBoxes final : public MessageBoxes {
 public:
  struct Shown {
    std::string caption;
    std::string text;
    BoxButtons buttons;
    BoxIcon icon;
  };
  BoxAnswer Show(std::string_view caption, std::string_view text, BoxButtons buttons,
                 BoxIcon icon) override;

  std::vector<Shown> shown;
  // Answers a box; by default the first button (OK or Yes).
  std::function<BoxAnswer(const Shown&)> policy;
};

}  // namespace platform
