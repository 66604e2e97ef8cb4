// Sound-effect files come from outside the program: any bytes may sit where a WAV file is
// expected. Scans the input in memory (the PCM it finds must lie inside the input), then loads it
// as a file into an effect on a null device and plays it looped for a moment, so whatever format
// the header claims also goes through the mixer.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/sound.h"
#include "audio/wave_file.h"
#include "platform/sound_device.h"

namespace {

const std::string& InputPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/lanthorn-fuzz-wav-" +
           std::to_string(::getpid()) + ".wav";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WaveData wave;
  if (ParseWave({data, size}, wave) && wave.pcm_offset + wave.pcm_bytes > size) std::abort();

  const std::string& path = InputPath();
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  static platform::NullSoundDevice device;
  CSoundBuffer effect;
  effect.SetDevice(&device);
  effect.SetVolume(99);
  if (effect.Load(path) && effect.Play(true)) {
    static std::vector<float> out(2 * 2048);
    device.Render(out.data(), 2048);
    for (float s : out)
      if (!(s >= -1.0f && s <= 1.0f)) std::abort();
    effect.Stop();
  }
  std::remove(path.c_str());
  return 0;
}
