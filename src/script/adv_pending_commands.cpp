// Interim definitions of the operations the script commands hand their checked arguments to,
// for the areas still to come (layers, screen effects, the text box and choices, sound, movies,
// the title, the galleries and the town map). Each only logs the call at level 1; the area that
// owns an operation defines it in its own file and deletes it here.
#include <string>

#include "app/adv.h"
#include "platform/log.h"

namespace {

std::string Arg(int32_t v) {
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

void CADV::BgLoad(const std::string& file) {
  Pending("BgLoad", file);
}
void CADV::BgChange(int32_t duration) {
  Pending("BgChange", duration);
}
void CADV::BgScroll(ScrollDirection direction, int32_t duration) {
  Pending("BgScroll", direction, duration);
}
void CADV::BgSync() {
  Pending("BgSync");
}
void CADV::BgWipe3(int32_t duration) {
  Pending("BgWipe3", duration);
}
void CADV::ChrLoad(int32_t slot, const std::string& file) {
  Pending("ChrLoad", slot, file);
}
void CADV::ChrChange(int32_t slot, int32_t duration) {
  Pending("ChrChange", slot, duration);
}
void CADV::ChrSlideIn(int32_t slot, int32_t position, int32_t speed, SlideDirection direction) {
  Pending("ChrSlideIn", slot, position, speed, direction);
}
void CADV::ChrSlideOut(int32_t slot, int32_t speed, SlideDirection direction) {
  Pending("ChrSlideOut", slot, speed, direction);
}
void CADV::ChrTurn(SlotGroup group, int32_t n) {
  Pending("ChrTurn", group, n);
}
void CADV::ChrMove(int32_t slot, int32_t position, int32_t speed) {
  Pending("ChrMove", slot, position, speed);
}
void CADV::ChrSetPosition(int32_t slot, int32_t position) {
  Pending("ChrSetPosition", slot, position);
}
void CADV::ChrShow(int32_t slot) {
  Pending("ChrShow", slot);
}
void CADV::ChrHide(int32_t slot) {
  Pending("ChrHide", slot);
}
void CADV::ChrSwap(int32_t slot) {
  Pending("ChrSwap", slot);
}
void CADV::ChrFadeIn(SlotGroup group, int32_t duration) {
  Pending("ChrFadeIn", group, duration);
}
void CADV::ChrFadeOut(SlotGroup group, int32_t duration) {
  Pending("ChrFadeOut", group, duration);
}
void CADV::ChrShadow(int32_t slot, bool on) {
  Pending("ChrShadow", slot, on ? 1 : 0);
}
void CADV::AnimeInit() {
  Pending("AnimeInit");
}
void CADV::AnimeSet(int32_t index, int32_t pattern, int32_t wait) {
  Pending("AnimeSet", index, pattern, wait);
}
void CADV::AnimeStart() {
  Pending("AnimeStart");
}
void CADV::AnimePause() {
  Pending("AnimePause");
}
void CADV::AnimePlay() {
  Pending("AnimePlay");
}
void CADV::AnimeStop() {
  Pending("AnimeStop");
}
void CADV::AnimeLoad(int32_t number, const std::string& file) {
  Pending("AnimeLoad", number, file);
}

void CADV::Raster(RasterTarget target, int32_t row_step, int32_t rate, int32_t duration,
                  int32_t unused) {
  Pending("Raster", target, row_step, rate, duration, unused);
}
void CADV::Quake(int32_t duration, int32_t direction) {
  Pending("Quake", duration, direction);
}
void CADV::ScreenFade(ScreenEffectKind kind, int32_t duration) {
  Pending("ScreenFade", kind, duration);
}
void CADV::ScreenWipe(ScreenEffectKind kind, int32_t duration) {
  Pending("ScreenWipe", kind, duration);
}

void CADV::DefText(const CharNameTable& table) {
  int used = 0;
  for (const CharNameEntry& e : table) used += !e.name.empty();
  Pending("DefText", used);
}
void CADV::FontLoad(const std::string& file) {
  Pending("FontLoad", file);
}
void CADV::ShowTextPage(const TextPage& page) {
  Pending("ShowTextPage", page.name_number, page.voice_count, page.line_count, page.nowait ? 1 : 0);
}
void CADV::TextCls() {
  Pending("TextCls");
}
void CADV::TextClear() {
  Pending("TextClear");
}
void CADV::CharNameWindow(bool show) {
  Pending("CharNameWindow", show ? 1 : 0);
}
void CADV::TextWindow(TextWindowKind kind, bool show) {
  Pending("TextWindow", kind, show ? 1 : 0);
}
void CADV::ShowChoices(const ChoiceList& choices) {
  Pending("ShowChoices", choices.count);
}
void CADV::ShowTimedChoices(const ChoiceList& choices) {
  Pending("ShowTimedChoices", choices.count, choices.limit_ms, choices.timeout_target);
}
void CADV::SetTextCursorVisible(bool on) {
  Pending("SetTextCursorVisible", on ? 1 : 0);
}

void CADV::SeLoad(int32_t slot, const std::string& file) {
  Pending("SeLoad", slot, file);
}
void CADV::SePlay(int32_t slot, bool loop) {
  Pending("SePlay", slot, loop ? 1 : 0);
}
void CADV::SeStop(int32_t slot) {
  Pending("SeStop", slot);
}
void CADV::SeVolume(int32_t slot, int32_t level) {
  Pending("SeVolume", slot, level);
}
void CADV::SeFadeOut(int32_t slot, int32_t speed) {
  Pending("SeFadeOut", slot, speed);
}
void CADV::BgmPlay(const std::string& file) {
  Pending("BgmPlay", file);
}
void CADV::BgmStop(int32_t speed) {
  Pending("BgmStop", speed);
}

void CADV::MovieLoad(const std::string& file) {
  Pending("MovieLoad", file);
}
void CADV::MoviePlay() {
  Pending("MoviePlay");
}
void CADV::MovieStop() {
  Pending("MovieStop");
}

void CADV::ReturnToTitle() {
  Pending("ReturnToTitle");
}
void CADV::SetTitleState(int32_t state) {
  Pending("SetTitleState", state);
}
void CADV::CGMODE_Init() {
  Pending("CGMODE_Init");
}
void CADV::OMOIDE_Init() {
  Pending("OMOIDE_Init");
}
void CADV::Town_SetPlace() {
  Pending("Town_SetPlace");
}
void CADV::PlayTownMusic() {
  Pending("PlayTownMusic");
}
