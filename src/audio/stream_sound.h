// CStreamSound: one Ogg Vorbis file decoded while it plays, through a two-second buffer that a
// feeder thread refills half by half when the play cursor passes the start of a half. It loops,
// stops, fades out and follows volume changes while it plays.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/fs.h"
#include "platform/sound_device.h"

class CStreamSound {
 public:
  CStreamSound();
  ~CStreamSound();
  CStreamSound(const CStreamSound&) = delete;
  CStreamSound& operator=(const CStreamSound&) = delete;

  // −1 for a null device (nothing changes); else 0, volume 99.
  int SetDevice(platform::SoundDevice* device);
  // 0 done; −1 while a feeder runs with a file, or the file is missing or not Ogg Vorbis; −2 when
  // the buffer cannot be made (no device, a format the device does not play).
  int Open(std::string_view path);
  // False while a fade is pending, while a feeder runs, or with no file open.
  bool Play(bool loop);
  // Ends a playing stream within one feeder pass; an idle one closes its file.
  void Stop();
  // Kind 0-3: steps 5, 2, 1, 15 every 33, 33, 33, 6 ms. Also on an idle stream, where it stays
  // pending (Play refuses) until Stop.
  void FadeOut(int kind);
  // A feeder runs; false by itself after a file that does not loop has been played out.
  bool IsPlaying() const { return state_.load() == 1; }
  // 0-99 → volume 1-100; a running feeder applies it within a pass.
  void SetVolume(int percent);
  std::string FileName() const { return file_open_ ? name_ : std::string(); }
  bool StartedByPlay() const { return started_by_play_; }

 private:
  struct Decoder;
  void Feeder();
  void CloseFile();
  void ReleaseBuffer();
  void JoinFinishedFeeder();
  // Decodes into the staging block until it holds more than `want` bytes; false at the end of a
  // file that does not loop, the rest up to `want` padded with silence.
  bool Decode(std::vector<uint8_t>& staging, size_t& pending, size_t want,
              bool& decoded_since_seek);
  // The buffer volume for the volume and the fade level.
  int32_t FadedMillibels() const;
  void ApplyVolume();
  void EndThread(bool signal_ended);

  platform::SoundDevice* device_ = nullptr;
  platform::fs::File file_;
  std::unique_ptr<Decoder> decoder_;
  std::atomic<bool> file_open_{false};
  int channels_ = 2;
  int rate_ = 32000;
  uint32_t buffer_bytes_ = 0;
  std::unique_ptr<platform::SoundBuffer> buffer_;
  platform::Event first_half_event_{platform::EventKind::AutoReset};
  platform::Event second_half_event_{platform::EventKind::AutoReset};
  platform::Event thread_started_{platform::EventKind::ManualReset};
  platform::Event thread_ended_{platform::EventKind::ManualReset};
  std::string path_;
  std::string name_;

  // Shared with the feeder. While it runs it owns the file, the decoder and the buffer.
  std::atomic<int> state_{0};  // 0 idle, 1 playing
  bool loop_ = false;  // written before the feeder starts
  bool started_by_play_ = false;
  std::atomic<float> volume_{100.0f};
  std::atomic<bool> fading_{false};
  std::atomic<float> fade_level_{0.0f};
  std::atomic<int> fade_step_{5};
  std::atomic<uint32_t> fade_interval_{33};
  std::atomic<uint32_t> fade_tick_time_{0};
  std::atomic<uint32_t> pass_time_{0};
  std::atomic<float> current_volume_{0.0f};  // 0: no fade applied; −10000 once stopped
  std::thread feeder_;
  platform::SystemClock clock_;
};
