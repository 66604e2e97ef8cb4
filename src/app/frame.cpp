// The per-frame dispatcher: pointer and clicks, the current mode's update and draw steps, the
// confirmation overlay, and the requests handed back to the shell (quit, display toggle).
#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"

// The story's clickable-regions state (its scope picks the pointer while the story shows it).
bool CADV::InClickableRegions() const { return game_mode == MODE_ADV && adv_state == ADV_CLICKABLE; }

void CADV::UpdatePointer() {
  platform::Window& window = process_.platform.window;
  pointer = window.CursorPos();
  if (startup_windowed) {
    bool inside = pointer.x >= 0 && pointer.x <= 799 && pointer.y >= 0 && pointer.y <= 599;
    if (!inside) {
      if (pointer_inside && ready) window.SetCursor(platform::Cursor::None);
      pointer_inside = false;
    } else if (!pointer_inside) {
      if (window.CurrentCursor() != platform::Cursor::Game) window.SetCursor(platform::Cursor::Game);
      pointer_inside = true;
    }
  } else {
    pointer_inside = true;
  }
  if (pointer_inside) {
    // In the clickable-regions state the regions choose the pointer, except under the menu.
    bool regions_own_pointer = InClickableRegions() && !system_menu_open;
    if (!regions_own_pointer && window.CurrentCursor() != platform::Cursor::Game)
      window.SetCursor(platform::Cursor::Game);
  }
}

std::array<ModeSteps, kModeCount> CADV::DefaultModes() {
  std::array<ModeSteps, kModeCount> m{};
  m[MODE_ADV] = {[](CADV& a) { a.ADV_Proc(); }, [](CADV& a) { a.ADV_Flip(); }};
  m[MODE_SAVELOAD] = {[](CADV& a) { a.SaveLoad_Proc(); }, [](CADV& a) { a.SaveLoad_Flip(); }};
  m[MODE_CONFIG] = {[](CADV& a) { a.Config_Proc(); }, [](CADV& a) { a.Config_Flip(); }};
  m[MODE_BACKLOG] = {nullptr, [](CADV& a) { a.Backlog_Flip(); }};
  m[MODE_TITLE] = {nullptr, [](CADV& a) { a.Title_Flip(); }};
  m[MODE_TOWN] = {[](CADV& a) { a.Town_Proc(); }, [](CADV& a) { a.Town_Flip(); }};
  m[MODE_CGMODE] = {[](CADV& a) { a.CGMODE_Proc(); }, [](CADV& a) { a.CGMODE_Flip(); }};
  m[MODE_OMOIDE] = {[](CADV& a) { a.OMOIDE_Proc(); }, [](CADV& a) { a.OMOIDE_Flip(); }};
  m[MODE_MOVIE] = {[](CADV& a) { a.Movie_Proc(); }, [](CADV& a) { a.Movie_Flip(); }};
  m[MODE_MUSIC] = {[](CADV& a) { a.Music_Proc(); }, [](CADV& a) { a.Music_Flip(); }};
  return m;
}

void CADV::SetModeSteps(GameMode mode, ModeSteps steps) {
  if (mode >= 0 && mode < kModeCount) modes[mode] = steps;
}

ModeSteps CADV::StepsOfMode(GameMode mode) const {
  return mode >= 0 && mode < kModeCount ? modes[mode] : ModeSteps{};
}

namespace {
const ModeSteps* StepsOf(const std::array<ModeSteps, kModeCount>& modes, GameMode mode) {
  return mode >= 0 && mode < kModeCount ? &modes[mode] : nullptr;
}
}  // namespace

int CADV::FrameProc(uint32_t elapsed) {
  frame_time = elapsed;
  UpdatePointer();

  CInput& input = process_.input;
  if (window_active) {
    if (input.ButtonPressed(0)) left_click = true;
    if (input.ButtonPressed(1)) right_click = true;
  } else {
    left_click = right_click = false;
  }

  if (!ready) {
    process_.platform.clock.Sleep(1);
    left_click = right_click = false;
    return -1;
  }

  toggle_request =
      (input.KeyDown(DIK_LMENU) || input.KeyDown(DIK_RMENU)) && input.KeyDown(DIK_RETURN);

  if (const ModeSteps* m = StepsOf(modes, game_mode); m && m->update) m->update(*this);
  draw_time = process_.platform.clock.Now();
  // The mode is read again: a mode changed by the update step draws its new screen now.
  if (const ModeSteps* m = StepsOf(modes, game_mode); m && m->draw) m->draw(*this);

  if (confirm_open) {
    quit_confirmed = false;
    ConfirmDialog();
  }
  prev_draw_time = draw_time;
  left_click = right_click = false;

  if (quit_confirmed) process_.quit_requested = true;
  if (toggle_request) {
    system_data.Windowed ^= 1;
    return 1;
  }
  return 0;
}

// The frame's input as the screens read it, and the decide and cancel rules they share.
ScreenInput CADV::InputForScreen() {
  return ScreenInput(process_.input, pointer, left_click, right_click, pointer_inside, confirm_open,
                     frame_time, toggle_request);
}

bool CADV::IsDecide(bool hit) { return InputForScreen().Decide(hit); }

bool CADV::IsCancel() { return InputForScreen().Cancel(); }

bool CADV::PointerBoxOverlaps(float left, float top, float right, float bottom) const {
  return PointerBoxHits(pointer, left, top, right, bottom);
}
