// CStreamSound: one Ogg Vorbis file decoded while it plays, through a two-second buffer that a
// feeder thread refills half by half when the play cursor passes the start of a half. It loops,
// stops, fades out and follows volume changes while it plays.
//
// The feeder is started by the first Play and lives as long as the stream, sleeping on one event
// that the buffer's notifications, the caller's commands and the fade's next tick wake. The
// caller never waits for it: Play hands the opened track over, Stop takes it back and silences
// it at once; what the feeder still holds of a stopped track (its decoder and file) it lets go
// by itself.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/sound_device.h"

class CStreamSound {
 public:
  CStreamSound();
  ~CStreamSound();
  CStreamSound(const CStreamSound&) = delete;
  CStreamSound& operator=(const CStreamSound&) = delete;

  // −1 for a null device (nothing changes); else 0, volume 99.
  int SetDevice(platform::SoundDevice* device);
  // 0 done; −1 while the stream plays, or the file is missing or not Ogg Vorbis; −2 when the
  // buffer cannot be made (no device, a format the device does not play). It reads only the
  // file's headers: the feeder finishes opening the decoder and makes the buffer, so a voice
  // or a track starts without the frame paying for either.
  int Open(std::string_view path);
  // False while a fade is pending, while the stream plays, or with no file open. The feeder
  // makes the first fill and starts the buffer.
  bool Play(bool loop);
  // Silences a playing stream at once and closes its file.
  void Stop();
  // Kind 0-3: steps 5, 2, 1, 15 every 33, 33, 33, 6 ms. Also on an idle stream, where it stays
  // pending (Play refuses) until Stop.
  void FadeOut(int kind);
  // Between Play and the end (Stop, a fade played out, or a file that does not loop played out).
  bool IsPlaying() const { return state_.load() == 1; }
  // 0-99 → volume 1-100; a playing stream takes it at once.
  void SetVolume(int percent);
  std::string FileName() const { return file_open_ ? name_ : std::string(); }
  bool StartedByPlay() const { return started_by_play_; }

 private:
  struct Track;
  struct Feed;
  void Feeder();
  // One pass of the feeder over its track, with mutex_ held; false when it is to sleep until
  // `sleep_ms` (or a wake-up).
  bool FeedPass(std::unique_lock<std::mutex>& lock, Track& track, Feed& feed, uint32_t& sleep_ms);
  // The buffer of an opened track, with its two notification positions (mutex_ held).
  bool MakeBufferLocked(Track& track);
  static platform::PcmFormat Format(const Track& track);
  // Ends the open track under mutex_: its buffer stopped and released, state idle. Returns the
  // track, for the caller to let go of outside the lock.
  std::shared_ptr<Track> EndTrackLocked();
  // Decodes into the staging block until it holds more than `want` bytes; false at the end of a
  // file that does not loop, the rest up to `want` padded with silence.
  static bool Decode(Track& track, Feed& feed, size_t want);
  // The buffer volume for the volume and the fade level (mutex_ held).
  void ApplyVolumeLocked(platform::SoundBuffer& buffer);

  platform::SoundDevice* device_ = nullptr;
  std::string name_;  // written by the caller only
  bool started_by_play_ = false;
  platform::SystemClock clock_;

  // Set by the caller's commands and by the notifications of the playing track's buffer.
  platform::Event wake_{platform::EventKind::AutoReset};

  // Everything below is shared with the feeder and guarded by mutex_. The feeder takes the lock
  // for its decisions and its buffer writes, never while it decodes or sleeps.
  mutable std::mutex mutex_;
  std::shared_ptr<Track> track_;  // the open file, its decoder and buffer
  std::atomic<int> state_{0};  // 0 idle, 1 playing; written under mutex_
  std::atomic<bool> file_open_{false};  // written under mutex_
  bool quit_ = false;
  float volume_ = 100.0f;
  bool fading_ = false;
  float fade_level_ = 0.0f;
  int fade_step_ = 5;
  uint32_t fade_interval_ = 33;
  uint32_t fade_tick_time_ = 0;
  float current_volume_ = 0.0f;  // 0: no fade applied; −10000 once stopped
  std::thread feeder_;  // started by the first Play
};
