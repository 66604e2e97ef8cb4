// libavformat and libavcodec for the movie decoder, loaded the first time a movie is opened
// rather than when the program starts: with the codecs and protocols they bring in they are more
// than a hundred shared libraries, which cost the game about 25 ms of start-up before its first
// line ran, for movies most starts never play. The versions loaded are those of the headers the
// decoder was built with. libavutil, libswscale and libswresample stay linked (the mixer
// resamples with them, and they are small). Included only inside src/platform, after the FFmpeg
// headers.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace platform::av {

#define LANTHORN_AV_FUNCTIONS(X) \
  X(avformat_alloc_context)      \
  X(avformat_open_input)         \
  X(avformat_find_stream_info)   \
  X(avformat_close_input)        \
  X(av_find_best_stream)         \
  X(av_guess_frame_rate)         \
  X(av_read_frame)               \
  X(av_seek_frame)               \
  X(avio_alloc_context)          \
  X(avio_context_free)           \
  X(avcodec_alloc_context3)      \
  X(avcodec_free_context)        \
  X(avcodec_find_decoder)        \
  X(avcodec_parameters_to_context) \
  X(avcodec_open2)               \
  X(avcodec_send_packet)         \
  X(avcodec_receive_frame)       \
  X(av_packet_alloc)             \
  X(av_packet_free)              \
  X(av_packet_unref)

struct Library {
#define LANTHORN_AV_POINTER(name) decltype(&::name) name = nullptr;
  LANTHORN_AV_FUNCTIONS(LANTHORN_AV_POINTER)
#undef LANTHORN_AV_POINTER
};

// The loaded functions, every one present; nullptr when a library or a function is missing (said
// once on stderr). Loads on the first call, from any thread; the libraries stay loaded.
const Library* Load();

}  // namespace platform::av
