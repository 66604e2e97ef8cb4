// lanthorn-replay [--frame-times FILE] GAMEDIR SCRIPT OUTDIR: plays the game in GAMEDIR headless
// from a recorded input script, writing the screenshots the script asks for and the log (UTF-8)
// into OUTDIR, and on request every frame's CPU and wall time with a summary of the frame budget.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/headless.h"
#include "frame_times.h"
#include "replay_script.h"
#include "resource/png_decode.h"
#include "resource/png_encode.h"

namespace {

int Usage() {
  std::fprintf(stderr, "usage: lanthorn-replay [--frame-times FILE] GAMEDIR SCRIPT OUTDIR\n");
  return 2;
}

void WriteLogFile(const HeadlessGame& game, const std::filesystem::path& out) {
  std::ofstream f(out / "log.txt", std::ios::binary);
  f << game.process.log.Utf8Text();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<const char*> args;
  const char* times_arg = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--frame-times") == 0) {
      if (i + 1 >= argc) return Usage();
      times_arg = argv[++i];
    } else if (argv[i][0] == '-' && argv[i][1] == '-') {
      return Usage();
    } else {
      args.push_back(argv[i]);
    }
  }
  if (args.size() != 3) return Usage();
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::path game_dir = fs::absolute(args[0], ec);
  fs::path script_path = fs::absolute(args[1], ec);
  fs::path out_dir = fs::absolute(args[2], ec);
  fs::path times_path = times_arg ? fs::absolute(times_arg, ec) : fs::path();

  std::ifstream script_file(script_path, std::ios::binary);
  if (!script_file) {
    std::fprintf(stderr, "lanthorn-replay: cannot read %s\n", script_path.c_str());
    return 2;
  }
  std::stringstream text;
  text << script_file.rdbuf();
  std::vector<ReplayCommand> commands;
  std::string error;
  if (!ParseReplayScript(text.str(), commands, &error)) {
    std::fprintf(stderr, "%s:%s\n", script_path.c_str(), error.c_str());
    return 2;
  }
  fs::create_directories(out_dir, ec);
  if (!fs::is_directory(out_dir)) {
    std::fprintf(stderr, "lanthorn-replay: cannot create %s\n", out_dir.c_str());
    return 2;
  }
  fs::current_path(game_dir, ec);
  if (ec) {
    std::fprintf(stderr, "lanthorn-replay: no game folder %s\n", game_dir.c_str());
    return 2;
  }

  HeadlessGame game;
  if (!game.Boot()) {
    WriteLogFile(game, out_dir);
    for (const auto& box : game.boxes.shown)
      std::fprintf(stderr, "lanthorn-replay: %s\n", box.text.c_str());
    std::fprintf(stderr, "lanthorn-replay: the game did not start\n");
    return 1;
  }

  // Each frame's time and the pictures it decoded; reserved once so recording allocates nothing
  // inside the frames it times.
  std::vector<FrameTime> times;
  uint64_t decoded = PngDecodeCount();
  if (times_arg) {
    times.reserve(1 << 16);
    game.on_frame = [&](const HeadlessGame::FrameClock& t) {
      using std::chrono::duration_cast, std::chrono::microseconds;
      const uint64_t now = PngDecodeCount();
      times.push_back({duration_cast<microseconds>(t.cpu).count(),
                       duration_cast<microseconds>(t.wall).count(),
                       static_cast<int>(now - decoded)});
      decoded = now;
    };
  }

  for (const ReplayCommand& c : commands) {
    if (!game.Running()) break;
    switch (c.kind) {
      case ReplayCommand::Frames: game.Frames(c.a, static_cast<uint32_t>(c.b)); break;
      case ReplayCommand::Key: game.Key(static_cast<uint8_t>(c.a)); break;
      case ReplayCommand::KeyDown: game.KeyDown(static_cast<uint8_t>(c.a)); break;
      case ReplayCommand::KeyUp: game.KeyUp(static_cast<uint8_t>(c.a)); break;
      case ReplayCommand::Move: game.Move(c.a, c.b); break;
      case ReplayCommand::Click: game.Click(c.a, c.b, c.name == "right" ? 1 : 0); break;
      case ReplayCommand::ButtonDown: game.ButtonDown(c.a); break;
      case ReplayCommand::ButtonUp: game.ButtonUp(c.a); break;
      case ReplayCommand::Wheel: game.Wheel(c.a); break;
      case ReplayCommand::Shot: {
        std::string path = (out_dir / c.name).string();
        const auto* frame = reinterpret_cast<const uint8_t*>(game.process.graphics.Frame());
        if (!SavePNG(path, frame, CGraphics::kWidth, CGraphics::kHeight, CGraphics::kWidth * 4,
                     PngChannels::Rgb)) {
          std::fprintf(stderr, "lanthorn-replay: line %d: cannot write %s\n", c.line,
                       path.c_str());
          WriteLogFile(game, out_dir);
          return 1;
        }
        break;
      }
    }
  }
  WriteLogFile(game, out_dir);
  if (times_arg) {
    std::ofstream f(times_path, std::ios::binary);
    f << FrameTimesText(times);
    if (!f.flush()) {
      std::fprintf(stderr, "lanthorn-replay: cannot write %s\n", times_path.c_str());
      return 1;
    }
    std::fputs(SummaryText(Summarize(times)).c_str(), stdout);
  }
  return 0;
}
