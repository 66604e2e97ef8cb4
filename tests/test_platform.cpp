// The platform stand-ins that need no display: log, Shift_JIS, game paths and files, key names.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/dik.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/sjis.h"

namespace {

TEST(Log, FormatsLinesAndReachesTheCurrentLog) {
  platform::Log outer;
  outer.SetEcho(false);
  {
    platform::Log inner;
    inner.SetEcho(false);
    WriteLog(2, "broken", "CADV::Init", 12);
    WriteLog(0, "ends with newline\n");
    ASSERT_EQ(inner.Lines().size(), 2u);
    EXPECT_EQ(inner.Lines()[0], "[CADV::Init : 12] broken\n");
    EXPECT_EQ(inner.Lines()[1], "[ : 0] ends with newline\n");
  }
  WriteLog(1, "after");
  EXPECT_TRUE(outer.Contains("after"));
}

TEST(Sjis, RoundTripsJapaneseAndReplacesBadBytes) {
  std::string sjis = platform::Utf8ToSjis("日本語テキスト");
  EXPECT_EQ(sjis.size(), 14u);
  EXPECT_EQ(static_cast<unsigned char>(sjis[0]), 0x93);  // 日 = 93 FA
  EXPECT_EQ(platform::SjisToUtf8(sjis), "日本語テキスト");
  EXPECT_EQ(platform::SjisToUtf8(std::string("a\x81", 2)), "a?");
  EXPECT_EQ(platform::SjisToUtf8("plain"), "plain");
}

class FsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/lanthorn-fs-XXXXXX";
    ASSERT_TRUE(::mkdtemp(tmpl));
    dir_ = tmpl;
    old_ = std::filesystem::current_path();
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(old_);
    std::filesystem::remove_all(dir_);
  }
  void Touch(const std::string& rel, const std::string& text = "x") {
    std::filesystem::create_directories(std::filesystem::path(rel).parent_path());
    std::ofstream(rel) << text;
  }
  std::string dir_;
  std::filesystem::path old_;
};

TEST_F(FsTest, GamePathsMatchEachComponentWithoutCase) {
  Touch("SOUND/Se/Hit01.WAV");
  struct Case {
    const char* game;
    const char* host;
  } cases[] = {
      {"SOUND\\Se\\Hit01.WAV", "SOUND/Se/Hit01.WAV"},
      {"sound\\se\\hit01.wav", "SOUND/Se/Hit01.WAV"},
      {"Sound\\SE\\missing.wav", "SOUND/Se/missing.wav"},
      {"nothing\\here.wav", "nothing/here.wav"},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::fs::HostPath(c.game), c.host) << c.game;
  // An absolute path built from the current folder, as the player files are.
  std::string abs = platform::fs::CurrentFolder() + "\\sound\\SE\\HIT01.wav";
  EXPECT_TRUE(platform::fs::Exists(abs));
  EXPECT_NE(platform::fs::CurrentFolder().back(), '/');
}

TEST_F(FsTest, JapaneseNamesMapToUtf8) {
  Touch("画像/絵.png");
  EXPECT_TRUE(platform::fs::Exists(platform::Utf8ToSjis("画像\\絵.png")));
}

std::string g_seen_during_write;
void PeekTarget(const std::string&) {
  std::ifstream in("SAVE/1.dat");
  g_seen_during_write.assign(std::istreambuf_iterator<char>(in), {});
}

TEST_F(FsTest, AtomicWriteKeepsTheOldFileUntilTheNewOneIsWhole) {
  ASSERT_TRUE(platform::fs::WriteAtomic("SAVE\\1.dat", "old", 3));  // creates SAVE/
  platform::fs::SetWriteHook(&PeekTarget);
  ASSERT_TRUE(platform::fs::WriteAtomic("save\\1.dat", "new contents", 12));
  platform::fs::SetWriteHook(nullptr);
  EXPECT_EQ(g_seen_during_write, "old");
  auto bytes = platform::fs::ReadAll("SAVE\\1.dat");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "new contents");
  // Only the target is left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator("SAVE")) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
  EXPECT_FALSE(platform::fs::WriteAtomic("no_such_dir_file\\..", "x", 1));
}

TEST(Dik, NamesAndCodesRoundTrip) {
  EXPECT_EQ(platform::DikFromName("DIK_RETURN"), 0x1C);
  EXPECT_EQ(platform::DikFromName("NUMPADENTER"), 0x9C);
  EXPECT_EQ(platform::DikFromName("DIK_NOPE"), std::nullopt);
  int named = 0;
  for (int c = 0; c < 256; ++c) {
    auto name = platform::DikName(static_cast<uint8_t>(c));
    if (name.empty()) continue;
    ++named;
    EXPECT_EQ(platform::DikFromName(name), c) << name;
  }
  EXPECT_GT(named, 100);  // a whole standard keyboard
}

}  // namespace
