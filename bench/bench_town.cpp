// The town map's frame against the story's heaviest frame, both drawn by the headless engine in
// the same run with the same frame loop:
//   TownMapFrame  the map's 1,900 tiles, the day's icons (the park holding three), the ten lit,
//                 depth-tested cubes and the popup with its outline, caption picture and text
//   StoryFrame    two backgrounds cross-fading block by block under three characters and a full
//                 three-line text page with its name plate
// The goal for the map is at most 2 ms a frame on one core.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "app/headless.h"
#include "resource/pack_writer.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

using testing_support::SolidPng;

const char* const kPlaceKeys[9] = {"convini", "hamabe",  "ekimae", "gamecenter", "yotsuya",
                                   "myhome",  "carshop", "park",   "shopingmoal"};

struct Game {
  testing_support::GameFolder folder;
  HeadlessGame game;

  explicit Game(const std::string& story) {
    std::vector<PackSource> system = {
        {"SCP\\day.scp", testing_support::ScriptFile(story)},
        {"SYSTEM\\townmap.png", SolidPng(800, 600, 0x80A060)},
        {"SYSTEM\\dialog_base1.png", SolidPng(256, 256, 0xC0C0C0)},
    };
    for (int c = 1; c <= 5; ++c)
      for (const char* f : {"a", "b"})
        system.push_back({"SYSTEM\\TOWN\\SD" + std::to_string(c) + f + ".png",
                          SolidPng(96, 96, 0x2040F0u * c, 200)});
    for (const char* key : kPlaceKeys)
      system.push_back({std::string("SYSTEM\\TOWN\\") + key + ".png", SolidPng(320, 96, 0xF0A020)});
    const std::vector<PackSource> grp = {
        {"BG\\a.png", SolidPng(800, 600, 0x304050)},
        {"BG\\b.png", SolidPng(800, 600, 0x506070)},
        {"CHR\\c.png", SolidPng(512, 600, 0xD09080, 220)},
    };
    folder.Write("system.pkd", *BuildPack(system));
    folder.Write("grp.pkd", *BuildPack(grp));
    folder.WriteEmptyArchive("thumb.pkd");
    game.process.log.SetEcho(false);
    if (!game.Boot()) return;
    game.process.adv.game_mode = MODE_ADV;
    game.process.adv.script.Load("SCP\\day.scp");
  }
  CADV& adv() { return game.process.adv; }
};

void BM_TownMapFrame(benchmark::State& state) {
  Game g("@SET_EPISODENO 8\n@CALL_TOWNMAP\n");
  for (int i = 0; i < 10 && g.adv().game_mode != MODE_TOWN; ++i) g.game.Frame();
  // Day index 7's second choice: three at the park, one on the pass, the guide on the beach.
  SaveRecord& r = g.adv().save_record;
  r.TownChoicesToday = 1;
  const int visits[4] = {25, 5, 3, 7};
  for (int c = 0; c < 4; ++c) r.FavourVariables[c] = visits[c];
  g.adv().Town_SetPlace();
  g.game.Move(560, 180);
  g.game.Frames(5, 100);
  if (g.adv().game_mode != MODE_TOWN || !g.adv().town.HoverState().hovered) {
    state.SkipWithError("the map did not open with its popup");
    return;
  }
  for (auto _ : state) g.game.Frame(1);
}

void BM_StoryFrame(benchmark::State& state) {
  Game g("@bg_load a.png\n@bg_change 1\n"
         "@chr_load A,c.png\n@chr_setpos A,1\n@chr_show A\n"
         "@chr_load B,c.png\n@chr_setpos B,2\n@chr_show B\n"
         "@chr_load C,c.png\n@chr_setpos C,3\n@chr_show C\n"
         "@textwindow show\n"
         "@text,0 {\n夕暮れの町に、ランタンの灯がともる。\n川沿いの道を、"
         "ゆっくりと歩いていく。\n遠くで、祭りの太鼓が鳴っている。\n}\n"
         "@bg_load b.png\n@bg_change 3600000\n@keywait\n");
  // The page complete, then a click: the long cross-fade starts under it.
  g.game.Frames(200, 50);
  g.game.Click(400, 300);
  g.game.Frames(5);
  if (!g.adv().SceneWaiting()) {
    state.SkipWithError("the cross-fade did not start");
    return;
  }
  for (auto _ : state) g.game.Frame(1);
}

}  // namespace

BENCHMARK(BM_TownMapFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StoryFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
