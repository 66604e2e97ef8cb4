// The setup program's lists: splitting, the set-up information, copying with its modes and the
// uninstall list it leaves, removal, and the rule that no line acts outside the installation
// folder. Every case works on real files in a temporary folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/message_box.h"
#include "platform/sjis.h"
#include "resource/pack_file.h"
#include "resource/pack_writer.h"
#include "setup/setup_lists.h"

namespace {

namespace stdfs = std::filesystem;
using setup::SetupLists;

std::string Slurp(const stdfs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
void Spit(const stdfs::path& p, std::string_view text) {
  stdfs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}
// Lines as a list holds them: Shift_JIS, each ended by CR LF.
std::string List(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (auto l : lines) out += SJ(l) + "\r\n";
  return out;
}

class SetupListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/lanthorn-setup-XXXXXX";
    root = ::mkdtemp(tmpl);
    medium = root / "medium";
    stdfs::create_directories(medium);
    context.current_folder = medium;
    context.base_folder = (root / "base").string();
    context.title = SJ("灯の町");
  }
  void TearDown() override { stdfs::remove_all(root); }

  stdfs::path Install() const { return context.InstallationFolder(); }

  // Runs a copy list given as an entry of data.pkd, as the window does: line after line until
  // the end or until a command stops the run.
  void Copy(const std::string& list_text) {
    auto pack = BuildPack({{"install.dir", {list_text.begin(), list_text.end()}}});
    ASSERT_TRUE(pack);
    Spit(root / "data.pkd", std::string(pack->begin(), pack->end()));
    CPackFile archive(CPackFile::ReadMode::Setup);
    ASSERT_TRUE(archive.OpenHostFile((root / "data.pkd").string()));
    SetupLists lists(context, archive);
    ASSERT_TRUE(lists.ReadList("install.dir", true));
    context.back_to_folder_page = false;
    for (size_t& i = lists.ListIndex(); i < lists.Lines().size(); ++i) {
      ASSERT_TRUE(lists.ExecuteCopyLine(lists.Lines()[i], static_cast<int>(i) + 1));
      if (context.back_to_folder_page) return;
    }
    lists.WriteUninstallList(context.InstallationFolder());
  }

  void Remove() {
    CPackFile none(CPackFile::ReadMode::Setup);
    SetupLists lists(context, none);
    context.installed_folder = context.InstallationFolder();
    ASSERT_TRUE(lists.ReadList(context.installed_folder + "/Uninstall.dir", false));
    for (size_t i = 0; i < lists.Lines().size(); ++i)
      ASSERT_TRUE(lists.ExecuteUninstallLine(lists.Lines()[i], static_cast<int>(i) + 1));
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes.shown) out.push_back(platform::SjisToUtf8(b.text));
    return out;
  }

  stdfs::path root, medium;
  platform::HeadlessMessageBoxes boxes;
  platform::Registry registry{""};  // the lists never reach the record
  setup::SetupContext context{boxes, registry};
};

TEST(SetupListLines, SplitsAtCrLfOnlyAndCutsLongLines) {
  struct Case {
    std::string text;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"A\r\nB\r\nC", {"A", "B"}},  // the last line lacks CR LF
      {"\r\n\r\n", {"", ""}},
      {"A\rB\nC\r\n", {"A\rB\nC"}},
      {std::string(3000, 'x') + "\r\nY\r\n", {std::string(2047, 'x'), "Y"}},
  };
  for (const auto& c : cases) {
    auto got = setup::SplitListLines(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size());
    EXPECT_EQ(got, c.lines) << c.text.substr(0, 20);
  }
  auto line = setup::SplitListLine("COPY\ta\tb");
  EXPECT_EQ(line.keyword, "COPY");
  EXPECT_EQ(line.argument, "a\tb");
  line = setup::SplitListLine("INIT");
  EXPECT_EQ(line.keyword, "INIT");
  EXPECT_EQ(line.argument, "INIT");
}

TEST_F(SetupListsTest, SetupInformationSetsTitleNumberAndProgram) {
  CPackFile none(CPackFile::ReadMode::Setup);
  SetupLists lists(context, none);
  EXPECT_TRUE(lists.ParseSetupLine(SJ("TITLE\t夜の灯")));
  EXPECT_TRUE(lists.ParseSetupLine("INSTALL_NO\t 12x"));
  EXPECT_TRUE(lists.ParseSetupLine("EXE_NAME\tlanthorn"));
  EXPECT_TRUE(lists.ParseSetupLine(""));
  EXPECT_EQ(context.title, SJ("夜の灯"));
  EXPECT_EQ(context.install_number, 12);
  EXPECT_EQ(context.exe_name, "lanthorn");
  EXPECT_FALSE(lists.ParseSetupLine("title\tx"));  // keywords are exact
  EXPECT_FALSE(lists.ParseSetupLine("VERSION\t2"));
  // A title is the game's folder name: nothing that leads elsewhere.
  for (const char* bad : {"TITLE\t..", "TITLE\t..\\..\\x", "TITLE\ta/b", "TITLE\tC:", "TITLE\t"})
    EXPECT_FALSE(lists.ParseSetupLine(bad)) << bad;
  EXPECT_EQ(context.title, SJ("夜の灯"));
  EXPECT_EQ(SetupLists::UnknownLineText(7), SJ("7行目 : 解釈できない命令があります。"));
}

TEST_F(SetupListsTest, InstallMakesTheTreeAndRemovalLeavesWhatThePlayerAdded) {
  Spit(medium / "lanthorn", "program");
  Spit(medium / "DATA" / "a.txt", "alpha");
  Spit(medium / "DATA" / "SUB" / "b.bin", std::string("\0\1\2", 3));
  ::chmod((medium / "lanthorn").c_str(), 0755);
  const std::string list = List({"INIT", "MKDIR\tDATA", "MKDIR\tDATA\\SUB", "COPY\tlanthorn",
                                 "COPY\tDATA\\a.txt", "COPY\tDATA\\SUB\\b.bin"}) +
                           "COPY\tnot-run";  // no CR LF: not a line
  Copy(list);
  EXPECT_TRUE(boxes.shown.empty()) << BoxTexts()[0];
  EXPECT_EQ(Slurp(Install() / "lanthorn"), "program");
  EXPECT_EQ(Slurp(Install() / "DATA" / "a.txt"), "alpha");
  EXPECT_EQ(Slurp(Install() / "DATA" / "SUB" / "b.bin"), std::string("\0\1\2", 3));
  EXPECT_EQ(::access((Install() / "lanthorn").c_str(), X_OK), 0);  // still a program
  const std::string once =
      "DELETE\tDATA\\SUB\\b.bin\r\nDELETE\tDATA\\a.txt\r\nDELETE\tlanthorn\r\n"
      "RMDIR\tDATA\\SUB\r\nRMDIR\tDATA\r\n";
  EXPECT_EQ(Slurp(Install() / "Uninstall.dir"), once);

  Copy(list);  // a second installation into the same folder appends its lines
  EXPECT_EQ(Slurp(Install() / "Uninstall.dir"), once + once);

  Spit(Install() / "DATA" / "save.dat", "the player's");
  Remove();
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_FALSE(stdfs::exists(Install() / "lanthorn"));
  EXPECT_FALSE(stdfs::exists(Install() / "DATA" / "SUB"));
  EXPECT_EQ(Slurp(Install() / "DATA" / "save.dat"), "the player's");
}

TEST_F(SetupListsTest, NotExistAndProtectKeepOrReplaceExistingFiles) {
  Spit(medium / "keep.txt", "new");
  struct Case {
    const char* mode;
    int install_number, installed_number;
    bool replaced;
  } cases[] = {
      {"NOTEXIST", 5, 1, false},
      {"PROTECT", 2, 1, true},   // a newer setup over an older installation
      {"PROTECT", 2, 2, true},
      {"PROTECT", 1, 2, false},  // an older one keeps the newer files
      {"OVERWRITE", 1, 2, true},
      {"BOGUS", 1, 2, true},     // an unknown mode leaves OVERWRITE in force
  };
  for (const auto& c : cases) {
    stdfs::remove_all(root / "base");
    Spit(Install() / "keep.txt", "old");
    context.install_number = c.install_number;
    context.installed_number = c.installed_number;
    Copy(List({std::string("MODE\t") + c.mode, "COPY\tkeep.txt"}));
    EXPECT_EQ(Slurp(Install() / "keep.txt"), c.replaced ? "new" : "old") << c.mode;
    EXPECT_EQ(Slurp(Install() / "Uninstall.dir"), c.replaced ? "DELETE\tkeep.txt\r\n" : "")
        << c.mode;
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SetupListsTest, NoLineActsOutsideTheInstallationFolder) {
  const stdfs::path outside = root / "outside";
  Spit(outside / "victim", "mine");
  Spit(medium / "x", "payload");
  Spit(medium / "ok", "fine");
  stdfs::create_directories(Install());
  stdfs::create_symlink(outside, Install() / "link");
  stdfs::create_symlink(outside / "victim", Install() / "victimlink");
  const std::string absolute = outside.string() + "/x";
  Copy(List({"COPY\t..\\..\\..\\outside\\x", "COPY\t" + absolute, "COPY\tC:\\x",
             "MKDIR\t..\\..\\..\\outside\\made", "MKDIR\tlink\\made", "COPY\tlink\\x",
             "COPY\tok"}));
  // Each refused line was reported with its number and the run went on to the last line.
  ASSERT_EQ(boxes.shown.size(), 6u);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(boxes.shown[i].text, SetupLists::OutsideLineText(i + 1));
  EXPECT_EQ(Slurp(Install() / "ok"), "fine");
  EXPECT_EQ(Slurp(Install() / "Uninstall.dir"), "DELETE\tok\r\n");

  // A copy over a link replaces the link, it never writes through it.
  Spit(medium / "victimlink", "payload");
  Copy(List({"COPY\tvictimlink"}));
  EXPECT_FALSE(stdfs::is_symlink(Install() / "victimlink"));

  boxes.shown.clear();
  stdfs::create_symlink(outside / "victim", Install() / "victimlink2");
  Spit(Install() / "Uninstall.dir",
       List({"DELETE\t..\\..\\..\\outside\\victim", "DELETE\t" + outside.string() + "/victim",
             "DELETE\tlink\\victim", "RMDIR\t..\\..\\..\\outside", "RMDIR\tlink",
             "DELETE\tvictimlink2"}));
  Remove();
  EXPECT_EQ(boxes.shown.size(), 5u);
  EXPECT_EQ(Slurp(outside / "victim"), "mine");
  EXPECT_TRUE(stdfs::is_directory(outside));
  EXPECT_FALSE(stdfs::exists(outside / "x"));
  EXPECT_FALSE(stdfs::exists(outside / "made"));
  EXPECT_FALSE(stdfs::is_symlink(Install() / "victimlink2"));  // the link itself may go
}

TEST_F(SetupListsTest, AFailedCopyStopsTheRunAndLeavesAListForWhatWasCopied) {
  Spit(medium / "a", "a");
  Copy(List({"INIT", "MKDIR\tD", "COPY\ta", "COPY\tmissing", "COPY\ta2"}));
  EXPECT_TRUE(context.back_to_folder_page);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, "SETUP[COPY]");
  EXPECT_EQ(boxes.shown[0].text,
            platform::Utf8ToSjis((medium / "missing").string()) + SJ("をコピーできません。:") +
                std::to_string(ENOENT));
  EXPECT_EQ(Slurp(Install() / "Uninstall.dir"), "DELETE\ta\r\nRMDIR\tD\r\n");
  Remove();
  EXPECT_FALSE(stdfs::exists(Install() / "a"));
  EXPECT_FALSE(stdfs::exists(Install() / "D"));
}

TEST_F(SetupListsTest, WithoutABaseFolderNothingIsMade) {
  for (const char* base : {"", "relative"}) {
    boxes.shown.clear();
    context.base_folder = base;
    Copy(List({"INIT", "MKDIR\tD"}));
    EXPECT_TRUE(context.back_to_folder_page) << base;
    ASSERT_EQ(boxes.shown.size(), 1u) << base;
    EXPECT_EQ(boxes.shown[0].caption, "SETUP[INIT]");
  }
}

TEST_F(SetupListsTest, ACopyThatDoesNotMatchTheMediumIsAFailure) {
  // A file whose size says 0 but whose reads give more: what landed cannot be checked against
  // the medium, so it is not installed and no DELETE line is recorded for it.
  stdfs::create_symlink("/proc/self/status", medium / "status");
  Copy(List({"INIT", "MODE\tNOTEXIST", "COPY\tstatus"}));
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, "SETUP[PROTECT/NOTEXIST]");
  EXPECT_NE(boxes.shown[0].text.find(SJ("をコピーできません。:") + std::to_string(EIO)),
            std::string::npos);
  EXPECT_FALSE(stdfs::exists(Install() / "status"));
  EXPECT_FALSE(stdfs::exists(Install() / "Uninstall.dir"));
  EXPECT_EQ(std::distance(stdfs::directory_iterator(Install()), stdfs::directory_iterator()), 0);
}

TEST_F(SetupListsTest, UnreadableAndOversizedListsAreRefused) {
  CPackFile none(CPackFile::ReadMode::Setup);
  SetupLists lists(context, none);
  EXPECT_FALSE(lists.ReadList("install.dir", true));
  EXPECT_FALSE(lists.ReadList((root / "nothing").string(), false));
  EXPECT_FALSE(lists.ReadList(root.string(), false));  // a folder
  // A 100,000-line list and a 1 MB line read fine; the long line is cut and is no command.
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "RMDIR\tx\r\n";
  big += std::string(1 << 20, 'D') + "\r\n";
  Spit(root / "big.dir", big);
  ASSERT_TRUE(lists.ReadList((root / "big.dir").string(), false));
  ASSERT_EQ(lists.Lines().size(), 100001u);
  EXPECT_EQ(lists.Lines().back().size(), setup::kMaxListLine);
  EXPECT_FALSE(lists.ExecuteUninstallLine(lists.Lines().back(), 100001));
}

}  // namespace
