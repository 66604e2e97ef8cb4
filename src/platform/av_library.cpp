#include "platform/av_library.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <type_traits>

namespace platform::av {
namespace {

#define LANTHORN_STRING(x) #x
#define LANTHORN_SONAME(lib, major) "lib" lib ".so." LANTHORN_STRING(major)

// Maps the code of the movie libraries into the process's page tables now, on the loading
// thread: otherwise the first movie's open takes a page fault for every few pages of decoder it
// runs, on the frame that opens it. Only what the page cache holds or reads ahead is mapped; a
// kernel without MADV_POPULATE_READ gets a read of one byte a page instead.
void MapCodeAhead() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        const std::string name = info->dlpi_name ? info->dlpi_name : "";
        const bool movie = name.find("/libavcodec.") != std::string::npos ||
                           name.find("/libavformat.") != std::string::npos ||
                           name.find("/libavutil.") != std::string::npos ||
                           name.find("/libswscale.") != std::string::npos;
        if (!movie) return 0;
        const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          const ElfW(Phdr)& ph = info->dlpi_phdr[i];
          if (ph.p_type != PT_LOAD || !(ph.p_flags & PF_X) || !(ph.p_flags & PF_R)) continue;
          const uintptr_t from = (info->dlpi_addr + ph.p_vaddr) & ~(page - 1);
          const uintptr_t to = info->dlpi_addr + ph.p_vaddr + ph.p_memsz;
          if (madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_READ) == 0) continue;
          for (uintptr_t p = from; p < to; p += page) (void)*reinterpret_cast<volatile const char*>(p);
        }
        return 0;
      },
      nullptr);
}

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
  MapCodeAhead();
  return &library;
}

}  // namespace

const Library* Load() {
  static const Library* const library = LoadOnce();
  return library;
}

}  // namespace platform::av
