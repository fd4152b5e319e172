// One pass of the demo's choreography, shared by the real frame loop, the capture tool, the trace
// tool, the benchmarks and the tests, so all of them run the very same steps in the very same
// order. The renderer is a compile-time parameter with three members:
//   void ClearFrame();                  clear colour and depth
//   void BindCubeTexture(int32_t i);    bind texture i (only when the cycle advanced)
//   void DrawCube(const Mat4& world);   upload the constants with this world matrix and draw
// Presenting the frame and testing the end of the timeline stay with the caller.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <streambuf>

#include "demo/formations.h"
#include "demo/ring.h"
#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "demo/transform.h"

namespace tc {

struct FrameEvents {
  FrameTiming timing;
  bool textureChanged;
  bool newBeat;
};

// `projection` is the projection half of the constants the renderer uploads: it is rewritten on
// every new beat and read by every draw after that.
template <class Renderer>
FrameEvents RunChoreographyFrame(DemoState& state, Mat4& projection, const ShapeTable& table,
                                 float songSeconds, std::ostream& beatLog, Renderer& renderer) {
  FrameEvents events;
  events.timing = ComputeFrameTiming(songSeconds);
  const FrameTiming& timing = events.timing;
  renderer.ClearFrame();
  events.textureChanged = StepTextureCycle(state, timing);
  if (events.textureChanged) renderer.BindCubeTexture(state.textureIndex);
  events.newBeat = HandleNewBeat(state, timing, beatLog);
  if (events.newBeat) {
    MakeProjection(projection, timing.songSeconds);
    if (timing.beat > 64.0f) LoadNextShapeRow(state.ring, table);
  }
  auto draw = [&renderer](const Mat4& world) { renderer.DrawCube(world); };
  EmitCentralCube(timing, draw);
  if (WallActive(timing.beat)) EmitWall(timing, draw);
  if (LatticeActive(timing.beat)) EmitLattice(timing, draw);
  if (RingActive(timing.beat)) EmitRing(state.ring, timing, draw);
  return events;
}

// Beat lines that go nowhere: frames run without being shown announce nothing.
class DiscardBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Runs the choreography and draws nothing: the state still advances exactly as when drawing.
struct NullRenderer {
  void ClearFrame() {}
  void BindCubeTexture(int32_t) {}
  void DrawCube(const Mat4&) {}
};

// Song time of frame `index` of a run at `framesPerSecond`: computed from the integer index, so a
// long run never drifts the way a sum of steps would.
inline float FixedRateFrameTime(int64_t index, int framesPerSecond) {
  return static_cast<float>(static_cast<double>(index) / static_cast<double>(framesPerSecond));
}

// How far below a frame's exact time n / fps a time may fall and still pick that frame: a
// millionth of a frame absorbs a decimal input's rounding.
constexpr double kFrameRoundingSlack = 1e-6;

// The first frame n of a fixed-rate run with n / fps at or after `seconds`, on the exact grid.
// Frame 0 for a time at or before 0 (or NaN); a time far beyond any timeline gives
// kFarBeyondAnyFrame rather than an index out of range.
constexpr int64_t kFarBeyondAnyFrame = int64_t{1} << 53;
int64_t FirstFrameAtOrAfter(double seconds, int framesPerSecond);

// The first frame of a fixed-rate run whose beat (BeatAt of its time) has reached `beat`, a beat
// of the show: the frame that announces it. Float rounding can put it a frame after n / fps.
int64_t FirstFrameOfBeat(float beat, int framesPerSecond);

// The frame of a fixed-rate run on which the timeline ends: the first whose beat exceeds the last
// beat. It is drawn; the frames after it are not.
int64_t TimelineEndFrame(int framesPerSecond);

// Brings a fresh run to the state a fixed-rate run would have just before `startSeconds`: frames
// n = 0, 1, ... at FixedRateFrameTime(n, framesPerSecond) are run while they lie before
// `startSeconds`, drawing nothing and printing no beat line. The ring's growth, its shape rows and
// per-frame drift, the texture cycle, the projection and the rand() sequence all end up where
// that run has them. Returns the number of frames run, which is the index of the first frame at
// or after `startSeconds`.
int64_t FastForwardChoreography(DemoState& state, Mat4& projection, const ShapeTable& table,
                                int framesPerSecond, double startSeconds);

}  // namespace tc
