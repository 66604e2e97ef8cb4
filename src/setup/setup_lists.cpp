#include "setup/setup_lists.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/confined_folder.h"
#include "platform/log.h"
#include "platform/sjis.h"
#include "resource/pack_file.h"

namespace setup {
namespace {

const std::string& Text(int which) {
  static const std::string texts[] = {
      SJ("を作成する所有権がありません。"),
      SJ("の属性を変更できません。"),
      SJ("をコピーできません。:"),
      SJ("行目 : 解釈できない命令があります。"),
      SJ("行目 : インストール先の外を指す命令は実行しません。"),
  };
  return texts[which];
}
enum { kNoRight, kNoAttribute, kNoCopy, kUnknown, kOutside };

// A list's path joined for a host path under some folder; the caller has checked it.
std::string Under(const std::string& folder, std::string_view relative) {
  std::string path = folder;
  const auto parts = platform::SplitContainedPath(relative);
  if (parts)
    for (const std::string& part : *parts) path += "/" + part;
  return path;
}

int AtoiPrefix(std::string_view s) {
  // As atoi: leading blanks, a sign, digits; saturating instead of overflowing.
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int64_t v = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) v = 2147483648LL;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) v = 2147483647LL;
  return static_cast<int>(v);
}

}  // namespace

std::vector<std::string> SplitListLines(const uint8_t* data, size_t size) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i + 1 < size; ++i) {
    if (data[i] == '\r' && data[i + 1] == '\n') {
      const size_t length = std::min(i - start, kMaxListLine);
      lines.emplace_back(reinterpret_cast<const char*>(data) + start, length);
      start = i + 2;
      ++i;
    }
  }
  return lines;
}

ListLine SplitListLine(std::string_view line) {
  const size_t tab = line.find('\t');
  if (tab == std::string_view::npos) return {line, line};
  return {line.substr(0, tab), line.substr(tab + 1)};
}

std::string SetupLists::UnknownLineText(int line_number) {
  return std::to_string(line_number) + Text(kUnknown);
}

std::string SetupLists::OutsideLineText(int line_number) {
  return std::to_string(line_number) + Text(kOutside);
}

bool SetupLists::ReadList(const std::string& name, bool from_archive) {
  std::vector<uint8_t> bytes;
  if (from_archive) {
    if (archive_.EntrySize(name) <= 0) return false;
    auto data = archive_.Read(name);
    if (!data) return false;
    bytes = std::move(*data);
  } else {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (!f) return false;
    struct stat st;
    if (::fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxListFile) {
      std::fclose(f);
      WriteLog(2, "the list is not a plain file of a sound size: " + name, "ReadList",
                         __LINE__);
      return false;
    }
    bytes.resize(static_cast<size_t>(st.st_size));
    const size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
    const bool failed = std::ferror(f);
    std::fclose(f);
    if (failed) return false;
    bytes.resize(got);
  }
  lines_ = SplitListLines(bytes.data(), bytes.size());
  list_index_ = 0;
  return true;
}

bool SetupLists::ParseSetupLine(std::string_view line) {
  if (line.empty()) return true;
  const ListLine l = SplitListLine(line);
  if (l.keyword == "TITLE") {
    // The title is a folder name: one component, no separator that would lead elsewhere.
    auto parts = platform::SplitContainedPath(l.argument);
    if (!parts || parts->size() != 1 || l.argument.find('\\') != std::string_view::npos ||
        l.argument.find('/') != std::string_view::npos) {
      WriteLog(2, "the title cannot be a folder name", "ParseSetupLine", __LINE__);
      return false;
    }
    context_.title = std::string(l.argument);
  } else if (l.keyword == "INSTALL_NO") {
    context_.install_number = AtoiPrefix(l.argument);
  } else if (l.keyword == "EXE_NAME") {
    context_.exe_name = std::string(l.argument);
  } else {
    return false;
  }
  return true;
}

void SetupLists::Fail(const std::string& caption, const std::string& text) {
  WriteLog(2, text, caption, 0);
  context_.Box(caption, text);
  context_.back_to_folder_page = true;
  // What was done so far stays removable.
  WriteUninstallList(context_.InstallationFolder());
}

void SetupLists::ReportOutside(int line_number) {
  const std::string text = OutsideLineText(line_number);
  WriteLog(2, text, "SetupLists", line_number);
  context_.Box(context_.title, text);
}

bool SetupLists::ExecuteCopyLine(std::string_view line, int line_number) {
  if (line.empty()) return true;
  const ListLine l = SplitListLine(line);
  const std::string install = context_.InstallationFolder();
  const std::string sjis_install = platform::Utf8ToSjis(install);
  if (l.keyword == "INIT") {
    static const std::string caption = "SETUP[INIT]";
    const std::string maker = context_.base_folder + "/" + kMakerFolder;
    // Without a base folder (no home to put one in) nothing is made: "/BRASK" would land at
    // the root of the file system.
    if (context_.base_folder.empty() || context_.base_folder[0] != '/') {
      Fail(caption, platform::Utf8ToSjis(install) + Text(kNoRight));
      return true;
    }
    for (const std::string& folder : {context_.base_folder, maker, install}) {
      if (folder.back() == ':') continue;
      int error = 0;
      const platform::FolderResult r = platform::MakeOwnFolder(folder, &error);
      if (r == platform::FolderResult::Failed) {
        Fail(caption, platform::Utf8ToSjis(folder) + Text(kNoRight));
        return true;
      }
      if (r == platform::FolderResult::AttributeFailed) {
        Fail(caption, platform::Utf8ToSjis(folder) + Text(kNoAttribute));
        return true;
      }
    }
  } else if (l.keyword == "MKDIR") {
    static const std::string caption = "SETUP[MKDIR]";
    platform::ConfinedFolder tree(install);
    current_file_ = std::string(l.argument);
    switch (tree.MakeDir(l.argument)) {
      case platform::FolderResult::Outside:
        ReportOutside(line_number);
        return true;
      case platform::FolderResult::Failed:
        Fail(caption, sjis_install + "\\" + std::string(l.argument) + Text(kNoRight));
        return true;
      case platform::FolderResult::AttributeFailed:
        Fail(caption, sjis_install + "\\" + std::string(l.argument) + Text(kNoAttribute));
        return true;
      case platform::FolderResult::Ok:
        break;
    }
    pending_.push_back("RMDIR\t" + std::string(l.argument));
  } else if (l.keyword == "COPY") {
    if (!platform::SplitContainedPath(l.argument)) {
      ReportOutside(line_number);
      return true;
    }
    current_file_ = std::string(l.argument);
    const bool keep = mode_ != CopyMode::Overwrite;
    const std::string caption = keep ? "SETUP[PROTECT/NOTEXIST]" : "SETUP[COPY]";
    platform::ConfinedFolder tree(install);
    if (keep && tree.CanRead(l.argument)) return true;
    const std::string source = Under(context_.current_folder, l.argument);
    switch (tree.CopyIn(source, l.argument, !keep)) {
      case platform::FolderResult::Outside:
        ReportOutside(line_number);
        return true;
      case platform::FolderResult::Failed:
        Fail(caption, platform::Utf8ToSjis(source) + Text(kNoCopy) + std::to_string(tree.error()));
        return true;
      case platform::FolderResult::AttributeFailed:
        // The file is there: it belongs to the installation even though its mode is not set.
        pending_.push_back("DELETE\t" + std::string(l.argument));
        Fail(caption, sjis_install + "\\" + std::string(l.argument) + Text(kNoAttribute));
        return true;
      case platform::FolderResult::Ok:
        break;
    }
    pending_.push_back("DELETE\t" + std::string(l.argument));
  } else if (l.keyword == "MODE") {
    if (l.argument == "OVERWRITE") {
      mode_ = CopyMode::Overwrite;
    } else if (l.argument == "NOTEXIST") {
      mode_ = CopyMode::NotExist;
    } else if (l.argument == "PROTECT") {
      mode_ = context_.install_number >= context_.installed_number ? CopyMode::Overwrite
                                                                   : CopyMode::Keep;
    }
  } else {
    return false;
  }
  return true;
}

bool SetupLists::ExecuteUninstallLine(std::string_view line, int line_number) {
  if (line.empty()) return true;
  const ListLine l = SplitListLine(line);
  const bool remove_file = l.keyword == "DELETE";
  if (!remove_file && l.keyword != "RMDIR") return false;
  current_file_ = std::string(l.argument);
  platform::ConfinedFolder tree(context_.installed_folder);
  // Failures are expected (a file already gone, a folder the player put files in).
  const platform::FolderResult r =
      remove_file ? tree.Delete(l.argument) : tree.RemoveDir(l.argument);
  if (r == platform::FolderResult::Outside) ReportOutside(line_number);
  return true;
}

void SetupLists::WriteUninstallList(const std::string& folder) {
  if (pending_.empty()) return;
  std::string text;
  for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) text += *it + "\r\n";
  platform::ConfinedFolder tree(folder);
  if (tree.Append(kUninstallList, text) != platform::FolderResult::Ok)
    WriteLog(2, "the uninstall list cannot be written in " + platform::Utf8ToSjis(folder),
                       "WriteUninstallList", __LINE__);
  pending_.clear();
}

}  // namespace setup
