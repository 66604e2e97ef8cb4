// The demo's generated content: democontent is run into a fresh folder. Every sound the game
// loads by a fixed name (and the demo's own effects, music and voices) must load the way the
// engine loads it, in the format it was made in, audible, unclipped, and, when it is meant to
// loop, without a click where the end meets the start. Every picture must pass the engine's own
// loader at the size the engine takes it in, with its art where the engine cuts it out.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
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
#include "graphics/glyph_font.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/movie_decoder.h"
#include "platform/sound_device.h"
#include "resource/image.h"

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
  // Everything generated; an archive's entries are under its name ("system", "grp").
  stdfs::path Root() const { return dir_; }
  stdfs::path Archive(const char* name) const { return dir_ / name; }

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

// ---- pictures ----------------------------------------------------------------------------

enum class Loader { Png32, Png16, Glyphs4 };

struct Picture {
  const char* path;  // under OUTDIR, as the packing step finds it
  Loader loader;
  int width, height;
};

// clang-format off
const Picture kPictures[] = {
    // The engine refuses these unless they are 256 × 256 (the system textures, the dialog art,
    // the text box's band pictures and its 16-bit glyph sheet).
    {"system/SYSTEM/systex1.png",        Loader::Png32,   256, 256},
    {"system/SYSTEM/systex2.png",        Loader::Png32,   256, 256},
    {"system/SYSTEM/systex3.png",        Loader::Png32,   256, 256},
    {"system/SYSTEM/dialog_base1.png",   Loader::Png32,   256, 256},
    {"system/textbox/textbox_bg1.png",   Loader::Png32,   256, 256},
    {"system/textbox/textbox_bg2.png",   Loader::Png32,   256, 256},
    {"system/textbox/text_table1.png",   Loader::Png16,   256, 256},
    {"system/textbox/default_font.bmp",  Loader::Glyphs4, 128, 128},
    // Cut into 16 × 16 tiles by fixed grids: the timed choice 44 × 12, backgrounds 50 × 38.
    {"system/SYSTEM/battle_select.png",  Loader::Png32,   704, 192},
    {"system/SYSTEM/blank.png",          Loader::Png32,   800, 600},
    {"grp/BG/bg01.png",                  Loader::Png32,   800, 600},
    {"grp/BG/bg02.png",                  Loader::Png32,   800, 600},
    {"grp/BG/bg03.png",                  Loader::Png32,   800, 600},
    {"grp/BG/bg04.png",                  Loader::Png32,   800, 600},
    {"grp/BG/bg05.png",                  Loader::Png32,   800, 600},
    // Characters and animation frames: one character buffer, 512 × 600.
    {"grp/CHR/akane01.png",              Loader::Png32,   512, 600},
    {"grp/CHR/akane02.png",              Loader::Png32,   512, 600},
    {"grp/CHR/hina01.png",               Loader::Png32,   512, 600},
    {"grp/CHR/hina02.png",               Loader::Png32,   512, 600},
    {"grp/CHR/mio01.png",                Loader::Png32,   512, 600},
    {"grp/CHR/mio02.png",                Loader::Png32,   512, 600},
    {"grp/CHR/lantern1.png",             Loader::Png32,   512, 600},
    {"grp/CHR/lantern2.png",             Loader::Png32,   512, 600},
    {"grp/CHR/lantern3.png",             Loader::Png32,   512, 600},
    {"grp/CHR/lantern4.png",             Loader::Png32,   512, 600},
};
// clang-format on

CImage32 LoadPng(const stdfs::path& path) {
  const std::vector<uint8_t> bytes = ReadFile(path);
  CImage32 image;
  if (image.LoadFromPNGMemory(bytes.data(), bytes.size()) != 0) image.Release();
  return image;
}

uint8_t AlphaAt(const CImage32& image, int x, int y) {
  return image.Pixels()[(static_cast<size_t>(y) * image.Width() + x) * 4 + 3];
}

// Pixels of the rectangle whose alpha is above 0.
int Inked(const CImage32& image, int x0, int y0, int x1, int y1) {
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) n += AlphaAt(image, x, y) > 0;
  return n;
}

uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TEST_F(DemoContentTest, EveryPictureLoadsAtTheSizeTheEngineTakes) {
  for (const Picture& p : kPictures) {
    SCOPED_TRACE(p.path);
    const stdfs::path path = generated_->Root() / p.path;
    const std::vector<uint8_t> bytes = ReadFile(path);
    ASSERT_FALSE(bytes.empty());
    switch (p.loader) {
      case Loader::Png32: {
        CImage32 image;
        ASSERT_EQ(image.LoadFromPNGMemory(bytes.data(), bytes.size()), 0);
        EXPECT_EQ(image.Width(), p.width);
        EXPECT_EQ(image.Height(), p.height);
        break;
      }
      case Loader::Png16: {
        CImage16 image;
        ASSERT_EQ(image.LoadFromPNG16Memory(bytes.data(), bytes.size()), 0);
        EXPECT_EQ(image.Width(), p.width);
        EXPECT_EQ(image.Height(), p.height);
        break;
      }
      case Loader::Glyphs4: {
        // The fields the engine reads: bits per pixel at 28, height at 22, the pixels from
        // byte 118 on; and the ones other readers of a bitmap need to agree with them.
        ASSERT_EQ(bytes.size(), 118u + 8192u);
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(Read32(bytes, 2), bytes.size());
        EXPECT_EQ(Read32(bytes, 10), 118u);
        EXPECT_EQ(Read32(bytes, 14), 40u);
        EXPECT_EQ(Read32(bytes, 18), static_cast<uint32_t>(p.width));
        EXPECT_EQ(Read32(bytes, 22), static_cast<uint32_t>(p.height));
        EXPECT_EQ(bytes[28] | bytes[29] << 8, 4);
        SpecialGlyphs glyphs;
        EXPECT_TRUE(LoadSpecialGlyphsFromMemory(bytes, glyphs));
        break;
      }
    }
  }
}

// Each special glyph has ink, no two are alike, and the file's bottom-up rows come out upright:
// the circled numbers sit low in their cells (the text box lifts special glyphs by 8 pixels), so
// a picture stored top-down would put their ink in the upper half.
TEST_F(DemoContentTest, TheSpecialGlyphsAreSixteenUprightSigns) {
  SpecialGlyphs glyphs;
  ASSERT_TRUE(LoadSpecialGlyphsFromMemory(
      ReadFile(generated_->Archive("system") / "textbox" / "default_font.bmp"), glyphs));
  std::vector<std::vector<int>> cells;
  for (int n = 0; n < 16; ++n) {
    SCOPED_TRACE(n);
    std::vector<int> levels;
    long ink = 0, weighted_row = 0;
    for (int row = 0; row < 32; ++row)
      for (int column = 0; column < 32; ++column) {
        const int v = glyphs.Level(n, column, row);
        levels.push_back(v);
        ink += v;
        weighted_row += static_cast<long>(v) * row;
      }
    ASSERT_GT(ink, 15 * 40);
    EXPECT_GT(static_cast<double>(weighted_row) / ink, 17.0);
    for (const std::vector<int>& earlier : cells) EXPECT_NE(levels, earlier);
    cells.push_back(levels);
  }
}

// The wait cursor is the 14 cells 26-39 of the 16-bit sheet; each frame has visible texels and
// the frames move. The cells the engine fills at run time with text and names stay empty.
TEST_F(DemoContentTest, TheWaitCursorFramesAnimate) {
  const std::vector<uint8_t> bytes =
      ReadFile(generated_->Archive("system") / "textbox" / "text_table1.png");
  CImage16 sheet;
  ASSERT_EQ(sheet.LoadFromPNG16Memory(bytes.data(), bytes.size()), 0);
  auto cell = [&](int c) {
    std::vector<uint16_t> texels;
    for (int row = 0; row < 32; ++row)
      for (int column = 0; column < 32; ++column)
        texels.push_back(sheet.Pixels()[((c / 8) * 32 + row) * 256 + (c % 8) * 32 + column]);
    return texels;
  };
  auto visible = [](const std::vector<uint16_t>& t) {
    return std::count_if(t.begin(), t.end(), [](uint16_t v) { return (v >> 12) >= 8; });
  };
  for (int c = 0; c < 64; ++c) {
    SCOPED_TRACE(c);
    if (c >= 26 && c < 40) {
      EXPECT_GT(visible(cell(c)), 40);
      EXPECT_NE(cell(c), cell(c == 39 ? 26 : c + 1));
    } else {
      EXPECT_EQ(visible(cell(c)), 0);
    }
  }
}

// Characters stand free: clear at the top corners, solid in the body, with soft edges between
// (partly transparent pixels), and a picture's two expressions differ in the face only.
TEST_F(DemoContentTest, CharactersHaveSoftEdgesAndTwoFaces) {
  for (const char* name : {"akane", "hina", "mio"}) {
    SCOPED_TRACE(name);
    const stdfs::path chr = generated_->Archive("grp") / "CHR";
    const CImage32 a = LoadPng(chr / (std::string(name) + "01.png"));
    const CImage32 b = LoadPng(chr / (std::string(name) + "02.png"));
    ASSERT_EQ(a.Width(), 512);
    ASSERT_EQ(b.Width(), 512);
    EXPECT_EQ(AlphaAt(a, 0, 0), 0);
    EXPECT_EQ(AlphaAt(a, 511, 0), 0);
    EXPECT_EQ(AlphaAt(a, 256, 500), 255);
    int soft = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 512; ++x) soft += AlphaAt(a, x, y) > 0 && AlphaAt(a, x, y) < 255;
    EXPECT_GT(soft, 200);
    // The face (around y 150-290) changes; the body below stays.
    int face = 0, body = 0;
    for (int y = 0; y < 600; ++y)
      for (int x = 0; x < 512; ++x) {
        const size_t at = (static_cast<size_t>(y) * 512 + x) * 4;
        const bool differs = std::memcmp(a.Pixels() + at, b.Pixels() + at, 4) != 0;
        (y < 300 ? face : body) += differs;
      }
    EXPECT_GT(face, 200);
    EXPECT_EQ(body, 0);
  }
}

// The text box's band is see-through where the text goes, and the name plate is painted in the
// region the engine cuts it from; the rest of picture 2's lower half is never drawn.
TEST_F(DemoContentTest, TheTextBoxBandAndNamePlateAreWhereTheEngineCutsThem) {
  const stdfs::path box = generated_->Archive("system") / "textbox";
  const CImage32 bg1 = LoadPng(box / "textbox_bg1.png");
  const CImage32 bg2 = LoadPng(box / "textbox_bg2.png");
  ASSERT_EQ(bg1.Width(), 256);
  ASSERT_EQ(bg2.Width(), 256);
  for (const CImage32* strip : {&bg1, &bg2}) {
    const uint8_t a = AlphaAt(*strip, 100, 60);
    EXPECT_GT(a, 150);
    EXPECT_LT(a, 255);
  }
  EXPECT_GT(AlphaAt(bg1, 100, 128 + 60), 150);  // band columns 256-511
  EXPECT_GT(AlphaAt(bg2, 16, 128 + 60), 150);   // band columns 768-799
  EXPECT_GT(Inked(bg2, 32, 128, 256, 176), 224 * 40);
  EXPECT_EQ(Inked(bg2, 32, 176, 256, 256), 0);
}

}  // namespace

// Three movies in two sizes, each with its sound, a few seconds long, and not the same picture.
TEST_F(DemoContentTest, TheMoviesOpenInBothSizesWithSound) {
  const struct {
    const char* folder;
    int w, h;
  } sizes[] = {{"HIGH", 640, 480}, {"LOW", 320, 240}};
  for (const auto& size : sizes) {
    std::vector<uint8_t> middles;
    for (int n = 1; n <= 3; ++n) {
      const std::string path = std::string("MOVIE\\") + size.folder + "\\00" + std::to_string(n) + ".mpg";
      SCOPED_TRACE(path);
      platform::MovieOpenResult r;
      auto d = platform::MovieDecoder::Open(path, true, {}, &r);
      ASSERT_TRUE(d);
      const platform::MovieStreams& st = d->Streams();
      EXPECT_TRUE(st.mpeg_stream);
      EXPECT_EQ(st.width, size.w);
      EXPECT_EQ(st.height, size.h);
      ASSERT_TRUE(st.has_audio);
      EXPECT_EQ(st.audio_channels, 2);
      int pictures = 0;
      double loudest = 0;
      for (auto out = d->Next(); out != platform::MovieDecoder::Output::End; out = d->Next()) {
        if (out == platform::MovieDecoder::Output::Video) {
          if (++pictures == 40) {
            const platform::MovieSample& s = d->Sample();
            // The middle of the car's row, bottom-up: a pixel of its body.
            middles.push_back(s.bits[static_cast<size_t>(s.pitch) * (size.h / 8) + 3 * (size.w / 2) + 2]);
          }
        } else {
          const platform::MovieAudio& a = d->Audio();
          for (int i = 0; i < a.frames * 2; ++i) loudest = std::max(loudest, std::abs(a.samples[i] / 32768.0));
        }
      }
      EXPECT_EQ(pictures, 75);
      EXPECT_GT(loudest, 0.1);
      EXPECT_LT(loudest, 0.99);
    }
    ASSERT_EQ(middles.size(), 3u);
    EXPECT_FALSE(middles[0] == middles[1] && middles[1] == middles[2]);
  }
}
