// The demo's generated sounds: democontent is run into a fresh folder, and every sound the game
// loads by a fixed name (and the demo's own effects, music and voices) must load the way the
// engine loads it, in the format it was made in, audible, unclipped, and, when it is meant to
// loop, without a click where the end meets the start.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "audio/sound.h"
#include "audio/stream_sound.h"
#include "audio/voice.h"
#include "audio/wave_file.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/sound_device.h"

namespace {

namespace stdfs = std::filesystem;

struct Expected {
  const char* path;  // game path under the game folder
  int channels;
  int rate;
  double min_s, max_s;
  bool loops;    // played looped: the end must run into the start smoothly
  int category;  // voices: the speaker category of the name; -1 for other files
};

// clang-format off
const Expected kSounds[] = {
    // The title screen's system effects, and the timed choice's beeps.
    {"SOUND\\SE\\SYSTEM\\ok.wav",      1, 22050, 0.05, 1.0, false, -1},
    {"SOUND\\SE\\SYSTEM\\cancel.wav",  1, 22050, 0.05, 1.0, false, -1},
    {"SOUND\\SE\\SYSTEM\\logo.wav",    2, 44100, 1.0,  4.0, false, -1},
    {"SOUND\\SE\\SYSTEM\\test.wav",    1, 22050, 0.2,  2.0, false, -1},
    {"SOUND\\SE\\SYSTEM\\watch01.wav", 1, 22050, 0.5,  2.0, true,  -1},
    {"SOUND\\SE\\SYSTEM\\beep01.wav",  1, 22050, 0.05, 1.0, false, -1},
    {"SOUND\\SE\\SYSTEM\\beep02.wav",  1, 22050, 0.2,  1.5, false, -1},
    // Script effects.
    {"SOUND\\SE\\chime.wav",           2, 44100, 1.0,  4.0, false, -1},
    {"SOUND\\SE\\door.wav",            1, 22050, 0.5,  3.0, false, -1},
    {"SOUND\\SE\\footsteps.wav",       1, 22050, 1.0,  4.0, false, -1},
    {"SOUND\\SE\\rain.wav",            2, 44100, 2.0,  8.0, true,  -1},
    {"SOUND\\SE\\engine.wav",          1, 22050, 1.0,  4.0, true,  -1},
    // The title music, the town map's music and the music room's twenty pieces.
    {"SOUND\\BGM\\title.ogg",          2, 44100, 10, 40, true, -1},
    {"SOUND\\BGM\\RZ_MAP.ogg",         2, 44100, 5,  30, true, -1},
    {"SOUND\\BGM\\RZ_OP.ogg",          2, 44100, 5,  30, true, -1},
    {"SOUND\\BGM\\RZ_ED.ogg",          2, 44100, 5,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm02.ogg",       2, 44100, 5,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm03.ogg",       2, 44100, 5,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm04.ogg",       2, 44100, 5,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm05.ogg",       2, 44100, 5,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm06.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm08.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm09.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm10.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm11.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm12.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm13.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm14.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm15.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm16.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm17.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm18.ogg",       2, 32000, 3,  30, true, -1},
    {"SOUND\\BGM\\RZ_bgm19.ogg",       2, 32000, 3,  30, true, -1},
    // Voices: three speakers of their own and a passer-by of "other men".
    {"SOUND\\VOICE\\akane_0001.ogg",   1, 22050, 0.5, 3.0, false, 1},
    {"SOUND\\VOICE\\akane_0002.ogg",   1, 22050, 0.5, 3.0, false, 1},
    {"SOUND\\VOICE\\akane_0003.ogg",   1, 22050, 0.5, 3.0, false, 1},
    {"SOUND\\VOICE\\hina_0001.ogg",    1, 22050, 0.5, 3.0, false, 2},
    {"SOUND\\VOICE\\hina_0002.ogg",    1, 22050, 0.5, 3.0, false, 2},
    {"SOUND\\VOICE\\hina_0003.ogg",    1, 22050, 0.5, 3.0, false, 2},
    {"SOUND\\VOICE\\mio_0001.ogg",     1, 22050, 0.5, 3.0, false, 3},
    {"SOUND\\VOICE\\mio_0002.ogg",     1, 22050, 0.5, 3.0, false, 3},
    {"SOUND\\VOICE\\mio_0003.ogg",     1, 22050, 0.5, 3.0, false, 3},
    {"SOUND\\VOICE\\man_0001.ogg",     1, 22050, 0.5, 3.0, false, 7},
};
// clang-format on

// Runs democontent into a fresh folder; removed again with the object.
class Generated {
 public:
  Generated() {
    char pattern[] = "/tmp/lanthorn-democontent-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return;
    dir_ = pattern;
    const char* build = std::getenv("LANTHORN_BUILD_DIR");
    if (build == nullptr) return;
    const std::string command = std::string("'") + build + "/tools/democontent/democontent' '" +
                                dir_.string() + "' > /dev/null";
    const int status = std::system(command.c_str());
    ok_ = status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  ~Generated() {
    std::error_code ignored;
    if (!dir_.empty()) stdfs::remove_all(dir_, ignored);
  }
  Generated(const Generated&) = delete;
  Generated& operator=(const Generated&) = delete;

  bool ok() const { return ok_; }
  // The loose files, as they are copied into the game folder.
  stdfs::path Files() const { return dir_ / "files"; }

 private:
  stdfs::path dir_;
  bool ok_ = false;
};

// The sound as frames of interleaved samples in -1..1, with its format.
struct Decoded {
  int channels = 0;
  int rate = 0;
  std::vector<float> samples;
  double Seconds() const {
    return channels && rate ? static_cast<double>(samples.size()) / channels / rate : 0;
  }
};

std::vector<uint8_t> ReadFile(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Through the engine's own WAV scans.
Decoded DecodeWav(const std::string& host_path) {
  Decoded d;
  const std::vector<uint8_t> bytes = ReadFile(host_path);
  WaveData wave;
  if (!ParseWave(bytes, wave) || wave.format.bits_per_sample != 16) return d;
  d.channels = wave.format.channels;
  d.rate = static_cast<int>(wave.format.samples_per_sec);
  for (size_t at = wave.pcm_offset; at + 1 < wave.pcm_offset + wave.pcm_bytes; at += 2)
    d.samples.push_back(static_cast<int16_t>(bytes[at] | bytes[at + 1] << 8) / 32768.0f);
  return d;
}

struct OvCloser {
  void operator()(OggVorbis_File* f) const {
    ov_clear(f);
    delete f;
  }
};

Decoded DecodeOgg(const std::string& host_path) {
  Decoded d;
  std::unique_ptr<OggVorbis_File, OvCloser> file(new OggVorbis_File);
  if (ov_fopen(host_path.c_str(), file.get()) != 0) {
    delete file.release();  // ov_fopen cleared what it had opened
    return d;
  }
  const vorbis_info* info = ov_info(file.get(), -1);
  d.channels = info->channels;
  d.rate = static_cast<int>(info->rate);
  char pcm[4096];
  int section = 0;
  for (long n; (n = ov_read(file.get(), pcm, sizeof pcm, 0, 2, 1, &section)) != 0;) {
    if (n < 0) continue;  // a damaged packet: skipped, as the engine does
    for (long i = 0; i + 1 < n; i += 2)
      d.samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(pcm[i]) |
                                               static_cast<uint8_t>(pcm[i + 1]) << 8) /
                          32768.0f);
  }
  return d;
}

float Peak(const Decoded& d) {
  float peak = 0;
  for (float v : d.samples) peak = std::max(peak, std::abs(v));
  return peak;
}

// The largest step from one frame to the next in any channel, the step from frame `from` to
// frame from + 1 (cyclically), over `count` steps.
float LargestStep(const Decoded& d, long from, long count) {
  const long frames = static_cast<long>(d.samples.size()) / d.channels;
  float largest = 0;
  for (long k = 0; k < count; ++k) {
    const long a = ((from + k) % frames + frames) % frames, b = (a + 1) % frames;
    for (int c = 0; c < d.channels; ++c)
      largest = std::max(largest, std::abs(d.samples[b * d.channels + c] -
                                           d.samples[a * d.channels + c]));
  }
  return largest;
}

class DemoContentTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { generated_ = new Generated; }
  static void TearDownTestSuite() {
    delete generated_;
    generated_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(generated_->ok()) << "democontent failed (is LANTHORN_BUILD_DIR set?)";
    previous_ = platform::fs::CurrentFolder();
    ASSERT_TRUE(platform::fs::SetCurrentFolder(generated_->Files().string()));
    log_.SetEcho(false);
  }
  void TearDown() override { platform::fs::SetCurrentFolder(previous_); }

  static Generated* generated_;
  std::string previous_;
  platform::Log log_;
};
Generated* DemoContentTest::generated_ = nullptr;

TEST_F(DemoContentTest, EverySoundLoadsAsTheEngineLoadsIt) {
  platform::NullSoundDevice device;
  for (const Expected& e : kSounds) {
    SCOPED_TRACE(e.path);
    const std::string game_path = e.path;
    ASSERT_TRUE(platform::fs::Exists(game_path));
    const std::string host = platform::fs::HostPath(game_path);
    const bool wav = game_path.ends_with(".wav");
    Decoded d;
    if (wav) {
      CSoundBuffer effect;
      effect.SetDevice(&device);
      ASSERT_TRUE(effect.Load(game_path));
      const platform::PcmFormat& f = effect.DeviceBuffer()->Format();
      EXPECT_EQ(f.channels, e.channels);
      EXPECT_EQ(f.samples_per_sec, e.rate);
      EXPECT_EQ(f.bits_per_sample, 16);
      d = DecodeWav(host);
      EXPECT_EQ(effect.DeviceBuffer()->Size(), d.samples.size() * 2);
    } else {
      CStreamSound stream;
      ASSERT_EQ(stream.SetDevice(&device), 0);
      ASSERT_EQ(stream.Open(game_path), 0);
      stream.Stop();  // closes the file
      d = DecodeOgg(host);
    }
    EXPECT_EQ(d.channels, e.channels);
    EXPECT_EQ(d.rate, e.rate);
    ASSERT_FALSE(d.samples.empty());
    EXPECT_GE(d.Seconds(), e.min_s);
    EXPECT_LE(d.Seconds(), e.max_s);
    // Heard, and made with headroom: nothing at full scale.
    EXPECT_GT(Peak(d), 0.1f);
    EXPECT_LT(Peak(d), 0.99f);
    if (e.loops) {
      // The step from the last frame to the first is no rougher than the sound around it.
      const float seam = LargestStep(d, -1, 1);
      const float around = std::max(LargestStep(d, -65, 64), LargestStep(d, 0, 64));
      EXPECT_LE(seam, 1.5f * around + 0.01f);
    } else {
      // A sound played once starts and ends near silence: no click at either end.
      const long frames = static_cast<long>(d.samples.size()) / d.channels;
      for (int c = 0; c < d.channels; ++c) {
        EXPECT_LT(std::abs(d.samples[c]), 0.05f);
        EXPECT_LT(std::abs(d.samples[(frames - 1) * d.channels + c]), 0.05f);
      }
    }
    if (e.category >= 0) {
      const std::string name = stdfs::path(host).stem().string();
      EXPECT_EQ(VoiceCategory(name), e.category) << name;
    }
  }
}

// The build makes the same sounds every time, however the generator's threads are scheduled.
TEST_F(DemoContentTest, TheSoundsAreTheSameOnEveryRun) {
  Generated again;
  ASSERT_TRUE(again.ok());
  for (const Expected& e : kSounds) {
    SCOPED_TRACE(e.path);
    std::string relative = e.path;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    EXPECT_EQ(ReadFile(generated_->Files() / relative), ReadFile(again.Files() / relative));
  }
}

}  // namespace
