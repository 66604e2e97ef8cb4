// What an installation leaves outside its folder: the registry record, the menu group and the
// desktop entry, the self-removal script; and the stand-ins behind them (the key/value store, the
// mount table reading of the fixed-disk rule).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/desktop_entry.h"
#include "platform/fixed_disk.h"
#include "platform/message_box.h"
#include "platform/sjis.h"
#include "setup/installation.h"

namespace {

namespace stdfs = std::filesystem;
using platform::RegistryRoot;

std::string Slurp(const stdfs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class SetupRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/lanthorn-record-XXXXXX";
    root = ::mkdtemp(tmpl);
    registry = std::make_unique<platform::Registry>((root / "registry").string());
    context = std::make_unique<setup::SetupContext>(boxes, *registry);
    context->folders = {(root / "applications").string(), (root / "Desktop").string(),
                        (root / "games").string()};
    stdfs::create_directories(root / "applications");
    stdfs::create_directories(root / "Desktop");
    context->base_folder = context->folders.program_files;
    context->title = SJ("灯の町");
    context->exe_name = "lanthorn";
    context->install_number = 3;
  }
  void TearDown() override { stdfs::remove_all(root); }

  stdfs::path root;
  platform::HeadlessMessageBoxes boxes;
  std::unique_ptr<platform::Registry> registry;
  std::unique_ptr<setup::SetupContext> context;
};

TEST_F(SetupRecordTest, TheRecordRoundTripsAndTheMakerKeyOutlivesOneTitle) {
  setup::Installation install(*context);
  EXPECT_EQ(install.ReadInstallation(), -1);  // no maker key: nothing installed
  ASSERT_TRUE(registry->CreateKey(RegistryRoot::LocalMachine, setup::kMakerKey));
  EXPECT_EQ(install.ReadInstallation(), 0);  // the maker, but not this title

  ASSERT_TRUE(install.RegisterInstallation());
  context->installed_number = 0;
  context->installed_folder.clear();
  EXPECT_EQ(install.ReadInstallation(), 3);
  EXPECT_EQ(context->installed_folder, context->InstallationFolder());
  // The folder is stored as text without its terminating zero, the number as 4 bytes.
  auto dir = registry->Query(RegistryRoot::LocalMachine, install.TitleKey(), "INSTALL_DIR");
  ASSERT_TRUE(dir);
  EXPECT_EQ(dir->type, platform::kRegSz);
  EXPECT_EQ(std::string(dir->data.begin(), dir->data.end()), context->InstallationFolder());
  auto number = registry->Query(RegistryRoot::LocalMachine, install.TitleKey(), "INSTALL_NO");
  ASSERT_TRUE(number);
  EXPECT_EQ(number->type, platform::kRegDword);
  EXPECT_EQ(number->data, (std::vector<uint8_t>{3, 0, 0, 0}));

  // Another title of the same maker.
  setup::SetupContext other(boxes, *registry);
  other.title = "second";
  other.base_folder = context->base_folder;
  other.install_number = 1;
  setup::Installation second(other);
  ASSERT_TRUE(second.RegisterInstallation());

  EXPECT_TRUE(install.UnregisterInstallation());
  EXPECT_EQ(install.ReadInstallation(), 0);
  EXPECT_TRUE(registry->KeyExists(RegistryRoot::LocalMachine, setup::kMakerKey));
  EXPECT_EQ(second.ReadInstallation(), 1);
}

TEST_F(SetupRecordTest, TheStoreRefusesNamesThatLeaveIt) {
  for (const char* key : {"SOFTWARE\\..", "SOFTWARE\\..\\..\\x", "a/b", "SOFTWARE\\", ""}) {
    EXPECT_FALSE(registry->CreateKey(RegistryRoot::LocalMachine, key)) << key;
    EXPECT_FALSE(setup::WriteRegistryNumber(*registry, RegistryRoot::LocalMachine, key, "N", 1))
        << key;
  }
  EXPECT_FALSE(setup::WriteRegistryString(*registry, RegistryRoot::LocalMachine, "K", "../x", "v"));
  EXPECT_EQ(std::distance(stdfs::recursive_directory_iterator(root / "registry"),
                          stdfs::recursive_directory_iterator()),
            2);  // the root key and "K", made on the way of the refused value
  // A text that does not fit the reader's buffer is not read.
  ASSERT_TRUE(setup::WriteRegistryString(*registry, RegistryRoot::LocalMachine, "K", "S", "abcd"));
  std::string out;
  EXPECT_FALSE(setup::ReadRegistryString(*registry, RegistryRoot::LocalMachine, "K", "S", out, 4));
  EXPECT_TRUE(setup::ReadRegistryString(*registry, RegistryRoot::LocalMachine, "K", "S", out, 5));
  EXPECT_EQ(out, "abcd");
}

TEST_F(SetupRecordTest, MenuGroupAndDesktopEntryComeAndGo) {
  setup::Installation install(*context);
  stdfs::create_directories(context->InstallationFolder());
  const stdfs::path game = stdfs::path(context->InstallationFolder()) / "lanthorn";
  std::ofstream(game) << "#!/bin/sh\n";
  ::chmod(game.c_str(), 0755);
  ASSERT_TRUE(install.CreateStartMenuShortcuts());
  ASSERT_TRUE(install.CreateDesktopShortcut());
  const stdfs::path group = install.GroupFolder();
  EXPECT_EQ(group, root / "applications" / "BRASK" / "灯の町");
  const std::string entry = Slurp(group / "灯の町.desktop");
  EXPECT_NE(entry.find("Name=灯の町\n"), std::string::npos);
  EXPECT_NE(entry.find("Exec=" + platform::DesktopExecValue(game.string()) + "\n"),
            std::string::npos);
  EXPECT_NE(entry.find("Path=" + context->InstallationFolder() + "\n"), std::string::npos);
  EXPECT_NE(Slurp(group / "はじめにお読みください.desktop").find("Type=Link"), std::string::npos);
  EXPECT_TRUE(stdfs::exists(group / "灯の町のアンインストール.desktop"));
  EXPECT_EQ(Slurp(root / "Desktop" / "灯の町.desktop"), entry);

  // Another title's group keeps the maker folder.
  stdfs::create_directories(root / "applications" / "BRASK" / "second");
  EXPECT_TRUE(install.RemoveStartMenuShortcuts());
  EXPECT_TRUE(install.RemoveDesktopShortcut());
  EXPECT_FALSE(stdfs::exists(group));
  EXPECT_TRUE(stdfs::exists(root / "applications" / "BRASK"));
  EXPECT_FALSE(stdfs::exists(root / "Desktop" / "灯の町.desktop"));
  stdfs::remove(root / "applications" / "BRASK" / "second");
  install.RemoveStartMenuShortcuts();
  EXPECT_FALSE(stdfs::exists(root / "applications" / "BRASK"));
}

TEST(DesktopEntry, ExecValuesAreQuoted) {
  EXPECT_EQ(platform::DesktopExecValue("/a b/game"), "\"/a b/game\"");
  EXPECT_EQ(platform::DesktopExecValue("/x/$HOME`\"%"), "\"/x/\\\\$HOME\\\\`\\\\\"%%\"");
}

TEST_F(SetupRecordTest, TheSelfRemovalScriptDeletesTheProgramAndItself) {
  const stdfs::path folder = root / "installed";
  stdfs::create_directories(folder);
  std::ofstream(folder / setup::kSetupProgramName) << "program";
  std::ofstream(folder / "lanthorn") << "game";
  context->installed_folder = folder.string();
  setup::Installation install(*context);
  ASSERT_TRUE(install.WriteSelfRemovalScript());
  EXPECT_EQ(Slurp(folder / setup::kSelfRemovalScript), "rm -f 'setup'\nrm -f 'del_me.sh'\n");
  stdfs::remove(folder / setup::kSelfRemovalScript);
  ASSERT_TRUE(install.RemoveSelf());
  // The script runs on its own after we return; wait for its work (bounded).
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((stdfs::exists(folder / setup::kSetupProgramName) ||
          stdfs::exists(folder / setup::kSelfRemovalScript)) &&
         std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(stdfs::exists(folder / setup::kSetupProgramName));
  EXPECT_FALSE(stdfs::exists(folder / setup::kSelfRemovalScript));
  EXPECT_TRUE(stdfs::exists(folder / "lanthorn"));
}

TEST(FixedDisk, MountsAreFoundAndClassified) {
  const std::string table =
      "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
      "30 22 0:40 / /home rw - btrfs /dev/sda2 rw\n"
      "31 22 0:41 / /mnt/share rw - nfs4 server:/export rw\n"
      "32 22 11:0 / /media/cd ro - iso9660 /dev/sr0 ro\n"
      "33 22 8:17 / /media/usb rw - vfat /dev/sdb1 rw\n"
      "34 22 0:42 / /mnt/my\\040disk rw - cifs //host/share rw\n";
  auto removable = [](const std::string& source) { return source == "/dev/sdb1"; };
  struct Case {
    const char* path;
    const char* mount;
    platform::DiskKind kind;
  } cases[] = {
      {"/home/u/games", "/home", platform::DiskKind::Fixed},
      {"/homework", "/", platform::DiskKind::Fixed},
      {"/mnt/share/x", "/mnt/share", platform::DiskKind::Network},
      {"/media/cd", "/media/cd", platform::DiskKind::Optical},
      {"/media/usb/g", "/media/usb", platform::DiskKind::Removable},
      {"/mnt/my disk/g", "/mnt/my disk", platform::DiskKind::Network},
  };
  for (const auto& c : cases) {
    const auto mount = platform::FindMount(table, c.path);
    EXPECT_EQ(mount.mount_point, c.mount) << c.path;
    EXPECT_EQ(platform::ClassifyMount(mount, removable), c.kind) << c.path;
  }
  EXPECT_EQ(platform::ClassifyMount(platform::FindMount("", "/x"), removable),
            platform::DiskKind::Unknown);
}

TEST_F(SetupRecordTest, AChosenFolderOffAFixedDiskIsRefused) {
  setup::Installation install(*context);
  context->base_folder = "/kept";
  EXPECT_EQ(install.AcceptChosenFolder(""), "/kept");  // cancelled
  EXPECT_EQ(install.AcceptChosenFolder("/proc/self/"), "/kept");  // not a disk at all
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, SJ("ハードディスク以外にはインストールできません。"));
  EXPECT_EQ(boxes.shown[0].caption, context->title);
}

}  // namespace
