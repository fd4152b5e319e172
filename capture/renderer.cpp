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

bool FastForward(Renderer& r, DemoState& state, const FramePlan& plan) {
  const int64_t run =
      FastForwardStack(r.stack, r.table, state, plan.framesPerSecond, plan.firstFrame);
  if (run != plan.firstFrame) {
    Fail(kExitFailure, "fast-forward ran " + std::to_string(run) + " frames, " +
                           std::to_string(plan.firstFrame) + " expected");
    return false;
  }
  return true;
}

bool StartReadback(Renderer& r, Resolution resolution, FrameReadback& readback) {
  const StartupStatus created = CreateFrameReadback(r.stack.device, readback);
  if (!created.ok) {
    Fail(kExitFailure, created.message);
    return false;
  }
  if (readback.width != resolution.width || readback.height != resolution.height) {
    Fail(kExitFailure, "the drawable is " + std::to_string(readback.width) + "x" +
                           std::to_string(readback.height) + ", not the " +
                           std::to_string(resolution.width) + "x" +
                           std::to_string(resolution.height) +
                           " asked for (is SDL_VIDEODRIVER set to a scaling driver?)");
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
