// The demo's drawing stack, opened off-screen, and the frame pass run on it at the capture's
// fixed rate. Shared by the still, the video and the capture benchmark, so all show the very same
// frames.
#pragma once

#include <cstdint>
#include <ostream>

#include "base/resolution.h"
#include "base/resource_paths.h"
#include "capture/frame_plan.h"
#include "demo/frame.h"
#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "render/stack.h"

namespace tc::capture {

struct Renderer {
  DrawingStack stack;
  ShapeTable table;
  ResourcePaths resources;
  // Beat lines go nowhere: the capture writes nothing to standard output.
  DiscardBuffer discard;
  std::ostream beatLog{&discard};
};

// The demo's start-up order, off-screen. A failure prints the demo's own line.
bool StartRenderer(Renderer& r, Resolution resolution);
void StopRenderer(Renderer& r);

// Runs the frames before the plan's first without drawing, and binds the texture they cycled to.
// False, after printing why, when the run does not end on the plan's first frame.
bool FastForward(Renderer& r, DemoState& state, const FramePlan& plan);

// The frame read-back on the renderer's back buffer. False, after printing why, when it cannot be
// made or when the back buffer is not `resolution`, the size the capture writes: a window system
// may hand out a larger drawable than asked for (a high-density display driver chosen through
// SDL_VIDEODRIVER). The caller releases `readback` either way.
bool StartReadback(Renderer& r, Resolution resolution, FrameReadback& readback);

// Draws frame `index` of the fixed-rate run; returns its song time.
float RenderFrame(Renderer& r, DemoState& state, int64_t index, int framesPerSecond);

}  // namespace tc::capture
