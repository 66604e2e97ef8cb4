// CADV's picture layers and screen effects: the loaders and their caches, the scene reset, the
// operations the picture, animation and effect commands start, the time rules (effect speed,
// Ctrl skip, the ending, the holds) and the per-frame steps of the story's draw.
#include <algorithm>
#include <cstring>
#include <span>

#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "script/script_log.h"

namespace {

// Time that makes any running layer transition reach its end in one step.
constexpr float kJump = 1.0e9f;

const char kBgLoader[] = "CADV::SubBGLoadFromPNG";
const char kChrLoader[] = "CADV::SubChrLoadFromPNG";

scene::ScrollWay WayOf(ScrollDirection d) {
  switch (d) {
    case SCROLL_DOWN: return scene::ScrollWay::kDown;
    case SCROLL_LEFT: return scene::ScrollWay::kLeft;
    case SCROLL_RIGHT: return scene::ScrollWay::kRight;
    default: return scene::ScrollWay::kUp;
  }
}

scene::SlideWay WayOf(SlideDirection d) {
  switch (d) {
    case SLIDE_BOTTOM: return scene::SlideWay::kBottom;
    case SLIDE_LEFT: return scene::SlideWay::kLeft;
    case SLIDE_RIGHT: return scene::SlideWay::kRight;
    default: return scene::SlideWay::kTop;
  }
}

// The slots of a group selector; empty for an unknown one.
std::span<const int> SlotsOf(SlotGroup group) {
  static constexpr int kA[] = {0}, kB[] = {1}, kC[] = {2}, kAB[] = {0, 1}, kBC[] = {1, 2},
                       kAC[] = {0, 2}, kABC[] = {0, 1, 2};
  auto list = [](const int* p, size_t n) { return std::span<const int>(p, n); };
  switch (group) {
    case GROUP_A: return list(kA, 1);
    case GROUP_B: return list(kB, 1);
    case GROUP_C: return list(kC, 1);
    case GROUP_AB: return list(kAB, 2);
    case GROUP_BC: return list(kBC, 2);
    case GROUP_AC: return list(kAC, 2);
    case GROUP_ABC: return list(kABC, 3);
  }
  return {};
}

bool ValidPosition(int32_t p) { return p >= 0 && p <= 4; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Set-up

void CADV::LayersSetup() { SceneReset(); }

void CADV::SceneReset() {
  platform::Clock& clock = process_.platform.clock;
  gfx::Device& device = process_.graphics.Device();
  const uint32_t t0 = clock.Now();
  scene.bg.Create(device);
  const uint32_t t1 = clock.Now();
  scene.chr.Create(device);
  const uint32_t t2 = clock.Now();
  // The textures were made anew: no name may claim a picture is still in them.
  for (int c = 0; c < 2; ++c) scene.bg.Channel(c).cache_name.clear();
  for (int s = 0; s < scene::kSlotCount; ++s)
    for (scene::ChrBuffer& b : scene.chr.Slot(s).buffers) b.cache_name.clear();
  scene.effects.Reset();
  scene.effect_settled = false;
  scene.created = true;
  script_state.layer_busy = false;
  script_state.screen_effect_running = false;
  // The text box goes back to an empty page in its place, without its name plate.
  text_box.Advance(-1);
  text_box.SetPosition(0, 444);
  text_box.SetNamePlate(false);
  WriteLog(0, ScriptFormat("BG_INIT %d ms", static_cast<int>(t1 - t0)), "CADV::SceneReset", __LINE__);
  WriteLog(0, ScriptFormat("CHR_INIT %d ms", static_cast<int>(t2 - t1)), "CADV::SceneReset", __LINE__);
}

// ---------------------------------------------------------------------------------------------
// Loaders

bool CADV::SubBGLoadFromPNG(int32_t channel, const std::string& name) {
  scene::BgChannel& ch = scene.bg.Channel(channel);
  scene.disk_ms = scene.vram_ms = 0;
  // Only the story trusts the cache: the other screens reuse the channels for their own pictures.
  if (game_mode == MODE_ADV && name == ch.cache_name) {
    WriteLog(0, "@bg_load PNG load cache.", kBgLoader, __LINE__);
    WriteLog(0, "@bg_load load time. 0", kBgLoader, __LINE__);
    return true;
  }
  platform::Clock& clock = process_.platform.clock;
  const uint32_t t0 = clock.Now();
  const CPackFile& archive =
      name.find("SYSTEM") != std::string::npos ? process_.system_pkd : process_.grp_pkd;
  // A picture either channel still holds decoded (the same place again after another, say) is
  // uploaded from there rather than decoded again.
  const scene::BgChannel& other = scene.bg.Channel(channel == 0 ? 1 : 0);
  const CImage32* held = name.empty()              ? nullptr
                         : ch.image_name == name    ? &ch.image
                         : other.image_name == name ? &other.image
                                                    : nullptr;
  const int result = held ? 0 : process_.pictures.Load(archive, name, scene.load);
  ch.cache_name = name;
  const uint32_t t1 = clock.Now();
  scene.disk_ms = t1 - t0;
  if (result != 0) {
    WriteLog(2, "PNG Load failed. -> " + name, kBgLoader, __LINE__);
    return false;
  }
  if (!held) {
    std::swap(ch.image, scene.load);
    ch.image_name = name;
    held = &ch.image;
  }
  ch.blocks.Upload(*held);
  const uint32_t t2 = clock.Now();
  scene.vram_ms = t2 - t1;
  WriteLog(0, ScriptFormat("@bg_load load time. %d", static_cast<int>(t2 - t0)), kBgLoader,
           __LINE__);
  return true;
}

bool CADV::SubChrLoadFromPNG(int32_t slot, int32_t buffer, const std::string& name) {
  scene.disk_ms = scene.vram_ms = 0;
  if (slot < 0 || slot >= scene::kSlotCount || buffer < 0 || buffer > 1) return false;
  scene::ChrBuffer& b = scene.chr.Slot(slot).buffers[buffer];
  if (name == b.cache_name) {
    WriteLog(0, "@chr_load PNG load cache.", kChrLoader, __LINE__);
    return true;
  }
  platform::Clock& clock = process_.platform.clock;
  const uint32_t t0 = clock.Now();
  const int result = process_.pictures.Load(process_.grp_pkd, name, scene.load);
  const uint32_t t1 = clock.Now();
  scene.disk_ms = t1 - t0;
  if (result != 0) {
    WriteLog(2, "PNG Load failed. -> " + name, kChrLoader, __LINE__);
    return false;
  }
  b.cache_name = name;
  b.blocks.Upload(scene.load);
  scene.load.Release();  // character pictures are not kept
  scene.vram_ms = clock.Now() - t1;
  return true;
}

void CADV::ExpectScriptPictures() {
  const int32_t at = script.GetPosition();
  if (script.GetName() == ahead_script_ && at >= ahead_from_ && at <= ahead_to_) return;
  // Far enough ahead for the pictures of the next pages, near enough that a scan stays cheap.
  constexpr size_t kPictures = 8;
  constexpr int32_t kTokens = 4096;
  const int32_t end = std::min(script.TokenCount(), at + kTokens);
  ahead_script_ = script.GetName();
  ahead_from_ = at;
  ahead_to_ = end;
  auto cached = [&](const std::string& name) {
    for (int c = 0; c < 2; ++c)
      if (scene.bg.Channel(c).cache_name == name) return true;
    for (int s = 0; s < scene::kSlotCount; ++s)
      for (const scene::ChrBuffer& b : scene.chr.Slot(s).buffers)
        if (b.cache_name == name) return true;
    return false;
  };
  std::vector<PictureLoader::Wanted> wanted;
  for (int32_t i = at; i < end && wanted.size() < kPictures;) {
    i = script.SkipLineGroups(i);
    if (i >= end) break;
    const int32_t command_at = i;
    const std::string_view t = script.Token(i);
    i = script.SkipLineGroups(i + 1);
    if (t == "@load") break;  // what follows belongs to another script
    if (t == "@QUIT_TO_OP") {
      // The way back to the title: its pictures are decoded while the last pages are read.
      for (PictureLoader::Wanted& w : TitlePictures(true)) wanted.push_back(std::move(w));
      break;
    }
    const bool bg = t == "@bg_load";
    if (!bg && t != "@chr_load" && t != "@anime_load") continue;
    std::string_view file = script.Token(i);
    if (!bg) {
      const size_t comma = file.find(',');
      file = comma == std::string_view::npos ? std::string_view() : file.substr(comma + 1);
    }
    if (file.empty() || file == "\n") continue;
    std::string name = std::string(bg ? "BG\\" : "CHR\\") + std::string(file);
    if (cached(name)) continue;
    const CPackFile& archive = bg && name.find("SYSTEM") != std::string::npos
                                   ? process_.system_pkd
                                   : process_.grp_pkd;
    // The scan is made again once the first of these has been read.
    if (wanted.empty()) ahead_to_ = command_at;
    wanted.push_back({&archive, std::move(name)});
  }
  process_.pictures.Expect(wanted);
}

void CADV::ChrClear(int32_t slot, int32_t buffer) { scene.chr.Clear(slot, buffer); }

bool CADV::BgLoad(const std::string& file) {
  const int back = scene.bg.Back();
  const bool ok = SubBGLoadFromPNG(back, "BG\\" + file);
  if (ok) {
    scene::BgChannel& ch = scene.bg.Channel(back);
    ch.save_name.fill(0);
    std::memcpy(ch.save_name.data(), file.data(), std::min(file.size(), ch.save_name.size() - 1));
    LogScript(script, 0,
              ScriptFormat("@bg_load. channel%d : %s (DISK %dms/VRAM %dms)", back, file.c_str(),
                           static_cast<int>(scene.disk_ms), static_cast<int>(scene.vram_ms)));
  } else {
    LogScript(script, 2, ScriptFormat("@bg_load failed. channel%d : %s", back, file.c_str()));
  }
  return ok;
}

bool CADV::ChrLoad(int32_t slot, const std::string& file) {
  if (slot < 0 || slot >= scene::kSlotCount) return false;
  const int back = scene.chr.Slot(slot).front ^ 1;
  const bool ok = SubChrLoadFromPNG(slot, back, "CHR\\" + file);
  if (ok)
    LogScript(script, 0,
              ScriptFormat("@chr_load. no(%d) channel(%d) : %s (DISK %dms/VRAM %dms)", slot, back,
                           file.c_str(), static_cast<int>(scene.disk_ms),
                           static_cast<int>(scene.vram_ms)));
  else
    LogScript(script, 2,
              ScriptFormat("@chr_load failed. no(%d) channel(%d) : %s", slot, back, file.c_str()));
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Time rules

namespace {
struct TimeRule {
  bool holds;          // stands still while the menu, a dialog or the hidden window is up
  bool ending_exempt;  // counts once and never jumps while the ending runs
  bool can_jump;       // effect speed 2 and Ctrl skip take it to its end
  bool can_double;     // effect speed 1 counts the time twice
};
constexpr TimeRule kBgFadeRule{true, true, true, true};
constexpr TimeRule kBgScrollRule{true, false, true, true};
constexpr TimeRule kBgWipeRule{false, false, false, false};
constexpr TimeRule kChrRule{false, true, true, true};
constexpr TimeRule kScreenRule{false, false, false, true};
}  // namespace

static float CountedTime(const CADV& a, const TimeRule& rule, bool ctrl) {
  const float base = static_cast<float>(a.frame_time);
  if (rule.holds && (a.system_menu_open || a.confirm_open || a.text_hidden_by_player)) return 0;
  if (rule.ending_exempt && a.script_state.ending) return base;
  if (rule.can_jump && (a.system_data.EffectSpeed == 2 || ctrl)) return kJump;
  if (rule.can_double && a.system_data.EffectSpeed == 1) return 2 * base;
  return base;
}

bool CADV::SceneWaiting() const {
  return scene.bg.Busy() || scene.chr.Busy() || scene.effects.Raster().Running() ||
         (scene.effects.Active() && !scene.effect_settled &&
          EffectHoldsScript(scene.effects.Kind()));
}

namespace {
// A command that starts something that runs puts the story into its transition wait.
void EnterWait(CADV& a) {
  a.script_state.layer_busy = a.scene.bg.Busy() || a.scene.chr.Busy() ||
                              a.scene.effects.Raster().Running();
  if (a.game_mode == MODE_ADV && a.adv_state == ADV_RUNNING && a.SceneWaiting())
    a.adv_state = ADV_TRANSITION;
}
}  // namespace

// ---------------------------------------------------------------------------------------------
// Background transitions

void CADV::BgChange(int32_t duration) {
  scene.bg.StartChange(duration);
  EnterWait(*this);
}

void CADV::BgScroll(ScrollDirection direction, int32_t duration) {
  scene.bg.StartScroll(WayOf(direction), duration);
  EnterWait(*this);
}

bool CADV::SceneBgScrolling() const {
  return scene.bg.Transition() == scene::BgTransition::kScroll;
}

void CADV::BgWipe3(int32_t duration) {
  scene.bg.StartWipe(duration, scene.effects.Mask());
  EnterWait(*this);
}

// ---------------------------------------------------------------------------------------------
// Character operations

void CADV::ChrChange(int32_t slot, int32_t duration) {
  if (duration < 0) {
    LogScript(script, 2,
              ScriptFormat(SJ("(%s.SCP)%d行目 : error : '%s %d' :　コマンド引数に問題があります。").c_str(),
                           ScriptBaseName(script.GetName()).c_str(), script.GetLine(),
                           "@chr_change", duration));
    duration = 0;
  }
  scene.chr.StartChange(slot, duration);
  EnterWait(*this);
}

void CADV::ChrSlideIn(int32_t slot, int32_t position, int32_t speed,
                           SlideDirection direction) {
  if (!ValidPosition(position)) return;
  scene.chr.StartSlideIn(slot, position, speed, WayOf(direction));
  EnterWait(*this);
}

void CADV::ChrSlideOut(int32_t slot, int32_t speed, SlideDirection direction) {
  scene.chr.StartSlideOut(slot, speed, WayOf(direction));
  EnterWait(*this);
}

void CADV::ChrMove(int32_t slot, int32_t position, int32_t speed) {
  if (!ValidPosition(position)) return;
  scene.chr.StartMove(slot, position, speed);
  EnterWait(*this);
}

void CADV::ChrSetPosition(int32_t slot, int32_t position) {
  if (ValidPosition(position)) scene.chr.SetPosition(slot, position);
}
void CADV::ChrShow(int32_t slot) { scene.chr.Show(slot, true); }
void CADV::ChrHide(int32_t slot) { scene.chr.Show(slot, false); }
void CADV::ChrSwap(int32_t slot) { scene.chr.Swap(slot); }

void CADV::ChrFadeIn(SlotGroup group, int32_t duration) {
  for (int s : SlotsOf(group)) scene.chr.StartFadeIn(s, duration);
  EnterWait(*this);
}

void CADV::ChrFadeOut(SlotGroup group, int32_t duration) {
  for (int s : SlotsOf(group)) scene.chr.StartFadeOut(s, duration);
  EnterWait(*this);
}

void CADV::ChrTurn(SlotGroup group, int32_t n) {
  for (int s : SlotsOf(group)) scene.chr.StartTurn(s, n);
  EnterWait(*this);
}

void CADV::SceneTurnRestore() {
  scene.chr.CancelTurns();
  script_state.layer_busy = scene.bg.Busy() || scene.chr.Busy() ||
                            scene.effects.Raster().Running();
}

void CADV::ChrShadow(int32_t slot, bool on) {
  if (slot >= 0 && slot < scene::kSlotCount) scene.chr.Slot(slot).shadow = on;
}

// ---------------------------------------------------------------------------------------------
// Character animation

void CADV::AnimeInit() {
  scene::Animation& a = scene.chr.Anime();
  a = scene::Animation{};
}

void CADV::AnimeSet(int32_t index, int32_t pattern, int32_t wait) {
  if (index < 0 || index >= scene::kAnimeSteps) {
    LogScript(script, 2, ScriptFormat("@anime_set : No[%d] out of range (0-%d)", index,
                                      scene::kAnimeSteps - 1));
    return;
  }
  scene.chr.Anime().steps[index] = {pattern, wait};
  LogScript(script, 0, ScriptFormat("@anime_set : No[%d]Pat[%d]Wait[%d]", index, pattern, wait));
}

void CADV::AnimeStart() {
  scene::Animation& a = scene.chr.Anime();
  a.step = 0;
  a.step_start = process_.platform.clock.Now();
  a.running = true;
  a.paused = false;
}

void CADV::AnimePause() { scene.chr.Anime().paused = true; }

void CADV::AnimePlay() {
  scene::Animation& a = scene.chr.Anime();
  if (!a.paused) return;
  a.step_start = process_.platform.clock.Now();
  a.paused = false;
}

void CADV::AnimeStop() {
  scene::Animation& a = scene.chr.Anime();
  a.running = false;
  a.step = 0;
  scene.chr.Show(1, false);
  scene.chr.Show(2, false);
}

bool CADV::AnimeLoad(int32_t number, const std::string& file) {
  const int slot = number / 2 + 1;
  const int buffer = number % 2;
  const bool ok = number >= 0 && number <= 3 && SubChrLoadFromPNG(slot, buffer, "CHR\\" + file);
  LogScript(script, ok ? 0 : 2,
            ScriptFormat(ok ? "@anime_load. ANIME_NO(%d) [CHR(%d) BUFFER(%d)] : %s"
                            : "@anime_load failed. ANIME_NO(%d) [CHR(%d) BUFFER(%d)] : %s",
                         number, slot, buffer, file.c_str()));
  return ok;
}

void CADV::SceneAnimeProc() { scene.chr.StepAnime(process_.platform.clock.Now()); }

// ---------------------------------------------------------------------------------------------
// Screen effects

void CADV::Raster(RasterTarget target, int32_t row_step, int32_t rate, int32_t duration) {
  scene.effects.StartRaster(target != RASTER_CHARACTERS, target != RASTER_BACKGROUND, row_step,
                            rate, duration);
  EnterWait(*this);
}

void CADV::Quake(int32_t duration, int32_t direction) {
  scene.effects.StartQuake(duration, direction);
}

void CADV::ScreenFade(ScreenEffectKind kind, int32_t duration) {
  scene.effects.StartFade(kind, duration);
  scene.effect_settled = false;
  script_state.screen_effect_running = true;
  script_state.screen_effect_kind = kind;
  EnterWait(*this);
}

void CADV::ScreenWipe(ScreenEffectKind kind, int32_t duration) {
  if (kind == EFFECT_WIPE3_IN || kind == EFFECT_PAGE_IN) {
    // The picture loaded beforehand lies under the mask.
    scene.bg.Stop();
    scene.bg.Swap();
    for (int c = 0; c < 2; ++c) scene.bg.Channel(c).blocks.SetAlpha(255);
  }
  scene.effects.StartWipe(kind, duration);
  scene.effect_settled = false;
  script_state.screen_effect_running = true;
  script_state.screen_effect_kind = kind;
  EnterWait(*this);
}

// ---------------------------------------------------------------------------------------------
// Per frame

void CADV::SceneDrawLayers() {
  gfx::Device& device = process_.graphics.Device();
  const bool ctrl = process_.input.KeyDown(DIK_LCONTROL) || process_.input.KeyDown(DIK_RCONTROL);
  scene.effects.StepQuake(static_cast<int32_t>(frame_time));
  scene.effects.StepRaster(static_cast<float>(frame_time));
  const scene::Offset quake = scene.effects.QuakeOffset();

  const TimeRule& bg_rule =
      scene.bg.Transition() == scene::BgTransition::kScroll ? kBgScrollRule : kBgFadeRule;
  scene.bg.Step(CountedTime(*this, bg_rule, ctrl), CountedTime(*this, kBgWipeRule, ctrl),
                scene.effects.Mask());
  // An active movie takes the background's place.
  if (!movie_layer.Active())
    scene.bg.Draw(device, quake, scene.effects.BackgroundWave(), scene.effects.Mask());
  MovieLayerDraw();

  scene.chr.Step(CountedTime(*this, kChrRule, ctrl));
  scene.chr.Draw(device, quake, scene.effects.CharacterWave());

  script_state.layer_busy = scene.bg.Busy() || scene.chr.Busy() ||
                            scene.effects.Raster().Running();
}

void CADV::SceneDrawEffect() {
  gfx::Device& device = process_.graphics.Device();
  const float counted = CountedTime(*this, kScreenRule, false);
  // The mask travels at the timer's pace, so a doubled wipe still covers the whole screen.
  const scene::EffectEvent event = scene.effects.StepAndDraw(device, counted, counted);
  if (event == scene::EffectEvent::kEnded) {
    script_state.screen_effect_running = false;
  } else if (event == scene::EffectEvent::kCovered) {
    // Behind the black: an empty scene and an empty page, which stay until an "in" effect
    // uncovers them.
    const int front = scene.bg.Front();
    if (!SubBGLoadFromPNG(front, "SYSTEM\\blank.png"))
      scene.bg.Channel(front).blocks.Clear();
    for (int s = 0; s < scene::kSlotCount; ++s) ChrClear(s, scene.chr.Slot(s).front);
    text_box.Advance(-1);
    text_box.SetNamePlate(false);
    script_state.screen_effect_kind = EFFECT_BLACK_OUT;
    scene.effect_settled = true;
  }
  if (scene.effects.Active() && scene.effects.Kind() <= 3 && scene.effects.Kind() % 2 == 1 &&
      scene.effects.Level() > 255)
    scene.effect_settled = true;
  if (game_mode == MODE_ADV && adv_state == ADV_TRANSITION && !SceneWaiting())
    adv_state = ADV_RUNNING;
}
