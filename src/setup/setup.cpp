#include "setup/setup.h"

#include "platform/sjis.h"

namespace setup {

std::string SetupContext::InstallationFolder() const {
  return base_folder + "/" + kMakerFolder + "/" + platform::SjisToUtf8(title);
}

platform::BoxAnswer SetupContext::Box(const std::string& caption, const std::string& text,
                                      platform::BoxButtons buttons) {
  busy = true;
  const platform::BoxAnswer answer =
      boxes.Show(caption, text, buttons,
                 buttons == platform::BoxButtons::Ok ? platform::BoxIcon::None
                                                     : platform::BoxIcon::Question);
  busy = false;
  return answer;
}

}  // namespace setup
