// The layers' costs: loading a picture into a layer (PNG decode, block cut, texture uploads) for
// an 800 × 600 background and a 512 × 600 character, each against libpng's own simplified decode
// of the same file in the same run; and frames of a still scene (a background and three
// characters) and of the heaviest story scene, two backgrounds and three characters all
// cross-fading (1900 × 2 + 1216 × 6 blocks), each on the tile grid and shaken 3 pixels off it by
// a quake, the aligned frame the peer of the shaken one; and the still scene with a card turn.
#include <benchmark/benchmark.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "bench_pictures.h"
#include "graphics/device.h"
#include "resource/image.h"
#include "resource/png_encode.h"
#include "scene/layers.h"

namespace {


const std::vector<uint8_t>& BackgroundPng() {
  static const std::vector<uint8_t> png = PhotoPng(800, 600, false, 12345);
  return png;
}
const std::vector<uint8_t>& CharacterPng() {
  static const std::vector<uint8_t> png = PhotoPng(512, 600, true, 12345);
  return png;
}

// The peer: libpng's simplified API decoding the same bytes to BGRA.
void LibpngDecode(benchmark::State& state, const std::vector<uint8_t>& png) {
  std::vector<uint8_t> out;
  for (auto _ : state) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, png.data(), png.size());
    image.format = PNG_FORMAT_BGRA;
    out.resize(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(png.size()));
}

// Ours: decode into an image, cut into blocks, upload every texture.
void LayerLoad(benchmark::State& state, const std::vector<uint8_t>& png, int columns,
               int textures) {
  gfx::Device device(800, 600);
  scene::BlockLayer layer(columns, scene::kGridRows, textures);
  layer.Create(device);
  CImage32 image;
  for (auto _ : state) {
    image.LoadFromPNGMemory(png.data(), png.size());
    layer.Upload(image);
    benchmark::DoNotOptimize(layer.Texture(0).Interface());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(png.size()));
}

void BM_Background_Libpng(benchmark::State& s) { LibpngDecode(s, BackgroundPng()); }
void BM_Background_LayerLoad(benchmark::State& s) {
  LayerLoad(s, BackgroundPng(), scene::kGridColumns, scene::kBackgroundTextures);
}
void BM_Character_Libpng(benchmark::State& s) { LibpngDecode(s, CharacterPng()); }
void BM_Character_LayerLoad(benchmark::State& s) {
  LayerLoad(s, CharacterPng(), scene::kCharacterColumns, scene::kCharacterTextures);
}

// The cut and upload alone, the part the layers add to the decode.
void BM_Background_CutAndUpload(benchmark::State& state) {
  gfx::Device device(800, 600);
  scene::BlockLayer layer(scene::kGridColumns, scene::kGridRows, scene::kBackgroundTextures);
  layer.Create(device);
  CImage32 image;
  image.LoadFromPNGMemory(BackgroundPng().data(), BackgroundPng().size());
  for (auto _ : state) layer.Upload(image);
}

// still: a background and three characters; fading: all of them cross-fading; turning: the still
// scene with the middle character a third of the way through a card turn.
enum class Scene { kStill, kFading, kTurning };

void BM_SceneFrame(benchmark::State& state, Scene kind, scene::Offset quake) {
  const bool fading = kind == Scene::kFading;
  gfx::Device device(800, 600);
  device.SetAlphaBlendEnable(true);  // as the game's graphics set it up
  scene::Backgrounds bg;
  scene::Characters chr;
  bg.Create(device);
  chr.Create(device);
  CImage32 image;
  image.LoadFromPNGMemory(BackgroundPng().data(), BackgroundPng().size());
  for (int c = 0; c < 2; ++c) bg.Channel(c).blocks.Upload(image);
  image.LoadFromPNGMemory(CharacterPng().data(), CharacterPng().size());
  for (int s = 0; s < scene::kSlotCount; ++s) {
    for (int b = 0; b < 2; ++b) chr.Slot(s).buffers[b].blocks.Upload(image);
    chr.Slot(s).visible = true;
    chr.SetPosition(s, s * 2);
  }
  scene::BlockMask mask;
  if (kind == Scene::kTurning) {
    chr.StartTurn(1, 1000);
    chr.Step(300);
  }
  const int step = kind == Scene::kTurning ? 0 : 16;
  for (auto _ : state) {
    state.PauseTiming();
    // Restart the fades whenever they end, so every frame draws all six buffers half-blended.
    if (fading && !bg.Busy()) bg.StartChange(1000000);
    for (int s = 0; s < scene::kSlotCount; ++s)
      if (fading && !chr.Slot(s).Busy()) chr.StartChange(s, 1000000);
    state.ResumeTiming();
    device.Clear(0xFF000000, 1.0f);
    bg.Step(step, step, mask);
    bg.Draw(device, quake, nullptr, mask);
    chr.Step(step);
    chr.Draw(device, quake, nullptr);
    benchmark::DoNotOptimize(device.Frame());
  }
}

BENCHMARK(BM_Background_Libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Background_LayerLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Background_CutAndUpload)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Character_Libpng)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Character_LayerLoad)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SceneFrame, still, Scene::kStill, scene::Offset{})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SceneFrame, still_quake, Scene::kStill, scene::Offset{0, 3})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SceneFrame, heaviest, Scene::kFading, scene::Offset{})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SceneFrame, heaviest_quake, Scene::kFading, scene::Offset{0, 3})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SceneFrame, card_turn, Scene::kTurning, scene::Offset{})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
