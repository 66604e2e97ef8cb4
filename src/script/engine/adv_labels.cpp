// Moving around the story: jumps to labels, loading another script, following a decided choice,
// and the clickable regions of a picture whose blocks run as the player clicks them.
#include <algorithm>

#include "app/adv.h"
#include "app/process.h"
#include "app/shell.h"
#include "platform/dik.h"
#include "platform/sjis.h"
#include "script/script_log.h"

namespace {

struct Texts {
  std::string no_label = SJ("ERROR : ラベル %s はスクリプトファイル %s にありません。");
  std::string outside_scope = SJ("JUMP : ラベル %s は@clickableのスコープ外です");
  std::string jump = SJ("JUMP : ラベル %s ");
  std::string no_block = SJ("@clickable : error : 指定されたラベル(%c%d)がありません。 [%d行目]");
};
const Texts& T() {
  static const Texts texts;
  return texts;
}

// The region colours, as RGB without the alpha byte.
constexpr uint32_t kRegionColours[kClickableRegionCount] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00,
                                                            0x00FFFF, 0xFF00FF, 0xFFFFFF};

bool AtEnd(const CScript& script, std::string_view token) {
  return token == "EOF" && script.GetPosition() > script.TokenCount();
}

// The messages of a label search (FindLabel's result).
void ReportJump(CADV& adv, int found, const std::string& reference) {
  const char* ref = reference.c_str();
  if (found < 0) {
    const std::string name = adv.script.GetName();
    LogScript(adv.script, 2, ScriptFormat(T().no_label.c_str(), ref, name.c_str()));
    return;
  }
  // FindLabel notes any "[" after a token's first character, "$[1]" too; only an open scope
  // can be left.
  if (found == 1 && adv.clickable.active) {
    adv.clickable.active = false;
    LogScript(adv.script, 1, ScriptFormat(T().outside_scope.c_str(), ref));
  }
  LogScript(adv.script, 0, ScriptFormat(T().jump.c_str(), ref));
}

// Loads a script by its archive path with the messages of "@load".
void LoadScriptPath(CADV& adv, const std::string& path) {
  if (adv.script.Load(path)) {
    adv.adv_state = ADV_RUNNING;
    LogScript(adv.script, 1, "Load Script [" + path + "]");
  } else {
    LogScript(adv.script, 2, "ERROR: Load fail [" + path + "]");
  }
  adv.clickable.active = false;
  adv.script_state.step_cut_logged = false;
  adv.StartSettle();
}

}  // namespace

void CADV::JumpToLabel(std::string_view reference) {
  const int32_t from = script.GetPosition();
  const int found = script.FindLabel(reference, true);
  // The step counts the distance moved; a search that went backward or found nothing passed the
  // rest of the script first.
  const int32_t to = script.GetPosition();
  const int32_t count = script.TokenCount();
  script_state.step_work += found < 0 ? count : to <= from ? count - from : 0;
  ReportJump(*this, found, std::string(reference));
}

void CADV::LoadScriptCommand(const std::string& name) {
  RecordReadPosition();
  std::string path = "SCP\\" + name;
  if (name.find(".scp") == std::string::npos) path += ".scp";
  LoadScriptPath(*this, path);
}

bool CADV::LoadStartupScript(const std::string& path) {
  if (script.Load(path)) return true;
  const int32_t size = process_.system_pkd.EntrySize(path);
  const char* why = size < 0    ? "the script is not in system.pkd"
                    : size == 0 ? "the script is empty"
                                : "the script cannot be read from system.pkd";
  const std::string message = "ERROR: Load fail [" + path + "]";
  LogScript(script, 2, message + " : " + why);
  process_.platform.boxes.Show(kWindowTitle, message + "\n" + why, platform::BoxButtons::Ok,
                               platform::BoxIcon::Error);
  return false;
}

void CADV::FollowChoiceTarget(const std::string& target) {
  if (target.starts_with('*')) {
    ReportJump(*this, script.FindLabel(target, false), target);
    clickable.active = false;
  } else {
    LoadScriptPath(*this, "SCP\\" + target + ".scp");
  }
  adv_state = ADV_RUNNING;
}

int CADV::RegionAt(int x, int y) const {
  const CImage32& map = clickable.map;
  if (!map.Pixels() || x < 0 || y < 0 || x >= map.Width() || y >= map.Height()) return -1;
  const uint8_t* p =
      map.Pixels() +
      (static_cast<size_t>(y) * static_cast<size_t>(map.Width()) + static_cast<size_t>(x)) * 4;
  // Maps are drawn with and without alpha; both an opaque and a zero alpha byte count.
  if (p[3] != 0 && p[3] != 0xFF) return 0;
  const uint32_t rgb = static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
  for (int r = 0; r < kClickableRegionCount; ++r)
    if (kRegionColours[r] == rgb) return r + 1;
  return 0;
}

void CADV::ClickableProc() {
  CInput& input = process().input;
  platform::Window& window = process().platform.window;

  // The arrow keys move the pointer, so the regions can be chosen without a mouse.
  if (window_active && pointer_inside) {
    const int step = static_cast<int>(frame_time * 10 / 100) + 1;
    int dx = 0, dy = 0;
    if (input.KeyDown(DIK_LEFT)) dx -= step;
    if (input.KeyDown(DIK_RIGHT)) dx += step;
    if (input.KeyDown(DIK_UP)) dy -= step;
    if (input.KeyDown(DIK_DOWN)) dy += step;
    if (dx != 0 || dy != 0) {
      pointer.x = std::clamp(pointer.x + dx, 10, 790);
      pointer.y = std::clamp(pointer.y + dy, 10, 590);
      window.WarpCursor(pointer);
    }
  }

  const int region = RegionAt(pointer.x, pointer.y);
  clickable.hovered_region = region > 0 ? region : 0;
  clickable.hovered_value = 0;
  if (region > 0) {
    const int32_t counter = clickable.counters[static_cast<size_t>(region - 1)];
    if (counter >= 0 && counter < kClickableBlockCount)
      clickable.hovered_value =
          clickable.block_end[static_cast<size_t>(region - 1)][static_cast<size_t>(counter)];
  }

  if (input.AltEnterHeld()) return;
  const bool decide = (left_click && pointer_inside) || input.KeyPressed(DIK_SPACE) ||
                      input.KeyPressed(DIK_RETURN) || input.KeyPressed(DIK_NUMPADENTER);
  if (!decide || region <= 0) return;

  const char letter = static_cast<char>('A' + region - 1);
  const int32_t block = clickable.counters[static_cast<size_t>(region - 1)];
  char header[24];
  std::snprintf(header, sizeof header, "%c%d[", letter, block);
  script.SetPosition(clickable.scope_start);
  for (;;) {
    const std::string t = script.NextToken();
    if (t == header) break;
    if (AtEnd(script, t)) {
      LogScript(script, 2, ScriptFormat(T().no_block.c_str(), letter, block, script.GetLine()));
      script.SetPosition(clickable.scope_start);
      return;
    }
  }
  LogScript(script, 0, ScriptFormat("@clickable : %c%d execute", letter, block));
  adv_state = ADV_RUNNING;
  clickable.current_region = region;
}

void CADV::EndClickableBlock() {
  adv_state = ADV_CLICKABLE;
  const int32_t region = clickable.current_region;
  if (region < 1 || region > kClickableRegionCount) return;  // a damaged record: nothing to count
  int32_t& counter = clickable.counters[static_cast<size_t>(region - 1)];
  const int32_t next =
      counter >= 0 && counter < kClickableBlockCount
          ? clickable.block_end[static_cast<size_t>(region - 1)][static_cast<size_t>(counter)]
          : 0;
  if (next > 0) {
    counter = next;
  } else if (next == 0 && counter < INT32_MAX) {
    ++counter;
  }
}
