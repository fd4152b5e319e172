#include "app/start_position.h"

#include "demo/frame.h"

namespace tc {

int64_t ReplayToStart(DemoState& state, Mat4& projection, const ShapeTable& table,
                      double startSeconds, std::ostream& beatLog) {
  const int64_t frames =
      FastForwardChoreography(state, projection, table, kReplayFramesPerSecond, startSeconds);
  if (frames == 0 || state.lastBeat < 0.0f) return frames;
  // The replayed frame that began the current beat: its time is the one that run printed.
  const int64_t first = FirstFrameOfBeat(state.lastBeat, kReplayFramesPerSecond);
  FrameTiming timing;
  timing.songSeconds = FixedRateFrameTime(first, kReplayFramesPerSecond);
  timing.jitterSeconds = timing.songSeconds;
  timing.beat = state.lastBeat;
  // A scratch state that has not seen this beat yet, so the line comes out exactly as printed by
  // the frame pass; the real state already has it and will not print it again.
  DemoState announce;
  HandleNewBeat(announce, timing, beatLog);
  return frames;
}

}  // namespace tc
