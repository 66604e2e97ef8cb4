// The settings screen (MODE_CONFIG): the fields of the settings record as rows of buttons on
// three pages with tabs, and a return button. A decide stores the value at once; what acts at
// once (the display mode, the text style, the music, effect and voice volumes) the screen answers
// to the engine. Its state: the page and hover state (kept between visits), the cells of the
// dialog art it draws its tabs and return button with, and the waving flag behind the panels, a
// height field run in 33 ms steps and drawn lit in 3D.
//
// Engine library (screens).
#pragma once

#include <array>
#include <cstdint>

#include "app/game_mode.h"
#include "graphics/device.h"
#include "graphics/sprite.h"
#include "graphics/texture.h"
#include "screens/screen_input.h"
class CGraphics;
class CPackFile;
class PictureLoader;
class CSoundBuffer;
class Panels;
struct SystemData;
namespace platform {
class Clock;
}

inline constexpr int kConfigPages = 4;  // the tabs reach pages 0-2
inline constexpr int kConfigRows = 8;

// The flag's height field: rows along world z, columns along world x; border nodes stay 0.
inline constexpr int kFlagRows = 20;
inline constexpr int kFlagColumns = 28;
inline constexpr int kFlagCells = (kFlagRows - 1) * (kFlagColumns - 1);

struct FlagField {
  std::array<std::array<float, kFlagColumns>, kFlagRows> height{};
  std::array<std::array<float, kFlagColumns>, kFlagRows> velocity{};
  std::array<std::array<gfx::Vec3, kFlagColumns>, kFlagRows> normal{};
  uint32_t step_time = 0;  // ms towards the next 33 ms step
  uint32_t gust_time = 0;  // ms towards the next gust (wraps at 1000)
  uint32_t seconds = 0;  // gusts so far, modulo 3600
  uint32_t random = 1;  // reseeded from the clock at every gust
  int32_t disturbance = 0;  // steps since the gust began
  float strength = 10;  // of the gust's next push
  int32_t gust_row = 10;  // where the gust meets the flag
  int32_t gust_column = 5;
  float gust_sign = 1;
};

// What the settings screen's update step asks of the engine.
enum class ConfigStep {
  kStay,
  kLeave,  // back to the mode that opened the screen, the settings written
  kDisplaySwitch,  // the display mode not in use was chosen (the request of Alt+Return)
  kTextStyle,  // these three act at once, with the values now in the record
  kMusicVolume,
  kEffectVolume,
  kVoiceVolume,
};

class ConfigScreen {
 public:
  static constexpr const char* kFlagPicture = "SYSTEM\\option_flag.png";

  // `plain` is the engine's plain white fill; `system_se` the interface sounds (0 ok, 1 cancel).
  ConfigScreen(CGraphics& graphics, const CPackFile& system, Panels& panels, SystemData& settings,
               std::array<CSoundBuffer, 16>& system_se, platform::Clock& clock, CSprite& plain);
  ConfigScreen(const ConfigScreen&) = delete;
  ConfigScreen& operator=(const ConfigScreen&) = delete;

  // Once at start: the cells of the dialog art, the flag's picture and its normals.
  void Setup(PictureLoader& pictures);
  // The update step: hovering, the cancel, the decide on a tab, a button or the return button.
  ConfigStep Proc(ScreenInput& in);
  // The draw step: the flag advanced by `elapsed`, the window, tabs, rows and the outline.
  void Flip(uint32_t elapsed);

  GameMode return_mode = MODE_TITLE;
  int32_t page = 0;
  int32_t hovered_tab = -1;
  bool tab_hit = false;  // the pointer is on a tab in this frame
  // Row −1 with button −1 is the return button; row −1 with any other button is nothing.
  int32_t hovered_row = -1;
  int32_t hovered_button = 0;
  int32_t hovered_left = 0, hovered_top = 0, hovered_right = 0, hovered_bottom = 0;

  FlagField flag;
  CTexture flag_texture;  // "SYSTEM\option_flag.png"; empty (transparent) when missing
  std::array<gfx::LitVertex, kFlagCells * 4> flag_vertices{};

  // Cells of the dialog art.
  std::array<CSprite, 3> tab_other, tab_current;  // top, middle, bottom
  std::array<CSprite, kConfigPages> tab_caption;
  CSprite return_normal, return_hot;

 private:
  ConfigStep Leave();
  ConfigStep Apply(int page, int row, int j);
  void DrawFlag(uint32_t elapsed);

  CGraphics& graphics_;
  const CPackFile& system_;
  Panels& panels_;
  SystemData& settings_;
  std::array<CSoundBuffer, 16>& se_;
  platform::Clock& clock_;
  CSprite& plain_;
};
