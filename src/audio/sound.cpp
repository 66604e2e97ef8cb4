// The sound device and the sound effects: loading a WAV file into a buffer, playing, stopping,
// volumes and the fade thread.
#include "audio/sound.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/fs.h"

namespace {

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The largest sound-effect file read: the largest buffer a device makes, and room for the
// headers and chunks around its PCM. A larger file is refused before it is read.
constexpr long kMaxWaveFileBytes = long{platform::kMaxBufferBytes} + (1 << 20);

// Up to ten tries each for the size and for the bytes, as a file on a slow medium may need.
bool ReadWholeFile(std::string_view path, std::vector<uint8_t>& bytes) {
  platform::fs::File f = platform::fs::Open(path, "rb");
  if (!f) return false;
  long size = 0;
  for (int i = 0; i < 10 && size <= 0; ++i) {
    if (std::fseek(f.get(), 0, SEEK_END) != 0) continue;
    size = std::ftell(f.get());
    std::fseek(f.get(), 0, SEEK_SET);
  }
  if (size <= 0 || size > kMaxWaveFileBytes) return false;
  bytes.assign(static_cast<size_t>(size), 0);
  for (int i = 0; i < 10; ++i) {
    std::fseek(f.get(), 0, SEEK_SET);
    if (std::fread(bytes.data(), 1, bytes.size(), f.get()) == bytes.size()) return true;
  }
  bytes.clear();
  return false;
}

}  // namespace

int32_t VolumeToMillibels(double percent, double level) {
  double x = percent / 100.0 * level / 100.0;
  if (!(x > 0.0)) return platform::kVolumeSilent;
  double mb = 2000.0 * std::log(x);
  if (mb <= platform::kVolumeSilent) return platform::kVolumeSilent;
  if (mb >= 0.0) return 0;
  return static_cast<int32_t>(mb);  // toward zero
}

// --- CSound

bool CSound::Create(platform::SoundOutput& output) {
  device_.reset();
  device_ = output.Open();
  return device_ != nullptr;
}

// --- CSoundBuffer

CSoundBuffer::~CSoundBuffer() {
  EndFadeThread();
}

void CSoundBuffer::EndFadeThread() {
  if (!fade_thread_.joinable()) return;
  fade_running_ = false;
  fade_thread_.join();
}

bool CSoundBuffer::Load(std::string_view path) {
  Stop();
  pcm_.clear();
  pcm_.shrink_to_fit();

  std::vector<uint8_t> file;
  if (!ReadWholeFile(path, file)) return false;
  WaveData wave;
  if (!ParseWave(file, wave)) return false;
  format_ = BufferFormat(wave.format);
  pcm_.assign(file.begin() + static_cast<std::ptrdiff_t>(wave.pcm_offset),
              file.begin() + static_cast<std::ptrdiff_t>(wave.pcm_offset + wave.pcm_bytes));
  file.clear();

  buffer_.reset();
  // A trailing part of a frame cannot be played; the buffer holds whole frames.
  size_t bytes = pcm_.size();
  if (format_.block_align > 0) bytes -= bytes % format_.block_align;
  if (device_ && bytes > 0 && bytes <= platform::kMaxBufferBytes) {
    platform::PcmFormat f{format_.channels, static_cast<int>(format_.samples_per_sec),
                          format_.bits_per_sample};
    if (format_.samples_per_sec <= static_cast<uint32_t>(std::numeric_limits<int>::max()))
      buffer_ = device_->CreateBuffer(f, static_cast<uint32_t>(bytes));
  }
  if (!buffer_) {
    loaded_ = false;
    return false;
  }
  platform::SoundBuffer::Region a, b;
  if (buffer_->Lock(0, static_cast<uint32_t>(bytes), a, b)) {
    std::copy(pcm_.begin(), pcm_.begin() + a.bytes, a.data);
    buffer_->Unlock();
  }
  loaded_ = true;
  file_name_ = std::string(path);
  fade_level_ = 0.0f;
  return true;
}

bool CSoundBuffer::Play(bool loop) {
  if (!loaded_) return false;
  Stop();
  buffer_->SetVolume(VolumeToMillibels(volume_.load()));
  buffer_->SetCurrentPosition(0);
  buffer_->Play(loop);
  loop_ = loop;
  fade_level_ = 0.0f;
  playing_ = true;
  return true;
}

bool CSoundBuffer::Stop() {
  if (!loaded_) return false;
  if (!playing_) return true;
  if (fade_running_ || fade_state_ == 1) {
    fade_level_ = 100.0f;
    fade_running_ = false;
    fade_ended_.Wait(2000);
    fade_ended_.Reset();
    // The thread has seen the cleared flag and is leaving; it must be gone before the buffer
    // can change under it.
    EndFadeThread();
    buffer_->Stop();
    fade_state_ = 0;
  } else {
    buffer_->Stop();
  }
  playing_ = false;
  return true;
}

void CSoundBuffer::SetVolume(int percent) {
  percent = std::clamp(percent, 0, 99);
  volume_ = static_cast<float>(percent + 1);
  if (loaded_ && playing_) buffer_->SetVolume(VolumeToMillibels(volume_.load()));
}

void CSoundBuffer::SetLevel(int level) {
  level = std::clamp(level, 0, 100);
  if (!loaded_) return;
  fade_level_ = static_cast<float>(100 - level);
  buffer_->SetVolume(VolumeToMillibels(volume_.load(), level));
}

bool CSoundBuffer::FadeOut(int kind) {
  if (!IsPlaying()) return false;
  if (fade_running_) return true;
  switch (kind) {
    case 0: fade_step_ = 8; break;
    case 1: fade_step_ = 3; break;
    case 2: fade_step_ = 1; break;
    default: break;  // keeps the step of the fade before
  }
  EndFadeThread();  // one that ended by itself
  fade_state_ = 1;
  fade_running_ = true;
  fade_ended_.Reset();
  fade_thread_ = std::thread(&CSoundBuffer::FadeThread, this);
  return true;
}

void CSoundBuffer::FadeThread() {
  uint32_t t = clock_.Now();
  for (;;) {
    if (!fade_running_ || !device_) {
      fade_ended_.Set();
      return;
    }
    uint32_t now = clock_.Now();
    if (now - t > 32) {
      if (fade_state_ == 0) {
        fade_running_ = false;
      } else {
        float level = fade_level_.load();
        if (level > 99.0f) break;
        current_volume_ = static_cast<float>(VolumeToMillibels(volume_.load(), 100.0 - level));
        // Stop may have raised the level meanwhile; its value wins.
        while (!fade_level_.compare_exchange_weak(level, level + fade_step_.load())) {
        }
      }
      buffer_->SetVolume(static_cast<int32_t>(current_volume_.load()));
      t = now;
    }
    SleepMs(8);
  }
  buffer_->Stop();
  fade_state_ = 0;
  current_volume_ = static_cast<float>(platform::kVolumeSilent);
  playing_ = false;
  fade_running_ = false;
  fade_ended_.Set();
}
