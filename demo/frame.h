// One pass of the demo's choreography, shared by the real frame loop and the trace tool so both
// run the very same steps in the very same order. The renderer is a compile-time parameter with
// three members:
//   void ClearFrame();                  clear colour and depth
//   void BindCubeTexture(int32_t i);    bind texture i (only when the cycle advanced)
//   void DrawCube(const Mat4& world);   upload the constants with this world matrix and draw
// Presenting the frame and testing the end of the timeline stay with the caller.
#pragma once

#include <cstdint>
#include <iosfwd>

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

template <class Renderer>
FrameEvents RunChoreographyFrame(DemoState& state, SceneConstants& constants,
                                 const ShapeTable& table, float songSeconds, std::ostream& beatLog,
                                 Renderer& renderer) {
  FrameEvents events;
  events.timing = ComputeFrameTiming(songSeconds);
  const FrameTiming& timing = events.timing;
  renderer.ClearFrame();
  events.textureChanged = StepTextureCycle(state, timing);
  if (events.textureChanged) renderer.BindCubeTexture(state.textureIndex);
  events.newBeat = HandleNewBeat(state, timing, beatLog);
  if (events.newBeat) {
    MakeProjection(constants, timing.songSeconds);
    if (timing.beat > 64.0f) LoadNextShapeRow(state.ring, table);
  }
  auto draw = [&renderer](const Mat4& world) { renderer.DrawCube(world); };
  EmitCentralCube(timing, draw);
  if (WallActive(timing.beat)) EmitWall(timing, draw);
  if (LatticeActive(timing.beat)) EmitLattice(timing, draw);
  if (RingActive(timing.beat)) EmitRing(state.ring, timing, draw);
  return events;
}

}  // namespace tc
