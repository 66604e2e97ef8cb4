// The page snapshot: the restorable state copied into the save record at every text page, and
// the message history that keeps the last 50 pages with their snapshots.
//
// What the scene fields of the record hold (a rebuild puts them back in this order):
//
//   EngineValue (704)              the background channel in front, 0 or 1
//   BackgroundPictures[c] (509)    channel c's picture as the script named it (no "BG\")
//   CharacterPictures[2c+b] (72)   slot c, buffer b: the picture loaded (no "CHR\"), empty when
//                                  the buffer holds none or a picture from outside "CHR\"
//   CharacterValues1[c] (456)      slot c's standard position, 0-4
//   CharacterValues2[c] (492)      slot c's front buffer, 0 or 1
//   CharacterBytes[c] (504)        slot c's flags: bit 0 shown, bit 1 shadow on
//   CharacterPictureValues (468)   slot c, buffer b at [2c+b]: the buffer's block alpha; for
//                                  reading only, a rebuild shows the front buffer opaque
//   CharacterLayerByte (507)       the character animation: bit 0 running, bit 1 paused
//
// Pages are taken at rest: the story runs a text command only when no layer transition runs,
// so movements, fades and offsets have ended and the standard position says where a slot is.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "app/adv.h"
#include "app/process.h"
#include "platform/sjis.h"
#include "resource/sjis_text.h"

namespace {

constexpr std::string_view kChrFolder = "CHR\\";
constexpr int kCharNameEntryBytes = 22;
constexpr int kCharNameColourAt = 18;
constexpr int kCharNamePlateAt = 20;
static_assert(sizeof(SaveRecord::CharacterNames) == kCharNameCount * kCharNameEntryBytes);

// A NUL-terminated copy into a fixed field, cut to the field (file names are never re-cut by
// character: a name that long cannot be loaded either way, and katakana bytes must survive).
template <size_t N>
void CopyField(char (&field)[N], std::string_view text) {
  std::memset(field, 0, N);
  if (!text.empty()) std::memcpy(field, text.data(), std::min(text.size(), N - 1));
}

// The oldest page leaves the history with its snapshot; everything moves down by one.
void DropOldestPage(HistoryStore& history, CheckpointHistory& checkpoints) {
  std::move(history.entries.begin() + 1, history.entries.end(), history.entries.begin());
  history.entries[kHistoryEntries - 1] = HistoryEntry{};
  checkpoints.DropOldest();
  history.count = kHistoryEntries - 1;
  checkpoints.count = history.count;
}

}  // namespace

void CADV::TakeSnapshot(int32_t text_position) {
  SaveRecord& r = save_record;
  CopyField(r.ScriptName, script.GetName());
  r.ScriptPosition = text_position;

  // Backgrounds.
  r.EngineValue = scene.bg.Front();
  for (int c = 0; c < 2; ++c) {
    const std::array<char, 64>& name = scene.bg.Channel(c).save_name;
    CopyField(r.BackgroundPictures[c], std::string_view(name.data(), strnlen(name.data(), 64)));
  }

  // Characters.
  for (int c = 0; c < scene::kSlotCount; ++c) {
    scene::ChrSlot& slot = scene.chr.Slot(c);
    r.CharacterValues1[c] = slot.position;
    r.CharacterValues2[c] = slot.front;
    r.CharacterBytes[c] = static_cast<uint8_t>((slot.visible ? 1 : 0) | (slot.shadow ? 2 : 0));
    for (int b = 0; b < 2; ++b) {
      const scene::ChrBuffer& buffer = slot.buffers[static_cast<size_t>(b)];
      std::string_view name = buffer.cache_name;
      name = name.starts_with(kChrFolder) ? name.substr(kChrFolder.size()) : std::string_view{};
      CopyField(r.CharacterPictures[2 * c + b], name);
      r.CharacterPictureValues[2 * c + b] = buffer.blocks.Alpha();
    }
  }
  const scene::Animation& anime = scene.chr.Anime();
  r.CharacterLayerByte = static_cast<uint8_t>((anime.running ? 1 : 0) | (anime.paused ? 2 : 0));

  StoreCharNames();
  r.TextBoxState = text_box.NamePlate() ? 1 : 0;

  // The clickable scope.
  r.ClickableActive = clickable.active ? 1 : 0;
  CopyField(r.ClickableMapName, clickable.map_name);
  r.ClickableScopeStart = clickable.scope_start;
  r.ClickableCurrentRegion = clickable.current_region;
  for (int i = 0; i < kClickableRegionCount; ++i) {
    r.ClickableCounters[i] = clickable.counters[static_cast<size_t>(i)];
    for (int k = 0; k < kClickableBlockCount; ++k)
      r.ClickableBlockEnd[i][k] =
          clickable.block_end[static_cast<size_t>(i)][static_cast<size_t>(k)];
  }

  // Sound: the music as "@bgm_play" named it (still named after "@bgm_stop", so a load opens
  // it), and each effect channel's file and flags.
  CopyField(r.BgmName, bgm_name);
  r.BgmActive = bgm_active ? 1 : 0;
  r.BgmLooping = bgm_looping ? 1 : 0;
  for (int i = 0; i < 8; ++i) {
    CopyField(r.SeNames[i], process_.script_se[static_cast<size_t>(i)].FileName());
    r.SeActive[i] = se_channel_active[static_cast<size_t>(i)];
    r.SeLooping[i] = se_channel_looping[static_cast<size_t>(i)];
  }

  r.RollbackEnabled = script_state.rollback_enabled ? 1 : 0;
  PushCheckpoint();
}

// A page's calls come in this order: TakeSnapshot (which pushes), RecordHistory(−1),
// RecordHistory(0-2), EndHistoryPage. Only the push makes room, so a full history moves once per
// page however the calls are made.
void CADV::PushCheckpoint() {
  if (history.count >= kHistoryEntries) DropOldestPage(history, checkpoints);
  checkpoints[history.count] = save_record;
  checkpoints.count = history.count;
}

void CADV::RecordHistory(int line, std::string_view text) {
  if (line == -1) {
    // A speaker without a push before it still finds a free entry.
    if (history.count >= kHistoryEntries) DropOldestPage(history, checkpoints);
    HistoryEntry& e = history.entries[static_cast<size_t>(history.count)];
    e = HistoryEntry{};
    const std::string name =
        text.size() < sizeof(e.name) ? std::string(text) : sjis::Cut(text, sizeof(e.name) - 1);
    std::memcpy(e.name, name.data(), name.size());
    e.name_plate = text_box.NamePlate() ? 1 : 0;
    return;
  }
  if (line < 0 || line >= kTextLineCount || history.count >= kHistoryEntries) return;
  static const std::string kOverflow = SJ("◆文字数制限オーバー◆");
  const std::string_view stored = text.size() <= kHistoryTextMax ? text : kOverflow;
  char* field = history.entries[static_cast<size_t>(history.count)].lines[line];
  std::memset(field, 0, kHistoryLineBytes);
  if (!stored.empty()) std::memcpy(field, stored.data(), stored.size());
}

void CADV::EndHistoryPage() {
  history.count = std::min(history.count + 1, kHistoryEntries);
  checkpoints.count = history.count;
}

// The name table in the record: 128 entries of 22 bytes, each the name (16 bytes, NUL-ended),
// two bytes of padding, the colour (16-bit little-endian), the name-plate flag and one byte of
// padding.
void CADV::StoreCharNames() {
  uint8_t* out = save_record.CharacterNames;
  std::memset(out, 0, sizeof(save_record.CharacterNames));
  for (const CharNameEntry& e : char_names) {
    std::memcpy(out, e.name.data(), std::min(e.name.size(), kCharNameBytes));
    out[kCharNameColourAt] = static_cast<uint8_t>(e.colour & 0xFF);
    out[kCharNameColourAt + 1] = static_cast<uint8_t>(e.colour >> 8);
    out[kCharNamePlateAt] = e.plate ? 1 : 0;
    out += kCharNameEntryBytes;
  }
}

void CADV::RestoreCharNames() {
  const uint8_t* in = save_record.CharacterNames;
  for (CharNameEntry& e : char_names) {
    const char* name = reinterpret_cast<const char*>(in);
    e.name.assign(name, strnlen(name, kCharNameBytes));
    e.colour = static_cast<uint16_t>(in[kCharNameColourAt] | in[kCharNameColourAt + 1] << 8);
    e.plate = in[kCharNamePlateAt] != 0;
    in += kCharNameEntryBytes;
  }
}
