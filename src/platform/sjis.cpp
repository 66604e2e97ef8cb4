#include "platform/sjis.h"

#include "platform/text_converter.h"

namespace platform {
namespace {

std::string Convert(std::string_view in, const char* to, const char* from) {
  bool ascii = true;
  for (unsigned char c : in)
    if (c >= 0x80) { ascii = false; break; }
  if (ascii) return std::string(in);
  const TextConverter converter(to, from);
  if (!converter.Ok()) return std::string(in);
  std::string out;
  converter.Convert(in, out, "?");
  return out;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) { return Convert(sjis, "UTF-8", "CP932"); }
std::string Utf8ToSjis(std::string_view utf8) { return Convert(utf8, "CP932", "UTF-8"); }

}  // namespace platform
