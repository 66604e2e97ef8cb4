// The headless message boxes: logged, and answered by the test's policy.
#include "platform/message_box.h"

#include "platform/log.h"

namespace platform {

BoxAnswer HeadlessMessageBoxes::Show(std::string_view caption, std::string_view text,
                                     BoxButtons buttons, BoxIcon icon) {
  shown.push_back({std::string(caption), std::string(text), buttons, icon});
  WriteLog(0, std::string(text), "MessageBox", 0);
  return policy ? policy(shown.back()) : FirstAnswer(buttons);
}

}  // namespace platform
