// The Shift_JIS character rules every piece of code that counts, cuts or draws text follows: a
// byte 0x00–0x7F is a one-byte character, a byte 0x81–0x9F or 0xE0–0xFF starts a two-byte
// character, and the bytes 0x80 and 0xA0–0xDF (half-width katakana) are no characters at all:
// they are neither counted nor returned. Kept in the resource library so the script and every
// screen can use it without the graphics library. Characters are numbered from 1.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace sjis {

// 1 or 2 for a byte that starts a character, 0 for a byte that is none.
inline int CharLength(uint8_t first) {
  if (first < 0x80) return 1;
  if ((first >= 0x81 && first <= 0x9F) || first >= 0xE0) return 2;
  return 0;
}

// Number of characters. A lead byte at the very end, with no byte after it, is not a character.
int CharCount(std::string_view text);

// The n-th character (1-based) as a view into `text`: its length (1 or 2), or −1 with an empty
// view when n is below 1 or beyond the count.
int CharAt(std::string_view text, int n, std::string_view* out);

// Characters n to n + k − 1; as many as there are.
std::string Substring(std::string_view text, int n, int k);

// The characters from the start, as many as fit in `max_bytes` bytes together: a two-byte
// character that would not fit whole is left out with everything after it. Like Substring it
// returns characters only, so bytes that are no characters are dropped.
std::string Cut(std::string_view text, size_t max_bytes);

// The code a glyph is drawn for: the first byte alone when it is 32–125, otherwise
// first byte << 8 | second byte (0 when the character has one byte).
uint32_t GlyphCode(std::string_view character);

}  // namespace sjis
