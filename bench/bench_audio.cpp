// Audio: the mixer's cost for a full house (the 18 streams and 16 effects the game can have
// playing) as a fraction of real time, with sources at 44.1 kHz that are resampled to the 48 kHz
// device next to its peer, the same sources at 48 kHz that are only converted. And decoding an
// Ogg Vorbis file through the stream's feeder (open, play, the two-second buffer refilled on
// notifications, rendered by the null device) next to plain ov_read of the same file. And what
// starting and stopping a stream or an effect costs the caller (the frame), next to one bare
// condition-variable hand-off to another thread and back.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "audio/ogg_encode.h"
#include "audio/sound.h"
#include "audio/stream_sound.h"
#include "platform/sound_device.h"

namespace {

constexpr int kDeviceRate = 48000;
constexpr double kOggSeconds = 20.0;

// Music-like material: a few tones and some noise, so the encoder spends realistic bits.
std::vector<uint8_t> EncodeOgg(double seconds, int rate) {
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
  const long total = std::lround(seconds * rate);
  std::vector<float> samples(static_cast<size_t>(total) * 2);
  for (long i = 0; i < total; ++i) {
    const double t = static_cast<double>(i) / rate;
    const float s =
        static_cast<float>(0.2 * std::sin(2 * M_PI * 220 * t) +
                           0.1 * std::sin(2 * M_PI * 660 * t) * std::sin(2 * M_PI * 0.5 * t));
    samples[static_cast<size_t>(2 * i)] = s + noise(rng);
    samples[static_cast<size_t>(2 * i + 1)] = s + noise(rng);
  }
  OggVorbisFile ogg;
  EncodeOggVorbis(samples, 2, rate, 0.4f, 1, ogg);
  return ogg.bytes;
}

// A folder made current for the run, holding the Ogg file.
struct Fixture {
  std::filesystem::path dir;
  Fixture() {
    std::string t = (std::filesystem::temp_directory_path() / "lanthorn-bench-XXXXXX").string();
    dir = ::mkdtemp(t.data());
    std::filesystem::current_path(dir);
    std::vector<uint8_t> ogg = EncodeOgg(kOggSeconds, 44100);
    std::ofstream("music.ogg", std::ios::binary)
        .write(reinterpret_cast<const char*>(ogg.data()), static_cast<std::streamsize>(ogg.size()));
    std::vector<uint8_t> wav = EffectWav();
    std::ofstream("effect.wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(wav.data()), static_cast<std::streamsize>(wav.size()));
  }
  // One second of a quiet 48 kHz mono tone.
  static std::vector<uint8_t> EffectWav() {
    std::vector<uint8_t> b;
    auto put = [&b](uint32_t v, int bytes) {
      for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const uint32_t frames = 48000;
    b.insert(b.end(), {'R', 'I', 'F', 'F'});
    put(36 + frames * 2, 4);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(1, 2), put(48000, 4), put(96000, 4), put(2, 2), put(16, 2);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    put(frames * 2, 4);
    for (uint32_t i = 0; i < frames; ++i)
      put(static_cast<uint16_t>(static_cast<int16_t>(4000 * std::sin(i * 0.05))), 2);
    return b;
  }
  ~Fixture() {
    std::error_code ec;
    std::filesystem::current_path("/", ec);
    std::filesystem::remove_all(dir, ec);
  }
};
Fixture& TheFixture() {
  static Fixture f;
  return f;
}

std::unique_ptr<platform::SoundBuffer> NoiseBuffer(platform::SoundDevice& dev,
                                                   platform::PcmFormat f, double seconds) {
  uint32_t bytes = static_cast<uint32_t>(std::lround(seconds * f.samples_per_sec)) *
                   static_cast<uint32_t>(f.BlockAlign());
  auto b = dev.CreateBuffer(f, bytes);
  platform::SoundBuffer::Region r1, r2;
  b->Lock(0, bytes, r1, r2);
  std::mt19937 rng(7);
  for (uint32_t i = 0; i < r1.bytes; ++i) r1.data[i] = static_cast<uint8_t>(rng() >> 28);
  b->Unlock();
  b->SetVolume(-1000);
  b->Play(true);
  return b;
}

// 18 two-second stream buffers (stereo) and 16 effects (mono and stereo), all looping. One
// iteration mixes one second of output; the counter is the share of real time the mix takes.
void Mix(benchmark::State& state, int stream_rate, int effect_rate) {
  platform::NullSoundDevice dev(kDeviceRate);
  std::vector<std::unique_ptr<platform::SoundBuffer>> buffers;
  for (int i = 0; i < 18; ++i) buffers.push_back(NoiseBuffer(dev, {2, stream_rate, 16}, 2.0));
  for (int i = 0; i < 16; ++i)
    buffers.push_back(NoiseBuffer(dev, {1 + i % 2, effect_rate, 16}, 0.7));
  std::vector<float> out(2 * kDeviceRate);
  for (auto _ : state) {
    dev.Render(out.data(), kDeviceRate);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["realtime_fraction"] =
      benchmark::Counter(static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Mix34_Resampled(benchmark::State& state) {
  Mix(state, 44100, 22050);
}
void BM_Mix34_DeviceRate(benchmark::State& state) {
  Mix(state, kDeviceRate, kDeviceRate);
}

// The whole file through the stream: Open, Play, render until the feeder has played it out.
// Wall time, as the feeder is another thread; includes its polling sleeps.
void BM_OggFeederPath(benchmark::State& state) {
  TheFixture();
  for (auto _ : state) {
    platform::NullSoundDevice dev(kDeviceRate);
    CStreamSound stream;
    stream.SetDevice(&dev);
    stream.SetVolume(99);
    if (stream.Open("music.ogg") != 0 || !stream.Play(false)) {
      state.SkipWithError("cannot play");
      return;
    }
    std::vector<float> out(2 * 4800);
    while (dev.PlayingBuffers() == 0) std::this_thread::sleep_for(std::chrono::microseconds(100));
    while (dev.PlayingBuffers() > 0) dev.Render(out.data(), 4800);
    while (stream.IsPlaying()) std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  state.counters["x_realtime"] =
      benchmark::Counter(state.iterations() * kOggSeconds, benchmark::Counter::kIsRate);
}

// The peer: ov_read of the same file into memory, 4096 bytes a call, as the feeder reads.
void BM_OggPlainOvRead(benchmark::State& state) {
  TheFixture();
  std::vector<char> pcm(4096);
  for (auto _ : state) {
    std::FILE* f = std::fopen("music.ogg", "rb");
    OggVorbis_File vf;
    if (ov_open(f, &vf, nullptr, 0) != 0) {
      state.SkipWithError("cannot open");
      return;
    }
    int link = 0;
    long total = 0;
    for (long got; (got = ov_read(&vf, pcm.data(), 4096, 0, 2, 1, &link)) != 0;)
      if (got > 0) total += got;
    benchmark::DoNotOptimize(total);
    ov_clear(&vf);  // closes the file
  }
  state.counters["x_realtime"] =
      benchmark::Counter(state.iterations() * kOggSeconds, benchmark::Counter::kIsRate);
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Latencies of one call, reported as median, 90th percentile and maximum in microseconds: on a
// loaded machine a mean is mostly the other processes' time slices.
struct Latencies {
  std::vector<double> seconds;
  void Add(Clock::duration d) { seconds.push_back(Seconds(d)); }
  void Report(benchmark::State& state, const std::string& name) {
    if (seconds.empty()) return;
    std::sort(seconds.begin(), seconds.end());
    auto at = [&](double q) {
      return seconds[static_cast<size_t>(q * static_cast<double>(seconds.size() - 1))] * 1e6;
    };
    state.counters[name + "_med_us"] = at(0.5);
    state.counters[name + "_p90_us"] = at(0.9);
    state.counters[name + "_max_us"] = at(1.0);
  }
};

// The caller's side of Play and Stop on a looping stream, as the story's frame pays it: Open (it
// reads the file's headers and makes the buffer) is reported beside, the first fill is waited for
// untimed, and a little is rendered so the feeder has refilled once. Arg 1: Stop comes during a
// slow fade.
void BM_StreamPlayStopOnCaller(benchmark::State& state) {
  TheFixture();
  platform::NullSoundDevice dev(kDeviceRate);
  CStreamSound stream;
  stream.SetDevice(&dev);
  stream.SetVolume(99);
  std::vector<float> out(2 * 480);
  Latencies open, play, stop;
  for (auto _ : state) {
    Clock::time_point opening = Clock::now();
    if (stream.Open("music.ogg") != 0) {
      state.SkipWithError("cannot open");
      return;
    }
    Clock::time_point t0 = Clock::now();
    open.Add(t0 - opening);
    bool started = stream.Play(true);
    Clock::time_point t1 = Clock::now();
    if (!started) {
      state.SkipWithError("cannot play");
      return;
    }
    while (dev.PlayingBuffers() == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
    dev.Render(out.data(), 480);
    if (state.range(0) == 1) stream.FadeOut(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the feeder is idle again
    Clock::time_point t2 = Clock::now();
    stream.Stop();
    Clock::time_point t3 = Clock::now();
    play.Add(t1 - t0);
    stop.Add(t3 - t2);
    state.SetIterationTime(Seconds((t1 - t0) + (t3 - t2)));
  }
  open.Report(state, "open");  // for reference: not in the iteration time
  play.Report(state, "play");
  stop.Report(state, "stop");
}

// The same for an effect: Play, a FadeOut that has ticked once, then Stop.
void BM_EffectFadeStopOnCaller(benchmark::State& state) {
  TheFixture();
  platform::NullSoundDevice dev(kDeviceRate);
  CSoundBuffer effect;
  effect.SetDevice(&dev);
  effect.SetVolume(99);
  if (!effect.Load("effect.wav")) {
    state.SkipWithError("cannot load");
    return;
  }
  Latencies fade, stop;
  for (auto _ : state) {
    effect.Play(true);
    Clock::time_point t0 = Clock::now();
    effect.FadeOut(2);
    Clock::time_point t1 = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(40));  // past the first tick
    Clock::time_point t2 = Clock::now();
    effect.Stop();
    Clock::time_point t3 = Clock::now();
    fade.Add(t1 - t0);
    stop.Add(t3 - t2);
    state.SetIterationTime(Seconds((t1 - t0) + (t3 - t2)));
  }
  fade.Report(state, "fade");
  stop.Report(state, "stop");
}

// The peer: one hand-off to a thread waiting on a condition variable, and its answer back.
void BM_BareConditionVariableWake(benchmark::State& state) {
  std::mutex m;
  std::condition_variable cv;
  uint64_t posted = 0, seen = 0;
  bool quit = false;
  std::thread waiter([&] {
    std::unique_lock lock(m);
    while (!quit) {
      cv.wait(lock, [&] { return posted != seen || quit; });
      seen = posted;
      cv.notify_all();
    }
  });
  Latencies wake;
  for (auto _ : state) {
    Clock::time_point t0 = Clock::now();
    {
      std::unique_lock lock(m);
      ++posted;
      cv.notify_all();
      cv.wait(lock, [&] { return seen == posted; });
    }
    Clock::time_point t1 = Clock::now();
    wake.Add(t1 - t0);
    state.SetIterationTime(Seconds(t1 - t0));
  }
  wake.Report(state, "wake");
  {
    std::lock_guard lock(m);
    quit = true;
  }
  cv.notify_all();
  waiter.join();
}

BENCHMARK(BM_Mix34_Resampled)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix34_DeviceRate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OggFeederPath)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OggPlainOvRead)->Unit(benchmark::kMillisecond)->UseRealTime();
// Fixed counts: each iteration also waits (for the first fill, for a fade tick) untimed.
BENCHMARK(BM_StreamPlayStopOnCaller)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime();
BENCHMARK(BM_EffectFadeStopOnCaller)
    ->Iterations(100)
    ->Unit(benchmark::kMicrosecond)
    ->UseManualTime();
BENCHMARK(BM_BareConditionVariableWake)->Unit(benchmark::kMicrosecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
