// CMoviePlayer: one movie file played into a CMovieTexture, with its sound on the sound device.
// A movie thread of its own demuxes and decodes; the sound's play position is the master clock
// (real time when there is no sound), each picture is converted when its time comes, and a
// picture whose successor is already due is dropped, so picture and sound stay together on a
// slow machine. The end of the movie (every picture shown and every sample played) is reported
// once by PollEnd.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "movie/movie_texture.h"
#include "platform/clock.h"
#include "platform/event.h"
#include "platform/movie_decoder.h"
#include "platform/sound_device.h"

class CMoviePlayer {
 public:
  CMoviePlayer() = default;
  ~CMoviePlayer() { Close(); }
  CMoviePlayer(const CMoviePlayer&) = delete;
  CMoviePlayer& operator=(const CMoviePlayer&) = delete;

  // Opens a game path; `sound` may be null (the movie then keeps the clock's time, silent).
  // Failures are shown in a message box and leave the player without a movie: Run and PollEnd
  // then do nothing. A player already open is closed first.
  movie::Result Open(gfx::Device& device, platform::SoundDevice* sound, std::string_view path,
                     bool with_audio);
  // Value above 99 → level 100, otherwise max(value, 0) + 1; the sound plays at
  // 2000 × ln(level / 100) hundredths of a decibel.
  void SetVolume(int value);
  int Volume() const { return level_; }
  void Run();
  void Stop();
  // −1 once the movie has completed (the player is then stopped), otherwise 0.
  int PollEnd();
  // Stops the movie thread (even mid-frame) and releases the movie, its textures and its sound.
  void Close();

  // The texture to draw this frame (null without a movie).
  gfx::DeviceTexture* Texture() { return renderer_ ? renderer_->Texture() : nullptr; }
  // The movie's length in seconds.
  double StopTime() const { return decoder_ ? decoder_->Streams().duration : 0.0; }
  // Texture-coordinate extents of the picture (1.0 without a movie).
  float U() const { return u_; }
  float V() const { return v_; }
  bool IsOpen() const { return decoder_ != nullptr; }
  bool HasSound() const { return buffer_ != nullptr; }

  // For movies without sound, before Open: the clock that times them (a system clock by default).
  void SetClock(platform::Clock* clock) { clock_ = clock ? clock : &system_clock_; }
  // For a frame loop whose clock leaps rather than runs (a headless game): waits, at most
  // `timeout_ms`, until the movie thread has caught up with the clock as it stands now: every
  // picture that is due shown or dropped, the sound written ahead and the end noticed if it has
  // come. True when it has (or when there is no thread).
  bool CatchUp(uint32_t timeout_ms);
  // For tests and tools: the movie's clock (seconds), the time of the picture drawn last, the
  // pictures shown and dropped, the sound buffer.
  double ClockSeconds() const { return clock_seconds_.load(); }
  double DrawnPts() const { return renderer_ ? renderer_->TexturePts() : -1.0; }
  int64_t FramesShown() const { return renderer_ ? renderer_->FramesRendered() : 0; }
  int64_t FramesDropped() const { return dropped_.load(); }
  const platform::SoundBuffer* SoundBuffer() const { return buffer_.get(); }
  const CMovieTexture* Renderer() const { return renderer_.get(); }

 private:
  struct Picture {
    std::vector<uint8_t> bits;
    double pts = 0;
  };

  void Thread();
  void Caught(uint64_t asked);
  double ClockNow();
  void FillSound();
  bool Decode();
  bool SoundShort() const;
  void Start(uint32_t run_time);  // the clock and the sound running

  gfx::Device* device_ = nullptr;
  std::unique_ptr<platform::MovieDecoder> decoder_;
  std::unique_ptr<CMovieTexture> renderer_;
  std::unique_ptr<platform::SoundBuffer> buffer_;
  float u_ = 1.0f, v_ = 1.0f;
  int level_ = 100;

  platform::SystemClock system_clock_;
  platform::Clock* clock_ = &system_clock_;
  std::thread thread_;
  platform::Event wake_{platform::EventKind::AutoReset};
  std::atomic<bool> running_{false}, quit_{false}, finished_{false}, complete_{false};
  // The thread has decoded what the start needs; a Run before that waits in run_pending_. Run,
  // Stop and the thread's start of a waiting Run take run_mutex_ (before clock_mutex_).
  std::mutex run_mutex_;
  bool primed_ = false, run_pending_ = false;
  uint32_t run_asked_at_ = 0;
  std::atomic<double> clock_seconds_{0};
  std::atomic<int64_t> dropped_{0};

  // The movie thread's own.
  std::deque<Picture> pictures_;
  std::vector<std::vector<uint8_t>> spare_;
  std::vector<int16_t> pcm_;
  size_t pcm_read_ = 0;  // samples of pcm_ already written to the buffer
  bool ended_ = false;  // the decoder has nothing more
  double pcm_pts_ = 0;  // the time of the sample at pcm_read_
  double last_pts_ = 0;
  double frame_step_ = 0.04;  // the time of the first sample
  int64_t written_ = 0, played_ = 0, sound_end_ = -1;  // frames
  uint32_t last_cursor_ = 0;
  int ring_frames_ = 0, channels_ = 0, rate_ = 0;

  // CatchUp's requests, and the last one the movie thread has answered.
  std::atomic<uint64_t> catch_up_asked_{0};
  std::mutex catch_up_mutex_;
  std::condition_variable catch_up_done_;
  uint64_t caught_up_ = 0;  // under catch_up_mutex_

  // The clock of a movie without sound, set by Run and Stop.
  std::mutex clock_mutex_;
  bool clock_running_ = false;
  double clock_base_ = 0;
  uint32_t run_started_ = 0;
};
