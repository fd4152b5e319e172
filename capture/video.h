// A section of the run as a video file: the frames are rendered here, read back from the GPU a few
// frames late, queued, and fed by a thread of their own to the ffmpeg program, which muxes them
// with the song.
#pragma once

#include <string>

#include "capture/frame_plan.h"
#include "capture/options.h"
#include "capture/output_file.h"
#include "demo/timeline.h"

namespace tc::capture {

// Encodes the plan's frames with the ffmpeg program at `ffmpeg` into `temp` and renames that to
// the output. A stop signal ends it at the next frame with nothing written. Returns the exit code.
int CaptureVideo(const CaptureOptions& options, const FramePlan& plan, const std::string& ffmpeg,
                 DemoState& state, TemporaryOutput& temp);

}  // namespace tc::capture
