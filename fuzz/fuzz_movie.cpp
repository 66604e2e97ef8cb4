// Movie files come from outside the program: any bytes may sit where an MPEG file is expected.
// Opens the input from memory with the decoder the player uses, then pulls its output (pictures
// and sound) until the end, within a size cap on the input, a picture-size cap, a time budget per
// call and a cap on the pieces taken, so no input can hold the fuzzer up. Every picture handed
// out must be as large as its rows say.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "platform/movie_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  platform::MovieLimits limits;
  limits.max_dimension = 1024;
  limits.probe_bytes = 1 << 16;
  limits.call_budget_ms = 500;
  platform::MovieOpenResult result;
  auto decoder = platform::MovieDecoder::OpenMemory(std::span<const uint8_t>(data, size), true,
                                                    limits, &result);
  if (!decoder) return 0;
  const platform::MovieStreams& st = decoder->Streams();
  if (st.width <= 0 || st.height <= 0 || st.width > 1024 || st.height > 1024) std::abort();
  volatile uint32_t sink = 0;
  for (int i = 0; i < 300; ++i) {
    platform::MovieDecoder::Output out = decoder->Next();
    if (out == platform::MovieDecoder::Output::End) break;
    if (out == platform::MovieDecoder::Output::Video) {
      const platform::MovieSample& s = decoder->Sample();
      if (!s.bits) continue;
      if (s.size < static_cast<size_t>(s.pitch) * s.height || s.pitch < 3 * s.width) std::abort();
      sink = sink + s.bits[0] + s.bits[s.size - 1];
    } else {
      const platform::MovieAudio& a = decoder->Audio();
      if (a.frames <= 0) std::abort();
      sink = sink + static_cast<uint16_t>(a.samples[0]) +
             static_cast<uint16_t>(a.samples[a.frames * st.audio_channels - 1]);
    }
  }
  return 0;
}
