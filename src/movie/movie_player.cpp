// CMoviePlayer: opening with its messages, the movie thread, the sound clock and the end.
#include "movie/movie_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "audio/sound.h"
#include "movie/movie_error.h"

using namespace movie;

namespace {

constexpr size_t kPictures = 3;  // decoded pictures waiting for their time
constexpr size_t kMostPictures = 32;  // more while the sound lags behind in the file
constexpr uint32_t kDecodeBudgetMs = 2000;  // a read or decode that takes longer ends the movie

}  // namespace

Result CMoviePlayer::Open(gfx::Device& device, platform::SoundDevice* sound,
                          std::string_view path, bool with_audio) {
  Close();
  device_ = &device;
  renderer_ = std::make_unique<CMovieTexture>(device);
  platform::MessageBoxes* boxes = device.MessageBoxes();

  platform::MovieLimits limits;
  limits.max_dimension = 16384;  // larger pictures are refused by the texture, with its message
  limits.call_budget_ms = kDecodeBudgetMs;
  platform::MovieOpenResult opened;
  auto decoder = platform::MovieDecoder::Open(path, with_audio, limits, &opened);
  Result hr = kOk;
  switch (opened) {
    case platform::MovieOpenResult::Ok: break;
    case platform::MovieOpenResult::NotFound:
      ShowError(boxes,
                "Could not add source filter to graph!  (hr==VFW_E_NOT_FOUND)\r\n\r\n"
                "This sample reads a media file from the DirectX SDK's media path.\r\n"
                "Please install the DirectX 9 SDK on this machine.");
      hr = kNotFound;
      break;
    case platform::MovieOpenResult::Unreadable:
      hr = kUnknownFileType;
      ShowError(boxes, "Could not add source filter to graph!  hr=0x%x", hr);
      break;
    case platform::MovieOpenResult::NoVideo:
    case platform::MovieOpenResult::TooLarge:
      hr = kCannotRender;
      if (with_audio) ShowError(boxes, "Could not render source output pin!  hr=0x%x", hr);
      else ShowError(boxes, "Could not connect pins!  hr=0x%x", hr);
      break;
  }
  if (hr != kOk) {
    renderer_.reset();
    return hr;
  }
  const platform::MovieStreams& st = decoder->Streams();
  MediaType type;
  type.width = st.width;
  type.height = st.height;  // positive: bottom-up rows
  if (renderer_->CheckMediaType(&type) != kOk) {
    hr = kTypeNotAccepted;
    ShowError(boxes, "Could not render source output pin!  hr=0x%x", hr);
    renderer_.reset();
    return hr;
  }
  hr = renderer_->SetMediaType(type);  // shows its own failures
  if (hr != kOk) {
    renderer_.reset();
    return hr;
  }
  decoder_ = std::move(decoder);
  frame_step_ = st.frame_rate > 0 ? 1.0 / st.frame_rate : 0.04;
  const gfx::DeviceTexture* t = renderer_->Texture();
  u_ = static_cast<float>(st.width) / t->Width();
  v_ = static_cast<float>(st.height) / t->Height();

  if (st.has_audio && sound) {
    platform::PcmFormat format{st.audio_channels, st.audio_rate, 16};
    const uint32_t bytes = static_cast<uint32_t>(st.audio_rate) * format.BlockAlign();
    buffer_ = sound->CreateBuffer(format, bytes);
    if (buffer_) {
      // No notifications: while the movie runs its thread reads the play position every few
      // milliseconds and writes what it has. The sound of a file may lie later in it than the
      // pictures the thread holds, so a notification could come when there is nothing to write,
      // and a device that waits for its feeders to answer one (the null device) would stall.
      buffer_->SetVolume(VolumeToMillibels(level_));
      channels_ = st.audio_channels;
      rate_ = st.audio_rate;
      ring_frames_ = st.audio_rate;
    }
  }
  // The first picture before the thread starts, so it is there at once. The thread decodes on
  // ahead (the first second of sound, and up to kMostPictures pictures while the sound lies later
  // in the file); Run before that is done starts the sound when it is, so the sound does not
  // begin with a gap and the frame that opens the movie does not decode for it.
  while (!ended_ && pictures_.empty()) Decode();
  FillSound();
  ClockNow();
  if (!pictures_.empty()) {
    Sample s{pictures_.front().bits.data(), pictures_.front().bits.size(), pictures_.front().pts};
    renderer_->DoRenderSample(&s);
    spare_.push_back(std::move(pictures_.front().bits));
    pictures_.pop_front();
  }
  thread_ = std::thread(&CMoviePlayer::Thread, this);
  return kOk;
}

void CMoviePlayer::SetVolume(int value) {
  level_ = value > 99 ? 100 : std::max(value, 0) + 1;
  if (buffer_) buffer_->SetVolume(VolumeToMillibels(level_));
}

void CMoviePlayer::Run() {
  if (!decoder_) return;
  if (finished_.load()) {
    complete_ = true;  // a movie at its end completes again at once
    return;
  }
  std::lock_guard lock(run_mutex_);
  const uint32_t now = clock_->Now();
  if (!primed_) {
    run_pending_ = true;  // the thread starts it once the sound is ready
    run_asked_at_ = now;
    wake_.Set();
    return;
  }
  Start(now);
}

// A clock without sound counts from the Run that asked for the start.
void CMoviePlayer::Start(uint32_t run_time) {
  {
    std::lock_guard lock(clock_mutex_);
    if (!clock_running_) run_started_ = run_time;
    clock_running_ = true;
  }
  running_ = true;
  if (buffer_) buffer_->Play(true);
  wake_.Set();
}

void CMoviePlayer::Stop() {
  if (!decoder_) return;
  std::lock_guard run_lock(run_mutex_);
  run_pending_ = false;
  {
    std::lock_guard lock(clock_mutex_);
    if (clock_running_) clock_base_ += (clock_->Now() - run_started_) / 1000.0;
    clock_running_ = false;
  }
  running_ = false;
  if (buffer_) buffer_->Stop();
  wake_.Set();
}

int CMoviePlayer::PollEnd() {
  if (!decoder_) return 0;
  if (!complete_.exchange(false)) return 0;
  Stop();
  return -1;
}

bool CMoviePlayer::CatchUp(uint32_t timeout_ms) {
  if (!thread_.joinable()) return true;
  const uint64_t asked = catch_up_asked_.fetch_add(1) + 1;
  wake_.Set();
  std::unique_lock lock(catch_up_mutex_);
  return catch_up_done_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                                 [&] { return caught_up_ >= asked; });
}

void CMoviePlayer::Caught(uint64_t asked) {
  {
    std::lock_guard lock(catch_up_mutex_);
    caught_up_ = asked;
  }
  catch_up_done_.notify_all();
}

void CMoviePlayer::Close() {
  if (thread_.joinable()) {
    quit_ = true;
    decoder_->Abort();
    wake_.Set();
    thread_.join();
  }
  if (buffer_) buffer_->Stop();
  decoder_.reset();
  buffer_.reset();
  renderer_.reset();
  device_ = nullptr;
  u_ = v_ = 1.0f;
  pictures_.clear();
  spare_.clear();
  pcm_.clear();
  pcm_read_ = 0;
  ended_ = clock_running_ = false;
  pcm_pts_ = clock_base_ = last_pts_ = 0;
  written_ = played_ = 0;
  sound_end_ = -1;
  last_cursor_ = 0;
  ring_frames_ = channels_ = rate_ = 0;
  run_started_ = 0;
  running_ = quit_ = finished_ = complete_ = false;
  primed_ = run_pending_ = false;
  catch_up_asked_ = 0;
  caught_up_ = 0;
  clock_seconds_ = 0;
  dropped_ = 0;
}

// --- the movie thread

bool CMoviePlayer::SoundShort() const {
  if (!buffer_) return false;
  const int64_t queued = static_cast<int64_t>(pcm_.size() - pcm_read_) / channels_;
  return queued + (written_ - played_) < ring_frames_ / 2;
}

double CMoviePlayer::ClockNow() {
  double now;
  if (buffer_) {
    const uint32_t block = static_cast<uint32_t>(channels_ * 2);
    const uint32_t cursor = buffer_->CurrentPosition() / block;
    played_ += (cursor + ring_frames_ - last_cursor_) % ring_frames_;
    last_cursor_ = cursor;
    now = double(played_) / rate_;
  } else {
    std::lock_guard lock(clock_mutex_);
    now = clock_base_ + (clock_running_ ? (clock_->Now() - run_started_) / 1000.0 : 0.0);
  }
  clock_seconds_ = now;
  return now;
}

bool CMoviePlayer::Decode() {
  if (ended_) return false;
  switch (decoder_->Next()) {
    case platform::MovieDecoder::Output::Video: {
      const platform::MovieSample& s = decoder_->Sample();
      if (!s.bits) return true;
      Picture p;
      if (!spare_.empty()) {
        p.bits = std::move(spare_.back());
        spare_.pop_back();
      }
      const double pts = s.pts;
      decoder_->TakeSampleBits(p.bits);  // the picture's bytes, without a copy
      // Times that run backwards or leap ahead (damaged files) are held to the last picture's
      // and at most a second past it, so no picture waits for a time that never comes.
      p.pts = pts >= last_pts_ ? std::min(pts, last_pts_ + 1.0) : last_pts_;
      last_pts_ = p.pts;
      pictures_.push_back(std::move(p));
      return true;
    }
    case platform::MovieDecoder::Output::Audio: {
      const platform::MovieAudio& a = decoder_->Audio();
      if (!buffer_) return true;
      if (pcm_read_ == pcm_.size()) {
        // The queue starts again at this piece's time (held within a second of the timeline's
        // end, so a damaged time neither stalls nor skips the sound).
        const double end = double(written_) / rate_;
        pcm_pts_ = a.pts >= end - 1.0 ? std::min(a.pts, end + 1.0) : end;
      }
      if (pcm_read_ > 0 && pcm_read_ * 2 > pcm_.size()) {
        pcm_.erase(pcm_.begin(), pcm_.begin() + static_cast<ptrdiff_t>(pcm_read_));
        pcm_read_ = 0;
      }
      pcm_.insert(pcm_.end(), a.samples, a.samples + static_cast<size_t>(a.frames) * channels_);
      return true;
    }
    case platform::MovieDecoder::Output::End: ended_ = true; return false;
  }
  return false;
}

// The buffer's frames are the movie's timeline: frame k plays at k / rate seconds. Decoded sound
// is written where its time says: sound that comes late (after a gap was filled with silence) is
// cut by the time it is late, and a gap in the sound is filled with silence, so the play position
// always tells the movie's time.
void CMoviePlayer::FillSound() {
  if (!buffer_) return;
  const uint32_t block = static_cast<uint32_t>(channels_ * 2);
  int64_t queued = static_cast<int64_t>(pcm_.size() - pcm_read_) / channels_;
  if (queued > 0) {
    const int64_t at = static_cast<int64_t>(std::llround(pcm_pts_ * rate_));
    if (at < written_) {
      const int64_t late = std::min(written_ - at, queued);
      pcm_read_ += static_cast<size_t>(late) * channels_;
      pcm_pts_ += double(late) / rate_;
      queued -= late;
    }
  }
  if (ended_ && queued == 0 && sound_end_ < 0) sound_end_ = written_;
  const int64_t free_frames = ring_frames_ - (written_ - played_);
  if (free_frames <= 0) return;
  const int64_t pending = written_ - played_;
  int64_t n = 0;
  bool silence = false;
  if (queued > 0) {
    const int64_t gap = static_cast<int64_t>(std::llround(pcm_pts_ * rate_)) - written_;
    if (gap > rate_ / 50) {  // more than 20 ms missing
      n = std::min(free_frames, gap);
      silence = true;
    } else {
      n = std::min(free_frames, queued);
    }
  } else if (ended_) {
    n = free_frames;  // after the end: silence
    silence = true;
  } else if (running_.load() && pending < ring_frames_ / 8) {
    // The decoder is behind: silence rather than what the buffer played a second ago.
    n = ring_frames_ / 8 - pending;
    silence = true;
  }
  if (n <= 0) return;
  const uint32_t offset = static_cast<uint32_t>(written_ % ring_frames_) * block;
  platform::SoundBuffer::Region a, b;
  if (!buffer_->Lock(offset, static_cast<uint32_t>(n) * block, a, b)) return;
  if (silence) {
    std::memset(a.data, 0, a.bytes);
    if (b.data) std::memset(b.data, 0, b.bytes);
  } else {
    const uint8_t* src = reinterpret_cast<const uint8_t*>(pcm_.data() + pcm_read_);
    std::memcpy(a.data, src, a.bytes);
    if (b.data) std::memcpy(b.data, src + a.bytes, b.bytes);
    pcm_read_ += static_cast<size_t>(n) * channels_;
    pcm_pts_ += double(n) / rate_;
  }
  buffer_->Unlock();
  written_ += n;
}

void CMoviePlayer::Thread() {
  // A thread that has ended answers every request to catch up.
  struct Done {
    CMoviePlayer& p;
    ~Done() { p.Caught(UINT64_MAX); }
  } done{*this};
  uint64_t answered = 0;
  while (!quit_.load()) {
    // Read before the clock: an answer covers only the clock read after the request.
    const uint64_t asked = catch_up_asked_.load();
    const bool running = running_.load();
    const double now = ClockNow();
    FillSound();
    // Late pictures go: one whose successor is due (or would be, for a decoder that is behind)
    // is dropped; the movie's last picture is always shown.
    while (!pictures_.empty() &&
           (pictures_.size() >= 2 ? pictures_[1].pts <= now
                                  : !ended_ && pictures_[0].pts + frame_step_ <= now)) {
      spare_.push_back(std::move(pictures_.front().bits));
      pictures_.pop_front();
      dropped_.fetch_add(1, std::memory_order_relaxed);
    }
    if (!pictures_.empty() && pictures_.front().pts <= now) {
      Picture& p = pictures_.front();
      Sample s{p.bits.data(), p.bits.size(), p.pts};
      renderer_->DoRenderSample(&s);
      spare_.push_back(std::move(p.bits));
      pictures_.pop_front();
    }
    // Ready to run: the first second of sound is there (or the pictures' limit or the end came
    // first). A Run that came before starts now.
    if (!primed_ && (ended_ || pictures_.size() + 1 >= kMostPictures || !SoundShort())) {
      std::lock_guard lock(run_mutex_);
      primed_ = true;
      if (run_pending_) {
        run_pending_ = false;
        Start(run_asked_at_);
        continue;
      }
    }
    // Decode ahead: a few pictures, and half a second of sound (further pictures, up to a limit,
    // when the sound lies later in the file).
    const size_t queued = buffer_ ? (pcm_.size() - pcm_read_) / channels_ : 0;
    const bool sound_capped = buffer_ && queued >= static_cast<size_t>(ring_frames_) * 30;
    if (!ended_ && !sound_capped &&
        (pictures_.size() < kPictures || (SoundShort() && pictures_.size() < kMostPictures))) {
      Decode();
      continue;
    }
    const bool sound_done = !buffer_ || (sound_end_ >= 0 && played_ >= sound_end_);
    if (ended_ && pictures_.empty() && sound_done) {
      if (buffer_) buffer_->Stop();
      running_ = false;
      finished_ = true;
      complete_ = true;
      return;
    }
    // Wait for the next picture's time (a few milliseconds at most while running), or for Run,
    // Stop, Close and CatchUp.
    uint32_t wait = 50;
    if (running) {
      wait = 5;
      if (!pictures_.empty()) {
        double ms = (pictures_.front().pts - now) * 1000.0;
        wait = static_cast<uint32_t>(std::clamp(ms, 1.0, 5.0));
      }
    }
    // Nothing is due and nothing needs decoding: caught up with the clock read above.
    if (asked > answered) Caught(answered = asked);
    wake_.Wait(wait);
  }
}
