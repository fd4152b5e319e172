#include "app/start_position.h"

#include "demo/frame.h"

namespace tc {

void AnnounceBeat(float beat, float songSeconds, std::ostream& beatLog) {
  FrameTiming timing;
  timing.songSeconds = songSeconds;
  timing.jitterSeconds = songSeconds;
  timing.beat = beat;
  // A scratch state that has not seen this beat yet, so the line comes out exactly as printed by
  // the frame pass.
  DemoState announce;
  HandleNewBeat(announce, timing, beatLog);
}

int64_t ReplayToStart(DemoState& state, Mat4& projection, const ShapeTable& table,
                      double startSeconds, std::ostream& beatLog) {
  const int64_t frames =
      FastForwardChoreography(state, projection, table, kReplayFramesPerSecond, startSeconds);
  if (frames == 0 || state.lastBeat < 0.0f) return frames;
  // The replayed frame that began the current beat: its time is the one that run printed.
  const int64_t first = FirstFrameOfBeat(state.lastBeat, kReplayFramesPerSecond);
  AnnounceBeat(state.lastBeat, FixedRateFrameTime(first, kReplayFramesPerSecond), beatLog);
  return frames;
}

}  // namespace tc
