// Save slots: the record written to and read from "SAVE\<n>.dat" with its thumbnail, and the
// rebuild of the story from a record (a loaded slot or a history page).
//
// A slot file comes from outside, so it is checked whole before anything in the engine changes:
// its size, its version, every name field ending inside its field, the scene values the layers
// index with, and the script it names loading with the stored position inside it. A record that
// fails is refused with a log line and the scene on screen stays as it was. What the rebuild then
// puts back is the reverse of the page snapshot (CADV::TakeSnapshot, whose table says what each
// scene field holds), in the order below.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "app/adv.h"
#include "app/process.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "resource/dib.h"
#include "resource/pack_file.h"
#include "script/script_log.h"

namespace {

constexpr char kLoadSlot[] = "CADV::LoadSlot";
constexpr char kRestore[] = "CADV::RestoreCheckpoint";
constexpr int kThumbWidth = 160, kThumbHeight = 120, kThumbStep = 5;

template <size_t N>
bool Terminated(const char (&field)[N]) {
  return std::memchr(field, 0, N) != nullptr;
}
template <size_t N>
std::string Field(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// A script of the system archive as the engine names them: "SCP\<name>.scp", inside that
// folder of the archive (any ASCII case).
bool IsScriptName(const std::string& name) {
  const std::string upper = PackUpperName(name);
  return upper.size() > 8 && upper.starts_with("SCP\\") && upper.ends_with(".SCP") &&
         platform::fs::IsConfinedName(name);
}

// Why the record cannot be rebuilt, or nothing. On success `script` holds the record's script,
// loaded, so the rebuild uses exactly what was checked.
std::string CheckRecord(const SaveRecord& r, CScript& script) {
  if (!Terminated(r.ScriptName)) return "the script name has no end";
  for (const auto& name : r.CharacterPictures)
    if (!Terminated(name)) return "a character picture name has no end";
  for (const auto& name : r.BackgroundPictures)
    if (!Terminated(name)) return "a background picture name has no end";
  if (!Terminated(r.ClickableMapName)) return "the region picture name has no end";
  for (const auto& name : r.SeNames)
    if (!Terminated(name)) return "a sound effect name has no end";
  if (!Terminated(r.BgmName)) return "the music name has no end";
  if (!Terminated(r.TownPendingScript)) return "the town map's script name has no end";
  if (r.EngineValue != 0 && r.EngineValue != 1)
    return ScriptFormat("background channel %d is not 0 or 1", r.EngineValue);
  for (int c = 0; c < scene::kSlotCount; ++c) {
    if (r.CharacterValues1[c] < 0 ||
        r.CharacterValues1[c] >= static_cast<int>(scene::kStandardX.size()))
      return ScriptFormat("character %d stands at position %d", c, r.CharacterValues1[c]);
    if (r.CharacterValues2[c] != 0 && r.CharacterValues2[c] != 1)
      return ScriptFormat("character %d shows buffer %d", c, r.CharacterValues2[c]);
  }
  // Names come from outside: a script must be one of the archive's scripts (not a picture
  // run as one), and the files opened from the game's folders must stay inside them.
  const std::string name = Field(r.ScriptName);
  if (!IsScriptName(name)) return "the script name [" + name + "] is not a script of the archive";
  const std::string town = Field(r.TownPendingScript);
  if (!town.empty() && !IsScriptName(town))
    return "the town map's script [" + town + "] is not a script of the archive";
  const std::string bgm = Field(r.BgmName);
  if (!bgm.empty() && !platform::fs::IsConfinedName(bgm))
    return "the music name [" + bgm + "] leaves the game's folder";
  for (const auto& field : r.SeNames) {
    const std::string se = Field(field);
    if (!se.empty() && !platform::fs::IsConfinedName(se))
      return "the sound effect name [" + se + "] leaves the game's folder";
  }
  if (!script.Load(name)) return "the script [" + name + "] cannot be loaded";
  if (r.ScriptPosition < 0 || r.ScriptPosition >= script.TokenCount())
    return ScriptFormat("position %d lies outside the script [%s] (%d tokens)", r.ScriptPosition,
                        name.c_str(), script.TokenCount());
  if (r.ClickableActive &&
      (r.ClickableScopeStart < 0 || r.ClickableScopeStart >= script.TokenCount()))
    return ScriptFormat("the clickable scope starts at %d, outside the script [%s]",
                        r.ClickableScopeStart, name.c_str());
  return {};
}

enum class Source { kSlotFile, kHistory };

// The region picture of a clickable scope, from the archive its name points to.
void LoadRegionMap(CADV& a, const std::string& name, const char* where) {
  Process& p = a.process();
  const CPackFile& archive = name.find("SYSTEM") != std::string::npos ? p.system_pkd : p.grp_pkd;
  if (a.clickable.map.LoadFromPNG(name, archive) != 0) {
    a.clickable.map.Release();
    WriteLog(2, "PNG Load failed. -> " + name, where, __LINE__);
  }
}

// The rebuild shared by a slot file and a history page; `stored` has been checked and `script`
// holds its loaded script.
// `kept_pages`: the history pages before the restored one that stay (none for a saved game).
void Rebuild(CADV& a, const SaveRecord& stored, CScript& script, Source source, int kept_pages) {
  Process& p = a.process();
  const char* where = source == Source::kSlotFile ? kLoadSlot : kRestore;
  scene::Backgrounds& bg = a.scene.bg;
  scene::Characters& chr = a.scene.chr;

  // Every layer is reloaded, whatever it shows now.
  for (int c = 0; c < 2; ++c) bg.Channel(c).cache_name.clear();
  for (int s = 0; s < scene::kSlotCount; ++s)
    for (scene::ChrBuffer& b : chr.Slot(s).buffers) b.cache_name.clear();

  if (source == Source::kSlotFile) {
    p.bgm.FadeOut(0);
    for (int i = 0; i < 8; ++i) {
      if (p.script_se[static_cast<size_t>(i)].IsPlaying())
        p.script_se[static_cast<size_t>(i)].FadeOut(0);
      if (p.voices[static_cast<size_t>(i)].IsPlaying()) p.voices[static_cast<size_t>(i)].FadeOut(0);
    }
  }

  a.save_record = stored;

  // The background channel in front, then both channels' pictures. A channel the record names
  // no picture for held none when the page was taken, so it is emptied rather than left showing
  // a picture of the present scene.
  bg.Stop();
  bg.SetFront(stored.EngineValue);
  for (int c = 0; c < 2; ++c) {
    scene::BgChannel& ch = bg.Channel(c);
    const std::string name = Field(stored.BackgroundPictures[c]);
    ch.save_name.fill(0);
    std::memcpy(ch.save_name.data(), name.data(), std::min(name.size(), ch.save_name.size() - 1));
    if (!name.empty()) {
      a.SubBGLoadFromPNG(c, "BG\\" + name);
    } else {
      ch.blocks.Clear();
    }
    ch.blocks.SetAlpha(255);
  }

  // Characters: position, front buffer, shown and shadow flags, then the pictures; every buffer
  // opaque and at rest (the snapshot is taken only when no transition runs).
  for (int c = 0; c < scene::kSlotCount; ++c) {
    scene::ChrSlot& slot = chr.Slot(c);
    slot.position = stored.CharacterValues1[c];
    slot.front = stored.CharacterValues2[c];
    slot.visible = (stored.CharacterBytes[c] & 1) != 0;
    slot.shadow = (stored.CharacterBytes[c] & 2) != 0;
    slot.offset = {};
    slot.moving = slot.clear_on_arrival = false;
    slot.fade = scene::ChrFade::kNone;
    for (int b = 0; b < 2; ++b) {
      const std::string name = Field(stored.CharacterPictures[2 * c + b]);
      if (!name.empty()) {
        a.SubChrLoadFromPNG(c, b, "CHR\\" + name);
      } else {
        a.ChrClear(c, b);
      }
      slot.buffers[static_cast<size_t>(b)].SetAlpha(255);
    }
  }
  scene::Animation& anime = chr.Anime();
  anime.running = (stored.CharacterLayerByte & 1) != 0;
  anime.paused = (stored.CharacterLayerByte & 2) != 0;
  anime.step = 0;
  anime.step_start = p.platform.clock.Now();
  a.SceneTurnRestore();  // lowers the turns and settles the busy flag

  // Sound flags start cleared; only what is replayed sets them again.
  a.bgm_active = false;
  a.bgm_looping = false;
  a.se_channel_active.fill(0);
  a.se_channel_looping.fill(0);

  // Music: the stored file is opened even when it was not playing.
  p.bgm.Stop();
  const std::string bgm = Field(stored.BgmName);
  a.bgm_name = bgm;
  if (!bgm.empty() && p.bgm.Open(platform::fs::CurrentFolder() + "\\SOUND\\BGM\\" + bgm) != 0)
    WriteLog(2, "BGM open failed. " + bgm, where, __LINE__);
  if (stored.BgmActive) {
    p.bgm.Play(stored.BgmLooping != 0);
    a.bgm_active = true;
    a.bgm_looping = stored.BgmLooping != 0;
  }

  // Effect channels and voices. A history page keeps a channel's file when it already holds it;
  // only looping effects play again (one that played once belongs to the moment it played).
  for (size_t i = 0; i < 8; ++i) {
    CSoundBuffer& se = p.script_se[i];
    se.Stop();
    p.voices[i].Stop();
    const std::string name = Field(stored.SeNames[i]);
    if (!name.empty() && (source == Source::kSlotFile || name != se.FileName()) && !se.Load(name))
      WriteLog(2, "@se_load failed. " + name, where, __LINE__);
    if (stored.SeActive[i] && stored.SeLooping[i]) {
      se.Play(true);
      a.se_channel_active[i] = 1;
      a.se_channel_looping[i] = 1;
    }
  }

  // The clickable scope.
  ClickableRegions& cl = a.clickable;
  cl.active = stored.ClickableActive != 0;
  const std::string map = Field(stored.ClickableMapName);
  if (cl.active && map != cl.map_name) {
    cl.map_name = map;
    LoadRegionMap(a, map, where);
  }
  cl.scope_start = stored.ClickableScopeStart;
  cl.current_region = stored.ClickableCurrentRegion;
  for (size_t r = 0; r < kClickableRegionCount; ++r) {
    cl.counters[r] = stored.ClickableCounters[r];
    for (size_t k = 0; k < kClickableBlockCount; ++k)
      cl.block_end[r][k] = stored.ClickableBlockEnd[r][k];
  }

  // The script, at the page's text command, which runs again on the next step.
  a.script = std::move(script);
  a.script.SetPosition(stored.ScriptPosition);
  a.script_state.wait_running = false;
  a.script_state.wait_elapsed = 0;
  a.script_state.settle = false;
  a.script_state.settle_count = 0;
  a.script_state.step_cut_logged = false;
  a.story.window_alpha = 255;
  a.text_box.SetBoxAlpha(255);

  a.RestoreCharNames();

  // The pages after the restored one go; its own page is recorded again when its text runs.
  for (size_t e = static_cast<size_t>(kept_pages); e < a.history.entries.size(); ++e)
    a.history.entries[e] = HistoryEntry{};
  a.history.count = kept_pages;
  a.checkpoints.count = kept_pages;
  a.adv_state = ADV_RUNNING;
}

}  // namespace

void CADV::ResetRecord() {
  // Every byte is a named field or padding array, so this zeroes the whole record.
  save_record = SaveRecord{};
  save_record.Version = kSaveRecordVersion;
  slots.Reset(process_.graphics.Device());
}

bool CADV::SaveSlot(int n) {
  if (!SlotTable::Valid(n)) {
    WriteLog(2, ScriptFormat("slot %d does not exist", n), "CADV::SaveSlot", __LINE__);
    return false;
  }
  platform::fs::MakeDirs(platform::fs::CurrentFolder() + "\\SAVE");
  return platform::fs::WriteAtomic(SlotTable::Path(n), &save_record, sizeof save_record);
}

// The screen is sampled every fifth pixel of every fifth row. The canvas is bottom-up like a
// bitmap file, so the screen's top row goes into its last memory row and the file shows the
// picture upright in any viewer. The unused fourth byte is written as 0.
bool CADV::WriteThumbnail(const std::string& path) {
  const gfx::Surface* surface = process_.graphics.CaptureSurface();
  if (!surface || surface->Width() < kThumbWidth * kThumbStep ||
      surface->Height() < kThumbHeight * kThumbStep)
    return false;
  CDIB canvas;
  if (!canvas.CreateCanvas(kThumbWidth, kThumbHeight)) return false;
  int pitch = 0;
  const uint32_t* pixels = surface->Lock(&pitch);
  if (!pixels) return false;
  const auto* base = reinterpret_cast<const uint8_t*>(pixels);
  std::array<uint32_t, kThumbWidth> row{};
  for (int y = 0; y < kThumbHeight; ++y) {
    const uint8_t* source = base + static_cast<size_t>(y * kThumbStep) * static_cast<size_t>(pitch);
    for (int x = 0; x < kThumbWidth; ++x) {
      uint32_t v;
      std::memcpy(&v, source + static_cast<size_t>(x * kThumbStep) * 4, 4);
      row[static_cast<size_t>(x)] = v & 0x00FFFFFFu;
    }
    std::memcpy(canvas.Bits() + static_cast<size_t>(kThumbHeight - 1 - y) * kThumbWidth * 4,
                row.data(), sizeof row);
  }
  surface->Unlock();
  return canvas.SaveBMP(path);
}

bool CADV::RefreshSlotInfo(int n) { return slots.Refresh(n); }

bool CADV::LoadSlot(int n) {
  if (!SlotTable::Valid(n)) {
    WriteLog(2, ScriptFormat("slot %d does not exist", n), kLoadSlot, __LINE__);
    return false;
  }
  const std::string path = SlotTable::Path(n);
  const auto bytes = platform::fs::ReadAll(path);
  if (!bytes) {
    WriteLog(2, "Savedata could not be read. -> " + path, kLoadSlot, __LINE__);
    return false;
  }
  // Another version is named as such whatever its length; then the length must be exact.
  int32_t version = 0;
  if (bytes->size() >= sizeof version) std::memcpy(&version, bytes->data(), sizeof version);
  if (bytes->size() >= sizeof version && version != kSaveRecordVersion) {
    WriteLog(2, "Savedata version info is Different this version.", kLoadSlot, __LINE__);
    return false;
  }
  if (bytes->size() != sizeof(SaveRecord)) {
    WriteLog(2,
             ScriptFormat("Savedata is damaged: %s holds %d bytes, not %d.", path.c_str(),
                          static_cast<int>(bytes->size()), static_cast<int>(sizeof(SaveRecord))),
             kLoadSlot, __LINE__);
    return false;
  }
  SaveRecord stored;
  std::memcpy(&stored, bytes->data(), sizeof stored);
  CScript script(&process_.system_pkd);
  const std::string problem = CheckRecord(stored, script);
  if (!problem.empty()) {
    WriteLog(2, "Savedata is damaged: " + problem + ". -> " + path, kLoadSlot, __LINE__);
    return false;
  }
  Rebuild(*this, stored, script, Source::kSlotFile, 0);
  return true;
}

bool CADV::RestoreCheckpoint(int i) {
  if (i < 0 || i >= checkpoints.count) {
    WriteLog(2, ScriptFormat("history page %d does not exist (%d kept)", i, checkpoints.count),
             kRestore, __LINE__);
    return false;
  }
  const SaveRecord stored = checkpoints[i];  // a copy: the rebuild rewrites the history
  CScript script(&process_.system_pkd);
  const std::string problem = CheckRecord(stored, script);
  if (!problem.empty()) {
    WriteLog(2, "the history page cannot be restored: " + problem, kRestore, __LINE__);
    return false;
  }
  Rebuild(*this, stored, script, Source::kHistory, i);
  return true;
}
