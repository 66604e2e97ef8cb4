// Stands in for the game's sound device: secondary buffers of 8- or 16-bit PCM (mono or stereo,
// any rate) with a play cursor, played once or looping, a volume in hundredths of a decibel,
// lockable regions and notification positions that signal events as the cursor passes them.
// Every playing buffer is resampled to the device rate and mixed in software, into the SDL audio
// callback (SdlSoundOutput) or into the caller's array (NullSoundDevice, which a test pulls frames
// from to hear exactly what the player would). Buffers are never lost. All buffer state is behind
// the mixer's one mutex; the mix itself never allocates.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/event.h"

namespace platform {

struct PcmFormat {
  int channels = 2;  // 1 or 2
  int samples_per_sec = 44100;  // kMinSampleRate … kMaxSampleRate
  int bits_per_sample = 16;  // 8 (unsigned) or 16 (signed little-endian)
  int BlockAlign() const { return channels * (bits_per_sample / 8); }
};

inline constexpr int kMinSampleRate = 100;
inline constexpr int kMaxSampleRate = 200000;
inline constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;
inline constexpr int32_t kVolumeSilent = -10000;  // hundredths of a decibel
inline constexpr int32_t kVolumeFull = 0;

// The linear gain of a volume: 10^(mB / 2000), and exactly 0 at kVolumeSilent.
float VolumeGain(int32_t millibels);

// An event signalled when the play cursor reaches `offset` (a byte offset into the buffer). The
// event must outlive the buffer.
struct Notification {
  uint32_t offset = 0;
  Event* event = nullptr;
};

namespace detail {
struct Mixer;
struct Voice;
}  // namespace detail

class SoundBuffer {
 public:
  ~SoundBuffer();
  SoundBuffer(const SoundBuffer&) = delete;
  SoundBuffer& operator=(const SoundBuffer&) = delete;

  const PcmFormat& Format() const;
  uint32_t Size() const;

  // A locked region: up to two pieces, the second when the region wraps past the buffer's end.
  struct Region {
    uint8_t* data = nullptr;
    uint32_t bytes = 0;
  };
  // Hands out bytes [offset, offset + bytes) holding the buffer's current contents. They are a
  // copy: what is written reaches the buffer at Unlock, so a writer never races the mix. One lock
  // at a time; false for a region outside the buffer.
  bool Lock(uint32_t offset, uint32_t bytes, Region& first, Region& second);
  bool Unlock();

  // Starts at the play cursor; on a playing buffer only the looping choice changes. A buffer that
  // is not looping stops by itself at its end.
  bool Play(bool looping);
  void Stop();
  bool IsPlaying() const;
  // The play cursor, in bytes.
  uint32_t CurrentPosition() const;
  bool SetCurrentPosition(uint32_t offset);
  // Clamped to kVolumeSilent … kVolumeFull.
  void SetVolume(int32_t millibels);
  int32_t Volume() const;
  // The last volumes set (up to 64), oldest first: what a listener hears change over time.
  std::vector<int32_t> VolumeHistory() const;
  // Only while stopped; every offset inside the buffer.
  bool SetNotificationPositions(std::span<const Notification> positions);

 private:
  friend class SoundDevice;
  SoundBuffer(std::shared_ptr<detail::Mixer> mixer, std::unique_ptr<detail::Voice> voice);
  std::shared_ptr<detail::Mixer> mixer_;
  std::unique_ptr<detail::Voice> voice_;
};

class SoundDevice {
 public:
  virtual ~SoundDevice();
  SoundDevice(const SoundDevice&) = delete;
  SoundDevice& operator=(const SoundDevice&) = delete;

  // Null for a format the device does not play or a size that is not a whole number of frames
  // (from one frame to kMaxBufferBytes). The buffer starts stopped at 0, silent bytes, volume 0.
  std::unique_ptr<SoundBuffer> CreateBuffer(const PcmFormat& format, uint32_t bytes);
  // Whether CreateBuffer takes this format and size (it can then fail only for want of memory).
  static bool Accepts(const PcmFormat& format, uint32_t bytes);
  // Output frames per second (stereo).
  int Rate() const;

 protected:
  explicit SoundDevice(int rate);
  void SetRate(int rate);  // before any buffer exists
  // Mixes the next `frames` frames into out (interleaved stereo, −1 … 1). With wait_for_refills,
  // each block first waits (until the deadline) for the owners of buffers whose notifications
  // fired to have refilled them.
  void Mix(float* out, int frames, bool wait_for_refills, uint32_t wait_ms);
  std::shared_ptr<detail::Mixer> mixer_;
};

// A device with no output: a test pulls the mix. It behaves like a machine on which every feeder
// keeps up: before each block it waits until buffers whose notifications fired have been written
// (Unlock) or stopped, for at most refill_wait_ms per Render.
class NullSoundDevice final : public SoundDevice {
 public:
  explicit NullSoundDevice(int rate = 48000) : SoundDevice(rate) {}
  void Render(float* out, int frames);
  std::vector<float> Render(int frames);
  int64_t FramesRendered() const;
  int PlayingBuffers() const;
  int Buffers() const;
  uint32_t refill_wait_ms = 2000;

 private:
  int64_t rendered_ = 0;  // only the rendering thread touches it
};

// The machine's sound output: opens the device the game plays through.
class SoundOutput {
 public:
  virtual ~SoundOutput() = default;
  // Null when there is no sound device: the game then runs silent.
  virtual std::unique_ptr<SoundDevice> Open() = 0;
};

// The default output device through SDL: 48 kHz stereo asked for, about 11 ms per callback.
class SdlSoundOutput final : public SoundOutput {
 public:
  std::unique_ptr<SoundDevice> Open() override;
};

// Null devices for the headless game. `available` false stands for a machine without sound.
class NullSoundOutput final : public SoundOutput {
 public:
  std::unique_ptr<SoundDevice> Open() override;
  // The device opened last (owned by whoever opened it), or null.
  NullSoundDevice* Device() const { return last_; }
  bool available = true;
  int rate = 48000;

 private:
  NullSoundDevice* last_ = nullptr;
};

}  // namespace platform
