// The song-driven clock: the song position becomes the frame's timing, the texture flicker, the
// once-per-beat event and the beat windows that decide which formations are on screen.
#pragma once

#include <math.h>

#include <cstdint>
#include <iosfwd>

#include "demo/ring.h"

namespace tc {

struct FrameTiming {
  float songSeconds;
  float jitterSeconds;  // songSeconds plus a random 0..9 ms; drives the X and Z spin
  float beat;           // floor(songSeconds / 0.6), kept as a float
};

// The choreography's state across the frames of one run. A new run (a loop's restart, the page's
// "play again") starts from a fresh DemoState, never from a partly cleared one.
struct DemoState {
  float lastBeat = -1.0f;
  int32_t textureIndex = 0;
  RingState ring;
};

// 100 beats to the minute: 0.6 s, which the frame pass divides by as the float below, and a whole
// number of audio frames at any common sample rate.
constexpr int kBeatsPerMinute = 100;
constexpr float kBeatSeconds = 0.6f;
// The show's last beat. The first frame of the beat after it ends the show: the song's closing
// hit falls on that beat.
constexpr int kLastBeat = 289;
constexpr int kTextureCount = 3;

// The beat a song time lies in, as the frame pass counts: a single-precision division, floored,
// kept as a float. Near a beat's start this can differ from the exact decimal quotient.
inline float BeatAt(float songSeconds) {
  return floorf(songSeconds / kBeatSeconds);
}

// Audio frames in one beat at `sampleRate`: exact when the rate is a multiple of 5 (26460 at
// 44.1 kHz), so beats never drift against the samples.
constexpr int64_t BeatSampleFrames(int sampleRate) {
  return static_cast<int64_t>(sampleRate) * 60 / kBeatsPerMinute;
}
// The audio frame at which `beat` starts, fractions of a beat included, to the nearest frame.
inline int64_t BeatStartSampleFrame(double beat, int sampleRate) {
  return static_cast<int64_t>(llround(beat * static_cast<double>(BeatSampleFrames(sampleRate))));
}

// Draws exactly one value from the C library's unseeded rand().
FrameTiming ComputeFrameTiming(float songSeconds);

// Advances the texture index during even whole seconds; true when it changed.
bool StepTextureCycle(DemoState& state, const FrameTiming& timing);

// Fires once per new beat: records it and writes the beat line to `out` (no flush).
bool HandleNewBeat(DemoState& state, const FrameTiming& timing, std::ostream& out);

inline bool WallActive(float beat) {
  return 31.0f < beat && beat < 48.0f;
}
inline bool LatticeActive(float beat) {
  return (48.0f <= beat && beat < 80.0f) || (161.0f <= beat && beat < 183.0f);
}
inline bool LatticeWobble(float beat) {
  return beat > 161.0f;
}
inline bool RingActive(float beat) {
  return beat > 64.0f;
}
inline bool RingWobble(float beat) {
  return beat > 127.0f;
}
inline bool TimelineEnded(float beat) {
  return beat > static_cast<float>(kLastBeat);
}

}  // namespace tc
