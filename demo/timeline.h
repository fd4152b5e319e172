// The song-driven clock: the song position becomes the frame's timing, the texture flicker, the
// once-per-beat event and the beat windows that decide which formations are on screen.
#pragma once

#include <cstdint>
#include <iosfwd>

#include "demo/ring.h"

namespace tc {

struct FrameTiming {
  float songSeconds;
  float jitterSeconds;  // songSeconds plus a random 0..9 ms; drives the X and Z spin
  float beat;           // floor(songSeconds / 0.6), kept as a float
};

// The choreography's state across frames. Never reset: one run, one DemoState.
struct DemoState {
  float lastBeat = -1.0f;
  int32_t textureIndex = 0;
  RingState ring;
};

constexpr float kBeatSeconds = 0.6f;
constexpr int kTextureCount = 3;

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
  return beat > 289.0f;
}

}  // namespace tc
