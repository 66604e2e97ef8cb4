#include "platform/sjis.h"

#include <iconv.h>

#include <cerrno>

namespace platform {
namespace {

std::string Convert(std::string_view in, const char* to, const char* from) {
  bool ascii = true;
  for (unsigned char c : in)
    if (c >= 0x80) { ascii = false; break; }
  if (ascii) return std::string(in);

  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
  std::string out;
  out.resize(in.size() * 2 + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  char* dst = out.data();
  size_t dst_left = out.size();
  while (src_left > 0) {
    size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
    if (r != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) {
      size_t used = dst - out.data();
      out.resize(out.size() * 2);
      dst = out.data() + used;
      dst_left = out.size() - used;
    } else {  // EILSEQ or EINVAL: replace one byte and go on
      if (dst_left == 0) {
        size_t used = dst - out.data();
        out.resize(out.size() * 2);
        dst = out.data() + used;
        dst_left = out.size() - used;
      }
      *dst++ = '?';
      --dst_left;
      ++src;
      --src_left;
    }
  }
  out.resize(dst - out.data());
  iconv_close(cd);
  return out;
}

}  // namespace

std::string SjisToUtf8(std::string_view sjis) { return Convert(sjis, "UTF-8", "CP932"); }
std::string Utf8ToSjis(std::string_view utf8) { return Convert(utf8, "CP932", "UTF-8"); }

}  // namespace platform
