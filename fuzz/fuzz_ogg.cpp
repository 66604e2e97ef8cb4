// Music and voices come from outside the program: any bytes may sit where an Ogg Vorbis file is
// expected. Opens the input as a file through the stream reader the music uses, on a null device,
// plays it once and renders a few seconds of output, so the decoder, the feeder's refills and the
// end of a file that stops early all run. Every sample must be a sound one.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "audio/stream_sound.h"
#include "fuzz_support.h"
#include "platform/sound_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = fuzz::ScratchPath("ogg", ".ogg");
  if (!fuzz::WriteInput(path, data, size)) return 0;
  static platform::NullSoundDevice device;
  {
    CStreamSound stream;
    stream.SetDevice(&device);
    if (stream.Open(path) == 0 && stream.Play(false)) {
      // A second of output at a time; the two-second buffer is refilled as it passes halves.
      static std::vector<float> out(2 * 48000);
      for (int second = 0; second < 4 && stream.IsPlaying(); ++second) {
        device.Render(out.data(), 48000);
        for (float s : out)
          if (!(s >= -1.0f && s <= 1.0f)) std::abort();
      }
      stream.Stop();
    }
  }
  std::remove(path.c_str());
  return 0;
}
