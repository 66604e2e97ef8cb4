// TextConverter: one iconv conversion between two encodings, open for as long as the object
// lives. The Shift_JIS functions and the font's code-point decoding both convert through it.
#pragma once

#include <string>
#include <string_view>

namespace platform {

class TextConverter {
 public:
  // Encodings by iconv's names ("UTF-8", "CP932", "UTF-32LE").
  TextConverter(const char* to, const char* from);
  ~TextConverter();
  TextConverter(const TextConverter&) = delete;
  TextConverter& operator=(const TextConverter&) = delete;

  bool Ok() const;
  // The whole of `in` converted into `out` (its contents replaced, its capacity kept). A byte
  // that begins no convertible sequence, or a sequence cut off at the end, becomes
  // `replacement` (already in the target encoding) and the conversion goes on after it. `out` is
  // left empty when the conversion could not be opened.
  void Convert(std::string_view in, std::string& out, std::string_view replacement) const;

 private:
  void* cd_;  // iconv_t
};

}  // namespace platform
