// TextConverter over iconv.
#include "platform/text_converter.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

iconv_t Handle(void* cd) { return static_cast<iconv_t>(cd); }
const iconv_t kNone = reinterpret_cast<iconv_t>(-1);

}  // namespace

TextConverter::TextConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}

TextConverter::~TextConverter() {
  if (Ok()) iconv_close(Handle(cd_));
}

bool TextConverter::Ok() const { return Handle(cd_) != kNone; }

void TextConverter::Convert(std::string_view in, std::string& out,
                            std::string_view replacement) const {
  out.clear();
  if (!Ok()) return;
  iconv(Handle(cd_), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  out.resize(in.size() * 2 + 16);
  char* src = const_cast<char*>(in.data());
  size_t src_left = in.size();
  size_t used = 0;
  while (src_left > 0) {
    char* dst = out.data() + used;
    size_t dst_left = out.size() - used;
    const size_t r = iconv(Handle(cd_), &src, &src_left, &dst, &dst_left);
    const int error = errno;
    used = static_cast<size_t>(dst - out.data());
    if (r != static_cast<size_t>(-1)) break;
    if (error == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    // EILSEQ, or EINVAL for a sequence cut off at the end: one byte is replaced.
    if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
    std::memcpy(out.data() + used, replacement.data(), replacement.size());
    used += replacement.size();
    ++src;
    --src_left;
  }
  out.resize(used);
}

}  // namespace platform
