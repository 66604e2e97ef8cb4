// The choices: "@select" boxes and the "@battle_select" timed choice. The story's draw step runs
// ChoiceProc or TimedChoiceProc once a frame while one is shown; everything of the choice's frame
// (hover, keys, drawing, the clock, the decision) happens in them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "screens/choices.h"

#include "app/adv.h"
#include "app/process.h"
#include "platform/dik.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/sjis_text.h"
#include "script/script_log.h"

namespace {

// "@select": boxes of 512 × 28 at x 144, 60 pixels apart, the column centred on y 290. The
// box under the cursor is blue with white text; the others are dark and see-through with light
// text, readable over any picture.
constexpr int kBoxLeft = 144, kBoxWidth = 512, kBoxHeight = 28, kBoxStep = 60;
constexpr uint32_t kHotBox = 0x0040A0, kHotText = 0xFFFFFF;
constexpr uint32_t kColdBox = 0x000000, kColdText = 0xD8E0F0;
constexpr int kHotAlpha = 255, kColdAlpha = 160;
// The face's ink lies in rows 1-22 of its 32-pixel cells: 2 pixels down centres it in a box.
constexpr int kTextDrop = 2;

int BoxTop(int count, int i) {
  return 172 + 30 * (kMaxChoices - count) + kBoxStep * i;
}

// "@battle_select": the time bar's colours by segment.
uint32_t SegmentColor(int k) {
  return k < 15 ? 0x55CC66 : k < 21 ? 0xCCCC55 : 0xCC3300;
}
constexpr int kFirstBeepSegment = 21;
constexpr int kWatchSlot = 4, kBeepSlot = 5, kTimeoutBeepSlot = 6;

struct Texts {
  std::array<std::string, kMaxChoices> labels = {SJ("選択肢①"), SJ("選択肢②"), SJ("選択肢③"),
                                                 SJ("選択肢④")};
};
const Texts& T() {
  static const Texts texts;
  return texts;
}

// A box of exactly w × h at (x, y) with the panel's rounded corners. Every pixel is covered once,
// so a translucent box is even all over.
void ChoiceBox(CADV& adv, float x, float y, float w, float h, uint32_t rgb, int alpha) {
  gfx::Device& device = adv.process().graphics.Device();
  CSprite& corner = adv.panels.Corner();
  corner.SetColor(rgb);
  corner.SetAlpha(alpha);
  corner.DrawRotated(device, x, y, 8, 8, 0);
  corner.DrawRotated(device, x + w - 8, y, 8, 8, 90);
  corner.DrawRotated(device, x + w - 8, y + h - 8, 8, 8, 180);
  corner.DrawRotated(device, x, y + h - 8, 8, 8, 270);
  CSprite& fill = adv.panels.Fill();
  fill.SetColor(rgb);
  fill.SetAlpha(alpha);
  fill.Draw(device, x, y + 8, 8, h - 16);
  fill.Draw(device, x + 8, y, w - 16, h);
  fill.Draw(device, x + w - 8, y + 8, 8, h - 16);
}

// A timed choice's row: the label, then the item's own text when it has one that is not the
// label itself, cut to what the row holds.
constexpr int kTimedRowChars = 23;  // 670 pixels of 28-pixel characters
std::string TimedRowText(const std::string& label, const std::string& text) {
  if (text.empty() || text == label) return label;
  const int room = kTimedRowChars - sjis::CharCount(label) - 1;
  return label + " " + sjis::Substring(text, 1, room);
}

// Up and Down move the selection through the items, wrapping at both ends.
void MoveSelection(CInput& input, int32_t& selection, int count) {
  if (count <= 0) return;
  if (input.KeyPressed(DIK_UP)) selection = selection <= 0 ? count - 1 : selection - 1;
  if (input.KeyPressed(DIK_DOWN)) selection = selection >= count - 1 ? 0 : selection + 1;
}

}  // namespace

void CADV::ChoiceSetup() {
  gfx::Device& device = process_.graphics.Device();
  for (CGlyphFont& f : choice.images) f.Init(device);
  for (size_t i = 0; i < choice.timed_labels.size(); ++i) {
    choice.timed_labels[i].Init(device);
    choice.timed_labels[i].SetText(T().labels[i]);
  }

  // The picture as 16 × 16 tiles, 256 to a texture, row by row; sprite (row r, column c) is
  // choice.battle_tiles[c × 12 + r].
  for (CTexture& t : choice.battle_textures) t.Create(device, 256, 256, gfx::D3DFMT_A8R8G8B8);
  constexpr float k = 1.0f / 256;
  for (int r = 0; r < ChoiceScreen::kBattleTileRows; ++r) {
    for (int c = 0; c < ChoiceScreen::kBattleTileColumns; ++c) {
      const int t = r * ChoiceScreen::kBattleTileColumns + c;
      const int cell = t % 256;
      const float u = 16.0f * static_cast<float>(cell % 16) * k;
      const float v = 16.0f * static_cast<float>(cell / 16) * k;
      CSprite& s = choice.battle_tiles[static_cast<size_t>(c * ChoiceScreen::kBattleTileRows + r)];
      s.Init(0, 0, 16, 16, u, v, u + 16 * k, v + 16 * k,
             &choice.battle_textures[static_cast<size_t>(t / 256)]);
      s.SetDevice(&device);
    }
  }
  static constexpr const char* kPicture = "SYSTEM\\battle_select.png";
  CImage32 picture;
  if (picture.LoadFromPNG(kPicture, process_.system_pkd) != 0 ||
      picture.Width() != 16 * ChoiceScreen::kBattleTileColumns || picture.Height() != 16 * ChoiceScreen::kBattleTileRows) {
    WriteLog(2, std::string(kPicture) + " could not be loaded", "CADV::ChoiceSetup", 0);
    return;
  }
  CImage32 work;
  if (!work.Create(256, 256)) return;
  constexpr int kTiles = ChoiceScreen::kBattleTileRows * ChoiceScreen::kBattleTileColumns;
  for (int t = 0; t < kTiles; ++t) {
    const int cell = t % 256;
    work.CopyRect(picture, 16 * (cell % 16), 16 * (cell / 16), 16, 16,
                  16 * (t % ChoiceScreen::kBattleTileColumns), 16 * (t / ChoiceScreen::kBattleTileColumns));
    if (cell == 255 || t == kTiles - 1) {
      choice.battle_textures[static_cast<size_t>(t / 256)].Upload(work.Pixels());
      work.Fill(0);
    }
  }
}

void CADV::ApplyChoiceModeRules() {
  if (!system_data.AutoAtChoice) story.auto_mode = false;
  if (!system_data.SkipAtChoice) script_state.skip_mode = false;
}

void CADV::ShowChoices(const ChoiceList& choices) {
  choice.Reset();
  choice.list = choices;
  // Nothing to choose: waiting for a decide would only hold the story on an empty screen.
  if (choices.count <= 0) {
    LogScript(script, 2, "@select : no choice to show");
    return;
  }
  for (int i = 0; i < choices.count; ++i) {
    CGlyphFont& image = choice.images[static_cast<size_t>(i)];
    image.SetSpecialGlyphs(text_box.SpecialGlyphPicture());
    image.SetBaseColor(kGlyphWhite);
    image.SetText(choices.items[static_cast<size_t>(i)].text);
    image.BuildGlyphs();
  }
  adv_state = ADV_CHOICE;
  ApplyChoiceModeRules();
}

void CADV::ShowTimedChoices(const ChoiceList& choices) {
  const float pulse = choice.pulse_angle;
  choice.Reset();
  choice.list = choices;
  choice.pulse_angle = pulse;
  // Each row keeps its fixed label, which games name their options by on the page before; an
  // item text of its own follows the label. Built here so they take the special glyphs loaded
  // now.
  for (size_t i = 0; i < choice.timed_labels.size(); ++i) {
    CGlyphFont& label = choice.timed_labels[i];
    const std::string& text =
        static_cast<int>(i) < choices.count ? choices.items[i].text : std::string();
    label.SetText(TimedRowText(T().labels[i], text));
    label.SetSpecialGlyphs(text_box.SpecialGlyphPicture());
    label.BuildGlyphs();
  }
  adv_state = ADV_TIMED_CHOICE;
  process_.system_se[kWatchSlot].Play(true);
  ApplyChoiceModeRules();
}

void CADV::ChoiceProc() {
  const int count = choice.list.count;
  const bool input_open = !system_menu_open && !confirm_open;
  bool hit = false;
  if (input_open) {
    for (int i = 0; i < count; ++i) {
      const int top = BoxTop(count, i);
      if (pointer.x >= kBoxLeft && pointer.x < kBoxLeft + kBoxWidth && pointer.y >= top &&
          pointer.y < top + kBoxHeight) {
        choice.hovered = i;
        hit = true;
      }
    }
    MoveSelection(process_.input, choice.hovered, count);
  }

  for (int i = 0; i < count; ++i) {
    const bool hot = i == choice.hovered;
    const float top = static_cast<float>(BoxTop(count, i));
    ChoiceBox(*this, kBoxLeft, top, kBoxWidth, kBoxHeight, hot ? kHotBox : kColdBox,
              hot ? kHotAlpha : kColdAlpha);
    CGlyphFont& text = choice.images[static_cast<size_t>(i)];
    text.SetPosition(static_cast<float>(kBoxLeft + (kBoxWidth - text.Width()) / 2),
                     top + kTextDrop);
    text.SetColor(hot ? kHotText : kColdText);
    text.SetAlpha(255);
    text.Draw();
  }

  if (!input_open || count <= 0 || !IsDecide(hit)) return;
  choice.decided = true;
  FollowChoiceTarget(choice.list.items[static_cast<size_t>(choice.hovered)].target);
}

void CADV::TimedChoiceProc() {
  if (system_menu_open) return;
  gfx::Device& device = process_.graphics.Device();
  ChoiceScreen& c = choice;
  const int count = c.list.count;
  const int32_t needed = save_record.LocalVariables[99];
  auto available = [&](int i) {
    return c.list.items[static_cast<size_t>(i)].requirement >= needed;
  };

  bool hit = false;
  if (!confirm_open && pointer.x > 64 && pointer.x < 734) {
    for (int i = 0; i < count; ++i) {
      if (pointer.y > 220 + 32 * i && pointer.y < 252 + 32 * i && available(i)) {
        c.hovered = i;
        hit = true;
      }
    }
  }

  for (int r = 0; r < ChoiceScreen::kBattleTileRows; ++r)
    for (int col = 0; col < ChoiceScreen::kBattleTileColumns; ++col)
      choice.battle_tiles[static_cast<size_t>(col * ChoiceScreen::kBattleTileRows + r)].Draw(
          device, static_cast<float>(48 + 16 * col), static_cast<float>(172 + 16 * r), 16, 16);

  c.pulse_angle += 0.3f * static_cast<float>(frame_time);
  if (c.pulse_angle > 360.0f) c.pulse_angle = std::fmod(c.pulse_angle, 360.0f);
  constexpr double kRadians = 3.14159265358979323846 / 180.0;
  const int p = 128 + static_cast<int>(64.0 * std::sin(c.pulse_angle * kRadians));
  const float y = static_cast<float>(218 + 32 * c.hovered);
  RoundedPanel(64, y, 670, 30, 0xFFB060, p / 2);
  const gfx::LinePoint outline[5] = {{64, y}, {734, y}, {734, y + 30}, {64, y + 30}, {64, y}};
  process_.graphics.Line().Draw(device, outline, 5, static_cast<uint32_t>(p) << 24 | 0xFF6060, 0);

  // The rows start in one column, the widest centred on x 384, so the labels stand one under
  // the other.
  int widest = 0;
  for (int i = 0; i < count; ++i)
    widest = std::max(widest, choice.timed_labels[static_cast<size_t>(i)].Width());
  for (int i = 0; i < count; ++i) {
    if (!available(i)) continue;
    CGlyphFont& label = choice.timed_labels[static_cast<size_t>(i)];
    label.SetColor(0xFFFFFF);
    label.SetAlpha(255);
    label.SetPosition(static_cast<float>(384 - widest / 2), static_cast<float>(220 + 32 * i));
    label.Draw();
  }

  // Segment k lights once k/30 of the limit has passed; each red one beeps as it first lights,
  // one beep a frame however many light together.
  CSprite segment;
  segment.Init(0, 0, 16, 16);
  bool beep = false;
  for (int k = 0; k < kTimedChoiceSegments; ++k) {
    const bool lit = int64_t{k} * c.list.limit_ms / kTimedChoiceSegments < c.elapsed;
    if (lit && k >= kFirstBeepSegment && !c.segment_lit[static_cast<size_t>(k)]) beep = true;
    if (lit) c.segment_lit[static_cast<size_t>(k)] = true;
    segment.SetColor(SegmentColor(k));
    segment.SetAlpha(lit ? 255 : 128);
    segment.Draw(device, static_cast<float>(186 + 10 * k), 191, 16, 16);
  }
  if (beep) process_.system_se[kBeepSlot].Play(false);

  c.elapsed = static_cast<int32_t>(std::min<int64_t>(int64_t{c.elapsed} + frame_time, INT32_MAX));
  if (!confirm_open) MoveSelection(process_.input, c.hovered, count);

  // Without items only the clock can end the choice.
  const bool decided = count > 0 && IsDecide(hit);
  const bool timed_out = c.elapsed > c.list.limit_ms;
  if (timed_out) c.hovered = kTimeoutSlot;
  if (!decided && !timed_out) return;

  process_.system_se[kWatchSlot].Stop();
  if (timed_out) process_.system_se[kTimeoutBeepSlot].Play(false);
  c.decided = true;
  const std::string target = c.hovered == kTimeoutSlot
                                 ? c.list.timeout_target
                                 : c.list.items[static_cast<size_t>(c.hovered)].target;
  FollowChoiceTarget(target);
}
