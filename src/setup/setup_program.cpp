#include "setup/setup_program.h"

#include <sys/stat.h>

#include <cstring>

#include "platform/confined_folder.h"
#include "platform/log.h"
#include "platform/sjis.h"

namespace setup {
namespace {

using platform::BoxAnswer;
using platform::BoxButtons;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlue = 0x4060FF;  // the copy bar
constexpr uint32_t kRed = 0xFF0000;   // the removal bar

const char* const kPictureNames[kPictureCount] = {
    "bg.png",       "install.png",  "install_s.png",    "uninstall.png",      "uninstall_s.png",
    "change.png",   "change_s.png", "next.png",         "next_s.png",         "back.png",
    "back_s.png",   "go_install.png", "go_install_s.png", "exit.png",         "exit_s.png"};

bool In(int v, int lo, int hi) { return v >= lo && v <= hi; }

bool IsDir(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

const std::string& CopyListError() {
  static const std::string t = SJ("コピーリストを読み込むことが出来ませんでした");
  return t;
}

}  // namespace

SetupProgram::SetupProgram(SetupContext& context, platform::PanelWindow& window)
    : context_(context), window_(window), installation_(context) {
  lists_ = std::make_unique<SetupLists>(context_, archive_);
}

void SetupProgram::Quit(int code) {
  ended_ = true;
  exit_code_ = code;
}

int SetupProgram::Start() {
  if (!archive_.OpenHostFile(context_.current_folder + "/data.pkd")) {
    WriteLog(2, "data.pkd cannot be opened", "setup", __LINE__);
    return -1;
  }
  if (!surface_.CreateCanvas(kWindowWidth, kWindowHeight)) return -1;
  for (int i = 0; i < kPictureCount; ++i) {
    if (pictures_[i].LoadFromPNG(kPictureNames[i], archive_) != 0) {
      WriteLog(2, std::string(kPictureNames[i]) + " is missing or damaged in data.pkd", "setup",
               __LINE__);
      return -1;
    }
  }
  font_ = platform::Font::Create(SJ("ＭＳ Ｐゴシック"), {16, 0, 400, false});
  if (!lists_->ReadList("system", true)) {
    context_.Box("ERROR", CopyListError());
    return -2;
  }
  for (size_t i = 0; i < lists_->Lines().size(); ++i) {
    if (!lists_->ParseSetupLine(lists_->Lines()[i])) {
      context_.Box(context_.title, SetupLists::UnknownLineText(static_cast<int>(i) + 1));
      return -3;
    }
  }
  page_ = Page::Start;
  if (installation_.ReadInstallation() > 0 && context_.installed_number != 0) {
    installed_ = true;
    running_from_install_folder_ = context_.installed_folder == context_.current_folder;
  }
  if (!window_.Create(context_.title + SJ("　セットアップ"), kWindowWidth, kWindowHeight))
    return -1;
  window_.Show();
  frame_.resize(static_cast<size_t>(kWindowWidth) * kWindowHeight);
  Invalidate();
  return 0;
}

bool SetupProgram::Pump(bool wait) {
  while (!ended_) {
    platform::PanelEvent ev;
    if (window_.NextEvent(ev, false)) {
      Handle(ev);
      continue;
    }
    if (step_pending_) {
      step_pending_ = false;
      Step();
      continue;
    }
    if (need_paint_) {
      Paint();
      AfterPaint();
      continue;
    }
    if (!wait || !window_.NextEvent(ev, true)) return !ended_;
    Handle(ev);
  }
  window_.Destroy();
  return false;
}

void SetupProgram::Handle(const platform::PanelEvent& ev) {
  switch (ev.type) {
    case platform::PanelEventType::MouseMove:
      OnMove(ev.x, ev.y);
      break;
    case platform::PanelEventType::ButtonUp:
      OnMove(ev.x, ev.y);
      OnRelease();
      break;
    case platform::PanelEventType::Close:
      OnClose();
      break;
    case platform::PanelEventType::Expose:
      Invalidate();
      break;
  }
}

int SetupProgram::Progress() const {
  const size_t count = lists_->Lines().size();
  return count == 0 ? 0 : static_cast<int>(lists_->ListIndex() * 100 / count);
}

std::string SetupProgram::FolderText() const {
  const std::string folder = platform::Utf8ToSjis(context_.InstallationFolder());
  if (installed_)
    return SJ("「") + context_.title +
           SJ("」がすでにインストールされています。\n\nセットアップは、以下のディレクトリに\n"
              "インストールを続行します。\n\n->") +
           folder;
  return SJ("「") + context_.title + SJ("」を次のディレクトリにインストールします。\n\n-> ") +
         folder;
}

void SetupProgram::DrawButton(Picture normal, int x, int y, int w, int h, bool hover) {
  pictures_[hover ? normal + 1 : normal].Draw(surface_, x, y, w, h);
}

void SetupProgram::DrawProgress(uint32_t rgb) {
  const int p = Progress();
  FillBox(surface_, {78, 198, 402, 234}, kWhite);
  FillBox(surface_, {80, 200, 400, 232}, kBlack);
  FillBox(surface_, {80, 200, 80 + p * 32 / 10, 232}, rgb);
  DrawTextBox(surface_, font_.get(), {80, 206, 400, 238}, std::to_string(p) + " %", kWhite, true);
}

void SetupProgram::Paint() {
  need_paint_ = false;
  pictures_[kBackground].Draw(surface_, 0, 0, kWindowWidth, kWindowHeight);
  platform::Font* font = font_.get();
  const Box text_box{32, 68, 448, 308};
  const Box progress_text{80, 100, 400, 164};
  const Box done_text{80, 140, 400, 204};
  switch (page_) {
    case Page::Start:
      if (!running_from_install_folder_) DrawButton(kInstall, 176, 200, 128, 22, hover_ == 1);
      if (installed_) DrawButton(kUninstall, 176, 250, 128, 22, hover_ == 2);
      break;
    case Page::Folder:
      DrawTextBox(surface_, font, text_box, FolderText(), kWhite, false);
      if (!installed_) DrawButton(kChange, 32, 16, 48, 24, hover_ == 1);
      DrawButton(kBack, 32, 300, 48, 24, hover_ == 2);
      DrawButton(kNext, 400, 300, 48, 24, hover_ == 3);
      break;
    case Page::Ready:
      DrawTextBox(surface_, font, text_box,
                  SJ("インストール先:\n\n") + platform::Utf8ToSjis(context_.InstallationFolder()) +
                      SJ("\n\nインストールを開始しても良いならば、\nスタートボタンを押してください。"),
                  kWhite, false);
      DrawButton(kBack, 32, 300, 48, 24, hover_ == 1);
      DrawButton(kGoInstall, 368, 300, 80, 24, hover_ == 2);
      break;
    case Page::Copying:
      DrawTextBox(surface_, font, progress_text,
                  SJ("ファイルをコピーしています...\n\n") + lists_->CurrentFile(), kWhite, true);
      DrawProgress(kBlue);
      break;
    case Page::Registering:
      DrawTextBox(surface_, font, progress_text, SJ("レジストリを登録しています..."), kRed, true);
      break;
    case Page::Done:
      DrawTextBox(surface_, font, done_text, SJ("インストールが完了しました"), kWhite, true);
      DrawButton(kExit, 140, 240, 200, 24, hover_ == 1);
      break;
    case Page::AskRemove:
      break;
    case Page::Removing:
      DrawTextBox(surface_, font, progress_text,
                  SJ("ファイルを削除しています...\n\n") + lists_->CurrentFile(), kWhite, true);
      DrawProgress(kRed);
      break;
    case Page::Removed:
      DrawTextBox(surface_, font, done_text, SJ("アンインストールが完了しました"), kWhite, true);
      DrawButton(kExit, 140, 240, 200, 24, hover_ == 1);
      break;
  }
  if (chooser_.state() == FolderChooser::State::Open) chooser_.Draw(surface_, font);
  // The surface lies bottom-up; the window takes rows top-down.
  const uint8_t* bits = surface_.Bits();
  for (int y = 0; y < kWindowHeight; ++y)
    std::memcpy(frame_.data() + static_cast<size_t>(y) * kWindowWidth,
                bits + static_cast<size_t>(kWindowHeight - 1 - y) * kWindowWidth * 4,
                static_cast<size_t>(kWindowWidth) * 4);
  window_.Present(frame_.data(), kWindowWidth, kWindowHeight);
}

void SetupProgram::AfterPaint() {
  if ((page_ == Page::Copying || page_ == Page::Removing) && !context_.busy) step_pending_ = true;
  if (page_ == Page::Registering && !registered_) {
    registered_ = true;
    if (context_.install_number >= context_.installed_number &&
        !installation_.RegisterInstallation())
      context_.Box(context_.title, SJ("レジストリの登録が出来ませんでした。"));
    if (!installation_.CreateStartMenuShortcuts())
      context_.Box(context_.title, SJ("スタートメニューへの登録が出来ませんでした。"));
    if (context_.Box(context_.title, SJ("デスクトップにショートカットを作成しますか？"),
                     BoxButtons::YesNo) == BoxAnswer::Yes)
      installation_.CreateDesktopShortcut();
    page_ = Page::Done;
    Invalidate();
  }
}

void SetupProgram::Step() {
  const auto& lines = lists_->Lines();
  size_t& index = lists_->ListIndex();
  if (page_ == Page::Copying) {
    if (index < lines.size()) {
      if (!lists_->ExecuteCopyLine(lines[index], static_cast<int>(index) + 1)) {
        context_.Box(context_.title, SetupLists::UnknownLineText(static_cast<int>(index) + 1));
        Quit(-3);
        return;
      }
      if (context_.back_to_folder_page) {
        context_.back_to_folder_page = false;
        page_ = Page::Folder;
        hover_ = 0;
        Invalidate();
        return;
      }
      ++index;
    }
    if (index >= lines.size()) {
      lists_->WriteUninstallList(context_.InstallationFolder());
      page_ = Page::Registering;
    }
  } else if (page_ == Page::Removing) {
    if (index < lines.size()) {
      if (!lists_->ExecuteUninstallLine(lines[index], static_cast<int>(index) + 1)) {
        context_.Box(context_.title, SetupLists::UnknownLineText(static_cast<int>(index) + 1));
        Quit(-3);
        return;
      }
      ++index;
    }
    if (index >= lines.size()) {
      page_ = Page::Removed;
      platform::ConfinedFolder(context_.installed_folder).Delete(kUninstallList);
      installation_.RemoveStartMenuShortcuts();
      installation_.RemoveDesktopShortcut();
      installation_.UnregisterInstallation();
    }
  }
  Invalidate();
}

int SetupProgram::HoverAt(int x, int y) const {
  switch (page_) {
    case Page::Start:
      if (In(x, 177, 303)) {
        if (In(y, 201, 221) && !running_from_install_folder_) return 1;
        if (In(y, 251, 271) && installed_) return 2;
      }
      return 0;
    case Page::Folder:
      if (In(y, 17, 39) && In(x, 33, 79) && !installed_) return 1;
      if (In(y, 301, 323)) {
        if (In(x, 33, 79)) return 2;
        if (In(x, 401, 447)) return 3;
      }
      return 0;
    case Page::Ready:
      if (In(y, 301, 323)) {
        if (In(x, 33, 79)) return 1;
        if (In(x, 321, 447)) return 2;
      }
      return 0;
    case Page::Done:
    case Page::Removed:
      return In(y, 241, 263) && In(x, 141, 339) ? 1 : 0;
    default:
      return 0;
  }
}

void SetupProgram::OnMove(int x, int y) {
  if (chooser_.state() == FolderChooser::State::Open) {
    window_.SetCursor(chooser_.Move(x, y) ? platform::PanelCursor::Hand
                                          : platform::PanelCursor::Arrow);
    last_x_ = x;
    last_y_ = y;
    Invalidate();
    return;
  }
  last_x_ = x;
  last_y_ = y;
  hover_ = HoverAt(x, y);
  window_.SetCursor(hover_ ? platform::PanelCursor::Hand : platform::PanelCursor::Arrow);
  Invalidate();
}

void SetupProgram::OnRelease() {
  if (chooser_.state() == FolderChooser::State::Open) {
    chooser_.Release(last_x_, last_y_);
    if (chooser_.state() == FolderChooser::State::Chosen)
      context_.base_folder = installation_.AcceptChosenFolder(chooser_.Folder());
    if (chooser_.state() != FolderChooser::State::Open) {
      chooser_.Close();
      hover_ = 0;
    }
    Invalidate();
    return;
  }
  const int hover = hover_;
  switch (page_) {
    case Page::Start:
      if (hover == 1) {
        page_ = Page::Folder;
        if (installed_) {
          // The recorded folder up to its maker part.
          const std::string marker = std::string("/") + kMakerFolder + "/";
          const size_t at = context_.installed_folder.rfind(marker);
          context_.base_folder = at == std::string::npos ? installation_.DefaultBaseFolder()
                                                         : context_.installed_folder.substr(0, at);
        } else {
          context_.base_folder = installation_.DefaultBaseFolder();
        }
      } else if (hover == 2) {
        page_ = Page::AskRemove;
        Paint();
        if (context_.Box(context_.title, SJ("アンインストールしますか？"), BoxButtons::YesNo) ==
            BoxAnswer::Yes) {
          page_ = Page::Removing;
          if (!lists_->ReadList(context_.installed_folder + "/" + kUninstallList, false)) {
            context_.Box("ERROR", SJ("削除リストを読み込むことが出来ませんでした"));
            Quit(-1);
            return;
          }
        } else {
          page_ = Page::Start;
        }
      }
      break;
    case Page::Folder:
      if (hover == 1 && !installed_) {
        chooser_.Open(context_.base_folder);
      } else if (hover == 2) {
        page_ = Page::Start;
      } else if (hover == 3) {
        page_ = Page::Ready;
        const std::string folder = context_.InstallationFolder();
        if (!IsDir(folder) &&
            context_.Box(SJ("ディレクトリの作成"),
                         platform::Utf8ToSjis(folder) +
                             SJ(" は存在しません。ディレクトリを作成しますか？"),
                         BoxButtons::OkCancel) != BoxAnswer::Ok)
          page_ = Page::Folder;
      }
      break;
    case Page::Ready:
      if (hover == 1) {
        page_ = Page::Folder;
      } else if (hover == 2) {
        page_ = Page::Copying;
        registered_ = false;
        if (!lists_->ReadList("install.dir", true)) {
          context_.Box("ERROR", CopyListError());
          Quit(-1);
          return;
        }
        step_pending_ = true;
      }
      break;
    case Page::Done:
      if (hover == 1) Quit(0);
      break;
    case Page::Removed:
      if (hover == 1) {
        self_remove_ = true;
        Quit(0);
      }
      break;
    default:
      break;
  }
  hover_ = HoverAt(last_x_, last_y_);
  Invalidate();
}

void SetupProgram::OnClose() {
  if (page_ == Page::Start) {
    Quit(0);
    return;
  }
  if (page_ == Page::Copying || page_ == Page::Removing) return;
  if (context_.Box(context_.title, SJ("インストールを中止しますか？"), BoxButtons::OkCancel) ==
      BoxAnswer::Ok) {
    context_.Box(context_.title, SJ("インストールを中止しました"));
    Quit(-1);
  }
}

}  // namespace setup
