// Each movie is a road seen from behind a car, drawn per frame: the road's edge stripes rush
// toward the viewer, the road bends as the movie goes on, and the car (a different colour in each
// movie) sways across its lane. The sound is an engine: a low hum whose pitch rises and falls
// with the car's speed, with a little of its octave.
#include "movies.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <system_error>

#include "platform/movie_encode.h"

namespace {

namespace stdfs = std::filesystem;

constexpr int kFps = 25;
constexpr int kSeconds = 3;
constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

struct Look {
  uint8_t car[3];  // red, green, blue
  double bend;  // how far the road swings
  double sky;  // the sky's warmth, 0 … 1
};
constexpr Look kLooks[kDemoMovieCount] = {
    {{220, 40, 40}, 0.25, 0.2},
    {{240, 240, 250}, -0.35, 0.6},
    {{250, 200, 30}, 0.45, 0.9},
};

void Put(uint8_t* p, int r, int g, int b) {
  p[0] = static_cast<uint8_t>(std::clamp(r, 0, 255));
  p[1] = static_cast<uint8_t>(std::clamp(g, 0, 255));
  p[2] = static_cast<uint8_t>(std::clamp(b, 0, 255));
}

void Paint(const Look& look, int w, int h, int frame, uint8_t* rgb, int pitch) {
  const double t = double(frame) / kFps;
  const int horizon = h * 2 / 5;
  for (int y = 0; y < h; ++y) {
    uint8_t* row = rgb + static_cast<size_t>(y) * pitch;
    if (y < horizon) {  // sky, lighter toward the horizon
      const double k = double(y) / horizon;
      for (int x = 0; x < w; ++x)
        Put(row + 3 * x, int(40 + 150 * look.sky + 60 * k), int(60 + 60 * k + 40 * look.sky),
            int(140 + 80 * k - 60 * look.sky));
      continue;
    }
    // Depth 0 at the horizon, 1 at the bottom; the road widens and bends with it.
    const double z = double(y - horizon) / (h - horizon);
    const double centre = w * (0.5 + look.bend * std::sin(t * 0.8) * (1 - z) * (1 - z));
    const double half = w * (0.04 + 0.5 * z);
    const bool stripe = std::fmod(1.0 / (z + 0.05) + t * 12.0, 2.0) < 1.0;
    for (int x = 0; x < w; ++x) {
      const double d = std::abs(x - centre) / half;
      uint8_t* p = row + 3 * x;
      if (d > 1.08) Put(p, int(30 + 40 * z), int(90 + 60 * z), 30);  // grass
      else if (d > 1.0) stripe ? Put(p, 230, 230, 230) : Put(p, 200, 40, 40);  // kerb
      else if (d < 0.03 && stripe) Put(p, 240, 240, 200);  // centre line
      else Put(p, int(70 + 30 * z), int(70 + 30 * z), int(75 + 30 * z));  // asphalt
    }
  }
  // The car: a box with a darker roof and two rear lights, swaying across the lane.
  const int cw = w / 5, ch = h / 8;
  const int cx = int(w / 2 + w * 0.08 * std::sin(t * 2.1)) - cw / 2;
  const int cy = h - ch - h / 12;
  for (int y = cy; y < cy + ch; ++y)
    for (int x = cx; x < cx + cw; ++x) {
      uint8_t* p = rgb + static_cast<size_t>(y) * pitch + 3 * x;
      const bool roof = y < cy + ch / 3 && x > cx + cw / 6 && x < cx + cw * 5 / 6;
      const bool light = y > cy + ch / 2 && y < cy + ch * 3 / 4 &&
                         (x < cx + cw / 6 || x > cx + cw * 5 / 6);
      if (light) Put(p, 255, 60, 40);
      else if (roof) Put(p, look.car[0] / 2, look.car[1] / 2, look.car[2] / 2);
      else if (y >= cy + ch / 3) Put(p, look.car[0], look.car[1], look.car[2]);
    }
}

// The engine: phase accumulated so the pitch glides without clicks.
struct Engine {
  double phase = 0;
  void Fill(int index, int64_t first, float* out, int frames) {
    for (int i = 0; i < frames; ++i) {
      const double t = double(first + i) / kRate;
      const double hz = 70 + 25 * index + 30 * std::sin(t * 1.3 + index);
      phase += 2 * kPi * hz / kRate;
      const double v = 0.22 * std::sin(phase) + 0.08 * std::sin(2 * phase) +
                       0.04 * std::sin(3.01 * phase);
      const double fade = std::min({1.0, t * 4, (kSeconds - t) * 4});
      out[2 * i] = out[2 * i + 1] = static_cast<float>(v * std::max(fade, 0.0));
    }
  }
};

}  // namespace

int MakeMovies(const stdfs::path& files_dir) {
  int failed = 0;
  const struct {
    const char* folder;
    int w, h;
  } sizes[] = {{"HIGH", 640, 480}, {"LOW", 320, 240}};
  for (const auto& size : sizes) {
    const stdfs::path dir = files_dir / "MOVIE" / size.folder;
    std::error_code error;
    stdfs::create_directories(dir, error);
    for (int m = 0; m < kDemoMovieCount; ++m) {
      char name[16];
      std::snprintf(name, sizeof name, "%03d.mpg", m + 1);
      platform::MovieEncodeSpec s;
      s.width = size.w;
      s.height = size.h;
      s.fps = kFps;
      s.frames = kFps * kSeconds;
      s.video_bit_rate = size.w * size.h * 6;
      s.audio_rate = kRate;
      const Look& look = kLooks[m];
      const int w = size.w, h = size.h;
      s.paint = [&look, w, h](int frame, uint8_t* rgb, int pitch) {
        Paint(look, w, h, frame, rgb, pitch);
      };
      Engine engine;
      s.sound = [&engine, m](int64_t first, float* out, int frames) {
        engine.Fill(m, first, out, frames);
      };
      if (error || !platform::EncodeMovie((dir / name).string(), s)) {
        std::fprintf(stderr, "democontent: cannot write %s\n", (dir / name).c_str());
        ++failed;
      }
    }
  }
  return failed;
}
