// CADV's title entry points, handed to the TitleScreen, and what the title asks of the engine:
// the loader of the title's and the system's resources (run at start-up and on every way back),
// the way back itself, and a story started from a menu.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/adv.h"
#include "app/process.h"
#include "platform/log.h"

namespace {

const char kTitlePicture[] = "SYSTEM\\TITLE\\title.png";
const char kBlankPicture[] = "SYSTEM\\blank.png";
const char kStartupScript[] = "SCP\\startup.scp";
constexpr int kLogoSound = 2;

}  // namespace

TitleContext CADV::TitleContextOf(Process& p) {
  return TitleContext{
      p.graphics, p.system_pkd, p.pictures, blank_textures, fill_sprites[kFillBlack],
      p.bgm,      p.system_se,  progress,   scene,          [this] { SceneDrawLayers(); }};
}

// The title's pictures in the order LoadTitleResources (and after it the way back) reads them,
// so the workers decode them side by side while the first ones are cut into tiles.
std::vector<PictureLoader::Wanted> CADV::TitlePictures(bool with_return) {
  std::vector<PictureLoader::Wanted> wanted;
  char name[32];
  for (int i = 0; i < kTitleItems; ++i) {
    std::snprintf(name, sizeof name, "SYSTEM\\TITLE\\%d.png", i);
    wanted.push_back({&process_.system_pkd, name});
  }
  wanted.push_back({&process_.system_pkd, kBlankPicture});
  wanted.push_back({&process_.system_pkd, kTitlePicture});
  if (with_return) {
    wanted.push_back({&process_.system_pkd, kTitlePicture});
    wanted.push_back({&process_.system_pkd, kBlankPicture});
  }
  if (!ready) {  // at start-up, what Init reads after the title
    wanted.push_back({&process_.system_pkd, ConfigScreen::kFlagPicture});
    for (PictureLoader::Wanted& w : town.PictureOrder()) wanted.push_back(std::move(w));
  }
  return wanted;
}

void CADV::ExpectTitlePictures(bool with_return) {
  process_.pictures.Expect(TitlePictures(with_return));
}

void CADV::ExpectStartUpPictures() {
  std::vector<PictureLoader::Wanted> wanted;
  for (const char* band : CTEXTBOX::kBandPictures) wanted.push_back({&process_.system_pkd, band});
  for (int i = 0; i < 3; ++i) wanted.push_back({&process_.system_pkd, SystemTexturePicture(i)});
  wanted.push_back({&process_.system_pkd, Panels::kArtPicture});
  wanted.push_back({&process_.system_pkd, ChoiceScreen::kBattlePicture});
  for (PictureLoader::Wanted& w : TitlePictures(false)) wanted.push_back(std::move(w));
  process_.pictures.Expect(wanted);
}

void CADV::LoadTitleResources() {
  if (!title_pictures_expected_) ExpectTitlePictures(false);
  title_pictures_expected_ = false;
  process_.bgm.FadeOut(1);
  for (CSoundBuffer& se : process_.script_se) se.FadeOut(0);
  title.LoadItems();

  process_.bgm.Stop();
  for (CSoundBuffer& se : process_.script_se) se.Stop();
  process_.system_se[kLogoSound].Stop();
  for (int s = 0; s < scene::kSlotCount; ++s)
    for (scene::ChrBuffer& b : scene.chr.Slot(s).buffers) b.SetAlpha(0);

  // The title picture must be the one shown: a story may have left channel 1 in front or a
  // transition running, which would show the blank picture instead.
  scene.bg.Reset();
  SubBGLoadFromPNG(1, kBlankPicture);
  SubBGLoadFromPNG(0, kTitlePicture);

  LoadSystemSounds();

  fill_sprites[kFillBlack].SetAlpha(255);
  fill_sprites[kFillBlack].SetBlendMode(0);
}

void CADV::ReturnToTitle() {
  // Decoded while the sounds stop and the read positions are written.
  ExpectTitlePictures(true);
  title_pictures_expected_ = true;
  process_.bgm.FadeOut(0);
  for (CSoundBuffer& se : process_.script_se)
    if (se.IsPlaying()) se.FadeOut(0);
  for (CStreamSound& voice : process_.voices) voice.FadeOut(2);

  movie_layer.Stop();
  SaveReadPositions();
  LoadTitleResources();
  game_mode = MODE_TITLE;
  title.state = kTitleMusic;
  SubBGLoadFromPNG(0, kTitlePicture);
  SubBGLoadFromPNG(1, kBlankPicture);
  title.PlaceMenuPicture();

  clickable.active = false;
  // A day the map queued belongs to the story left behind.
  std::memset(save_record.TownPendingScript, 0, sizeof save_record.TownPendingScript);
  confirm_open = false;
  confirmation.title = false;
  process_.bgm.Stop();
}

void CADV::SetTitleState(int32_t state) {
  title.state = state;
}

// A story from a menu (the title's new story, a gallery's replay): an empty scene under an
// opaque cover, the script loaded. The first script's failure is also shown to the player; a
// replay that cannot be loaded runs empty, and its end leads back to its gallery.
void CADV::StartMenuScript(const std::string& path, bool first_script) {
  BeginStory();
  game_mode = MODE_ADV;
  fill_sprites[kFillBlack].SetAlpha(255);
  if (first_script)
    LoadStartupScript(path);
  else if (script.Load(path))
    WriteLog(1, "Load Script [" + path + "]", "CADV::StartMenuScript", __LINE__);
  else
    WriteLog(2, "ERROR: Load fail [" + path + "]", "CADV::StartMenuScript", __LINE__);

  text_box.Advance(-1);
  text_box.SetBoxAlpha(255);
  text_hidden_by_script = true;
  system_menu_open = false;
  system_menu.state = 0;

  scene::Scene& s = scene;
  for (int c = 0; c < 2; ++c) {
    scene::BgChannel& ch = s.bg.Channel(c);
    ch.blocks.Clear();
    ch.blocks.SetBlendMode(0);
    ch.cache_name.clear();
    ch.save_name.fill(0);
  }
  for (int slot = 0; slot < scene::kSlotCount; ++slot) {
    for (int b = 0; b < 2; ++b) {
      s.chr.Clear(slot, b);
      scene::ChrBuffer& buffer = s.chr.Slot(slot).buffers[b];
      buffer.blocks.SetBlendMode(0);
      for (CSprite& shadow : buffer.shadow) shadow.SetBlendMode(1);
    }
  }
  s.chr.Reset();  // invisible, standard places, every block opaque
  s.bg.Reset();  // opaque, no transition, channel 0 in front
  // An effect the last story left running (a fade to black before it ended) would cover the
  // new one until a script uncovered it.
  s.effects.Reset();
  s.effect_settled = false;
  script_state.screen_effect_running = false;
  script_state.layer_busy = false;
  choice.list = ChoiceList{};
  // Nothing of the last story's sound belongs to the new one's saves.
  bgm_name.clear();
  bgm_active = bgm_looping = false;
  se_channel_active.fill(0);
  se_channel_looping.fill(0);

  title.DrawCover(255);
}

// The title's answer: a screen over it, the story, or a gallery entered with the title as the
// place its replays end.
void CADV::Title_Flip() {
  ScreenInput in = InputForScreen();
  const TitleStep step = title.Flip(in);
  auto enter = [this](void (CADV::*init)(), GameMode room) {
    (this->*init)();
    game_mode = room;
    script_end_mode = MODE_TITLE;
  };
  switch (step) {
    case TitleStep::kLoadScreen: OpenSaveLoad(false); break;
    case TitleStep::kSettings: OpenConfig(MODE_TITLE); break;
    case TitleStep::kQuit: OpenQuitConfirmation(); break;
    case TitleStep::kNewStory: StartMenuScript(kStartupScript, true); break;
    case TitleStep::kPictureGallery: enter(&CADV::CGMODE_Init, MODE_CGMODE); break;
    case TitleStep::kMemoryReplay: enter(&CADV::OMOIDE_Init, MODE_OMOIDE); break;
    case TitleStep::kMovieRoom: enter(&CADV::MOVIE_Init, MODE_MOVIE); break;
    case TitleStep::kMusicRoom: enter(&CADV::MUSIC_Init, MODE_MUSIC); break;
    case TitleStep::kStory: game_mode = MODE_ADV; break;
    case TitleStep::kStay: break;
  }
}
