#include "capture/renderer.h"

#include <cstdio>
#include <string>

#include "base/resource_lookup.h"
#include "capture/exit_status.h"
#include "demo/frame.h"

namespace tc::capture {

bool StartRenderer(Renderer& r, Resolution resolution) {
  StartupStatus status = FindResourceFolder(r.resources);
  if (status.ok) {
    StackOptions options;
    options.resolution = resolution;
    options.placement.offscreen = true;
    status = OpenDrawingStack(options, r.resources, r.stack);
  }
  if (!status.ok) {
    std::fprintf(stderr, "%s\n", status.message);
    return false;
  }
  BuildShapeTable(r.table);
  return true;
}

void StopRenderer(Renderer& r) {
  CloseDrawingStack(r.stack);
}

// Frame times rise by far more than a float's step, so "before the first frame's own time" is
// exactly the frames 0 .. first - 1.
bool FastForward(Renderer& r, DemoState& state, const FramePlan& plan) {
  const double firstSeconds =
      static_cast<double>(FixedRateFrameTime(plan.firstFrame, plan.framesPerSecond));
  const int64_t run = FastForwardChoreography(state, r.stack.constants.projectionMatrix, r.table,
                                              plan.framesPerSecond, firstSeconds);
  BindCubeTexture(r.stack.device, r.stack.scene, state.textureIndex);
  if (run != plan.firstFrame) {
    Fail(kExitFailure, "fast-forward ran " + std::to_string(run) + " frames, " +
                           std::to_string(plan.firstFrame) + " expected");
    return false;
  }
  return true;
}

float RenderFrame(Renderer& r, DemoState& state, int64_t index, int framesPerSecond) {
  FrameRenderer renderer = StackRenderer(r.stack);
  const float songSeconds = FixedRateFrameTime(index, framesPerSecond);
  RunChoreographyFrame(state, r.stack.constants.projectionMatrix, r.table, songSeconds, r.beatLog,
                       renderer);
  return songSeconds;
}

}  // namespace tc::capture
