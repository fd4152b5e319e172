// Which frames a capture renders. Frame n is the choreography at FixedRateFrameTime(n, fps),
// whatever the options: a section or a still only chooses which of those frames are kept, so it
// equals the same frames of a whole capture bit for bit.
#pragma once

#include <cstdint>
#include <string>

#include "capture/options.h"

namespace tc::capture {

struct FramePlan {
  int framesPerSecond = 60;
  int64_t firstFrame = 0;  // frames before it are run without drawing
  int64_t endFrame = 0;    // one past the last frame kept
};

// The frames `options` asks for. A video keeps the frames from the first at or after --from up to
// the last before --to (or the timeline's last frame, TimelineEndFrame); a still keeps the one
// frame at or after
// --still. An empty or out-of-timeline range fills `error` with the line to print.
bool PlanFrames(const CaptureOptions& options, FramePlan& plan, std::string& error);

// The audio frame (sample index per channel) at which video frame `index` starts, rounded to the
// nearest: exact integer arithmetic, so sections of one capture line up to the sample.
int64_t AudioFrameAt(int64_t index, int framesPerSecond, uint32_t sampleRate);

}  // namespace tc::capture
