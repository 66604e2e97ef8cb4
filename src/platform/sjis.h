// Shift_JIS <-> UTF-8 through iconv's CP932 table. The engine keeps text as Shift_JIS bytes
// everywhere; these are used only where text meets the outside (stderr, file names, source-code
// literals written in Japanese).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Bytes that do not convert become '?'; the rest of the text is kept.
std::string SjisToUtf8(std::string_view sjis);
std::string Utf8ToSjis(std::string_view utf8);

}  // namespace platform

// A fixed text of the system written in Japanese in the source (UTF-8), as Shift_JIS.
// Use it once where the text is defined: static const std::string k = SJ("...");
inline std::string SJ(std::string_view utf8) { return platform::Utf8ToSjis(utf8); }
