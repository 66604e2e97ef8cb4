// Movie decoding: our decoder with the renderer's conversion (decode, 24-bit bottom-up RGB,
// then into the 32-bit texture) per picture, against bare avcodec decoding of the same file
// (demux and decode only), at 320 × 240 and 640 × 480. Goal: at most 1.3 times the peer.
//
// The story's frame on the headless engine, with a 640 × 480 movie playing under a character
// and a text page, against the same frame over its background without the movie. Each frame is
// 16 ms of the game's time, and the frame with the movie includes the movie thread catching up
// with it (its share of the decoding and conversion).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "app/headless.h"
#include "graphics/device.h"
#include "movie/movie_texture.h"
#include "platform/movie_decoder.h"
#include "platform/movie_encode.h"
#include "resource/pack_writer.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

constexpr int kFrames = 50;

// A moving gradient, so the coder has real work, written once per size.
const std::string& Movie(int w, int h) {
  static std::string paths[2];
  std::string& path = paths[w > 320 ? 1 : 0];
  if (path.empty()) {
    path = "/tmp/lanthorn-bench-movie-" + std::to_string(w) + ".mpg";
    platform::MovieEncodeSpec s;
    s.width = w;
    s.height = h;
    s.frames = kFrames;
    s.audio = false;
    s.paint = [w, h](int i, uint8_t* rgb, int pitch) {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          uint8_t* p = rgb + y * pitch + 3 * x;
          p[0] = static_cast<uint8_t>(x + 4 * i);
          p[1] = static_cast<uint8_t>(y + 2 * i);
          p[2] = static_cast<uint8_t>((x ^ y) + i);
        }
    };
    if (!platform::EncodeMovie(path, s)) std::fprintf(stderr, "could not encode %s\n", path.c_str());
  }
  return path;
}

void BM_DecodeAndConvert(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const std::string& path = Movie(w, h);
  gfx::Device device(800, 600);
  // The textures are made once per movie, not per picture.
  CMovieTexture texture(device);
  movie::MediaType type;
  type.width = w;
  type.height = h;
  texture.SetMediaType(type);
  int64_t frames = 0;
  for (auto _ : state) {
    platform::MovieOpenResult r;
    auto d = platform::MovieDecoder::Open(path, false, {}, &r);
    if (!d) {
      state.SkipWithError("open failed");
      return;
    }
    while (d->Next() == platform::MovieDecoder::Output::Video) {
      const platform::MovieSample& s = d->Sample();
      movie::Sample sample{s.bits, s.size, s.pts};
      texture.DoRenderSample(&sample);
      ++frames;
    }
  }
  state.SetItemsProcessed(frames);  // pictures per second
}

struct FormatCloser {
  void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCloser {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};

// The peer: avformat and avcodec alone, pictures left in the decoder's own format.
void BM_BareAvcodec(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const std::string& path = Movie(w, h);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  int64_t frames = 0;
  for (auto _ : state) {
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
      state.SkipWithError("open failed");
      break;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> f(raw);
    avformat_find_stream_info(f.get(), nullptr);
    int vi = av_find_best_stream(f.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec = avcodec_find_decoder(f->streams[vi]->codecpar->codec_id);
    std::unique_ptr<AVCodecContext, CodecCloser> c(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(c.get(), f->streams[vi]->codecpar);
    c->thread_count = 1;
    avcodec_open2(c.get(), codec, nullptr);
    auto drain = [&] {
      while (avcodec_receive_frame(c.get(), frame) == 0) {
        ++frames;
        av_frame_unref(frame);
      }
    };
    while (av_read_frame(f.get(), packet) >= 0) {
      if (packet->stream_index == vi) {
        avcodec_send_packet(c.get(), packet);
        drain();
      }
      av_packet_unref(packet);
    }
    avcodec_send_packet(c.get(), nullptr);
    drain();
  }
  state.SetItemsProcessed(frames);
  av_frame_free(&frame);
  av_packet_free(&packet);
}

// A game folder with a background, a character and a five-second movie with sound in
// "MOVIE\HIGH\", booted and showing a complete text page; with `movie` the page's click starts
// the movie under it.
struct StoryGame {
  testing_support::GameFolder folder;
  HeadlessGame game;
  bool ok = false;

  explicit StoryGame(bool movie) {
    using testing_support::SolidPng;
    const std::string story = std::string(
                                  "@bg_load a.png\n@bg_change 1\n"
                                  "@chr_load A,c.png\n@chr_setpos A,2\n@chr_show A\n"
                                  "@textwindow show\n"
                                  "@text,0 {\n夕暮れの町に、ランタンの灯がともる。\n}\n") +
                              (movie ? "@movie_load 001.mpg\n@movie_play\n" : "") + "@keywait\n";
    folder.Write("system.pkd", *BuildPack({{"SCP\\m.scp", testing_support::ScriptFile(story)}}));
    folder.Write("grp.pkd", *BuildPack({{"BG\\a.png", SolidPng(800, 600, 0x304050)},
                                        {"CHR\\c.png", SolidPng(512, 600, 0xD09080, 220)}}));
    folder.WriteEmptyArchive("thumb.pkd");
    if (movie) {
      platform::MovieEncodeSpec s;
      s.width = 640;
      s.height = 480;
      s.frames = 125;
      s.video_bit_rate = 640 * 480 * 6;
      s.paint = [](int i, uint8_t* rgb, int pitch) {
        for (int y = 0; y < 480; ++y)
          for (int x = 0; x < 640; ++x) {
            uint8_t* p = rgb + y * pitch + 3 * x;
            p[0] = static_cast<uint8_t>(x + 4 * i);
            p[1] = static_cast<uint8_t>(y + 2 * i);
            p[2] = static_cast<uint8_t>((x ^ y) + i);
          }
      };
      s.sound = [](int64_t first, float* out, int n) {
        for (int i = 0; i < n; ++i)
          out[2 * i] = out[2 * i + 1] = 0.2f * std::sin(float(first + i) * 0.06f);
      };
      std::filesystem::create_directories(folder.path() + "/MOVIE/HIGH");
      if (!platform::EncodeMovie(folder.path() + "/MOVIE/HIGH/001.mpg", s)) return;
    }
    game.process.log.SetEcho(false);
    if (!game.Boot()) return;
    CADV& adv = game.process.adv;
    adv.game_mode = MODE_ADV;
    adv.script.Load("SCP\\m.scp");
    game.Frames(100, 50);  // the page complete
    game.Click(400, 300);
    game.Frames(3);
    ok = !movie || adv.movie_layer.Active();
  }
};

void BM_StoryFrame(benchmark::State& state, bool movie) {
  StoryGame g(movie);
  if (!g.ok) {
    state.SkipWithError("the story did not reach its page");
    return;
  }
  MovieLayer& layer = g.game.process.adv.movie_layer;
  for (auto _ : state) {
    g.game.Frame(16);
    if (movie && layer.Completed()) {
      state.PauseTiming();
      g.game.process.adv.MovieLoad("001.mpg");
      g.game.process.adv.MoviePlay();
      state.ResumeTiming();
    }
  }
}

}  // namespace

// CPU time of every thread: the movie thread's decoding counts with the frame.
BENCHMARK_CAPTURE(BM_StoryFrame, without_movie, false)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_StoryFrame, with_movie, true)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeAndConvert)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareAvcodec)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
