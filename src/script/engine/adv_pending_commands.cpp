// Interim definitions of the operations the script commands hand their checked arguments to,
// for the areas still to come (the system menu, history and save screens the story opens,
// movies, the title, the galleries and the town map). Each only logs the call at level 1; the area that
// owns an operation defines it in its own file and deletes it here.
#include <string>

#include "app/adv.h"
#include "platform/log.h"

namespace {

[[maybe_unused]] std::string Arg(int32_t v) {
  return std::to_string(v);
}
const std::string& Arg(const std::string& s) {
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

void CADV::MovieLoad(const std::string& file) {
  Pending("MovieLoad", file);
}
void CADV::MoviePlay() {
  Pending("MoviePlay");
}
void CADV::MovieStop() {
  Pending("MovieStop");
}

void CADV::MOVIE_Init() {
  Pending("MOVIE_Init");
}
