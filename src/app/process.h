// The objects the game keeps for its whole run, as members of one struct in their construction
// order (destroyed in reverse). A test builds its own instance around a headless platform.
#pragma once

#include <array>
#include <string>

#include "app/adv.h"
#include "app/input.h"
#include "audio/sound.h"
#include "audio/stream_sound.h"
#include "graphics/graphics.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/sound_device.h"
#include "platform/window.h"
#include "resource/pack_file.h"
#include "resource/picture_loader.h"

// What the game needs of the machine: the real one or a headless one.
struct Platform {
  platform::Window& window;
  platform::Clock& clock;
  platform::MessageBoxes& boxes;
  platform::SoundOutput& sound;
};

struct Process {
  explicit Process(Platform p) : platform(p), adv(*this) {}
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  Platform platform;
  platform::Log log;
  CPackFile system_pkd;
  CPackFile thumb_pkd;
  CPackFile grp_pkd;
  // Decodes the pictures the engine expects next on worker threads; made after the archives it
  // reads and gone (its threads joined) before them.
  PictureLoader pictures{PictureWorkers()};
  CGraphics graphics;
  CADV adv;  // the engine lives with the graphics object
  CInput input;
  CSound sound;
  std::array<CSoundBuffer, 16> system_se;  // slots 0-7 in use
  std::array<CSoundBuffer, 16> script_se;  // the script's channels 0-7
  CStreamSound bgm;
  std::array<CStreamSound, 16> voices;  // 0-7 in use, in turn
  CStreamSound town_bgm;
  CSoundBuffer spare_se;  // made with the others, never used

  // Frame loop state.
  bool engine_needs_init = true;
  uint32_t prev_frame_time = 0;
  uint32_t this_frame_time = 0;
  bool quit_requested = false;
  bool quit_seen = false;
  bool quit_signal_seen = false;  // a signal asked the game to end; handled once
  int exit_code = 0;
  bool first_frame_presented = false;
};

// The window title, also the caption of the start-up message boxes.
extern const char* const kWindowTitle;
