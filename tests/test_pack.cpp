// Pack archives: lookups, key detection, hostile files, the game's retrying reader and the pkd
// tool. Every archive is made here in a temporary folder; the malformed ones are written byte by
// byte with a scrambler of the test's own, so the reader is not checked against itself.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "platform/sjis.h"
#include "resource/pack_file.h"
#include "resource/pack_writer.h"

namespace {

namespace stdfs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes Pattern(size_t size, uint32_t seed) {
  Bytes b(size);
  for (auto& c : b) {
    seed = seed * 1103515245u + 12345u;
    c = static_cast<uint8_t>(seed >> 16);
  }
  return b;
}

void WriteFile(const stdfs::path& path, const Bytes& bytes) {
  stdfs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes ReadFile(const stdfs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

int OpenFds() {
  return static_cast<int>(std::distance(stdfs::directory_iterator("/proc/self/fd"), {}));
}

// A record as it is stored before scrambling. A name of 128 bytes has no NUL.
struct RawRecord {
  std::string name;
  int32_t size;
  int32_t offset;
};

void PutLe32(Bytes& b, int32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

// An archive laid out by hand: header with `count`, the records, then `data`. Scrambled as the
// inverse of the restore rule ((s + 0x80) mod 256) XOR K.
Bytes RawArchive(int32_t count, const std::vector<RawRecord>& records, const Bytes& data,
                 uint8_t key = kPackKey, const char* magic = "PACK") {
  Bytes body;
  for (const RawRecord& r : records) {
    std::string name = r.name;
    name.resize(kPackNameSize, '\0');
    body.insert(body.end(), name.begin(), name.end());
    PutLe32(body, r.size);
    PutLe32(body, r.offset);
  }
  body.insert(body.end(), data.begin(), data.end());
  Bytes out(magic, magic + 4);
  PutLe32(out, count);
  for (uint8_t p : body) out.push_back(static_cast<uint8_t>((p ^ key) + 0x80));
  return out;
}

constexpr int32_t TableEnd(int n) { return kPackHeaderSize + n * kPackRecordSize; }

class PackTest : public ::testing::Test {
 protected:
  PackTest() {
    std::string t = (stdfs::temp_directory_path() / "lanthorn-pack-XXXXXX").string();
    dir_ = ::mkdtemp(t.data());
  }
  ~PackTest() override {
    std::error_code ec;
    stdfs::remove_all(dir_, ec);
  }
  std::string Put(const std::string& name, const Bytes& bytes) {
    WriteFile(dir_ / name, bytes);
    return (dir_ / name).string();
  }
  std::string PutPack(const std::string& name, const std::vector<PackSource>& entries,
                      uint8_t key = kPackKey) {
    auto bytes = BuildPack(entries, key);
    EXPECT_TRUE(bytes.has_value());
    return Put(name, bytes.value_or(Bytes{}));
  }

  stdfs::path dir_;
};

// Shift_JIS names used below: "テスト", and two katakana whose second bytes differ only as 'A'
// and 'a' do (0x83 0x41 and 0x83 0x61).
const std::string kTesuto = "\x83\x65\x83\x58\x83\x67";
const std::string kKanaA = "\x83\x41";
const std::string kKanaDi = "\x83\x61";

TEST(PackScramble, MatchesTheRestoreRuleAtEverySizeAndAlignment) {
  const Bytes stored = Pattern(300, 7);
  for (uint8_t key : {0x00, 0x5A, 0xFF}) {
    for (size_t start : {0, 1, 7}) {
      for (size_t size : {0, 1, 15, 16, 17, 63, 64, 65, 200}) {
        Bytes b = stored;
        PackScramble(b.data() + start, size, key);
        for (size_t i = 0; i < b.size(); ++i) {
          const bool inside = i >= start && i < start + size;
          const auto want = inside ? static_cast<uint8_t>(((stored[i] + 0x80) & 0xFF) ^ key) : stored[i];
          ASSERT_EQ(b[i], want) << "key " << int(key) << " start " << start << " size " << size << " at " << i;
        }
      }
    }
  }
}

// The path an entry is unpacked to: folders from backslashes, converted from Shift_JIS first (so
// a trail byte 0x5C stays inside its character), and nothing for a name that would leave.
TEST(PackEntryHostPath, MapsNamesInsideTheFolderOnly) {
  struct Case {
    std::string name;
    std::string path;
  } cases[] = {
      {"SCP\\start.scp", "SCP/start.scp"},
      {"a.png", "a.png"},
      {"\x95\x5C\\x.png", "\xE8\xA1\xA8/x.png"},  // the trail byte 0x5C of a kanji
      {"..\\x.png", ""},
      {"BG\\..\\..\\x.png", ""},
      {"BG\\.\\x.png", ""},
      {"\\x.png", ""},
      {"BG\\", ""},
      {"BG\\\\x.png", ""},
      {"a/b.png", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(PackEntryHostPath(c.name), c.path) << c.name;
}

TEST_F(PackTest, LooksUpNamesIgnoringAsciiCaseOnly) {
  const Bytes title = Pattern(1000, 1);
  const std::string path = PutPack(
      "grp.pkd", {{"SYSTEM\\TITLE\\title.png", title},
                  {"SCP\\startup.scp", Text("@text\r\n")},
                  {"grp\\" + kTesuto + ".png", Text("sjis")},
                  {"chr\\" + kKanaA, Text("A")},
                  {"chr\\" + kKanaDi, Text("DI")},
                  {"empty.txt", {}}});
  CPackFile pack;
  // The archive's own path is a game path too: any ASCII case finds the file.
  ASSERT_TRUE(pack.Open((dir_ / "GRP.PKD").string()));
  EXPECT_EQ(pack.Count(), 6);
  EXPECT_EQ(pack.Key(), kPackKey);

  struct Case {
    std::string request;
    int32_t size;  // -1: not found
  };
  const Case cases[] = {
      {"SYSTEM\\TITLE\\title.png", 1000},
      {"system\\title\\TITLE.PNG", 1000},
      {"SyStEm\\TiTlE\\tItLe.PnG", 1000},
      {"SYSTEM/TITLE/title.png", -1},  // separators are not normalised
      {"SYSTEM\\TITLE\\title.png ", -1},
      {"scp\\STARTUP.SCP", 7},
      {"GRP\\" + kTesuto + ".PNG", 4},
      {"chr\\" + kKanaA, 1},  // a trail byte is not a letter: these stay two names
      {"CHR\\" + kKanaDi, 2},
      {"EMPTY.TXT", 0},
      {"missing.png", -1},
      {"", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    EXPECT_EQ(pack.EntrySize(c.request), c.size);
    Bytes buffer(static_cast<size_t>(std::max(c.size, 0)) + 1, 0xEE);
    EXPECT_EQ(pack.ReadEntry(c.request, buffer.data()), c.size);
    EXPECT_EQ(buffer.back(), 0xEE) << "wrote past the entry";
  }
  EXPECT_EQ(pack.Index().size(), 6u) << "a lookup changed the index";

  auto read = pack.Read("system\\title\\title.png", 3);
  ASSERT_TRUE(read);
  Bytes want = title;
  want.insert(want.end(), 3, 0);
  EXPECT_EQ(*read, want);
  EXPECT_EQ(pack.Read("scp\\startup.scp"), Text("@text\r\n"));
  EXPECT_FALSE(pack.Read("missing.png"));
}

TEST_F(PackTest, LaterRecordOfTheSameNameWins) {
  CPackFile pack;
  ASSERT_TRUE(pack.Open(PutPack("dup.pkd", {{"a\\x.txt", Text("first")}, {"A\\X.TXT", Text("second!")}})));
  EXPECT_EQ(pack.Index().size(), 1u);
  EXPECT_EQ(pack.EntrySize("a\\x.txt"), 7);
  EXPECT_EQ(pack.Read("a\\x.txt"), Text("second!"));
}

TEST_F(PackTest, CountOfZeroOrLessOpensEmpty) {
  for (int32_t count : {0, -1, INT_MIN}) {
    SCOPED_TRACE(count);
    CPackFile pack;
    // Records after the header are ignored when the count says there are none.
    ASSERT_TRUE(pack.Open(Put("empty.pkd", RawArchive(count, {{"A", 1, TableEnd(1)}}, Text("x")))));
    EXPECT_EQ(pack.Count(), count);
    EXPECT_TRUE(pack.Index().empty());
    EXPECT_EQ(pack.EntrySize("A"), -1);
  }
}

TEST_F(PackTest, FindsTheKeyAnArchiveWasWrittenWith) {
  // 0x80 stores the bytes in the clear; 0xDA stores them XOR 0x5A.
  for (uint8_t key : {0x00, 0x5A, 0x80, 0xA5, 0xDA, 0xFF}) {
    SCOPED_TRACE(int(key));
    const std::vector<PackSource> entries = {{"SCP\\a.scp", Pattern(100, key)},
                                             {"SYSTEM\\empty", {}},
                                             {"grp\\" + kTesuto, Text("kana")},
                                             {"GRP\\big.png", Pattern(5000, key + 1u)}};
    const std::string path = PutPack("key.pkd", entries, key);
    CPackFile pack;
    ASSERT_TRUE(pack.Open(path));
    EXPECT_EQ(pack.Key(), key);
    for (const PackSource& e : entries) EXPECT_EQ(pack.Read(e.name), e.data) << e.name;

    // Cut the last entry short: the rest of the table still identifies the key, and the entry
    // whose bytes are gone is not offered.
    stdfs::resize_file(path, stdfs::file_size(path) - 10);
    ASSERT_TRUE(pack.Open(path));
    EXPECT_EQ(pack.Key(), key);
    EXPECT_EQ(pack.Read("SCP\\a.scp"), entries[0].data);
    EXPECT_EQ(pack.EntrySize("GRP\\big.png"), -1);
    EXPECT_EQ(pack.Index().size(), 3u);
  }
}

TEST_F(PackTest, OnlyAFileWithoutTheMagicFailsToOpen) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"empty file", {}},
      {"shorter than the magic", Text("PAC")},
      {"wrong magic", RawArchive(1, {{"GOOD", 4, TableEnd(1)}}, Text("good"), kPackKey, "KCAP")},
      {"lower-case magic", RawArchive(1, {{"GOOD", 4, TableEnd(1)}}, Text("good"), kPackKey, "pack")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Put("bad.pkd", c.bytes);
    const int fds = OpenFds();
    CPackFile pack;
    EXPECT_FALSE(pack.Open(path));
    EXPECT_EQ(OpenFds(), fds) << "the file handle was kept";
    EXPECT_TRUE(pack.Index().empty());
    EXPECT_EQ(pack.EntrySize("GOOD"), -1);
  }
  CPackFile pack;
  EXPECT_FALSE(pack.Open((dir_ / "no such.pkd").string()));
  EXPECT_FALSE(pack.Open(dir_.string())) << "a folder is no archive";
}

// A file that begins with "PACK" is an archive however damaged: it opens, gives what it still
// holds, and says what is wrong, so the game starts and only the lost entries fail to load.
TEST_F(PackTest, DamagedArchivesOpenWithWhatTheyStillHold) {
  const Bytes good_table = RawArchive(1, {{"GOOD", 4, TableEnd(1)}}, Text("good"));
  Bytes short_count(good_table.begin(), good_table.begin() + 7);
  // Three records announced; the file ends inside the second one.
  Bytes cut_table = RawArchive(3, {{"GOOD", 4, TableEnd(3)}, {"B", 1, TableEnd(3)}}, {});
  cut_table.resize(kPackHeaderSize + kPackRecordSize + 50);
  Bytes garbage = Bytes{'P', 'A', 'C', 'K', 1, 0, 0, 0};
  garbage.insert(garbage.end(), kPackRecordSize, 0x37);  // unsound under every key
  // Every entry's data is gone: the records still name them.
  const std::string whole = PutPack("whole.pkd", {{"GRP\\a.png", Pattern(400, 1)},
                                                 {"GRP\\b.png", Pattern(300, 2)}}, 0xA5);
  Bytes cut_data = ReadFile(whole);
  cut_data.resize(TableEnd(2) + 10);
  struct Case {
    const char* what;
    Bytes bytes;
    PackError damage;
    int32_t unreadable;
    size_t indexed;
  };
  const Case cases[] = {
      {"magic without a count", Text("PACK"), PackError::ShortHeader, 0, 0},
      {"count cut short", short_count, PackError::ShortHeader, 0, 0},
      {"count far beyond the file", RawArchive(INT_MAX, {{"GOOD", 4, TableEnd(1)}}, Text("good")),
       PackError::TableOutsideFile, INT_MAX, 0},
      {"table cut short", cut_table, PackError::TableOutsideFile, 3, 0},
      {"no record sound under any key", garbage, PackError::NoKey, 1, 0},
      {"only record has a negative size", RawArchive(1, {{"BAD", -1, TableEnd(1)}}, Text("data")),
       PackError::NoKey, 1, 0},
      {"every entry's data cut off", cut_data, PackError::None, 2, 0},
      {"sound", good_table, PackError::None, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Put("damaged.pkd", c.bytes);
    const int fds = OpenFds();
    CPackFile pack;
    ASSERT_TRUE(pack.Open(path));
    EXPECT_EQ(OpenFds(), fds) << "the file handle was kept";
    EXPECT_EQ(pack.Damage(), c.damage);
    EXPECT_EQ(pack.Unreadable(), c.unreadable);
    EXPECT_EQ(pack.Index().size(), c.indexed);
    uint8_t buffer[512];
    for (const char* name : {"B", "BAD", "GRP\\a.png", "GRP\\b.png"})
      EXPECT_EQ(pack.ReadEntry(name, buffer), -1);
    EXPECT_EQ(pack.Read("GOOD").has_value(), c.indexed == 1);
  }
  // The key of an archive whose data is all gone is still found from its names.
  CPackFile pack;
  ASSERT_TRUE(pack.Open(Put("cut.pkd", cut_data)));
  EXPECT_EQ(pack.Key(), 0xA5);
}

TEST_F(PackTest, UnsoundRecordsAreLeftOutOfTheIndex) {
  constexpr int32_t data = TableEnd(2);  // the 4 bytes "good" follow the two records
  struct Case {
    const char* what;
    RawRecord bad;
  };
  const Case cases[] = {
      {"name without NUL", {std::string(128, 'B'), 4, data}},
      {"empty name", {"", 4, data}},
      {"control byte in the name", {"B\x01" "AD", 4, data}},
      {"lead byte without trail", {"BAD\x83", 4, data}},
      {"byte that is no Shift_JIS", {"BAD\xFF", 4, data}},
      {"negative size", {"BAD", -1, data}},
      {"size beyond the file", {"BAD", INT_MAX, data}},
      {"negative offset", {"BAD", 4, -8}},
      {"offset inside the header", {"BAD", 4, 0}},
      {"offset inside the table", {"BAD", 4, 100}},
      {"data running past the end", {"BAD", 5, data}},
      {"offset + size overflowing", {"BAD", 0x20, INT_MAX - 0x10}},
      {"unsound duplicate of a sound name", {"GOOD", 99999, data}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Put("part.pkd", RawArchive(2, {{"GOOD", 4, data}, c.bad}, Text("good")));
    CPackFile pack;
    ASSERT_TRUE(pack.Open(path));
    EXPECT_EQ(pack.Key(), kPackKey);
    ASSERT_EQ(pack.Index().size(), 1u);
    EXPECT_EQ(pack.Index().begin()->first, "GOOD");
    EXPECT_EQ(pack.Read("good"), Text("good"));
    EXPECT_EQ(pack.EntrySize(c.bad.name), c.bad.name == "GOOD" ? 4 : -1);
    uint8_t buffer[16];
    EXPECT_EQ(pack.ReadEntry("BAD", buffer), -1);
  }
}

TEST_F(PackTest, ReadFailuresRetryInTheGameAndNotInSetup) {
  using Mode = CPackFile::ReadMode;
  enum class Break { Nothing, Truncate, Remove, TruncateThenRestoreAtPause5 };
  struct Case {
    const char* what;
    Mode mode;
    Break how;
    bool reads;
    int pauses;  // every one of 100 ms
  };
  const Case cases[] = {
      {"game, intact", Mode::Game, Break::Nothing, true, 0},
      // 10 attempts x (10 read tries + 1 pause after them), as the file opens and seeks fine.
      {"game, entry beyond the end", Mode::Game, Break::Truncate, false, 110},
      {"game, file gone: opening fails without pauses", Mode::Game, Break::Remove, false, 0},
      {"game, file back during the pauses", Mode::Game, Break::TruncateThenRestoreAtPause5, true, 5},
      {"setup, intact", Mode::Setup, Break::Nothing, true, 0},
      {"setup, entry beyond the end", Mode::Setup, Break::Truncate, false, 0},
      {"setup, file gone", Mode::Setup, Break::Remove, false, 0},
  };
  const Bytes entry = Pattern(3000, 9);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = PutPack("retry.pkd", {{"SCP\\x.scp", Text("x")}, {"GRP\\e.png", entry}});
    const Bytes whole = ReadFile(path);
    CPackFile pack(c.mode);
    int pauses = 0;
    pack.SetPause([&](int ms) {
      EXPECT_EQ(ms, 100);
      if (++pauses == 5 && c.how == Break::TruncateThenRestoreAtPause5) WriteFile(path, whole);
    });
    ASSERT_TRUE(pack.Open(path));
    if (c.how == Break::Remove) stdfs::remove(path);
    if (c.how == Break::Truncate || c.how == Break::TruncateThenRestoreAtPause5)
      stdfs::resize_file(path, whole.size() - 1000);

    Bytes buffer(entry.size());
    const int32_t got = pack.ReadEntry("grp\\E.PNG", buffer.data());
    EXPECT_EQ(got, c.reads ? 3000 : -1);
    if (c.reads) {
      EXPECT_EQ(buffer, entry);
    }
    EXPECT_EQ(pauses, c.pauses);
    EXPECT_EQ(pack.Index().size(), 2u);
  }
}

// The pkd binary, run as a user would.
class PkdTest : public PackTest {
 protected:
  void SetUp() override {
    const char* build = std::getenv("LANTHORN_BUILD_DIR");
    if (!build) {
      GTEST_SKIP() << "LANTHORN_BUILD_DIR is not set (run through ctest)";
    }
    pkd_ = stdfs::path(build) / "tools" / "pkd" / "pkd";
    ASSERT_TRUE(stdfs::exists(pkd_)) << pkd_;
  }
  struct Result {
    int code;
    std::string out, err;
  };
  Result Run(const std::string& args) {
    const stdfs::path out = dir_ / "stdout", err = dir_ / "stderr";
    const std::string cmd = "'" + pkd_.string() + "' " + args + " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(cmd.c_str());
    const Bytes o = ReadFile(out), e = ReadFile(err);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(o.begin(), o.end()),
            std::string(e.begin(), e.end())};
  }
  std::string Q(const stdfs::path& p) { return "'" + p.string() + "'"; }

  stdfs::path pkd_;
};

TEST_F(PkdTest, CreateListVerifyExtractRoundTrip) {
  const stdfs::path src = dir_ / "src";
  const std::map<std::string, Bytes> files = {{"SYSTEM/TITLE/title.png", Pattern(300, 3)},
                                              {"empty.txt", {}},
                                              {"grp/テスト.png", Pattern(50, 4)},
                                              {"scp/startup.scp", Text("@text\r\n")}};
  for (const auto& [name, bytes] : files) WriteFile(src / name, bytes);
  const stdfs::path archive = dir_ / "out.pkd";

  Result r = Run("create " + Q(archive) + " " + Q(src));
  ASSERT_EQ(r.code, 0) << r.err;

  // Sorted by stored bytes; offsets follow the 8 + 4 x 136 = 552 bytes of header and table.
  r = Run("list " + Q(archive));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "SYSTEM\\TITLE\\title.png\t300\t552\n"
            "empty.txt\t0\t852\n"
            "grp\\テスト.png\t50\t852\n"
            "scp\\startup.scp\t7\t902\n");

  r = Run("verify " + Q(archive));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("4 records, key 0x5A, OK"), std::string::npos) << r.out;

  // The file name went in as Shift_JIS, where the game looks for it.
  CPackFile pack;
  ASSERT_TRUE(pack.Open(archive.string()));
  EXPECT_EQ(pack.EntrySize("GRP\\" + platform::Utf8ToSjis("テスト") + ".PNG"), 50);

  const stdfs::path back = dir_ / "back";
  r = Run("extract " + Q(archive) + " " + Q(back));
  EXPECT_EQ(r.code, 0) << r.err;
  for (const auto& [name, bytes] : files) EXPECT_EQ(ReadFile(back / name), bytes) << name;

  // The same folder again gives the same bytes; another key is written and found.
  const Bytes first = ReadFile(archive);
  ASSERT_EQ(Run("create " + Q(archive) + " " + Q(src)).code, 0);
  EXPECT_EQ(ReadFile(archive), first);
  ASSERT_EQ(Run("create --key 0xA5 " + Q(dir_ / "a5.pkd") + " " + Q(src)).code, 0);
  r = Run("verify " + Q(dir_ / "a5.pkd"));
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("key 0xA5"), std::string::npos) << r.out;

  // Scripts written in UTF-8 are stored as Shift_JIS; other files are left as they are.
  WriteFile(src / "scp" / "jp.scp", Text("名前\r\n"));
  ASSERT_EQ(Run("create --sjis-ext .scp " + Q(dir_ / "sj.pkd") + " " + Q(src)).code, 0);
  CPackFile sj;
  ASSERT_TRUE(sj.Open((dir_ / "sj.pkd").string()));
  auto jp = sj.Read("SCP\\JP.SCP");
  ASSERT_TRUE(jp);
  EXPECT_EQ(std::string(jp->begin(), jp->end()), platform::Utf8ToSjis("名前\r\n"));
  EXPECT_EQ(sj.EntrySize("SYSTEM\\TITLE\\title.png"), 300);
  WriteFile(src / "scp" / "bad.scp", Bytes{0xFF, 0xFE});
  EXPECT_EQ(Run("create --sjis-ext .scp " + Q(dir_ / "sj.pkd") + " " + Q(src)).code, 1);
}

TEST_F(PkdTest, FailuresExitNonZeroWithAMessage) {
  WriteFile(dir_ / "long" / (std::string(124, 'n') + ".txt"), Text("x"));  // 128 bytes
  WriteFile(dir_ / "cases" / "a.txt", Text("x"));
  WriteFile(dir_ / "cases" / "A.TXT", Text("y"));
  PutPack("dup.pkd", {{"a", Text("1")}, {"A", Text("2")}});
  const std::string cut = PutPack("cut.pkd", {{"a", Text("1")}, {"b", Pattern(100, 1)}});
  stdfs::resize_file(cut, stdfs::file_size(cut) - 1);
  PutPack("escape.pkd", {{"..\\escaped.txt", Text("out")}, {"fine.txt", Text("in")}});
  Put("junk.pkd", Text("not an archive"));

  struct Case {
    std::string args;
    int code;
  };
  const Case cases[] = {
      {"", 2},
      {"frobnicate x", 2},
      {"create --key 300 " + Q(dir_ / "o.pkd") + " " + Q(dir_ / "cases"), 2},
      {"create " + Q(dir_ / "o.pkd") + " " + Q(dir_ / "no-such-folder"), 1},
      {"create " + Q(dir_ / "o.pkd") + " " + Q(dir_ / "long"), 1},
      {"create " + Q(dir_ / "o.pkd") + " " + Q(dir_ / "cases"), 1},
      {"list " + Q(dir_ / "missing.pkd"), 1},
      {"list " + Q(dir_ / "junk.pkd"), 1},
      {"verify " + Q(dir_ / "dup.pkd"), 1},
      {"verify " + Q(cut), 1},
      {"extract " + Q(dir_ / "escape.pkd") + " " + Q(dir_ / "x" / "y"), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const Result r = Run(c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_FALSE(r.err.empty());
  }
  EXPECT_FALSE(stdfs::exists(dir_ / "o.pkd"));
  EXPECT_FALSE(stdfs::exists(dir_ / "x" / "escaped.txt"));
  EXPECT_EQ(ReadFile(dir_ / "x" / "y" / "fine.txt"), Text("in"));
}

// verify names what is wrong, entry by entry, and fails; the game would still open these.
TEST_F(PkdTest, VerifySaysWhichEntriesOfADamagedArchiveAreLostAndWhy) {
  const std::string whole = PutPack("whole.pkd", {{"GRP\\a.png", Pattern(400, 1)},
                                                 {"GRP\\b.png", Pattern(300, 2)}});
  Bytes data_cut = ReadFile(whole);
  data_cut.resize(TableEnd(2) + 500);  // a is whole, b is cut
  Bytes table_cut = ReadFile(whole);
  table_cut.resize(TableEnd(1) + 20);  // the second record is cut
  struct Case {
    const char* what;
    Bytes bytes;
    std::vector<std::string> said;
  };
  const Case cases[] = {
      {"data cut", data_cut, {"record 1 (GRP\\b.png)", "runs past the end of the file"}},
      {"table cut", table_cut, {"gives 2 records", "records 1 to 1 are lost"}},
      {"negative count", RawArchive(-5, {}, {}), {"negative entry count (-5)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = Put("damaged.pkd", c.bytes);
    CPackFile pack;
    EXPECT_TRUE(pack.Open(path));
    const Result r = Run("verify " + Q(path));
    EXPECT_EQ(r.code, 1);
    for (const std::string& s : c.said) EXPECT_NE(r.err.find(s), std::string::npos) << r.err;
  }
}

}  // namespace
