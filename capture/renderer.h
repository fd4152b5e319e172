// The demo's drawing stack, opened off-screen, and the frame pass run on it at the capture's
// fixed rate. Shared by the still and the video, so both show the very same frames.
#pragma once

#include <cstdint>
#include <ostream>
#include <streambuf>

#include "base/resolution.h"
#include "base/resource_paths.h"
#include "capture/frame_plan.h"
#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "render/stack.h"

namespace tc::capture {

// Beat lines go nowhere: the capture writes nothing to standard output.
class DiscardBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

struct Renderer {
  DrawingStack stack;
  ShapeTable table;
  ResourcePaths resources;
  DiscardBuffer discard;
  std::ostream beatLog{&discard};
};

// The demo's start-up order, off-screen. A failure prints the demo's own line.
bool StartRenderer(Renderer& r, Resolution resolution);
void StopRenderer(Renderer& r);

// Runs the frames before the plan's first without drawing, and binds the texture they cycled to.
// False, after printing why, when the run does not end on the plan's first frame.
bool FastForward(Renderer& r, DemoState& state, const FramePlan& plan);

// Draws frame `index` of the fixed-rate run; returns its song time.
float RenderFrame(Renderer& r, DemoState& state, int64_t index, int framesPerSecond);

}  // namespace tc::capture
