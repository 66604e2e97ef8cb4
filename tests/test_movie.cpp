// Movies: the renderer's formats, textures and conversions; the player's messages, volume, sound
// clock, dropped pictures, end and release; damaged files. The movies are encoded by the tests.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <thread>

#include "audio/sound.h"
#include "graphics/device.h"
#include "movie/movie_player.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/message_box.h"
#include "platform/movie_encode.h"
#include "support/game_folder.h"

namespace {

using testing_support::GameFolder;

constexpr int kFps = 25;

// Frame i is one flat colour whose red and green levels tell i (16 levels apart, so coding
// noise is no matter); the sound is a quiet tone.
platform::MovieEncodeSpec Spec(int w, int h, int frames, bool audio = true) {
  platform::MovieEncodeSpec s;
  s.width = w;
  s.height = h;
  s.frames = frames;
  s.fps = kFps;
  s.audio = audio;
  s.audio_rate = 48000;
  s.paint = [w, h](int i, uint8_t* rgb, int pitch) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = rgb + y * pitch + 3 * x;
        p[0] = static_cast<uint8_t>(16 + 16 * (i % 14));
        p[1] = static_cast<uint8_t>(16 + 16 * (i / 14));
        p[2] = static_cast<uint8_t>(y < h / 2 ? 200 : 40);  // top half bluer: shows the row order
      }
  };
  s.sound = [](int64_t first, float* out, int frames) {
    for (int i = 0; i < frames; ++i) {
      float v = 0.25f * std::sin(2 * 3.14159265f * 440.0f * float(first + i) / 48000.0f);
      out[2 * i] = out[2 * i + 1] = v;
    }
  };
  return s;
}

// Which frame a converted texel shows.
int FrameOf(uint32_t xrgb) {
  return (int((xrgb >> 16) & 0xFF) - 8) / 16 + 14 * ((int((xrgb >> 8) & 0xFF) - 8) / 16);
}

template <class Pred>
bool WaitFor(Pred pred, int ms = 10000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

class MovieTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device.SetMessageBoxes(&boxes);
    log.SetEcho(false);
  }
  void Encode(const std::string& name, const platform::MovieEncodeSpec& s) {
    ASSERT_TRUE(platform::EncodeMovie(folder.path() + "/" + name, s));
  }
  // The texel at (x, row) of the texture the player shows now.
  uint32_t Texel(CMoviePlayer& p, int x, int row) {
    gfx::DeviceTexture* t = p.Texture();
    int pitch = 0;
    const uint8_t* bits = t->Lock(&pitch);
    uint32_t v;
    std::memcpy(&v, bits + row * pitch + 4 * x, 4);
    t->Unlock();
    return v;
  }

  GameFolder folder;
  platform::Log log;
  platform::HeadlessMessageBoxes boxes;
  gfx::Device device{800, 600};
  platform::NullSoundDevice sound{48000};
};

// --- the renderer

TEST_F(MovieTest, AcceptsOnlyVideoInfoRgb24) {
  CMovieTexture r(device);
  using movie::MediaType;
  struct Case {
    MediaType type;
    movie::Result want;
  } cases[] = {
      {{movie::FormatType::VideoInfo, movie::MajorType::Video, movie::SubType::RGB24, 8, 8},
       movie::kOk},
      {{movie::FormatType::Other, movie::MajorType::Video, movie::SubType::RGB24, 8, 8},
       movie::kInvalidArg},
      {{movie::FormatType::VideoInfo, movie::MajorType::Audio, movie::SubType::RGB24, 8, 8},
       movie::kFail},
      {{movie::FormatType::VideoInfo, movie::MajorType::Video, movie::SubType::RGB32, 8, 8},
       movie::kFail},
  };
  for (const Case& c : cases) EXPECT_EQ(r.CheckMediaType(&c.type), c.want);
  EXPECT_EQ(r.CheckMediaType(nullptr), movie::kPointer);
  // No texture yet, no sample.
  movie::Sample s;
  EXPECT_EQ(r.DoRenderSample(&s), movie::kUnexpected);
}

TEST_F(MovieTest, PowerOfTwoTexturesAndTheirLogLine) {
  struct Case {
    int w, h, tw, th;
  } cases[] = {{320, 240, 512, 256}, {640, -480, 1024, 512}, {1, 1, 2, 2}, {256, 256, 256, 256}};
  for (const Case& c : cases) {
    CMovieTexture r(device);
    movie::MediaType t;
    t.width = c.w;
    t.height = c.h;
    ASSERT_EQ(r.SetMediaType(t), movie::kOk);
    gfx::DeviceTexture* tex = r.Texture();
    EXPECT_EQ(tex->Width(), c.tw);
    EXPECT_EQ(tex->Height(), c.th);
    EXPECT_EQ(r.Height(), std::abs(c.h));
    EXPECT_EQ(r.Pitch(), (3 * c.w + 3) & ~3);
    EXPECT_TRUE(log.Contains(std::string("movie texture size(") + std::to_string(c.tw) + " x " +
                             std::to_string(c.th) + ")"));
  }
  // A picture no texture can hold: the message, and the type refused.
  CMovieTexture r(device);
  movie::MediaType t;
  t.width = 5000;
  t.height = 16;
  EXPECT_NE(r.SetMediaType(t), movie::kOk);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text.rfind("Could not create the D3DX texture!  hr=0x", 0), 0u);
  EXPECT_EQ(boxes.shown[0].icon, platform::BoxIcon::Error);
  EXPECT_EQ(boxes.shown[0].caption, "");
  // A device that gives a format the renderer cannot fill.
  CMovieTexture odd(device, gfx::D3DFMT_R5G6B5);
  t.width = 16;
  EXPECT_EQ(odd.SetMediaType(t), movie::kTypeNotAccepted);
  EXPECT_EQ(boxes.shown.back().text, "Texture is format we can't handle! Format = 0x17");
}

// Both conversions against a per-pixel reference, on widths of every remainder mod 4, with the
// source rows padded to four bytes and copied in the order delivered.
TEST_F(MovieTest, BothConversionsMatchTheReferenceOnOddWidths) {
  for (uint32_t format : {gfx::D3DFMT_X8R8G8B8, gfx::D3DFMT_A1R5G5B5}) {
    for (int w : {4, 5, 6, 7, 13}) {
      const int h = 3;
      CMovieTexture r(device, format);
      movie::MediaType t;
      t.width = w;
      t.height = h;
      ASSERT_EQ(r.SetMediaType(t), movie::kOk);
      const int pitch = (3 * w + 3) & ~3;
      std::vector<uint8_t> src(pitch * h, 0xEE);  // padding bytes must not show
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x) src[y * pitch + x] = static_cast<uint8_t>(37 * y + 11 * x + 5);
      movie::Sample s{src.data(), src.size(), 0.0};
      ASSERT_EQ(r.DoRenderSample(&s), movie::kOk);
      gfx::DeviceTexture* tex = r.Texture();
      int tp = 0;
      const uint8_t* bits = tex->Lock(&tp);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const uint8_t* p = &src[y * pitch + 3 * x];
          const uint8_t b = p[0], g = p[1], red = p[2];
          if (format == gfx::D3DFMT_X8R8G8B8) {
            uint32_t got;
            std::memcpy(&got, bits + y * tp + 4 * x, 4);
            EXPECT_EQ(got, 0xFF000000u | red << 16 | g << 8 | b) << w << " " << x << "," << y;
          } else {
            uint16_t got;
            std::memcpy(&got, bits + y * tp + 2 * x, 2);
            EXPECT_EQ(got, 0x8000 | (red & 0xF8) << 7 | (g & 0xF8) << 2 | b >> 3)
                << w << " " << x << "," << y;
          }
        }
      // The texel right of the picture is untouched.
      if (w < tex->Width()) {
        uint32_t after = 0;
        std::memcpy(&after, bits + tex->BytesPerPixel() * w, tex->BytesPerPixel());
        EXPECT_EQ(after, 0u);
      }
      tex->Unlock();
      // A sample shorter than the picture is refused, not read past its end.
      movie::Sample short_sample{src.data(), size_t(pitch * (h - 1) + 3 * w - 1), 0.0};
      EXPECT_EQ(r.DoRenderSample(&short_sample), movie::kInvalidArg);
      EXPECT_EQ(r.DoRenderSample(nullptr), movie::kPointer);
    }
  }
}

// --- the player

TEST_F(MovieTest, OpenGivesExtentsAndTheFirstPicture) {
  Encode("a.mpg", Spec(320, 240, 10));
  CMoviePlayer p;
  ASSERT_EQ(p.Open(device, &sound, "a.mpg", true), movie::kOk);
  EXPECT_FLOAT_EQ(p.U(), 0.625f);
  EXPECT_FLOAT_EQ(p.V(), 0.9375f);
  EXPECT_NEAR(p.StopTime(), 10.0 / kFps, 0.08);
  EXPECT_TRUE(p.HasSound());
  EXPECT_TRUE(boxes.shown.empty());
  // The first picture is there before Run; its rows are bottom-up (texture row 0 is the
  // picture's last row, the less blue half).
  EXPECT_EQ(FrameOf(Texel(p, 10, 0)), 0);
  EXPECT_LT(Texel(p, 10, 0) & 0xFF, 100u);
  EXPECT_GT(Texel(p, 10, 239) & 0xFF, 150u);
  p.Close();
  EXPECT_EQ(p.Texture(), nullptr);
  EXPECT_FLOAT_EQ(p.U(), 1.0f);
}

// The stop time is the movie's length, with or without a sound track beside the pictures.
TEST_F(MovieTest, StopTimeIsTheLengthOfThePictures) {
  const struct {
    int frames;
    bool audio;
  } cases[] = {{20, false}, {20, true}, {75, false}, {1, false}};
  for (const auto& c : cases) {
    const std::string name = "len" + std::to_string(c.frames) + (c.audio ? "a" : "") + ".mpg";
    Encode(name, Spec(64, 48, c.frames, c.audio));
    CMoviePlayer p;
    ASSERT_EQ(p.Open(device, &sound, name, true), movie::kOk) << name;
    EXPECT_NEAR(p.StopTime(), double(c.frames) / kFps, 0.08) << name;
  }
}

TEST_F(MovieTest, FailuresShowTheirMessagesAndLeaveAnEmptyPlayer) {
  folder.Write("notamovie.mpg", std::vector<uint8_t>(3000, 0x41));
  struct Case {
    const char* file;
    bool audio;
    const char* message;
    movie::Result hr;
  } cases[] = {
      {"missing.mpg", true,
       "Could not add source filter to graph!  (hr==VFW_E_NOT_FOUND)\r\n\r\nThis sample reads a "
       "media file from the DirectX SDK's media path.\r\nPlease install the DirectX 9 SDK on this "
       "machine.",
       movie::kNotFound},
      {"notamovie.mpg", true, "Could not add source filter to graph!  hr=0x80040240",
       movie::kUnknownFileType},
  };
  for (const Case& c : cases) {
    boxes.shown.clear();
    CMoviePlayer p;
    EXPECT_EQ(p.Open(device, &sound, c.file, c.audio), c.hr) << c.file;
    ASSERT_EQ(boxes.shown.size(), 1u) << c.file;
    EXPECT_EQ(boxes.shown[0].text, c.message);
    EXPECT_EQ(boxes.shown[0].icon, platform::BoxIcon::Error);
    EXPECT_FALSE(p.IsOpen());
    p.Run();
    EXPECT_EQ(p.PollEnd(), 0);
    EXPECT_EQ(p.Texture(), nullptr);
  }
}

TEST_F(MovieTest, VolumeLevelsAndTheirDecibels) {
  Encode("a.mpg", Spec(64, 48, 5));
  CMoviePlayer p;
  ASSERT_EQ(p.Open(device, &sound, "a.mpg", true), movie::kOk);
  struct Case {
    int value, level, millibels;
  } cases[] = {{150, 100, 0}, {100, 100, 0}, {99, 100, 0}, {49, 50, -1386}, {0, 1, -9210},
               {-7, 1, -9210}};
  for (const Case& c : cases) {
    p.SetVolume(c.value);
    EXPECT_EQ(p.Volume(), c.level) << c.value;
    EXPECT_EQ(p.SoundBuffer()->Volume(), c.millibels) << c.value;
  }
}

// The sound's played position is the clock: pulled 10 ms at a time from the null device, the
// picture drawn always lies within one frame (40 ms) behind the sound and never ahead of it; the
// movie then completes once, with its last picture kept.
TEST_F(MovieTest, PictureFollowsTheSoundToTheEndAndTheLastPictureStays) {
  const int frames = 30;
  Encode("a.mpg", Spec(320, 240, frames));
  CMoviePlayer p;
  ASSERT_EQ(p.Open(device, &sound, "a.mpg", true), movie::kOk);
  p.Run();
  // The sound starts once the thread has decoded its first second; from then on the device's
  // frames are the movie's time.
  ASSERT_TRUE(p.CatchUp(2000));
  ASSERT_TRUE(p.SoundBuffer()->IsPlaying());
  const double length = double(frames) / kFps;
  double worst = 0;
  while (sound.FramesRendered() / 48000.0 < length - 0.010) {
    sound.Render(480);
    const double t = sound.FramesRendered() / 48000.0;
    // The movie thread catches up with the sound pulled so far: the picture due at t is shown.
    ASSERT_TRUE(p.CatchUp(2000));
    p.Texture();
    ASSERT_GE(p.DrawnPts(), t - 0.040) << "picture stuck behind sound " << t;
    EXPECT_LE(p.DrawnPts(), t + 0.001) << "picture ahead of the sound";
    worst = std::max(worst, t - p.DrawnPts());
    EXPECT_EQ(p.PollEnd(), 0) << "ended before its sound at " << t;
  }
  EXPECT_LE(worst, 0.040);
  // The rest of the sound plays out, then the movie completes.
  ASSERT_TRUE(WaitFor([&] {
    sound.Render(48);
    p.CatchUp(2000);
    return p.PollEnd() == -1 || sound.FramesRendered() > 48000 * 3;
  }));
  EXPECT_LT(sound.FramesRendered(), 48000 * 3) << "never completed";
  EXPECT_EQ(p.PollEnd(), 0);  // the end is reported once
  EXPECT_GE(sound.FramesRendered() / 48000.0, (frames - 1.0) / kFps);
  EXPECT_EQ(p.FramesShown() + p.FramesDropped(), frames);
  EXPECT_EQ(FrameOf(Texel(p, 5, 5)), frames - 1);
  EXPECT_FALSE(p.SoundBuffer()->IsPlaying());
  // Run at the end completes again at once rather than never.
  p.Run();
  EXPECT_EQ(p.PollEnd(), -1);
}

// A Run that comes while the thread still decodes the start waits for it; a Stop before then
// means the movie never starts.
TEST_F(MovieTest, AStopBeforeTheStartIsReadyKeepsTheMovieStill) {
  Encode("s.mpg", Spec(320, 240, 30));
  CMoviePlayer p;
  ASSERT_EQ(p.Open(device, &sound, "s.mpg", true), movie::kOk);
  p.Run();
  p.Stop();
  ASSERT_TRUE(p.CatchUp(2000));
  EXPECT_FALSE(p.SoundBuffer()->IsPlaying());
  sound.Render(4800);
  ASSERT_TRUE(p.CatchUp(2000));
  EXPECT_EQ(FrameOf(Texel(p, 5, 5)), 0);  // still the first picture
  p.Run();
  ASSERT_TRUE(p.CatchUp(2000));
  EXPECT_TRUE(p.SoundBuffer()->IsPlaying());
}

// Without sound the clock keeps time; a clock that jumps past several pictures shows the newest
// one due and drops the rest.
TEST_F(MovieTest, LatePicturesAreDroppedOnAMovieWithoutSound) {
  Encode("quiet.mpg", Spec(64, 48, 20, false));
  platform::ManualClock clock;
  CMoviePlayer p;
  p.SetClock(&clock);
  ASSERT_EQ(p.Open(device, &sound, "quiet.mpg", true), movie::kOk);
  EXPECT_FALSE(p.HasSound());
  p.Run();
  EXPECT_EQ(p.FramesShown(), 1);
  clock.Advance(205);  // frames 1-5 are due; 5 is shown, 1-4 dropped
  ASSERT_TRUE(WaitFor([&] {
    p.Texture();
    return p.DrawnPts() >= 0.2 - 1e-6;
  }));
  EXPECT_EQ(FrameOf(Texel(p, 3, 3)), 5);
  EXPECT_EQ(p.FramesDropped(), 4);
  // Stopped, the clock holds.
  p.Stop();
  ASSERT_TRUE(WaitFor([&] { return p.ClockSeconds() >= 0.205 - 1e-6; }));
  clock.Advance(1000);
  p.Run();
  clock.Advance(100);
  ASSERT_TRUE(WaitFor([&] { return p.ClockSeconds() >= 0.305 - 1e-6; }));
  EXPECT_LT(p.ClockSeconds(), 0.5);
  clock.Advance(1000);
  EXPECT_TRUE(WaitFor([&] { return p.PollEnd() == -1; }));
  EXPECT_EQ(p.FramesShown() + p.FramesDropped(), 20);
}

// Damaged files play what they can and end as if completed; never a hang.
TEST_F(MovieTest, TruncatedAndCorruptFilesEndAsCompleted) {
  Encode("a.mpg", Spec(160, 120, 25));
  std::vector<uint8_t> whole = folder.Read("a.mpg");
  std::vector<uint8_t> truncated(whole.begin(), whole.begin() + whole.size() / 2);
  std::vector<uint8_t> corrupt = whole;
  for (size_t i = corrupt.size() / 4; i < corrupt.size(); i += 97) corrupt[i] ^= 0x5A;
  folder.Write("half.mpg", truncated);
  folder.Write("bad.mpg", corrupt);
  for (const char* name : {"half.mpg", "bad.mpg"}) {
    boxes.shown.clear();
    CMoviePlayer p;
    movie::Result r = p.Open(device, &sound, name, true);
    if (r != movie::kOk) {  // a refusal must come with its message
      EXPECT_EQ(boxes.shown.size(), 1u);
      continue;
    }
    p.Run();
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {  // 3 s of sound at most for a 1 s movie
      sound.Render(480);
      ended = p.PollEnd() == -1;
    }
    if (!ended) ended = WaitFor([&] {
      sound.Render(480);
      return p.PollEnd() == -1;
    });
    EXPECT_TRUE(ended) << name;
  }
}

// The frame loop draws the movie while the movie thread converts into it; closing while the thread
// is mid-frame is safe (and ThreadSanitizer finds no race in either).
TEST_F(MovieTest, DrawingWhileDecodingAndClosingMidFrame) {
  Encode("a.mpg", Spec(320, 240, 25));
  for (int round = 0; round < 4; ++round) {
    CMoviePlayer p;
    ASSERT_EQ(p.Open(device, &sound, "a.mpg", true), movie::kOk);
    p.Run();
    const int64_t target = 3 + round * 4;
    while (p.FramesShown() + p.FramesDropped() < target && p.PollEnd() == 0) {
      sound.Render(960);
      gfx::TLVertex v[4];
      v[1].x = 800;
      v[2].y = 600;
      v[3].x = 800;
      v[3].y = 600;
      v[0].v = v[1].v = p.V();
      v[1].u = v[3].u = p.U();
      device.SetTexture(p.Texture());
      device.DrawPrimitiveUP(gfx::PrimitiveType::TriangleStrip, 2, v);
      // A whole frame is drawn: every pixel of the picture shows one and the same frame.
      const uint32_t* f = device.Frame();
      const int first = FrameOf(f[300 * 800 + 10]);
      EXPECT_EQ(FrameOf(f[10 * 800 + 790]), first);
      EXPECT_EQ(FrameOf(f[590 * 800 + 400]), first);
    }
    device.SetTexture(nullptr);
    p.Close();  // the thread may be converting right now
  }
}

}  // namespace
