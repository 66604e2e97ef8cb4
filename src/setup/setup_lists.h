// The three lists the setup program executes: the set-up information "system" and the copy list
// "install.dir" (entries of "data.pkd"), and the uninstall list "Uninstall.dir" that copying
// writes into the installation folder. Each is Shift_JIS text with CR LF line ends, one command a
// line: keyword, TAB, argument. Copying and removal run one line per call, so the window can
// repaint between lines.
//
// Every path a list names must stay inside the installation folder (see ConfinedFolder); a line
// that does not is reported with its number and skipped. Each copied file is read back and
// checked before its DELETE line is collected, and a run that stops part-way still writes the
// lines it collected, so what was copied can be removed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "setup/setup.h"

class CPackFile;

namespace setup {

enum class CopyMode { NotExist = 0, Keep = 1, Overwrite = 2 };

inline constexpr size_t kMaxListLine = 2047;
// A plain list file larger than this is not one the program wrote.
inline constexpr int64_t kMaxListFile = 64 << 20;

// The text split at each CR LF; a last line without CR LF is dropped, and each line is cut to
// kMaxListLine bytes.
std::vector<std::string> SplitListLines(const uint8_t* data, size_t size);

// Keyword and argument of one line: the text before the first TAB and after it; the whole line
// as both when it has no TAB.
struct ListLine {
  std::string_view keyword;
  std::string_view argument;
};
ListLine SplitListLine(std::string_view line);

class SetupLists {
 public:
  SetupLists(SetupContext& context, const CPackFile& archive)
      : context_(context), archive_(archive) {}

  // from_archive: an entry of "data.pkd"; otherwise a host path. False when it is missing,
  // empty in the archive, or cannot be read.
  bool ReadList(const std::string& name, bool from_archive);
  // False for an unknown keyword (and for a title that cannot be a folder name).
  bool ParseSetupLine(std::string_view line);
  // False only for an unknown keyword; a failing command shows its message and sets
  // context.back_to_folder_page. line_number (from 1) names the line in messages.
  bool ExecuteCopyLine(std::string_view line, int line_number);
  bool ExecuteUninstallLine(std::string_view line, int line_number);
  // Appends the collected uninstall lines to the list in the installation folder, last collected
  // first, each with CR LF, and forgets them.
  void WriteUninstallList(const std::string& folder);

  const std::vector<std::string>& Lines() const { return lines_; }
  size_t& ListIndex() { return list_index_; }
  size_t ListIndex() const { return list_index_; }
  CopyMode Mode() const { return mode_; }
  const std::vector<std::string>& Pending() const { return pending_; }
  // The name of the file the current command works on, for the window.
  const std::string& CurrentFile() const { return current_file_; }

  // The message for a line with an unknown keyword.
  static std::string UnknownLineText(int line_number);
  static std::string OutsideLineText(int line_number);

 private:
  void Fail(const std::string& caption, const std::string& text);
  void ReportOutside(int line_number);

  SetupContext& context_;
  const CPackFile& archive_;
  std::vector<std::string> lines_;
  size_t list_index_ = 0;
  CopyMode mode_ = CopyMode::Overwrite;
  std::vector<std::string> pending_;
  std::string current_file_;
};

}  // namespace setup
