// The player's records: "system.dat", "data.dat" and "text.dat", through the headless engine and
// the record types. Expected file images are built here from byte offsets, not from the structs.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/headless.h"
#include "platform/fs.h"
#include "platform/sjis.h"
#include "resource/pack_writer.h"
#include "support/file_faults.h"
#include "support/game_folder.h"

namespace {

using testing_support::GameFolder;
using Bytes = std::vector<uint8_t>;

void PutLe32(Bytes& b, size_t at, int32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i));
}
int32_t GetLe32(const Bytes& b, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(b[at + i]) << (8 * i);
  return static_cast<int32_t>(v);
}

// The fields ResetSettings sets, as (offset, width, value) in the file.
struct Field {
  size_t offset;
  int width;
  int32_t value;
};
std::vector<Field> ResetFields() {
  std::vector<Field> f = {{4, 4, 5},   {12, 4, 3},  {16, 4, 1}, {24, 4, 0}, {30, 1, 1},
                          {32, 4, 8},  {36, 1, 1},  {40, 4, 8}, {44, 1, 1}, {48, 4, 8},
                          {104, 4, 8}, {109, 1, 1}, {110, 1, 1}};
  for (size_t g = 0; g < 9; ++g) {
    f.push_back({52 + g, 1, 1});
    f.push_back({64 + 4 * g, 4, 8});
  }
  for (size_t v = 0; v < 8; ++v) f.push_back({120 + 4 * v, 4, 0});
  return f;
}
void Apply(Bytes& image, const std::vector<Field>& fields) {
  for (const Field& f : fields) {
    if (f.width == 1) {
      image[f.offset] = static_cast<uint8_t>(f.value);
    } else {
      PutLe32(image, f.offset, f.value);
    }
  }
}
Bytes FirstStartImage() {
  Bytes b(252, 0);
  b[0] = 1;
  Apply(b, ResetFields());
  return b;
}
Bytes Image(const SystemData& d) {
  const auto* p = reinterpret_cast<const uint8_t*>(&d);
  return Bytes(p, p + sizeof d);
}

// The read-text transform as the format defines it: stored = ((plain + 0x80) mod 256) XOR K.
Bytes Scramble(Bytes b, uint8_t key) {
  for (uint8_t& c : b) c = static_cast<uint8_t>(((c + 0x80) & 0xFF) ^ key);
  return b;
}
Bytes Unscramble(Bytes b, uint8_t key) {
  for (uint8_t& c : b) c = static_cast<uint8_t>(((c ^ key) + 0x80) & 0xFF);
  return b;
}
Bytes ReadRecord(const std::string& name, int32_t position) {
  Bytes r(36, 0);
  std::memcpy(r.data(), name.data(), name.size());
  PutLe32(r, 32, position);
  return r;
}

class RecordsTest : public ::testing::Test {
 protected:
  void SetUp() override { game.process.log.SetEcho(false); }
  CADV& adv() { return game.process.adv; }
  GameFolder folder;
  HeadlessGame game;
};

TEST_F(RecordsTest, FirstStartWritesTheDefaultSettingsAndNothingElse) {
  folder.WriteEmptyGame();
  ASSERT_TRUE(game.Boot());
  EXPECT_EQ(folder.Read("system.dat"), FirstStartImage());
  EXPECT_TRUE(adv().startup_windowed);
  EXPECT_FALSE(folder.Exists("data.dat"));
  EXPECT_FALSE(folder.Exists("text.dat"));
  EXPECT_EQ(game.process.log.Count(SJ("text.datのopenに失敗しました。既読データーが失われます。")),
            1);
  // The next start loads that file rather than writing it again.
  HeadlessGame second;
  second.process.log.SetEcho(false);
  ASSERT_TRUE(second.Boot());
  EXPECT_EQ(Image(second.process.adv.system_data), FirstStartImage());
}

TEST_F(RecordsTest, SettingsFilesOfEveryLengthLoadAsFarAsTheyGo) {
  Bytes full(252);
  for (size_t i = 0; i < full.size(); ++i) full[i] = static_cast<uint8_t>(i * 7 + 3);
  full[0] = 0;
  struct Case {
    size_t length;  // bytes of `full` in the file, then 0xEE up to the file size
    size_t file_size;
  } cases[] = {{0, 0}, {1, 1}, {8, 8}, {130, 130}, {252, 252}, {252, 400}};
  for (const Case& c : cases) {
    GameFolder f;
    Bytes file(full.begin(), full.begin() + static_cast<long>(c.length));
    file.resize(c.file_size, 0xEE);
    f.Write("system.dat", file);
    HeadlessGame g;
    ASSERT_TRUE(g.process.adv.LoadSystemData()) << c.file_size;
    // The bytes the file has, then the first-start values for the ones it lacks.
    Bytes expected = FirstStartImage();
    std::copy(full.begin(), full.begin() + static_cast<long>(c.length), expected.begin());
    EXPECT_EQ(Image(g.process.adv.system_data), expected) << c.file_size;
    EXPECT_EQ(g.process.adv.startup_windowed, expected[0] != 0) << c.file_size;
    ASSERT_TRUE(g.process.adv.SaveSystemData());
    EXPECT_EQ(f.Read("system.dat"), expected) << c.file_size;
  }
}

TEST_F(RecordsTest, SavingKeepsTheDisplayModeTheProgramStartedWith) {
  Bytes file = FirstStartImage();
  PutLe32(file, 248, 1234);  // $SYS 32
  folder.Write("system.dat", file);
  ASSERT_TRUE(adv().LoadSystemData());
  adv().system_data.Windowed = 0;  // toggled to full screen since
  ASSERT_TRUE(adv().SaveSystemData());
  Bytes saved = folder.Read("system.dat");
  EXPECT_EQ(saved[0], 1);
  EXPECT_EQ(GetLe32(saved, 248), 1234);
}

TEST_F(RecordsTest, ResetSettingsSetsItsFieldsLeavesTheRestAndClearsProgress) {
  SystemData& d = adv().system_data;
  std::memset(&d, 0x77, sizeof d);
  std::memset(&adv().progress, 1, sizeof adv().progress);
  adv().ResetSettings();
  Bytes expected(252, 0x77);
  Apply(expected, ResetFields());
  EXPECT_EQ(Image(d), expected);
  for (int i = 0; i < kPictureCount; ++i) EXPECT_FALSE(adv().progress.IsPictureSeen(i)) << i;
  const auto* p = reinterpret_cast<const uint8_t*>(&adv().progress);
  EXPECT_EQ(Bytes(p, p + 398), Bytes(398, 0));
}

TEST_F(RecordsTest, UnlocksReachDataDatAtTheirMoments) {
  adv().UnlockMemory(17);  // outside 1-16: nothing changes, nothing is written
  adv().UnlockPicture(198);
  EXPECT_FALSE(folder.Exists("data.dat"));
  adv().UnlockMovie(3);  // waits for the next save
  EXPECT_FALSE(folder.Exists("data.dat"));
  adv().UnlockPicture(5);
  Bytes file = folder.Read("data.dat");
  ASSERT_EQ(file.size(), 398u);
  EXPECT_EQ(file[5], 1);
  EXPECT_EQ(file[213 + 2], 1);  // the movie went with it
  adv().UnlockMemory(16);  // the fourth heroine's last memory has its byte too
  EXPECT_EQ(folder.Read("data.dat")[197 + 15], 1);
}

// The 198th picture has no byte of its own in PictureSeen; it must not share one with memory
// scene 1 (which sits where a 198th byte would be), nor show as movie 185.
TEST_F(RecordsTest, TheLastPictureHasAFlagOfItsOwn) {
  adv().UnlockPicture(kPictureCount - 1);
  EXPECT_TRUE(adv().progress.IsPictureSeen(197));
  EXPECT_FALSE(adv().progress.IsMemorySeen(1));
  EXPECT_FALSE(adv().progress.IsMovieSeen(185));
  EXPECT_FALSE(adv().progress.IsPictureSeen(196));
  adv().UnlockMovie(185);
  adv().UnlockMemory(1);
  EXPECT_TRUE(adv().progress.IsMovieSeen(185));
  Bytes file = folder.Read("data.dat");
  EXPECT_EQ(file[197], 1);
  EXPECT_EQ(file[397], 3);  // bit 0 movie 185, bit 1 the last picture
  HeadlessGame again;
  ASSERT_TRUE(again.process.adv.LoadProgress());
  EXPECT_TRUE(again.process.adv.progress.IsPictureSeen(197));
  EXPECT_TRUE(again.process.adv.progress.IsMovieSeen(185));
}

TEST_F(RecordsTest, ProgressFilesLoadAsFarAsTheyGo) {
  for (size_t size : {0u, 10u, 398u, 500u}) {
    GameFolder f;
    f.Write("data.dat", Bytes(size, 1));
    HeadlessGame g;
    g.process.adv.progress.UnlockMovie(185);  // a flag the short files do not reach
    ASSERT_TRUE(g.process.adv.LoadProgress());
    const auto* p = reinterpret_cast<const uint8_t*>(&g.process.adv.progress);
    for (size_t i = 0; i < 398; ++i) {
      const uint8_t expected = i < size ? 1 : (i == 397 ? 1 : 0);
      ASSERT_EQ(p[i], expected) << size << " at " << i;
    }
  }
  GameFolder none;
  HeadlessGame g;
  EXPECT_FALSE(g.process.adv.LoadProgress());
}

TEST_F(RecordsTest, TextDatTakesWholeRecordsAndTheLaterOfTwoNames) {
  folder.WriteEmptyGame();
  const uint8_t key = kPackKey;
  Bytes plain;
  for (Bytes r : {ReadRecord("SCP\\a.scp", 10), ReadRecord("SCP\\b.scp", 20)})
    plain.insert(plain.end(), r.begin(), r.end());
  Bytes file = Scramble(plain, key);
  file.resize(100, 0x41);  // 28 bytes of a third record that never arrived
  folder.Write("text.dat", file);
  ASSERT_TRUE(game.Boot());
  const auto& map = adv().read_positions.Map();
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map.at("SCP\\a.scp"), 10);
  EXPECT_EQ(map.at("SCP\\b.scp"), 20);

  // Later records win; a record with no NUL in its name is damaged and skipped.
  Bytes more;
  Bytes damaged(36, 'x');
  for (Bytes r : {ReadRecord("SCP\\a.scp", 3), damaged, ReadRecord("SCP\\a.scp", 7)})
    more.insert(more.end(), r.begin(), r.end());
  more = Scramble(more, key);
  ReadPositions rp;
  EXPECT_EQ(rp.LoadRecords(more.data(), more.size(), key), 2u);
  ASSERT_EQ(rp.Map().size(), 1u);
  EXPECT_EQ(rp.Stored("SCP\\a.scp"), 7);
}

TEST_F(RecordsTest, RecordReadPositionOnlyRaises) {
  ReadPositions rp;
  rp.RecordReadPosition("SCP\\s.scp", 25);
  rp.RecordReadPosition("SCP\\s.scp", 10);
  EXPECT_EQ(rp.Stored("SCP\\s.scp"), 25);
  EXPECT_TRUE(rp.IsRead("SCP\\s.scp", 24));
  EXPECT_FALSE(rp.IsRead("SCP\\s.scp", 25));
  EXPECT_FALSE(rp.IsRead("SCP\\other.scp", 0));
}

// An archive written with another key: text.dat follows the key the system archive was read with.
TEST_F(RecordsTest, TextDatIsScrambledWithTheSystemArchivesKey) {
  const uint8_t key = 0x33;
  auto pack = BuildPack({{"SCP\\startup.scp", {'a'}}}, key);
  ASSERT_TRUE(pack);
  folder.Write("system.pkd", *pack);
  folder.WriteEmptyArchive("thumb.pkd");
  folder.WriteEmptyArchive("grp.pkd");
  ASSERT_TRUE(game.Boot());
  ASSERT_EQ(game.process.system_pkd.Key(), key);
  const std::string high = "\x82\xa0.scp";  // sorts after ASCII: byte order, not signed char
  const std::string too_long(32, 'L');  // no room for it
  adv().read_positions.RecordReadPosition("SCP\\b.scp", 200);
  adv().read_positions.RecordReadPosition(high, 5);
  adv().read_positions.RecordReadPosition("SCP\\a.scp", 100);
  adv().read_positions.RecordReadPosition(too_long, 9);
  ASSERT_TRUE(adv().SaveReadPositions());
  Bytes expected;
  for (Bytes r :
       {ReadRecord("SCP\\a.scp", 100), ReadRecord("SCP\\b.scp", 200), ReadRecord(high, 5)})
    expected.insert(expected.end(), r.begin(), r.end());
  EXPECT_EQ(Unscramble(folder.Read("text.dat"), key), expected);
  EXPECT_TRUE(game.process.log.Contains("longer than 31 bytes"));

  HeadlessGame next;
  next.process.log.SetEcho(false);
  ASSERT_TRUE(next.Boot());
  EXPECT_EQ(next.process.adv.read_positions.Stored("SCP\\b.scp"), 200);
  EXPECT_EQ(next.process.adv.read_positions.Stored(high), 5);
}

TEST_F(RecordsTest, PlayerFilesAreWrittenThroughATemporaryFile) {
  std::vector<std::string> renamed;
  {
    test_support::FaultyFileCalls calls;
    calls.Arm(-1, test_support::FaultyFileCalls::Fault::kNone);
    EXPECT_TRUE(adv().SaveSystemData());
    EXPECT_TRUE(adv().SaveProgress());
    EXPECT_TRUE(adv().SaveReadPositions());
    for (const auto& c : calls.Calls())
      if (c.call == test_support::FaultyFileCalls::Call::kRename) renamed.push_back(c.path);
  }
  ASSERT_EQ(renamed.size(), 3u);
  const char* names[] = {"system.dat", "data.dat", "text.dat"};
  for (int i = 0; i < 3; ++i) {
    const std::string file = std::filesystem::path(renamed[i]).filename().string();
    EXPECT_EQ(file.rfind(names[i], 0), 0u) << file;
    EXPECT_NE(file, names[i]);
  }
}

// Each player file in turn meets a full disk, an I/O error or a short write at every write,
// fsync and rename of its save: the file on disk stays the old one, whole and loadable (or is
// the new one once the rename is done), a failure is in the log, and no temporary file is left.
TEST_F(RecordsTest, AFaultAtAnyCallOfASaveKeepsTheOldFile) {
  using Fault = test_support::FaultyFileCalls::Fault;
  struct Case {
    const char* file;
    std::function<void(int)> change;  // makes the record differ from the last one saved
    std::function<bool()> save;
    std::function<bool()> loads;  // the file on disk loads
  } cases[] = {
      {"system.dat", [&](int v) { adv().system_data.TextSpeed = v; },
       [&] { return adv().SaveSystemData(); }, [&] { return adv().LoadSystemData(); }},
      {"data.dat", [&](int v) { adv().progress.UnlockPicture(v); },
       [&] { return adv().SaveProgress(); }, [&] { return adv().LoadProgress(); }},
      {"text.dat", [&](int v) { adv().read_positions.RecordReadPosition("SCP\\s.scp", v); },
       [&] { return adv().SaveReadPositions(); }, [&] { return adv().LoadReadPositions(); }},
  };
  for (const Case& c : cases) {
    c.change(1);
    ASSERT_TRUE(c.save());
    int calls_in_a_save = 0;
    {
      test_support::FaultyFileCalls count;
      count.Arm(-1, Fault::kNone);
      c.change(2);
      ASSERT_TRUE(c.save());
      calls_in_a_save = count.Count();
    }
    ASSERT_GE(calls_in_a_save, 4) << c.file;
    int value = 3;
    for (Fault fault : {Fault::kNoSpace, Fault::kIoError, Fault::kShortWrite}) {
      for (int n = 0; n < calls_in_a_save; ++n, ++value) {
        SCOPED_TRACE(testing::Message() << c.file << ": fault " << static_cast<int>(fault)
                                        << " at call " << n);
        const Bytes before = folder.Read(c.file);
        const int logged = game.process.log.Count("could not be written");
        c.change(value);
        bool saved = false;
        {
          test_support::FaultyFileCalls calls;
          calls.Arm(n, fault);
          saved = c.save();
        }
        const bool renamed = n == calls_in_a_save - 1;
        if (fault == Fault::kShortWrite) {
          EXPECT_TRUE(saved);
        } else {
          EXPECT_FALSE(saved);
          EXPECT_EQ(game.process.log.Count("could not be written"), logged + 1);
          if (!renamed) {
            EXPECT_EQ(folder.Read(c.file), before);
          }
        }
        EXPECT_TRUE(c.loads());
        int files = 0;
        for (auto& e : std::filesystem::directory_iterator(folder.path())) files += e.is_regular_file();
        EXPECT_EQ(files, static_cast<int>(&c - cases) + 1);  // the player files, nothing else
      }
    }
  }
}

TEST_F(RecordsTest, UnwritableFilesFailAndTextDatSaysSo) {
  for (const char* name : {"system.dat", "data.dat", "text.dat"})
    std::filesystem::create_directory(std::filesystem::path(folder.path()) / name);
  EXPECT_FALSE(adv().SaveSystemData());
  EXPECT_FALSE(adv().SaveProgress());
  EXPECT_FALSE(adv().SaveReadPositions());
  EXPECT_EQ(game.process.log.Count(SJ("text.datのopenに失敗しました。既読データーが失われます。")),
            1);
}

}  // namespace
