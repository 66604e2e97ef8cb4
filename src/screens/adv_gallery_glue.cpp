// CADV's entry points of the three gallery rooms, forwarded to the rooms
// (src/screens/picture_gallery.*, memory_replay.*, music_room.*), and the two things a room asks
// of the engine: leave for the title, or run a replay script in the story mode.
#include "app/adv.h"
#include "app/process.h"
#include "platform/log.h"

namespace {

GalleryContext ContextOf(CADV& a) {
  Process& p = a.process();
  return GalleryContext{
      p.graphics,
      p.thumb_pkd,
      a.progress,
      p.system_se[0],
      p.system_se[1],
      p.bgm,
      a.scene,
      a.title,
      a.panels.Art(),
      a.system_textures[1],
      [&a](int slot, int buffer, const std::string& path) {
        return a.SubChrLoadFromPNG(slot, buffer, path);
      },
      [&a](float x, float y, float w, float h, uint32_t fill, uint32_t outline) {
        a.FramedPanel(x, y, w, h, fill, outline);
      },
  };
}

template <typename Room>
Room& RoomOf(CADV& a, std::optional<Room>& room) {
  if (!room) room.emplace(ContextOf(a));
  return *room;
}

GalleryInput InputOf(CADV& a) {
  GalleryInput in;
  in.pointer = a.pointer;
  in.dialog_open = a.confirm_open;
  in.key_decide = a.IsDecide(false);
  in.click = a.left_click && !a.confirm_open;
  in.cancel = !a.confirm_open && a.IsCancel();  // Escape is the open dialog's
  return in;
}

// Back to the title, whose music step runs again: its pictures in front, the heroines put away.
void LeaveToTitle(CADV& a) {
  a.game_mode = MODE_TITLE;
  a.SetTitleState(kTitleMusic);
  a.SubBGLoadFromPNG(1, "SYSTEM\\blank.png");
  a.SubBGLoadFromPNG(0, "SYSTEM\\TITLE\\title.png");
  CSprite& cover = a.fill_sprites[CADV::kFillBlack];
  cover.SetAlpha(255);
  cover.SetBlendMode(0);
  a.scene.bg.Reset();
  // The title draws the character slots too: the heroines must not stand over its menu.
  for (int s = 0; s < scene::kSlotCount; ++s) a.scene.chr.Show(s, false);
}

// A replay: the story mode on an empty scene with the room's script, which returns to the room
// at "#cg_quit" or at its end. A replay is not a story to save: the system menu offers neither
// save nor load.
void StartReplay(CADV& a, const std::string& script, GameMode room) {
  a.StartMenuScript(script, false);
  a.script_end_mode = room;
  a.system_menu.save_load_enabled = false;
}

void Act(CADV& a, GalleryStep step, const std::string& script, GameMode room) {
  if (step == GalleryStep::kLeave) LeaveToTitle(a);
  if (step == GalleryStep::kReplay) StartReplay(a, script, room);
}

}  // namespace

// --- picture gallery
void CADV::CGMODE_Init() {
  RoomOf(*this, picture_gallery).Init();
}
void CADV::CGMODE_Proc() {
  PictureGallery& g = RoomOf(*this, picture_gallery);
  Act(*this, g.Proc(InputOf(*this)), g.ReplayScript(), MODE_CGMODE);
}
void CADV::CGMODE_Flip() {
  RoomOf(*this, picture_gallery).Flip(frame_time);
}

// --- memory replay
void CADV::OMOIDE_Init() {
  RoomOf(*this, memory_replay).Init();
}
void CADV::OMOIDE_Proc() {
  MemoryReplay& m = RoomOf(*this, memory_replay);
  Act(*this, m.Proc(InputOf(*this)), m.ReplayScript(), MODE_OMOIDE);
}
void CADV::OMOIDE_Flip() {
  RoomOf(*this, memory_replay).Flip(frame_time);
}

// --- music room; leaving stops the room's piece, so the title starts its own music again.
void CADV::MUSIC_Init() {
  RoomOf(*this, music_room).Init();
}
void CADV::Music_Proc() {
  if (RoomOf(*this, music_room).Proc(InputOf(*this)) != GalleryStep::kLeave) return;
  LeaveToTitle(*this);
  process_.bgm.Stop();
}
void CADV::Music_Flip() {
  RoomOf(*this, music_room).Flip(frame_time);
}
