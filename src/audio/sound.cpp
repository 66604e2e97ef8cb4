// The sound device and the sound effects: loading a WAV file into a buffer, playing, stopping,
// volumes and the fade thread.
#include "audio/sound.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>

#include "platform/fs.h"

namespace {

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
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  wake_.notify_all();
  if (fade_thread_.joinable()) fade_thread_.join();
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

  std::lock_guard lock(mutex_);
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
  std::lock_guard lock(mutex_);
  buffer_->SetVolume(VolumeToMillibels(volume_));
  buffer_->SetCurrentPosition(0);
  buffer_->Play(loop);
  loop_ = loop;
  fade_level_ = 0.0f;
  playing_ = true;
  return true;
}

bool CSoundBuffer::Stop() {
  if (!loaded_) return false;
  std::lock_guard lock(mutex_);
  if (!playing_) return true;
  // A fade ends here; its thread finds nothing to do at its next tick.
  if (fading_) fade_level_ = 100.0f;
  fading_ = false;
  buffer_->Stop();
  playing_ = false;
  return true;
}

void CSoundBuffer::SetVolume(int percent) {
  percent = std::clamp(percent, 0, 99);
  std::lock_guard lock(mutex_);
  volume_ = static_cast<float>(percent + 1);
  if (loaded_ && playing_) buffer_->SetVolume(VolumeToMillibels(volume_));
}

void CSoundBuffer::SetLevel(int level) {
  level = std::clamp(level, 0, 100);
  if (!loaded_) return;
  std::lock_guard lock(mutex_);
  fade_level_ = static_cast<float>(100 - level);
  buffer_->SetVolume(VolumeToMillibels(volume_, level));
}

bool CSoundBuffer::FadeOut(int kind) {
  if (!IsPlaying()) return false;
  {
    std::lock_guard lock(mutex_);
    if (fading_) return true;
    switch (kind) {
      case 0: fade_step_ = 8; break;
      case 1: fade_step_ = 3; break;
      case 2: fade_step_ = 1; break;
      default: break;  // keeps the step of the fade before
    }
    fade_tick_time_ = clock_.Now();
    fading_ = true;
  }
  if (fade_thread_.joinable()) {
    wake_.notify_all();
  } else {
    try {
      fade_thread_ = std::thread(&CSoundBuffer::FadeThread, this);
    } catch (const std::system_error&) {
      std::fputs("Create Thread failed.\n", stderr);
      std::lock_guard lock(mutex_);
      fading_ = false;  // the sound plays on at its volume
    }
  }
  return true;
}

// Every tick more than 32 ms after the one before sets the volume for the level and then adds the
// step; the first tick that finds the level above 99 stops the sound.
void CSoundBuffer::FadeThread() {
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (!fading_) {
      wake_.wait(lock);
      continue;
    }
    const uint32_t now = clock_.Now();
    if (now - fade_tick_time_ <= 32) {
      wake_.wait_for(lock, std::chrono::milliseconds(fade_tick_time_ + 33 - now));
      continue;
    }
    if (fade_level_ > 99.0f) {
      buffer_->Stop();
      current_volume_ = static_cast<float>(platform::kVolumeSilent);
      playing_ = false;
      fading_ = false;
      continue;
    }
    current_volume_ = static_cast<float>(VolumeToMillibels(volume_, 100.0 - fade_level_));
    fade_level_ += static_cast<float>(fade_step_);
    buffer_->SetVolume(static_cast<int32_t>(current_volume_));
    fade_tick_time_ = now;
  }
}
