// Audio library: the sound device (CSound), sound effects (CSoundBuffer, this file), streamed
// music and voice (CStreamSound) and the voice step (VoiceStep). It may use the
// platform and resource libraries; it knows nothing of CADV.
//
// Every volume here is a percentage 1-100 and reaches the device as 2000 × ln(percent / 100)
// hundredths of a decibel, cut to the device's −10000 floor.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "audio/wave_file.h"
#include "platform/clock.h"
#include "platform/sound_device.h"

// 2000 × ln(percent / 100 × level / 100), toward zero; −10000 at and below the floor.
int32_t VolumeToMillibels(double percent, double level = 100.0);

// The sound device every sound object of the game is made on.
class CSound {
 public:
  // Releases a device opened before, then opens the output's device; false when there is none.
  bool Create(platform::SoundOutput& output);
  platform::SoundDevice* Device() const { return device_.get(); }

 private:
  std::unique_ptr<platform::SoundDevice> device_;
};

// One sound effect: a WAV file loaded whole into one buffer, played once or looped. Its fades run
// on a thread of its own, started by the first FadeOut and kept for the object's life; it sleeps
// until the next tick or a new fade, and Stop never waits for it.
class CSoundBuffer {
 public:
  CSoundBuffer() = default;
  ~CSoundBuffer();
  CSoundBuffer(const CSoundBuffer&) = delete;
  CSoundBuffer& operator=(const CSoundBuffer&) = delete;

  // Called once at start-up; a sound still playing is stopped first.
  void SetDevice(platform::SoundDevice* device) {
    Stop();
    device_ = device;
  }
  bool Load(std::string_view path);
  bool Play(bool loop);
  bool Stop();
  // Loaded and played; stays true after a sound that was not looped has ended, until Stop, Play
  // or the end of a fade.
  bool IsPlaying() const { return loaded_ && playing_.load(); }
  // 0-99 → volume 1-100 (0 is nearly silent, −9210, not silence).
  void SetVolume(int percent);
  // The script's level 0-100 on top of the volume, until the next Play; a FadeOut continues
  // from it.
  void SetLevel(int level);
  // Kind 0, 1, 2: level steps of 8, 3, 1 every 32 ms (about 0.5 s, 1.2 s, 3.5 s). False when not
  // playing; a fade already running goes on unchanged.
  bool FadeOut(int kind);
  std::string FileName() const { return loaded_ ? file_name_ : std::string(); }
  bool Looping() const { return loop_; }

  // The device buffer of the loaded sound (null before a load), to listen to.
  const platform::SoundBuffer* DeviceBuffer() const { return buffer_.get(); }

 private:
  void FadeThread();

  // The caller's alone.
  platform::SoundDevice* device_ = nullptr;
  WaveFormat format_{};
  std::vector<uint8_t> pcm_;
  std::string file_name_;
  bool loaded_ = false;
  bool loop_ = false;
  platform::SystemClock clock_;  // the audio threads keep real time, whatever the game's clock

  // Shared with the fade thread, guarded by mutex_; the buffer is replaced only under it.
  std::mutex mutex_;
  std::condition_variable wake_;
  std::unique_ptr<platform::SoundBuffer> buffer_;
  float volume_ = 100.0f;
  std::atomic<bool> playing_{false};  // written under mutex_
  bool fading_ = false;
  float fade_level_ = 0.0f;
  int fade_step_ = 8;  // a first FadeOut of an unknown kind fades like kind 0
  uint32_t fade_tick_time_ = 0;
  float current_volume_ = 0.0f;
  bool quit_ = false;
  std::thread fade_thread_;  // started by the first FadeOut
};
