#include "app/shell.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "audio/engine/adv_sound.h"
#include "platform/fs.h"
#include "platform/movie_decoder.h"
#include "platform/quit_signal.h"
#include "platform/startup_marks.h"

const char* const kWindowTitle = "Lanthorn";

std::string CurrentFolder() { return platform::fs::CurrentFolder(); }

void ErrorBox(platform::MessageBoxes& boxes, const char* format, ...) {
  char buf[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  boxes.Show("", buf, platform::BoxButtons::Ok, platform::BoxIcon::Error);
}

bool InitInstance(Process& p) {
  platform::Window& window = p.platform.window;
  platform::Rect work = window.WorkArea();
  // Placed from the work area's right and bottom edges alone, as the game always has.
  int x = work.right / 2 - platform::kFrameWidth / 2;
  int y = work.bottom / 2 - platform::kFrameHeight / 2;
  if (!window.Create(kWindowTitle, x, y, platform::kFrameWidth, platform::kFrameHeight))
    return false;
  platform::StartupMark("window");

  struct Archive {
    CPackFile& file;
    const char* name;
    const char* message;
  };
  const Archive archives[] = {
      {p.system_pkd, "system.pkd", "system.pkd not found. Initialize failed."},
      {p.thumb_pkd, "thumb.pkd", "thumb.pkd not found. Initialize failed."},
      {p.grp_pkd, "grp.pkd", "grp.pkd not found. Initialize failed."},
  };
  for (const Archive& a : archives) {
    if (!a.file.Open(a.name)) {
      p.platform.boxes.Show(kWindowTitle, a.message, platform::BoxButtons::Ok,
                            platform::BoxIcon::None);
      return false;
    }
    // A damaged archive is not a missing one: the game starts, and what cannot be read fails
    // as each load of it does.
    if (a.file.Damage() != PackError::None || a.file.Unreadable() > 0) {
      std::string text = std::string(a.name) + " is damaged";
      if (a.file.Damage() != PackError::None) text += std::string(": ") + PackErrorText(a.file.Damage());
      text += "; " + std::to_string(a.file.Unreadable()) + " of its " +
              std::to_string(std::max(a.file.Count(), 0)) + " entries cannot be read";
      WriteLog(2, text, "InitInstance", 0);
    }
  }

  // Decoded by the picture workers while the rest of start-up runs.
  if (p.engine_needs_init) p.adv.ExpectStartUpPictures();

  // A save killed between writing and renaming leaves its temporary file; the old file is whole.
  platform::fs::RemoveLeftoverTemporaries("");
  platform::fs::RemoveLeftoverTemporaries("SAVE");

  if (!p.adv.LoadSystemData()) {
    p.adv.ResetSettings();
    p.adv.SaveSystemData();
  }

  p.input.Init(window.Input());

  WriteLog(0, "DirectSound Create", "InitInstance", 0);
  // Without a sound device nothing of the audio is set up and the game runs silent. Only eight
  // of each bank and of the voices are used.
  if (p.sound.Create(p.platform.sound)) {
    platform::SoundDevice* device = p.sound.Device();
    const SystemData& d = p.adv.system_data;
    const int bgm = SettingPercent(d.BgmVolume, d.BgmEnabled);
    const int se = SettingPercent(d.SeVolume, d.SeEnabled);
    const int voice = SettingPercent(d.VoiceVolume, d.VoiceEnabled);
    for (CStreamSound* music : {&p.bgm, &p.town_bgm}) {
      music->SetDevice(device);
      music->SetVolume(bgm);
    }
    for (int i = 0; i < 8; ++i) {
      p.script_se[i].SetDevice(device);
      p.script_se[i].SetVolume(se);
      p.voices[i].SetDevice(device);
      p.voices[i].SetVolume(voice);
      p.system_se[i].SetDevice(device);
      p.system_se[i].SetVolume(se);
    }
  }

  platform::StartupMark("sound");

  if (!p.graphics.Ready()) {
    if (!p.graphics.InitDevice(window, p.platform.boxes, p.adv, true)) {
      p.platform.boxes.Show("", "DirectX8 Create Failed...", platform::BoxButtons::Ok,
                            platform::BoxIcon::None);
      return false;
    }
  }

  window.Show();
  platform::StartupMark("device");
  return true;
}

bool Boot(Process& p) {
  if (!InitInstance(p)) return false;
  p.prev_frame_time = p.this_frame_time = p.platform.clock.Now();
  if (p.engine_needs_init) {
    p.engine_needs_init = false;
    p.adv.Init();
  }
  platform::StartupMark("engine");
  return true;
}

void WindowProc(Process& p, const platform::Message& m) {
  switch (m.type) {
    case platform::MessageType::Close:
      // The default handling destroys the window at once, with no confirmation.
      p.graphics.ReleaseDevice();
      p.platform.window.Destroy();
      p.platform.window.PostQuit(0);
      break;
    case platform::MessageType::Activate:
      p.input.AcquireAll();
      p.adv.window_active = true;
      break;
    case platform::MessageType::Deactivate:
      p.adv.window_active = false;
      break;
    case platform::MessageType::DisplayChange:
      p.graphics.CheckDisplayFormat();
      break;
    case platform::MessageType::Quit:
      break;
  }
}

int RenderFrame(Process& p) {
  CGraphics& g = p.graphics;
  if (!g.Ready()) return -1;

  uint32_t now = p.platform.clock.Now();
  uint32_t elapsed = now - p.prev_frame_time;
  p.prev_frame_time = p.this_frame_time = now;

  p.input.PollKeyboard();
  p.input.PollMouse();
  p.input.PollControllers();

  g.Clear(0xFF000000u, 1.0f);
  g.BeginScene();
  bool toggle = false;
  if (!g.DeviceLost()) toggle = p.adv.FrameProc(elapsed) == 1;
  g.EndScene();

  if (g.Present() == platform::PresentResult::DeviceLost || g.DeviceLost()) g.RecoverLostDevice();
  if (!p.first_frame_presented) {
    p.first_frame_presented = true;
    platform::StartupMark("frame");
    // Off the first frame's way, and well before any story reaches a movie.
    platform::MovieDecoder::LoadLibrariesAhead();
  }

  if (toggle) g.ToggleScreenMode();

  if (p.quit_requested) {
    g.ReleaseDevice();
    p.platform.window.PostQuit(0);
  }

  p.platform.clock.Sleep(1);
  return 0;
}

bool MessageLoopStep(Process& p) {
  if (platform::QuitSignalled() && !p.quit_signal_seen) {
    p.quit_signal_seen = true;
    WindowProc(p, {platform::MessageType::Close, 0});
  }
  platform::Message m;
  while (p.platform.window.PeekMessage(m)) {
    WindowProc(p, m);
    if (m.type == platform::MessageType::Quit) {
      p.quit_seen = true;
      p.exit_code = m.code;
      // However the game ends (the close button, Alt+F4, the quit question, a signal), what was
      // read stays read for the next run.
      if (!p.engine_needs_init) p.adv.SaveReadPositions();
      return false;
    }
  }
  RenderFrame(p);
  return true;
}

int WinMain(Process& p) {
  // A game that could not start says so in its exit status too, after its message.
  if (!Boot(p)) return 1;
  while (MessageLoopStep(p)) {
  }
  return p.exit_code;
}
