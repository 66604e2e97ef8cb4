// Start-up of the demo game on the headless engine, to its first title frame (the archives
// opened, the settings read, the sound devices, the graphics device, CADV::Init with its textures,
// fonts, screen pictures and sounds, then one frame), against the bare decodes of the same 40
// pictures that start-up decodes, from the same archive, in the same run. Wall time (real_time)
// is what the player waits; CPU time is the main thread's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/headless.h"
#include "resource/image.h"
#include "resource/pack_file.h"

namespace {

namespace fs = std::filesystem;

// A copy of the demo game as the current folder, so its player files stay out of the build.
class DemoCopy {
 public:
  DemoCopy() {
    folder_ = fs::temp_directory_path() /
              ("lanthorn-bench-startup-" + std::to_string(std::random_device{}()));
    fs::copy(LANTHORN_DEMO_DIR, folder_, fs::copy_options::recursive);
    previous_ = fs::current_path();
    fs::current_path(folder_);
  }
  ~DemoCopy() {
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(folder_, ec);
  }

 private:
  fs::path folder_, previous_;
};

// The pictures start-up decodes from system.pkd, in its order.
std::vector<std::string> StartUpPictures() {
  std::vector<std::string> names = {
      "textbox\\textbox_bg1.png", "textbox\\textbox_bg2.png", "SYSTEM\\systex1.png",
      "SYSTEM\\systex2.png",      "SYSTEM\\systex3.png",      "SYSTEM\\dialog_base1.png",
      "SYSTEM\\battle_select.png"};
  for (int i = 0; i < 9; ++i) names.push_back("SYSTEM\\TITLE\\" + std::to_string(i) + ".png");
  for (const char* n : {"SYSTEM\\blank.png", "SYSTEM\\TITLE\\title.png", "SYSTEM\\option_flag.png",
                        "SYSTEM\\townmap.png"})
    names.push_back(n);
  for (const char* half : {"a", "b"})
    for (int i = 1; i <= 5; ++i)
      names.push_back("SYSTEM\\TOWN\\SD" + std::to_string(i) + half + ".png");
  for (const char* n : {"convini", "hamabe", "ekimae", "gamecenter", "yotsuya", "myhome",
                        "carshop", "park", "shopingmoal"})
    names.push_back(std::string("SYSTEM\\TOWN\\") + n + ".png");
  return names;  // and the 16-bit text_table1.png, decoded apart
}

void BM_StartUpToFirstTitleFrame(benchmark::State& state) {
  DemoCopy demo;
  for (auto _ : state) {
    HeadlessGame game;
    game.process.log.SetEcho(false);
    if (!game.Boot() || !game.Frame()) {
      state.SkipWithError("the demo did not start");
      return;
    }
    benchmark::DoNotOptimize(game.process.graphics.Frame());
  }
}
BENCHMARK(BM_StartUpToFirstTitleFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BareDecodesOfTheStartUpPictures(benchmark::State& state) {
  DemoCopy demo;
  CPackFile system;
  if (!system.Open("system.pkd")) {
    state.SkipWithError("no system.pkd");
    return;
  }
  const std::vector<std::string> names = StartUpPictures();
  for (auto _ : state) {
    for (const std::string& name : names) {
      CImage32 image;
      if (image.LoadFromPNG(name, system) != 0) {
        state.SkipWithError(("cannot decode " + name).c_str());
        return;
      }
      benchmark::DoNotOptimize(image.Pixels());
    }
    CImage16 table;
    benchmark::DoNotOptimize(table.LoadFromPNG16("textbox\\text_table1.png", system));
  }
}
BENCHMARK(BM_BareDecodesOfTheStartUpPictures)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
