// The text box's two costs, against a floor measured in the same run:
//   first_frame   a full page of 90 glyphs revealed at once: each rasterised from the face and
//                 uploaded into its sheet (what the first frame of a page pays)
//   draw_outline  one frame of a complete page in the outline style: 100 band tiles, 90 glyphs
//                 drawn five times each, the name plate with its name, the wait cursor
//   floor         the same number of 32 × 32 cell copies into the frame as draw_outline makes
//                 sprite draws: plain row copies, no blending, no sampling
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/device.h"
#include "graphics/text_box.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/image.h"
#include "resource/pack_file.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"

namespace {

// Three lines of 30 different characters.
const char* const kPage[3] = {
    "吾輩は猫である名前はまだ無いどこで生れたかとんと見当がつかぬ",
    "何でも薄暗いじめじめした所でニャーニャー泣いていた事だけは記",
    "憶している吾輩はここで始めて人間というものを見たしかもあとで",
};

std::vector<uint8_t> Band() {
  CImage32 image;
  image.Create(256, 256);
  image.Fill(0xE0204060);
  return *EncodePNG(image, PngChannels::Rgba);
}

std::vector<uint8_t> Table() {
  CImage16 image;
  image.Create(256, 256);
  image.Fill(0xF888);
  return *EncodePNG16(image);
}

// A system archive with the band pictures and the second glyph sheet, in a temporary file.
struct Rig {
  platform::Log log;
  gfx::Device dev{800, 600};
  std::string path;
  CPackFile pack;
  CTEXTBOX box;
  std::vector<std::string> lines;

  Rig() {
    log.SetEcho(false);
    path = (std::filesystem::temp_directory_path() / "bench_textbox.pkd").string();
    auto bytes = BuildPack({{"textbox\\textbox_bg1.png", Band()},
                            {"textbox\\textbox_bg2.png", Band()},
                            {"textbox\\text_table1.png", Table()}});
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes->data(), 1, bytes->size(), f);
    std::fclose(f);
    pack.OpenHostFile(path);
    dev.SetAlphaBlendEnable(true);
    box.Create(dev, pack);
    for (const char* l : kPage) lines.push_back(SJ(l));
    box.SetName(SJ("語り手"));
    box.SetNamePlate(true);
  }
  ~Rig() { std::filesystem::remove(path); }

  void RevealPage() {
    box.Advance(-1);
    for (int l = 0; l < 3; ++l) box.SetLine(l, lines[l]);
    box.Advance(1);
  }
};

int Draws(const gfx::Device& dev) {
  return dev.FastQuads() + dev.GeneralTriangles() / 2;
}

void BM_FirstFrame(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) {
    rig.RevealPage();
    benchmark::DoNotOptimize(rig.box.GlyphCount());
  }
  state.counters["glyphs"] = rig.box.GlyphCount();
  state.SetItemsProcessed(state.iterations() * rig.box.GlyphCount());
}

// Sprite draws of one outline frame of the full page.
int OutlineDraws() {
  Rig rig;
  rig.RevealPage();
  rig.box.SetTextStyle(2);
  rig.box.SetCursorVisible(true);
  int before = Draws(rig.dev);
  rig.box.Draw(16);
  return Draws(rig.dev) - before;
}

void BM_DrawOutline(benchmark::State& state) {
  Rig rig;
  rig.RevealPage();
  rig.box.SetTextStyle(2);
  rig.box.SetCursorVisible(true);
  int draws = 0;
  for (auto _ : state) {
    int before = Draws(rig.dev);
    rig.box.Draw(16);
    draws = Draws(rig.dev) - before;
    benchmark::ClobberMemory();
  }
  state.counters["sprites"] = draws;
  state.counters["fast_quads"] = static_cast<double>(rig.dev.FastQuads()) / state.iterations();
}

void BM_Floor(benchmark::State& state) {
  const int cells = OutlineDraws();
  std::vector<uint32_t> frame(800 * 600);
  std::vector<uint32_t> cell(32 * 32, 0xFF808080u);
  for (auto _ : state) {
    for (int i = 0; i < cells; ++i) {
      // Spread over the band the way the box's draws are.
      int x = (i * 24) % (800 - 32), y = 444 + (i / 32 % 4) * 24;
      for (int row = 0; row < 32; ++row)
        std::memcpy(&frame[(y + row) * 800 + x], &cell[row * 32], 32 * 4);
    }
    benchmark::DoNotOptimize(frame.data());
    benchmark::ClobberMemory();
  }
  state.counters["cells"] = cells;
}

}  // namespace

BENCHMARK(BM_FirstFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawOutline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
