// Movie decoding: our decoder with the renderer's conversion (decode, 24-bit bottom-up RGB,
// then into the 32-bit texture) per picture, against bare avcodec decoding of the same file
// (demux and decode only), at 320 × 240 and 640 × 480. Goal: at most 1.3 times the peer.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "graphics/device.h"
#include "movie/movie_texture.h"
#include "platform/movie_decoder.h"
#include "platform/movie_encode.h"

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

}  // namespace

BENCHMARK(BM_DecodeAndConvert)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareAvcodec)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
