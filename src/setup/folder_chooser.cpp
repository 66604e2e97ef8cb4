#include "setup/folder_chooser.h"

#include <algorithm>
#include <filesystem>

#include "platform/sjis.h"

namespace setup {
namespace {

namespace stdfs = std::filesystem;

constexpr Box kPanel{16, 16, 464, 344};
constexpr int kRowTop = 72;
constexpr int kRowHeight = 22;
constexpr Box kRowArea{28, kRowTop, 420, kRowTop + FolderChooser::kRows * kRowHeight};
constexpr size_t kMaxEntries = 10000;

bool Inside(Box b, int x, int y) { return x >= b.left && x < b.right && y >= b.top && y < b.bottom; }

void Frame(CDIB& canvas, Box b, uint32_t rgb) {
  FillBox(canvas, {b.left, b.top, b.right, b.top + 1}, rgb);
  FillBox(canvas, {b.left, b.bottom - 1, b.right, b.bottom}, rgb);
  FillBox(canvas, {b.left, b.top, b.left + 1, b.bottom}, rgb);
  FillBox(canvas, {b.right - 1, b.top, b.right, b.bottom}, rgb);
}

}  // namespace

void FolderChooser::Open(const std::string& start) {
  std::error_code e;
  stdfs::path p = start.empty() ? stdfs::path("/") : stdfs::path(start);
  while (!stdfs::is_directory(p, e) && p.has_parent_path() && p != p.parent_path())
    p = p.parent_path();
  if (!stdfs::is_directory(p, e)) p = "/";
  state_ = State::Open;
  Enter(p.lexically_normal().string());
}

void FolderChooser::Enter(const std::string& folder) {
  folder_ = folder;
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
  entries_.clear();
  scroll_ = 0;
  hover_row_ = -1;
  std::vector<std::string> names;
  std::error_code e;
  for (auto it = stdfs::directory_iterator(folder_, stdfs::directory_options::skip_permission_denied, e);
       !e && it != stdfs::directory_iterator() && names.size() < kMaxEntries; it.increment(e)) {
    const std::string name = it->path().filename().string();
    std::error_code d;
    if (!name.empty() && name[0] != '.' && it->is_directory(d)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  if (folder_ != "/") entries_.push_back("..");
  entries_.insert(entries_.end(), names.begin(), names.end());
}

int FolderChooser::RowAt(int x, int y) const {
  if (!Inside(kRowArea, x, y)) return -1;
  const int row = scroll_ + (y - kRowTop) / kRowHeight;
  return row < static_cast<int>(entries_.size()) ? row : -1;
}

int FolderChooser::RowY(const std::string& entry) const {
  auto it = std::find(entries_.begin(), entries_.end(), entry);
  if (it == entries_.end()) return -1;
  const int row = static_cast<int>(it - entries_.begin()) - scroll_;
  if (row < 0 || row >= kRows) return -1;
  return kRowTop + row * kRowHeight + kRowHeight / 2;
}

bool FolderChooser::Move(int x, int y) {
  hover_row_ = RowAt(x, y);
  return hover_row_ >= 0 || Inside(kOk, x, y) || Inside(kCancel, x, y) || Inside(kUp, x, y) ||
         Inside(kDown, x, y);
}

void FolderChooser::Release(int x, int y) {
  if (Inside(kOk, x, y)) {
    state_ = State::Chosen;
  } else if (Inside(kCancel, x, y)) {
    state_ = State::Cancelled;
  } else if (Inside(kUp, x, y)) {
    scroll_ = std::max(scroll_ - kRows / 2, 0);
  } else if (Inside(kDown, x, y)) {
    scroll_ = std::max(0, std::min(scroll_ + kRows / 2, static_cast<int>(entries_.size()) - kRows));
  } else if (const int row = RowAt(x, y); row >= 0) {
    const std::string& name = entries_[static_cast<size_t>(row)];
    if (name == "..") {
      Enter(stdfs::path(folder_).parent_path().string());
    } else {
      Enter(folder_ == "/" ? "/" + name : folder_ + "/" + name);
    }
  }
}

void FolderChooser::Draw(CDIB& canvas, platform::Font* font) const {
  static const std::string title = SJ("インストール先ディレクトリを指定してください");
  static const std::string ok = "OK";
  static const std::string cancel = SJ("キャンセル");
  FillBox(canvas, kPanel, 0x202838);
  Frame(canvas, kPanel, 0xFFFFFF);
  DrawTextBox(canvas, font, {28, 24, 452, 44}, title, 0xFFFFFF, false);
  DrawTextBox(canvas, font, {28, 46, 452, 66}, platform::Utf8ToSjis(folder_), 0xC0D0FF, false);
  FillBox(canvas, kRowArea, 0x101018);
  for (int i = 0; i < kRows; ++i) {
    const int entry = scroll_ + i;
    if (entry >= static_cast<int>(entries_.size())) break;
    const Box row{kRowArea.left, kRowTop + i * kRowHeight, kRowArea.right,
                  kRowTop + (i + 1) * kRowHeight};
    if (entry == hover_row_) FillBox(canvas, row, 0x4060FF);
    DrawTextBox(canvas, font, {row.left + 6, row.top + 3, row.right - 4, row.bottom},
                platform::Utf8ToSjis(entries_[static_cast<size_t>(entry)]), 0xFFFFFF, false);
  }
  for (Box b : {kUp, kDown, kOk, kCancel}) {
    FillBox(canvas, b, 0x404858);
    Frame(canvas, b, 0xFFFFFF);
  }
  DrawTextBox(canvas, font, {kUp.left, kUp.top + 2, kUp.right, kUp.bottom}, SJ("▲"), 0xFFFFFF, true);
  DrawTextBox(canvas, font, {kDown.left, kDown.top + 2, kDown.right, kDown.bottom}, SJ("▼"),
              0xFFFFFF, true);
  DrawTextBox(canvas, font, {kOk.left, kOk.top + 4, kOk.right, kOk.bottom}, ok, 0xFFFFFF, true);
  DrawTextBox(canvas, font, {kCancel.left, kCancel.top + 4, kCancel.right, kCancel.bottom}, cancel,
              0xFFFFFF, true);
}

}  // namespace setup
