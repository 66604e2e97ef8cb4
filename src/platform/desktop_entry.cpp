#include "platform/desktop_entry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>

#include "platform/sjis.h"

namespace platform {
namespace {

// A string value of a desktop entry: backslash and line breaks escaped.
std::string EntryString(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else out += c;
  }
  return out;
}

bool IsProgram(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0111);
}

std::string FileUrl(const std::string& path) {
  static const char* hex = "0123456789ABCDEF";
  std::string out = "file://";
  for (unsigned char c : path) {
    if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

}  // namespace

std::string DesktopExecValue(const std::string& program) {
  // Quoted as the Exec key's rules ask: inside double quotes, '"', '`', '$' and '\' take a
  // backslash; '%' is doubled as a field code would otherwise begin.
  std::string quoted = "\"";
  for (char c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return EntryString(quoted);
}

bool SaveDesktopEntry(const std::string& link_path, const DesktopEntry& entry) {
  if (link_path.empty() || entry.target.empty()) return false;
  std::string text = "[Desktop Entry]\n";
  text += "Name=" + EntryString(SjisToUtf8(entry.name_sjis)) + "\n";
  if (IsProgram(entry.target)) {
    text += "Type=Application\n";
    text += "Exec=" + DesktopExecValue(entry.target) + "\n";
    if (!entry.working_directory.empty())
      text += "Path=" + EntryString(entry.working_directory) + "\n";
    text += "Terminal=false\n";
  } else {
    text += "Type=Link\n";
    text += "URL=" + EntryString(FileUrl(entry.target)) + "\n";
  }
  const std::string temp = link_path + ".tmp" + std::to_string(::getpid());
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  if (std::fclose(f) != 0 || !written || ::chmod(temp.c_str(), 0755) != 0 ||
      ::rename(temp.c_str(), link_path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace platform
