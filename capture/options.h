// The command line of zephyrine-capture. Parsing checks everything that can be checked before any
// work starts; a bad argument gives one line that names the option and exit code 2.
#pragma once

#include <string>

#include "base/resolution.h"

namespace tc::capture {

enum class OutputKind { kH264Mp4, kH264Mkv, kLosslessMkv, kStillPng };

struct CaptureOptions {
  Resolution resolution{1920, 1080};
  int framesPerSecond = 60;
  double fromSeconds = 0.0;
  bool toGiven = false;
  double toSeconds = 0.0;
  int crf = 18;
  bool crfGiven = false;
  // x264's speed/size trade-off. On two cores shared with the software rasteriser the encoder's
  // CPU time is what slows a capture: "ultrafast" (with 8x8 transforms kept, so still H.264 High)
  // keeps a 1080p capture at about 0.7 of the render-only rate where "superfast" gives 0.6, for
  // files about half as large again (bench/capture_bench.cpp).
  std::string preset = "ultrafast";
  bool presetGiven = false;
  bool lossless = false;
  bool still = false;
  double stillSeconds = 0.0;
  std::string output;
  OutputKind kind = OutputKind::kH264Mp4;
};

enum class ParseOutcome { kRun, kHelpShown, kVersionShown, kBadArgument };

// Fills `options` from argv. --help and --version print to standard output; a bad argument
// writes its one line into `error` (without the program name).
ParseOutcome ParseCommandLine(int argc, char** argv, CaptureOptions& options, std::string& error);

}  // namespace tc::capture
