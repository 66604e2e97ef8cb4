#include "audio/ogg_encode.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace {

// The encoder's state, cleared in the reverse order of its set-up.
class VorbisEncoder {
 public:
  VorbisEncoder(int channels, int rate, float quality, int serial) : channels_(channels) {
    vorbis_info_init(&info_);
    ok_ = channels > 0 && vorbis_encode_init_vbr(&info_, channels, rate, quality) == 0;
    vorbis_comment_init(&comment_);
    if (!ok_) return;
    vorbis_comment_add_tag(&comment_, "ENCODER", "lanthorn");
    vorbis_analysis_init(&dsp_, &info_);
    vorbis_block_init(&dsp_, &block_);
    ogg_stream_init(&stream_, serial);
    started_ = true;
  }
  ~VorbisEncoder() {
    if (started_) {
      ogg_stream_clear(&stream_);
      vorbis_block_clear(&block_);
      vorbis_dsp_clear(&dsp_);
    }
    vorbis_comment_clear(&comment_);
    vorbis_info_clear(&info_);
  }
  VorbisEncoder(const VorbisEncoder&) = delete;
  VorbisEncoder& operator=(const VorbisEncoder&) = delete;

  bool Encode(std::span<const float> samples, OggVorbisFile& out) {
    if (!ok_) return false;
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp_, &comment_, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream_, &header);
    ogg_stream_packetin(&stream_, &header_comment);
    ogg_stream_packetin(&stream_, &header_code);
    // The headers end a page of their own, so the audio starts on a fresh page.
    ogg_page page;
    while (ogg_stream_flush(&stream_, &page) != 0) Append(page, out.bytes);
    out.header_bytes = out.bytes.size();

    constexpr size_t kChunk = 1024;
    const size_t channels = static_cast<size_t>(channels_);
    const size_t frames = samples.size() / channels;
    for (size_t at = 0; at < frames; at += kChunk) {
      const size_t n = std::min(kChunk, frames - at);
      float** buffer = vorbis_analysis_buffer(&dsp_, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i)
        for (size_t c = 0; c < channels; ++c) buffer[c][i] = samples[(at + i) * channels + c];
      vorbis_analysis_wrote(&dsp_, static_cast<int>(n));
      Drain(out.bytes);
    }
    vorbis_analysis_wrote(&dsp_, 0);
    Drain(out.bytes);
    return true;
  }

 private:
  static void Append(const ogg_page& page, std::vector<uint8_t>& out) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  }
  void Drain(std::vector<uint8_t>& out) {
    while (vorbis_analysis_blockout(&dsp_, &block_) == 1) {
      vorbis_analysis(&block_, nullptr);
      vorbis_bitrate_addblock(&block_);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&dsp_, &packet) == 1) {
        ogg_stream_packetin(&stream_, &packet);
        ogg_page page;
        while (ogg_stream_pageout(&stream_, &page) != 0) Append(page, out);
      }
    }
  }

  int channels_;
  vorbis_info info_;
  vorbis_comment comment_;
  vorbis_dsp_state dsp_;
  vorbis_block block_;
  ogg_stream_state stream_;
  bool ok_ = false;
  bool started_ = false;
};

}  // namespace

bool EncodeOggVorbis(std::span<const float> interleaved, int channels, int rate, float quality,
                     int serial, OggVorbisFile& out) {
  out = OggVorbisFile{};
  VorbisEncoder encoder(channels, rate, quality, serial);
  if (encoder.Encode(interleaved, out)) return true;
  out = OggVorbisFile{};
  return false;
}
