// The choices: "@select" boxes and the "@battle_select" timed choice.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "screens/choices.h"

#include "audio/sound.h"
#include "graphics/graphics.h"
#include "graphics/text_box.h"
#include "platform/dik.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/image.h"
#include "resource/sjis_text.h"
#include "save/save_record.h"
#include "save/system_data.h"
#include "screens/panels.h"
#include "script/script_log.h"
#include "resource/picture_loader.h"

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

// A timed choice's row: the label, then the item's own text when it has one that is not the
// label itself, cut to what the row holds.
constexpr int kTimedRowChars = 23;  // 670 pixels of 28-pixel characters
std::string TimedRowText(const std::string& label, const std::string& text) {
  if (text.empty() || text == label) return label;
  const int room = kTimedRowChars - sjis::CharCount(label) - 1;
  return label + " " + sjis::Substring(text, 1, room);
}

// Up and Down move the selection through the items, wrapping at both ends.
void MoveSelection(ScreenInput& in, int32_t& selection, int count) {
  if (count <= 0) return;
  if (in.Key(DIK_UP)) selection = selection <= 0 ? count - 1 : selection - 1;
  if (in.Key(DIK_DOWN)) selection = selection >= count - 1 ? 0 : selection + 1;
}

}  // namespace

ChoiceScreen::ChoiceScreen(CGraphics& graphics, Panels& panels, const CTEXTBOX& text_box,
                           const CScript& script, const SaveRecord& record,
                           const CPackFile& system, std::array<CSoundBuffer, 16>& system_se)
    : graphics_(graphics),
      panels_(panels),
      text_box_(text_box),
      script_(script),
      record_(record),
      system_(system),
      se_(system_se) {}

// A box of exactly w × h at (x, y) with the panel's rounded corners. Every pixel is covered once,
// so a translucent box is even all over.
void ChoiceScreen::Box(float x, float y, float w, float h, uint32_t rgb, int alpha) {
  gfx::Device& device = graphics_.Device();
  CSprite& corner = panels_.Corner();
  corner.SetColor(rgb);
  corner.SetAlpha(alpha);
  corner.DrawRotated(device, x, y, 8, 8, 0);
  corner.DrawRotated(device, x + w - 8, y, 8, 8, 90);
  corner.DrawRotated(device, x + w - 8, y + h - 8, 8, 8, 180);
  corner.DrawRotated(device, x, y + h - 8, 8, 8, 270);
  CSprite& fill = panels_.Fill();
  fill.SetColor(rgb);
  fill.SetAlpha(alpha);
  fill.Draw(device, x, y + 8, 8, h - 16);
  fill.Draw(device, x + 8, y, w - 16, h);
  fill.Draw(device, x + w - 8, y + 8, 8, h - 16);
}

void ChoiceScreen::Setup(PictureLoader& pictures) {
  gfx::Device& device = graphics_.Device();
  for (CGlyphFont& f : images) f.Init(device);
  for (size_t i = 0; i < timed_labels.size(); ++i) {
    timed_labels[i].Init(device);
    timed_labels[i].SetText(T().labels[i]);
  }

  // The picture as 16 × 16 tiles, 256 to a texture, row by row; sprite (row r, column c) is
  // battle_tiles_[c × 12 + r].
  for (CTexture& t : battle_textures_) t.Create(device, 256, 256, gfx::D3DFMT_A8R8G8B8);
  constexpr float k = 1.0f / 256;
  for (int r = 0; r < kBattleTileRows; ++r) {
    for (int c = 0; c < kBattleTileColumns; ++c) {
      const int t = r * kBattleTileColumns + c;
      const int cell = t % 256;
      const float u = 16.0f * static_cast<float>(cell % 16) * k;
      const float v = 16.0f * static_cast<float>(cell / 16) * k;
      CSprite& s = battle_tiles_[static_cast<size_t>(c * kBattleTileRows + r)];
      s.Init(0, 0, 16, 16, u, v, u + 16 * k, v + 16 * k,
             &battle_textures_[static_cast<size_t>(t / 256)]);
      s.SetDevice(&device);
    }
  }
  CImage32 picture;
  if (pictures.Load(system_, kBattlePicture, picture) != 0 ||
      picture.Width() != 16 * kBattleTileColumns || picture.Height() != 16 * kBattleTileRows) {
    WriteLog(2, std::string(kBattlePicture) + " could not be loaded", "CADV::ChoiceSetup", 0);
    return;
  }
  CImage32 work;
  if (!work.Create(256, 256)) return;
  constexpr int kTiles = kBattleTileRows * kBattleTileColumns;
  for (int t = 0; t < kTiles; ++t) {
    const int cell = t % 256;
    work.CopyRect(picture, 16 * (cell % 16), 16 * (cell / 16), 16, 16,
                  16 * (t % kBattleTileColumns), 16 * (t / kBattleTileColumns));
    if (cell == 255 || t == kTiles - 1) {
      battle_textures_[static_cast<size_t>(t / 256)].Upload(work.Pixels());
      work.Fill(0);
    }
  }
}

void ChoiceScreen::ApplyModeRules(const SystemData& settings, bool& auto_mode, bool& skip_mode) {
  if (!settings.AutoAtChoice) auto_mode = false;
  if (!settings.SkipAtChoice) skip_mode = false;
}

bool ChoiceScreen::Show(const ChoiceList& choices) {
  Reset();
  list = choices;
  // Nothing to choose: waiting for a decide would only hold the story on an empty screen.
  if (choices.count <= 0) {
    LogScript(script_, 2, "@select : no choice to show");
    return false;
  }
  for (int i = 0; i < choices.count; ++i) {
    CGlyphFont& image = images[static_cast<size_t>(i)];
    image.SetSpecialGlyphs(text_box_.SpecialGlyphPicture());
    image.SetBaseColor(kGlyphWhite);
    image.SetText(choices.items[static_cast<size_t>(i)].text);
    image.BuildGlyphs();
  }
  return true;
}

void ChoiceScreen::ShowTimed(const ChoiceList& choices) {
  const float pulse = pulse_angle;
  Reset();
  list = choices;
  pulse_angle = pulse;
  // Each row keeps its fixed label, which games name their options by on the page before; an
  // item text of its own follows the label. Built here so they take the special glyphs loaded
  // now.
  for (size_t i = 0; i < timed_labels.size(); ++i) {
    CGlyphFont& label = timed_labels[i];
    const std::string& text =
        static_cast<int>(i) < choices.count ? choices.items[i].text : std::string();
    label.SetText(TimedRowText(T().labels[i], text));
    label.SetSpecialGlyphs(text_box_.SpecialGlyphPicture());
    label.BuildGlyphs();
  }
  se_[kWatchSlot].Play(true);
}

std::optional<std::string> ChoiceScreen::Proc(ScreenInput& in, bool menu_open) {
  const int count = list.count;
  const platform::Point pointer = in.pointer;
  const bool input_open = !menu_open && !in.dialog_open;
  bool hit = false;
  if (input_open) {
    for (int i = 0; i < count; ++i) {
      const int top = BoxTop(count, i);
      if (pointer.x >= kBoxLeft && pointer.x < kBoxLeft + kBoxWidth && pointer.y >= top &&
          pointer.y < top + kBoxHeight) {
        hovered = i;
        hit = true;
      }
    }
    MoveSelection(in, hovered, count);
  }

  for (int i = 0; i < count; ++i) {
    const bool hot = i == hovered;
    const float top = static_cast<float>(BoxTop(count, i));
    Box(kBoxLeft, top, kBoxWidth, kBoxHeight, hot ? kHotBox : kColdBox,
        hot ? kHotAlpha : kColdAlpha);
    CGlyphFont& text = images[static_cast<size_t>(i)];
    text.SetPosition(static_cast<float>(kBoxLeft + (kBoxWidth - text.Width()) / 2),
                     top + kTextDrop);
    text.SetColor(hot ? kHotText : kColdText);
    text.SetAlpha(255);
    text.Draw();
  }

  if (!input_open || count <= 0 || !in.Decide(hit)) return std::nullopt;
  decided = true;
  return list.items[static_cast<size_t>(hovered)].target;
}

std::optional<std::string> ChoiceScreen::TimedProc(ScreenInput& in, bool menu_open) {
  if (menu_open) return std::nullopt;
  gfx::Device& device = graphics_.Device();
  const platform::Point pointer = in.pointer;
  const int count = list.count;
  const int32_t needed = record_.LocalVariables[99];
  auto available = [&](int i) {
    return list.items[static_cast<size_t>(i)].requirement >= needed;
  };

  bool hit = false;
  if (!in.dialog_open && pointer.x > 64 && pointer.x < 734) {
    for (int i = 0; i < count; ++i) {
      if (pointer.y > 220 + 32 * i && pointer.y < 252 + 32 * i && available(i)) {
        hovered = i;
        hit = true;
      }
    }
  }

  for (int r = 0; r < kBattleTileRows; ++r)
    for (int col = 0; col < kBattleTileColumns; ++col)
      battle_tiles_[static_cast<size_t>(col * kBattleTileRows + r)].Draw(
          device, static_cast<float>(48 + 16 * col), static_cast<float>(172 + 16 * r), 16, 16);

  pulse_angle += 0.3f * static_cast<float>(in.elapsed);
  if (pulse_angle > 360.0f) pulse_angle = std::fmod(pulse_angle, 360.0f);
  constexpr double kRadians = 3.14159265358979323846 / 180.0;
  const int p = 128 + static_cast<int>(64.0 * std::sin(pulse_angle * kRadians));
  const float y = static_cast<float>(218 + 32 * hovered);
  panels_.Rounded(device, 64, y, 670, 30, 0xFFB060, p / 2);
  const gfx::LinePoint outline[5] = {{64, y}, {734, y}, {734, y + 30}, {64, y + 30}, {64, y}};
  graphics_.Line().Draw(device, outline, 5, static_cast<uint32_t>(p) << 24 | 0xFF6060, 0);

  // The rows start in one column, the widest centred on x 384, so the labels stand one under
  // the other.
  int widest = 0;
  for (int i = 0; i < count; ++i)
    widest = std::max(widest, timed_labels[static_cast<size_t>(i)].Width());
  for (int i = 0; i < count; ++i) {
    if (!available(i)) continue;
    CGlyphFont& label = timed_labels[static_cast<size_t>(i)];
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
    const bool lit = int64_t{k} * list.limit_ms / kTimedChoiceSegments < elapsed;
    if (lit && k >= kFirstBeepSegment && !segment_lit[static_cast<size_t>(k)]) beep = true;
    if (lit) segment_lit[static_cast<size_t>(k)] = true;
    segment.SetColor(SegmentColor(k));
    segment.SetAlpha(lit ? 255 : 128);
    segment.Draw(device, static_cast<float>(186 + 10 * k), 191, 16, 16);
  }
  if (beep) se_[kBeepSlot].Play(false);

  elapsed = static_cast<int32_t>(std::min<int64_t>(int64_t{elapsed} + in.elapsed, INT32_MAX));
  if (!in.dialog_open) MoveSelection(in, hovered, count);

  // Without items only the clock can end the choice.
  const bool chosen = count > 0 && in.Decide(hit);
  const bool timed_out = elapsed > list.limit_ms;
  if (timed_out) hovered = kTimeoutSlot;
  if (!chosen && !timed_out) return std::nullopt;

  se_[kWatchSlot].Stop();
  if (timed_out) se_[kTimeoutBeepSlot].Play(false);
  decided = true;
  return hovered == kTimeoutSlot ? list.timeout_target
                                 : list.items[static_cast<size_t>(hovered)].target;
}
