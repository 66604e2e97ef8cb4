// The sound commands' operations: the script's effect channels 0-7 and the music stream, with
// the channel bytes the save record snapshots.
#include "app/adv.h"
#include "app/process.h"
#include "script/script_log.h"

void CADV::SeLoad(int32_t slot, const std::string& file) {
  CSoundBuffer& se = process_.script_se[slot];
  if (se.IsPlaying()) se.Stop();
  const std::string path = "SOUND\\SE\\" + file;
  const uint32_t t0 = process_.platform.clock.Now();
  if (se.Load(path)) {
    LogScript(script, 0, ScriptFormat("SE loaded.. [%s](DISK %dms)", path.c_str(),
                                      static_cast<int>(process_.platform.clock.Now() - t0)));
  } else {
    LogScript(script, 2, ScriptFormat("@se_load failed. %s", path.c_str()));
  }
}

void CADV::SePlay(int32_t slot, bool loop) {
  CSoundBuffer& se = process_.script_se[slot];
  se.Stop();
  const bool ok = se.Play(loop);
  const std::string name(se.FileName());
  LogScript(script, ok ? 0 : 2,
            ScriptFormat(ok ? (loop ? "@se_loop %s" : "@se_play %s")
                            : (loop ? "@se_loop failed. %s" : "@se_play failed. %s"),
                         name.c_str()));
  se_channel_active[slot] = 1;
  se_channel_looping[slot] = loop ? 1 : 0;
}

void CADV::SeStop(int32_t slot) {
  CSoundBuffer& se = process_.script_se[slot];
  se.Stop();
  const std::string name(se.FileName());
  LogScript(script, 0, ScriptFormat("@se_stop %s", name.c_str()));
  // A stopped channel is silent in a save made afterwards too (a loop would come back).
  se_channel_active[slot] = 0;
  se_channel_looping[slot] = 0;
}

void CADV::SeVolume(int32_t slot, int32_t level) { process_.script_se[slot].SetLevel(level); }

// While the story skips (skip mode or Ctrl held), fades are cut short.
void CADV::SeFadeOut(int32_t slot, int32_t speed) {
  CSoundBuffer& se = process_.script_se[slot];
  if (Skipping()) {
    se.Stop();
  } else {
    se.FadeOut(speed);
  }
  se_channel_active[slot] = 0;
  se_channel_looping[slot] = 0;
}

void CADV::BgmPlay(const std::string& file) {
  CStreamSound& bgm = process_.bgm;
  bgm.Stop();
  const std::string path = "SOUND\\BGM\\" + file;
  const uint32_t t0 = process_.platform.clock.Now();
  if (bgm.Open(path) == 0 && bgm.Play(true)) {
    LogScript(script, 0, ScriptFormat("BGM loaded.. [%s](DISK %dms)", path.c_str(),
                                      static_cast<int>(process_.platform.clock.Now() - t0)));
    // A piece of the music room heard in the story is offered there from now on.
    if (progress.MarkMusicHeard(FindMusicPiece(file))) SaveProgress();
  } else {
    LogScript(script, 2, ScriptFormat("@bgm_play failed. %s", path.c_str()));
  }
  bgm_name = file;
  bgm_active = true;
  bgm_looping = true;
}

void CADV::BgmStop(int32_t speed) {
  CStreamSound& bgm = process_.bgm;
  if (speed == 0 || Skipping()) {
    bgm.Stop();
  } else {
    bgm.FadeOut(speed);
  }
  bgm_active = false;
}

// The interface sounds of the screens, by system effect slot.
void CADV::LoadSystemSounds() {
  static constexpr const char* kFiles[7] = {
      "SOUND\\SE\\SYSTEM\\ok.wav",      "SOUND\\SE\\SYSTEM\\cancel.wav",
      "SOUND\\SE\\SYSTEM\\logo.wav",    "SOUND\\SE\\SYSTEM\\test.wav",
      "SOUND\\SE\\SYSTEM\\watch01.wav", "SOUND\\SE\\SYSTEM\\beep01.wav",
      "SOUND\\SE\\SYSTEM\\beep02.wav",
  };
  for (size_t i = 0; i < std::size(kFiles); ++i) {
    // The way back to the title comes here again: a sound already loaded from its file stays
    // (reading and converting all seven again cost that frame a millisecond, and cut a
    // decide sound still playing).
    if (process_.system_se[i].FileName() == kFiles[i]) continue;
    if (!process_.system_se[i].Load(kFiles[i]))
      WriteLog(2, std::string(kFiles[i]) + " could not be loaded", "CADV::LoadSystemSounds", 0);
  }
}
