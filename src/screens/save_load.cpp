// The save/load screen: the slot table read from the disk, the cursor and the pointer, the
// overwrite question, and the pending save run by the draw step.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>

#include "screens/save_load.h"

#include "audio/sound.h"
#include "graphics/graphics.h"
#include "platform/dik.h"
#include "screens/dialogs.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/dib.h"
#include "resource/sjis_text.h"
#include "save/save_record.h"
#include "save/system_data.h"
#include "screens/cells.h"
#include "screens/panels.h"
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

SaveLoadScreen::SaveLoadScreen(CGraphics& graphics, Panels& panels, SlotTable& slots,
                               SystemData& settings, SaveRecord& record, const CPackFile& scripts,
                               CSoundBuffer& cancel_sound, SaveLoadHooks hooks)
    : graphics_(graphics),
      panels_(panels),
      slots_(slots),
      settings_(settings),
      record_(record),
      scripts_(scripts),
      cancel_sound_(cancel_sound),
      hooks_(std::move(hooks)) {
  contents_time.fill(-1);
}

void SaveLoadScreen::Setup(CTexture& dialog_sheet) {
  gfx::Device& device = graphics_.Device();
  CTexture* art = &panels_.Art();
  CutCell(background_tile_, device, art, 192, 0, 256, 64);
  CutCell(header_load_, device, art, 0, 192, 192, 224);
  CutCell(header_save_, device, art, 0, 224, 192, 256);
  for (int i = 0; i < 3; ++i) {
    CutCell(tab_other_[i], device, art, 96, 32 * i, 128, 32 * i + 32);
    CutCell(tab_current_[i], device, art, 96, 96 + 32 * i, 128, 128 + 32 * i);
  }
  CutCell(tab_caption_, device, art, 128, 0, 144, 64);
  for (int p = 0; p < kSaveLoadPages; ++p)
    CutCell(page_digits_[p], device, art, 144, 16 * p, 160, 16 * p + 16);
  CutCell(toggle_off_, device, art, 192, 192, 224, 224);
  CutCell(toggle_on_, device, art, 224, 192, 256, 224);
  CutCell(return_normal_, device, art, 192, 64, 256, 128);
  CutCell(return_hot_, device, art, 192, 128, 256, 192);
  CTexture* dialog = &dialog_sheet;
  CutCell(yes_normal_, device, dialog, 0, 0, 128, 32);
  CutCell(yes_hot_, device, dialog, 128, 0, 256, 32);
  CutCell(no_normal_, device, dialog, 0, 32, 128, 64);
  CutCell(no_hot_, device, dialog, 128, 32, 256, 64);
  thumbnail_.Init(0, 0, kThumbnailWidth, kThumbnailHeight, 0, 0, 1, 1, nullptr);
  thumbnail_pixels_.resize(static_cast<size_t>(kThumbnailWidth) * kThumbnailHeight);
}

void SaveLoadScreen::Open(bool save, GameMode from) {
  is_save = save;
  return_mode = from == MODE_TOWN || from == MODE_TITLE ? from : MODE_ADV;
  RefreshSlots();
}

// A slot whose file is gone reads "-- NO DATA --" again; one whose file exists gets its time
// from the file and, when the file changed since its picture was read, its thumbnail anew.
void SaveLoadScreen::RefreshSlots() {
  visiting = true;
  std::map<std::string, CScript> scripts;
  for (int n = 0; n < kSaveLoadSlots; ++n) {
    SlotInfo& slot = slots_[n];
    if (!platform::fs::Exists(SlotFile(n, "dat"))) {
      slots_.Forget(n);
      thumbnail_loaded[n] = false;
      contents[n].clear();
      contents_time[n] = -1;
      continue;
    }
    slots_.Refresh(n);
    UpdateShownLabel(n);
    if (contents_time[n] != slot.file_time) {
      contents[n] = SlotContents(SlotFile(n, "dat"), scripts_, scripts);
      contents_time[n] = slot.file_time;
    }
    if (!thumbnail_loaded[n] || thumbnail_time[n] != slot.file_time) LoadThumbnail(n);
    slot.thumbnail_shown = thumbnail_loaded[n];
  }
}

// The slot's texture becomes a 160 × 120 copy of its thumbnail file.
void SaveLoadScreen::LoadThumbnail(int n) {
  if (n < 0 || n >= kSaveLoadSlots) return;  // not a slot of the screen
  thumbnail_loaded[n] = false;
  if (!LoadCanvasBMP(SlotFile(n, "bmp"), kThumbnailWidth, kThumbnailHeight, thumbnail_pixels_))
    return;
  CTexture& t = slots_[n].thumbnail;
  if (!t.Ready() || t.Width() != kThumbnailWidth || t.Height() != kThumbnailHeight ||
      t.Format() != gfx::D3DFMT_X8R8G8B8)
    t.Create(graphics_.Device(), kThumbnailWidth, kThumbnailHeight, gfx::D3DFMT_X8R8G8B8);
  thumbnail_loaded[n] = t.Upload(thumbnail_pixels_.data()) == 0;
  thumbnail_time[n] = slots_[n].file_time;
}

const std::string& SaveLoadScreen::Label(int n) const {
  static const std::string no_data = "-- NO DATA --";
  if (n < 0 || n >= kSaveLoadSlots) return no_data;  // not a slot of the screen
  return slots_[n].file_time != 0 ? shown_labels[n] : no_data;
}

// The time label in two lines, date above time: in one line it is wider than the slot's panel.
void SaveLoadScreen::UpdateShownLabel(int n) {
  std::string& shown = shown_labels[n];
  shown = slots_[n].label;
  if (const size_t space = shown.find(' '); space != std::string::npos) shown[space] = '\n';
}

// ---------------------------------------------------------------------------------------------
// Update step

// The screen is left: back to the mode it was opened from, or, with a save still pending,
// once the draw step has written it.
void SaveLoadScreen::Leave(bool& left) {
  cancel_sound_.Play(false);  // "cancel.wav"
  if (save_request) {
    leave_after_save = true;
  } else {
    left = true;
    visiting = false;
  }
}

// The overwrite question: hover and Left/Right choose, a decide answers, a cancel says no.
void SaveLoadScreen::QuestionProc(ScreenInput& in) {
  bool hit = false;
  if (in.PointerBox(256, 332, 384, 364)) {
    question_selection = 0;
    hit = true;
  }
  if (in.PointerBox(416, 332, 544, 364)) {
    question_selection = 1;
    hit = true;
  }
  if (in.Key(DIK_LEFT)) question_selection = 0;
  if (in.Key(DIK_RIGHT)) question_selection = 1;
  if (in.Cancel()) {
    question_open = false;
    in.TakeRightClick();
    return;
  }
  if (in.Decide(hit)) {
    question_open = false;
    if (question_selection == 0) save_request = true;
  }
}

SaveLoadStep SaveLoadScreen::Proc(ScreenInput& in) {
  if (!visiting) RefreshSlots();  // entered without Open
  if (save_request || in.dialog_open) return SaveLoadStep::kStay;
  if (question_open) {
    QuestionProc(in);
    return SaveLoadStep::kStay;
  }

  // 1. Keys. Every press is read, so none is left over for a later frame.
  if (in.Key(DIK_LEFT) && OnSlot(cursor)) {
    if (cursor >= 3) {
      cursor -= 3;
    } else if (page > 0) {
      --page;
      cursor += 3;
    }
  }
  if (in.Key(DIK_RIGHT) && OnSlot(cursor)) {
    if (cursor < 3) {
      cursor += 3;
    } else if (page < kSaveLoadPages - 1) {
      ++page;
      cursor -= 3;
    }
  }
  if (in.Key(DIK_UP)) {
    if (cursor == kSaveLoadReturn)
      cursor = 5;
    else if (cursor != 0 && cursor != 3 && cursor > kSaveLoadNothing)
      --cursor;
  }
  if (in.Key(DIK_DOWN)) {
    if (cursor == 2 || cursor == 5)
      cursor = kSaveLoadReturn;
    else
      ++cursor;
  }

  // 2. Hover: each element under the pointer takes the cursor; elsewhere it keeps its value.
  const platform::Point pointer = in.pointer;
  bool hit = false;
  if (in.PointerBox(728, 528, 792, 592)) {
    cursor = kSaveLoadReturn;
    hit = true;
  }
  for (int c = 0; c < kSaveLoadSlotsPerPage; ++c) {
    if (pointer.x > SlotLeft(c) && pointer.x < SlotLeft(c) + 320 && pointer.y > SlotTop(c) &&
        pointer.y < SlotTop(c) + 128) {
      cursor = c;
      hit = true;
    }
  }
  overwrite_hover = is_save && in.PointerBox(672, 32, 704, 64);
  if (overwrite_hover) {
    cursor = kSaveLoadToggle;
    hit = true;
  }
  hovered_page_tab = -1;
  for (int p = 0; p < kSaveLoadPages; ++p) {
    if (in.PointerBox(720, 54.0f + 64 * p, 768, 118.0f + 64 * p)) {
      hovered_page_tab = p;
      cursor = kSaveLoadPageTab;
      hit = true;
    }
  }

  // 3. Decide.
  bool left = false;
  if (in.Decide(hit)) {
    if (OnSlot(cursor)) {
      const int n = page * kSaveLoadSlotsPerPage + cursor;
      if (is_save) {
        if (settings_.ConfirmOverwrite && platform::fs::Exists(SlotFile(n, "dat"))) {
          question_open = true;
          question_selection = 1;
        } else {
          save_request = true;
        }
      } else if (hooks_.load_slot(n)) {
        // The story has taken over; a cancel in the same frame must not switch it back.
        visiting = false;
        return SaveLoadStep::kLoaded;
      }
    } else if (cursor == kSaveLoadToggle) {
      if (is_save) settings_.ConfirmOverwrite ^= 1;
    } else if (cursor == kSaveLoadPageTab) {
      if (hovered_page_tab >= 0) page = hovered_page_tab;
    } else if (cursor == kSaveLoadReturn) {
      Leave(left);
    }
  }

  // 4. Cancel. A question opened by this frame's decide takes it as its answer.
  if (in.Cancel()) {
    in.TakeRightClick();
    if (question_open)
      question_open = false;
    else if (!left && !leave_after_save)
      Leave(left);
  }
  return left ? SaveLoadStep::kLeave : SaveLoadStep::kStay;
}

// ---------------------------------------------------------------------------------------------
// Draw step

void SaveLoadScreen::PendingSave() {
  hooks_.draw_behind(return_mode);
  record_.TownSaveFlag = return_mode == MODE_TOWN ? 1 : 0;
  graphics_.EndScene();
  if (!graphics_.CaptureFrame()) {
    WriteLog(2, SJ("スクリーンキャプチャに失敗しました。"), kFlip, __LINE__);
  } else {
    const int n = page * kSaveLoadSlotsPerPage + cursor;
    const bool picture = hooks_.write_thumbnail(SlotFile(n, "bmp"));
    if (hooks_.save_slot(n)) {
      slots_.Refresh(n);
      UpdateShownLabel(n);
      // Read back like any slot's: a save within the second of the last has its time.
      std::map<std::string, CScript> scripts;
      contents[n] = SlotContents(SlotFile(n, "dat"), scripts_, scripts);
      contents_time[n] = slots_[n].file_time;
      // The picture is read back from the file just written, as for a slot of an earlier run;
      // a thumbnail that could not be written leaves no stale picture on the slot.
      if (picture)
        LoadThumbnail(n);
      else
        thumbnail_loaded[n] = false;
      slots_[n].thumbnail_shown = thumbnail_loaded[n];
    } else {
      WriteLog(2, SJ("スクリーンキャプチャ画像の保存に失敗しました。"), kFlip, __LINE__);
    }
  }
  graphics_.Clear(0xFF000000u, 1.0f);
  graphics_.BeginScene();
  save_request = false;
}

void SaveLoadScreen::Outline(float left, float top, float right, float bottom, uint32_t elapsed) {
  const gfx::LinePoint points[5] = {
      {left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
  graphics_.Line().Draw(graphics_.Device(), points, 5, 0xFFFFAAAAu, static_cast<int>(elapsed));
}

void SaveLoadScreen::DrawQuestion() {
  gfx::Device& device = graphics_.Device();
  // The dialog panel, opaque: the rounded panel's right corners stand 8 pixels inside its width.
  OpaqueDialogPanel(panels_, device, 240, 236, 320, 128, 0x666666);
  (question_selection == 0 ? yes_hot_ : yes_normal_).Draw(device, 256, 332, 128, 32);
  (question_selection == 1 ? no_hot_ : no_normal_).Draw(device, 416, 332, 128, 32);
  static const std::string question = SJ("上書きしますか？");
  graphics_.DrawText(kFont16, question, {240, 268, 560, 300}, 0xFFFFFFFFu, DT_CENTER);
}

bool SaveLoadScreen::Flip(uint32_t elapsed) {
  bool left = false;
  if (save_request) {
    PendingSave();
    if (leave_after_save) {
      leave_after_save = false;
      visiting = false;
      left = true;
    }
  }
  gfx::Device& device = graphics_.Device();

  for (int i = 0; i <= 12; ++i)
    for (float y : {0.0f, 514.0f, 576.0f}) background_tile_.Draw(device, 64.0f * i, y, 64, 64);
  for (int j = 1; j <= 8; ++j)
    for (float x : {0.0f, 704.0f, 768.0f}) background_tile_.Draw(device, x, 64.0f * j, 64, 64);
  panels_.WindowFrame(device, 0, 0, 22, 17);
  (is_save ? header_save_ : header_load_).Draw(device, 32, 32, 192, 32);

  for (int c = 0; c < kSaveLoadSlotsPerPage; ++c) {
    const int n = page * kSaveLoadSlotsPerPage + c;
    const float x = static_cast<float>(SlotLeft(c)), y = static_cast<float>(SlotTop(c));
    const bool selected = c == cursor;
    panels_.Rounded(device, x + 174, y + 4, 128, 112, selected ? 0xC47C50 : 0x6B4D2A, 255);
    if (slots_[n].thumbnail_shown) {
      thumbnail_.Init(0, 0, kThumbnailWidth, kThumbnailHeight, 0, 0, 1, 1, &slots_[n].thumbnail);
      thumbnail_.Draw(device, x, y, kThumbnailWidth, kThumbnailHeight);
    }
    if (selected) Outline(x, y, x + 160, y + 120, elapsed);
    const int left_edge = static_cast<int>(x), top = static_cast<int>(y);
    const uint32_t colour = selected ? 0xFF625044u : 0xFFC0C0C0u;
    graphics_.DrawText(kFont18, Label(n), {left_edge + 168, top + 8, left_edge + 296, top + 120},
                       colour, DT_RIGHT);
    // Under the time, what the slot holds.
    if (slots_[n].file_time != 0)
      graphics_.DrawText(kFont16, contents[n],
                         {left_edge + 170, top + 52, left_edge + 298, top + 120}, colour, DT_LEFT);
  }

  // Page tabs, the last first, so a lower page lies on top. Each tab but the first shows only
  // its lower half below the one above it, so its number stands there, and the caption, which
  // would not fit beside it, heads the first tab alone.
  for (int p = kSaveLoadPages - 1; p >= 0; --p) {
    const bool current = p == page;
    const float y = 22.0f + 64 * p;
    std::array<CSprite, 3>& cells = current ? tab_current_ : tab_other_;
    cells[0].Draw(device, 720, y, 32, 32);
    cells[1].Draw(device, 720, y + 32, 32, 32);
    cells[1].Draw(device, 720, y + 64, 32, 32);
    cells[2].Draw(device, 720, y + 96, 32, 32);
    const int alpha = current ? 255 : 160;
    if (p == 0) {
      tab_caption_.SetAlpha(alpha);
      tab_caption_.Draw(device, 728, y + 14, 16, 64);
    }
    page_digits_[p].SetAlpha(alpha);
    page_digits_[p].Draw(device, 728, y + 88, 16, 16);
  }

  if (is_save) {
    (settings_.ConfirmOverwrite ? toggle_on_ : toggle_off_).Draw(device, 672, 32, 32, 32);
    if (overwrite_hover) {
      overwrite_tip_alpha += static_cast<float>(elapsed) * 0.5f;
      if (overwrite_tip_alpha > 255) overwrite_tip_alpha = 255;
      Outline(672, 32, 704, 64, elapsed);
    } else {
      overwrite_tip_alpha -= static_cast<float>(elapsed) * 0.2f;
      if (overwrite_tip_alpha < 0) overwrite_tip_alpha = 0;
    }
    if (overwrite_tip_alpha > 0) {
      panels_.Rounded(device, 500, 12, 256, 8, 0xFFCC99, static_cast<int>(overwrite_tip_alpha));
      static const std::string tip_on = SJ("セーブ時に上書き確認をします。");
      static const std::string tip_off = SJ("セーブ時に上書き確認を行いません。");
      graphics_.DrawText(kFont12, settings_.ConfirmOverwrite ? tip_on : tip_off,
                         {500, 10, 756, 30}, 0xFF000000u, DT_CENTER);
    }
  }

  (cursor < 0 ? return_hot_ : return_normal_).Draw(device, 728, 528, 64, 64);
  if (question_open) DrawQuestion();
  return left;
}
