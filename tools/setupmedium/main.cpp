// setupmedium: writes the set-up information "system" and the copy list "install.dir" for a
// folder that holds what is to be installed, as Shift_JIS text with CR LF line ends, ready to be
// packed into the medium's data.pkd. The copy list makes every folder (parents first) and copies
// every file of the medium, plus data.pkd itself (so the installed copy of the setup program can
// start again to remove the game).
//
//   setupmedium MEDIUM_DIR OUT_DIR TITLE INSTALL_NO EXE_NAME
//
// TITLE is UTF-8. Exit codes: 0 success, 1 a file could not be written or a name cannot be held
// in Shift_JIS, 2 wrong usage.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/sjis.h"

namespace {

namespace stdfs = std::filesystem;

bool Write(const stdfs::path& path, const std::vector<std::string>& utf8_lines) {
  std::string text;
  for (const std::string& line : utf8_lines) {
    const std::string sjis = platform::Utf8ToSjis(line);
    if (platform::SjisToUtf8(sjis) != line) {
      std::fprintf(stderr, "setupmedium: %s cannot be held in Shift_JIS\n", line.c_str());
      return false;
    }
    text += sjis + "\r\n";
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

// The path as the lists name it: backslashes between components.
std::string ListPath(const stdfs::path& relative) {
  std::string s = relative.generic_string();
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: setupmedium MEDIUM_DIR OUT_DIR TITLE INSTALL_NO EXE_NAME\n");
    return 2;
  }
  const stdfs::path medium = argv[1], out = argv[2];
  std::vector<stdfs::path> folders, files;
  std::error_code error;
  for (auto it = stdfs::recursive_directory_iterator(medium, error);
       !error && it != stdfs::recursive_directory_iterator(); it.increment(error)) {
    const stdfs::path relative = stdfs::relative(it->path(), medium);
    if (it->is_directory()) folders.push_back(relative);
    else if (it->is_regular_file() && relative != "data.pkd") files.push_back(relative);
  }
  if (error) {
    std::fprintf(stderr, "setupmedium: %s: %s\n", medium.c_str(), error.message().c_str());
    return 1;
  }
  std::sort(folders.begin(), folders.end());  // a parent sorts before what it holds
  std::sort(files.begin(), files.end());
  std::vector<std::string> copy = {"INIT", "MODE\tOVERWRITE"};
  for (const auto& f : folders) copy.push_back("MKDIR\t" + ListPath(f));
  for (const auto& f : files) copy.push_back("COPY\t" + ListPath(f));
  copy.push_back("COPY\tdata.pkd");
  stdfs::create_directories(out, error);
  const std::vector<std::string> system = {std::string("TITLE\t") + argv[3],
                                           std::string("INSTALL_NO\t") + argv[4],
                                           std::string("EXE_NAME\t") + argv[5]};
  if (!Write(out / "system", system) || !Write(out / "install.dir", copy)) return 1;
  return 0;
}
