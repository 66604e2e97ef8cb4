// CADV's entry points of the save/load screen (src/screens/save_load.*), and what the screen
// asks of the engine: the screen behind it drawn once more, the slot files written and read, and
// the story resumed from a loaded slot.
#include "app/adv.h"
#include "app/process.h"

namespace {

// The screen the save/load screen was opened from, as the player saw it.
void DrawBehind(CADV& a, GameMode from) {
  if (from == MODE_TOWN) {
    a.Town_Flip();
    return;
  }
  a.SceneDrawLayers();
  if (!a.text_hidden_by_script && !a.text_hidden_by_player) {
    a.text_box.Draw(0);
    if (!a.system_menu_open) a.ButtonBarDraw();
  }
}

// The story goes on from a loaded slot: in the town map when it was saved there, else in ADV.
void ResumeAfterLoad(CADV& a) {
  a.system_menu_open = false;
  a.story.auto_mode = false;
  a.script_state.skip_mode = false;
  a.text_box.Advance(-1);
  a.script_end_mode = MODE_TITLE;
  // A loaded story is a story, not a replay, wherever it was loaded from (the title too): its
  // menu offers save and load.
  a.system_menu.save_load_enabled = true;
  if (a.save_record.TownSaveFlag == 0) {
    a.game_mode = MODE_ADV;
    return;
  }
  a.game_mode = MODE_TOWN;
  for (int c = 0; c < 2; ++c) a.SubBGLoadFromPNG(c, "SYSTEM\\blank.png");
  a.scene.bg.Reset();  // every block opaque, no cross-fade, channel 0 in front
  a.scene.chr.Reset();
  CSprite& cover = a.fill_sprites[CADV::kFillBlack];
  cover.SetAlpha(255);
  cover.SetBlendMode(0);
  a.Town_SetPlace();
}

}  // namespace

SaveLoadHooks CADV::SaveLoadHooksOf() {
  return SaveLoadHooks{
      [this](GameMode from) { DrawBehind(*this, from); },
      [this](const std::string& path) { return WriteThumbnail(path); },
      [this](int n) { return SaveSlot(n); },
      [this](int n) { return LoadSlot(n); },
  };
}

void CADV::SaveLoadSetup() { save_load.Setup(system_textures[2]); }

void CADV::OpenSaveLoad(bool save) {
  save_load.Open(save, game_mode);
  game_mode = MODE_SAVELOAD;
}

void CADV::RefreshSaveLoadSlots() { save_load.RefreshSlots(); }
void CADV::LoadSlotThumbnail(int n) { save_load.LoadThumbnail(n); }
const std::string& CADV::SaveLoadLabel(int n) const { return save_load.Label(n); }

void CADV::SaveLoad_Proc() {
  ScreenInput in = InputForScreen();
  const SaveLoadStep step = save_load.Proc(in);
  if (step == SaveLoadStep::kLeave) game_mode = save_load.return_mode;
  if (step == SaveLoadStep::kLoaded) ResumeAfterLoad(*this);
}

void CADV::SaveLoad_Flip() {
  if (save_load.Flip(frame_time)) game_mode = save_load.return_mode;
}
