// The picture, animation and effect commands' operations, handed on to the layers and effects.
#include "app/adv.h"

void CADV::BgLoad(const std::string& file) { SceneBgLoad(file); }
void CADV::BgChange(int32_t duration) { SceneBgChange(duration); }
void CADV::BgScroll(ScrollDirection direction, int32_t duration) {
  SceneBgScroll(direction, duration);
}
// "@bg_sync": the story waits while a scroll is still moving.
void CADV::BgSync() {
  if (SceneBgScrolling() && adv_state == ADV_RUNNING) adv_state = ADV_TRANSITION;
}
void CADV::BgWipe3(int32_t duration) { SceneBgWipe3(duration); }
void CADV::ChrLoad(int32_t slot, const std::string& file) { SceneChrLoad(slot, file); }
void CADV::ChrChange(int32_t slot, int32_t duration) { SceneChrChange(slot, duration); }
void CADV::ChrSlideIn(int32_t slot, int32_t position, int32_t speed, SlideDirection direction) {
  SceneChrSlideIn(slot, position, speed, direction);
}
void CADV::ChrSlideOut(int32_t slot, int32_t speed, SlideDirection direction) {
  SceneChrSlideOut(slot, speed, direction);
}
void CADV::ChrTurn(SlotGroup group, int32_t n) { SceneChrTurn(group, n); }
void CADV::ChrMove(int32_t slot, int32_t position, int32_t speed) {
  SceneChrMove(slot, position, speed);
}
void CADV::ChrSetPosition(int32_t slot, int32_t position) { SceneChrSetPosition(slot, position); }
void CADV::ChrShow(int32_t slot) { SceneChrShow(slot); }
void CADV::ChrHide(int32_t slot) { SceneChrHide(slot); }
void CADV::ChrSwap(int32_t slot) { SceneChrSwap(slot); }
void CADV::ChrFadeIn(SlotGroup group, int32_t duration) { SceneChrFadeIn(group, duration); }
void CADV::ChrFadeOut(SlotGroup group, int32_t duration) { SceneChrFadeOut(group, duration); }
void CADV::ChrShadow(int32_t slot, bool on) { SceneChrShadow(slot, on); }
void CADV::AnimeInit() { SceneAnimeInit(); }
void CADV::AnimeSet(int32_t index, int32_t pattern, int32_t wait) {
  SceneAnimeSet(index, pattern, wait);
}
void CADV::AnimeStart() { SceneAnimeStart(); }
void CADV::AnimePause() { SceneAnimePause(); }
void CADV::AnimePlay() { SceneAnimePlay(); }
void CADV::AnimeStop() { SceneAnimeStop(); }
void CADV::AnimeLoad(int32_t number, const std::string& file) { SceneAnimeLoad(number, file); }
void CADV::Raster(RasterTarget target, int32_t row_step, int32_t rate, int32_t duration,
                  int32_t /*unused*/) {
  SceneRaster(target, row_step, rate, duration);
}
void CADV::Quake(int32_t duration, int32_t direction) { SceneQuake(duration, direction); }
void CADV::ScreenFade(ScreenEffectKind kind, int32_t duration) { SceneScreenFade(kind, duration); }
void CADV::ScreenWipe(ScreenEffectKind kind, int32_t duration) { SceneScreenWipe(kind, duration); }
