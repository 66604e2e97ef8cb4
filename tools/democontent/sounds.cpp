// The demo's sounds, made from code: effects as shaped tones and noise (WAV), music as a melody
// over a chord progression and voices as pitched syllables through formant filters (both Ogg
// Vorbis). Every file is one job of a table below; the jobs share nothing, so they run on a few
// threads and still give the same bytes on every build (fixed seeds, fixed stream serials).
//
// Looping files are made to loop without a seam: music and ticking are rendered on a circle of
// whole bars (a note's tail that runs past the end sounds again at the start), noise beds are
// cross-faded end into start, hums use only frequencies with whole cycles per loop.
#include "sounds.h"

#include "audio/ogg_encode.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace {

namespace stdfs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;
constexpr double kTau = 2 * kPi;

// Interleaved samples in -1..1.
struct Audio {
  int rate = 44100;
  int channels = 1;
  std::vector<float> samples;

  size_t Frames() const { return samples.size() / static_cast<size_t>(channels); }
  void Resize(double seconds) {
    samples.assign(static_cast<size_t>(std::lround(seconds * rate)) * channels, 0.0f);
  }
  float& At(size_t frame, int channel) { return samples[frame * channels + channel]; }
};

// ---------------------------------------------------------------- writing the files

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void PutTag(std::vector<uint8_t>& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

int16_t ToPcm16(float v) {
  return static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

bool WriteBytes(const stdfs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// RIFF/WAVE with the plain 16-byte PCM format record and one data chunk.
bool WriteWav(const stdfs::path& path, const Audio& a) {
  const uint32_t data_bytes = static_cast<uint32_t>(a.samples.size() * 2);
  const uint32_t block_align = static_cast<uint32_t>(a.channels) * 2;
  std::vector<uint8_t> b;
  b.reserve(44 + data_bytes);
  PutTag(b, "RIFF");
  Put32(b, 36 + data_bytes);
  PutTag(b, "WAVE");
  PutTag(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, static_cast<uint32_t>(a.channels));
  Put32(b, static_cast<uint32_t>(a.rate));
  Put32(b, static_cast<uint32_t>(a.rate) * block_align);
  Put16(b, block_align);
  Put16(b, 16);
  PutTag(b, "data");
  Put32(b, data_bytes);
  for (float v : a.samples) Put16(b, static_cast<uint16_t>(ToPcm16(v)));
  return WriteBytes(path, b);
}

// A stream serial from the file name: fixed per file, different between files.
int Serial(std::string_view name) {
  uint32_t h = 2166136261u;
  for (char c : name) h = (h ^ static_cast<uint8_t>(c)) * 16777619u;
  return static_cast<int>(h & 0x7FFFFFFF);
}

bool WriteOgg(const stdfs::path& path, const Audio& a, float quality) {
  OggVorbisFile ogg;
  return EncodeOggVorbis(a.samples, a.channels, a.rate, quality, Serial(path.filename().string()),
                         ogg) &&
         WriteBytes(path, ogg.bytes);
}

// ---------------------------------------------------------------- building blocks

// A fixed pseudo-random sequence (the pictures use the same generator).
class Noise {
 public:
  explicit Noise(uint32_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return state_ >> 8;
  }
  double White() { return Next() / 8388608.0 - 1.0; }  // -1..1
  double Uniform() { return Next() / 16777216.0; }     // 0..1

 private:
  uint32_t state_;
};

// One-pole low-pass; High() gives the matching high-pass.
class OnePole {
 public:
  OnePole(double cutoff_hz, int rate) : k_(1 - std::exp(-kTau * cutoff_hz / rate)) {}
  double Low(double x) { return y_ += k_ * (x - y_); }
  double High(double x) { return x - Low(x); }

 private:
  double k_;
  double y_ = 0;
};

// Band-pass biquad with a peak gain of 1; the centre can move while it runs.
class BandPass {
 public:
  void Set(double centre_hz, double q, int rate) {
    const double w = kTau * std::min(centre_hz, rate * 0.45) / rate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    b0_ = alpha / a0;
    a1_ = -2 * std::cos(w) / a0;
    a2_ = (1 - alpha) / a0;
  }
  double Run(double x) {
    const double y = b0_ * (x - x2_) - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  double b0_ = 0, a1_ = 0, a2_ = 0;
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// One cycle of a waveform from its harmonic amplitudes, read with linear interpolation: far
// cheaper than summing sines per sample, and band-limited by construction.
class Wavetable {
 public:
  explicit Wavetable(std::vector<double> harmonics) : table_(kSize + 1) {
    for (int i = 0; i <= kSize; ++i) {
      double v = 0;
      for (size_t h = 0; h < harmonics.size(); ++h)
        v += harmonics[h] * std::sin(kTau * static_cast<double>(h + 1) * i / kSize);
      table_[i] = static_cast<float>(v);
    }
    float peak = 0;
    for (float v : table_) peak = std::max(peak, std::abs(v));
    for (float& v : table_) v /= peak;
  }
  // phase in cycles, any value
  double At(double phase) const {
    const double p = (phase - std::floor(phase)) * kSize;
    const int i = std::min(static_cast<int>(p), kSize - 1);  // p is kSize when phase is -0
    return table_[i] + (table_[i + 1] - table_[i]) * (p - i);
  }

 private:
  static constexpr int kSize = 2048;
  std::vector<float> table_;
};

const Wavetable& Sine() {
  static const Wavetable table({1});
  return table;
}
// The amplitudes of `count` harmonics falling off as 1/n^tilt (odd ones only for a reed).
std::vector<double> Series(int count, double tilt, bool odd_only = false) {
  std::vector<double> h(count, 0.0);
  for (int n = 1; n <= count; ++n)
    if (!odd_only || n % 2 == 1) h[n - 1] = 1 / std::pow(n, tilt);
  return h;
}

double MidiHz(double note) { return 440 * std::pow(2.0, (note - 69) / 12); }

// Peak to `level`, so every file uses the same headroom whatever was mixed into it.
void Normalise(Audio& a, double level) {
  float peak = 0;
  for (float v : a.samples) peak = std::max(peak, std::abs(v));
  if (peak <= 0) return;
  const float k = static_cast<float>(level / peak);
  for (float& v : a.samples) v *= k;
}

// Short linear fades at both ends of a sound that does not loop, against clicks.
void EdgeFades(Audio& a, double in_s, double out_s) {
  const size_t frames = a.Frames();
  const size_t in = std::min(frames, static_cast<size_t>(in_s * a.rate));
  const size_t out = std::min(frames, static_cast<size_t>(out_s * a.rate));
  for (size_t i = 0; i < frames; ++i) {
    double g = 1;
    if (i < in) g = std::min(g, static_cast<double>(i) / in);
    if (i + out > frames) g = std::min(g, static_cast<double>(frames - 1 - i) / out);
    for (int c = 0; c < a.channels; ++c) a.At(i, c) *= static_cast<float>(g);
  }
}

// A tone that decays: `partials` of the fundamental, each {ratio, amplitude, decay per second}.
struct Partial {
  double ratio, amplitude, decay;
};
void AddTone(Audio& a, double start_s, double length_s, double hz, double gain,
             std::initializer_list<Partial> partials, double attack_s = 0.002, double pan = 0,
             bool wrap = false) {
  const size_t frames = a.Frames();
  const long start = std::lround(start_s * a.rate);
  const long length = std::lround(length_s * a.rate);
  for (long i = 0; i < length; ++i) {
    long at = start + i;
    if (wrap) at %= static_cast<long>(frames);
    if (at < 0 || at >= static_cast<long>(frames)) continue;
    const double t = static_cast<double>(i) / a.rate;
    double v = 0;
    for (const Partial& p : partials)
      v += p.amplitude * std::exp(-p.decay * t) * Sine().At(hz * p.ratio * t);
    v *= gain * std::min(1.0, t / attack_s) * std::min(1.0, (length - i) / (0.005 * a.rate));
    for (int c = 0; c < a.channels; ++c)
      a.At(at, c) += static_cast<float>(v * (a.channels == 2 ? (c == 0 ? 1 - pan : 1 + pan) : 1));
  }
}

// Noise made into a seamless loop of `seconds`: the stretch generated past the end is faded
// into the start with equal power (the two stretches are unrelated noise).
std::vector<float> LoopedNoise(int rate, double seconds, double fade_s, uint32_t seed,
                               const std::function<double(double white)>& shape) {
  const size_t n = static_cast<size_t>(std::lround(seconds * rate));
  const size_t m = static_cast<size_t>(std::lround(fade_s * rate));
  Noise noise(seed);
  std::vector<float> raw(n + m);
  for (int warm = 0; warm < rate / 10; ++warm) shape(noise.White());  // settle the filters
  for (float& v : raw) v = static_cast<float>(shape(noise.White()));
  std::vector<float> loop(raw.begin(), raw.begin() + static_cast<long>(n));
  for (size_t i = 0; i < m; ++i) {
    const double w = static_cast<double>(i) / m * kPi / 2;
    loop[i] = static_cast<float>(raw[i] * std::sin(w) + raw[n + i] * std::cos(w));
  }
  return loop;
}

// ---------------------------------------------------------------- interface effects

// Decide: a quick rising pair of glassy blips.
void MakeOk(Audio& a) {
  a.Resize(0.22);
  const std::initializer_list<Partial> glass = {{1, 1, 18}, {2, 0.3, 30}, {3.01, 0.12, 45}};
  AddTone(a, 0.0, 0.12, MidiHz(88), 0.6, glass);
  AddTone(a, 0.055, 0.16, MidiHz(93), 0.7, glass);
  Normalise(a, 0.7);
}

// Cancel: a falling pair, softer and rounder than the decide sound.
void MakeCancel(Audio& a) {
  a.Resize(0.24);
  const std::initializer_list<Partial> soft = {{1, 1, 16}, {3, 0.15, 40}};
  AddTone(a, 0.0, 0.12, MidiHz(81), 0.6, soft, 0.004);
  AddTone(a, 0.07, 0.17, MidiHz(74), 0.6, soft, 0.004);
  Normalise(a, 0.65);
}

// The maker's logo: a bell chord arpeggiated upward over a low swell, ringing out.
void MakeLogo(Audio& a) {
  a.Resize(2.6);
  const double notes[] = {60, 67, 72, 76, 79, 84};
  for (int i = 0; i < 6; ++i) {
    const double pan = (i - 2.5) / 4;
    AddTone(a, 0.07 * i, 2.4 - 0.07 * i, MidiHz(notes[i]), 0.5,
            {{1, 1, 1.6}, {2.76, 0.25, 4}, {5.4, 0.08, 9}}, 0.004, pan);
  }
  AddTone(a, 0, 2.6, MidiHz(48), 0.35, {{1, 1, 1.2}, {2, 0.3, 2}}, 0.5);
  EdgeFades(a, 0.001, 0.3);
  Normalise(a, 0.8);
}

// A level check: half a second of a steady A5.
void MakeTest(Audio& a) {
  a.Resize(0.6);
  AddTone(a, 0, 0.6, 880, 0.5, {{1, 1, 0}});
  EdgeFades(a, 0.01, 0.02);
  Normalise(a, 0.5);
}

// A clock ticking, one second looped: a tick and a lower tock, each a click of filtered noise on
// a short resonance, rendered on the loop's circle.
void MakeWatch(Audio& a) {
  a.Resize(1.0);
  for (int half = 0; half < 2; ++half) {
    const double hz = half ? 2300 : 3100;
    AddTone(a, 0.5 * half, 0.08, hz, 0.5, {{1, 1, 70}, {1.51, 0.4, 90}}, 0.0005, 0, true);
    Noise noise(11 + half);
    OnePole hp(1500, a.rate);
    const size_t start = static_cast<size_t>(0.5 * half * a.rate);
    for (size_t i = 0; i < static_cast<size_t>(0.012 * a.rate); ++i) {
      const double t = static_cast<double>(i) / a.rate;
      a.At(start + i, 0) += static_cast<float>(hp.High(noise.White()) * 0.5 * std::exp(-t / 0.002));
    }
  }
  Normalise(a, 0.6);
}

// Warning beep of the timed choice: short and bright.
void MakeBeep01(Audio& a) {
  a.Resize(0.14);
  AddTone(a, 0, 0.14, 1400, 0.5, {{1, 1, 4}, {3, 0.3, 6}, {5, 0.12, 8}}, 0.003);
  Normalise(a, 0.6);
}

// Time up: a low two-tone buzz.
void MakeBeep02(Audio& a) {
  a.Resize(0.55);
  const std::initializer_list<Partial> buzz = {{1, 1, 1}, {3, 0.33, 1}, {5, 0.2, 1}, {7, 0.14, 1}};
  AddTone(a, 0, 0.25, 440, 0.5, buzz, 0.004);
  AddTone(a, 0.27, 0.28, 330, 0.5, buzz, 0.004);
  Normalise(a, 0.6);
}

// ---------------------------------------------------------------- script effects

// A door bell: three struck notes with bell-like (inharmonic) partials.
void MakeChime(Audio& a) {
  a.Resize(2.2);
  const double notes[] = {88, 84, 79};
  for (int i = 0; i < 3; ++i)
    AddTone(a, 0.28 * i, 2.2 - 0.28 * i, MidiHz(notes[i]), 0.5,
            {{1, 1, 2.2}, {2.4, 0.35, 5}, {4.1, 0.15, 9}, {0.5, 0.2, 3}}, 0.001, 0.3 * (i - 1));
  EdgeFades(a, 0.0005, 0.2);
  Normalise(a, 0.75);
}

// A door opening: a creak (a slowing train of stick-slip pulses through two resonances) and
// the thump of it closing against its frame.
void MakeDoor(Audio& a) {
  a.Resize(1.6);
  BandPass body1, body2;
  body1.Set(620, 6, a.rate);
  body2.Set(1450, 8, a.rate);
  Noise noise(21);
  double phase = 0;
  const size_t creak_end = static_cast<size_t>(1.05 * a.rate);
  for (size_t i = 0; i < creak_end; ++i) {
    const double t = static_cast<double>(i) / a.rate;
    const double rate_hz = 38 + 55 * std::sin(kPi * t / 1.05) + 6 * noise.White();
    phase += rate_hz / a.rate;
    double pulse = 0;
    if (phase >= 1) {
      phase -= 1;
      pulse = 1;
    }
    const double env = std::sin(kPi * t / 1.05);
    const double x = pulse + 0.02 * noise.White();
    a.At(i, 0) += static_cast<float>(env * (body1.Run(x) * 3 + body2.Run(x) * 2));
  }
  OnePole lp(300, a.rate);
  const size_t thump = static_cast<size_t>(1.12 * a.rate);
  for (size_t i = thump; i < a.Frames(); ++i) {
    const double t = static_cast<double>(i - thump) / a.rate;
    const double env = std::exp(-t * 14);
    a.At(i, 0) += static_cast<float>(env * (0.9 * std::sin(kTau * 70 * t * (1 - 0.3 * t)) +
                                            2.5 * lp.Low(noise.White())));
  }
  EdgeFades(a, 0.002, 0.05);
  Normalise(a, 0.8);
}

// Four footsteps on a wooden floor: heel and toe, each a thud of low noise and a small knock.
void MakeFootsteps(Audio& a) {
  a.Resize(2.1);
  Noise noise(31);
  for (int step = 0; step < 4; ++step)
    for (int part = 0; part < 2; ++part) {
      const size_t start = static_cast<size_t>((0.05 + 0.5 * step + 0.07 * part) * a.rate);
      OnePole lp(part ? 900 : 500, a.rate);
      const double gain = (part ? 0.5 : 1.0) * (1 - 0.1 * step);
      for (size_t i = 0; i < static_cast<size_t>(0.09 * a.rate); ++i) {
        const double t = static_cast<double>(i) / a.rate;
        a.At(start + i, 0) += static_cast<float>(gain * std::exp(-t * 60) *
                                                 (lp.Low(noise.White()) * 4 +
                                                  0.4 * std::sin(kTau * 140 * t)));
      }
    }
  EdgeFades(a, 0.001, 0.05);
  Normalise(a, 0.75);
}

// Rain, four seconds looped in stereo: a bed of filtered noise per side and scattered drops,
// the drops on the loop's circle.
void MakeRain(Audio& a) {
  a.Resize(4.0);
  for (int c = 0; c < 2; ++c) {
    OnePole lp(2500, a.rate), hp(300, a.rate);
    const std::vector<float> bed = LoopedNoise(a.rate, 4.0, 0.5, 41 + c, [&](double w) {
      return hp.High(lp.Low(w));
    });
    for (size_t i = 0; i < bed.size(); ++i) a.At(i, c) += bed[i] * 0.8f;
  }
  Noise noise(47);
  for (int drop = 0; drop < 90; ++drop) {
    const double at = noise.Uniform() * 4.0;
    const double hz = 1800 + 2600 * noise.Uniform();
    const double pan = noise.White() * 0.8;
    AddTone(a, at, 0.03, hz, 0.08 + 0.1 * noise.Uniform(), {{1, 1, 160}}, 0.0005, pan, true);
  }
  Normalise(a, 0.6);
}

// An engine idling, two seconds looped: a firing rate of 30 Hz with its harmonics, throbbing
// once per second; every frequency has whole cycles in the loop, so the ends meet.
void MakeEngine(Audio& a) {
  a.Resize(2.0);
  const std::vector<float> rumble = LoopedNoise(a.rate, 2.0, 0.3, 51, [lp = OnePole(180, a.rate)](
                                                                          double w) mutable {
    return lp.Low(w);
  });
  for (size_t i = 0; i < a.Frames(); ++i) {
    const double t = static_cast<double>(i) / a.rate;
    const double throb = 0.8 + 0.2 * std::sin(kTau * 1 * t);
    double v = 0;
    for (int h = 1; h <= 8; ++h) v += std::sin(kTau * 30 * h * t + h * 0.7) / h;
    a.At(i, 0) = static_cast<float>(throb * (v + rumble[i] * 6));
  }
  Normalise(a, 0.6);
}

// ---------------------------------------------------------------- music

// An instrument: an envelope over a waveform, optionally doubled a few cents apart in stereo.
struct Instrument {
  const Wavetable* wave;
  double attack, decay, sustain, release;  // seconds, seconds, level 0-1, seconds
  double gain;
  double pan;         // -1 left .. 1 right
  double detune;      // cents between the left and the right copy (0: one copy, panned)
  double vibrato;     // depth in cents at 5 Hz, after the attack
};

const Wavetable& Bell() {
  static const Wavetable w({1, 0.1, 0.35, 0, 0.12, 0, 0.05});
  return w;
}
const Wavetable& Reed() {
  static const Wavetable w(Series(9, 1.0, true));
  return w;
}
const Wavetable& Strings() {
  static const Wavetable w(Series(12, 1.3));
  return w;
}
const Wavetable& Flute() {
  static const Wavetable w({1, 0.25, 0.1, 0.03});
  return w;
}
const Wavetable& Pluck() {
  static const Wavetable w(Series(6, 1.6));
  return w;
}

const Instrument kBellLead{&Bell(), 0.005, 0.6, 0.25, 0.5, 0.32, 0.2, 0, 0};
const Instrument kFluteLead{&Flute(), 0.05, 0.2, 0.8, 0.15, 0.30, -0.15, 0, 12};
const Instrument kReedLead{&Reed(), 0.02, 0.15, 0.6, 0.1, 0.20, 0.1, 0, 8};
const Instrument kStringPad{&Strings(), 0.35, 0.5, 0.8, 0.6, 0.09, 0, 9, 0};
const Instrument kSoftPad{&Flute(), 0.5, 0.5, 0.9, 0.8, 0.12, 0, 6, 0};
const Instrument kPluckBass{&Pluck(), 0.004, 0.25, 0.45, 0.08, 0.35, 0, 0, 0};
const Instrument kRoundBass{&Sine(), 0.01, 0.3, 0.7, 0.1, 0.40, 0, 0, 0};

// A few bars: the chords and the melody in scale degrees of the key, drums and bass as one-bar
// patterns of eighth notes.
struct Song {
  double bpm;
  int key;            // MIDI note of the tonic
  bool minor;
  const char* chords; // one bar each: the chord's root as a scale degree '0'-'6'
  const char* melody; // eighths: '0'-'9' degrees above the tonic (an octave up), '-' hold, '.' rest
  const char* bass;   // eighths of one bar: 'r' root, 'f' fifth, 'o' octave, '-' hold, '.' rest
  const char* drums;  // eighths of one bar: 'k' kick, 's' snare, 'h' hat, 'x' kick and hat
  const Instrument* lead;
  const Instrument* pad;
  const Instrument* bass_instrument;
};

int Degree(const Song& s, int degree) {
  static const int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
  static const int kMinor[7] = {0, 2, 3, 5, 7, 8, 10};
  const int* scale = s.minor ? kMinor : kMajor;
  const int octave = degree >= 0 ? degree / 7 : -((6 - degree) / 7);
  return scale[degree - octave * 7] + 12 * octave;
}

// Stereo music on a circle of `frames`: what runs past the end lands at the start.
class Score {
 public:
  explicit Score(Audio& a) : a_(a), frames_(static_cast<long>(a.Frames())) {}

  void Note(const Instrument& ins, double start_s, double hold_s, double midi, double velocity) {
    const double hz = MidiHz(midi);
    const long start = std::lround(start_s * a_.rate);
    // The release falls by e^-3 per release time; 2.5 of them bring it below -65 dB.
    const long length = std::lround((hold_s + ins.release * 2.5) * a_.rate);
    const long attack = std::max(1L, std::lround(ins.attack * a_.rate));
    const long hold = std::lround(hold_s * a_.rate);
    const long vibrato_from = attack + std::lround(0.15 * a_.rate);
    // Per-sample factors, so the envelope costs a multiply rather than an exp.
    const double decay_step = std::exp(-3.0 / (ins.decay * a_.rate));
    const double release_step = std::exp(-3.0 / (ins.release * a_.rate));
    const int copies = ins.detune > 0 ? 2 : 1;
    for (int copy = 0; copy < copies; ++copy) {
      const double cents = copies == 2 ? (copy ? 0.5 : -0.5) * ins.detune : 0;
      const double step = hz * std::pow(2.0, cents / 1200) / a_.rate;
      double phase = copy * 0.37;
      double above_sustain = 1, released = 1;
      for (long i = 0; i < length; ++i) {
        double env = ins.sustain + (1 - ins.sustain) * above_sustain;
        if (i < attack) {
          env = static_cast<double>(i) / attack;
        } else {
          above_sustain *= decay_step;
        }
        if (i > hold) {
          env *= released;
          released *= release_step;
        }
        // Vibrato: cents to a frequency ratio by its first-order term (a few cents only).
        double ratio = 1;
        if (ins.vibrato > 0 && i > vibrato_from)
          ratio += ins.vibrato * (std::log(2.0) / 1200) * Sine().At(5.0 * i / a_.rate);
        phase += step * ratio;
        const double v = ins.wave->At(phase) * env * velocity * ins.gain;
        const long at = (start + i) % frames_;
        if (copies == 2) {
          a_.At(at, copy) += static_cast<float>(v * 0.7);
        } else {
          a_.At(at, 0) += static_cast<float>(v * (1 - ins.pan) * 0.7);
          a_.At(at, 1) += static_cast<float>(v * (1 + ins.pan) * 0.7);
        }
      }
    }
  }

  void Drum(char kind, double start_s, uint32_t seed) {
    Noise noise(seed);
    OnePole hp(6000, a_.rate), lp(2500, a_.rate);
    const long start = std::lround(start_s * a_.rate);
    const long length = std::lround(0.25 * a_.rate);
    for (long i = 0; i < length; ++i) {
      const double t = static_cast<double>(i) / a_.rate;
      double v = 0, pan = 0;
      if (kind == 'k' || kind == 'x') {  // a falling thud: 120 Hz gliding down to 50 Hz
        const double cycles = 50 * t + 70 * (1 - std::exp(-t * 30)) / 30;
        v += 0.9 * std::exp(-t * 18) * std::sin(kTau * cycles);
      }
      if (kind == 'h' || kind == 'x') {
        v += 0.25 * std::exp(-t * 70) * hp.High(noise.White());
        pan = -0.3;
      }
      if (kind == 's')
        v += std::exp(-t * 22) * (0.5 * lp.Low(noise.White()) + 0.3 * std::sin(kTau * 190 * t));
      const long at = (start + i) % frames_;
      a_.At(at, 0) += static_cast<float>(v * (1 - pan) * 0.5);
      a_.At(at, 1) += static_cast<float>(v * (1 + pan) * 0.5);
    }
  }

  // Two echoes of the whole mix, ping-pong between the sides, also on the circle.
  void Echo(double delay_s) {
    const long d = std::lround(delay_s * a_.rate);
    const std::vector<float> dry = a_.samples;
    for (long i = 0; i < frames_; ++i) {
      const long one = ((i - d) % frames_ + frames_) % frames_;
      const long two = ((i - 2 * d) % frames_ + frames_) % frames_;
      a_.At(i, 0) += 0.22f * dry[one * 2 + 1] + 0.1f * dry[two * 2];
      a_.At(i, 1) += 0.22f * dry[one * 2] + 0.1f * dry[two * 2 + 1];
    }
  }

 private:
  Audio& a_;
  long frames_;
};

// Renders the song's bars once (its first `first_bars` only, when not 0), transposed by
// `transpose` semitones, at `tempo` times its pace.
void RenderSong(const Song& s, int transpose, double tempo, int first_bars, Audio& a) {
  const int bars = static_cast<int>(std::strlen(s.chords));
  if (first_bars > 0 && first_bars < bars && std::strlen(s.melody) >= 8u * first_bars) {
    Song part = s;
    const std::string chords(s.chords, static_cast<size_t>(first_bars));
    const std::string melody(s.melody, static_cast<size_t>(first_bars) * 8);
    part.chords = chords.c_str();
    part.melody = melody.c_str();
    RenderSong(part, transpose, tempo, 0, a);
    return;
  }
  // A melody that does not fill its bars would shift against the chords: make nothing, so the
  // file is reported as not written.
  if (std::strlen(s.melody) != 8u * bars || std::strlen(s.bass) != 8 ||
      (s.drums[0] && std::strlen(s.drums) != 8)) {
    a.samples.clear();
    return;
  }
  const double eighth = 30 / (s.bpm * tempo);
  const double bar_s = 8 * eighth;
  a.Resize(bars * bar_s);
  Score score(a);
  const int key = s.key + transpose;
  for (int bar = 0; bar < bars; ++bar) {
    const int root = s.chords[bar] - '0';
    const double t0 = bar * bar_s;
    // The pad holds the triad (root in the octave under the melody) for the whole bar.
    for (int k = 0; k < 3; ++k)
      score.Note(*s.pad, t0, bar_s * 0.95, key + Degree(s, root + 2 * k), 1.0);
    // The bass plays its pattern on the chord's root, two octaves down.
    for (int e = 0; e < 8; ++e) {
      const char c = s.bass[e];
      if (c != 'r' && c != 'f' && c != 'o') continue;
      int len = 1;
      while (e + len < 8 && s.bass[e + len] == '-') ++len;
      const int step = c == 'f' ? 4 : c == 'o' ? 7 : 0;
      score.Note(*s.bass_instrument, t0 + e * eighth, len * eighth * 0.9,
                 key - 24 + Degree(s, root + step), e == 0 ? 1.0 : 0.8);
    }
    for (int e = 0; s.drums[0] && e < 8; ++e)
      if (s.drums[e] != '.') score.Drum(s.drums[e], t0 + e * eighth, 900 + bar * 8 + e);
  }
  // The melody, an octave above the tonic; a held note runs on over the bar lines.
  const int eighths = static_cast<int>(std::strlen(s.melody));
  for (int e = 0; e < eighths; ++e) {
    const char c = s.melody[e];
    if (c < '0' || c > '9') continue;
    int len = 1;
    while (e + len < eighths && s.melody[e + len] == '-') ++len;
    const double accent = e % 8 == 0 ? 1.0 : e % 2 == 0 ? 0.85 : 0.75;
    score.Note(*s.lead, e * eighth, len * eighth * 0.92, key + 12 + Degree(s, c - '0'), accent);
  }
  score.Echo(eighth * 3);
  Normalise(a, 0.8);
}

// Title: calm, a bell melody over strings (I vi IV V, twice with a different answer).
const Song kTitleSong{76, 60, false, "05340534",
                      "4---2-3-" "4-2-0---" "3-5-7-5-" "4-----.."
                      "4---2-3-" "4-2-0-2-" "5-3-1-3-" "1-------",
                      "r---f---", "", &kBellLead, &kStringPad, &kRoundBass};
// Town map: an easy walk, flute over a plucked bass and light drums (I IV ii V).
const Song kMapSong{104, 65, false, "0314", "0-2-4-5-" "5-3-0-3-" "1-3-5-3-" "4-6-4-1-",
                    "r.f.o.f.", "x.h.s.h.", &kFluteLead, &kSoftPad, &kPluckBass};
// Days in town: a bright reed tune with a busier beat (I V vi IV).
const Song kDaySong{120, 62, false, "0453", "4-4-5-4-" "6-4-1-4-" "5-7-9-7-" "6-5-3-1-",
                    "r.ror.fo", "x.hsx.sh", &kReedLead, &kStringPad, &kPluckBass};
// Evening, sad: minor, slow, bells over a soft pad (i VI III VII).
const Song kSadSong{66, 57, true, "0526", "4---3-2-" "1---0---" "2---3-4-" "6-5-4---",
                    "r-------", "", &kBellLead, &kSoftPad, &kRoundBass};
// Tension: minor, a fast ostinato bass and drums (i i VI VII).
const Song kTenseSong{132, 52, true, "0056", "7-.7-.6-" "7---4---" "5-.5-.7-" "6---8---",
                      "rrorrfrf", "k.skk.sh", &kReedLead, &kStringPad, &kPluckBass};
// Night: minor and still, a flute over a pad alone (i iv VI v).
const Song kNightSong{72, 55, true, "0354", "0---2-3-" "5-----.." "5-4-0---" "4-----..",
                      "r-------", "", &kFluteLead, &kSoftPad, &kRoundBass};

struct Track {
  const char* name;  // under SOUND/BGM/
  const Song* song;
  int transpose;
  double tempo;
  int bars;  // the song's first bars, as a loop of their own; 0 all
  int rate;
};

// The title and town-map music, then the music room's pieces (which the scripts also play):
// six tunes, the rest of the names their variations in key and pace, shorter and at a lower
// rate to keep the build quick.
const Track kTracks[] = {
    {"title.ogg", &kTitleSong, 0, 1.0, 0, 44100},
    {"RZ_MAP.ogg", &kMapSong, 0, 1.0, 0, 44100},
    {"RZ_OP.ogg", &kTitleSong, 2, 1.25, 4, 44100},
    {"RZ_ED.ogg", &kTitleSong, -3, 0.95, 4, 44100},
    {"RZ_bgm02.ogg", &kDaySong, 0, 1.0, 0, 44100},
    {"RZ_bgm03.ogg", &kSadSong, 0, 1.0, 0, 44100},
    {"RZ_bgm04.ogg", &kTenseSong, 0, 1.0, 0, 44100},
    {"RZ_bgm05.ogg", &kNightSong, 0, 1.0, 0, 44100},
    {"RZ_bgm06.ogg", &kMapSong, -2, 0.9, 2, 32000},
    {"RZ_bgm08.ogg", &kDaySong, 3, 1.1, 2, 32000},
    {"RZ_bgm09.ogg", &kSadSong, 5, 1.1, 2, 32000},
    {"RZ_bgm10.ogg", &kTenseSong, 2, 1.15, 4, 32000},
    {"RZ_bgm11.ogg", &kNightSong, -3, 1.1, 2, 32000},
    {"RZ_bgm12.ogg", &kTitleSong, 5, 1.2, 2, 32000},
    {"RZ_bgm13.ogg", &kDaySong, -2, 0.9, 2, 32000},
    {"RZ_bgm14.ogg", &kSadSong, -2, 1.3, 2, 32000},
    {"RZ_bgm15.ogg", &kTenseSong, -3, 0.9, 2, 32000},
    {"RZ_bgm16.ogg", &kNightSong, 4, 1.3, 2, 32000},
    {"RZ_bgm17.ogg", &kMapSong, 3, 1.2, 2, 32000},
    {"RZ_bgm18.ogg", &kDaySong, -5, 1.3, 4, 32000},
    {"RZ_bgm19.ogg", &kSadSong, 2, 0.9, 2, 32000},
};

// ---------------------------------------------------------------- voices

// A speaker: the pitch and size of the voice and the pace of speaking.
struct Speaker {
  double pitch_hz;
  double formant_scale;  // vocal tract: 1 a grown man, higher for shorter tracts
  double syllable_s;
  double breath;         // noise mixed into the voiced sound
  double range;          // semitones of the pitch accent
  uint32_t seed;
};

const Speaker kAkane{235, 1.16, 0.15, 0.04, 3.0, 101};  // clear, mid-high
const Speaker kHina{300, 1.26, 0.12, 0.02, 4.5, 202};   // high, quick, lively
const Speaker kMio{205, 1.10, 0.19, 0.12, 2.0, 303};    // low and breathy, unhurried
const Speaker kMan{118, 1.0, 0.16, 0.05, 2.5, 404};     // a passer-by

struct Formants {
  double f1, f2, f3;
};

Formants VowelFormants(char v) {
  switch (v) {
    case 'a': return {750, 1200, 2500};
    case 'i': return {300, 2250, 3000};
    case 'u': return {350, 1300, 2300};
    case 'e': return {500, 1850, 2550};
    default: return {480, 850, 2450};  // 'o'
  }
}

// One stretch of a syllable: the voiced and noise levels and where the tract is.
struct Segment {
  double seconds;
  double voiced;      // glottal source through the formants
  double aspirate;    // noise through the formants (h, breath)
  double hiss;        // noise through its own band (s, sh, bursts)
  double hiss_hz, hiss_q;
  Formants tract;
  double pitch;       // semitones from the speaker's pitch at the segment's start
};

// Splits "ko n ni chi wa" style text into segments: a syllable is a consonant group and a
// vowel, "n" alone is a nasal, ',' a pause; a final '?' lifts the last vowel, '!' raises all.
std::vector<Segment> Syllables(const Speaker& sp, std::string_view text) {
  std::vector<Segment> out;
  Noise noise(sp.seed + static_cast<uint32_t>(text.size()));
  const bool question = !text.empty() && text.back() == '?';
  const double lift = !text.empty() && text.back() == '!' ? 2.5 : 0;
  size_t syllables = 0;
  for (char c : text) syllables += std::strchr("aiueo", c) != nullptr;
  size_t index = 0;
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = std::min(text.find(' ', at), text.size());
    std::string_view token = text.substr(at, end - at);
    at = end + 1;
    while (!token.empty() && (token.back() == '?' || token.back() == '!')) token.remove_suffix(1);
    if (token.empty()) continue;
    const double decline = 1.5 - 3.5 * static_cast<double>(index) / std::max<size_t>(1, syllables);
    const double accent = lift + decline + sp.range * (noise.Uniform() - 0.35);
    if (token == ",") {
      out.push_back({0.14, 0, 0, 0, 1000, 1, VowelFormants('a'), accent});
      continue;
    }
    if (token == "n") {
      out.push_back({sp.syllable_s * 0.8, 0.6, 0, 0, 1000, 1, {260, 1700, 2600}, accent});
      continue;
    }
    if (!std::strchr("aiueo", token.back())) {  // a doubled consonant: a held closure
      out.push_back({0.07, 0, 0, 0, 1000, 1, VowelFormants('a'), accent});
      continue;
    }
    const char vowel = token.back();
    const std::string_view cons = token.substr(0, token.size() - 1);
    const Formants v = VowelFormants(vowel);
    const double s = sp.syllable_s;
    auto burst = [&](double hz, bool voiced) {
      out.push_back({0.035, voiced ? 0.15 : 0, 0, 0, hz, 1, {250, v.f2, v.f3}, accent});
      out.push_back({0.014, 0, 0, 0.9, hz, 1.5, v, accent});
      if (!voiced) out.push_back({0.02, 0, 0.5, 0, hz, 1, v, accent});
    };
    auto fricative = [&](double hz, double q, bool voiced, double seconds) {
      out.push_back({seconds, voiced ? 0.3 : 0, 0, 0.7, hz, q, v, accent});
    };
    if (cons == "k") burst(1900, false);
    else if (cons == "g") burst(1700, true);
    else if (cons == "t") burst(4200, false);
    else if (cons == "d") burst(3600, true);
    else if (cons == "p") burst(900, false);
    else if (cons == "b") burst(800, true);
    else if (cons == "s") fricative(6500, 2, false, 0.08);
    else if (cons == "z") fricative(6000, 2, true, 0.07);
    else if (cons == "sh") fricative(3300, 1.5, false, 0.09);
    else if (cons == "j") fricative(3000, 1.5, true, 0.06);
    else if (cons == "ch") { burst(3800, false); fricative(3300, 1.5, false, 0.05); }
    else if (cons == "ts") { burst(4500, false); fricative(6500, 2, false, 0.05); }
    else if (cons == "f") fricative(1500, 0.7, false, 0.07);
    else if (cons == "h") out.push_back({0.06, 0, 0.7, 0, 1000, 1, v, accent});
    else if (cons == "m") out.push_back({0.05, 0.5, 0, 0, 1000, 1, {250, 1100, 2300}, accent});
    else if (cons == "n") out.push_back({0.05, 0.5, 0, 0, 1000, 1, {250, 1700, 2600}, accent});
    else if (cons == "r") out.push_back({0.025, 0.6, 0, 0, 1000, 1, {380, 1350, 1700}, accent});
    else if (cons == "y") out.push_back({0.04, 0.9, 0, 0, 1000, 1, VowelFormants('i'), accent});
    else if (cons == "w") out.push_back({0.04, 0.9, 0, 0, 1000, 1, {320, 700, 2300}, accent});
    ++index;
    const bool last = index == syllables;
    const double vowel_s = std::max(0.06, s * (last ? 1.7 : 1.0) - (cons.empty() ? 0 : 0.04));
    out.push_back({vowel_s, 1, 0, 0, 1000, 1, v, accent + (last && question ? 5 : 0)});
  }
  return out;
}

// Speech from segments: a glottal buzz (harmonics falling off like a real source) gliding in
// pitch and three band-passes gliding between formant positions, scaled to the speaker.
void RenderVoice(const Speaker& sp, std::string_view text, Audio& a) {
  const std::vector<Segment> segments = Syllables(sp, text);
  double total = 0.25;  // lead-in and tail
  for (const Segment& s : segments) total += s.seconds;
  a.Resize(total);
  const int harmonics = static_cast<int>(0.45 * a.rate / (sp.pitch_hz * 2));
  const Wavetable glottis(Series(harmonics, 1.1));
  Noise noise(sp.seed);
  BandPass f1, f2, f3, hiss_band;
  double cur_f1 = 500, cur_f2 = 1500, cur_f3 = 2500;
  double cur_pitch = segments.empty() ? 0 : segments[0].pitch;
  double cur_voiced = 0, cur_aspirate = 0, cur_hiss = 0, cur_hiss_hz = 4000;
  const double glide = 1 - std::exp(-1.0 / (0.018 * a.rate));  // formants move in ~20 ms
  const double level = 1 - std::exp(-1.0 / (0.006 * a.rate));  // levels in ~6 ms
  const double pitch_glide = 1 - std::exp(-1.0 / (0.05 * a.rate));
  double phase = 0;
  size_t frame = static_cast<size_t>(0.08 * a.rate);
  for (size_t k = 0; k <= segments.size(); ++k) {
    // After the last segment, a silent tail lets the levels settle to zero.
    const Segment s = k < segments.size() ? segments[k]
                                          : Segment{0.15, 0, 0, 0, 4000, 1,
                                                    {cur_f1, cur_f2, cur_f3}, cur_pitch};
    const size_t n = static_cast<size_t>(s.seconds * a.rate);
    for (size_t i = 0; i < n && frame < a.Frames(); ++i, ++frame) {
      cur_f1 += (s.tract.f1 * sp.formant_scale - cur_f1) * glide;
      cur_f2 += (s.tract.f2 * sp.formant_scale - cur_f2) * glide;
      cur_f3 += (s.tract.f3 * sp.formant_scale - cur_f3) * glide;
      cur_pitch += (s.pitch - cur_pitch) * pitch_glide;
      cur_voiced += (s.voiced - cur_voiced) * level;
      cur_aspirate += (s.aspirate + sp.breath * s.voiced - cur_aspirate) * level;
      cur_hiss += (s.hiss - cur_hiss) * level;
      cur_hiss_hz = s.hiss_hz;
      if (frame % 16 == 0) {
        f1.Set(cur_f1, cur_f1 / 80, a.rate);
        f2.Set(cur_f2, cur_f2 / 100, a.rate);
        f3.Set(cur_f3, cur_f3 / 150, a.rate);
        hiss_band.Set(cur_hiss_hz, s.hiss_q, a.rate);
      }
      const double t = static_cast<double>(frame) / a.rate;
      const double wobble = 0.15 * std::sin(kTau * 5.5 * t);  // a little vibrato, in semitones
      const double hz = sp.pitch_hz * std::pow(2.0, (cur_pitch + wobble) / 12);
      phase += hz / a.rate;
      const double white = noise.White();
      const double source = cur_voiced * glottis.At(phase) + cur_aspirate * white;
      const double tract = f1.Run(source) + 0.55 * f2.Run(source) + 0.25 * f3.Run(source);
      a.At(frame, 0) = static_cast<float>(tract + cur_hiss * 0.6 * hiss_band.Run(white));
    }
  }
  EdgeFades(a, 0.01, 0.03);
  Normalise(a, 0.7);
}

struct VoiceLine {
  const char* name;  // under SOUND/VOICE/, without ".ogg": speaker prefix and number
  const Speaker* speaker;
  const char* text;
};

const VoiceLine kVoiceLines[] = {
    {"akane_0001", &kAkane, "o ha yo u , ki yo u mo ha ya i ne"},
    {"akane_0002", &kAkane, "cho t to ma t te yo!"},
    {"akane_0003", &kAkane, "na ni ka a t ta no?"},
    {"hina_0001", &kHina, "se n pa i , ko c chi ko c chi!"},
    {"hina_0002", &kHina, "e he he , hi mi tsu de su"},
    {"hina_0003", &kHina, "ho n to ni?"},
    {"mio_0001", &kMio, "so u ne , a me ga fu ri so u"},
    {"mio_0002", &kMio, "wa ta shi wa , ko ko de ma tsu wa"},
    {"mio_0003", &kMio, "a ri ga to u"},
    {"man_0001", &kMan, "i ra s sha i ma se"},
};

// ---------------------------------------------------------------- the table of files

struct Effect {
  const char* path;  // under SOUND/SE/
  int rate;
  int channels;
  void (*make)(Audio& audio);
};

const Effect kEffects[] = {
    {"SYSTEM/ok.wav", 22050, 1, MakeOk},
    {"SYSTEM/cancel.wav", 22050, 1, MakeCancel},
    {"SYSTEM/logo.wav", 44100, 2, MakeLogo},
    {"SYSTEM/test.wav", 22050, 1, MakeTest},
    {"SYSTEM/watch01.wav", 22050, 1, MakeWatch},
    {"SYSTEM/beep01.wav", 22050, 1, MakeBeep01},
    {"SYSTEM/beep02.wav", 22050, 1, MakeBeep02},
    {"chime.wav", 44100, 2, MakeChime},
    {"door.wav", 22050, 1, MakeDoor},
    {"footsteps.wav", 22050, 1, MakeFootsteps},
    {"rain.wav", 44100, 2, MakeRain},
    {"engine.wav", 22050, 1, MakeEngine},
};

struct Job {
  std::string path;  // under the files folder
  int rate;
  int channels;
  float quality;  // Vorbis quality; unused for WAV
  std::function<void(Audio&)> make;
};

std::vector<Job> Jobs() {
  std::vector<Job> jobs;
  // Music first: the longest jobs start early, so the threads finish together.
  for (const Track& t : kTracks)
    jobs.push_back({std::string("SOUND/BGM/") + t.name, t.rate, 2, 0.3f,
                    [&t](Audio& a) { RenderSong(*t.song, t.transpose, t.tempo, t.bars, a); }});
  for (const VoiceLine& v : kVoiceLines)
    jobs.push_back({std::string("SOUND/VOICE/") + v.name + ".ogg", 22050, 1, 0.3f,
                    [&v](Audio& a) { RenderVoice(*v.speaker, v.text, a); }});
  for (const Effect& e : kEffects)
    jobs.push_back({std::string("SOUND/SE/") + e.path, e.rate, e.channels, 0, e.make});
  return jobs;
}

bool Run(const stdfs::path& files_dir, const Job& job) {
  Audio audio;
  audio.rate = job.rate;
  audio.channels = job.channels;
  job.make(audio);
  // An empty or broken render (a table entry that does not fit, a NaN) must fail the build.
  if (audio.samples.empty() ||
      !std::all_of(audio.samples.begin(), audio.samples.end(),
                   [](float v) { return std::isfinite(v); }))
    return false;
  const stdfs::path target = files_dir / job.path;
  std::error_code error;
  stdfs::create_directories(target.parent_path(), error);
  if (error) return false;
  if (target.extension() == ".wav") return WriteWav(target, audio);
  return WriteOgg(target, audio, job.quality);
}

}  // namespace

int MakeSounds(const stdfs::path& files_dir) {
  const std::vector<Job> jobs = Jobs();
  std::atomic<size_t> next{0};
  std::atomic<int> failed{0};
  std::mutex report;
  auto worker = [&] {
    for (size_t i = next++; i < jobs.size(); i = next++) {
      if (Run(files_dir, jobs[i])) continue;
      ++failed;
      std::lock_guard<std::mutex> lock(report);
      std::fprintf(stderr, "democontent: cannot write %s\n", (files_dir / jobs[i].path).c_str());
    }
  };
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  std::vector<std::thread> pool;
  for (unsigned t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();
  return failed;
}
