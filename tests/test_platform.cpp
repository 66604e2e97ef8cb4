// The platform stand-ins that need no display: log, Shift_JIS, game paths and files, key names.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/dik.h"
#include "platform/fs.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "support/file_faults.h"

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

// However much is logged, the log keeps the recent lines, counts a repeated line instead of
// storing it again, and keeps errors apart so the noise does not push them out.
TEST(Log, StaysBoundedCountsRepeatsAndKeepsErrors) {
  platform::Log log;
  log.SetEcho(false);
  WriteLog(2, "the error", "CADV::X", 1);
  for (int i = 0; i < 100000; ++i) WriteLog(0, "JUMP : *loop", "SCP\\t.scp", 2);
  ASSERT_EQ(log.Lines().size(), 2u);
  EXPECT_EQ(log.Lines()[1], "[SCP\\t.scp : 2] JUMP : *loop\n");
  EXPECT_EQ(log.Count("JUMP"), 100000);
  EXPECT_NE(log.Utf8Text().find("came 99999 more times"), std::string::npos);

  const int n = 3 * static_cast<int>(platform::Log::kKeptLines);
  for (int i = 0; i < n; ++i) WriteLog(0, "line " + std::to_string(i) + ".");
  const std::vector<std::string> lines = log.Lines();
  ASSERT_EQ(lines.size(), platform::Log::kKeptLines + 1);
  EXPECT_EQ(lines.front(), "[CADV::X : 1] the error\n");
  EXPECT_EQ(lines.back(), "[ : 0] line " + std::to_string(n - 1) + ".\n");
  EXPECT_FALSE(log.Contains("JUMP"));
  EXPECT_FALSE(log.Contains("line " + std::to_string(n - 1 - platform::Log::kKeptLines) + "."));
  EXPECT_LT(log.KeptBytes(), (platform::Log::kKeptLines + 1) * 32);
  EXPECT_EQ(log.Appended(), 1u + 100000u + static_cast<uint64_t>(n));
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
    const std::filesystem::path parent = std::filesystem::path(rel).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent);
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

// Looks at the target just before the rename puts the new file in its place.
struct PeekBeforeRename : test_support::FaultyFileCalls {
  std::string seen;
  int Rename(const char* from, const char* to) override {
    std::ifstream in("SAVE/1.dat");
    seen.assign(std::istreambuf_iterator<char>(in), {});
    return FaultyFileCalls::Rename(from, to);
  }
};

int FilesIn(const std::string& folder) {
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(folder)) files += e.is_regular_file();
  return files;
}

TEST_F(FsTest, AtomicWriteKeepsTheOldFileUntilTheNewOneIsWhole) {
  ASSERT_TRUE(platform::fs::WriteAtomic("SAVE\\1.dat", "old", 3));  // creates SAVE/
  {
    PeekBeforeRename peek;
    ASSERT_TRUE(platform::fs::WriteAtomic("save\\1.dat", "new contents", 12));
    EXPECT_EQ(peek.seen, "old");
  }
  auto bytes = platform::fs::ReadAll("SAVE\\1.dat");
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "new contents");
  EXPECT_EQ(FilesIn("SAVE"), 1);  // only the target is left behind
  EXPECT_FALSE(platform::fs::WriteAtomic("no_such_dir_file\\..", "x", 1));
}

// A rename is durable only once its folder is synced, and a new folder only once its parent is.
TEST_F(FsTest, AtomicWriteSyncsTheFolderAfterTheRenameAndAfterMakingIt) {
  std::vector<std::string> synced;
  {
    test_support::FaultyFileCalls calls;
    calls.Arm(-1, test_support::FaultyFileCalls::Fault::kNone);
    ASSERT_TRUE(platform::fs::WriteAtomic(platform::fs::CurrentFolder() + "\\SAVE\\1.dat", "x", 1));
    ASSERT_TRUE(platform::fs::WriteAtomic("system.dat", "y", 1));
    for (const auto& c : calls.Calls())
      if (c.call == test_support::FaultyFileCalls::Call::kSync &&
          c.path.find(".tmp") == std::string::npos)
        synced.push_back(c.path);
  }
  const std::vector<std::string> want = {dir_, dir_ + "/SAVE", "."};
  EXPECT_EQ(synced, want);
}

// Every write, fsync and rename of an atomic write in turn fails as a full or broken disk does,
// or writes half its buffer: a failure is reported with the old file whole and no temporary
// left; a short write is carried on to the whole new file.
TEST_F(FsTest, AtomicWriteSurvivesAFaultAtEveryCall) {
  using Fault = test_support::FaultyFileCalls::Fault;
  const std::string old_text = "the old record", new_text(100000, 'n');
  ASSERT_TRUE(platform::fs::WriteAtomic("SAVE\\1.dat", old_text.data(), old_text.size()));
  int calls_in_a_write = 0;
  {
    test_support::FaultyFileCalls count;
    count.Arm(-1, Fault::kNone);
    ASSERT_TRUE(platform::fs::WriteAtomic("SAVE\\1.dat", old_text.data(), old_text.size()));
    calls_in_a_write = count.Count();
  }
  ASSERT_EQ(calls_in_a_write, 4);  // write, fsync, rename, the folder's fsync
  for (Fault fault : {Fault::kNoSpace, Fault::kIoError, Fault::kShortWrite}) {
    for (int n = 0; n < calls_in_a_write; ++n) {
      SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(fault) << " at call " << n);
      bool ok = false;
      {
        test_support::FaultyFileCalls calls;
        calls.Arm(n, fault);
        errno = 0;
        ok = platform::fs::WriteAtomic("SAVE\\1.dat", new_text.data(), new_text.size());
        if (!ok) {
          EXPECT_EQ(errno, fault == Fault::kNoSpace ? ENOSPC : EIO);
        }
      }
      auto bytes = platform::fs::ReadAll("SAVE\\1.dat");
      ASSERT_TRUE(bytes);
      const std::string now(bytes->begin(), bytes->end());
      const bool after_rename = n == calls_in_a_write - 1;  // only the folder sync is left
      if (fault == Fault::kShortWrite || after_rename) {
        EXPECT_EQ(ok, fault == Fault::kShortWrite);
        EXPECT_EQ(now, new_text);
      } else {
        EXPECT_FALSE(ok);
        EXPECT_EQ(now, old_text);
      }
      EXPECT_EQ(FilesIn("SAVE"), 1);
      ASSERT_TRUE(platform::fs::WriteAtomic("SAVE\\1.dat", old_text.data(), old_text.size()));
    }
  }
}

// Temporary files of a save killed before its rename are removed; those of a save still running
// in another process, and files that only look alike, are kept.
TEST_F(FsTest, LeftoverTemporariesOfKilledSavesAreRemoved) {
  const pid_t child = ::fork();
  if (child == 0) std::_Exit(0);
  ASSERT_GT(child, 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);  // its pid now names no process
  const std::string dead = std::to_string(child), alive = std::to_string(::getppid());
  struct Case {
    std::string file;
    bool kept;
  } cases[] = {
      {"SAVE/3.dat.tmp" + dead, false},
      {"SAVE/3.bmp.tmp" + dead, false},
      {"SAVE/4.dat.tmp" + alive, true},
      {"SAVE/3.dat", true},
      {"SAVE/notes.tmp", true},
      {"SAVE/3.dat.tmp12x", true},
      {"system.dat.tmp" + dead, false},
  };
  for (const Case& c : cases) Touch(c.file);
  EXPECT_EQ(platform::fs::RemoveLeftoverTemporaries("SAVE") + platform::fs::RemoveLeftoverTemporaries(""), 3);
  for (const Case& c : cases) EXPECT_EQ(std::filesystem::exists(c.file), c.kept) << c.file;
}

// Names from outside that would leave the folder they are joined to.
TEST(Fs, ConfinedNames) {
  struct Case {
    std::string name;
    bool confined;
  } cases[] = {
      {"title.ogg", true},
      {"SOUND\\SE\\ding.wav", true},
      {platform::Utf8ToSjis("ソ\\曲.ogg"), true},  // ソ ends in the byte 0x5C
      {"", false},
      {"..\\..\\x", false},
      {"SOUND\\..\\..\\x.wav", false},
      {".\\x", false},
      {"a\\\\b", false},
      {"\\etc\\passwd", false},
      {"/etc/passwd", false},
      {"a/../b", false},
      {"C:\\x.ogg", false},
      {"x\\", false},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::fs::IsConfinedName(c.name), c.confined) << c.name;
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
