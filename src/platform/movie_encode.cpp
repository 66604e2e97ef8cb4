// The movie encoder: MPEG-1 video and MP2 audio muxed into an MPEG program stream.
#include "platform/movie_encode.h"

#include <algorithm>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

#include "platform/av_handles.h"

namespace platform {

namespace {

struct OutputCloser {
  void operator()(AVFormatContext* f) const {
    if (!f) return;
    if (f->pb && !(f->oformat->flags & AVFMT_NOFILE)) avio_closep(&f->pb);
    avformat_free_context(f);
  }
};

// Sends one frame (or the flush) and writes every packet that comes out.
bool Encode(AVFormatContext* out, AVCodecContext* c, AVStream* stream, AVFrame* frame,
            AVPacket* packet) {
  if (avcodec_send_frame(c, frame) < 0) return false;
  for (;;) {
    int r = avcodec_receive_packet(c, packet);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
    if (r < 0) return false;
    av_packet_rescale_ts(packet, c->time_base, stream->time_base);
    packet->stream_index = stream->index;
    if (av_interleaved_write_frame(out, packet) < 0) return false;
  }
}

}  // namespace

bool EncodeMovie(const std::string& host_path, const MovieEncodeSpec& spec) {
  if (spec.width <= 0 || spec.height <= 0 || spec.width % 2 || spec.height % 2 ||
      spec.frames <= 0 || spec.fps <= 0)
    return false;
  av_log_set_level(AV_LOG_ERROR);
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, nullptr, "mpeg", host_path.c_str()) < 0) return false;
  std::unique_ptr<AVFormatContext, OutputCloser> out(raw);

  const AVCodec* vcodec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  if (!vcodec) return false;
  av::Codec video(avcodec_alloc_context3(vcodec));
  if (!video) return false;
  video->width = spec.width;
  video->height = spec.height;
  video->time_base = AVRational{1, spec.fps};
  video->framerate = AVRational{spec.fps, 1};
  video->pix_fmt = AV_PIX_FMT_YUV420P;
  video->bit_rate = spec.video_bit_rate;
  video->gop_size = 12;
  video->max_b_frames = 2;
  if (out->oformat->flags & AVFMT_GLOBALHEADER) video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(video.get(), vcodec, nullptr) < 0) return false;
  AVStream* vstream = avformat_new_stream(out.get(), nullptr);
  if (!vstream || avcodec_parameters_from_context(vstream->codecpar, video.get()) < 0)
    return false;
  vstream->time_base = video->time_base;

  av::Codec audio;
  AVStream* astream = nullptr;
  if (spec.audio) {
    const AVCodec* acodec = avcodec_find_encoder(AV_CODEC_ID_MP2);
    if (!acodec) return false;
    audio.reset(avcodec_alloc_context3(acodec));
    if (!audio) return false;
    audio->sample_fmt = AV_SAMPLE_FMT_S16;
    audio->sample_rate = spec.audio_rate;
    av_channel_layout_default(&audio->ch_layout, spec.audio_channels);
    audio->bit_rate = spec.audio_channels == 1 ? 96'000 : 192'000;
    audio->time_base = AVRational{1, spec.audio_rate};
    if (avcodec_open2(audio.get(), acodec, nullptr) < 0) return false;
    astream = avformat_new_stream(out.get(), nullptr);
    if (!astream || avcodec_parameters_from_context(astream->codecpar, audio.get()) < 0)
      return false;
    astream->time_base = audio->time_base;
  }

  // Room for the muxer to hold packets back as the players' buffer model expects (otherwise it
  // reports underflows and writes a stream whose timing the players must repair).
  out->max_delay = static_cast<int>(0.7 * AV_TIME_BASE);
  av_opt_set_int(out->priv_data, "muxrate", 2 * (spec.video_bit_rate + 256'000), 0);
  if (avio_open(&out->pb, host_path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
  if (avformat_write_header(out.get(), nullptr) < 0) return false;

  av::Packet packet(av_packet_alloc());
  av::Frame picture(av_frame_alloc());
  if (!packet || !picture) return false;
  picture->format = AV_PIX_FMT_YUV420P;
  picture->width = spec.width;
  picture->height = spec.height;
  if (av_frame_get_buffer(picture.get(), 0) < 0) return false;
  av::Scaler sws(
      sws_getContext(spec.width, spec.height, AV_PIX_FMT_RGB24, spec.width, spec.height,
                     AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr));
  if (!sws) return false;
  const int rgb_pitch = spec.width * 3;
  std::vector<uint8_t> rgb(static_cast<size_t>(rgb_pitch) * spec.height);

  av::Frame samples;
  int64_t audio_frames = 0;
  std::vector<float> block;
  if (audio) {
    samples.reset(av_frame_alloc());
    if (!samples) return false;
    samples->format = AV_SAMPLE_FMT_S16;
    samples->nb_samples = audio->frame_size;
    samples->sample_rate = spec.audio_rate;
    if (av_channel_layout_copy(&samples->ch_layout, &audio->ch_layout) < 0 ||
        av_frame_get_buffer(samples.get(), 0) < 0)
      return false;
    block.resize(static_cast<size_t>(audio->frame_size) * spec.audio_channels);
  }
  // Audio is written up to the end of the last picture.
  const int64_t audio_total = static_cast<int64_t>(spec.frames) * spec.audio_rate / spec.fps;

  for (int i = 0; i < spec.frames; ++i) {
    std::fill(rgb.begin(), rgb.end(), 0);
    if (spec.paint) spec.paint(i, rgb.data(), rgb_pitch);
    if (av_frame_make_writable(picture.get()) < 0) return false;
    const uint8_t* src[1] = {rgb.data()};
    const int src_stride[1] = {rgb_pitch};
    sws_scale(sws.get(), src, src_stride, 0, spec.height, picture->data, picture->linesize);
    picture->pts = i;
    if (!Encode(out.get(), video.get(), vstream, picture.get(), packet.get())) return false;
    const int64_t audio_until = static_cast<int64_t>(i + 1) * spec.audio_rate / spec.fps;
    while (audio && audio_frames < std::min(audio_until, audio_total)) {
      const int n = audio->frame_size;
      std::fill(block.begin(), block.end(), 0.0f);
      if (spec.sound) spec.sound(audio_frames, block.data(), n);
      if (av_frame_make_writable(samples.get()) < 0) return false;
      auto* s16 = reinterpret_cast<int16_t*>(samples->data[0]);
      for (size_t k = 0; k < block.size(); ++k)
        s16[k] = static_cast<int16_t>(std::clamp(block[k], -1.0f, 1.0f) * 32767.0f);
      samples->pts = audio_frames;
      if (!Encode(out.get(), audio.get(), astream, samples.get(), packet.get())) return false;
      audio_frames += n;
    }
  }
  if (!Encode(out.get(), video.get(), vstream, nullptr, packet.get())) return false;
  if (audio && !Encode(out.get(), audio.get(), astream, nullptr, packet.get())) return false;
  return av_write_trailer(out.get()) == 0;
}

}  // namespace platform
