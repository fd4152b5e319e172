#include "demo/frame.h"

#include <cmath>
#include <ostream>

namespace tc {
namespace {

// The first frame n at which `reached(n)` holds, for a condition that, once true, stays true for
// every later frame. The search starts at `estimate` and walks: frame times follow n / fps within
// a float's rounding, so an estimate from the exact quotient is a few frames off at most.
template <class Reached>
int64_t FirstFrameWhere(int64_t estimate, Reached reached) {
  int64_t n = estimate > 0 ? estimate : 0;
  while (n > 0 && reached(n))
    --n;
  while (!reached(n))
    ++n;
  return n;
}

int64_t EstimatedFirstFrameOfBeat(double beat, int framesPerSecond) {
  return static_cast<int64_t>(beat * 60.0 / kBeatsPerMinute * framesPerSecond) - 2;
}

}  // namespace

int64_t FirstFrameOfBeat(float beat, int framesPerSecond) {
  return FirstFrameWhere(EstimatedFirstFrameOfBeat(beat, framesPerSecond),
                         [beat, framesPerSecond](int64_t n) {
                           return BeatAt(FixedRateFrameTime(n, framesPerSecond)) >= beat;
                         });
}

int64_t FirstFrameAtOrAfter(double seconds, int framesPerSecond) {
  // On the exact grid n / fps, not on the frames' float times: float(100.2) is below 100.2, and
  // "--from 100.2" means the frame the grid puts at 100.2.
  const double n = std::ceil(seconds * framesPerSecond - kFrameRoundingSlack);
  // Compared before the cast, which is undefined for a double beyond int64_t's range.
  if (!(n > 0.0)) return 0;
  if (!(n < static_cast<double>(kFarBeyondAnyFrame))) return kFarBeyondAnyFrame;
  return static_cast<int64_t>(n);
}

int64_t TimelineEndFrame(int framesPerSecond) {
  return FirstFrameWhere(EstimatedFirstFrameOfBeat(kLastBeat + 1, framesPerSecond),
                         [framesPerSecond](int64_t n) {
                           return TimelineEnded(BeatAt(FixedRateFrameTime(n, framesPerSecond)));
                         });
}

int64_t FastForwardChoreography(DemoState& state, Mat4& projection, const ShapeTable& table,
                                int framesPerSecond, double startSeconds) {
  DiscardBuffer discard;
  std::ostream silent(&discard);
  NullRenderer renderer;
  int64_t index = 0;
  for (;; ++index) {
    const float songSeconds = FixedRateFrameTime(index, framesPerSecond);
    if (!(static_cast<double>(songSeconds) < startSeconds)) break;
    RunChoreographyFrame(state, projection, table, songSeconds, silent, renderer);
  }
  return index;
}

}  // namespace tc
