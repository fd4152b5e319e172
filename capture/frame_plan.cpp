#include "capture/frame_plan.h"

#include <cstdio>

#include "demo/frame.h"

namespace tc::capture {

bool PlanFrames(const CaptureOptions& options, FramePlan& plan, std::string& error) {
  const int fps = options.framesPerSecond;
  plan.framesPerSecond = fps;
  const int64_t last = TimelineEndFrame(fps);
  char line[200];
  if (options.still) {
    plan.firstFrame = FirstFrameAtOrAfter(options.stillSeconds, fps);
    plan.endFrame = plan.firstFrame + 1;
    if (plan.firstFrame > last) {
      std::snprintf(line, sizeof line,
                    "--still %g is after the end of the timeline (its last frame at --fps %d is "
                    "at %.4f s)",
                    options.stillSeconds, fps, static_cast<double>(last) / fps);
      error = line;
      return false;
    }
    return true;
  }
  plan.firstFrame = FirstFrameAtOrAfter(options.fromSeconds, fps);
  plan.endFrame = last + 1;
  if (options.toGiven) {
    const int64_t to = FirstFrameAtOrAfter(options.toSeconds, fps);
    if (to < plan.endFrame) plan.endFrame = to;
  }
  if (plan.firstFrame > last) {
    std::snprintf(line, sizeof line,
                  "--from %g is after the end of the timeline (its last frame at --fps %d is at "
                  "%.4f s)",
                  options.fromSeconds, fps, static_cast<double>(last) / fps);
    error = line;
    return false;
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
