// CADV's construction, one-time start-up and the device hooks.
#include "app/adv.h"

#include "app/process.h"
#include "platform/log.h"
#include "resource/image.h"
#include "resource/picture_loader.h"

CADV::CADV(Process& process)
    : choice(process.graphics, panels, text_box, script, save_record, process.system_pkd,
             process.system_se),
      title(TitleContextOf(process)),
      save_load(process.graphics, panels, slots, system_data, save_record, process.system_pkd,
                process.system_se[1], SaveLoadHooksOf()),
      config(process.graphics, process.system_pkd, panels, system_data, process.system_se,
             process.platform.clock, fill_sprites[kFillPlain]),
      confirmation(process.graphics, panels),
      system_menu(process.graphics, text_box),
      backlog(process.graphics, text_box, history, checkpoints, fill_sprites[kFillBlack]),
      town(process.graphics, process.system_pkd, save_record, script, process.town_bgm, panels.Art()),
      movie_layer(process.graphics, process.sound, process.platform.clock),
      movie_room(process.graphics, movie_layer, process.system_se),
      modes(DefaultModes()),
      process_(process) {
  script.SetArchive(&process.system_pkd);  // scripts come from the system archive
}

std::string SystemTexturePicture(int i) { return "SYSTEM\\systex" + std::to_string(i + 1) + ".png"; }

void CADV::Init() {
  platform::Window& window = process_.platform.window;
  window.SetCursor(platform::Cursor::Game);
  game_mode = MODE_TITLE;

  gfx::Device& device = process_.graphics.Device();
  const uint32_t fill_colors[3] = {0x000000, 0xFFFFFF, 0xFFFFFF};
  for (int i = 0; i < 3; ++i) {
    fill_sprites[i].Init(0, 0, 8, 8);
    fill_sprites[i].SetColor(fill_colors[i]);
    fill_sprites[i].SetDevice(&device);
  }

  TextBoxSetup();

  for (int i = 0; i < 3; ++i) {
    CTexture& t = system_textures[i];
    t.Create(device, 256, 256, gfx::D3DFMT_A8R8G8B8);
    const std::string name = SystemTexturePicture(i);
    CImage32 image;
    if (process_.pictures.Load(process_.system_pkd, name, image) == 0 && image.Width() == 256 &&
        image.Height() == 256) {
      t.Upload(image.Pixels());
    } else {
      WriteLog(2, std::string(name) + " could not be loaded", "CADV::Init", 0);
    }
  }
  for (CTexture& t : blank_textures) t.Create(device, 256, 256, gfx::D3DFMT_A8R8G8B8);

  // The sub-systems in their order; each area fills its own.
  LayersSetup();
  BacklogSetup();
  DialogArtSetup();
  ResetRecord();  // the save record and the slot thumbnails, before the screen that shows them
  SaveLoadSetup();
  SystemMenuSetup();
  ChoiceSetup();
  LoadTitleResources();
  ConfigSetup();
  Town_init();
  LoadProgress();

  // An empty page at full opacity; the window itself stays hidden until the script shows it.
  text_box.Advance(-1);
  text_box.SetBoxAlpha(255);

  text_hidden_by_script = true;
  text_hidden_by_player = false;
  system_menu_open = false;

  LoadReadPositions();
  ready = true;
  device.SetSpriteDepth(0.9f);
}

void CADV::ReleaseDeviceResources() { town.ReleaseCube(); }

void CADV::RestoreDeviceResources() { SubCubeVertexInit(); }
