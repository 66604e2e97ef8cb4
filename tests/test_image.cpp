// Pictures: PNG decoding into CImage32 and CImage16 for every colour type, hostile files, the
// setup program's bottom-up picture and its scaled draw, CopyRect, the canvas's ".bmp" layout
// and the PNG writer. Fixtures are written here with libpng directly (not with the project's
// writer), so the decoder is not checked against its own counterpart.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "resource/dib.h"
#include "resource/image.h"
#include "resource/pack_file.h"
#include "resource/pack_writer.h"
#include "resource/png_decode.h"
#include "resource/png_encode.h"
#include "resource/setup_image.h"

namespace {

namespace stdfs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// ---- Fixtures ----

// The test's own sample pattern: channel c of pixel (x, y). The 16-bit form has a low byte that
// differs from the high one, so taking the wrong byte shows.
uint8_t Sample(uint32_t x, uint32_t y, int c) {
  return static_cast<uint8_t>(x * 37 + y * 11 + static_cast<uint32_t>(c) * 71 + 5);
}
uint8_t SampleLow(uint32_t x, uint32_t y, int c) { return Sample(x, y, c) ^ 0xA5; }

int Channels(int color_type) {
  switch (color_type) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_RGBA: return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    default: return 1;  // grey, palette
  }
}

struct RawPng {
  uint32_t width = 0;
  uint32_t height = 0;
  int bit_depth = 8;
  int color_type = PNG_COLOR_TYPE_RGB;
  bool interlace = false;
  int level = -1;  // zlib level, -1 for libpng's default
  std::vector<Bytes> rows;  // packed samples as the file stores them
};

void AppendBytes(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void NoFlush(png_structp) {}

bool WriteStage(png_structp png, png_infop info, const RawPng* p, png_bytepp rows, Bytes* out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, out, AppendBytes, NoFlush);
  png_set_IHDR(png, info, p->width, p->height, p->bit_depth, p->color_type,
               p->interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (p->level >= 0) png_set_compression_level(png, p->level);
  if (p->color_type == PNG_COLOR_TYPE_PALETTE) {
    png_color palette[256];
    for (int i = 0; i < 256; ++i)
      palette[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), 7};
    png_set_PLTE(png, info, palette, 1 << p->bit_depth);
  }
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  return true;
}

Bytes WriteRawPng(const RawPng& p) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  std::vector<Bytes> copy = p.rows;
  for (auto& r : copy) rows.push_back(r.data());
  Bytes out;
  const bool ok = WriteStage(png, info, &p, rows.data(), &out);
  png_destroy_write_struct(&png, &info);
  EXPECT_TRUE(ok) << "fixture could not be written";
  return out;
}

// A picture of the given layout filled with Sample. Depths below 8 (grey and palette) get
// small repeating values; their content never matters because they are refused.
RawPng Picture(int color_type, int bit_depth, uint32_t width, uint32_t height,
               bool interlace = false) {
  RawPng p;
  p.width = width;
  p.height = height;
  p.bit_depth = bit_depth;
  p.color_type = color_type;
  p.interlace = interlace;
  const int channels = Channels(color_type);
  for (uint32_t y = 0; y < height; ++y) {
    Bytes row;
    if (bit_depth < 8) {
      row.assign((width * static_cast<uint32_t>(bit_depth) + 7) / 8, 0);
      for (uint32_t x = 0; x < width; ++x) {
        const uint32_t v = (x + y) % (1u << bit_depth);
        const uint32_t bit = x * static_cast<uint32_t>(bit_depth);
        row[bit / 8] |= static_cast<uint8_t>(v << (8 - bit_depth - bit % 8));
      }
    } else {
      for (uint32_t x = 0; x < width; ++x)
        for (int c = 0; c < channels; ++c) {
          row.push_back(Sample(x, y, c));
          if (bit_depth == 16) row.push_back(SampleLow(x, y, c));
        }
    }
    p.rows.push_back(std::move(row));
  }
  return p;
}

Bytes PngOf(int color_type, int bit_depth, uint32_t width, uint32_t height,
            bool interlace = false) {
  return WriteRawPng(Picture(color_type, bit_depth, width, height, interlace));
}

// The 32-bit pixels a picture of Sample must decode to: B, G, R and alpha (255 without one).
Bytes ExpectedBgra(uint32_t width, uint32_t height, bool alpha) {
  Bytes out;
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) {
      out.push_back(Sample(x, y, 2));
      out.push_back(Sample(x, y, 1));
      out.push_back(Sample(x, y, 0));
      out.push_back(alpha ? Sample(x, y, 3) : 255);
    }
  return out;
}

Bytes PixelsOf(const CImage32& image) {
  const uint8_t* p = image.Pixels();
  return p ? Bytes(p, p + image.ByteSize()) : Bytes();
}

uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
uint16_t Le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }
void PutBe32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// Recomputes the CRC of the chunk starting at `at` (its length field), after an edit.
void FixCrc(Bytes& png, size_t at) {
  const uint32_t length = png[at] << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3];
  const uLong crc = crc32(0, png.data() + at + 4, length + 4);
  PutBe32(png, at + 8 + length, static_cast<uint32_t>(crc));
}
constexpr size_t kIhdr = 8;        // the IHDR chunk follows the signature
constexpr size_t kIhdrData = 16;   // width, height, depth, colour type, ...
constexpr size_t kFirstAfterIhdr = 33;

class TempDir {
 public:
  explicit TempDir(const stdfs::path& parent = stdfs::temp_directory_path()) {
    std::string templ = (parent / "lanthorn-image-XXXXXX").string();
    path_ = ::mkdtemp(templ.data()) ? templ : std::string();
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) stdfs::remove_all(path_, ignored);
  }
  const stdfs::path& path() const { return path_; }

 private:
  stdfs::path path_;
};

void WriteFile(const stdfs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
Bytes ReadFile(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// ---- Colour types ----

struct TypeCase {
  const char* label;
  int color_type;
  int bit_depth;
  bool interlace;
  bool accepted;
};

// 13 × 7: odd in both directions, so every interlace pass has a partial block.
constexpr uint32_t kW = 13;
constexpr uint32_t kH = 7;

TEST(Image32, DecodesRgbAndRgbaAtEveryDepthAndRefusesTheOtherTypes) {
  const TypeCase cases[] = {
      {"rgb8", PNG_COLOR_TYPE_RGB, 8, false, true},
      {"rgba8", PNG_COLOR_TYPE_RGBA, 8, false, true},
      {"rgb16 (high bytes)", PNG_COLOR_TYPE_RGB, 16, false, true},
      {"rgba16 (high bytes)", PNG_COLOR_TYPE_RGBA, 16, false, true},
      {"rgb8 interlaced", PNG_COLOR_TYPE_RGB, 8, true, true},
      {"rgba8 interlaced", PNG_COLOR_TYPE_RGBA, 8, true, true},
      {"rgba16 interlaced", PNG_COLOR_TYPE_RGBA, 16, true, true},
      {"grey1", PNG_COLOR_TYPE_GRAY, 1, false, false},
      {"grey2", PNG_COLOR_TYPE_GRAY, 2, false, false},
      {"grey4", PNG_COLOR_TYPE_GRAY, 4, false, false},
      {"grey8", PNG_COLOR_TYPE_GRAY, 8, false, false},
      {"grey16", PNG_COLOR_TYPE_GRAY, 16, false, false},
      {"grey+alpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false},
      {"grey+alpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false},
      {"palette1", PNG_COLOR_TYPE_PALETTE, 1, false, false},
      {"palette4", PNG_COLOR_TYPE_PALETTE, 4, false, false},
      {"palette8", PNG_COLOR_TYPE_PALETTE, 8, true, false},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.label);
    const Bytes png = PngOf(c.color_type, c.bit_depth, kW, kH, c.interlace);
    CImage32 image;
    const int result = image.LoadFromPNGMemory(png.data(), png.size());
    if (!c.accepted) {
      EXPECT_EQ(result, -1);
      continue;
    }
    ASSERT_EQ(result, 0);
    EXPECT_EQ(image.Width(), static_cast<int>(kW));
    EXPECT_EQ(image.Height(), static_cast<int>(kH));
    EXPECT_EQ(image.ByteSize(), static_cast<int>(kW * kH * 4));
    EXPECT_EQ(PixelsOf(image), ExpectedBgra(kW, kH, c.color_type == PNG_COLOR_TYPE_RGBA));
  }
}

TEST(Image32, StoresBlueGreenRedAlphaWithoutPremultiplying) {
  struct Case {
    const char* label;
    int color_type;
    Bytes file_pixel;
    Bytes memory;
  };
  const Case cases[] = {
      {"red opaque, RGB", PNG_COLOR_TYPE_RGB, {0xFF, 0x00, 0x00}, {0x00, 0x00, 0xFF, 0xFF}},
      {"red opaque, RGBA", PNG_COLOR_TYPE_RGBA, {0xFF, 0x00, 0x00, 0xFF}, {0x00, 0x00, 0xFF, 0xFF}},
      {"faint, RGBA", PNG_COLOR_TYPE_RGBA, {200, 100, 50, 7}, {50, 100, 200, 7}},
      {"transparent white", PNG_COLOR_TYPE_RGBA, {255, 255, 255, 0}, {255, 255, 255, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RawPng p;
    p.width = p.height = 1;
    p.color_type = c.color_type;
    p.rows = {c.file_pixel};
    const Bytes png = WriteRawPng(p);
    CImage32 image;
    ASSERT_EQ(image.LoadFromPNGMemory(png.data(), png.size()), 0);
    EXPECT_EQ(PixelsOf(image), c.memory);
  }
}

TEST(Image16, TakesOnlySixteenBitGreyAndKeepsTheFileByteOrder) {
  const TypeCase cases[] = {
      {"grey16", PNG_COLOR_TYPE_GRAY, 16, false, true},
      {"grey16 interlaced", PNG_COLOR_TYPE_GRAY, 16, true, true},
      {"grey1", PNG_COLOR_TYPE_GRAY, 1, false, false},
      {"grey2", PNG_COLOR_TYPE_GRAY, 2, false, false},
      {"grey4", PNG_COLOR_TYPE_GRAY, 4, false, false},
      {"grey8", PNG_COLOR_TYPE_GRAY, 8, false, false},
      {"grey+alpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16, false, false},
      {"rgb8", PNG_COLOR_TYPE_RGB, 8, false, false},
      {"rgba16", PNG_COLOR_TYPE_RGBA, 16, false, false},
      {"palette8", PNG_COLOR_TYPE_PALETTE, 8, false, false},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.label);
    const Bytes png = PngOf(c.color_type, c.bit_depth, kW, kH, c.interlace);
    CImage16 image;
    const int result = image.LoadFromPNG16Memory(png.data(), png.size());
    if (!c.accepted) {
      EXPECT_EQ(result, -1);
      continue;
    }
    ASSERT_EQ(result, 0);
    ASSERT_EQ(image.Width(), static_cast<int>(kW));
    ASSERT_EQ(image.Height(), static_cast<int>(kH));
    EXPECT_EQ(image.ByteSize(), static_cast<int>(kW * kH * 2));
    // 13 samples of 16 bits pad to 28 bytes a row.
    EXPECT_EQ(image.RowBufferSize(), 28 * static_cast<int>(kH));
    const auto* bytes = reinterpret_cast<const uint8_t*>(image.Pixels());
    for (uint32_t y = 0; y < kH; ++y)
      for (uint32_t x = 0; x < kW; ++x) {
        const size_t at = (y * kW + x) * 2;
        ASSERT_EQ(bytes[at], Sample(x, y, 0)) << x << "," << y;  // most significant first
        ASSERT_EQ(bytes[at + 1], SampleLow(x, y, 0)) << x << "," << y;
      }
  }
}

// ---- Hostile files ----

struct Damage {
  const char* label;
  void (*apply)(Bytes& png);
};

const Damage kDamage[] = {
    {"empty", [](Bytes& p) { p.clear(); }},
    {"signature only", [](Bytes& p) { p.resize(8); }},
    {"cut inside IHDR", [](Bytes& p) { p.resize(20); }},
    {"cut after IHDR", [](Bytes& p) { p.resize(kFirstAfterIhdr); }},
    {"cut inside the image data", [](Bytes& p) { p.resize(p.size() / 2); }},
    {"no IEND", [](Bytes& p) { p.resize(p.size() - 12); }},
    {"last byte missing", [](Bytes& p) { p.pop_back(); }},
    {"bad signature", [](Bytes& p) { p[1] ^= 0x20; }},
    {"IHDR CRC wrong", [](Bytes& p) { p[kIhdrData + 3] ^= 1; }},
    {"image data CRC wrong", [](Bytes& p) { p[kFirstAfterIhdr + 12] ^= 0x55; }},
    {"image data not deflate",
     [](Bytes& p) {
       const uint32_t length = p[33] << 24 | p[34] << 16 | p[35] << 8 | p[36];
       for (uint32_t i = 0; i < length; ++i) p[kFirstAfterIhdr + 8 + i] = 0xFF;
       FixCrc(p, kFirstAfterIhdr);
     }},
    {"width 0",
     [](Bytes& p) {
       PutBe32(p, kIhdrData, 0);
       FixCrc(p, kIhdr);
     }},
    {"width beyond the limit",
     [](Bytes& p) {
       PutBe32(p, kIhdrData, 100000);
       FixCrc(p, kIhdr);
     }},
    {"huge, within the limit, tiny data",
     [](Bytes& p) {
       PutBe32(p, kIhdrData, 8192);
       PutBe32(p, kIhdrData + 4, 8192);
       FixCrc(p, kIhdr);
     }},
    {"taller than its data",
     [](Bytes& p) {
       PutBe32(p, kIhdrData + 4, 200);
       FixCrc(p, kIhdr);
     }},
    {"colour type 7",
     [](Bytes& p) {
       p[kIhdrData + 9] = 7;
       FixCrc(p, kIhdr);
     }},
};

// After a failed load the image is empty or re-created at the file's size with zero pixels; it
// never keeps the (non-zero) picture loaded before.
template <typename Image>
bool EmptyOrZeroed(const Image& image) {
  if (image.Pixels() == nullptr) return image.Width() == 0 && image.Height() == 0;
  if (image.Width() == 4 && image.Height() == 4) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(image.Pixels());
  return std::all_of(bytes, bytes + image.ByteSize(), [](uint8_t b) { return b == 0; });
}

TEST(Image32, DamagedFilesFailWithoutStalePixels) {
  const Bytes good = PngOf(PNG_COLOR_TYPE_RGB, 8, 64, 48);
  const Bytes small = PngOf(PNG_COLOR_TYPE_RGBA, 8, 4, 4);
  for (const Damage& d : kDamage) {
    SCOPED_TRACE(d.label);
    Bytes png = good;
    d.apply(png);
    png.shrink_to_fit();  // so the sanitizer sees any read past the end
    CImage32 image;
    ASSERT_EQ(image.LoadFromPNGMemory(small.data(), small.size()), 0);
    EXPECT_EQ(image.LoadFromPNGMemory(png.data(), png.size()), -1);
    EXPECT_TRUE(EmptyOrZeroed(image));
  }
}

TEST(Image16, DamagedFilesFail) {
  const Bytes good = PngOf(PNG_COLOR_TYPE_GRAY, 16, 64, 48);
  const Bytes small = PngOf(PNG_COLOR_TYPE_GRAY, 16, 4, 4);
  for (const Damage& d : kDamage) {
    SCOPED_TRACE(d.label);
    Bytes png = good;
    d.apply(png);
    png.shrink_to_fit();
    CImage16 image;
    ASSERT_EQ(image.LoadFromPNG16Memory(small.data(), small.size()), 0);
    EXPECT_EQ(image.LoadFromPNG16Memory(png.data(), png.size()), -1);
    EXPECT_TRUE(EmptyOrZeroed(image));
  }
}

// ---- Memory a hostile file may cost ----

// The peak resident memory of this process since the last reset, in bytes (0 where the system
// cannot tell).
uint64_t PeakResidentBytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10) * 1024;
  return 0;
}
bool ResetPeakResident() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5"); }

// A chunk: length, type, data and its CRC, appended to a file being built.
void AppendChunk(Bytes& png, const char type[4], const Bytes& data, uint32_t length) {
  const size_t at = png.size();
  png.resize(at + 8);
  PutBe32(png, at, length);
  std::memcpy(png.data() + at + 4, type, 4);
  png.insert(png.end(), data.begin(), data.end());
  png.resize(png.size() + 4);
  if (length == data.size()) FixCrc(png, at);
}

Bytes PngStart(uint32_t width, uint32_t height, uint8_t color_type) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr(13, 0);
  PutBe32(ihdr, 0, width);
  PutBe32(ihdr, 4, height);
  ihdr[8] = 8;
  ihdr[9] = color_type;
  AppendChunk(png, "IHDR", ihdr, 13);
  return png;
}

// Files made to cost memory out of all proportion to their size are refused before the memory
// is taken: a text chunk that claims 2 GB in an 80-byte file, and a 1 MB file that claims
// 16384 × 16384 pixels (beyond the 8192 a side any picture of the engine may have).
TEST(Image32, HostileSizesAreRefusedWithinAFewMegabytes) {
  Bytes text = PngStart(1, 1, PNG_COLOR_TYPE_RGB);
  AppendChunk(text, "tEXt", Bytes(35, 'a'), 0x7FFFFF00u);
  ASSERT_EQ(text.size(), 80u);
  Bytes huge = PngStart(16384, 16384, PNG_COLOR_TYPE_RGBA);
  AppendChunk(huge, "IDAT", Bytes(1 << 20, 0), 1 << 20);
  AppendChunk(huge, "IEND", {}, 0);
  Bytes wide = PngStart(kMaxImageDimension + 1, 1, PNG_COLOR_TYPE_RGB);
  AppendChunk(wide, "IDAT", Bytes(1 << 20, 0), 1 << 20);
  AppendChunk(wide, "IEND", {}, 0);
  struct Case {
    const char* what;
    const Bytes& png;
  } cases[] = {{"2 GB text chunk", text}, {"16384 x 16384", huge}, {"one pixel too wide", wide}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!ResetPeakResident()) GTEST_SKIP() << "no peak memory reset on this system";
    const uint64_t before = PeakResidentBytes();
    CImage32 image;
    EXPECT_EQ(image.LoadFromPNGMemory(c.png.data(), c.png.size()), -1);
    EXPECT_EQ(image.Pixels(), nullptr);
    const uint64_t cost = PeakResidentBytes() - before;
    EXPECT_LT(cost, uint64_t{8} << 20) << cost / (1 << 20) << " MB";
  }
}

// The plausibility check refuses pictures bigger than their file could inflate to; a real
// picture compressed as tightly as deflate allows must still pass it.
TEST(Image32, FlatPictureAtTheBestCompressionLoads) {
  RawPng p;
  p.width = p.height = 2048;
  p.color_type = PNG_COLOR_TYPE_RGBA;
  p.level = 9;
  p.rows.assign(p.height, Bytes(p.width * 4, 0));
  const Bytes png = WriteRawPng(p);
  ASSERT_LT(png.size() * 500, size_t{2048} * 2048 * 4) << "fixture not compressed tightly";
  CImage32 image;
  ASSERT_EQ(image.LoadFromPNGMemory(png.data(), png.size()), 0);
  EXPECT_EQ(image.Width(), 2048);
}

// ---- Sources: archive entries and the program folder ----

TEST(ImageSources, ArchiveEntries) {
  TempDir dir;
  const Bytes rgba = PngOf(PNG_COLOR_TYPE_RGBA, 8, kW, kH);
  const Bytes grey = PngOf(PNG_COLOR_TYPE_GRAY, 16, kW, kH);
  Bytes cut = rgba;
  cut.resize(cut.size() - 20);
  auto pack = BuildPack({{"SYSTEM\\pic.png", rgba}, {"TEXT\\grey.png", grey}, {"BAD.png", cut}});
  ASSERT_TRUE(pack);
  WriteFile(dir.path() / "test.pkd", *pack);

  for (auto mode : {CPackFile::ReadMode::Game, CPackFile::ReadMode::Setup}) {
    CPackFile archive(mode);
    archive.SetPause([](int) {});
    ASSERT_TRUE(archive.OpenHostFile((dir.path() / "test.pkd").string()));
    CImage32 image;
    EXPECT_EQ(image.LoadFromPNG("SYSTEM\\pic.png", archive), 0);
    EXPECT_EQ(PixelsOf(image), ExpectedBgra(kW, kH, true));
    EXPECT_EQ(image.LoadFromPNG("SYSTEM\\none.png", archive), -1);
    EXPECT_EQ(image.Pixels(), nullptr);
    EXPECT_EQ(image.LoadFromPNG("BAD.png", archive), -1);
    EXPECT_EQ(image.LoadFromPNG("TEXT\\grey.png", archive), -1);
    CImage16 texels;
    EXPECT_EQ(texels.LoadFromPNG16("TEXT\\grey.png", archive), 0);
    EXPECT_EQ(texels.LoadFromPNG16("TEXT\\none.png", archive), -1);
    EXPECT_EQ(texels.LoadFromPNG16("SYSTEM\\pic.png", archive), -1);
  }
}

TEST(ImageSources, FilesBesideTheProgram) {
  const std::string folder = platform::fs::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  const stdfs::path host = platform::fs::HostPath(folder);
  EXPECT_TRUE(stdfs::exists(host / "test_image"));

  TempDir dir(host);
  const std::string sub = dir.path().filename().string();
  const Bytes good = PngOf(PNG_COLOR_TYPE_RGB, 8, kW, kH, true);
  Bytes cut = good;
  cut.resize(good.size() / 2);
  WriteFile(dir.path() / "good.png", good);
  WriteFile(dir.path() / "cut.png", cut);

  CImage32 image;
  EXPECT_EQ(image.LoadFromPNGFile(sub + "\\good.png"), 0);
  EXPECT_EQ(PixelsOf(image), ExpectedBgra(kW, kH, false));
  EXPECT_EQ(image.LoadFromPNGFile(sub + "\\cut.png"), -1);
  EXPECT_EQ(image.LoadFromPNGFile(sub + "\\missing.png"), -1);
}

// ---- Creating, filling and copying ----

TEST(Image32, CreateFillsTheHeaderAndZeroesThePixels) {
  CImage32 image;
  EXPECT_EQ(image.Pixels(), nullptr);
  ASSERT_EQ(image.Create(3, 2), 1);
  ASSERT_NE(image.Header(), nullptr);
  const Bytes header(image.Header(), image.Header() + kImageHeaderBlockSize);
  EXPECT_EQ(Le32(header, 0), 40u);
  EXPECT_EQ(Le32(header, 4), 3u);
  EXPECT_EQ(Le32(header, 8), 2u);
  EXPECT_EQ(Le16(header, 12), 1);
  EXPECT_EQ(Le16(header, 14), 32);
  EXPECT_TRUE(std::all_of(header.begin() + 16, header.end(), [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(PixelsOf(image), Bytes(24, 0));

  EXPECT_TRUE(image.Fill(0x80FF4020));
  const Bytes px = PixelsOf(image);
  for (size_t i = 0; i < px.size(); i += 4) ASSERT_EQ(Bytes(px.begin() + i, px.begin() + i + 4),
                                                      (Bytes{0x20, 0x40, 0xFF, 0x80}));

  // Re-creating at another size drops the old pixels; a size out of range leaves it empty.
  ASSERT_EQ(image.Create(1, 1), 1);
  EXPECT_EQ(PixelsOf(image), Bytes(4, 0));
  EXPECT_EQ(image.Create(-1, 5), 0);
  EXPECT_EQ(image.Pixels(), nullptr);
  EXPECT_EQ(image.Create(static_cast<int>(kMaxImageDimension) + 1, 1), 0);
  image.Release();
  EXPECT_EQ(image.Width(), 0);
  EXPECT_EQ(image.Header(), nullptr);
}

uint32_t PixelAt(const CImage32& image, int x, int y) {
  return Le32(PixelsOf(image), (static_cast<size_t>(y) * image.Width() + x) * 4);
}

TEST(Image32, CopyRectCopiesOnlyRectanglesInsideBothImages) {
  struct Case {
    const char* label;
    int x, y, w, h, sx, sy;
    int rows;  // 0: nothing copied
  };
  const Case cases[] = {
      {"inside", 2, 1, 3, 2, 1, 1, 2},
      {"touching the right and bottom edges", 3, 2, 5, 4, 0, 0, 4},
      {"past the right edge", 4, 0, 5, 1, 0, 0, 0},
      {"past the bottom edge", 0, 3, 2, 4, 0, 0, 0},
      {"negative x", -1, 0, 2, 2, 0, 0, 0},
      {"negative width", 1, 1, -2, 1, 0, 0, 0},
      {"source past its right edge", 0, 0, 3, 1, 3, 0, 0},
      {"source past its bottom edge", 0, 0, 1, 3, 0, 2, 0},
      {"negative source y", 0, 0, 1, 1, 0, -1, 0},
  };
  CImage32 source;
  ASSERT_EQ(source.Create(5, 4), 1);
  for (int i = 0; i < 20; ++i) {
    const uint32_t value = 0xAA000000u + static_cast<uint32_t>(i);
    std::memcpy(source.Pixels() + i * 4, &value, 4);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    CImage32 dest;
    ASSERT_EQ(dest.Create(8, 6), 1);
    dest.Fill(0x11111111);
    EXPECT_EQ(dest.CopyRect(source, c.x, c.y, c.w, c.h, c.sx, c.sy), c.rows);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool copied = c.rows > 0 && x >= c.x && x < c.x + c.w && y >= c.y && y < c.y + c.h;
        const uint32_t want =
            copied ? PixelAt(source, c.sx + x - c.x, c.sy + y - c.y) : 0x11111111u;
        ASSERT_EQ(PixelAt(dest, x, y), want) << x << "," << y;
      }
  }
}

TEST(Image32, CopyRectWithinOneImageOverlapping) {
  CImage32 image;
  ASSERT_EQ(image.Create(2, 4), 1);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 2; ++x) image.Pixels()[(y * 2 + x) * 4] = static_cast<uint8_t>(10 * y + x);
  EXPECT_EQ(image.CopyRect(image, 0, 1, 2, 3, 0, 0), 3);  // shift everything one row down
  const uint8_t want[4][2] = {{0, 1}, {0, 1}, {10, 11}, {20, 21}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 2; ++x) EXPECT_EQ(image.Pixels()[(y * 2 + x) * 4], want[y][x]);
}

// ---- The setup program's picture ----

TEST(SetupImage, RowsAreBottomUpAndDrawScalesOntoTheCanvasUpright) {
  const uint32_t w = 5, h = 4;
  const Bytes png = PngOf(PNG_COLOR_TYPE_RGBA, 8, w, h);
  const Bytes top_down = ExpectedBgra(w, h, true);
  setup::CImage32 picture;
  ASSERT_EQ(picture.LoadFromPNGMemory(png.data(), png.size()), 0);
  for (uint32_t row = 0; row < h; ++row)
    EXPECT_EQ(Bytes(picture.Pixels() + row * w * 4, picture.Pixels() + (row + 1) * w * 4),
              Bytes(top_down.begin() + (h - 1 - row) * w * 4, top_down.begin() + (h - row) * w * 4))
        << "memory row " << row;

  // Twice the size at (2, 1) on an 8 × 6 canvas: clipped on the right and at the bottom.
  CDIB canvas;
  ASSERT_EQ(canvas.CreateCanvas(8, 6), 1);
  picture.Draw(canvas, 2, 1, 10, 8);
  const Bytes bits(canvas.Bits(), canvas.Bits() + canvas.ByteSize());
  for (int dy = 0; dy < 6; ++dy)
    for (int dx = 0; dx < 8; ++dx) {
      const size_t at = (static_cast<size_t>(5 - dy) * 8 + dx) * 4;  // canvas rows bottom-up
      const Bytes got(bits.begin() + at, bits.begin() + at + 4);
      Bytes want(4, 0);
      if (dx >= 2 && dy >= 1) {
        const size_t from = ((static_cast<size_t>(dy - 1) / 2) * w + (dx - 2) / 2) * 4;
        want.assign(top_down.begin() + from, top_down.begin() + from + 4);
      }
      ASSERT_EQ(got, want) << dx << "," << dy;
    }

  EXPECT_EQ(picture.LoadFromPNGMemory(png.data(), png.size() - 1), -1);
}

// ---- Canvas ----

TEST(Canvas, SaveBmpWritesTheThumbnailLayout) {
  TempDir dir;
  CDIB canvas;
  ASSERT_EQ(canvas.CreateCanvas(160, 120), 1);
  EXPECT_EQ(canvas.ByteSize(), 76800);
  for (int i = 0; i < canvas.ByteSize(); ++i) canvas.Bits()[i] = static_cast<uint8_t>(i * 7);
  const std::string path = (dir.path() / "SAVE" / "3.bmp").string();
  ASSERT_TRUE(canvas.SaveBMP(path));

  const Bytes file = ReadFile(path);
  ASSERT_EQ(file.size(), 76857u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(Le32(file, 2), 76854u);
  EXPECT_EQ(Le32(file, 6), 0u);
  EXPECT_EQ(Le32(file, 10), 57u);
  EXPECT_EQ(Le32(file, 14), 40u);
  EXPECT_EQ(Le32(file, 18), 160u);
  EXPECT_EQ(Le32(file, 22), 120u);
  EXPECT_EQ(Le16(file, 26), 1);
  EXPECT_EQ(Le16(file, 28), 32);
  EXPECT_TRUE(std::all_of(file.begin() + 30, file.begin() + 57, [](uint8_t b) { return b == 0; }));
  EXPECT_TRUE(std::equal(file.begin() + 57, file.end(), canvas.Bits()));
}

TEST(Canvas, NothingIsWrittenWithoutACanvas) {
  TempDir dir;
  CDIB canvas;
  EXPECT_EQ(canvas.CreateCanvas(0, 120), 0);
  EXPECT_EQ(canvas.Bits(), nullptr);
  EXPECT_FALSE(canvas.SaveBMP((dir.path() / "none.bmp").string()));
  EXPECT_FALSE(stdfs::exists(dir.path() / "none.bmp"));
  // A path through a file instead of a folder cannot be written; no crash, no file.
  ASSERT_EQ(canvas.CreateCanvas(2, 2), 1);
  WriteFile(dir.path() / "plain", {1});
  EXPECT_FALSE(canvas.SaveBMP((dir.path() / "plain" / "x.bmp").string()));
}

// The reader takes back what SaveBMP wrote, upright, and a top-down file too; a damaged or
// foreign file is refused with a reason, whatever field is wrong or wherever it is cut.
TEST(Canvas, ReadBackRefusesEveryDamagedFile) {
  TempDir dir;
  CDIB canvas;
  ASSERT_EQ(canvas.CreateCanvas(4, 3), 1);
  for (int i = 0; i < canvas.ByteSize(); ++i) canvas.Bits()[i] = static_cast<uint8_t>(i);
  const std::string path = (dir.path() / "t.bmp").string();
  ASSERT_TRUE(canvas.SaveBMP(path));
  std::vector<uint32_t> pixels;
  ASSERT_TRUE(LoadCanvasBMP(path, 4, 3, pixels));
  auto memory_row = [&](int r) { return Bytes(canvas.Bits() + r * 16, canvas.Bits() + r * 16 + 16); };
  auto read_row = [&](int r) {
    const auto* p = reinterpret_cast<const uint8_t*>(pixels.data() + r * 4);
    return Bytes(p, p + 16);
  };
  EXPECT_EQ(read_row(0), memory_row(2));  // memory row 0 is the bottom one
  EXPECT_EQ(read_row(2), memory_row(0));
  const Bytes good = ReadFile(path);
  Bytes top_down = good;
  const int32_t minus3 = -3;
  std::memcpy(&top_down[22], &minus3, 4);
  ASSERT_TRUE(ReadCanvasBMP(top_down, 4, 3, pixels));
  EXPECT_EQ(read_row(0), memory_row(0));

  struct Case {
    const char* what;
    size_t at;
    uint32_t value;
  } cases[] = {
      {"magic", 0, 0x4D43},        {"width", 18, 5},          {"height", 22, 4},
      {"bit count", 28, 24},       {"offset past the end", 10, 0xFFFFFFF0u},
      {"pixels cut off", 10, 58},
  };
  const std::vector<uint32_t> kept = {7};
  for (const Case& c : cases) {
    Bytes bad = good;
    std::memcpy(&bad[c.at], &c.value, c.at == 0 || c.at == 28 ? 2 : 4);
    std::vector<uint32_t> out = kept;
    std::string problem;
    EXPECT_FALSE(ReadCanvasBMP(bad, 4, 3, out, &problem)) << c.what;
    EXPECT_FALSE(problem.empty()) << c.what;
    EXPECT_EQ(out, kept) << c.what;
  }
  for (size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(ReadCanvasBMP(std::span(good.data(), cut), 4, 3, pixels)) << cut;
  EXPECT_FALSE(ReadCanvasBMP(good, 4, 3 * 65536, pixels));  // not a size a canvas can have
  EXPECT_FALSE(LoadCanvasBMP((dir.path() / "none.bmp").string(), 4, 3, pixels));
}

// ---- The PNG writer ----

TEST(PngWriter, RoundTripsThroughTheDecoder) {
  const int w = 7, h = 3;
  for (PngChannels channels : {PngChannels::Rgb, PngChannels::Rgba})
    for (size_t padding : {size_t{0}, size_t{12}}) {
      SCOPED_TRACE(std::string(channels == PngChannels::Rgb ? "rgb" : "rgba") + " padding " +
                   std::to_string(padding));
      const size_t stride = w * 4 + padding;
      Bytes buffer(stride * h, 0xEE);  // the padding must not be read as pixels
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int c = 0; c < 4; ++c)
            buffer[y * stride + x * 4 + c] = Sample(static_cast<uint32_t>(x), static_cast<uint32_t>(y), c);
      auto png = EncodePNG(buffer.data(), w, h, stride, channels);
      ASSERT_TRUE(png);
      EXPECT_EQ((*png)[kIhdrData + 9], channels == PngChannels::Rgb ? PNG_COLOR_TYPE_RGB
                                                                     : PNG_COLOR_TYPE_RGBA);
      CImage32 image;
      ASSERT_EQ(image.LoadFromPNGMemory(png->data(), png->size()), 0);
      const Bytes px = PixelsOf(image);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int c = 0; c < 4; ++c) {
            const uint8_t want = c == 3 && channels == PngChannels::Rgb ? 255 : buffer[y * stride + x * 4 + c];
            ASSERT_EQ(px[(y * w + x) * 4 + c], want) << x << "," << y << " byte " << c;
          }
    }
  EXPECT_FALSE(EncodePNG(nullptr, 1, 1, 4, PngChannels::Rgb));
  Bytes one(4);
  EXPECT_FALSE(EncodePNG(one.data(), 2, 1, 4, PngChannels::Rgb));  // stride shorter than a row
  EXPECT_FALSE(EncodePNG(one.data(), 0, 1, 4, PngChannels::Rgb));
}

TEST(PngWriter, TexelPicturesRoundTrip) {
  CImage16 texels;
  ASSERT_EQ(texels.Create(9, 5), 1);
  for (int i = 0; i < 45; ++i) texels.Pixels()[i] = static_cast<uint16_t>(0x0FFF + i * 0x1234);
  auto png = EncodePNG16(texels);
  ASSERT_TRUE(png);
  EXPECT_EQ((*png)[kIhdrData + 8], 16);
  EXPECT_EQ((*png)[kIhdrData + 9], PNG_COLOR_TYPE_GRAY);
  CImage16 back;
  ASSERT_EQ(back.LoadFromPNG16Memory(png->data(), png->size()), 0);
  EXPECT_TRUE(std::equal(texels.Pixels(), texels.Pixels() + 45, back.Pixels()));
}

}  // namespace
