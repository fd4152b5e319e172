#include "capture/frame_plan.h"

#include <cstdio>

#include "demo/frame.h"
#include "demo/time_value.h"

namespace tc::capture {

bool PlanFrames(const CaptureOptions& options, FramePlan& plan, std::string& error) {
  const int fps = options.framesPerSecond;
  plan.framesPerSecond = fps;
  char line[kTimeErrorSize];
  // Checked once --fps is known, and before a frame index is made of the time.
  const char* option = options.still ? "--still" : "--from";
  const double seconds = options.still ? options.stillSeconds : options.fromSeconds;
  if (!FrameInsideTimeline(option, seconds, fps, line, sizeof line)) {
    error = line;
    return false;
  }
  plan.firstFrame = FirstFrameAtOrAfter(seconds, fps);
  if (options.still) {
    plan.endFrame = plan.firstFrame + 1;
    return true;
  }
  plan.endFrame = TimelineEndFrame(fps) + 1;
  if (options.toGiven) {
    const int64_t to = FirstFrameAtOrAfter(options.toSeconds, fps);
    if (to < plan.endFrame) plan.endFrame = to;
  }
  if (plan.firstFrame >= plan.endFrame) {
    std::snprintf(line, sizeof line, "no frame at --fps %d lies between --from %g and --to %g", fps,
                  options.fromSeconds, options.toSeconds);
    error = line;
    return false;
  }
  return true;
}

int64_t AudioFrameAt(int64_t index, int framesPerSecond, uint32_t sampleRate) {
  return (index * static_cast<int64_t>(sampleRate) * 2 + framesPerSecond) /
         (2 * static_cast<int64_t>(framesPerSecond));
}

}  // namespace tc::capture
