// The save slots' costs on the headless engine. Loading a slot whose record rebuilds two
// backgrounds and six character buffers, against the same eight PNG decodes done bare (into a
// memory image, nothing else) in the same run: the difference is what the rebuild adds (block
// cuts, texture uploads, the script load, the sound and history resets). And one save: capture
// of the frame, the 160 × 120 thumbnail file and the record file.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_pictures.h"
#include "app/headless.h"
#include "resource/image.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"

namespace {


struct Pictures {
  std::vector<std::vector<uint8_t>> backgrounds, characters;
};
const Pictures& ThePictures() {
  static const Pictures pictures = [] {
    Pictures p;
    for (uint32_t i = 0; i < 2; ++i) p.backgrounds.push_back(PhotoPng(800, 600, false, 100 + i));
    for (uint32_t i = 0; i < 6; ++i) p.characters.push_back(PhotoPng(512, 600, true, 200 + i));
    return p;
  }();
  return pictures;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A booted engine in a temporary game folder holding the pictures and a one-page script, with a
// record in slot 0 that names all eight pictures.
class Game {
 public:
  Game() {
    folder_ = std::filesystem::temp_directory_path() /
              ("lanthorn-bench-save-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder_);
    std::filesystem::current_path(folder_);
    const Pictures& pictures = ThePictures();
    std::vector<PackSource> grp;
    for (int i = 0; i < 2; ++i)
      grp.push_back({"BG\\bg" + std::to_string(i) + ".png", pictures.backgrounds[i]});
    for (int i = 0; i < 6; ++i)
      grp.push_back({"CHR\\chr" + std::to_string(i) + ".png", pictures.characters[i]});
    WriteFile("grp.pkd", *BuildPack(grp));
    const std::string script = "@text,0{\r\npage\r\n}\r\n";
    WriteFile("system.pkd",
              *BuildPack({{"SCP\\t.scp", std::vector<uint8_t>(script.begin(), script.end())}}));
    WriteFile("thumb.pkd", *BuildPack({}));
    game_.process.log.SetEcho(false);
    if (!game_.Boot()) std::abort();
    CADV& adv = game_.process.adv;
    adv.game_mode = MODE_ADV;
    SaveRecord& r = adv.save_record;
    std::strcpy(r.ScriptName, "SCP\\t.scp");
    r.ScriptPosition = 0;
    for (int i = 0; i < 2; ++i) std::snprintf(r.BackgroundPictures[i], 64, "bg%d.png", i);
    for (int i = 0; i < 6; ++i) std::snprintf(r.CharacterPictures[i], 64, "chr%d.png", i);
    for (int c = 0; c < 3; ++c) r.CharacterBytes[c] = 1;
    if (!adv.SaveSlot(0)) std::abort();
  }
  ~Game() {
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder_);
  }
  CADV& adv() { return game_.process.adv; }
  Process& process() { return game_.process; }

 private:
  std::filesystem::path folder_;
  HeadlessGame game_;
};

void BM_LoadSlot_TwoBackgroundsSixCharacters(benchmark::State& state) {
  auto game = std::make_unique<Game>();
  for (auto _ : state)
    if (!game->adv().LoadSlot(0)) state.SkipWithError("LoadSlot failed");
}

void BM_LoadSlot_PeerBarePngDecodes(benchmark::State& state) {
  const Pictures& pictures = ThePictures();
  CImage32 image;
  for (auto _ : state) {
    for (const auto& png : pictures.backgrounds) image.LoadFromPNGMemory(png.data(), png.size());
    for (const auto& png : pictures.characters) image.LoadFromPNGMemory(png.data(), png.size());
    benchmark::DoNotOptimize(image.Pixels());
  }
}

void BM_SaveSlot_CaptureThumbnailRecord(benchmark::State& state) {
  auto game = std::make_unique<Game>();
  game->adv().LoadSlot(0);
  for (auto _ : state) {
    game->process().graphics.CaptureFrame();
    game->adv().WriteThumbnail("SAVE\\1.bmp");
    if (!game->adv().SaveSlot(1)) state.SkipWithError("SaveSlot failed");
  }
}

BENCHMARK(BM_LoadSlot_TwoBackgroundsSixCharacters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSlot_PeerBarePngDecodes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSlot_CaptureThumbnailRecord)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
