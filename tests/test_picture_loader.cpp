// The picture loader: what it hands over is what a decode on the frame gives (pictures and
// failures alike), however far ahead it was asked for; the memory cap and the number expected
// hold whatever a caller asks; pictures no longer expected are let go. Also run under TSan.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "resource/image.h"
#include "resource/pack_writer.h"
#include "resource/picture_loader.h"
#include "resource/png_decode.h"
#include "resource/png_encode.h"

namespace {

// A picture whose pixels depend on (x, y) and a seed, so two pictures never look alike.
std::vector<uint8_t> Picture(int w, int h, uint32_t seed) {
  CImage32 image;
  image.Create(w, h);
  uint8_t* p = image.Pixels();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x, p += 4) {
      const uint32_t c = (seed * 2654435761u) ^ static_cast<uint32_t>(x * 7 + y * 131);
      std::memcpy(p, &c, 4);
    }
  return *EncodePNG(image, PngChannels::Rgba);
}

// The bytes a decode of the picture holds at its peak (pixels and rows), as the cap counts them.
size_t PeakOf(const std::vector<uint8_t>& png) {
  return static_cast<size_t>(PngDecodePeakBytes(png.data(), png.size())) + png.size() + 1;
}

void ExpectSameAsDirect(PictureLoader& loader, const CPackFile& archive, const std::string& name) {
  CImage32 direct, loaded;
  const int want = direct.LoadFromPNG(name, archive);
  loaded.Create(3, 3);  // whatever it held before must go
  EXPECT_EQ(loader.Load(archive, name, loaded), want) << name;
  ASSERT_EQ(loaded.Width(), direct.Width()) << name;
  ASSERT_EQ(loaded.Height(), direct.Height()) << name;
  if (direct.Pixels())
    EXPECT_EQ(std::memcmp(loaded.Pixels(), direct.Pixels(), static_cast<size_t>(direct.ByteSize())), 0)
        << name;
  else
    EXPECT_EQ(loaded.Pixels(), nullptr) << name;
}

class PictureLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<uint8_t> cut = Picture(64, 48, 9);
    cut.resize(cut.size() / 2);
    const std::vector<uint8_t> grey = [] {
      // A greyscale PNG: its header reads, but the 32-bit loader refuses it.
      CImage16 image;
      image.Create(8, 8);
      return *EncodePNG16(image);
    }();
    std::vector<PackSource> entries = {{"A.PNG", Picture(64, 48, 1)},
                                       {"B.PNG", Picture(80, 60, 2)},
                                       {"CUT.PNG", cut},
                                       {"GREY.PNG", grey},
                                       {"JUNK.PNG", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'}}};
    for (int i = 0; i < kMany; ++i)
      entries.push_back({"MANY" + std::to_string(i) + ".PNG", Picture(64, 48, 100 + i)});
    picture_bytes = PeakOf(entries[0].data);
    const std::vector<uint8_t> pack = *BuildPack(entries);
    std::string t = (std::filesystem::temp_directory_path() / "lanthorn-pictures-XXXXXX").string();
    const int fd = ::mkstemp(t.data());
    ASSERT_GE(fd, 0);
    ::close(fd);
    path = t;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(pack.data()), static_cast<std::streamsize>(pack.size()));
    ASSERT_TRUE(archive.OpenHostFile(path.string()));
  }
  void TearDown() override { std::filesystem::remove(path); }

  static constexpr int kMany = 300;
  std::filesystem::path path;
  CPackFile archive;
  size_t picture_bytes = 0;  // what one 64 × 48 picture costs the cap
};

TEST_F(PictureLoaderTest, HandsOverWhatADecodeOnTheFrameGives) {
  // Good pictures, a cut one, one of a refused kind, one that is no PNG and a missing name,
  // each taken decoded ahead, asked for before anything was expected, and with no workers.
  const std::vector<std::string> names = {"A.PNG", "B.PNG", "CUT.PNG", "GREY.PNG", "JUNK.PNG",
                                          "NONE.PNG", "A.PNG"};
  std::vector<PictureLoader::Wanted> wanted;
  for (const std::string& n : names) wanted.push_back({&archive, n});

  PictureLoader ahead(2);
  ahead.Expect(wanted);
  ahead.WaitIdle();
  for (const std::string& n : names) ExpectSameAsDirect(ahead, archive, n);
  EXPECT_EQ(ahead.Expected(), 0u);
  EXPECT_EQ(ahead.HeldBytes(), 0u);

  PictureLoader racing(2);  // taken while the workers may still be at them
  racing.Expect(wanted);
  for (const std::string& n : names) ExpectSameAsDirect(racing, archive, n);

  PictureLoader none(0);
  none.Expect(wanted);
  EXPECT_EQ(none.Expected(), 0u);
  for (const std::string& n : names) ExpectSameAsDirect(none, archive, n);
}

TEST_F(PictureLoaderTest, HundredsExpectedStayWithinTheCapAndTheCount) {
  PictureLoader::Limits limits;
  limits.cap_bytes = 3 * picture_bytes;  // three pictures decoded ahead at most
  limits.max_ahead = 16;
  PictureLoader loader(2, limits);
  std::vector<PictureLoader::Wanted> wanted;
  for (int i = 0; i < kMany; ++i) wanted.push_back({&archive, "MANY" + std::to_string(i) + ".PNG"});

  // The script moves on one picture at a time; each step expects all the rest again.
  for (int i = 0; i < kMany; i += 37) {
    loader.Expect(std::span(wanted).subspan(static_cast<size_t>(i)));
    EXPECT_LE(loader.Expected(), limits.max_ahead);
    loader.WaitIdle();
    EXPECT_LE(loader.HeldBytes(), limits.cap_bytes);
    ExpectSameAsDirect(loader, archive, wanted[static_cast<size_t>(i)].name);
  }
  EXPECT_LE(loader.PeakBytes(), limits.cap_bytes);
  EXPECT_GE(loader.PeakBytes(), picture_bytes);  // it did decode ahead

  // A cap below one picture's decode (its pixels alone, without rows and entry) decodes nothing
  // ahead, and every load still gives its picture.
  limits.cap_bytes = 64 * 48 * 4;
  PictureLoader tight(2, limits);
  tight.Expect(wanted);
  tight.WaitIdle();
  EXPECT_EQ(tight.HeldBytes(), 0u);
  ExpectSameAsDirect(tight, archive, "MANY0.PNG");
}

TEST_F(PictureLoaderTest, PicturesNoLongerExpectedAreLetGo) {
  PictureLoader loader(2);
  const PictureLoader::Wanted a{&archive, "A.PNG"}, b{&archive, "B.PNG"};
  const PictureLoader::Wanted both[] = {a, b};
  loader.Expect(both);
  loader.WaitIdle();
  const size_t held_both = loader.HeldBytes();
  loader.Expect(std::span(both, 1));  // only A now
  EXPECT_EQ(loader.Expected(), 1u);
  EXPECT_LT(loader.HeldBytes(), held_both);
  ExpectSameAsDirect(loader, archive, "B.PNG");  // decoded on the spot
  ExpectSameAsDirect(loader, archive, "A.PNG");
  loader.Expect(both);
  loader.Forget();  // dropped while the workers may be decoding them
  loader.WaitIdle();
  EXPECT_EQ(loader.Expected(), 0u);
  EXPECT_EQ(loader.HeldBytes(), 0u);
}

}  // namespace
