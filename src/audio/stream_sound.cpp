// Streamed Ogg Vorbis: opening a file with vorbisfile, the two-second buffer with its two
// notification positions, and the feeder thread that decodes one second ahead.
#include "audio/stream_sound.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "audio/sound.h"

namespace {

void DebugOutput(const char* text) {
  std::fputs(text, stderr);
}
void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// A stream whose decoder keeps failing without progress is treated as ended rather than
// decoded for ever.
constexpr int kMaxDecodeErrors = 64;

size_t ReadFile(void* ptr, size_t size, size_t count, void* file) {
  return std::fread(ptr, size, count, static_cast<std::FILE*>(file));
}
int SeekFile(void* file, ogg_int64_t offset, int whence) {
  return fseeko(static_cast<std::FILE*>(file), static_cast<off_t>(offset), whence);
}
long TellFile(void* file) {
  return static_cast<long>(ftello(static_cast<std::FILE*>(file)));
}

// The file stays ours: the decoder reads it but does not close it.
const ov_callbacks kFileCallbacks = {ReadFile, SeekFile, nullptr, TellFile};

}  // namespace

struct CStreamSound::Decoder {
  Decoder() = default;
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;
  ~Decoder() {
    if (open) ov_clear(&vf);
  }
  OggVorbis_File vf{};
  bool open = false;
};

CStreamSound::CStreamSound() = default;

CStreamSound::~CStreamSound() {
  Stop();
  if (feeder_.joinable())
    feeder_.join();  // a feeder that outlived Stop's wait ends at its next pass
  ReleaseBuffer();
  CloseFile();
}

int CStreamSound::SetDevice(platform::SoundDevice* device) {
  if (!device) return -1;
  if (state_ == 1) Stop();  // a feeder must not lose its buffer under it (comes at start-up)
  device_ = device;
  ReleaseBuffer();
  volume_ = 99.0f;
  return 0;
}

void CStreamSound::CloseFile() {
  decoder_.reset();
  file_.reset();
  file_open_ = false;
}

void CStreamSound::ReleaseBuffer() {
  buffer_.reset();
  buffer_bytes_ = 0;
}

void CStreamSound::JoinFinishedFeeder() {
  // The feeder sets state 0 as its last act, so this join does not wait.
  if (feeder_.joinable() && state_ == 0) feeder_.join();
}

int CStreamSound::Open(std::string_view path) {
  if (state_ == 1) return -1;
  JoinFinishedFeeder();
  CloseFile();
  path_ = std::string(path);
  file_ = platform::fs::Open(path, "rb");
  if (!file_) return -1;
  auto decoder = std::make_unique<Decoder>();
  if (ov_open_callbacks(file_.get(), &decoder->vf, nullptr, 0, kFileCallbacks) < 0) {
    file_.reset();
    return -1;
  }
  decoder->open = true;
  decoder_ = std::move(decoder);
  file_open_ = true;
  size_t slash = path_.find_last_of('\\');
  name_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);

  vorbis_info* info = ov_info(&decoder_->vf, -1);
  channels_ = info ? info->channels : 2;
  rate_ = info ? static_cast<int>(std::clamp<long>(info->rate, 0, platform::kMaxSampleRate + 1))
               : 32000;

  ReleaseBuffer();
  if (!device_) return -2;
  const uint64_t bytes = 2ull * static_cast<uint64_t>(rate_) * static_cast<uint64_t>(channels_) * 2;
  if (channels_ < 1 || bytes == 0 || bytes > platform::kMaxBufferBytes) return -2;
  buffer_ = device_->CreateBuffer(platform::PcmFormat{channels_, rate_, 16},
                                  static_cast<uint32_t>(bytes));
  if (!buffer_) return -2;
  buffer_bytes_ = static_cast<uint32_t>(bytes);
  first_half_event_.Reset();
  second_half_event_.Reset();
  const platform::Notification positions[] = {{0, &first_half_event_},
                                              {buffer_bytes_ / 2, &second_half_event_}};
  if (!buffer_->SetNotificationPositions(positions)) {
    ReleaseBuffer();
    return -2;
  }
  platform::SoundBuffer::Region a, b;
  if (buffer_->Lock(0, buffer_bytes_, a, b)) {
    std::memset(a.data, 0, a.bytes);
    buffer_->Unlock();
  }
  return 0;
}

bool CStreamSound::Play(bool loop) {
  // Without a buffer (no device, Open's −2) there is nothing a feeder could play into.
  if (fading_ || state_ == 1 || !file_open_ || !buffer_) return false;
  JoinFinishedFeeder();
  state_ = 1;
  loop_ = loop;
  fade_level_ = 0.0f;
  current_volume_ = 0.0f;
  fading_ = false;
  platform::SoundBuffer::Region a, b;
  if (buffer_->Lock(0, buffer_bytes_, a, b)) {
    std::memset(a.data, 0, a.bytes);
    buffer_->Unlock();
  }
  first_half_event_.Reset();
  second_half_event_.Reset();
  thread_ended_.Reset();
  feeder_ = std::thread(&CStreamSound::Feeder, this);
  if (!thread_started_.Wait(2000)) DebugOutput("Create Thread timeout.\n");
  thread_started_.Reset();
  started_by_play_ = true;
  return true;
}

void CStreamSound::Stop() {
  started_by_play_ = false;
  if (state_ == 1) {
    // The feeder ends the stream at its next fade tick.
    fade_level_ = 99.0f;
    if (!fading_) {
      fade_step_ = 100;
      fading_ = true;
    }
    if (thread_ended_.Wait(2000)) thread_ended_.Reset();
    JoinFinishedFeeder();
    return;
  }
  JoinFinishedFeeder();
  if (file_open_) CloseFile();
  current_volume_ = static_cast<float>(platform::kVolumeSilent);
  ReleaseBuffer();
  fading_ = false;
}

void CStreamSound::FadeOut(int kind) {
  started_by_play_ = false;
  if (fading_) return;
  switch (kind) {
    case 0: fade_step_ = 5, fade_interval_ = 33; break;
    case 1: fade_step_ = 2, fade_interval_ = 33; break;
    case 2: fade_step_ = 1, fade_interval_ = 33; break;
    case 3: fade_step_ = 15, fade_interval_ = 6; break;
    default: break;  // keeps the fade before
  }
  fade_level_ = 0.0f;
  uint32_t now = clock_.Now();
  fade_tick_time_ = now;
  pass_time_ = now;
  fading_ = true;  // last: the feeder reads the fade's fields once it sees this
}

void CStreamSound::SetVolume(int percent) {
  percent = std::clamp(percent, 0, 99);
  volume_ = static_cast<float>(percent + 1);
}

int32_t CStreamSound::FadedMillibels() const {
  return VolumeToMillibels(volume_.load(), 100.0 - fade_level_.load());
}

// Plain while no fade has been applied, else scaled by the fade.
void CStreamSound::ApplyVolume() {
  if (current_volume_.load() == 0.0f) {
    buffer_->SetVolume(VolumeToMillibels(volume_.load()));
  } else {
    int32_t mb = FadedMillibels();
    current_volume_ = static_cast<float>(mb);
    buffer_->SetVolume(mb);
  }
}

bool CStreamSound::Decode(std::vector<uint8_t>& staging, size_t& pending, size_t want,
                          bool& decoded_since_seek) {
  int errors = 0;
  while (pending <= want) {
    int bitstream = 0;
    size_t room = std::min<size_t>(4096, staging.size() - pending);
    long got = ov_read(&decoder_->vf, reinterpret_cast<char*>(staging.data() + pending),
                       static_cast<int>(room), 0, 2, 1, &bitstream);
    if (got < 0) {
      if (++errors <= kMaxDecodeErrors) continue;  // a hole or a bad packet: skipped
      got = 0;
    }
    if (got > 0) {
      // A chained file whose later part changes the format cannot go into this buffer; it ends
      // there (a looping stream starts again from the top).
      vorbis_info* info = ov_info(&decoder_->vf, bitstream);
      if (!info || info->channels != channels_ || info->rate != rate_) got = 0;
    }
    if (got > 0) {
      pending += static_cast<size_t>(got);
      errors = 0;
      decoded_since_seek = true;
      continue;
    }
    // The end of the file. A loop that gave no sound since the last seek would spin for ever.
    if (loop_ && decoded_since_seek && ov_time_seek(&decoder_->vf, 0.0) == 0) {
      decoded_since_seek = false;
      continue;
    }
    if (pending < want) std::memset(staging.data() + pending, 0, want - pending);
    pending = std::max(pending, want);
    return false;
  }
  return true;
}

void CStreamSound::EndThread(bool signal_ended) {
  if (buffer_) buffer_->Stop();
  CloseFile();
  ReleaseBuffer();
  fading_ = false;
  current_volume_ = static_cast<float>(platform::kVolumeSilent);
  // Last: once the main thread sees state 0 it may open, play or join at once.
  state_ = 0;
  if (signal_ended) thread_ended_.Set();
}

void CStreamSound::Feeder() {
  const size_t half = buffer_bytes_ / 2;
  std::vector<uint8_t> staging(std::max<size_t>(buffer_bytes_, half + 4096));
  size_t pending = 0;
  float last_volume = 1.0f;
  bool first_fill = true;
  bool end_reached[2] = {false, false};
  bool decoded_since_seek = true;  // the start may be retried once from the top
  thread_started_.Set();

  while (buffer_) {
    int fill = -1;  // the half to fill this pass
    if (first_fill) {
      fill = 0;
    } else {
      if (first_half_event_.Wait(0)) {
        if (end_reached[1]) break;
        fill = 1;
      } else if (second_half_event_.Wait(0)) {
        if (end_reached[0]) break;
        fill = 0;
      }
      pass_time_ = clock_.Now();
    }

    uint32_t now = clock_.Now();
    if (fading_ && now - fade_tick_time_ > fade_interval_) {
      float level = fade_level_.load();
      current_volume_ = static_cast<float>(VolumeToMillibels(volume_.load(), 100.0 - level));
      // Stop may have raised the level meanwhile; its value wins.
      while (!fade_level_.compare_exchange_weak(level, level + fade_step_.load())) {
      }
      buffer_->SetVolume(static_cast<int32_t>(current_volume_.load()));
      fade_tick_time_ = now;
    }
    if (fading_ && fade_level_ > 99.0f) {
      EndThread(true);
      return;
    }

    if (fill < 0) {
      if (volume_.load() != last_volume) {
        ApplyVolume();
        last_volume = volume_.load();
      }
      SleepMs(8);
      continue;
    }

    platform::SoundBuffer::Region a, b;
    if (buffer_->Lock(static_cast<uint32_t>(fill * half), static_cast<uint32_t>(half), a, b)) {
      if (end_reached[0] || end_reached[1] || state_ != 1) {
        std::memset(a.data, 0, a.bytes);
      } else {
        if (!Decode(staging, pending, half, decoded_since_seek)) end_reached[fill] = true;
        std::memcpy(a.data, staging.data(), half);
        pending -= half;
        std::memmove(staging.data(), staging.data() + half, pending);
      }
      buffer_->Unlock();
      if (first_fill) {
        ApplyVolume();
        last_volume = volume_.load();
        buffer_->Play(true);
        first_fill = false;
      }
    }
    SleepMs(1);
  }
  // Both halves after the end have been heard. Also signalled here, so a Stop that saw the
  // stream playing a moment before does not wait out its two seconds.
  EndThread(true);
}
