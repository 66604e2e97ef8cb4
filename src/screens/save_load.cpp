// The save/load screen (MODE_SAVELOAD): one screen for both directions. The update step moves
// the cursor, tests the pointer and acts; a save is only requested there and runs in the draw
// step, which redraws the screen it was opened from once more, captures it for the thumbnail and
// writes the slot. The slot table is read from the disk whenever the screen opens, so slots
// saved in earlier runs show their time and picture too.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/dib.h"
#include "resource/sjis_text.h"
#include "save/save_record.h"
#include "screens/cells.h"
#include "script/script.h"

namespace {

constexpr const char kFlip[] = "CADV::SaveLoad_Flip";

// Page-relative slot c lies in column c / 3, row c % 3; its cell is 320 × 160 apart.
constexpr int SlotColumn(int c) {
  return c / 3;
}
constexpr int SlotRow(int c) {
  return c % 3;
}
constexpr int SlotLeft(int c) {
  return 64 + 320 * SlotColumn(c);
}
constexpr int SlotTop(int c) {
  return 96 + 160 * SlotRow(c);
}

bool OnSlot(int cursor) {
  return cursor >= 0 && cursor < kSaveLoadSlotsPerPage;
}

std::string SlotFile(int n, const char* extension) {
  char name[32];
  std::snprintf(name, sizeof name, "SAVE\\%d.%s", n, extension);
  return name;
}

// A slot's contents are set in the 16-pixel font under its time: four lines of 128 pixels, which
// hold 16 half-width or 8 full-width characters.
constexpr int kContentCells = 16;
constexpr int kContentLines = 4;
constexpr std::string_view kPauseSign = "\x81\xA4";  // stops a page's reveal; not a word

std::string Field(const char* p, size_t size) {
  return std::string(p, strnlen(p, size));
}

// `text` in lines of at most kContentCells cells (a two-byte character takes two), no more than
// `lines` of them; a text that does not fit ends its last line with "…".
std::string Wrap(std::string_view text, int lines) {
  static const std::string ellipsis = SJ("…");
  std::string out;
  std::vector<std::string_view> row;  // the characters of the line being filled
  int cells = 0, rows = 1;
  auto flush = [&] {
    for (std::string_view ch : row) out += ch;
    row.clear();
    cells = 0;
  };
  for (size_t i = 0; i < text.size();) {
    const size_t length = static_cast<size_t>(sjis::CharLength(static_cast<uint8_t>(text[i])));
    if (length == 0 || i + length > text.size()) {
      ++i;  // no character
      continue;
    }
    const std::string_view ch = text.substr(i, length);
    i += length;
    if (ch == kPauseSign) continue;
    if (cells + static_cast<int>(length) > kContentCells) {
      if (rows == lines) {
        // The last line gives up its tail for the ellipsis.
        while (!row.empty() && cells + 2 > kContentCells) {
          cells -= static_cast<int>(row.back().size());
          row.pop_back();
        }
        flush();
        return out + ellipsis;
      }
      flush();
      out += "\n";
      ++rows;
    }
    row.push_back(ch);
    cells += static_cast<int>(length);
  }
  flush();
  return out;
}

// What a slot holds, for its label: the saved page's speaker and its first line. The record
// keeps where the page's text command stands in its script, not the words, so they are read
// from the script (each script loaded once per refresh, through `scripts`). Empty when the file
// or the script cannot tell.
std::string SlotContents(const std::string& path, const CPackFile& archive,
                         std::map<std::string, CScript>& scripts) {
  const auto bytes = platform::fs::ReadAll(path);
  if (!bytes || bytes->size() != sizeof(SaveRecord)) return {};
  SaveRecord r;
  std::memcpy(&r, bytes->data(), sizeof r);
  if (r.Version != kSaveRecordVersion) return {};
  const std::string name = Field(r.ScriptName, sizeof r.ScriptName);
  if (name.empty()) return {};
  auto [it, fresh] = scripts.try_emplace(name, &archive);
  CScript& script = it->second;
  if (fresh) script.Load(name);
  if (!script.Loaded() || r.ScriptPosition < 0 || r.ScriptPosition >= script.TokenCount())
    return {};
  script.SetPosition(r.ScriptPosition);
  const std::string command = script.NextToken();
  if (command.rfind("@text,", 0) != 0) return {};
  int number = std::atoi(command.c_str() + 6);
  if (number < 0 || number > 127) number = 0;
  const std::string speaker =
      Field(reinterpret_cast<const char*>(r.CharacterNames) + 22 * number, 16);
  // The first line: the first token inside the braces that is not a line end.
  std::string line;
  bool inside = false;
  for (int i = 0; i < 64; ++i) {
    const std::string t = script.NextToken();
    if (t.empty()) break;  // the end of the script
    if (t == "\n") continue;
    if (!inside) {
      if (t != "{") break;
      inside = true;
      continue;
    }
    if (t[0] != '}') line = t;
    break;
  }
  std::string shown = speaker.empty() ? "" : Wrap(speaker, 1);
  if (!line.empty()) {
    if (!shown.empty()) shown += "\n";
    shown += Wrap(line, speaker.empty() ? kContentLines : kContentLines - 1);
  }
  return shown;
}

}  // namespace

bool AnySlotSaved() {
  for (int n = 0; n < kSaveLoadSlots; ++n)
    if (platform::fs::Exists(SlotFile(n, "dat"))) return true;
  return false;
}

// ---------------------------------------------------------------------------------------------
// Set-up, opening and the slot table

void CADV::SaveLoadSetup() {
  SaveLoadScreen& s = save_load;
  gfx::Device& device = process_.graphics.Device();
  CTexture* art = &panels.Art();
  CutCell(s.background_tile, device, art, 192, 0, 256, 64);
  CutCell(s.header_load, device, art, 0, 192, 192, 224);
  CutCell(s.header_save, device, art, 0, 224, 192, 256);
  for (int i = 0; i < 3; ++i) {
    CutCell(s.tab_other[i], device, art, 96, 32 * i, 128, 32 * i + 32);
    CutCell(s.tab_current[i], device, art, 96, 96 + 32 * i, 128, 128 + 32 * i);
  }
  CutCell(s.tab_caption, device, art, 128, 0, 144, 64);
  for (int p = 0; p < kSaveLoadPages; ++p)
    CutCell(s.page_digits[p], device, art, 144, 16 * p, 160, 16 * p + 16);
  CutCell(s.toggle_off, device, art, 192, 192, 224, 224);
  CutCell(s.toggle_on, device, art, 224, 192, 256, 224);
  CutCell(s.return_normal, device, art, 192, 64, 256, 128);
  CutCell(s.return_hot, device, art, 192, 128, 256, 192);
  CTexture* dialog = &system_textures[2];
  CutCell(s.yes_normal, device, dialog, 0, 0, 128, 32);
  CutCell(s.yes_hot, device, dialog, 128, 0, 256, 32);
  CutCell(s.no_normal, device, dialog, 0, 32, 128, 64);
  CutCell(s.no_hot, device, dialog, 128, 32, 256, 64);
  s.thumbnail.Init(0, 0, kThumbnailWidth, kThumbnailHeight, 0, 0, 1, 1, nullptr);
  s.thumbnail_pixels.resize(static_cast<size_t>(kThumbnailWidth) * kThumbnailHeight);
}

void CADV::OpenSaveLoad(bool save) {
  save_load.is_save = save;
  // The title (continue) and the town map may open the screen too; everything else returns to
  // the story.
  save_load.return_mode =
      game_mode == MODE_TOWN || game_mode == MODE_TITLE ? game_mode : MODE_ADV;
  game_mode = MODE_SAVELOAD;
  RefreshSaveLoadSlots();
}

// A slot whose file is gone reads "-- NO DATA --" again; one whose file exists gets its time
// from the file and, when the file changed since its picture was read, its thumbnail anew.
void CADV::RefreshSaveLoadSlots() {
  SaveLoadScreen& s = save_load;
  s.visiting = true;
  std::map<std::string, CScript> scripts;
  for (int n = 0; n < kSaveLoadSlots; ++n) {
    SlotInfo& slot = slots[n];
    if (!platform::fs::Exists(SlotFile(n, "dat"))) {
      slot.file_time = 0;
      slot.label.clear();
      slot.thumbnail_shown = false;
      s.thumbnail_loaded[n] = false;
      s.contents[n].clear();
      s.contents_time[n] = -1;
      continue;
    }
    RefreshSlotInfo(n);
    UpdateShownLabel(n);
    if (s.contents_time[n] != slot.file_time) {
      s.contents[n] = SlotContents(SlotFile(n, "dat"), process_.system_pkd, scripts);
      s.contents_time[n] = slot.file_time;
    }
    if (!s.thumbnail_loaded[n] || s.thumbnail_time[n] != slot.file_time) LoadSlotThumbnail(n);
    slot.thumbnail_shown = s.thumbnail_loaded[n];
  }
}

// The slot's texture becomes a 160 × 120 copy of its thumbnail file.
void CADV::LoadSlotThumbnail(int n) {
  SaveLoadScreen& s = save_load;
  s.thumbnail_loaded[n] = false;
  if (!LoadCanvasBMP(SlotFile(n, "bmp"), kThumbnailWidth, kThumbnailHeight, s.thumbnail_pixels))
    return;
  CTexture& t = slots[n].thumbnail;
  if (!t.Ready() || t.Width() != kThumbnailWidth || t.Height() != kThumbnailHeight ||
      t.Format() != gfx::D3DFMT_X8R8G8B8)
    t.Create(process_.graphics.Device(), kThumbnailWidth, kThumbnailHeight, gfx::D3DFMT_X8R8G8B8);
  s.thumbnail_loaded[n] = t.Upload(s.thumbnail_pixels.data()) == 0;
  s.thumbnail_time[n] = slots[n].file_time;
}

const std::string& CADV::SaveLoadLabel(int n) const {
  static const std::string no_data = "-- NO DATA --";
  return slots[n].file_time != 0 ? save_load.shown_labels[n] : no_data;
}

// The time label in two lines, date above time: in one line it is wider than the slot's panel.
void CADV::UpdateShownLabel(int n) {
  std::string& shown = save_load.shown_labels[n];
  shown = slots[n].label;
  if (const size_t space = shown.find(' '); space != std::string::npos) shown[space] = '\n';
}

// ---------------------------------------------------------------------------------------------
// Update step

namespace {

// The screen is left: back to the mode it was opened from, or, with a save still pending,
// once the draw step has written it.
void Leave(CADV& adv) {
  adv.process().system_se[1].Play(false);  // "cancel.wav"
  if (adv.save_load.save_request) {
    adv.save_load.leave_after_save = true;
  } else {
    adv.game_mode = adv.save_load.return_mode;
    adv.save_load.visiting = false;
  }
}

// The story goes on from a loaded slot: in the town map when it was saved there, else in ADV.
void ResumeAfterLoad(CADV& adv) {
  adv.system_menu_open = false;
  adv.story.auto_mode = false;
  adv.script_state.skip_mode = false;
  adv.text_box.Advance(-1);
  adv.save_load.visiting = false;
  adv.script_end_mode = MODE_TITLE;
  // A loaded story is a story, not a replay, wherever it was loaded from (the title too): its
  // menu offers save and load.
  adv.system_menu.save_load_enabled = true;
  if (adv.save_record.TownSaveFlag == 0) {
    adv.game_mode = MODE_ADV;
    return;
  }
  adv.game_mode = MODE_TOWN;
  for (int c = 0; c < 2; ++c) adv.SubBGLoadFromPNG(c, "SYSTEM\\blank.png");
  adv.scene.bg.Reset();  // every block opaque, no cross-fade, channel 0 in front
  adv.scene.chr.Reset();
  CSprite& cover = adv.fill_sprites[CADV::kFillBlack];
  cover.SetAlpha(255);
  cover.SetBlendMode(0);
  adv.Town_SetPlace();
}

// The overwrite question: hover and Left/Right choose, a decide answers, a cancel says no.
void QuestionProc(CADV& adv) {
  SaveLoadScreen& s = adv.save_load;
  CInput& input = adv.process().input;
  bool hit = false;
  if (adv.PointerBoxOverlaps(256, 332, 384, 364)) {
    s.question_selection = 0;
    hit = true;
  }
  if (adv.PointerBoxOverlaps(416, 332, 544, 364)) {
    s.question_selection = 1;
    hit = true;
  }
  if (input.KeyPressed(DIK_LEFT)) s.question_selection = 0;
  if (input.KeyPressed(DIK_RIGHT)) s.question_selection = 1;
  if (adv.IsCancel()) {
    s.question_open = false;
    adv.right_click = false;
    return;
  }
  if (adv.IsDecide(hit)) {
    s.question_open = false;
    if (s.question_selection == 0) s.save_request = true;
  }
}

}  // namespace

void CADV::SaveLoad_Proc() {
  SaveLoadScreen& s = save_load;
  if (!s.visiting) RefreshSaveLoadSlots();  // entered without OpenSaveLoad
  if (s.save_request || confirm_open) return;
  if (s.question_open) {
    QuestionProc(*this);
    return;
  }
  CInput& input = process_.input;

  // 1. Keys. Every press is read, so none is left over for a later frame.
  if (input.KeyPressed(DIK_LEFT) && OnSlot(s.cursor)) {
    if (s.cursor >= 3) {
      s.cursor -= 3;
    } else if (s.page > 0) {
      --s.page;
      s.cursor += 3;
    }
  }
  if (input.KeyPressed(DIK_RIGHT) && OnSlot(s.cursor)) {
    if (s.cursor < 3) {
      s.cursor += 3;
    } else if (s.page < kSaveLoadPages - 1) {
      ++s.page;
      s.cursor -= 3;
    }
  }
  if (input.KeyPressed(DIK_UP)) {
    if (s.cursor == kSaveLoadReturn)
      s.cursor = 5;
    else if (s.cursor != 0 && s.cursor != 3 && s.cursor > kSaveLoadNothing)
      --s.cursor;
  }
  if (input.KeyPressed(DIK_DOWN)) {
    if (s.cursor == 2 || s.cursor == 5)
      s.cursor = kSaveLoadReturn;
    else
      ++s.cursor;
  }

  // 2. Hover: each element under the pointer takes the cursor; elsewhere it keeps its value.
  bool hit = false;
  if (PointerBoxOverlaps(728, 528, 792, 592)) {
    s.cursor = kSaveLoadReturn;
    hit = true;
  }
  for (int c = 0; c < kSaveLoadSlotsPerPage; ++c) {
    if (pointer.x > SlotLeft(c) && pointer.x < SlotLeft(c) + 320 && pointer.y > SlotTop(c) &&
        pointer.y < SlotTop(c) + 128) {
      s.cursor = c;
      hit = true;
    }
  }
  s.overwrite_hover = s.is_save && PointerBoxOverlaps(672, 32, 704, 64);
  if (s.overwrite_hover) {
    s.cursor = kSaveLoadToggle;
    hit = true;
  }
  s.hovered_page_tab = -1;
  for (int p = 0; p < kSaveLoadPages; ++p) {
    if (PointerBoxOverlaps(720, 54.0f + 64 * p, 768, 118.0f + 64 * p)) {
      s.hovered_page_tab = p;
      s.cursor = kSaveLoadPageTab;
      hit = true;
    }
  }

  // 3. Decide.
  if (IsDecide(hit)) {
    if (OnSlot(s.cursor)) {
      const int n = s.page * kSaveLoadSlotsPerPage + s.cursor;
      if (s.is_save) {
        if (system_data.ConfirmOverwrite && platform::fs::Exists(SlotFile(n, "dat"))) {
          s.question_open = true;
          s.question_selection = 1;
        } else {
          s.save_request = true;
        }
      } else if (LoadSlot(n)) {
        // The story has taken over; a cancel in the same frame must not switch it back.
        ResumeAfterLoad(*this);
        return;
      }
    } else if (s.cursor == kSaveLoadToggle) {
      if (s.is_save) system_data.ConfirmOverwrite ^= 1;
    } else if (s.cursor == kSaveLoadPageTab) {
      if (s.hovered_page_tab >= 0) s.page = s.hovered_page_tab;
    } else if (s.cursor == kSaveLoadReturn) {
      Leave(*this);
    }
  }

  // 4. Cancel. A question opened by this frame's decide takes it as its answer.
  if (IsCancel()) {
    right_click = false;
    if (s.question_open)
      s.question_open = false;
    else if (game_mode == MODE_SAVELOAD && !s.leave_after_save)
      Leave(*this);
  }
}

// ---------------------------------------------------------------------------------------------
// Draw step

namespace {

// The screen the save/load screen was opened from, as the player saw it.
void DrawReturnScreen(CADV& adv) {
  if (adv.save_load.return_mode == MODE_TOWN) {
    adv.Town_Flip();
    return;
  }
  adv.SceneDrawLayers();
  if (!adv.text_hidden_by_script && !adv.text_hidden_by_player) {
    adv.text_box.Draw(0);
    if (!adv.system_menu_open) adv.ButtonBarDraw();
  }
}

void PendingSave(CADV& adv) {
  SaveLoadScreen& s = adv.save_load;
  CGraphics& graphics = adv.process().graphics;
  DrawReturnScreen(adv);
  adv.save_record.TownSaveFlag = s.return_mode == MODE_TOWN ? 1 : 0;
  graphics.EndScene();
  if (!graphics.CaptureFrame()) {
    WriteLog(2, SJ("スクリーンキャプチャに失敗しました。"), kFlip, __LINE__);
  } else {
    const int n = s.page * kSaveLoadSlotsPerPage + s.cursor;
    const bool picture = adv.WriteThumbnail(SlotFile(n, "bmp"));
    if (adv.SaveSlot(n)) {
      adv.RefreshSlotInfo(n);
      adv.UpdateShownLabel(n);
      // Read back like any slot's: a save within the second of the last has its time.
      std::map<std::string, CScript> scripts;
      s.contents[n] = SlotContents(SlotFile(n, "dat"), adv.process().system_pkd, scripts);
      s.contents_time[n] = adv.slots[n].file_time;
      // The picture is read back from the file just written, as for a slot of an earlier run;
      // a thumbnail that could not be written leaves no stale picture on the slot.
      if (picture)
        adv.LoadSlotThumbnail(n);
      else
        s.thumbnail_loaded[n] = false;
      adv.slots[n].thumbnail_shown = s.thumbnail_loaded[n];
    } else {
      WriteLog(2, SJ("スクリーンキャプチャ画像の保存に失敗しました。"), kFlip, __LINE__);
    }
  }
  graphics.Clear(0xFF000000u, 1.0f);
  graphics.BeginScene();
  s.save_request = false;
}

void Outline(CADV& adv, float left, float top, float right, float bottom) {
  const gfx::LinePoint points[5] = {
      {left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
  adv.process().graphics.Line().Draw(adv.process().graphics.Device(), points, 5, 0xFFFFAAAAu,
                                     static_cast<int>(adv.frame_time));
}

void DrawQuestion(CADV& adv) {
  SaveLoadScreen& s = adv.save_load;
  gfx::Device& device = adv.process().graphics.Device();
  OpaqueDialogPanel(adv, 240, 236, 320, 128, 0x666666);
  (s.question_selection == 0 ? s.yes_hot : s.yes_normal).Draw(device, 256, 332, 128, 32);
  (s.question_selection == 1 ? s.no_hot : s.no_normal).Draw(device, 416, 332, 128, 32);
  static const std::string question = SJ("上書きしますか？");
  adv.process().graphics.DrawText(kFont16, question, {240, 268, 560, 300}, 0xFFFFFFFFu, DT_CENTER);
}

}  // namespace

void CADV::SaveLoad_Flip() {
  SaveLoadScreen& s = save_load;
  if (s.save_request) {
    PendingSave(*this);
    if (s.leave_after_save) {
      s.leave_after_save = false;
      s.visiting = false;
      game_mode = static_cast<GameMode>(s.return_mode);
    }
  }
  gfx::Device& device = process_.graphics.Device();
  CGraphics& graphics = process_.graphics;

  for (int i = 0; i <= 12; ++i)
    for (float y : {0.0f, 514.0f, 576.0f}) s.background_tile.Draw(device, 64.0f * i, y, 64, 64);
  for (int j = 1; j <= 8; ++j)
    for (float x : {0.0f, 704.0f, 768.0f}) s.background_tile.Draw(device, x, 64.0f * j, 64, 64);
  WindowFrame(0, 0, 22, 17);
  (s.is_save ? s.header_save : s.header_load).Draw(device, 32, 32, 192, 32);

  for (int c = 0; c < kSaveLoadSlotsPerPage; ++c) {
    const int n = s.page * kSaveLoadSlotsPerPage + c;
    const float x = static_cast<float>(SlotLeft(c)), y = static_cast<float>(SlotTop(c));
    const bool selected = c == s.cursor;
    RoundedPanel(x + 174, y + 4, 128, 112, selected ? 0xC47C50 : 0x6B4D2A, 255);
    if (slots[n].thumbnail_shown) {
      s.thumbnail.Init(0, 0, kThumbnailWidth, kThumbnailHeight, 0, 0, 1, 1, &slots[n].thumbnail);
      s.thumbnail.Draw(device, x, y, kThumbnailWidth, kThumbnailHeight);
    }
    if (selected) Outline(*this, x, y, x + 160, y + 120);
    const int left = static_cast<int>(x), top = static_cast<int>(y);
    const uint32_t colour = selected ? 0xFF625044u : 0xFFC0C0C0u;
    graphics.DrawText(kFont18, SaveLoadLabel(n), {left + 168, top + 8, left + 296, top + 120},
                      colour, DT_RIGHT);
    // Under the time, what the slot holds.
    if (slots[n].file_time != 0)
      graphics.DrawText(kFont16, s.contents[n], {left + 170, top + 52, left + 298, top + 120},
                        colour, DT_LEFT);
  }

  // Page tabs, the last first, so a lower page lies on top. Each tab but the first shows only
  // its lower half below the one above it, so its number stands there, and the caption, which
  // would not fit beside it, heads the first tab alone.
  for (int p = kSaveLoadPages - 1; p >= 0; --p) {
    const bool current = p == s.page;
    const float y = 22.0f + 64 * p;
    std::array<CSprite, 3>& cells = current ? s.tab_current : s.tab_other;
    cells[0].Draw(device, 720, y, 32, 32);
    cells[1].Draw(device, 720, y + 32, 32, 32);
    cells[1].Draw(device, 720, y + 64, 32, 32);
    cells[2].Draw(device, 720, y + 96, 32, 32);
    const int alpha = current ? 255 : 160;
    if (p == 0) {
      s.tab_caption.SetAlpha(alpha);
      s.tab_caption.Draw(device, 728, y + 14, 16, 64);
    }
    s.page_digits[p].SetAlpha(alpha);
    s.page_digits[p].Draw(device, 728, y + 88, 16, 16);
  }

  if (s.is_save) {
    (system_data.ConfirmOverwrite ? s.toggle_on : s.toggle_off).Draw(device, 672, 32, 32, 32);
    if (s.overwrite_hover) {
      s.overwrite_tip_alpha += static_cast<float>(frame_time) * 0.5f;
      if (s.overwrite_tip_alpha > 255) s.overwrite_tip_alpha = 255;
      Outline(*this, 672, 32, 704, 64);
    } else {
      s.overwrite_tip_alpha -= static_cast<float>(frame_time) * 0.2f;
      if (s.overwrite_tip_alpha < 0) s.overwrite_tip_alpha = 0;
    }
    if (s.overwrite_tip_alpha > 0) {
      RoundedPanel(500, 12, 256, 8, 0xFFCC99, static_cast<int>(s.overwrite_tip_alpha));
      static const std::string tip_on = SJ("セーブ時に上書き確認をします。");
      static const std::string tip_off = SJ("セーブ時に上書き確認を行いません。");
      graphics.DrawText(kFont12, system_data.ConfirmOverwrite ? tip_on : tip_off,
                        {500, 10, 756, 30}, 0xFF000000u, DT_CENTER);
    }
  }

  (s.cursor < 0 ? s.return_hot : s.return_normal).Draw(device, 728, 528, 64, 64);
  if (s.question_open) DrawQuestion(*this);
}
