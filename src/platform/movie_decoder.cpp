// The movie decoder on libavformat, libavcodec, libswscale and libswresample.
#include "platform/movie_decoder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "platform/av_handles.h"
#include "platform/av_library.h"
#include "platform/fs.h"

namespace platform {

namespace {

// Only called once av::Load has answered, on opening.
const av::Library& Av() { return *av::Load(); }

struct CodecFree {
  void operator()(AVCodecContext* c) const { Av().avcodec_free_context(&c); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { Av().av_packet_free(&p); }
};
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

struct FormatCloser {
  void operator()(AVFormatContext* f) const { Av().avformat_close_input(&f); }
};
struct AvioFree {
  void operator()(AVIOContext* io) const {
    if (!io) return;
    av_freep(&io->buffer);
    Av().avio_context_free(&io);
  }
};

using Clock = std::chrono::steady_clock;

// Damaged files make FFmpeg talk about every packet; the player reports what matters itself.
void Quiet() { av_log_set_level(AV_LOG_FATAL); }

}  // namespace

struct MovieDecoder::State {
  // Memory input.
  std::span<const uint8_t> bytes;
  int64_t position = 0;
  std::unique_ptr<AVIOContext, AvioFree> io;

  std::unique_ptr<AVFormatContext, FormatCloser> format;
  Codec video, audio;
  int video_index = -1, audio_index = -1;
  AVRational video_base{1, 1}, audio_base{1, 1};
  av::Frame frame{av_frame_alloc()};
  Packet packet{Av().av_packet_alloc()};
  av::Scaler sws;
  av::Resampler swr;
  AVChannelLayout swr_in_layout{};
  int swr_in_rate = 0, swr_in_format = -1;
  std::vector<uint8_t> rgb;
  std::vector<int16_t> pcm;
  double start = 0;  // the file's start time, subtracted from every time
  double next_video_pts = 0, next_audio_pts = 0;
  bool input_done = false, video_done = true, audio_done = true, ended = false;
  std::atomic<bool> abort{false};
  Clock::time_point deadline = Clock::time_point::max();
  uint32_t budget_ms = 0;
  int max_dimension = 4096;

  ~State() { av_channel_layout_uninit(&swr_in_layout); }

  void StartCall() {
    deadline = budget_ms ? Clock::now() + std::chrono::milliseconds(budget_ms)
                         : Clock::time_point::max();
  }
  bool Stopped() const { return abort.load() || Clock::now() > deadline; }

  static int Interrupt(void* opaque) { return static_cast<State*>(opaque)->Stopped() ? 1 : 0; }
  static int Read(void* opaque, uint8_t* buf, int size) {
    State* s = static_cast<State*>(opaque);
    int64_t left = static_cast<int64_t>(s->bytes.size()) - s->position;
    if (left <= 0) return AVERROR_EOF;
    int n = static_cast<int>(std::min<int64_t>(left, size));
    std::memcpy(buf, s->bytes.data() + s->position, n);
    s->position += n;
    return n;
  }
  static int64_t Seek(void* opaque, int64_t offset, int whence) {
    State* s = static_cast<State*>(opaque);
    int64_t size = static_cast<int64_t>(s->bytes.size());
    if (whence == AVSEEK_SIZE) return size;
    int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
      case SEEK_SET: base = 0; break;
      case SEEK_CUR: base = s->position; break;
      case SEEK_END: base = size; break;
      default: return -1;
    }
    if (offset > size || offset < -size) return -1;
    int64_t p = base + offset;
    if (p < 0 || p > size) return -1;
    s->position = p;
    return p;
  }
};

MovieDecoder::MovieDecoder() : state_(std::make_unique<State>()) {}
MovieDecoder::~MovieDecoder() = default;

std::string MovieDecoder::CodecVersion() { return AV_STRINGIFY(LIBAVCODEC_VERSION); }

void MovieDecoder::Abort() { state_->abort = true; }

void MovieDecoder::TakeSampleBits(std::vector<uint8_t>& bits) {
  if (!sample_.bits) return;
  state_->rgb.swap(bits);
  sample_.bits = nullptr;
  sample_.size = 0;
}

void MovieDecoder::LoadLibrariesAhead() {
  // The thread is joined when the program ends (it has long finished by then).
  struct Loader {
    std::thread thread;
    ~Loader() {
      if (thread.joinable()) thread.join();
    }
  };
  static Loader loader;
  static std::once_flag once;
  std::call_once(once, [] {
    try {
      loader.thread = std::thread([] { av::Load(); });
    } catch (const std::system_error&) {
      // Without a thread the first movie loads them.
    }
  });
}

std::unique_ptr<MovieDecoder> MovieDecoder::Open(std::string_view game_path, bool audio,
                                                 const MovieLimits& limits,
                                                 MovieOpenResult* result) {
  Quiet();
  *result = MovieOpenResult::NotFound;
  if (!fs::Exists(game_path)) return nullptr;
  *result = MovieOpenResult::Unreadable;
  if (!av::Load()) return nullptr;
  std::unique_ptr<MovieDecoder> d(new MovieDecoder());
  State& s = *d->state_;
  s.budget_ms = limits.call_budget_ms;
  s.StartCall();
  AVFormatContext* f = Av().avformat_alloc_context();
  if (!f) {
    *result = MovieOpenResult::Unreadable;
    return nullptr;
  }
  f->interrupt_callback = {&State::Interrupt, &s};
  f->probesize = std::max<int64_t>(limits.probe_bytes, 32);
  std::string host = fs::HostPath(game_path);
  if (Av().avformat_open_input(&f, host.c_str(), nullptr, nullptr) < 0) {  // frees f
    *result = MovieOpenResult::Unreadable;
    return nullptr;
  }
  s.format.reset(f);
  return Finish(std::move(d), audio, limits, result);
}

std::unique_ptr<MovieDecoder> MovieDecoder::OpenMemory(std::span<const uint8_t> bytes, bool audio,
                                                       const MovieLimits& limits,
                                                       MovieOpenResult* result) {
  Quiet();
  *result = MovieOpenResult::Unreadable;
  if (!av::Load()) return nullptr;
  std::unique_ptr<MovieDecoder> d(new MovieDecoder());
  State& s = *d->state_;
  s.bytes = bytes;
  s.budget_ms = limits.call_budget_ms;
  s.StartCall();
  constexpr int kIoBuffer = 4096;
  auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBuffer));
  if (!buffer) return nullptr;
  s.io.reset(Av().avio_alloc_context(buffer, kIoBuffer, 0, &s, &State::Read, nullptr, &State::Seek));
  if (!s.io) {
    av_free(buffer);
    return nullptr;
  }
  AVFormatContext* f = Av().avformat_alloc_context();
  if (!f) return nullptr;
  f->pb = s.io.get();
  f->flags |= AVFMT_FLAG_CUSTOM_IO;
  f->interrupt_callback = {&State::Interrupt, &s};
  f->probesize = std::max<int64_t>(limits.probe_bytes, 32);
  if (Av().avformat_open_input(&f, nullptr, nullptr, nullptr) < 0) return nullptr;  // frees f
  s.format.reset(f);
  return Finish(std::move(d), audio, limits, result);
}

namespace {

Codec OpenCodec(AVStream* stream) {
  const AVCodec* codec = Av().avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec) return nullptr;
  Codec c(Av().avcodec_alloc_context3(codec));
  if (!c || Av().avcodec_parameters_to_context(c.get(), stream->codecpar) < 0) return nullptr;
  c->thread_count = 1;  // the movie thread is the decoding thread
  if (Av().avcodec_open2(c.get(), codec, nullptr) < 0) return nullptr;
  return c;
}

}  // namespace

// The length of a file without sound, from its pictures: the demuxer's estimate for a program
// stream is the last time stamp it finds, which leaves out the pictures after it (those a packet
// holds past its first, and the last one's own duration). The packets of the video stream are
// counted (the parser gives one a picture) and the file is rewound; 0 when it cannot be, or when
// the call budget runs out first.
double MovieDecoder::VideoLength(State& s) {
  AVFormatContext* f = s.format.get();
  if (!f->pb || !(f->pb->seekable & AVIO_SEEKABLE_NORMAL)) return 0;
  const AVRational rate = Av().av_guess_frame_rate(f, f->streams[s.video_index], nullptr);
  if (rate.num <= 0 || rate.den <= 0) return 0;
  int64_t pictures = 0;
  AVPacket* p = s.packet.get();
  bool complete = false;
  for (;;) {
    if (s.Stopped()) break;
    const int r = Av().av_read_frame(f, p);
    if (r < 0) {
      complete = r == AVERROR_EOF;
      break;
    }
    if (p->stream_index == s.video_index) ++pictures;
    Av().av_packet_unref(p);
  }
  if (Av().av_seek_frame(f, -1, 0, AVSEEK_FLAG_BYTE) < 0) {
    s.input_done = true;  // nothing can be read again: the movie ends at once
    return 0;
  }
  return complete ? double(pictures) / av_q2d(rate) : 0.0;
}

std::unique_ptr<MovieDecoder> MovieDecoder::Finish(std::unique_ptr<MovieDecoder> d, bool audio,
                                                   const MovieLimits& limits,
                                                   MovieOpenResult* result) {
  State& s = *d->state_;
  s.max_dimension = limits.max_dimension;
  *result = MovieOpenResult::Unreadable;
  AVFormatContext* f = s.format.get();
  if (Av().avformat_find_stream_info(f, nullptr) < 0) return nullptr;
  MovieStreams& st = d->streams_;
  std::string_view name = f->iformat && f->iformat->name ? f->iformat->name : "";
  st.mpeg_stream = name == "mpeg" || name == "mpegvideo" || name == "mpeg1video";
  s.start = f->start_time == AV_NOPTS_VALUE ? 0.0 : f->start_time / double(AV_TIME_BASE);
  if (f->duration != AV_NOPTS_VALUE && f->duration > 0) st.duration = f->duration / double(AV_TIME_BASE);

  *result = MovieOpenResult::NoVideo;
  int vi = Av().av_find_best_stream(f, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (vi < 0) return nullptr;
  AVStream* vs = f->streams[vi];
  s.video = OpenCodec(vs);
  if (!s.video || s.video->width <= 0 || s.video->height <= 0 ||
      s.video->pix_fmt == AV_PIX_FMT_NONE)
    return nullptr;
  if (s.video->width > limits.max_dimension || s.video->height > limits.max_dimension) {
    *result = MovieOpenResult::TooLarge;
    return nullptr;
  }
  s.video_index = vi;
  s.video_base = vs->time_base;
  s.video_done = false;
  st.has_video = true;
  st.width = s.video->width;
  st.height = s.video->height;
  AVRational rate = Av().av_guess_frame_rate(f, vs, nullptr);
  if (rate.num > 0 && rate.den > 0) st.frame_rate = av_q2d(rate);

  if (audio) {
    int ai = Av().av_find_best_stream(f, AVMEDIA_TYPE_AUDIO, -1, vi, nullptr, 0);
    if (ai >= 0) {
      AVStream* as = f->streams[ai];
      s.audio = OpenCodec(as);
      if (s.audio && s.audio->sample_rate >= 8000 && s.audio->sample_rate <= 192000 &&
          s.audio->ch_layout.nb_channels > 0) {
        s.audio_index = ai;
        s.audio_base = as->time_base;
        s.audio_done = false;
        st.has_audio = true;
        st.audio_rate = s.audio->sample_rate;
        st.audio_channels = std::min(s.audio->ch_layout.nb_channels, 2);
      } else {
        s.audio.reset();
      }
    }
  }
  // Everything else in the file is skipped by the demuxer.
  for (unsigned i = 0; i < f->nb_streams; ++i)
    if (int(i) != s.video_index && int(i) != s.audio_index) f->streams[i]->discard = AVDISCARD_ALL;
  if (Av().av_find_best_stream(f, AVMEDIA_TYPE_AUDIO, -1, vi, nullptr, 0) < 0)
    st.duration = std::max(st.duration, VideoLength(s));
  *result = MovieOpenResult::Ok;
  return d;
}

MovieDecoder::Output MovieDecoder::Next() {
  State& s = *state_;
  if (s.ended) return Output::End;
  s.StartCall();
  AVFrame* frame = s.frame.get();
  for (;;) {
    if (s.Stopped()) break;
    if (!s.video_done) {
      int r = Av().avcodec_receive_frame(s.video.get(), frame);
      if (r == 0) {
        double pts = s.next_video_pts;
        if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
          pts = frame->best_effort_timestamp * av_q2d(s.video_base) - s.start;
        double step = streams_.frame_rate > 0 ? 1.0 / streams_.frame_rate : 0.04;
        s.next_video_pts = pts + step;
        const int w = streams_.width, h = streams_.height;
        const int pitch = (3 * w + 3) & ~3;
        sample_ = MovieSample{nullptr, w, h, pitch, 0, pts};
        bool ok_frame = frame->width > 0 && frame->height > 0 &&
                        frame->width <= s.max_dimension && frame->height <= s.max_dimension &&
                        frame->format >= 0;
        if (convert_ && ok_frame) {
          // Pictures that change size midway are scaled to the size the renderer accepted.
          s.sws.reset(sws_getCachedContext(s.sws.release(), frame->width, frame->height,
                                           static_cast<AVPixelFormat>(frame->format), w, h,
                                           AV_PIX_FMT_BGR24, SWS_POINT, nullptr, nullptr,
                                           nullptr));
          if (s.sws) {
            s.rgb.resize(static_cast<size_t>(pitch) * h);
            // Bottom-up: the picture's top row goes last in memory.
            uint8_t* dst[4] = {s.rgb.data() + static_cast<size_t>(pitch) * (h - 1), nullptr,
                               nullptr, nullptr};
            int dst_stride[4] = {-pitch, 0, 0, 0};
            sws_scale(s.sws.get(), frame->data, frame->linesize, 0, frame->height, dst,
                      dst_stride);
            sample_.bits = s.rgb.data();
            sample_.size = s.rgb.size();
          }
        }
        av_frame_unref(frame);
        if (!ok_frame) continue;
        return Output::Video;
      }
      if (r == AVERROR_EOF) s.video_done = true;
      else if (r != AVERROR(EAGAIN)) s.video_done = true;  // a decoder that fails for good
    }
    if (!s.audio_done) {
      int r = Av().avcodec_receive_frame(s.audio.get(), frame);
      if (r == 0) {
        bool produced = false;
        const int out_channels = streams_.audio_channels;
        if (frame->nb_samples > 0 && frame->ch_layout.nb_channels > 0 && frame->sample_rate > 0) {
          bool changed = !s.swr || s.swr_in_rate != frame->sample_rate ||
                         s.swr_in_format != frame->format ||
                         av_channel_layout_compare(&s.swr_in_layout, &frame->ch_layout) != 0;
          if (changed) {
            s.swr.reset();
            AVChannelLayout out_layout{};
            av_channel_layout_default(&out_layout, out_channels);
            SwrContext* swr = nullptr;
            if (swr_alloc_set_opts2(&swr, &out_layout, AV_SAMPLE_FMT_S16, streams_.audio_rate,
                                    &frame->ch_layout, static_cast<AVSampleFormat>(frame->format),
                                    frame->sample_rate, 0, nullptr) == 0 &&
                swr_init(swr) == 0) {
              s.swr.reset(swr);
              av_channel_layout_uninit(&s.swr_in_layout);
              av_channel_layout_copy(&s.swr_in_layout, &frame->ch_layout);
              s.swr_in_rate = frame->sample_rate;
              s.swr_in_format = frame->format;
            } else {
              swr_free(&swr);
            }
            av_channel_layout_uninit(&out_layout);
          }
          if (s.swr) {
            int cap = swr_get_out_samples(s.swr.get(), frame->nb_samples);
            if (cap > 0) {
              s.pcm.resize(static_cast<size_t>(cap) * out_channels);
              uint8_t* out[1] = {reinterpret_cast<uint8_t*>(s.pcm.data())};
              int n = swr_convert(s.swr.get(), out, cap,
                                  const_cast<const uint8_t**>(frame->extended_data),
                                  frame->nb_samples);
              if (n > 0) {
                double pts = s.next_audio_pts;
                if (frame->best_effort_timestamp != AV_NOPTS_VALUE)
                  pts = frame->best_effort_timestamp * av_q2d(s.audio_base) - s.start;
                s.next_audio_pts = pts + double(n) / streams_.audio_rate;
                audio_ = MovieAudio{s.pcm.data(), n, pts};
                produced = true;
              }
            }
          }
        }
        av_frame_unref(frame);
        if (produced) return Output::Audio;
        continue;
      }
      if (r == AVERROR_EOF) s.audio_done = true;
      else if (r != AVERROR(EAGAIN)) s.audio_done = true;
    }
    if (s.video_done && s.audio_done) break;
    if (s.input_done) {
      // Draining sent and the decoders still ask for input: nothing more will come.
      s.video_done = s.audio_done = true;
      break;
    }
    AVPacket* p = s.packet.get();
    int r = Av().av_read_frame(s.format.get(), p);
    if (r < 0) {
      // The end of the file, or a read error: drain what the decoders hold.
      s.input_done = true;
      if (!s.video_done) Av().avcodec_send_packet(s.video.get(), nullptr);
      if (!s.audio_done) Av().avcodec_send_packet(s.audio.get(), nullptr);
      // A drained decoder answers EOF; one that answers EAGAIN again is cut off above.
      continue;
    }
    if (p->stream_index == s.video_index && !s.video_done)
      Av().avcodec_send_packet(s.video.get(), p);  // corrupt packets are skipped by the decoder
    else if (p->stream_index == s.audio_index && !s.audio_done)
      Av().avcodec_send_packet(s.audio.get(), p);
    Av().av_packet_unref(p);
  }
  s.ended = true;
  return Output::End;
}

}  // namespace platform
