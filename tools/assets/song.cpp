// Synthesises the demo's song and writes it as a 16-bit stereo WAV file at 44.1 kHz.
//
//   asset-song [--shift-frames N] OUT.wav   the song, moved N frames earlier
//   asset-song --probe OUT.wav              a four-second calibration signal
//
// The demo's clock is the decoder's position in the MP3, and the MP3 decoder hands out the
// encoder's priming samples as if they were music. Moving the song earlier by exactly that many
// frames (measured with asset-mp3-delay on the probe) puts every kick onset, as decoded, on a
// multiple of 0.6 s.
//
// The piece runs at 100 beats per minute in A minor, 310 beats (186 s). Every beat from 1 to 290
// starts with a kick, except the break of beats 153 to 160. Beat 0 carries no onset: the first
// decoded frames are the encoder's silent priming, so nothing can start at exactly 0 s.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "demo/timeline.h"
#include "tools/assets/prng.h"

namespace tc {
namespace {

constexpr int kRate = 44100;
constexpr int64_t kBeatFrames = BeatSampleFrames(kRate);  // 0.6 s
constexpr int64_t kStepFrames = kBeatFrames / 4;          // a sixteenth note
constexpr int kSongBeats = 310;
// The closing hit: the beat whose first frame ends the show.
constexpr int kLastKickBeat = kLastBeat + 1;
constexpr int kBreakFirst = 153;
constexpr int kBreakLast = 160;
constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 2.0f * kPi;

struct Stereo {
  std::vector<float> l, r;
  explicit Stereo(size_t frames) : l(frames, 0.0f), r(frames, 0.0f) {}
  int64_t Frames() const { return static_cast<int64_t>(l.size()); }
  void Add(int64_t i, float left, float right) {
    if (i < 0 || i >= Frames()) return;
    l[static_cast<size_t>(i)] += left;
    r[static_cast<size_t>(i)] += right;
  }
};

int64_t BeatFrame(double beat) {
  return BeatStartSampleFrame(beat, kRate);
}
float Seconds(int64_t frames) {
  return static_cast<float>(frames) / kRate;
}
float MidiHz(float note) {
  return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f);
}

// Equal-power pan, -1 (left) to 1 (right).
void PanGains(float pan, float* left, float* right) {
  const float a = (pan + 1.0f) * kPi * 0.25f;
  *left = std::cos(a);
  *right = std::sin(a);
}

// Band-limited step correction for the saw and pulse oscillators (removes most aliasing).
float PolyBlep(float t, float dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0f;
  }
  if (t > 1.0f - dt) {
    t = (t - 1.0f) / dt;
    return t * t + t + t + 1.0f;
  }
  return 0.0f;
}

// Trapezoidal state-variable filter: stable at any cutoff, so it can be swept per block.
class Svf {
 public:
  void Set(float hz, float q) {
    const float g = std::tan(kPi * std::fmin(hz, 0.45f * kRate) / kRate);
    k_ = 1.0f / q;
    a1_ = 1.0f / (1.0f + g * (g + k_));
    a2_ = g * a1_;
    a3_ = g * a2_;
  }
  void Run(float x) {
    const float v3 = x - ic2_;
    const float v1 = a1_ * ic1_ + a2_ * v3;
    const float v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
    ic1_ = 2.0f * v1 - ic1_;
    ic2_ = 2.0f * v2 - ic2_;
    low = v2;
    band = v1;
    high = x - k_ * v1 - v2;
  }
  float low = 0, band = 0, high = 0;

 private:
  float k_ = 1, a1_ = 0, a2_ = 0, a3_ = 0, ic1_ = 0, ic2_ = 0;
};

// --- Harmony: a four-chord cycle, two bars (eight beats) per chord
// --------------------------------

struct Chord {
  int root;      // bass note (MIDI)
  int tones[4];  // pad voicing (MIDI)
};

const Chord kChords[4] = {
    {33, {57, 60, 64, 71}},  // A minor, added ninth
    {29, {53, 57, 60, 64}},  // F major seventh
    {38, {50, 53, 57, 62}},  // D minor
    {28, {52, 56, 59, 62}},  // E dominant seventh, back to A minor
};

const Chord& ChordAt(int beat) {
  return kChords[(beat / 8) % 4];
}

// The lead's phrase over each chord: start (beats into the chord), length (beats), note.
struct Note {
  float start, length;
  int midi;
};
const std::vector<Note> kPhrases[4] = {
    {{0, 1.5f, 76}, {1.5f, 0.5f, 74}, {2, 1, 72}, {3, 1, 71}, {4, 2, 72}, {6, 2, 69}},
    {{0, 1.5f, 72}, {1.5f, 0.5f, 71}, {2, 1, 69}, {3, 1, 67}, {4, 3, 69}, {7, 1, 72}},
    {{0, 1, 74}, {1, 1, 72}, {2, 1, 69}, {3, 1, 65}, {4, 2, 69}, {6, 2, 74}},
    {{0, 2, 71}, {2, 1, 68}, {3, 1, 71}, {4, 4, 76}},
};

// --- Sections, by beat
// ------------------------------------------------------------------------------

bool KickOn(int b) {
  return b >= 1 && b <= kLastKickBeat && !(b >= kBreakFirst && b <= kBreakLast);
}
bool InBreak(int b) {
  return b >= kBreakFirst && b <= kBreakLast;
}
bool SecondPeak(int b) {
  return b >= 161 && b <= 182;
}
bool FullGroove(int b) {
  return (b >= 48 && b < kBreakFirst) || (b > kBreakLast && b < 282);
}

float KickGain(int b) {
  if (b < 32) return 0.5f;   // quiet opening: the central cube alone
  if (b < 48) return 0.75f;  // the wall
  if (b < 282) return 1.0f;
  if (b < kLastKickBeat) return 0.8f;  // outro
  return 1.0f;                         // the closing hit
}

// How far the other instruments duck under each kick (a side-chain pump).
float DuckDepth(int b) {
  return b < 32 ? 0.5f : 0.75f;
}

// Pad brightness in Hz, following the sections: opening slowly in the intro, wide open in the
// break's sweep and the second peak, closing down over the ending.
float ExpLerp(float a, float b, float t) {
  return a * std::pow(b / a, std::fmin(1.0f, std::fmax(0.0f, t)));
}
float PadCutoff(float beat) {
  if (beat < 32) return ExpLerp(350, 1400, beat / 32);
  if (beat < 48) return ExpLerp(1400, 2200, (beat - 32) / 16);
  if (beat < kBreakFirst) return 2400;
  if (beat < 161) return ExpLerp(800, 5000, (beat - kBreakFirst) / 8);
  if (beat < 183) return 4000;
  if (beat < 250) return 2600;
  if (beat < kLastKickBeat) return ExpLerp(2600, 900, (beat - 250) / 40);
  return ExpLerp(900, 250, (beat - kLastKickBeat) / 16);
}

// --- Instruments
// ------------------------------------------------------------------------------------

void Kick(Stereo& bus, int64_t start, float gain, Prng& rng) {
  const int64_t n = BeatFrame(0.75);
  float phase = 0.0f;
  for (int64_t i = 0; i < n; ++i) {
    const float t = Seconds(i);
    const float hz = 44.0f + 120.0f * std::exp(-t / 0.025f);
    const float fade = std::fmin(1.0f, static_cast<float>(n - i) / 400.0f);
    const float body = std::sin(phase) * std::exp(-t / 0.22f);
    const float click = rng.Signed() * 0.35f * std::exp(-t / 0.0015f);
    const float s = gain * fade * (body + click);
    bus.Add(start + i, s, s);
    phase += kTwoPi * hz / kRate;
    if (phase > kTwoPi) phase -= kTwoPi;
  }
}

void Snare(Stereo& bus, int64_t start, float gain, Prng& rng) {
  const int64_t n = static_cast<int64_t>(0.3f * kRate);
  float lp = 0.0f;
  for (int64_t i = 0; i < n; ++i) {
    const float t = Seconds(i);
    const float x = rng.Signed();
    lp += 0.25f * (x - lp);
    const float noise = (x - lp) * std::exp(-t / 0.11f);
    const float tone = 0.5f * std::sin(kTwoPi * 190.0f * t) * std::exp(-t / 0.05f);
    const float fade = std::fmin(1.0f, static_cast<float>(n - i) / 300.0f);
    const float s = gain * fade * (noise + tone);
    bus.Add(start + i, s * 0.95f, s);
  }
}

void Hat(Stereo& bus, int64_t start, float gain, float decay, float pan, Prng& rng) {
  const int64_t n = static_cast<int64_t>(5.0f * decay * kRate);
  float lp1 = 0.0f, lp2 = 0.0f, gl = 0.0f, gr = 0.0f;
  PanGains(pan, &gl, &gr);
  for (int64_t i = 0; i < n; ++i) {
    const float x = rng.Signed();
    lp1 += 0.55f * (x - lp1);
    const float h1 = x - lp1;
    lp2 += 0.55f * (h1 - lp2);
    const float fade = std::fmin(1.0f, static_cast<float>(n - i) / 200.0f);
    const float s = gain * fade * (h1 - lp2) * std::exp(-Seconds(i) / decay);
    bus.Add(start + i, gl * s, gr * s);
  }
}

void Crash(Stereo& bus, int64_t start, float gain, Prng& rng) {
  const int64_t n = static_cast<int64_t>(4.0f * kRate);
  float lpl = 0.0f, lpr = 0.0f;
  for (int64_t i = 0; i < n; ++i) {
    const float env = gain * std::exp(-Seconds(i) / 1.1f) * std::fmin(1.0f, (n - i) / 2000.0f);
    const float xl = rng.Signed(), xr = rng.Signed();
    lpl += 0.35f * (xl - lpl);
    lpr += 0.35f * (xr - lpr);
    bus.Add(start + i, env * (xl - lpl), env * (xr - lpr));
  }
}

void Bass(Stereo& bus, int64_t start, int64_t length, int midi, float gain, float cutoff) {
  const float hz = MidiHz(static_cast<float>(midi));
  const float dt = hz / kRate;
  const int64_t release = 900;
  Svf filter;
  float phase = 0.0f, sub = 0.0f;
  for (int64_t i = 0; i < length + release; ++i) {
    if (i % 32 == 0) filter.Set(cutoff * (1.0f + 3.0f * std::exp(-Seconds(i) / 0.04f)), 1.2f);
    const float saw = 2.0f * phase - 1.0f - PolyBlep(phase, dt);
    filter.Run(saw + 0.8f * std::sin(sub));
    float env = std::fmin(1.0f, static_cast<float>(i) / 120.0f);
    if (i > length) env *= 1.0f - static_cast<float>(i - length) / release;
    const float s = gain * env * filter.low;
    bus.Add(start + i, s, s);
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
    sub += kPi * dt;  // one octave below
    if (sub > kTwoPi) sub -= kTwoPi;
  }
}

// One plucked note of the arpeggio: a narrow pulse through a low-pass filter.
void Pluck(Stereo& bus, int64_t start, int midi, float gain, float pan, float cutoff) {
  const int64_t n = static_cast<int64_t>(0.3f * kRate);
  const float dt = MidiHz(static_cast<float>(midi)) / kRate;
  float gl = 0.0f, gr = 0.0f;
  PanGains(pan, &gl, &gr);
  Svf filter;
  filter.Set(cutoff, 0.9f);
  float phase = 0.0f;
  for (int64_t i = 0; i < n; ++i) {
    const float t = Seconds(i);
    float shifted = phase + 0.65f;
    if (shifted >= 1.0f) shifted -= 1.0f;
    const float pulse =
        (PolyBlep(phase, dt) - PolyBlep(shifted, dt)) + (phase < 0.35f ? 1.0f : -1.0f);
    filter.Run(pulse);
    const float env = std::fmin(1.0f, i / 80.0f) * std::exp(-t / 0.09f) *
                      std::fmin(1.0f, static_cast<float>(n - i) / 200.0f);
    const float s = gain * env * filter.low;
    bus.Add(start + i, gl * s, gr * s);
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
  }
}

// The lead voice: two detuned saws with a delayed vibrato.
void Lead(Stereo& bus, int64_t start, int64_t length, int midi, float gain) {
  const int64_t release = static_cast<int64_t>(0.08f * kRate);
  const float hz = MidiHz(static_cast<float>(midi));
  Svf filter;
  filter.Set(2800.0f, 0.8f);
  float p1 = 0.0f, p2 = 0.5f;
  for (int64_t i = 0; i < length + release; ++i) {
    const float t = Seconds(i);
    const float vib = 1.0f + 0.004f * std::fmin(1.0f, std::fmax(0.0f, t - 0.2f) * 3.0f) *
                                 std::sin(kTwoPi * 5.2f * t);
    const float d1 = hz * vib * 1.0035f / kRate, d2 = hz * vib * 0.9965f / kRate;
    filter.Run((2.0f * p1 - 1.0f - PolyBlep(p1, d1)) + (2.0f * p2 - 1.0f - PolyBlep(p2, d2)));
    float env = std::fmin(1.0f, i / 400.0f);
    if (i > length) env *= 1.0f - static_cast<float>(i - length) / release;
    const float s = gain * env * filter.low;
    bus.Add(start + i, s * 0.9f, s);
    p1 += d1;
    if (p1 >= 1.0f) p1 -= 1.0f;
    p2 += d2;
    if (p2 >= 1.0f) p2 -= 1.0f;
  }
}

// Band-passed noise sweeping upwards, cut off a sixteenth before the next section.
void Riser(Stereo& bus, int64_t start, int64_t end, float gain, Prng& rng) {
  Svf fl, fr;
  for (int64_t i = 0; start + i < end; ++i) {
    const float t = static_cast<float>(i) / static_cast<float>(end - start);
    if (i % 32 == 0) {
      fl.Set(ExpLerp(300.0f, 7000.0f, t), 3.0f);
      fr.Set(ExpLerp(320.0f, 7400.0f, t), 3.0f);
    }
    fl.Run(rng.Signed());
    fr.Run(rng.Signed());
    const float env = gain * t * t * std::fmin(1.0f, static_cast<float>(end - start - i) / 100.0f);
    bus.Add(start + i, env * fl.band, env * fr.band);
  }
}

// Pad chords: three detuned saws per chord tone, spread across the stereo field. The bus is
// filtered afterwards with the section's brightness.
void PadChord(Stereo& bus, int64_t start, int64_t length, const int* tones, int count, float gain,
              float attack, float decay, Prng& rng) {
  const int64_t release = static_cast<int64_t>(0.3f * kRate);
  const float detune[3] = {-0.12f, 0.0f, 0.12f};
  const float pans[3] = {-0.7f, 0.0f, 0.7f};
  for (int v = 0; v < count; ++v) {
    for (int d = 0; d < 3; ++d) {
      const float dt = MidiHz(static_cast<float>(tones[v]) + detune[d]) / kRate;
      float gl = 0.0f, gr = 0.0f;
      PanGains(pans[d], &gl, &gr);
      float phase = rng.Unit();
      for (int64_t i = 0; i < length + release; ++i) {
        const float t = Seconds(i);
        float env = std::fmin(1.0f, t / attack);
        if (decay > 0.0f) env *= std::exp(-t / decay);
        if (i > length) env *= 1.0f - static_cast<float>(i - length) / release;
        const float s = gain * env * (2.0f * phase - 1.0f - PolyBlep(phase, dt));
        bus.Add(start + i, gl * s, gr * s);
        phase += dt;
        if (phase >= 1.0f) phase -= 1.0f;
      }
    }
  }
}

void FilterPad(Stereo& pad) {
  Svf fl, fr;
  for (int64_t i = 0; i < pad.Frames(); ++i) {
    if (i % 64 == 0) {
      const float hz = PadCutoff(static_cast<float>(i) / kBeatFrames);
      fl.Set(hz, 0.9f);
      fr.Set(hz, 0.9f);
    }
    fl.Run(pad.l[static_cast<size_t>(i)]);
    fr.Run(pad.r[static_cast<size_t>(i)]);
    pad.l[static_cast<size_t>(i)] = fl.low;
    pad.r[static_cast<size_t>(i)] = fr.low;
  }
}

// Ping-pong echo three sixteenths late, so echoes fall between the beats.
void PingPong(Stereo& bus, float feedback, float wet) {
  const int64_t d = 3 * kStepFrames;
  std::vector<float> el(bus.l.size(), 0.0f), er(bus.r.size(), 0.0f);
  for (int64_t i = d; i < bus.Frames(); ++i) {
    const size_t j = static_cast<size_t>(i), k = static_cast<size_t>(i - d);
    el[j] = 0.5f * (bus.l[k] + bus.r[k]) + feedback * er[k];
    er[j] = feedback * el[k];
  }
  for (size_t j = 0; j < el.size(); ++j) {
    bus.l[j] += wet * el[j];
    bus.r[j] += wet * er[j];
  }
}

// Gain of everything but the kick at frame i: it fades down 25 ms before each kick and stays low
// for the last 15 ms, so the kick's onset rises out of a quiet gap; then it swells back over the
// beat.
float Duck(int64_t i) {
  const int b = static_cast<int>(i / kBeatFrames);
  const float into = Seconds(i % kBeatFrames);
  const float left = Seconds(kBeatFrames - i % kBeatFrames);
  float g = 1.0f;
  if (KickOn(b)) g = 1.0f - DuckDepth(b) * std::exp(-into / 0.11f);
  if (KickOn(b + 1) && left < 0.025f) {
    g *= 0.15f + 0.85f * std::fmin(1.0f, std::fmax(0.0f, (left - 0.015f) / 0.01f));
  }
  return g;
}

// --- The arrangement
// --------------------------------------------------------------------------------

Stereo Compose() {
  const int64_t frames = BeatFrame(kSongBeats);
  Stereo kick(frames), drums(frames), bass(frames), pad(frames), lead(frames), fx(frames);
  Prng rng(20240601u);

  for (int b = 0; b < kSongBeats; ++b) {
    if (KickOn(b)) Kick(kick, BeatFrame(b), KickGain(b), rng);
    const Chord& chord = ChordAt(b);
    for (int s = 0; s < 4; ++s) {
      const int64_t at = BeatFrame(b) + s * kStepFrames;
      const int step = b * 4 + s;
      // Hats: off-beats from beat 16, sixteenths from the wall on, open in the second peak.
      if (b >= 16 && b < 32 && s == 2) Hat(drums, at, 0.12f, 0.03f, 0.3f, rng);
      if (b >= 32 && b < 48) {
        if (s == 2) Hat(drums, at, 0.22f, 0.035f, 0.3f, rng);
        if (s % 2 == 1) Hat(drums, at, 0.08f, 0.025f, -0.3f, rng);
      }
      if (FullGroove(b) && !SecondPeak(b)) {
        if (s == 2) Hat(drums, at, 0.25f, 0.035f, 0.3f, rng);
        if (s % 2 == 1) Hat(drums, at, 0.1f, 0.025f, -0.3f, rng);
      }
      if (SecondPeak(b)) {
        if (s == 2) Hat(drums, at, 0.22f, 0.14f, 0.3f, rng);
        if (s % 2 == 1) Hat(drums, at, 0.12f, 0.025f, -0.3f, rng);
        if (s == 0) Hat(drums, at, 0.08f, 0.02f, 0.0f, rng);
      }
      if (b >= 282 && b < kLastKickBeat && s == 2) Hat(drums, at, 0.15f, 0.03f, 0.3f, rng);

      // Snare: a roll into the lattice drop, then the backbeat.
      if (b >= 44 && b < 48) Snare(drums, at, 0.08f + 0.3f * (step - 176) / 16.0f, rng);
      if (FullGroove(b) && s == 0 && b % 2 == 1) Snare(drums, at, 0.45f, rng);
      if (SecondPeak(b) && b % 4 == 3 && s == 2) Snare(drums, at, 0.2f, rng);

      // Bass: off-beat eighths at the wall, rolling staccato sixteenths (never on the beat)
      // afterwards, each one over well before the next beat's kick.
      const int root = chord.root;
      if (b >= 32 && b < 48 && s == 2) Bass(bass, at, 5500, root, 0.35f, 500.0f);
      if (FullGroove(b) && b < 266 && s != 0) {
        Bass(bass, at, 4000, s == 2 ? root : root + 12, SecondPeak(b) ? 0.34f : 0.3f,
             SecondPeak(b) ? 900.0f : 600.0f);
      }
      if (b >= 266 && b < kLastKickBeat && s == 2) Bass(bass, at, 5500, root, 0.3f, 500.0f);

      // Arpeggio: enters with the ring at beat 65; doubled an octave up in the second peak.
      static const int kArp[8] = {0, 2, 1, 3, 2, 0, 3, 1};
      const int note = chord.tones[kArp[step % 8]] + 12;
      const float pan = step % 2 == 0 ? -0.3f : 0.3f;
      if (b >= 65 && b < 266) {
        const float gain = InBreak(b) ? 0.07f : 0.12f;
        Pluck(lead, at, note, gain, pan, InBreak(b) ? 1200.0f : 3000.0f);
        if (SecondPeak(b)) Pluck(lead, at, note + 12, 0.06f, -pan, 4000.0f);
      }
    }
  }

  // Lead melody: the second half of the ring's first run, and the second peak.
  for (int seg = 0; seg < kSongBeats; seg += 8) {
    const bool first = seg >= 128 && seg < kBreakFirst - 1;
    const bool second = seg >= 160 && seg < 183;
    if (!first && !second) continue;
    for (const Note& n : kPhrases[(seg / 8) % 4]) {
      const float beat = static_cast<float>(seg) + n.start;
      if (second && (beat < 161.0f || beat >= 183.0f)) continue;
      Lead(lead, BeatFrame(beat), BeatFrame(n.length) - 2000, n.midi, 0.07f);
    }
  }

  // Pads: a chord every two bars, fading in from nothing at the start.
  for (int seg = 0; seg < kLastKickBeat; seg += 8) {
    const int begin = seg;
    const int end = std::min(seg + 8, kLastKickBeat);
    const float attack = seg == 0 ? 4.0f : 0.06f;
    const float gain = seg < 32 ? 0.035f : InBreak(seg) || InBreak(seg + 7) ? 0.06f : 0.045f;
    PadChord(pad, BeatFrame(begin), BeatFrame(end - begin), ChordAt(seg).tones, 4, gain, attack,
             0.0f, rng);
  }
  // The closing chord on beat 290: A minor over two octaves, dying away to the end of the file.
  const int final_chord[6] = {45, 52, 57, 60, 64, 69};
  PadChord(pad, BeatFrame(kLastKickBeat), BeatFrame(kSongBeats - kLastKickBeat) - 14000,
           final_chord, 6, 0.05f, 0.004f, 2.5f, rng);
  Bass(bass, BeatFrame(kLastKickBeat), BeatFrame(4), 33, 0.35f, 400.0f);

  for (int b : {32, 48, 65, 128, 161, 183})
    Crash(fx, BeatFrame(b), b == 161 ? 0.3f : 0.22f, rng);
  Crash(fx, BeatFrame(kLastKickBeat), 0.3f, rng);
  Riser(fx, BeatFrame(28), BeatFrame(31.75), 0.12f, rng);
  Riser(fx, BeatFrame(kBreakFirst), BeatFrame(160.75), 0.3f, rng);

  FilterPad(pad);
  PingPong(lead, 0.35f, 0.35f);

  Stereo mix(static_cast<size_t>(frames));
  for (int64_t i = 0; i < frames; ++i) {
    const size_t j = static_cast<size_t>(i);
    const float g = Duck(i);
    mix.l[j] = kick.l[j] + g * (drums.l[j] + bass.l[j] + pad.l[j] + lead.l[j] + fx.l[j]);
    mix.r[j] = kick.r[j] + g * (drums.r[j] + bass.r[j] + pad.r[j] + lead.r[j] + fx.r[j]);
  }
  // The kick's pitch drop leaves a slight offset; a 10 Hz high-pass takes it out.
  const float r = 1.0f - kTwoPi * 10.0f / kRate;
  float xl = 0.0f, xr = 0.0f, yl = 0.0f, yr = 0.0f;
  for (size_t j = 0; j < mix.l.size(); ++j) {
    yl = mix.l[j] - xl + r * yl;
    yr = mix.r[j] - xr + r * yr;
    xl = mix.l[j];
    xr = mix.r[j];
    mix.l[j] = yl;
    mix.r[j] = yr;
  }
  return mix;
}

// Kicks with a noise click at irregular times: something a cross-correlation locks onto.
Stereo Probe() {
  Stereo probe(static_cast<size_t>(4 * kRate));
  Prng rng(7u);
  for (float t : {1.0f, 2.2f, 3.1f}) {
    const int64_t at = static_cast<int64_t>(std::lround(t * kRate));
    Kick(probe, at, 0.8f, rng);
    Hat(probe, at, 0.4f, 0.05f, 0.0f, rng);
  }
  return probe;
}

// --- Output
// -----------------------------------------------------------------------------------------

void PutLe(std::vector<unsigned char>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// Scales the whole piece to a peak of -1 dBFS and writes it from frame `skip` on.
bool WriteWav(const char* path, const Stereo& audio, int64_t skip) {
  float peak = 1e-9f;
  for (size_t j = 0; j < audio.l.size(); ++j) {
    peak = std::fmax(peak, std::fmax(std::fabs(audio.l[j]), std::fabs(audio.r[j])));
  }
  const float scale = 0.89f / peak * 32767.0f;
  const uint32_t frames = static_cast<uint32_t>(audio.Frames() - skip);
  const uint32_t bytes = frames * 4;
  std::vector<unsigned char> out;
  out.reserve(44 + bytes);
  const char* riff = "RIFF";
  out.insert(out.end(), riff, riff + 4);
  PutLe(out, 36 + bytes, 4);
  const char* head = "WAVEfmt ";
  out.insert(out.end(), head, head + 8);
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);  // PCM
  PutLe(out, 2, 2);
  PutLe(out, kRate, 4);
  PutLe(out, kRate * 4, 4);
  PutLe(out, 4, 2);
  PutLe(out, 16, 2);
  const char* data = "data";
  out.insert(out.end(), data, data + 4);
  PutLe(out, bytes, 4);
  for (int64_t i = skip; i < audio.Frames(); ++i) {
    for (float v : {audio.l[static_cast<size_t>(i)], audio.r[static_cast<size_t>(i)]}) {
      const long q = std::lround(std::fmax(-32768.0f, std::fmin(32767.0f, v * scale)));
      PutLe(out, static_cast<uint32_t>(static_cast<int16_t>(q)), 2);
    }
  }
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  return std::fclose(f) == 0 && ok;
}

int Fail(const char* message) {
  std::fprintf(stderr, "asset-song: %s\n", message);
  return 1;
}

}  // namespace
}  // namespace tc

int main(int argc, char** argv) {
  bool probe = false;
  long shift = 0;
  const char* out = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--probe") == 0) {
      probe = true;
    } else if (std::strcmp(argv[i], "--shift-frames") == 0 && i + 1 < argc) {
      char* end = nullptr;
      shift = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || shift < 0 || shift > 44100) return tc::Fail("bad --shift-frames value");
    } else if (out == nullptr && argv[i][0] != '-') {
      out = argv[i];
    } else {
      return tc::Fail("usage: asset-song [--probe | --shift-frames N] OUT.wav");
    }
  }
  if (out == nullptr) return tc::Fail("usage: asset-song [--probe | --shift-frames N] OUT.wav");
  const tc::Stereo audio = probe ? tc::Probe() : tc::Compose();
  if (!tc::WriteWav(out, audio, probe ? 0 : shift)) return tc::Fail("cannot write the WAV file");
  return 0;
}
