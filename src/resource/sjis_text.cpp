// The Shift_JIS character rules.
#include "resource/sjis_text.h"

namespace sjis {
namespace {

// Calls fn(offset, length) for each character in order until fn returns false.
template <class Fn>
void ForEachChar(std::string_view text, Fn fn) {
  size_t i = 0;
  while (i < text.size()) {
    int len = CharLength(static_cast<uint8_t>(text[i]));
    if (len == 0) {
      ++i;
      continue;
    }
    if (i + len > text.size()) return;  // a lead byte cut off from its trail byte
    if (!fn(i, static_cast<size_t>(len))) return;
    i += len;
  }
}

}  // namespace

int CharCount(std::string_view text) {
  int count = 0;
  ForEachChar(text, [&](size_t, size_t) {
    ++count;
    return true;
  });
  return count;
}

int CharAt(std::string_view text, int n, std::string_view* out) {
  *out = {};
  if (n < 1) return -1;
  int index = 0;
  int found = -1;
  ForEachChar(text, [&](size_t at, size_t len) {
    if (++index < n) return true;
    *out = text.substr(at, len);
    found = static_cast<int>(len);
    return false;
  });
  return found;
}

std::string Substring(std::string_view text, int n, int k) {
  std::string out;
  if (k <= 0) return out;
  int index = 0;
  ForEachChar(text, [&](size_t at, size_t len) {
    ++index;
    if (index >= n + k) return false;
    if (index >= n) out.append(text.substr(at, len));
    return true;
  });
  return out;
}

std::string Cut(std::string_view text, size_t max_bytes) {
  std::string out;
  ForEachChar(text, [&](size_t at, size_t len) {
    if (out.size() + len > max_bytes) return false;
    out.append(text.substr(at, len));
    return true;
  });
  return out;
}

uint32_t GlyphCode(std::string_view character) {
  if (character.empty()) return 0;
  uint32_t first = static_cast<uint8_t>(character[0]);
  if (first >= 32 && first <= 125) return first;
  uint32_t second = character.size() > 1 ? static_cast<uint8_t>(character[1]) : 0;
  return first << 8 | second;
}

}  // namespace sjis
