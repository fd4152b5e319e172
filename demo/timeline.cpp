#include "demo/timeline.h"

#include <stdlib.h>

#include <ostream>

namespace tc {
namespace {

// Truncation toward zero as x86's conversion instruction does it: positions outside the 32-bit
// range (and NaN) give INT32_MIN instead of undefined behaviour.
int32_t TruncateToInt32(float t) {
  if (!(t > -2147483904.0f && t < 2147483648.0f)) return INT32_MIN;
  return static_cast<int32_t>(t);
}

}  // namespace

FrameTiming ComputeFrameTiming(float songSeconds) {
  const int digit = rand() % 10;
  FrameTiming timing;
  timing.songSeconds = songSeconds;
  timing.jitterSeconds =
      static_cast<float>(static_cast<double>(digit) * 0.001 + static_cast<double>(songSeconds));
  timing.beat = BeatAt(songSeconds);
  return timing;
}

bool StepTextureCycle(DemoState& state, const FrameTiming& timing) {
  const int32_t wholeSeconds = TruncateToInt32(timing.songSeconds);
  if ((wholeSeconds & 1) != 0) return false;
  state.textureIndex = (state.textureIndex + 1) % kTextureCount;
  return true;
}

bool HandleNewBeat(DemoState& state, const FrameTiming& timing, std::ostream& out) {
  if (!(timing.beat > state.lastBeat)) return false;
  state.lastBeat = timing.beat;
  out << "?? Beat #" << timing.beat << " at time " << timing.songSeconds << " sec\n";
  return true;
}

}  // namespace tc
