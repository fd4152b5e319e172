// A single frame as a PNG picture.
#pragma once

#include "capture/frame_plan.h"
#include "capture/options.h"
#include "capture/output_file.h"
#include "demo/timeline.h"

namespace tc::capture {

// Renders the plan's one frame, writes it to `temp` and renames that to the output. Returns the
// exit code.
int CaptureStill(const CaptureOptions& options, const FramePlan& plan, DemoState& state,
                 TemporaryOutput& temp);

}  // namespace tc::capture
