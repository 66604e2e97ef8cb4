// The picture gallery's page load on the headless engine: the locked picture and six thumbnails
// (208 × 156) read from thumb.pkd, decoded, cut into 16 × 16 tiles and uploaded into the six
// atlas textures, against the same seven decodes done with libpng's simplified API from memory
// in the same run (and the engine's own decoder from memory, for the share of the archive reads
// and the cut). The goal is a page load within 1.2 × the bare decodes.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
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


// [0] the locked picture, [1 + i] thumbnail i + 1 of the first group.
const std::vector<std::vector<uint8_t>>& Pictures() {
  static const std::vector<std::vector<uint8_t>> pictures = [] {
    std::vector<std::vector<uint8_t>> p;
    for (uint32_t i = 0; i < 7; ++i)
      p.push_back(PhotoPng(208, 156, false, 300 + i, PngChannels::Rgb));
    return p;
  }();
  return pictures;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// A booted engine in a temporary game folder whose thumb.pkd holds the seven pictures.
class Game {
 public:
  Game() {
    folder_ = std::filesystem::temp_directory_path() /
              ("lanthorn-bench-gallery-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder_);
    std::filesystem::current_path(folder_);
    std::vector<PackSource> thumbs = {{"CGMODE\\no_release.png", Pictures()[0]}};
    for (int i = 1; i <= 6; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "CGMODE\\thumb1-%02d.png", i);
      thumbs.push_back({name, Pictures()[static_cast<size_t>(i)]});
    }
    WriteFile("thumb.pkd", *BuildPack(thumbs));
    WriteFile("system.pkd", *BuildPack({}));
    WriteFile("grp.pkd", *BuildPack({}));
    game_.process.log.SetEcho(false);
    if (!game_.Boot()) std::abort();
    // Every picture unlocked, so each is loaded as a shown one.
    game_.process.adv.progress.UnlockPicture(105);
    game_.process.adv.CGMODE_Init();
  }
  ~Game() {
    std::filesystem::current_path("/");
    std::filesystem::remove_all(folder_);
  }
  PictureGallery& gallery() { return *game_.process.adv.picture_gallery; }

 private:
  std::filesystem::path folder_;
  HeadlessGame game_;
};

void BM_GalleryPageLoad(benchmark::State& state) {
  auto game = std::make_unique<Game>();
  for (auto _ : state) game->gallery().LoadPage(0, 0);
}

void BM_GalleryPage_PeerLibpngDecodes(benchmark::State& state) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    for (const auto& png : Pictures()) {
      png_image image{};
      image.version = PNG_IMAGE_VERSION;
      png_image_begin_read_from_memory(&image, png.data(), png.size());
      image.format = PNG_FORMAT_BGRA;
      out.resize(PNG_IMAGE_SIZE(image));
      png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
      benchmark::DoNotOptimize(out.data());
    }
  }
}

void BM_GalleryPage_EngineDecodesFromMemory(benchmark::State& state) {
  CImage32 image;
  for (auto _ : state) {
    for (const auto& png : Pictures()) image.LoadFromPNGMemory(png.data(), png.size());
    benchmark::DoNotOptimize(image.Pixels());
  }
}

BENCHMARK(BM_GalleryPageLoad)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GalleryPage_PeerLibpngDecodes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GalleryPage_EngineDecodesFromMemory)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
