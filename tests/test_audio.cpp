// The sound device, the effects, the streams and the voice step, heard through the null device:
// every test listens to the frames the player would hear. Fixtures are made by the support
// library: WAV bytes by hand, Ogg Vorbis through the encoder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/headless.h"
#include "audio/sound.h"
#include "audio/stream_sound.h"
#include "audio/voice.h"
#include "platform/log.h"
#include "platform/sound_device.h"
#include "save/system_data.h"
#include "support/game_folder.h"
#include "support/media.h"

namespace {

using platform::NullSoundDevice;
using platform::PcmFormat;
using testing_support::GameFolder;
using Bytes = std::vector<uint8_t>;

constexpr double kPi = 3.14159265358979323846;

// --- waiting on the audio threads (generous bounds; only for what threads do)

bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The threads of this process.
size_t Threads() {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                           std::filesystem::directory_iterator()));
}

// WAV and Ogg fixtures come from the support library (support/media.h).
using testing_support::Chunk;
using testing_support::DcPcm;
using testing_support::DcWav;
using testing_support::Fmt;
using testing_support::Put16;
using testing_support::Put32;
using testing_support::Riff;
using testing_support::ToneOgg;
using Ogg = OggVorbisFile;

// --- listening

float Rms(const std::vector<float>& s, size_t from, size_t frames) {
  double sum = 0;
  for (size_t i = from; i < from + frames; ++i) sum += double{s[2 * i]} * s[2 * i];
  return static_cast<float>(std::sqrt(sum / static_cast<double>(frames)));
}

// The first frame whose left sample is not silent, or -1.
long FirstSound(const std::vector<float>& s, float threshold = 0.05f) {
  for (size_t i = 0; i < s.size() / 2; ++i)
    if (std::fabs(s[2 * i]) > threshold) return static_cast<long>(i);
  return -1;
}

// The longest run of near-silent frames from `from` on.
long LongestQuiet(const std::vector<float>& s, size_t from, float threshold = 0.05f) {
  long best = 0, run = 0;
  for (size_t i = from; i < s.size() / 2; ++i) {
    run = std::fabs(s[2 * i]) < threshold ? run + 1 : 0;
    best = std::max(best, run);
  }
  return best;
}

float Peak(const std::vector<float>& s, size_t from) {
  float peak = 0;
  for (size_t i = 2 * from; i < s.size(); ++i) peak = std::max(peak, std::fabs(s[i]));
  return peak;
}

std::unique_ptr<platform::SoundBuffer> DcBuffer(NullSoundDevice& dev, PcmFormat f, int frames,
                                                float left, float right) {
  Bytes pcm = DcPcm(frames, f.channels, f.bits_per_sample, left, right);
  auto b = dev.CreateBuffer(f, static_cast<uint32_t>(pcm.size()));
  platform::SoundBuffer::Region r1, r2;
  EXPECT_TRUE(b->Lock(0, b->Size(), r1, r2));
  std::memcpy(r1.data, pcm.data(), r1.bytes);
  b->Unlock();
  return b;
}

// ============================================================================ the device

TEST(SoundDevice, PlaysEachFormatAtItsRateAndStopsAtTheEnd) {
  struct Case {
    int channels, bits, rate;
  } cases[] = {{1, 8, 22050},  {2, 8, 44100},  {1, 16, 48000},
               {2, 16, 44100}, {2, 16, 96000}, {1, 16, 8000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << " ch, " << c.bits << " bit, " << c.rate);
    NullSoundDevice dev;
    auto b = DcBuffer(dev, {c.channels, c.rate, c.bits}, c.rate / 10, 0.5f, -0.25f);  // 0.1 s
    ASSERT_TRUE(b->Play(false));
    std::vector<float> out = dev.Render(9600);
    long sounding = 0;
    for (size_t i = 0; i < out.size() / 2; ++i) sounding += std::fabs(out[2 * i]) > 0.1f;
    EXPECT_NEAR(sounding, 4800, 48);  // 0.1 s at the device's 48 kHz
    float right = c.channels == 2 ? -0.25f : 0.5f;  // mono is heard on both sides
    EXPECT_NEAR(out[2 * 2400], 0.5f, 0.01f);
    EXPECT_NEAR(out[2 * 2400 + 1], right, 0.01f);
    EXPECT_FALSE(b->IsPlaying());
    EXPECT_EQ(out[2 * 9000], 0.0f);
  }
}

TEST(SoundDevice, VolumeInHundredthsOfADecibel) {
  struct Case {
    int32_t millibels;
    float gain;  // 10^(mB / 2000)
  } cases[] = {{0, 1.0f},           {-600, 0.501187f}, {-1386, 0.202768f}, {-2342, 0.067453f},
               {-9210, 2.4831e-5f}, {-10000, 0.0f},    {-20000, 0.0f},     {300, 1.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.millibels);
    NullSoundDevice dev;
    auto b = DcBuffer(dev, {1, 48000, 16}, 4800, 0.5f, 0.5f);
    b->SetVolume(c.millibels);
    b->Play(true);
    std::vector<float> out = dev.Render(512);
    EXPECT_NEAR(out[2 * 300], 0.5f * c.gain, 0.5f * c.gain * 1e-3f + 1e-7f);
  }
}

TEST(SoundDevice, LoopsNotifiesAsTheCursorPassesAndLocksAcrossTheEnd) {
  NullSoundDevice dev;
  dev.refill_wait_ms = 0;  // nobody refills here
  const int frames = 4800;  // 0.1 s, mono 16-bit: 9600 bytes
  auto b = DcBuffer(dev, {1, 48000, 16}, frames, 0.5f, 0.5f);
  platform::Event start(platform::EventKind::AutoReset), middle(platform::EventKind::AutoReset);
  const platform::Notification n[] = {{0, &start}, {frames, &middle}};  // bytes: frame 2400
  ASSERT_TRUE(b->SetNotificationPositions(n));

  // A region that wraps comes in two pieces: the buffer's last 100 frames and its first 100.
  platform::SoundBuffer::Region r1, r2;
  ASSERT_TRUE(b->Lock(2 * (frames - 100), 400, r1, r2));
  EXPECT_EQ(r1.bytes, 200u);
  EXPECT_EQ(r2.bytes, 200u);
  std::memset(r1.data, 0, r1.bytes);
  std::memset(r2.data, 0, r2.bytes);
  EXPECT_FALSE(b->Lock(0, 2, r1, r2));  // one lock at a time
  ASSERT_TRUE(b->Unlock());

  ASSERT_TRUE(b->Play(true));
  EXPECT_FALSE(b->SetNotificationPositions(n));  // only while stopped
  std::vector<float> out = dev.Render(256);
  EXPECT_TRUE(start.Wait(0));  // playing from 0 passes 0
  EXPECT_FALSE(middle.Wait(0));
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_NEAR(out[2 * 150], 0.5f, 1e-4f);
  out = dev.Render(2400 - 256 - 10);
  EXPECT_FALSE(middle.Wait(0));
  dev.Render(20);
  EXPECT_TRUE(middle.Wait(0));
  out = dev.Render(frames - 2400 - 10 + 256);  // past the end and round again
  EXPECT_TRUE(start.Wait(0));
  EXPECT_FALSE(middle.Wait(0));
  // The frames the lock silenced, heard at the end of the lap and again at its start.
  size_t end_of_lap = frames - 2400 - 10 - 50;
  EXPECT_EQ(out[2 * end_of_lap], 0.0f);
  EXPECT_NEAR(out[2 * (end_of_lap - 100)], 0.5f, 1e-4f);
  EXPECT_EQ(out[2 * (end_of_lap + 100)], 0.0f);
  EXPECT_NEAR(out[2 * (end_of_lap + 200)], 0.5f, 1e-4f);
  EXPECT_TRUE(b->IsPlaying());
}

TEST(SoundDevice, RefusesWhatItCannotPlay) {
  NullSoundDevice dev;
  struct Case {
    PcmFormat format;
    uint32_t bytes;
  } cases[] = {{{0, 44100, 16}, 400},  {{3, 44100, 16}, 600},
               {{2, 44100, 24}, 600},  {{2, 50, 16}, 400},
               {{2, 300000, 16}, 400}, {{2, 44100, 16}, 0},
               {{2, 44100, 16}, 402},  {{1, 44100, 8}, platform::kMaxBufferBytes + 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.format.channels << "/" << c.format.samples_per_sec << "/"
                                    << c.format.bits_per_sample << " " << c.bytes);
    EXPECT_EQ(dev.CreateBuffer(c.format, c.bytes), nullptr);
  }
  EXPECT_EQ(dev.Buffers(), 0);
}

TEST(SoundDevice, SdlOutputMixesInItsCallback) {
  if (!std::getenv("SDL_AUDIODRIVER")) setenv("SDL_AUDIODRIVER", "dummy", 1);
  platform::SdlSoundOutput output;
  CSound sound;
  if (!sound.Create(output)) GTEST_SKIP() << "no SDL audio driver here";
  platform::SoundDevice* dev = sound.Device();
  EXPECT_GT(dev->Rate(), 0);
  auto b = dev->CreateBuffer({2, 44100, 16}, 44100 * 4);
  ASSERT_NE(b, nullptr);
  b->Play(true);
  EXPECT_TRUE(WaitFor([&] { return b->CurrentPosition() != 0; }));
}

// ============================================================================ sound effects

class EffectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    se.SetDevice(&dev);
    se.SetVolume(99);
  }
  bool Load(const Bytes& wav) {
    folder.Write("SOUND/SE/test.wav", wav);
    return se.Load("SOUND\\SE\\test.wav");
  }
  std::vector<int32_t> History() const { return se.DeviceBuffer()->VolumeHistory(); }
  GameFolder folder;
  NullSoundDevice dev;
  CSoundBuffer se;
};

TEST_F(EffectTest, LoadsWhatTheScansFind) {
  Bytes list = Chunk("LIST", Bytes(30, 'x'));
  Bytes pcm100 = DcPcm(100, 1, 16, 0.5f, 0.5f);
  Bytes fmt14 = Fmt(1, 48000, 16);
  fmt14.resize(14);  // the old record without bits per sample
  Bytes fmt_bits0 = Fmt(1, 48000, 0);
  Bytes odd = pcm100;
  odd.push_back(0x7F);
  Bytes no_length = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  Bytes noise;
  for (int i = 0; i < 500; ++i) noise.push_back(static_cast<uint8_t>(i * 37 + 11));

  struct Case {
    const char* name;
    Bytes file;
    bool loads;
    uint32_t frames;
    int bits;
  } cases[] = {
      {"16-bit stereo", DcWav(100, 2), true, 100, 16},
      {"8-bit mono", DcWav(100, 1, 22050, 8), true, 100, 8},
      {"0 bits per sample plays as 16", Riff({Chunk("fmt ", fmt_bits0), Chunk("data", pcm100)}),
       true, 100, 16},
      {"record without bits", Riff({Chunk("fmt ", fmt14), Chunk("data", pcm100)}), true, 100, 16},
      {"chunk before fmt", Riff({list, Chunk("fmt ", Fmt(1, 48000, 16)), Chunk("data", pcm100)}),
       true, 100, 16},
      {"fmt longer than the record",
       Riff({Chunk("fmt ", Fmt(1, 48000, 16, 40)), Chunk("data", pcm100)}), true, 100, 16},
      {"fmt length past the file",
       Riff({Chunk("fmt ", Fmt(1, 48000, 16), 1u << 30), Chunk("data", pcm100)}), true, 100, 16},
      {"data length past the file",
       Riff({Chunk("fmt ", Fmt(1, 48000, 16)), Chunk("data", pcm100, 100000)}), true, 100, 16},
      {"part of a frame at the end", Riff({Chunk("fmt ", Fmt(1, 48000, 16)), Chunk("data", odd)}),
       true, 100, 16},
      {"no data chunk", Riff({Chunk("fmt ", Fmt(1, 48000, 16))}), false, 0, 0},
      {"data before fmt", Riff({Chunk("data", pcm100), Chunk("fmt ", Fmt(1, 48000, 16))}), false, 0,
       0},
      {"no chunks at all", noise, false, 0, 0},
      {"tag without its length", no_length, false, 0, 0},
      {"empty data", Riff({Chunk("fmt ", Fmt(1, 48000, 16)), Chunk("data", {})}), false, 0, 0},
      {"three channels", DcWav(100, 3), false, 0, 0},
      {"24 bits", Riff({Chunk("fmt ", Fmt(1, 48000, 24)), Chunk("data", Bytes(300, 1))}), false, 0,
       0},
      {"empty file", {}, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSoundBuffer fresh;
    fresh.SetDevice(&dev);
    folder.Write("SOUND/SE/case.wav", c.file);
    ASSERT_EQ(fresh.Load("SOUND\\SE\\case.wav"), c.loads);
    if (!c.loads) {
      EXPECT_EQ(fresh.FileName(), "");
      EXPECT_FALSE(fresh.Play(false));
      continue;
    }
    EXPECT_EQ(fresh.FileName(), "SOUND\\SE\\case.wav");
    const platform::SoundBuffer* b = fresh.DeviceBuffer();
    EXPECT_EQ(b->Format().bits_per_sample, c.bits);
    EXPECT_EQ(b->Size() / static_cast<uint32_t>(b->Format().BlockAlign()), c.frames);
  }
}

// A file larger than any buffer the device makes is refused before its bytes are read: a sparse
// file claims 300 MB behind a sound header, and loading it takes no such memory.
TEST_F(EffectTest, AFileBeyondTheLargestBufferIsRefusedUnread) {
  folder.Write("SOUND/SE/huge.wav", DcWav(100, 2));
  const std::string host = folder.path() + "/SOUND/SE/huge.wav";
  ASSERT_EQ(::truncate(host.c_str(), off_t{300} << 20), 0);
  EXPECT_FALSE(se.Load("SOUND\\SE\\huge.wav"));
  EXPECT_EQ(se.FileName(), "");
}

TEST_F(EffectTest, EmptyOrDevicelessSlotsRefuse) {
  EXPECT_FALSE(se.Play(false));
  EXPECT_FALSE(se.Stop());
  EXPECT_FALSE(se.FadeOut(0));
  EXPECT_FALSE(se.Load("SOUND\\SE\\missing.wav"));
  CSoundBuffer no_device;
  folder.Write("SOUND/SE/a.wav", DcWav(100));
  EXPECT_FALSE(no_device.Load("SOUND\\SE\\a.wav"));
  EXPECT_FALSE(no_device.IsPlaying());
}

// SetVolume and SetLevel as the device hears them: 2000 × ln(v / 100 × l / 100), toward zero.
TEST_F(EffectTest, VolumesReachTheMixAsDecibels) {
  ASSERT_TRUE(Load(DcWav(4800)));
  struct Case {
    int percent;
    int level;  // -1: no SetLevel
    int32_t millibels;
  } cases[] = {{99, -1, 0},  {49, -1, -1386}, {30, -1, -2342}, {0, -1, -9210},
               {150, -1, 0}, {-5, -1, -9210}, {99, 50, -1386}, {99, 0, -10000},
               {99, 100, 0}, {49, 50, -2772}, {99, 250, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.percent << " / " << c.level);
    se.SetVolume(c.percent);
    ASSERT_TRUE(se.Play(true));
    if (c.level >= 0) se.SetLevel(c.level);
    EXPECT_EQ(se.DeviceBuffer()->Volume(), c.millibels);
    std::vector<float> out = dev.Render(512);
    float gain = c.millibels <= -10000 ? 0.0f : std::pow(10.0f, c.millibels / 2000.0f);
    EXPECT_NEAR(out[2 * 400], 0.5f * gain, 1e-4f);
    se.Stop();
  }
}

TEST_F(EffectTest, StillPlayingAfterTheNaturalEndUntilStopped) {
  ASSERT_TRUE(Load(DcWav(480)));
  ASSERT_TRUE(se.Play(false));
  std::vector<float> out = dev.Render(2000);
  EXPECT_NEAR(out[2 * 200], 0.5f, 1e-4f);
  EXPECT_EQ(out[2 * 1000], 0.0f);
  EXPECT_FALSE(se.DeviceBuffer()->IsPlaying());
  EXPECT_TRUE(se.IsPlaying());
  EXPECT_FALSE(se.Looping());
  EXPECT_TRUE(se.Stop());
  EXPECT_FALSE(se.IsPlaying());
  ASSERT_TRUE(se.Play(false));  // from the start again
  out = dev.Render(512);
  EXPECT_NEAR(out[2 * 200], 0.5f, 1e-4f);
}

// Each tick sets 2000 × ln((100 − level) / 100) and then adds the step; the fade ends at the
// first tick that finds the level above 99.
TEST_F(EffectTest, FadeTicksFromTheLevelItStartsAt) {
  struct Case {
    const char* name;
    int level;  // SetLevel before the fade, or -1
    int32_t level_millibels;
    int kind;
    std::vector<int32_t> ticks;  // the volumes the fade sets
  } cases[] = {
      {"level 50, kind 0: seven ticks",
       50,
       -1386,
       0,
       {-1386, -1735, -2157, -2694, -3429, -4605, -7824}},
      {"kind 0: thirteen ticks",
       -1,
       0,
       0,
       {0, -166, -348, -548, -771, -1021, -1307, -1641, -2043, -2545, -3218, -4240, -6437}},
      {"unknown first kind fades like kind 0",
       -1,
       0,
       7,
       {0, -166, -348, -548, -771, -1021, -1307, -1641, -2043, -2545, -3218, -4240, -6437}},
  };
  ASSERT_TRUE(Load(DcWav(48000)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CSoundBuffer fx;
    fx.SetDevice(&dev);
    fx.SetVolume(99);
    ASSERT_TRUE(fx.Load("SOUND\\SE\\test.wav"));
    ASSERT_TRUE(fx.Play(true));
    std::vector<int32_t> expected = {0};
    if (c.level >= 0) {
      fx.SetLevel(c.level);
      expected.push_back(c.level_millibels);
    }
    ASSERT_TRUE(fx.FadeOut(c.kind));
    ASSERT_TRUE(WaitFor([&] { return !fx.IsPlaying(); }));
    expected.insert(expected.end(), c.ticks.begin(), c.ticks.end());
    EXPECT_EQ(fx.DeviceBuffer()->VolumeHistory(), expected);
    EXPECT_FALSE(fx.DeviceBuffer()->IsPlaying());
    EXPECT_FALSE(fx.FadeOut(0));  // no longer playing
  }
}

TEST_F(EffectTest, KindOneFadeTakesThirtyFourTicks) {
  ASSERT_TRUE(Load(DcWav(48000)));
  ASSERT_TRUE(se.Play(true));
  ASSERT_TRUE(se.FadeOut(1));
  ASSERT_TRUE(WaitFor([&] { return !se.IsPlaying(); }));
  std::vector<int32_t> h = History();
  ASSERT_EQ(h.size(), 1u + 34u);
  EXPECT_EQ(h[2], -60);  // level 3
  EXPECT_EQ(h[34], -9210);  // level 99
}

TEST_F(EffectTest, PlayDuringAFadeRestartsAtFullVolume) {
  ASSERT_TRUE(Load(DcWav(48000)));
  ASSERT_TRUE(se.Play(true));
  ASSERT_TRUE(se.FadeOut(2));
  ASSERT_TRUE(WaitFor([&] { return History().size() >= 4; }));
  ASSERT_TRUE(se.Play(true));  // ends the fade
  std::vector<int32_t> after = History();
  EXPECT_EQ(after.back(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // a fade would have ticked
  EXPECT_EQ(History(), after);
  EXPECT_TRUE(se.IsPlaying());
  std::vector<float> out = dev.Render(512);
  EXPECT_NEAR(out[2 * 400], 0.5f, 1e-4f);
}

TEST_F(EffectTest, ASecondFadeOutDoesNotRestartTheFade) {
  ASSERT_TRUE(Load(DcWav(48000)));
  ASSERT_TRUE(se.Play(true));
  ASSERT_TRUE(se.FadeOut(2));
  ASSERT_TRUE(WaitFor([&] { return History().size() >= 4; }));
  EXPECT_TRUE(se.FadeOut(0));
  ASSERT_TRUE(WaitFor([&] { return History().size() >= 9; }));
  EXPECT_TRUE(se.Stop());
  EXPECT_FALSE(se.IsPlaying());
  std::vector<int32_t> h = History();
  const std::vector<int32_t> step_one = {0, 0, -20, -40, -60, -81, -102, -123};  // Play, ticks
  ASSERT_GE(h.size(), step_one.size());
  EXPECT_EQ(std::vector<int32_t>(h.begin(), h.begin() + step_one.size()), step_one);
  EXPECT_FALSE(se.DeviceBuffer()->IsPlaying());
}

// One object's fade thread serves fade after fade: each fade, also one after a Stop in the
// middle of the one before, ticks its whole course from the start, and no thread is added.
TEST_F(EffectTest, EachFadeRunsItsWholeCourse) {
  // Play, then kind 0's thirteen ticks.
  const std::vector<int32_t> play_and_fade = {0,     0,     -166,  -348,  -548,  -771,  -1021,
                                              -1307, -1641, -2043, -2545, -3218, -4240, -6437};
  ASSERT_TRUE(Load(DcWav(48000)));
  size_t threads = 0;
  for (bool stopped_halfway : {false, true, false}) {
    SCOPED_TRACE(stopped_halfway ? "after a fade stopped halfway" : "after a whole fade");
    if (stopped_halfway) {
      ASSERT_TRUE(se.Play(true));
      ASSERT_TRUE(se.FadeOut(2));
      size_t before = History().size();
      ASSERT_TRUE(WaitFor([&] { return History().size() >= before + 3; }));
      EXPECT_TRUE(se.Stop());
      EXPECT_FALSE(se.IsPlaying());
    }
    ASSERT_TRUE(se.Play(true));
    ASSERT_TRUE(se.FadeOut(0));
    ASSERT_TRUE(WaitFor([&] { return !se.IsPlaying(); }));
    std::vector<int32_t> h = History();
    ASSERT_GE(h.size(), play_and_fade.size());
    EXPECT_EQ(std::vector<int32_t>(h.end() - static_cast<long>(play_and_fade.size()), h.end()),
              play_and_fade);
    EXPECT_FALSE(se.DeviceBuffer()->IsPlaying());
    if (threads == 0) threads = Threads();
    EXPECT_EQ(Threads(), threads);
  }
}

// ============================================================================ streams

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log.SetEcho(false);
    ASSERT_EQ(stream.SetDevice(&dev), 0);
    stream.SetVolume(99);
  }
  int Open(const Ogg& ogg, const char* name = "track") {
    folder.Write(std::string("SOUND/BGM/") + name + ".ogg", ogg.bytes);
    return stream.Open(std::string("SOUND\\BGM\\") + name + ".ogg");
  }
  // The feeder's first fill starts the buffer.
  bool Started() {
    return WaitFor([&] { return dev.PlayingBuffers() > 0; });
  }
  std::vector<float> Listen(double seconds) {
    std::vector<float> all;
    long frames = std::lround(seconds * 48000);
    while (frames > 0) {
      int n = static_cast<int>(std::min<long>(frames, 4800));
      std::vector<float> part = dev.Render(n);
      all.insert(all.end(), part.begin(), part.end());
      frames -= n;
    }
    return all;
  }
  platform::Log log;
  GameFolder folder;
  NullSoundDevice dev;
  CStreamSound stream;
};

TEST_F(StreamTest, ALoopingFileContinuesWithoutAGap) {
  struct Case {
    double seconds;
    int rate, channels;
  } cases[] = {{0.25, 48000, 2}, {0.3, 44100, 1}, {1.25, 48000, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.seconds << " s at " << c.rate);
    ASSERT_EQ(Open(ToneOgg(c.seconds, c.rate, c.channels)), 0);
    ASSERT_TRUE(stream.Play(true));
    ASSERT_TRUE(Started());
    std::vector<float> heard = Listen(4.5);  // more than two laps of the buffer
    long start = FirstSound(heard);
    ASSERT_GE(start, 0);
    EXPECT_LT(start, 4800);
    EXPECT_LT(LongestQuiet(heard, static_cast<size_t>(start)), 48);  // never a millisecond of hush
    for (size_t at = static_cast<size_t>(start); at + 4800 < heard.size() / 2; at += 4800)
      ASSERT_NEAR(Rms(heard, at, 4800), 0.3536f, 0.03f) << "at frame " << at;
    EXPECT_TRUE(stream.IsPlaying());
    stream.Stop();
    EXPECT_FALSE(stream.IsPlaying());
  }
}

TEST_F(StreamTest, AFileThatDoesNotLoopEndsByItself) {
  struct Case {
    double seconds;
    double buffer_stops_at;  // of heard time: when the cursor enters the half after the end
  } cases[] = {{0.5, 1.0}, {1.5, 2.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    ASSERT_EQ(Open(ToneOgg(c.seconds, 48000, 1)), 0);
    ASSERT_TRUE(stream.Play(false));
    ASSERT_TRUE(Started());
    std::vector<float> heard;
    while (dev.PlayingBuffers() > 0 && heard.size() < 2 * 48000 * 4) {
      std::vector<float> part = dev.Render(480);
      heard.insert(heard.end(), part.begin(), part.end());
    }
    EXPECT_NEAR(static_cast<double>(heard.size() / 2), c.buffer_stops_at * 48000, 512);
    long start = FirstSound(heard);
    ASSERT_GE(start, 0);
    size_t end = static_cast<size_t>(start + std::lround(c.seconds * 48000));
    EXPECT_NEAR(Rms(heard, static_cast<size_t>(start), end - static_cast<size_t>(start) - 480),
                0.3536f, 0.03f);
    EXPECT_LT(Peak(heard, end + 480), 0.01f) << "silence after the end";
    EXPECT_TRUE(WaitFor([&] { return !stream.IsPlaying(); }, 2000));
    EXPECT_EQ(stream.FileName(), "");  // the file was closed
    EXPECT_FALSE(stream.Play(false));
    EXPECT_TRUE(WaitFor([&] { return dev.Buffers() == 0; }, 2000));
  }
}

TEST_F(StreamTest, StopEndsItAtOnce) {
  for (bool fading : {false, true}) {
    SCOPED_TRACE(fading ? "during a slow fade" : "playing");
    ASSERT_EQ(Open(ToneOgg(3.0, 48000, 2)), 0);
    ASSERT_TRUE(stream.Play(true));
    ASSERT_TRUE(Started());
    Listen(0.2);
    if (fading) stream.FadeOut(2);
    auto t0 = std::chrono::steady_clock::now();
    stream.Stop();
    auto took = std::chrono::steady_clock::now() - t0;
    // Stop does not wait for the feeder (a bound far above any scheduling delay).
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_FALSE(stream.IsPlaying());
    EXPECT_EQ(stream.FileName(), "");
    EXPECT_EQ(dev.Buffers(), 0);
    std::vector<float> after = dev.Render(480);
    EXPECT_EQ(FirstSound(after, 0.0f), -1);
  }
}

// The callers' Stop, Open, Play, also faster than the feeder follows: a track stopped before its
// first fill never sounds, the next one is heard alone, and one feeder serves them all.
TEST_F(StreamTest, TracksInQuickSuccessionShareOneFeeder) {
  Ogg loud = ToneOgg(3.0, 48000, 2, 400.0, 0.5);
  Ogg quiet = ToneOgg(3.0, 48000, 2, 400.0, 0.25);
  ASSERT_EQ(Open(loud, "loud"), 0);
  ASSERT_TRUE(stream.Play(true));
  ASSERT_TRUE(Started());
  const size_t threads = Threads();
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    stream.Stop();
    ASSERT_EQ(Open(loud, "loud"), 0);
    ASSERT_TRUE(stream.Play(true));
    stream.Stop();
    EXPECT_FALSE(stream.IsPlaying());
    EXPECT_EQ(dev.Buffers(), 0);
    ASSERT_EQ(Open(quiet, "quiet"), 0);
    ASSERT_TRUE(stream.Play(round % 2 == 0));
    ASSERT_TRUE(Started());
    std::vector<float> heard = Listen(0.5);
    EXPECT_EQ(dev.Buffers(), 1);
    EXPECT_NEAR(Rms(heard, 4800, 12000), 0.1768f, 0.02f);
    EXPECT_EQ(stream.FileName(), "quiet.ogg");
    EXPECT_EQ(Threads(), threads);
  }
  stream.Stop();
}

// A playing stream follows a volume change.
TEST_F(StreamTest, AVolumeChangeReachesAPlayingStream) {
  // Listens in short pieces until the level is near `rms`.
  auto heard_near = [&](float rms) {
    return WaitFor([&] { return std::fabs(Rms(Listen(0.02), 0, 960) - rms) < rms * 0.05f; });
  };
  ASSERT_EQ(Open(ToneOgg(3.0, 48000, 1)), 0);
  ASSERT_TRUE(stream.Play(true));
  ASSERT_TRUE(Started());
  EXPECT_TRUE(heard_near(0.3536f));
  stream.SetVolume(49);  // 50 %: 2000 × ln 0.5 = −1386
  EXPECT_TRUE(heard_near(0.3536f * 0.2028f));
  stream.Stop();
}

TEST_F(StreamTest, RefusalRules) {
  Ogg ogg = ToneOgg(2.0, 48000, 2);
  EXPECT_FALSE(stream.Play(false));  // no file
  ASSERT_EQ(Open(ogg), 0);
  EXPECT_EQ(stream.FileName(), "track.ogg");
  stream.FadeOut(0);  // on an idle stream: pending
  EXPECT_FALSE(stream.Play(false));
  stream.Stop();  // clears the fade, closes the file
  EXPECT_FALSE(stream.Play(false));
  ASSERT_EQ(Open(ogg), 0);
  ASSERT_TRUE(stream.Play(true));
  EXPECT_TRUE(stream.StartedByPlay());
  EXPECT_FALSE(stream.Play(true));  // a feeder runs
  EXPECT_EQ(Open(ogg, "other"), -1);
  EXPECT_EQ(stream.FileName(), "track.ogg");
  stream.Stop();
  EXPECT_FALSE(stream.StartedByPlay());

  CStreamSound no_device;
  folder.Write("SOUND/BGM/x.ogg", ogg.bytes);
  EXPECT_EQ(no_device.SetDevice(nullptr), -1);
  EXPECT_EQ(no_device.Open("SOUND\\BGM\\x.ogg"), -2);
  EXPECT_FALSE(no_device.Play(false));
}

TEST_F(StreamTest, FadeOutEndsTheStreamAndFreesTheFile) {
  for (int kind : {3, 0}) {
    SCOPED_TRACE(kind);
    ASSERT_EQ(Open(ToneOgg(3.0, 48000, 2)), 0);
    ASSERT_TRUE(stream.Play(true));
    ASSERT_TRUE(Started());
    stream.FadeOut(kind);
    EXPECT_FALSE(stream.StartedByPlay());
    EXPECT_TRUE(WaitFor([&] { return !stream.IsPlaying(); }));
    EXPECT_EQ(stream.FileName(), "");
    EXPECT_EQ(dev.Buffers(), 0);
    ASSERT_EQ(Open(ToneOgg(0.5, 48000, 2)), 0);  // no fade is left pending
    EXPECT_TRUE(stream.Play(false));
    stream.Stop();
  }
}

TEST_F(StreamTest, VolumeAsGainInTheMix) {
  Ogg ogg = ToneOgg(2.0, 48000, 1);
  float reference = 0;
  struct Case {
    int percent;
    float gain;
  } cases[] = {{99, 1.0f}, {49, 0.202768f}, {30, 0.067453f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.percent);
    ASSERT_EQ(Open(ogg), 0);
    stream.SetVolume(c.percent);
    ASSERT_TRUE(stream.Play(false));
    ASSERT_TRUE(Started());
    std::vector<float> heard = Listen(0.5);
    float rms = Rms(heard, 4800, 12000);
    if (c.percent == 99) reference = rms;
    EXPECT_NEAR(rms / reference, c.gain, c.gain * 0.01f);
    stream.Stop();
  }
}

TEST_F(StreamTest, BadOggInputFailsToOpenOrPlaysWhatIsSound) {
  Ogg good = ToneOgg(1.5, 48000, 2);
  Ogg long_one = ToneOgg(6.0, 48000, 2);
  Bytes truncated(long_one.bytes.begin(),
                  long_one.bytes.begin() + static_cast<long>(long_one.bytes.size() * 6 / 10));
  Bytes headers_only(good.bytes.begin(), good.bytes.begin() + static_cast<long>(good.header_bytes));
  Bytes damaged = long_one.bytes;
  for (size_t i = damaged.size() * 6 / 10; i < damaged.size() * 6 / 10 + 400; ++i)
    damaged[i] ^= 0x5A;
  Bytes noise;
  for (int i = 0; i < 4000; ++i) noise.push_back(static_cast<uint8_t>(i * 131 + 7));
  Bytes ogg_prefix_noise = noise;
  std::memcpy(ogg_prefix_noise.data(), "OggS", 4);

  struct Case {
    const char* name;
    Bytes file;
    std::vector<int> open_results;  // what Open may answer
    bool sounds;  // when it opens: the sound part is heard
  } cases[] = {
      {"not an Ogg file", noise, {-1}, false},
      {"Ogg tag, then noise", ogg_prefix_noise, {-1}, false},
      {"empty file", {}, {-1}, false},
      {"cut in the middle", truncated, {0}, true},
      {"headers only", headers_only, {0, -1}, false},
      {"no samples at all", ToneOgg(0.0, 48000, 2).bytes, {0, -1}, false},
      {"damaged pages", damaged, {0, -1}, true},
      {"three channels", ToneOgg(0.5, 48000, 3).bytes, {-2}, false},
  };
  for (const Case& c : cases) {
    for (bool loop : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (loop ? ", looping" : ""));
      folder.Write("SOUND/BGM/bad.ogg", c.file);
      int r = stream.Open("SOUND\\BGM\\bad.ogg");
      EXPECT_NE(std::find(c.open_results.begin(), c.open_results.end(), r), c.open_results.end())
          << r;
      if (r != 0) {
        EXPECT_FALSE(stream.Play(loop));
        stream.Stop();
        continue;
      }
      ASSERT_TRUE(stream.Play(loop));
      ASSERT_TRUE(Started());
      // Looping: three seconds of it. Once: until it ends by itself (within ten seconds).
      std::vector<float> heard = Listen(loop ? 3.0 : 0.1);
      while (!loop && dev.PlayingBuffers() > 0 && heard.size() < 2 * 48000 * 10) {
        std::vector<float> part = Listen(0.1);
        heard.insert(heard.end(), part.begin(), part.end());
      }
      if (c.sounds) {
        EXPECT_GT(Peak(heard, 0), 0.4f);
      }
      if (!loop) {
        EXPECT_EQ(dev.PlayingBuffers(), 0);
        EXPECT_TRUE(WaitFor([&] { return !stream.IsPlaying(); }, 2000));
      }
      auto t0 = std::chrono::steady_clock::now();
      stream.Stop();
      EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1500));
      EXPECT_FALSE(stream.IsPlaying());
    }
  }
  EXPECT_EQ(stream.Open("SOUND\\BGM\\missing.ogg"), -1);
  // The device plays on.
  ASSERT_EQ(Open(good), 0);
  ASSERT_TRUE(stream.Play(false));
  ASSERT_TRUE(Started());
  EXPECT_NEAR(Rms(Listen(0.5), 4800, 12000), 0.3536f, 0.03f);
  stream.Stop();
}

// ============================================================================ voices

TEST(VoiceCategory, LastMatchingPrefixWins) {
  struct Case {
    const char* name;
    int category;
  } cases[] = {{"akane_0001", 1}, {"kaede_0002", 6}, {"oldman_01", 7},
               {"mob_0003", 7},   {"mobf_0003", 8},  {"woman_07", 8},
               {"Akane_0001", 0}, {"ma_01", 0},      {"", 0}};
  for (const Case& c : cases) EXPECT_EQ(VoiceCategory(c.name), c.category) << c.name;
  for (const VoiceCategoryEntry& e : kVoiceCategories) {
    size_t n = std::strlen(e.prefix);
    EXPECT_TRUE(n >= 3 && n <= 8) << e.prefix;
  }
}

class VoiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log.SetEcho(false);
    for (CStreamSound& v : voices) v.SetDevice(&dev);
    Ogg ogg = ToneOgg(0.4, 48000, 1);
    for (const char* name : {"akane_0001", "mio_0002", "man_0003"})
      folder.Write(std::string("SOUND/VOICE/") + name + ".ogg", ogg.bytes);
  }
  void Line(std::initializer_list<const char*> names) {
    q.Clear();
    int i = 0;
    for (const char* n : names) q.Store(i++, n);
    q.VoiceReadIndex = 0;
    q.VoicePending = 1;
  }
  void Step(bool skipping = false) { VoiceStep(q, voices, settings, skipping, ""); }
  platform::Log log;
  GameFolder folder;
  NullSoundDevice dev;
  std::array<CStreamSound, 16> voices;
  VoiceQueueFields q;
  VoiceSettings settings;
};

TEST_F(VoiceTest, ASwitchedOffSpeakerLetsTheNextNameStandIn) {
  settings.group_enabled[0] = false;  // akane
  Line({"akane_0001", "mio_0002"});
  Step();
  EXPECT_EQ(q.VoicePending, 1);
  EXPECT_EQ(q.VoiceReadIndex, 1);
  EXPECT_EQ(q.VoiceChannel, 0);
  EXPECT_FALSE(voices[0].IsPlaying());
  Step();
  EXPECT_EQ(q.VoicePending, 0);
  EXPECT_EQ(q.VoiceChannel, 1);
  EXPECT_TRUE(voices[0].IsPlaying());
  EXPECT_EQ(voices[0].FileName(), "mio_0002.ogg");
  EXPECT_TRUE(log.Contains("voice play : SOUND\\VOICE\\mio_0002.ogg"));

  // The next line plays on the next stream; the one before fades out quickly.
  Line({"man_0003"});
  Step();
  EXPECT_TRUE(voices[1].IsPlaying());
  EXPECT_TRUE(WaitFor([&] { return !voices[0].IsPlaying(); }));
  EXPECT_EQ(q.VoiceChannel, 2);
}

TEST_F(VoiceTest, NothingStartsWhenSkippingSwitchedOffOrMissing) {
  Line({"mio_0002"});
  Step(true);  // skipping: the turn passes, no file is opened
  EXPECT_EQ(q.VoicePending, 0);
  EXPECT_EQ(q.VoiceChannel, 1);
  EXPECT_FALSE(voices[0].IsPlaying());

  settings.enabled = false;
  Line({"mio_0002"});
  Step();
  EXPECT_EQ(q.VoicePending, 1);
  EXPECT_EQ(q.VoiceReadIndex, 1);
  EXPECT_FALSE(voices[1].IsPlaying());

  settings.enabled = true;
  Line({"nobody_01"});
  Step();
  EXPECT_TRUE(log.Contains("voice play failed. (HDD): SOUND\\VOICE\\nobody_01.ogg"));
  EXPECT_EQ(q.VoicePending, 0);
  EXPECT_FALSE(voices[1].IsPlaying());

  q.VoiceChannel = 7;
  Line({"mio_0002"});
  Step();
  EXPECT_TRUE(voices[7].IsPlaying());
  EXPECT_EQ(q.VoiceChannel, 0);  // after 7 comes 0
  voices[7].Stop();
}

// ============================================================================ start-up

class AudioStartUpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    game.process.log.SetEcho(false);
    folder.WriteEmptyGame();
    folder.Write("SOUND/SE/a.wav", DcWav(4800));
    folder.Write("SOUND/BGM/a.ogg", ToneOgg(1.0, 48000, 1).bytes);
  }
  void WriteSettings(const SystemData& d) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&d);
    folder.Write("system.dat", Bytes(p, p + sizeof d));
  }
  GameFolder folder;
  HeadlessGame game;
};

TEST_F(AudioStartUpTest, EightOfEachComeUpWithTheSettingsVolumes) {
  struct Case {
    const char* name;
    int se_volume;
    uint8_t se_enabled;
    uint8_t bgm_enabled;
    int32_t se_millibels;  // an effect's volume as heard
  } cases[] = {
      {"defaults", 8, 1, 1, 0},
      {"effects at 50 %", 3, 1, 1, -1346},  // SetVolume(50): volume 51
      {"effects off, music off", 8, 0, 0, -9210},
      {"index past the table", 99, 1, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SystemData d = FirstStartSystemData();
    d.SeVolume = c.se_volume;
    d.SeEnabled = c.se_enabled;
    d.BgmEnabled = c.bgm_enabled;
    WriteSettings(d);
    HeadlessGame g;
    g.process.log.SetEcho(false);
    ASSERT_TRUE(g.Boot());
    Process& p = g.process;
    NullSoundDevice* dev = g.sound.Device();
    ASSERT_NE(dev, nullptr);
    for (int i = 0; i < 16; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(p.script_se[i].Load("SOUND\\SE\\a.wav"), i < 8);
      EXPECT_EQ(p.system_se[i].Load("SOUND\\SE\\a.wav"), i < 8);
      EXPECT_EQ(p.voices[i].Open("SOUND\\BGM\\a.ogg"), i < 8 ? 0 : -2);
    }
    EXPECT_FALSE(p.spare_se.Load("SOUND\\SE\\a.wav"));
    ASSERT_TRUE(p.system_se[3].Play(false));
    EXPECT_EQ(p.system_se[3].DeviceBuffer()->Volume(), c.se_millibels);

    ASSERT_EQ(p.town_bgm.Open("SOUND\\BGM\\a.ogg"), 0);
    ASSERT_TRUE(p.town_bgm.Play(false));
    ASSERT_TRUE(WaitFor([&] { return dev->PlayingBuffers() > 1; }));
    p.system_se[3].Stop();
    std::vector<float> heard = dev->Render(4800);
    float rms = Rms(heard, 2400, 2400);
    if (c.bgm_enabled) {
      EXPECT_NEAR(rms, 0.3536f, 0.03f);
    } else {
      EXPECT_LT(rms, 1e-4f);  // volume 1: −9210
    }
    p.town_bgm.Stop();
  }
}

TEST_F(AudioStartUpTest, WithoutASoundDeviceTheGameRunsSilent) {
  game.sound.available = false;
  ASSERT_TRUE(game.Boot());
  EXPECT_EQ(game.process.sound.Device(), nullptr);
  EXPECT_FALSE(game.process.script_se[0].Load("SOUND\\SE\\a.wav"));
  EXPECT_EQ(game.process.bgm.Open("SOUND\\BGM\\a.ogg"), -2);
  EXPECT_FALSE(game.process.bgm.Play(true));
  EXPECT_TRUE(game.Frames(3));
}

}  // namespace
