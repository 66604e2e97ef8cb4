// Streamed Ogg Vorbis: opening a file with vorbisfile, the two-second buffer with its two
// notification positions, and the feeder thread that decodes one second ahead.
#include "audio/stream_sound.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "audio/sound.h"
#include "platform/fs.h"

namespace {

void DebugOutput(const char* text) {
  std::fputs(text, stderr);
}

// How long an idle feeder sleeps between looks when nothing wakes it.
constexpr uint32_t kIdleWaitMs = 60'000;

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

// One opened file: the file, its decoder and its buffer. While the stream plays, the decoder is
// the feeder's alone; the buffer is used only under the stream's mutex.
struct CStreamSound::Track {
  explicit Track(platform::Event& wake)
      : first_half(platform::EventKind::AutoReset, wake),
        second_half(platform::EventKind::AutoReset, wake) {}
  Track(const Track&) = delete;
  Track& operator=(const Track&) = delete;
  ~Track() {
    buffer.reset();  // before the events its notifications point at
    if (decoder_open) ov_clear(&vf);
  }
  platform::fs::File file;  // the decoder reads it but does not close it
  OggVorbis_File vf{};
  bool decoder_open = false;
  // Open only reads the headers; the feeder finishes opening (the length scan and the decode
  // set-up) before its first decode, so the caller does not pay for them.
  bool decode_ready = false;
  int channels = 2;
  int rate = 32000;
  uint32_t buffer_bytes = 0;
  // The device takes the track's format; the feeder makes the buffer when it picks it up.
  bool buffer_ok = false;
  bool loop = false;  // written before the track is handed to the feeder
  platform::Event first_half;
  platform::Event second_half;
  std::unique_ptr<platform::SoundBuffer> buffer;
};

// What the feeder keeps of the track it feeds. The staging block stays from track to track.
struct CStreamSound::Feed {
  void Restart(uint32_t buffer_bytes) {
    const size_t half = buffer_bytes / 2;
    staging.resize(std::max({staging.size(), size_t{buffer_bytes}, half + 4096}));
    pending = 0;
    last_volume = 1.0f;
    first_fill = true;
    end_reached[0] = end_reached[1] = false;
    decoded_since_seek = true;  // the start may be retried once from the top
  }
  std::vector<uint8_t> staging;
  size_t pending = 0;
  float last_volume = 1.0f;
  bool first_fill = true;
  bool end_reached[2] = {false, false};
  bool decoded_since_seek = true;
};

CStreamSound::CStreamSound() = default;

CStreamSound::~CStreamSound() {
  Stop();
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.Set();
  if (feeder_.joinable()) feeder_.join();
}

int CStreamSound::SetDevice(platform::SoundDevice* device) {
  if (!device) return -1;
  if (state_ == 1) Stop();  // a feeder must not lose its buffer under it (comes at start-up)
  std::lock_guard lock(mutex_);
  device_ = device;  // the feeder reads it when it makes a buffer
  if (track_) track_->buffer.reset();
  volume_ = 99.0f;
  return 0;
}

std::shared_ptr<CStreamSound::Track> CStreamSound::EndTrackLocked() {
  std::shared_ptr<Track> track = std::move(track_);
  if (track && track->buffer) {
    track->buffer->Stop();
    track->buffer.reset();
  }
  file_open_ = false;
  fading_ = false;
  current_volume_ = static_cast<float>(platform::kVolumeSilent);
  state_ = 0;
  return track;
}

int CStreamSound::Open(std::string_view path) {
  if (state_ == 1) return -1;
  std::shared_ptr<Track> old;
  {
    std::lock_guard lock(mutex_);
    old = std::move(track_);
    file_open_ = false;
  }
  old.reset();  // closes the file open before, unless a feeder still lets go of it

  auto track = std::make_shared<Track>(wake_);
  track->file = platform::fs::Open(path, "rb");
  if (!track->file) return -1;
  if (ov_test_callbacks(track->file.get(), &track->vf, nullptr, 0, kFileCallbacks) < 0) return -1;
  track->decoder_open = true;
  const std::string p(path);
  size_t slash = p.find_last_of('\\');
  name_ = slash == std::string::npos ? p : p.substr(slash + 1);

  vorbis_info* info = ov_info(&track->vf, -1);
  track->channels = info ? info->channels : 2;
  track->rate =
      info ? static_cast<int>(std::clamp<long>(info->rate, 0, platform::kMaxSampleRate + 1))
           : 32000;
  const uint64_t bytes =
      2ull * static_cast<uint64_t>(track->rate) * static_cast<uint64_t>(track->channels) * 2;
  track->buffer_ok = device_ && track->channels >= 1 && bytes <= platform::kMaxBufferBytes &&
                     platform::SoundDevice::Accepts(Format(*track), static_cast<uint32_t>(bytes));
  if (track->buffer_ok) track->buffer_bytes = static_cast<uint32_t>(bytes);
  const int result = track->buffer_ok ? 0 : -2;
  std::lock_guard lock(mutex_);
  track_ = std::move(track);
  file_open_ = true;
  return result;
}

platform::PcmFormat CStreamSound::Format(const Track& track) {
  return platform::PcmFormat{track.channels, track.rate, 16};
}

bool CStreamSound::MakeBufferLocked(Track& track) {
  if (!device_) return false;
  // A new buffer is silent.
  auto buffer = device_->CreateBuffer(Format(track), track.buffer_bytes);
  if (!buffer) return false;
  const platform::Notification positions[] = {
      {0, &track.first_half}, {track.buffer_bytes / 2, &track.second_half}};
  if (!buffer->SetNotificationPositions(positions)) return false;
  track.buffer = std::move(buffer);
  return true;
}

bool CStreamSound::Play(bool loop) {
  {
    std::lock_guard lock(mutex_);
    // Without a buffer (no device, Open's −2) there is nothing a feeder could play into.
    if (fading_ || state_ == 1 || !track_ || !track_->buffer_ok) return false;
    track_->loop = loop;
    fade_level_ = 0.0f;
    current_volume_ = 0.0f;
    state_ = 1;
  }
  if (feeder_.joinable()) {
    wake_.Set();
  } else {
    try {
      feeder_ = std::thread(&CStreamSound::Feeder, this);
    } catch (const std::system_error&) {
      DebugOutput("Create Thread failed.\n");  // the stream counts as playing until Stop
    }
  }
  started_by_play_ = true;
  return true;
}

void CStreamSound::Stop() {
  started_by_play_ = false;
  std::shared_ptr<Track> ended;
  bool was_playing = false;
  {
    std::lock_guard lock(mutex_);
    was_playing = state_ == 1;
    ended = EndTrackLocked();
  }
  // A feeder that holds the track closes its decoder and file when it wakes; let go first, so
  // that is not left to this thread.
  ended.reset();
  if (was_playing) wake_.Set();
}

void CStreamSound::FadeOut(int kind) {
  started_by_play_ = false;
  {
    std::lock_guard lock(mutex_);
    if (fading_) return;
    switch (kind) {
      case 0: fade_step_ = 5, fade_interval_ = 33; break;
      case 1: fade_step_ = 2, fade_interval_ = 33; break;
      case 2: fade_step_ = 1, fade_interval_ = 33; break;
      case 3: fade_step_ = 15, fade_interval_ = 6; break;
      default: break;  // keeps the fade before
    }
    fade_level_ = 0.0f;
    fade_tick_time_ = clock_.Now();
    fading_ = true;
  }
  wake_.Set();
}

void CStreamSound::SetVolume(int percent) {
  percent = std::clamp(percent, 0, 99);
  {
    std::lock_guard lock(mutex_);
    volume_ = static_cast<float>(percent + 1);
  }
  wake_.Set();
}

// Plain while no fade has been applied, else scaled by the fade.
void CStreamSound::ApplyVolumeLocked(platform::SoundBuffer& buffer) {
  if (current_volume_ == 0.0f) {
    buffer.SetVolume(VolumeToMillibels(volume_));
  } else {
    int32_t mb = VolumeToMillibels(volume_, 100.0 - fade_level_);
    current_volume_ = static_cast<float>(mb);
    buffer.SetVolume(mb);
  }
}

bool CStreamSound::Decode(Track& track, Feed& feed, size_t want) {
  std::vector<uint8_t>& staging = feed.staging;
  size_t& pending = feed.pending;
  bool& decoded_since_seek = feed.decoded_since_seek;
  if (!track.decode_ready && track.decoder_open) {
    track.decode_ready = true;
    // A file whose headers read but whose rest does not: vorbisfile has already let go of
    // its state, and the track plays as silence to its end.
    if (ov_test_open(&track.vf) != 0) track.decoder_open = false;
  }
  // The end: the rest up to `want` is silence.
  auto end = [&] {
    if (pending < want) std::memset(staging.data() + pending, 0, want - pending);
    pending = std::max(pending, want);
    return false;
  };
  if (!track.decoder_open) return end();
  int errors = 0;
  while (pending <= want) {
    int bitstream = 0;
    size_t room = std::min<size_t>(4096, staging.size() - pending);
    long got = ov_read(&track.vf, reinterpret_cast<char*>(staging.data() + pending),
                       static_cast<int>(room), 0, 2, 1, &bitstream);
    if (got < 0) {
      if (++errors <= kMaxDecodeErrors) continue;  // a hole or a bad packet: skipped
      got = 0;
    }
    if (got > 0) {
      // A chained file whose later part changes the format cannot go into this buffer; it ends
      // there (a looping stream starts again from the top).
      vorbis_info* info = ov_info(&track.vf, bitstream);
      if (!info || info->channels != track.channels || info->rate != track.rate) got = 0;
    }
    if (got > 0) {
      pending += static_cast<size_t>(got);
      errors = 0;
      decoded_since_seek = true;
      continue;
    }
    // The end of the file. A loop that gave no sound since the last seek would spin for ever.
    if (track.loop && decoded_since_seek && ov_time_seek(&track.vf, 0.0) == 0) {
      decoded_since_seek = false;
      continue;
    }
    return end();
  }
  return true;
}

void CStreamSound::Feeder() {
  Feed feed;
  std::shared_ptr<Track> track;  // the track being fed
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (state_ != 1 || track_ != track || !track->buffer) {
      if (track) {
        // Stopped or ended: its decoder and file go, outside the lock.
        std::shared_ptr<Track> ended = std::move(track);
        lock.unlock();
        ended.reset();
        lock.lock();
      } else if (state_ == 1 && track_ && track_->buffer_ok) {
        // The buffer is made here, under the lock, so a Stop meanwhile finds it and releases
        // it; a buffer that cannot be made ends the track.
        if (!track_->buffer && !MakeBufferLocked(*track_)) {
          std::shared_ptr<Track> ended = EndTrackLocked();
          lock.unlock();
          ended.reset();
          lock.lock();
          continue;
        }
        track = track_;
        feed.Restart(track->buffer_bytes);
      } else {
        lock.unlock();
        wake_.Wait(kIdleWaitMs);
        lock.lock();
      }
      continue;
    }
    uint32_t sleep_ms = 0;
    if (!FeedPass(lock, *track, feed, sleep_ms)) {
      lock.unlock();
      wake_.Wait(sleep_ms);
      lock.lock();
    }
  }
}

bool CStreamSound::FeedPass(std::unique_lock<std::mutex>& lock, Track& track, Feed& feed,
                            uint32_t& sleep_ms) {
  int fill = -1;  // the half to fill this pass
  if (feed.first_fill) {
    fill = 0;
  } else if (track.first_half.Wait(0)) {
    fill = 1;
  } else if (track.second_half.Wait(0)) {
    fill = 0;
  }
  // The half to refill held the end of a file that does not loop and has now been heard.
  if (fill >= 0 && !feed.first_fill && feed.end_reached[fill]) {
    EndTrackLocked();
    return true;
  }

  const uint32_t now = clock_.Now();
  if (fading_ && now - fade_tick_time_ > fade_interval_) {
    current_volume_ = static_cast<float>(VolumeToMillibels(volume_, 100.0 - fade_level_));
    fade_level_ += static_cast<float>(fade_step_);
    track.buffer->SetVolume(static_cast<int32_t>(current_volume_));
    fade_tick_time_ = now;
  }
  if (fading_ && fade_level_ > 99.0f) {
    EndTrackLocked();
    return true;
  }

  if (fill < 0) {
    if (volume_ != feed.last_volume) {
      ApplyVolumeLocked(*track.buffer);
      feed.last_volume = volume_;
    }
    // Until the next fade tick, a notification or a command.
    sleep_ms = fading_ ? fade_tick_time_ + fade_interval_ + 1 - now : kIdleWaitMs;
    return false;
  }

  const size_t half = track.buffer_bytes / 2;
  const bool silence = feed.end_reached[0] || feed.end_reached[1];
  bool more = true;
  if (!silence) {
    lock.unlock();
    more = Decode(track, feed, half);
    lock.lock();
    if (state_ != 1 || track_.get() != &track) return true;  // stopped meanwhile
  }
  platform::SoundBuffer::Region a, b;
  if (!track.buffer->Lock(static_cast<uint32_t>(fill * half), static_cast<uint32_t>(half), a, b))
    return true;  // tried again at the next notification
  if (silence) {
    std::memset(a.data, 0, a.bytes);
  } else {
    if (!more) feed.end_reached[fill] = true;
    std::memcpy(a.data, feed.staging.data(), half);
    feed.pending -= half;
    std::memmove(feed.staging.data(), feed.staging.data() + half, feed.pending);
  }
  track.buffer->Unlock();
  if (feed.first_fill) {
    ApplyVolumeLocked(*track.buffer);
    feed.last_volume = volume_;
    track.buffer->Play(true);
    feed.first_fill = false;
  }
  return true;
}
