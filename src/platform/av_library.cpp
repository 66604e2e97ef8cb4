#include "platform/av_library.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <type_traits>

namespace platform::av {
namespace {

#define LANTHORN_STRING(x) #x
#define LANTHORN_SONAME(lib, major) "lib" lib ".so." LANTHORN_STRING(major)

const Library* LoadOnce() {
  static Library library;
  // Kept open for the process: the decoders use the functions until the end.
  void* codec = dlopen(LANTHORN_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
  void* format =
      codec ? dlopen(LANTHORN_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL)
            : nullptr;
  if (!codec || !format) {
    std::fprintf(stderr, "movies cannot be played: %s\n", dlerror());
    return nullptr;
  }
  std::string missing;
  auto find = [&](auto& pointer, const char* name) {
    void* symbol = dlsym(format, name);
    if (!symbol) symbol = dlsym(codec, name);
    if (!symbol) missing += std::string(missing.empty() ? "" : ", ") + name;
    pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(symbol);
  };
#define LANTHORN_AV_FIND(name) find(library.name, #name);
  LANTHORN_AV_FUNCTIONS(LANTHORN_AV_FIND)
#undef LANTHORN_AV_FIND
  if (!missing.empty()) {
    std::fprintf(stderr, "movies cannot be played: FFmpeg lacks %s\n", missing.c_str());
    return nullptr;
  }
  return &library;
}

}  // namespace

const Library* Load() {
  static const Library* const library = LoadOnce();
  return library;
}

}  // namespace platform::av
