// zephyrine-capture: the demo as a video file or a still, rendered off-screen with the demo's
// own frame pass at a fixed frame rate. Frame n shows the choreography at n / fps, from frame 0
// whatever the section asked for, so every capture is a slice of one and the same fixed-rate run.
// The clock is the frame counter; the song is decoded by miniaudio and muxed by ffmpeg, sample
// aligned with the first frame. Standard output stays empty: progress and diagnostics go to
// standard error.
//
// This file checks everything it can before any work starts; the jobs themselves are in
// still.cpp and video.cpp.
#include <sys/stat.h>

#include <cstring>
#include <string>

#include "capture/encoder.h"
#include "capture/exit_status.h"
#include "capture/frame_plan.h"
#include "capture/options.h"
#include "capture/output_file.h"
#include "capture/still.h"
#include "capture/video.h"
#include "demo/timeline.h"

namespace {

// Static storage: holds its initial values from program load on and is never reset.
tc::DemoState gDemoState;

}  // namespace

int main(int argc, char** argv) {
  using namespace tc::capture;
  CaptureOptions options;
  std::string error;
  switch (ParseCommandLine(argc, argv, options, error)) {
    case ParseOutcome::kHelpShown:
    case ParseOutcome::kVersionShown:
      return 0;
    case ParseOutcome::kBadArgument:
      return Fail(kExitBadArgument, error);
    case ParseOutcome::kRun:
      break;
  }
  FramePlan plan;
  if (!PlanFrames(options, plan, error)) return Fail(kExitBadArgument, error);
  std::string ffmpeg;
  if (options.kind != OutputKind::kStillPng) {
    ffmpeg = FindProgram("ffmpeg");
    if (ffmpeg.empty()) {
      return Fail(kExitBadArgument,
                  "ffmpeg not found on PATH: video needs the ffmpeg program (Debian package "
                  "ffmpeg, installed by scripts/setup)");
    }
  }
  struct stat info;
  if (stat(options.output.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    return Fail(kExitBadArgument, options.output + " is a folder, not a file name");
  }
  TemporaryOutput temp;
  const int createError = CreateTemporaryOutput(options.output, temp);
  if (createError != 0) {
    return Fail(kExitBadArgument,
                "cannot write beside " + options.output + ": " + std::strerror(createError));
  }
  InstallStopHandlers();
  if (options.kind == OutputKind::kStillPng) return CaptureStill(options, plan, gDemoState, temp);
  return CaptureVideo(options, plan, ffmpeg, gDemoState, temp);
}
