// The setup window and its flow: a 480 × 360 surface drawn by the program itself (background,
// picture buttons from "data.pkd", texts, progress bars), pages of one state machine, and the
// copy and removal runs that execute one list line per step with a repaint between lines. The
// window and message boxes are stand-ins, so a test drives the same program with chosen pointer
// moves and clicks and reads its frames and files.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "platform/font.h"
#include "platform/panel_window.h"
#include "resource/dib.h"
#include "resource/pack_file.h"
#include "resource/setup_image.h"
#include "setup/folder_chooser.h"
#include "setup/installation.h"
#include "setup/setup.h"
#include "setup/setup_lists.h"

namespace setup {

inline constexpr int kWindowWidth = 480;
inline constexpr int kWindowHeight = 360;

enum class Page {
  Start = 0,
  Folder = 1,
  Ready = 2,
  Copying = 3,
  Registering = 4,
  Done = 5,
  AskRemove = 100,
  Removing = 101,
  Removed = 102,
};

// The pictures, in the order they are decoded.
enum Picture {
  kBackground, kInstall, kInstallHover, kUninstall, kUninstallHover, kChange, kChangeHover,
  kNext, kNextHover, kBack, kBackHover, kGoInstall, kGoInstallHover, kExit, kExitHover,
  kPictureCount
};

class SetupProgram {
 public:
  SetupProgram(SetupContext& context, platform::PanelWindow& window);

  // Start-up: opens "data.pkd" in the current folder, decodes the pictures, reads and executes
  // "system", reads the installation record and shows the window. 0 when the window is up,
  // otherwise the program's exit code (-1, -2, or -3 for an unknown line).
  int Start();
  // Handles window events, steps and repaints. With wait set, runs until the program ends;
  // otherwise until there is nothing left to do. False once the program has ended.
  bool Pump(bool wait);

  bool Ended() const { return ended_; }
  int ExitCode() const { return exit_code_; }
  bool SelfRemove() const { return self_remove_; }
  Page CurrentPage() const { return page_; }
  int Hover() const { return hover_; }
  bool Installed() const { return installed_; }
  bool RunningFromInstallFolder() const { return running_from_install_folder_; }
  const SetupLists& Lists() const { return *lists_; }
  const FolderChooser& Chooser() const { return chooser_; }
  Installation& Record() { return installation_; }
  const CDIB& Surface() const { return surface_; }
  // The progress of pages 3 and 101 in whole per cent.
  int Progress() const;

 private:
  void Quit(int code);
  void Paint();
  void AfterPaint();
  void Step();
  void Handle(const platform::PanelEvent& ev);
  void OnMove(int x, int y);
  void OnRelease();
  void OnClose();
  void DrawButton(Picture normal, int x, int y, int w, int h, bool hover);
  void DrawProgress(uint32_t rgb);
  int HoverAt(int x, int y) const;
  std::string FolderText() const;
  void Invalidate() { need_paint_ = true; }

  SetupContext& context_;
  platform::PanelWindow& window_;
  CPackFile archive_{CPackFile::ReadMode::Setup};
  std::unique_ptr<SetupLists> lists_;
  Installation installation_;
  FolderChooser chooser_;
  std::unique_ptr<platform::Font> font_;
  CDIB surface_;
  std::array<CImage32, kPictureCount> pictures_;
  std::vector<uint32_t> frame_;

  Page page_ = Page::Start;
  int hover_ = 0;
  bool installed_ = false;
  bool running_from_install_folder_ = false;
  bool self_remove_ = false;
  bool registered_ = false;  // the registration sequence of page 4 has run
  bool step_pending_ = false;
  bool need_paint_ = true;
  bool ended_ = false;
  int exit_code_ = 0;
  int last_x_ = -1;  // where the pointer was last seen
  int last_y_ = -1;
};

}  // namespace setup
