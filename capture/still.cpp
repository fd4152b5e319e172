#include "capture/still.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "capture/exit_status.h"
#include "capture/renderer.h"
#include "demo/frame.h"
#include "stb_image_write.h"

namespace tc::capture {

namespace {

// The one frame read back into `rgba`, sized as the read-back says. The renderer and the read-back
// are the caller's to release.
int ReadStill(const CaptureOptions& options, const FramePlan& plan, DemoState& state, Renderer& r,
              FrameReadback& readback, std::vector<uint8_t>& rgba) {
  if (!FastForward(r, state, plan)) return kExitFailure;
  if (!StartReadback(r, options.resolution, readback)) return kExitFailure;
  RenderFrame(r, state, plan.firstFrame, plan.framesPerSecond);
  rgba.resize(FrameReadbackBytes(readback));
  IssueFrameReadback(r.stack.device, readback);
  const StartupStatus read =
      CollectFrameReadback(r.stack.device, readback, rgba.data(), rgba.size());
  if (!read.ok) return Fail(kExitFailure, read.message);
  const StartupStatus drawn = DrawFailures(r.stack.device);
  if (!drawn.ok) return Fail(kExitFailure, drawn.message);
  return 0;
}

}  // namespace

int CaptureStill(const CaptureOptions& options, const FramePlan& plan, DemoState& state,
                 TemporaryOutput& temp) {
  Renderer r;
  if (!StartRenderer(r, options.resolution)) return kExitFailure;
  FrameReadback readback;
  std::vector<uint8_t> rgba;
  const int code = ReadStill(options, plan, state, r, readback, rgba);
  ReleaseFrameReadback(readback);
  StopRenderer(r);
  if (code != 0) return code;
  if (gStopSignal != 0) return StopExitCode();
  const int width = options.resolution.width;
  const int height = options.resolution.height;
  // The background's alpha is 0: a picture with it would be transparent, so RGB only.
  for (size_t i = 0, o = 0; i < rgba.size(); i += 4, o += 3) {
    rgba[o] = rgba[i];
    rgba[o + 1] = rgba[i + 1];
    rgba[o + 2] = rgba[i + 2];
  }
  if (stbi_write_png(temp.path.c_str(), width, height, 3, rgba.data(), width * 3) == 0) {
    return Fail(kExitFailure, "cannot write " + temp.path + ": " + std::strerror(errno));
  }
  std::string error;
  if (!KeepTemporaryOutput(temp, options.output, error)) return Fail(kExitFailure, error);
  std::fprintf(stderr, "zephyrine-capture: wrote %s: frame %lld at %.4f s (%dx%d)\n",
               options.output.c_str(), static_cast<long long>(plan.firstFrame),
               static_cast<double>(FixedRateFrameTime(plan.firstFrame, plan.framesPerSecond)),
               width, height);
  return 0;
}

}  // namespace tc::capture
