// The settings screen's rows, texts and values, and its flag (see ConfigScreen). Leaving by the
// return button or a cancel writes "system.dat". Behind the panels a flag waves in 3D: a height
// field stepped every 33 ms, disturbed by a gust each second, drawn lit on the transformed path.
#include "screens/config.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "audio/sound.h"
#include "graphics/font.h"
#include "graphics/graphics.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/image.h"
#include "resource/pack_file.h"
#include "save/system_data.h"
#include "screens/cells.h"
#include "screens/panels.h"
#include "resource/picture_loader.h"

namespace {

// --- layout ----------------------------------------------------------------------------------

struct RowLayout {
  int x = 0, count = 0, width = 0, step = 0;
};
constexpr RowLayout kTwo{376, 2, 128, 160};
constexpr RowLayout kThree{216, 3, 128, 160};
constexpr RowLayout kEight{56, 8, 48, 80};
constexpr RowLayout kVolume{56, 9, 40, 71};
constexpr RowLayout kNone{};
constexpr RowLayout kLayout[kConfigPages][kConfigRows] = {
    {kTwo, kEight, kThree, kEight, kTwo, kTwo, kTwo, kThree},
    {kVolume, kVolume, kVolume, kVolume, kTwo, kNone, kNone, kNone},
    {kVolume, kVolume, kVolume, kVolume, kVolume, kVolume, kVolume, kVolume},
    {kTwo, {56, 4, 128, 160}, kNone, kNone, kNone, kNone, kNone, kNone},
};

constexpr int RowTop(int row) {
  return 64 * (row + 1);
}
constexpr int ButtonLeft(const RowLayout& l, int j) {
  return l.x + j * l.step;
}

// Page tabs and the return button.
constexpr int kTabX = 720;
constexpr int TabHitTop(int p) {
  return 54 + 128 * p;
}
constexpr int TabTop(int p) {
  return 22 + 128 * p;
}
constexpr int kReturnX = 728, kReturnY = 528;

// Button face colours: the stored value, the others.
constexpr uint32_t kChosenRgb = 0xFFB060, kOtherRgb = 0x8F8F8F;

// --- texts -----------------------------------------------------------------------------------

struct Texts {
  std::string headings[kConfigPages][kConfigRows];
  // Labels of the rows whose buttons are not numbers; empty where a row shows digits.
  std::string labels[kConfigPages][kConfigRows][4];
  std::string digits[9];  // "ＯＦＦ", then "1" … "8"
  std::string cache_sizes[3];  // FileCacheSize 3 shows these in place of the last three words
  // Which end of a speed scale is fast, beside its heading: text appears faster towards 8, the
  // auto mode waits longer towards 8.
  std::string text_speed_ends, auto_speed_ends;
};

const Texts& ScreenTexts() {
  static const Texts t = [] {
    Texts x;
    const char* headings[kConfigPages][kConfigRows] = {
        {"ウィンドウモード/フルスクリーンの切り替え", "テキスト表示スピード", "テキストスタイル",
         "オートクリックスピード", "未読テキストのスキップ",
         "選択肢が来たときのオートクリックの設定", "選択肢が来たときのスキップの設定",
         "エフェクトスピード"},
        {"ＢＧＭ音量", "ＳＥ音量", "ボイス音量", "ムービー音量", "ムービーの解像度", "", "", ""},
        // The voice groups in order: the demo's five heroines, one further speaker, the rest.
        {"香坂 茜", "日向 ひな", "水無瀬 澪", "天野 そら", "柚原 ゆず", "楓", "その他男性",
         "その他女性"},
        {"VSYNCの設定", "ファイルキャッシュサイズ", "", "", "", "", "", ""},
    };
    const char* labels[kConfigPages][kConfigRows][4] = {
        {{"ウィンドウモード", "フルスクリーン"},
         {},
         {"装飾なし", "ドロップシャドウ", "縁取り"},
         {},
         {"スキップ解除", "未読でもスキップ"},
         {"解除", "継続"},
         {"解除", "継続"},
         {"なし", "通常", "高速"}},
        {{}, {}, {}, {}, {"低解像度", "高解像度"}},
        {},
        {{"同期", "非同期"}, {"なし", "小", "標準", "大"}},
    };
    for (int p = 0; p < kConfigPages; ++p)
      for (int r = 0; r < kConfigRows; ++r) {
        x.headings[p][r] = SJ(headings[p][r]);
        for (int j = 0; j < 4; ++j)
          if (labels[p][r][j]) x.labels[p][r][j] = SJ(labels[p][r][j]);
      }
    x.digits[0] = SJ("ＯＦＦ");
    for (int i = 1; i < 9; ++i) x.digits[i] = std::to_string(i);
    x.cache_sizes[0] = "8MB";
    x.cache_sizes[1] = "32MB";
    x.cache_sizes[2] = "64MB";
    x.text_speed_ends = SJ("1 遅い　←→　速い 8");
    x.auto_speed_ends = SJ("1 速い（1秒）　←→　遅い（8秒） 8");
    return x;
  }();
  return t;
}

// The label of button j: the row's word, or its number ("%d" 1 … 8 for rows of eight, "ＯＦＦ"
// and 1 … 8 for volume rows).
const std::string& ButtonLabel(const SystemData& d, int page, int row, int j) {
  const Texts& t = ScreenTexts();
  if (page == 3 && row == 1 && d.FileCacheSize == 3 && j > 0) return t.cache_sizes[j - 1];
  if (!t.labels[page][row][0].empty()) return t.labels[page][row][j];
  return kLayout[page][row].count == 9 ? t.digits[j] : t.digits[j + 1];
}

// --- values ----------------------------------------------------------------------------------

// The button that shows the stored value of a row (−1 when the record holds none of them).
int StoredButton(const SystemData& d, int page, int row) {
  switch (page) {
    case 0:
      switch (row) {
        case 0: return d.Windowed ? 0 : 1;
        case 1: return d.TextSpeed;
        case 2: return d.TextStyle;
        case 3: return d.AutoClickSpeed;
        case 4: return d.SkipUnread;
        case 5: return d.AutoAtChoice;
        case 6: return d.SkipAtChoice;
        case 7:
          return d.EffectSpeed == 2 ? 0 : d.EffectSpeed == 0 ? 1 : d.EffectSpeed == 1 ? 2 : -1;
      }
      break;
    case 1:
      switch (row) {
        case 0: return d.BgmVolume;
        case 1: return d.SeVolume;
        case 2: return d.VoiceVolume;
        case 3: return d.MovieVolume;
        case 4: return d.MovieHighRes;
      }
      break;
    case 2: return d.VoiceGroupVolume[row];
    case 3: return row == 0 ? (d.VSyncMode ? 0 : 1) : d.FileCacheSize;
  }
  return -1;
}

// --- the flag --------------------------------------------------------------------------------

// Rest positions: a sheet in the plane y = 0 that fills the camera's view with a margin, its
// columns turned 12° about the y axis so they run along the screen's rows; nodes 34 apart.
// Heights lift a node towards the camera (+y).
constexpr float kFlagSpacing = 34.0f;
constexpr float kFlagTurn = -0.20944f;  // −12°
constexpr gfx::Vec3 kFlagCentre{567.0f, 0.0f, 486.0f};
constexpr int kStepMs = 33;
constexpr int kMaxStepsPerFrame = 30;  // a long stall catches up one second, not all of it

// A gust: for its first steps it pushes the sheet near the windward (left) side in a soft
// elliptical bump, strongest at first; the ripples travel on across the flag.
constexpr int kGustSteps = 8;
constexpr float kGustPush = 0.3f;
constexpr float kGustRowSpread = 4.0f, kGustColumnSpread = 2.0f;

uint32_t NextRandom(uint32_t& state) {
  state = state * 1103515245u + 12345u;
  return (state >> 16) & 0x7FFF;
}

void StartGust(FlagField& f, uint32_t now) {
  f.seconds = (f.seconds + 1) % 3600;
  f.random = now ^ (f.seconds * 2654435761u);
  f.disturbance = 0;
  f.strength = 10;
  f.gust_row = 3 + static_cast<int32_t>(NextRandom(f.random) % 14);  // rows 3-16
  f.gust_column = 2 + static_cast<int32_t>(NextRandom(f.random) % 7);  // columns 2-8
  f.gust_sign = NextRandom(f.random) & 1 ? 1.0f : -1.0f;
}

void Disturb(FlagField& f) {
  if (f.disturbance >= kGustSteps) return;
  const float push = f.gust_sign * f.strength * kGustPush;
  for (int r = 1; r < kFlagRows - 1; ++r) {
    const float dr = static_cast<float>(r - f.gust_row) / kGustRowSpread;
    for (int c = 1; c < kFlagColumns - 1; ++c) {
      const float dc = static_cast<float>(c - f.gust_column) / kGustColumnSpread;
      f.height[r][c] += push * std::exp(-0.5f * (dr * dr + dc * dc));
    }
  }
  f.strength -= 1;
  ++f.disturbance;
}

void StepField(FlagField& f) {
  Disturb(f);
  for (int r = 1; r < kFlagRows - 1; ++r) {
    for (int c = 1; c < kFlagColumns - 1; ++c) {
      float& h = f.height[r][c];
      float& v = f.velocity[r][c];
      const float a = 0.02f * (f.height[r - 1][c] + f.height[r + 1][c] + f.height[r][c - 1] +
                               f.height[r][c + 1] - 4 * h);
      v = a == 0 ? 0 : v + a;
      h += v;
      if (h > 20 || h < -20) v *= 0.5f;
      if (v > 50 || v < -50) v -= 1.2f * v;
    }
  }
}

gfx::Vec3 NodePosition(const FlagField& f, int r, int c) {
  const float u = (static_cast<float>(c) - (kFlagColumns - 1) / 2.0f) * kFlagSpacing;
  const float v = (static_cast<float>(r) - (kFlagRows - 1) / 2.0f) * kFlagSpacing;
  const float cs = std::cos(kFlagTurn), sn = std::sin(kFlagTurn);
  return {kFlagCentre.x + u * cs - v * sn, f.height[r][c], kFlagCentre.z + u * sn + v * cs};
}

gfx::Vec3 Minus(const gfx::Vec3& a, const gfx::Vec3& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}

// Each node's normal: the cross products of the differences to consecutive neighbours (right,
// down, left, up), summed and normalised; they face +y, the camera's side.
void ComputeNormals(FlagField& f) {
  constexpr int kDr[4] = {0, 1, 0, -1}, kDc[4] = {1, 0, -1, 0};
  for (int r = 0; r < kFlagRows; ++r)
    for (int c = 0; c < kFlagColumns; ++c) {
      const gfx::Vec3 p = NodePosition(f, r, c);
      gfx::Vec3 sum{};
      for (int k = 0; k < 4; ++k) {
        const int r0 = r + kDr[k], c0 = c + kDc[k];
        const int r1 = r + kDr[(k + 1) % 4], c1 = c + kDc[(k + 1) % 4];
        if (r0 < 0 || r0 >= kFlagRows || c0 < 0 || c0 >= kFlagColumns || r1 < 0 ||
            r1 >= kFlagRows || c1 < 0 || c1 >= kFlagColumns)
          continue;
        const gfx::Vec3 n =
            gfx::Cross(Minus(NodePosition(f, r1, c1), p), Minus(NodePosition(f, r0, c0), p));
        sum = {sum.x + n.x, sum.y + n.y, sum.z + n.z};
      }
      f.normal[r][c] = gfx::Normalize(sum);
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Set-up

ConfigScreen::ConfigScreen(CGraphics& graphics, const CPackFile& system, Panels& panels,
                           SystemData& settings, std::array<CSoundBuffer, 16>& system_se,
                           platform::Clock& clock, CSprite& plain)
    : graphics_(graphics),
      system_(system),
      panels_(panels),
      settings_(settings),
      se_(system_se),
      clock_(clock),
      plain_(plain) {}

void ConfigScreen::Setup(PictureLoader& pictures) {
  gfx::Device& device = graphics_.Device();
  auto cell = [&](CSprite& sprite, int left, int top, int right, int bottom) {
    CutCell(sprite, device, &panels_.Art(), left, top, right, bottom);
  };
  for (int i = 0; i < 3; ++i) {
    cell(tab_other[i], 96, 32 * i, 128, 32 * i + 32);
    cell(tab_current[i], 96, 96 + 32 * i, 128, 128 + 32 * i);
  }
  for (int p = 0; p < kConfigPages; ++p) cell(tab_caption[p], 16 * p, 96, 16 * p + 16, 192);
  cell(return_normal, 192, 64, 256, 128);
  cell(return_hot, 192, 128, 256, 192);

  flag_texture.Create(device, 256, 256, gfx::D3DFMT_A8R8G8B8);
  CImage32 image;
  if (pictures.Load(system_, kFlagPicture, image) == 0 && image.Width() == 256 &&
      image.Height() == 256) {
    flag_texture.Upload(image.Pixels());
  } else {
    WriteLog(2, "SYSTEM\\option_flag.png could not be loaded", "CADV::ConfigSetup", 0);
  }
  ComputeNormals(flag);
}

// ---------------------------------------------------------------------------------------------
// Values

// Stores button j of a row; what acts at once is the engine's to carry out.
ConfigStep ConfigScreen::Apply(int page, int row, int j) {
  SystemData& d = settings_;
  switch (page) {
    case 0:
      switch (row) {
        case 0: {
          // Only the mode not in use asks for the switch (the same request as Alt+Return).
          const bool windowed = graphics_.Windowed();
          if ((j == 0 && !windowed) || (j == 1 && windowed)) return ConfigStep::kDisplaySwitch;
          break;
        }
        case 1: d.TextSpeed = j; break;
        case 2: d.TextStyle = j; return ConfigStep::kTextStyle;
        case 3: d.AutoClickSpeed = j; break;
        case 4: d.SkipUnread = static_cast<uint8_t>(j); break;
        case 5: d.AutoAtChoice = static_cast<uint8_t>(j); break;
        case 6: d.SkipAtChoice = static_cast<uint8_t>(j); break;
        case 7: d.EffectSpeed = j == 0 ? 2 : j - 1; break;
      }
      break;
    case 1:
      switch (row) {
        case 0: d.BgmVolume = j; return ConfigStep::kMusicVolume;
        case 1: d.SeVolume = j; return ConfigStep::kEffectVolume;
        case 2: d.VoiceVolume = j; return ConfigStep::kVoiceVolume;
        case 3: d.MovieVolume = j; break;  // the next movie plays at it
        case 4: d.MovieHighRes = static_cast<uint8_t>(j); break;
      }
      break;
    case 2: d.VoiceGroupVolume[row] = j; break;  // the next voice of the group
    default: break;  // page 3 only shows its values
  }
  return ConfigStep::kStay;
}

// Back to the mode that opened the screen; the engine writes the settings and uses up the click
// or cancel that left, so the screen returned to does not take it as its own in this frame.
ConfigStep ConfigScreen::Leave() {
  se_[1].Play(false);  // "cancel.wav"
  return ConfigStep::kLeave;
}

// ---------------------------------------------------------------------------------------------
// Update step

ConfigStep ConfigScreen::Proc(ScreenInput& in) {
  ConfigScreen& s = *this;
  if (in.dialog_open) return ConfigStep::kStay;
  // A Return pressed as part of Alt+Return switches the display; it is not a decide as well.
  const bool alt_return = in.display_switch;

  // 1. Hover tests. What the pointer last rested on stays chosen for the keys.
  bool hit = false;
  s.tab_hit = false;
  s.hovered_tab = -1;
  for (int p = 0; p < 3; ++p) {
    if (in.PointerBox(kTabX, TabHitTop(p), 768, TabHitTop(p) + 96)) {
      s.hovered_tab = p;
      s.tab_hit = hit = true;
    }
  }
  if (in.PointerBox(kReturnX, kReturnY, kReturnX + 64, kReturnY + 64)) {
    s.hovered_row = s.hovered_button = -1;
    hit = true;
  }
  const int page = s.page >= 0 && s.page < kConfigPages ? s.page : 0;
  for (int r = 0; r < kConfigRows && !hit; ++r) {
    const RowLayout& l = kLayout[page][r];
    for (int j = 0; j < l.count; ++j) {
      const int left = ButtonLeft(l, j), top = RowTop(r);
      if (in.PointerBox(left, top, left + l.width, top + 16)) {
        s.hovered_row = r;
        s.hovered_button = j;
        s.hovered_left = left;
        s.hovered_top = top;
        s.hovered_right = left + l.width;
        s.hovered_bottom = top + 16;
        hit = true;
        break;
      }
    }
  }

  // 2. Cancel.
  if (in.Cancel()) return Leave();

  // 3. Decide: every decide sounds.
  if (!in.Decide(hit) || alt_return) return ConfigStep::kStay;
  se_[0].Play(false);  // "ok.wav"
  if (s.tab_hit) {
    if (s.page != s.hovered_tab) {
      s.page = s.hovered_tab;
      s.hovered_row = -1;  // the old page's button is not on this one
      s.hovered_button = 0;
    }
  } else if (s.hovered_row == -1 && s.hovered_button == -1) {
    return Leave();
  } else if (s.hovered_row >= 0 && s.hovered_row < kConfigRows && s.hovered_button >= 0 &&
             s.hovered_button < kLayout[page][s.hovered_row].count) {
    return Apply(page, s.hovered_row, s.hovered_button);
  }
  return ConfigStep::kStay;
}

// ---------------------------------------------------------------------------------------------
// Draw step

// The flag behind the panels: the field advanced by the frame's time, then drawn lit.
void ConfigScreen::DrawFlag(uint32_t elapsed) {
  ConfigScreen& s = *this;
  FlagField& f = s.flag;

  f.gust_time += elapsed;
  while (f.gust_time >= 1000) {
    f.gust_time -= 1000;
    StartGust(f, clock_.Now());
  }
  f.step_time = std::min<uint32_t>(f.step_time + elapsed, kStepMs * kMaxStepsPerFrame);
  bool stepped = false;
  while (f.step_time >= kStepMs) {
    f.step_time -= kStepMs;
    StepField(f);
    stepped = true;
  }
  if (stepped) ComputeNormals(f);

  // A missing picture is an empty texture: nothing shows. Without a texture at all, drawing
  // would show the bare lit sheet, so nothing is drawn either.
  if (!s.flag_texture.Ready()) return;
  int k = 0;
  for (int r = 0; r + 1 < kFlagRows; ++r) {
    const float v0 = r % 2 ? 0.5f : 0.0f;
    for (int c = 0; c + 1 < kFlagColumns; ++c) {
      const float u0 = c % 2 ? 0.5f : 0.0f;
      const int rows[4] = {r, r, r + 1, r + 1}, columns[4] = {c, c + 1, c, c + 1};
      for (int i = 0; i < 4; ++i) {
        const gfx::Vec3 p = NodePosition(f, rows[i], columns[i]);
        const gfx::Vec3& n = f.normal[rows[i]][columns[i]];
        s.flag_vertices[k++] = {
            p.x, p.y, p.z, n.x, n.y, n.z, u0 + 0.5f * (i % 2), v0 + 0.5f * (i / 2)};
      }
    }
  }

  CGraphics& graphics = graphics_;
  gfx::Device& device = graphics.Device();
  device.SetTransform(gfx::TransformType::World, gfx::Matrix::Identity());
  device.SetTransform(gfx::TransformType::View,
                      gfx::D3DXMatrixLookAtRH({300, 300, 650}, {400, 0, 550}, {0, 0, -1}));
  device.SetTransform(gfx::TransformType::Projection, graphics.PerspectiveProjection());
  device.SetLighting(true);
  device.SetAmbient(0xFFFFFFFFu);
  gfx::Material material;
  material.diffuse = {1, 1, 1, 1};
  material.emissive = {0.3f, 0.3f, 0.3f, 1};
  device.SetMaterial(material);
  device.SetAlphaBlendEnable(true);
  device.SetBlendFactors(gfx::Blend::SrcAlpha, gfx::Blend::InvSrcAlpha);
  device.SetTexture(s.flag_texture.Interface());
  device.SetStreamSource(s.flag_vertices);
  for (int cell = 0; cell < kFlagCells; ++cell)
    device.DrawPrimitive(gfx::PrimitiveType::TriangleStrip, 4 * cell, 2);

  // The 2D state again: no lighting, the device's own view, and a depth buffer the panels'
  // sprites can test against as a whole.
  device.SetLighting(false);
  device.SetTransform(gfx::TransformType::View, graphics.View());
  device.SetTexture(nullptr);
  device.ClearDepth(1.0f);
}

void ConfigScreen::Flip(uint32_t elapsed) {
  ConfigScreen& s = *this;
  CGraphics& graphics = graphics_;
  gfx::Device& device = graphics.Device();
  const Texts& texts = ScreenTexts();

  // 1-2. The flag, the window and its panel.
  DrawFlag(elapsed);
  panels_.WindowFrame(device, 0, 0, 22, 17);
  panels_.Rounded(device, 32, 32, 664, 512, 0x231206, 255);

  // 3. Tabs, the lower ones on top; the return button.
  const int page = s.page >= 0 && s.page < kConfigPages ? s.page : 0;
  for (int p = 2; p >= 0; --p) {
    auto& cells = p == page ? s.tab_current : s.tab_other;
    const float y = static_cast<float>(TabTop(p));
    cells[0].Draw(device, kTabX, y, 32, 32);
    for (int i = 1; i <= 3; ++i) cells[1].Draw(device, kTabX, y + 32.0f * i, 32, 32);
    cells[2].Draw(device, kTabX, y + 128, 32, 32);
    s.tab_caption[p].SetAlpha(p == page ? 255 : 64);
    s.tab_caption[p].Draw(device, 728, y + 32, 16, 96);
  }
  const bool on_return = s.hovered_row == -1 && s.hovered_button == -1;
  (on_return ? s.return_hot : s.return_normal).Draw(device, kReturnX, kReturnY, 64, 64);

  // 4-5. Headings, separators and buttons of the page.
  CSprite& fill = plain_;
  for (int r = 0; r < kConfigRows; ++r) {
    const RowLayout& l = kLayout[page][r];
    if (l.count == 0) continue;
    if (r > 0) {
      fill.SetColor(0xFFB060);
      fill.SetAlpha(128);
      fill.Draw(device, 48, static_cast<float>(28 + 64 * r), 624, 2);
    }
    const std::string& heading = texts.headings[page][r];
    const platform::Rect rect{48, 32 + 64 * r, 688, 64 + 64 * r};
    constexpr int kShift[4][2] = {{-1, -1}, {1, 1}, {-1, -1}, {1, 1}};
    for (const auto& d : kShift)
      graphics.DrawText(kFont20Bold, heading,
                        {rect.left + d[0], rect.top + d[1], rect.right + d[0], rect.bottom + d[1]},
                        0xFFC47C50u, DT_LEFT);
    graphics.DrawText(kFont20Bold, heading, rect, 0xFFFFFFFFu, DT_LEFT);
    if (page == 0 && (r == 1 || r == 3)) {
      // Right-aligned over the row's last button.
      const int right = ButtonLeft(l, l.count - 1) + l.width;
      graphics.DrawText(kFont16, r == 1 ? texts.text_speed_ends : texts.auto_speed_ends,
                        {rect.left, rect.top + 4, right, rect.bottom}, 0xFFE8C8A0u, DT_RIGHT);
    }

    if (page == 0 && r == 0) settings_.Windowed = graphics.Windowed() ? 1 : 0;
    const int stored = StoredButton(settings_, page, r);
    const int top = RowTop(r);
    for (int j = 0; j < l.count; ++j) {
      const int left = ButtonLeft(l, j);
      panels_.Rounded(device, static_cast<float>(left), static_cast<float>(top + 5),
                      static_cast<float>(l.width), 6, j == stored ? kChosenRgb : kOtherRgb, 255);
      graphics.DrawText(kFont16, ButtonLabel(settings_, page, r, j),
                        {left, top, left + l.width, top + 32}, 0xFF000000u, DT_CENTER);
    }
  }

  // 6. The crawling outline round the chosen button.
  if (s.hovered_row >= 0) {
    const float l = static_cast<float>(s.hovered_left - 9),
                t = static_cast<float>(s.hovered_top - 4);
    const float rt = static_cast<float>(s.hovered_right + 7);
    const float b = static_cast<float>(s.hovered_bottom + 2);
    const gfx::LinePoint points[5] = {{l, t}, {rt, t}, {rt, b}, {l, b}, {l, t}};
    graphics.Line().Draw(device, points, 5, 0xFFCC3300u, static_cast<int>(elapsed));
  }
}
