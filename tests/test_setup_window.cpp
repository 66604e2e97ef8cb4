// The setup program as a whole, driven headless: a medium with its data.pkd, pointer moves and
// clicks on the 480 × 360 window, message boxes answered by policy; the test reads the frames,
// the pages, the files, the record and the menu entries.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/message_box.h"
#include "platform/panel_window.h"
#include "platform/sjis.h"
#include "resource/pack_writer.h"
#include "resource/png_encode.h"
#include "setup/setup_program.h"

namespace {

namespace stdfs = std::filesystem;
using platform::BoxAnswer;
using setup::Page;

const char* const kPictures[] = {
    "bg.png",      "install.png",  "install_s.png",    "uninstall.png", "uninstall_s.png",
    "change.png",  "change_s.png", "next.png",         "next_s.png",    "back.png",
    "back_s.png",  "go_install.png", "go_install_s.png", "exit.png",    "exit_s.png"};

// Picture i is a flat grey of its own, so a frame shows which one is drawn where.
uint32_t Grey(int i) {
  const uint32_t v = static_cast<uint32_t>(16 + i * 12);
  return v << 16 | v << 8 | v;
}
std::vector<uint8_t> FlatPng(int w, int h, uint32_t rgb) {
  std::vector<uint8_t> px(static_cast<size_t>(w) * h * 4);
  for (size_t i = 0; i < px.size(); i += 4) {
    px[i] = static_cast<uint8_t>(rgb);
    px[i + 1] = static_cast<uint8_t>(rgb >> 8);
    px[i + 2] = static_cast<uint8_t>(rgb >> 16);
    px[i + 3] = 255;
  }
  return *EncodePNG(px.data(), w, h, static_cast<size_t>(w) * 4, PngChannels::Rgb);
}
uint32_t Rgb(const platform::HeadlessPanelWindow& w, int x, int y) {
  return w.Pixel(x, y) & 0xFFFFFF;
}
std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
std::string List(std::initializer_list<std::string_view> lines) {
  std::string out;
  for (auto l : lines) out += SJ(l) + "\r\n";
  return out;
}
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

const std::string kCopyList = List({"INIT", "MKDIR\tDATA", "COPY\tlanthorn", "COPY\tDATA\\a.txt",
                                    "COPY\tdata.pkd", "COPY\tsetup",
                                    "COPY\tはじめにお読みください.txt"});

class SetupWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/lanthorn-setupwin-XXXXXX";
    root = ::mkdtemp(tmpl);
    registry = platform::Registry((root / "registry").string());
    medium = root / "medium";
    Spit(medium / "lanthorn", "#!/bin/sh\n");
    ::chmod((medium / "lanthorn").c_str(), 0755);
    Spit(medium / "setup", "setup program");
    Spit(medium / "DATA" / "a.txt", "alpha");
    Spit(medium / "はじめにお読みください.txt", "read me");
    WriteMedium(List({"TITLE\t灯の町", "INSTALL_NO\t2", "EXE_NAME\tlanthorn"}), kCopyList);
  }
  void TearDown() override { stdfs::remove_all(root); }

  void WriteMedium(const std::string& system, const std::string& copy_list,
                   const char* leave_out = nullptr) {
    std::vector<PackSource> entries = {{"system", Bytes(system)}, {"install.dir", Bytes(copy_list)}};
    for (int i = 0; i < 15; ++i) {
      if (leave_out && std::string(kPictures[i]) == leave_out) continue;
      entries.push_back({kPictures[i], i == 0 ? FlatPng(480, 360, Grey(0)) : FlatPng(8, 4, Grey(i))});
    }
    auto pack = BuildPack(entries);
    Spit(medium / "data.pkd", std::string(pack->begin(), pack->end()));
  }

  // A fresh run of the program started in `folder`.
  struct Run {
    platform::HeadlessMessageBoxes boxes;
    platform::HeadlessPanelWindow window;
    std::unique_ptr<setup::SetupContext> context;
    std::unique_ptr<setup::SetupProgram> program;
  };
  std::unique_ptr<Run> Begin(const stdfs::path& folder) {
    auto run = std::make_unique<Run>();
    run->context = std::make_unique<setup::SetupContext>(run->boxes, registry);
    run->context->current_folder = folder.string();
    run->context->folders = {(root / "applications").string(), (root / "Desktop").string(),
                             (root / "games").string()};
    run->program = std::make_unique<setup::SetupProgram>(*run->context, run->window);
    return run;
  }
  static void Click(Run& run, int x, int y) {
    run.window.Click(x, y);
    run.program->Pump(false);
  }

  stdfs::path root, medium;
  platform::Registry registry{""};  // set up in the test's folder
  stdfs::path Installed() const { return root / "games" / "BRASK" / "灯の町"; }
};

TEST_F(SetupWindowTest, InstallThenRemoveFromTheInstalledCopy) {
  stdfs::create_directories(root / "applications");
  stdfs::create_directories(root / "Desktop");
  auto run = Begin(medium);
  ASSERT_EQ(run->program->Start(), 0);
  EXPECT_EQ(run->window.title, SJ("灯の町　セットアップ"));
  EXPECT_EQ(run->window.width, 480);
  run->program->Pump(false);
  // Start page: install button, no uninstall button; hover shows the "_s" picture and the hand.
  EXPECT_EQ(Rgb(run->window, 180, 205), Grey(1));
  EXPECT_EQ(Rgb(run->window, 180, 255), Grey(0));
  run->window.Move(200, 210);
  run->program->Pump(false);
  EXPECT_EQ(run->program->Hover(), 1);
  EXPECT_EQ(run->window.cursor, platform::PanelCursor::Hand);
  EXPECT_EQ(Rgb(run->window, 180, 205), Grey(2));
  run->window.Move(200, 260);  // where the uninstall button would be
  run->program->Pump(false);
  EXPECT_EQ(run->program->Hover(), 0);
  EXPECT_EQ(run->window.cursor, platform::PanelCursor::Arrow);

  Click(*run, 200, 210);
  ASSERT_EQ(run->program->CurrentPage(), Page::Folder);
  EXPECT_EQ(run->context->base_folder, (root / "games").string());
  Click(*run, 420, 310);  // next: the folder does not exist yet, and we agree to make it
  ASSERT_EQ(run->program->CurrentPage(), Page::Ready);
  ASSERT_EQ(run->boxes.shown.size(), 1u);
  EXPECT_EQ(run->boxes.shown[0].caption, SJ("ディレクトリの作成"));
  EXPECT_EQ(run->boxes.shown[0].text, platform::Utf8ToSjis(Installed().string()) +
                                          SJ(" は存在しません。ディレクトリを作成しますか？"));

  // One list line per step with a frame between lines; the bar counts lines done.
  std::vector<int> progress;
  run->window.on_present = [&] {
    if (run->program->CurrentPage() == Page::Copying) progress.push_back(run->program->Progress());
  };
  Click(*run, 400, 310);  // start; its first line runs before the first frame
  EXPECT_EQ(progress, (std::vector<int>{14, 28, 42, 57, 71, 85}));
  ASSERT_EQ(run->program->CurrentPage(), Page::Done);
  ASSERT_EQ(run->boxes.shown.size(), 2u);
  EXPECT_EQ(run->boxes.shown[1].text, SJ("デスクトップにショートカットを作成しますか？"));
  EXPECT_EQ(Slurp(Installed() / "DATA" / "a.txt"), "alpha");
  EXPECT_TRUE(stdfs::exists(Installed() / "setup"));
  EXPECT_TRUE(stdfs::exists(root / "applications" / "BRASK" / "灯の町" / "灯の町.desktop"));
  EXPECT_TRUE(stdfs::exists(root / "Desktop" / "灯の町.desktop"));
  Click(*run, 200, 250);  // exit
  EXPECT_TRUE(run->program->Ended());
  EXPECT_EQ(run->program->ExitCode(), 0);
  EXPECT_FALSE(run->program->SelfRemove());

  // Started again from the installed folder (its uninstall entry): only the uninstall button.
  Spit(Installed() / "DATA" / "save.dat", "the player's");
  auto again = Begin(Installed());
  ASSERT_EQ(again->program->Start(), 0);
  EXPECT_TRUE(again->program->Installed());
  EXPECT_TRUE(again->program->RunningFromInstallFolder());
  again->program->Pump(false);
  EXPECT_EQ(Rgb(again->window, 180, 205), Grey(0));
  EXPECT_EQ(Rgb(again->window, 180, 255), Grey(3));
  Click(*again, 200, 210);
  EXPECT_EQ(again->program->CurrentPage(), Page::Start);
  Click(*again, 200, 260);
  ASSERT_EQ(again->program->CurrentPage(), Page::Removed);
  EXPECT_EQ(again->boxes.shown[0].text, SJ("アンインストールしますか？"));
  EXPECT_FALSE(stdfs::exists(Installed() / "lanthorn"));
  EXPECT_FALSE(stdfs::exists(Installed() / "Uninstall.dir"));
  EXPECT_EQ(Slurp(Installed() / "DATA" / "save.dat"), "the player's");
  EXPECT_FALSE(stdfs::exists(root / "applications" / "BRASK"));
  EXPECT_FALSE(stdfs::exists(root / "Desktop" / "灯の町.desktop"));
  EXPECT_EQ(again->program->Record().ReadInstallation(), 0);  // the maker key stays
  Click(*again, 200, 250);
  EXPECT_TRUE(again->program->Ended());
  EXPECT_TRUE(again->program->SelfRemove());
}

TEST_F(SetupWindowTest, AnExistingInstallationIsContinuedInItsFolder) {
  {
    auto first = Begin(medium);
    ASSERT_EQ(first->program->Start(), 0);
    first->context->base_folder = (root / "elsewhere").string();
    first->program->Record().RegisterInstallation();
  }
  auto run = Begin(medium);
  ASSERT_EQ(run->program->Start(), 0);
  EXPECT_TRUE(run->program->Installed());
  EXPECT_FALSE(run->program->RunningFromInstallFolder());
  Click(*run, 200, 210);
  EXPECT_EQ(run->context->base_folder, (root / "elsewhere").string());
  Click(*run, 50, 28);  // no change button now
  EXPECT_EQ(run->program->Chooser().state(), setup::FolderChooser::State::Closed);
}

TEST_F(SetupWindowTest, TheFolderChooserPicksAFolder) {
  stdfs::create_directories(root / "games" / "sub");
  auto run = Begin(medium);
  ASSERT_EQ(run->program->Start(), 0);
  Click(*run, 200, 210);
  Click(*run, 50, 28);  // change
  ASSERT_EQ(run->program->Chooser().state(), setup::FolderChooser::State::Open);
  EXPECT_EQ(run->program->Chooser().Folder(), (root / "games").string());
  const int y = run->program->Chooser().RowY("sub");
  ASSERT_GT(y, 0);
  Click(*run, 100, y);
  EXPECT_EQ(run->program->Chooser().Folder(), (root / "games" / "sub").string());
  Click(*run, 300, 318);  // OK
  EXPECT_EQ(run->program->Chooser().state(), setup::FolderChooser::State::Closed);
  EXPECT_EQ(run->context->base_folder, (root / "games" / "sub").string());
  Click(*run, 50, 28);
  Click(*run, 100, run->program->Chooser().RowY(".."));
  Click(*run, 400, 318);  // cancel
  EXPECT_EQ(run->context->base_folder, (root / "games" / "sub").string());
}

TEST_F(SetupWindowTest, ClosingFollowsThePage) {
  {
    auto run = Begin(medium);
    ASSERT_EQ(run->program->Start(), 0);
    run->window.Close();
    EXPECT_FALSE(run->program->Pump(false));
    EXPECT_EQ(run->program->ExitCode(), 0);
    EXPECT_TRUE(run->boxes.shown.empty());
  }
  {
    auto run = Begin(medium);
    ASSERT_EQ(run->program->Start(), 0);
    Click(*run, 200, 210);
    run->boxes.policy = [](const auto&) { return BoxAnswer::Cancel; };
    run->window.Close();
    EXPECT_TRUE(run->program->Pump(false));
    EXPECT_EQ(run->program->CurrentPage(), Page::Folder);
    run->boxes.policy = nullptr;
    run->window.Close();
    EXPECT_FALSE(run->program->Pump(false));
    EXPECT_EQ(run->program->ExitCode(), -1);
    EXPECT_EQ(run->boxes.shown.back().text, SJ("インストールを中止しました"));
  }
  {
    // A close that arrives while files are copied is ignored.
    auto run = Begin(medium);
    ASSERT_EQ(run->program->Start(), 0);
    Click(*run, 200, 210);
    Click(*run, 420, 310);
    run->window.Click(400, 310);
    run->window.Close();
    run->program->Pump(false);
    EXPECT_FALSE(run->program->Ended());
    EXPECT_EQ(run->program->CurrentPage(), Page::Done);
  }
}

TEST_F(SetupWindowTest, AFailedCopyReturnsToTheFolderPage) {
  WriteMedium(List({"TITLE\tT", "INSTALL_NO\t1"}),
              List({"INIT", "COPY\tlanthorn", "COPY\tmissing", "COPY\tsetup"}));
  auto run = Begin(medium);
  ASSERT_EQ(run->program->Start(), 0);
  Click(*run, 200, 210);
  Click(*run, 420, 310);
  Click(*run, 400, 310);
  EXPECT_EQ(run->program->CurrentPage(), Page::Folder);
  EXPECT_EQ(Slurp(root / "games" / "BRASK" / "T" / "Uninstall.dir"), "DELETE\tlanthorn\r\n");
  EXPECT_FALSE(stdfs::exists(root / "games" / "BRASK" / "T" / "setup"));
}

TEST_F(SetupWindowTest, ABadMediumEndsWithItsCode) {
  struct Case {
    const char* what;
    std::function<void()> make;
    int code;
    std::string box;
  } cases[] = {
      {"no data.pkd", [&] { stdfs::remove(medium / "data.pkd"); }, -1, ""},
      {"damaged data.pkd", [&] { Spit(medium / "data.pkd", "PACK\xff\xff\xff\x7f"); }, -1, ""},
      {"a missing picture", [&] { WriteMedium(List({"TITLE\tT"}), kCopyList, "next_s.png"); }, -1,
       ""},
      {"no system", [&] {
         auto pack = BuildPack({{"bg.png", FlatPng(4, 4, 0)}});
         Spit(medium / "data.pkd", std::string(pack->begin(), pack->end()));
         WriteMedium("", kCopyList);
       }, -2, SJ("コピーリストを読み込むことが出来ませんでした")},
      {"an unknown line", [&] { WriteMedium(List({"TITLE\tT", "VERSION\t3"}), kCopyList); }, -3,
       SJ("2行目 : 解釈できない命令があります。")},
  };
  for (const auto& c : cases) {
    c.make();
    auto run = Begin(medium);
    EXPECT_EQ(run->program->Start(), c.code) << c.what;
    EXPECT_FALSE(run->window.created) << c.what;
    if (c.box.empty()) {
      EXPECT_TRUE(run->boxes.shown.empty()) << c.what;
    } else {
      ASSERT_EQ(run->boxes.shown.size(), 1u) << c.what;
      EXPECT_EQ(run->boxes.shown[0].text, c.box) << c.what;
    }
  }
}

TEST_F(SetupWindowTest, AFiftyLineListGrowsTheBarByTwoPerCentALine) {
  std::string list = List({"INIT"});
  for (int i = 1; i < 50; ++i) list += List({"MKDIR\tD" + std::to_string(i)});
  WriteMedium(List({"TITLE\tT"}), list);
  auto run = Begin(medium);
  ASSERT_EQ(run->program->Start(), 0);
  Click(*run, 200, 210);
  Click(*run, 420, 310);
  int last = -1;
  run->window.on_present = [&] {
    if (run->program->CurrentPage() == Page::Copying) {
      EXPECT_TRUE(run->program->Progress() == last || run->program->Progress() == last + 2 ||
                  last == -1);
      last = run->program->Progress();
    }
  };
  Click(*run, 400, 310);
  EXPECT_EQ(last, 98);
  EXPECT_EQ(run->program->CurrentPage(), Page::Done);
}

}  // namespace
