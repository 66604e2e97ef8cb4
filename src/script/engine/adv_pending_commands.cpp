// Interim definitions of the operations the script commands hand their checked arguments to,
// for the areas still to come (the system menu, history and save screens the story opens,
// the title, the galleries and the town map). Each only logs the call at level 1; the area that
// owns an operation defines it in its own file and deletes it here.
#include <string>

#include "app/adv.h"
#include "platform/log.h"

namespace {

[[maybe_unused]] std::string Arg(int32_t v) {
  return std::to_string(v);
}
[[maybe_unused]] const std::string& Arg(const std::string& s) {
  return s;
}

template <typename... Args>
void Pending(const char* operation, const Args&... args) {
  std::string text = operation;
  text += '(';
  bool first = true;
  ((text += (first ? "" : ", "), text += Arg(args), first = false), ...);
  text += ") - not built yet";
  WriteLog(1, text, "CADV", 0);
}

}  // namespace

void CADV::CGMODE_Init() {
  Pending("CGMODE_Init");
}
void CADV::OMOIDE_Init() {
  Pending("OMOIDE_Init");
}
void CADV::MUSIC_Init() {
  Pending("MUSIC_Init");
}
