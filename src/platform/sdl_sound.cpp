// The machine's sound device through SDL audio: the mixer runs in SDL's audio callback, 48 kHz
// float stereo asked for (SDL may choose another rate; the buffers are resampled to it) in
// periods of 512 frames, so what is mixed is heard about 20 ms later.
#include <SDL.h>

#include "platform/sound_device.h"

namespace platform {
namespace {

class SdlSoundDevice final : public SoundDevice {
 public:
  SdlSoundDevice() : SoundDevice(48000) {}
  ~SdlSoundDevice() override {
    if (id_) SDL_CloseAudioDevice(id_);  // the callback has returned for good after this
    if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  }

  bool Start() {
    subsystem_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!subsystem_) return false;
    SDL_AudioSpec want{};
    want.freq = 48000;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 512;
    want.callback = &SdlSoundDevice::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    id_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (id_ == 0) return false;
    SetRate(have.freq);
    SDL_PauseAudioDevice(id_, 0);
    return true;
  }

 private:
  static void Callback(void* userdata, Uint8* stream, int len) {
    auto* self = static_cast<SdlSoundDevice*>(userdata);
    self->Mix(reinterpret_cast<float*>(stream), len / static_cast<int>(2 * sizeof(float)), false,
              0);
  }

  bool subsystem_ = false;
  SDL_AudioDeviceID id_ = 0;
};

}  // namespace

std::unique_ptr<SoundDevice> SdlSoundOutput::Open() {
  auto device = std::make_unique<SdlSoundDevice>();
  if (!device->Start()) return nullptr;
  return device;
}

}  // namespace platform
