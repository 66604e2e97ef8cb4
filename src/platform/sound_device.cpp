// The software mixer behind SoundDevice: one voice per buffer, each converted and resampled to
// the device rate by libswresample into a small queue of float frames, scaled by its volume and
// summed. Everything a voice holds is behind the mixer mutex, which the mix takes for each block.
#include "platform/sound_device.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include "platform/av_handles.h"

namespace platform {

float VolumeGain(int32_t millibels) {
  if (millibels <= kVolumeSilent) return 0.0f;
  if (millibels >= kVolumeFull) return 1.0f;
  return static_cast<float>(std::pow(10.0, millibels / 2000.0));
}

namespace detail {
namespace {

constexpr int kBlockFrames = 256;  // output frames mixed per pass
constexpr int kMaxChunkFrames = 512;  // input frames converted per call
constexpr int kQueueFrames = 4096;  // resampled frames a voice can hold
constexpr int kHistory = 64;

using av::Resampler;

}  // namespace

struct Voice {
  PcmFormat format;
  uint32_t block = 0;  // bytes per frame
  uint32_t frames = 0;  // buffer length in frames
  std::vector<uint8_t> data;
  std::vector<uint8_t> lock_copy;
  uint32_t lock_offset = 0;
  uint32_t lock_bytes = 0;
  bool locked = false;

  uint32_t cursor = 0;  // in frames
  bool playing = false;
  bool looping = false;
  bool draining = false;  // reached its end; the queue still holds frames to play out
  int32_t volume = 0;
  float gain = 1.0f;
  std::array<int32_t, kHistory> history{};
  int history_count = 0;
  int history_next = 0;

  std::vector<Notification> notifications;
  bool awaiting_refill = false;  // a notification fired and the owner has not written since

  Resampler swr;
  std::vector<float> queue;  // interleaved, format.channels per frame
  int queued = 0;
};

struct Mixer {
  explicit Mixer(int r) : rate(r) {}
  int rate;
  mutable std::mutex mutex;
  std::condition_variable refilled;
  std::vector<Voice*> voices;

  bool AwaitingRefill() const {
    for (const Voice* v : voices)
      if (v->playing && v->awaiting_refill) return true;
    return false;
  }
};

namespace {

// Builds the voice's resampler afresh (its filter history is the silence before the start) and
// runs the largest conversions the mix makes once, so swresample has grown its work buffers and
// never allocates inside the mix.
bool ResetResampler(Voice& v, int rate) {
  AVChannelLayout layout;
  av_channel_layout_default(&layout, v.format.channels);
  AVSampleFormat in_fmt = v.format.bits_per_sample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
  SwrContext* raw = v.swr.release();
  int r = swr_alloc_set_opts2(&raw, &layout, AV_SAMPLE_FMT_FLT, rate, &layout, in_fmt,
                              v.format.samples_per_sec, 0, nullptr);
  v.swr.reset(raw);
  av_channel_layout_uninit(&layout);
  if (r < 0 || !v.swr || swr_init(v.swr.get()) < 0) return false;

  // As much input as the queue can take once resampled, as in the mix.
  int64_t chunk = std::clamp<int64_t>(
      int64_t{kQueueFrames - kBlockFrames} * v.format.samples_per_sec / rate, 1, kMaxChunkFrames);
  std::vector<uint8_t> silence(static_cast<size_t>(chunk) * v.block,
                               v.format.bits_per_sample == 8 ? 0x80 : 0);
  std::vector<float> sink(static_cast<size_t>(kQueueFrames) * v.format.channels);
  const uint8_t* in = silence.data();
  uint8_t* out = reinterpret_cast<uint8_t*>(sink.data());
  for (int i = 0; i < 2; ++i)
    swr_convert(v.swr.get(), &out, kQueueFrames, &in, static_cast<int>(chunk));
  // The warm-up output is dropped; what stays in the filter is silence, which is what came
  // before the first frame anyway.
  v.queued = 0;
  return true;
}

void FireNotifications(Voice& v, uint32_t from_frame, uint32_t count) {
  uint32_t begin = from_frame * v.block;
  uint32_t end = (from_frame + count) * v.block;
  for (const Notification& n : v.notifications) {
    if (n.offset >= begin && n.offset < end) {
      v.awaiting_refill = true;
      n.event->Set();
    }
  }
}

// Samples the resampler wrote that are not numbers become silence. swresample has been seen to
// give NaN for the second channel of a one-frame stereo sound looped at an odd rate, and a NaN
// would pass the mix's clamp and reach the output.
void Sanitize(float* samples, int count) {
  for (int i = 0; i < count; ++i)
    if (!std::isfinite(samples[i])) samples[i] = 0.0f;
}

// Fills the voice's queue until it holds `want` frames or the voice has ended.
void Produce(Voice& v, int rate, int want) {
  const int channels = v.format.channels;
  while (v.playing && v.queued < want) {
    int room = kQueueFrames - v.queued;
    uint32_t left = v.frames - v.cursor;
    int64_t need = want - v.queued;
    int64_t k = (need * v.format.samples_per_sec + rate - 1) / rate + 1;
    k = std::min<int64_t>({k, kMaxChunkFrames, left});
    while (k > 1 && swr_get_out_samples(v.swr.get(), static_cast<int>(k)) > room) k /= 2;
    if (swr_get_out_samples(v.swr.get(), static_cast<int>(k)) > room) break;

    const uint8_t* in = v.data.data() + static_cast<size_t>(v.cursor) * v.block;
    uint8_t* out =
        reinterpret_cast<uint8_t*>(v.queue.data() + static_cast<size_t>(v.queued) * channels);
    int got = swr_convert(v.swr.get(), &out, room, &in, static_cast<int>(k));
    if (got < 0) {
      v.playing = false;
      break;
    }
    Sanitize(reinterpret_cast<float*>(out), got * channels);
    v.queued += got;
    uint32_t from = v.cursor;
    v.cursor += static_cast<uint32_t>(k);
    FireNotifications(v, from, static_cast<uint32_t>(k));
    if (v.cursor >= v.frames) {
      v.cursor = 0;
      if (!v.looping) {
        // Play out what the filter still holds, then stop.
        room = kQueueFrames - v.queued;
        out = reinterpret_cast<uint8_t*>(v.queue.data() + static_cast<size_t>(v.queued) * channels);
        got = swr_convert(v.swr.get(), &out, room, nullptr, 0);
        if (got > 0) {
          Sanitize(reinterpret_cast<float*>(out), got * channels);
          v.queued += got;
        }
        v.playing = false;
        v.draining = true;
      }
    }
  }
}

void MixVoice(Voice& v, int rate, float* out, int n) {
  Produce(v, rate, n);
  int take = std::min(n, v.queued);
  const float g = v.gain;
  const float* q = v.queue.data();
  if (v.format.channels == 1) {
    for (int i = 0; i < take; ++i) {
      float s = q[i] * g;
      out[2 * i] += s;
      out[2 * i + 1] += s;
    }
  } else {
    for (int i = 0; i < 2 * take; ++i) out[i] += q[i] * g;
  }
  int rest = v.queued - take;
  if (rest > 0)
    std::memmove(v.queue.data(), v.queue.data() + static_cast<size_t>(take) * v.format.channels,
                 static_cast<size_t>(rest) * v.format.channels * sizeof(float));
  v.queued = rest;
  if (v.draining && v.queued == 0) v.draining = false;
}

void MixBlock(Mixer& m, float* out, int n) {
  std::fill(out, out + 2 * n, 0.0f);
  for (Voice* v : m.voices)
    if (v->playing || v->draining) MixVoice(*v, m.rate, out, n);
  for (int i = 0; i < 2 * n; ++i) out[i] = std::clamp(out[i], -1.0f, 1.0f);
}

bool ValidFormat(const PcmFormat& f) {
  return (f.channels == 1 || f.channels == 2) &&
         (f.bits_per_sample == 8 || f.bits_per_sample == 16) &&
         f.samples_per_sec >= kMinSampleRate && f.samples_per_sec <= kMaxSampleRate;
}

}  // namespace
}  // namespace detail

using detail::Mixer;
using detail::Voice;

// --- SoundBuffer

SoundBuffer::SoundBuffer(std::shared_ptr<Mixer> mixer, std::unique_ptr<Voice> voice)
    : mixer_(std::move(mixer)), voice_(std::move(voice)) {}

SoundBuffer::~SoundBuffer() {
  {
    std::lock_guard lock(mixer_->mutex);
    auto& list = mixer_->voices;
    list.erase(std::remove(list.begin(), list.end(), voice_.get()), list.end());
  }
  mixer_->refilled.notify_all();
}

const PcmFormat& SoundBuffer::Format() const {
  return voice_->format;
}  // fixed at creation
uint32_t SoundBuffer::Size() const {
  return voice_->frames * voice_->block;
}

bool SoundBuffer::Lock(uint32_t offset, uint32_t bytes, Region& first, Region& second) {
  first = second = {};
  const uint32_t size = Size();
  if (bytes == 0 || bytes > size || offset >= size) return false;
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  if (v.locked) return false;
  if (v.lock_copy.size() < bytes) v.lock_copy.resize(bytes);
  uint32_t a = std::min(bytes, size - offset);
  std::memcpy(v.lock_copy.data(), v.data.data() + offset, a);
  std::memcpy(v.lock_copy.data() + a, v.data.data(), bytes - a);
  v.locked = true;
  v.lock_offset = offset;
  v.lock_bytes = bytes;
  first = {v.lock_copy.data(), a};
  if (bytes > a) second = {v.lock_copy.data() + a, bytes - a};
  return true;
}

bool SoundBuffer::Unlock() {
  {
    std::lock_guard lock(mixer_->mutex);
    Voice& v = *voice_;
    if (!v.locked) return false;
    const uint32_t size = Size();
    uint32_t a = std::min(v.lock_bytes, size - v.lock_offset);
    std::memcpy(v.data.data() + v.lock_offset, v.lock_copy.data(), a);
    std::memcpy(v.data.data(), v.lock_copy.data() + a, v.lock_bytes - a);
    v.locked = false;
    v.awaiting_refill = false;
  }
  mixer_->refilled.notify_all();
  return true;
}

bool SoundBuffer::Play(bool looping) {
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  v.looping = looping;
  if (v.playing) return true;
  // A fresh start: nothing of an earlier run stays in the filter or the queue.
  if (!detail::ResetResampler(v, mixer_->rate)) return false;
  v.draining = false;
  v.playing = true;
  return true;
}

void SoundBuffer::Stop() {
  {
    std::lock_guard lock(mixer_->mutex);
    Voice& v = *voice_;
    v.playing = false;
    v.draining = false;
    v.queued = 0;
    v.awaiting_refill = false;
  }
  mixer_->refilled.notify_all();
}

bool SoundBuffer::IsPlaying() const {
  std::lock_guard lock(mixer_->mutex);
  return voice_->playing;
}

uint32_t SoundBuffer::CurrentPosition() const {
  std::lock_guard lock(mixer_->mutex);
  return voice_->cursor * voice_->block;
}

bool SoundBuffer::SetCurrentPosition(uint32_t offset) {
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  if (offset >= Size()) return false;
  v.cursor = offset / v.block;
  if (v.playing) return detail::ResetResampler(v, mixer_->rate);
  return true;
}

void SoundBuffer::SetVolume(int32_t millibels) {
  millibels = std::clamp(millibels, kVolumeSilent, kVolumeFull);
  float gain = VolumeGain(millibels);
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  v.volume = millibels;
  v.gain = gain;
  v.history[v.history_next] = millibels;
  v.history_next = (v.history_next + 1) % detail::kHistory;
  v.history_count = std::min(v.history_count + 1, detail::kHistory);
}

int32_t SoundBuffer::Volume() const {
  std::lock_guard lock(mixer_->mutex);
  return voice_->volume;
}

std::vector<int32_t> SoundBuffer::VolumeHistory() const {
  std::lock_guard lock(mixer_->mutex);
  const Voice& v = *voice_;
  std::vector<int32_t> out;
  int start = (v.history_next - v.history_count + detail::kHistory) % detail::kHistory;
  for (int i = 0; i < v.history_count; ++i)
    out.push_back(v.history[(start + i) % detail::kHistory]);
  return out;
}

bool SoundBuffer::SetNotificationPositions(std::span<const Notification> positions) {
  const uint32_t size = Size();
  for (const Notification& n : positions)
    if (n.offset >= size || !n.event) return false;
  std::lock_guard lock(mixer_->mutex);
  Voice& v = *voice_;
  if (v.playing) return false;
  v.notifications.assign(positions.begin(), positions.end());
  v.awaiting_refill = false;
  return true;
}

// --- SoundDevice

SoundDevice::SoundDevice(int rate) : mixer_(std::make_shared<Mixer>(rate)) {}
SoundDevice::~SoundDevice() = default;

void SoundDevice::SetRate(int rate) {
  std::lock_guard lock(mixer_->mutex);
  mixer_->rate = rate;
}

int SoundDevice::Rate() const {
  std::lock_guard lock(mixer_->mutex);
  return mixer_->rate;
}

bool SoundDevice::Accepts(const PcmFormat& format, uint32_t bytes) {
  if (!detail::ValidFormat(format)) return false;
  const uint32_t block = static_cast<uint32_t>(format.BlockAlign());
  return bytes != 0 && bytes <= kMaxBufferBytes && bytes % block == 0;
}

std::unique_ptr<SoundBuffer> SoundDevice::CreateBuffer(const PcmFormat& format, uint32_t bytes) {
  if (!Accepts(format, bytes)) return nullptr;
  const uint32_t block = static_cast<uint32_t>(format.BlockAlign());
  auto v = std::make_unique<Voice>();
  v->format = format;
  v->block = block;
  v->frames = bytes / block;
  v->data.assign(bytes, format.bits_per_sample == 8 ? 0x80 : 0);
  v->queue.assign(static_cast<size_t>(detail::kQueueFrames) * format.channels, 0.0f);
  if (!detail::ResetResampler(*v, Rate())) return nullptr;
  Voice* raw = v.get();
  std::unique_ptr<SoundBuffer> buffer(new SoundBuffer(mixer_, std::move(v)));
  std::lock_guard lock(mixer_->mutex);
  mixer_->voices.push_back(raw);
  return buffer;
}

void SoundDevice::Mix(float* out, int frames, bool wait_for_refills, uint32_t wait_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  Mixer& m = *mixer_;
  while (frames > 0) {
    int n = std::min(frames, detail::kBlockFrames);
    std::unique_lock lock(m.mutex);
    if (wait_for_refills)
      m.refilled.wait_until(lock, deadline, [&m] { return !m.AwaitingRefill(); });
    detail::MixBlock(m, out, n);
    out += 2 * n;
    frames -= n;
  }
}

// --- NullSoundDevice

void NullSoundDevice::Render(float* out, int frames) {
  Mix(out, frames, true, refill_wait_ms);
  rendered_ += frames;
}

std::vector<float> NullSoundDevice::Render(int frames) {
  std::vector<float> out(static_cast<size_t>(frames) * 2);
  Render(out.data(), frames);
  return out;
}

int64_t NullSoundDevice::FramesRendered() const {
  return rendered_;
}

int NullSoundDevice::PlayingBuffers() const {
  std::lock_guard lock(mixer_->mutex);
  int n = 0;
  for (const Voice* v : mixer_->voices) n += v->playing;
  return n;
}

int NullSoundDevice::Buffers() const {
  std::lock_guard lock(mixer_->mutex);
  return static_cast<int>(mixer_->voices.size());
}

std::unique_ptr<SoundDevice> NullSoundOutput::Open() {
  if (!available) return nullptr;
  auto device = std::make_unique<NullSoundDevice>(rate);
  last_ = device.get();
  return device;
}

}  // namespace platform
