// How the script engine writes its diagnostics: printf-style formatting of Shift_JIS texts, and
// log lines that name the script and its current line.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/log.h"
#include "script/script.h"

// The format is Shift_JIS (a fixed text converted once with SJ); %s arguments are Shift_JIS too.
// Shift_JIS trail bytes are never '%', so the conversions are found as in ASCII.
__attribute__((format(printf, 1, 2))) inline std::string ScriptFormat(const char* format, ...) {
  char small[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string out(static_cast<size_t>(n) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(out.data(), out.size(), format, args);
  va_end(args);
  out.resize(static_cast<size_t>(n));
  return out;
}

// The script's name as its messages show it: without the folder and the ".scp" ending
// ("SCP\startup.scp" -> "startup"), since the messages add their own ".SCP".
inline std::string ScriptBaseName(std::string_view name) {
  if (const size_t slash = name.find_last_of('\\'); slash != std::string_view::npos)
    name.remove_prefix(slash + 1);
  if (name.size() >= 4) {
    const std::string_view ext = name.substr(name.size() - 4);
    if (ext[0] == '.' && (ext[1] | 0x20) == 's' && (ext[2] | 0x20) == 'c' && (ext[3] | 0x20) == 'p')
      name.remove_suffix(4);
  }
  return std::string(name);
}

inline void LogScript(const CScript& script, int level, std::string_view text) {
  WriteLog(level, text, script.GetName(), script.GetLine());
}
