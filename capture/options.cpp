#include "capture/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/version.h"
#include "demo/time_value.h"

namespace tc::capture {
namespace {

constexpr char kUsage[] =
    "Usage: zephyrine-capture [options] OUTPUT\n"
    "Renders the demo off-screen at a fixed frame rate and encodes it with the song.\n"
    "\n"
    "  --size 1080|720      picture size, 1920x1080 (default) or 1280x720\n"
    "  --fps N              frames per second, 1..240 (default 60)\n"
    "  --from SECONDS       first frame: the first one at or after this time (default 0)\n"
    "  --to SECONDS         stop before this time (default: the end of the timeline)\n"
    "  --crf N              H.264 quality, 0..51, lower is better (default 18)\n"
    "  --preset NAME        x264 preset, ultrafast..placebo (default ultrafast; slower ones\n"
    "                       give smaller files and take longer)\n"
    "  --lossless           lossless RGB (FFV1) with FLAC audio; OUTPUT must end in .mkv\n"
    "  --still SECONDS      one picture, the frame a capture at --fps shows at that time\n"
    "  --help, --version\n"
    "\n"
    "OUTPUT: .mp4 or .mkv (H.264 High yuv420p BT.709 + AAC), .mkv with --lossless, .png with\n"
    "--still. Reads resources/ from the working directory, else from beside the program.\n"
    "Needs the ffmpeg program for video.\n"
    "Exit codes: 0 done, 1 start-up or encoding failure, 2 bad argument, 128+N on signal N.\n";

bool EndsWith(const std::string& text, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    const char c = text[text.size() - n + i];
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != suffix[i]) return false;
  }
  return true;
}

bool ParseInteger(const char* text, long low, long high, int& value) {
  if (*text == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text, &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  value = static_cast<int>(parsed);
  return true;
}

bool IsX264Preset(const char* name) {
  for (const char* preset : {"ultrafast", "superfast", "veryfast", "faster", "fast", "medium",
                             "slow", "slower", "veryslow", "placebo"}) {
    if (std::strcmp(name, preset) == 0) return true;
  }
  return false;
}

}  // namespace

ParseOutcome ParseCommandLine(int argc, char** argv, CaptureOptions& options, std::string& error) {
  options = CaptureOptions{};
  bool fromGiven = false;
  bool outputGiven = false;
  auto bad = [&error](const std::string& message) {
    error = message;
    return ParseOutcome::kBadArgument;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return ParseOutcome::kHelpShown;
    }
    if (arg == "--version") {
      std::printf("zephyrine-capture %s\n", TC_VERSION);
      return ParseOutcome::kVersionShown;
    }
    if (arg == "--lossless") {
      options.lossless = true;
      continue;
    }
    const bool takesValue = arg == "--size" || arg == "--fps" || arg == "--from" || arg == "--to" ||
                            arg == "--crf" || arg == "--still" || arg == "--preset";
    if (takesValue) {
      if (i + 1 >= argc) return bad(arg + " needs a value");
      const char* value = argv[++i];
      if (arg == "--size") {
        if (std::strcmp(value, "1080") == 0) {
          options.resolution = {1920, 1080};
        } else if (std::strcmp(value, "720") == 0) {
          options.resolution = {1280, 720};
        } else {
          return bad(std::string("--size ") + value + ": use 1080 or 720");
        }
      } else if (arg == "--fps") {
        if (!ParseInteger(value, 1, 240, options.framesPerSecond)) {
          return bad(std::string("--fps ") + value + ": an integer from 1 to 240 is needed");
        }
      } else if (arg == "--preset") {
        if (!IsX264Preset(value)) {
          return bad(std::string("--preset ") + value +
                     ": use ultrafast, superfast, veryfast, faster, fast, medium, slow, slower, "
                     "veryslow or placebo");
        }
        options.preset = value;
        options.presetGiven = true;
      } else if (arg == "--crf") {
        if (!ParseInteger(value, 0, 51, options.crf)) {
          return bad(std::string("--crf ") + value + ": an integer from 0 to 51 is needed");
        }
        options.crfGiven = true;
      } else {
        double seconds = 0.0;
        char line[kTimeErrorSize];
        if (!ParseTimeSeconds(arg.c_str(), value, seconds, line, sizeof line)) return bad(line);
        if (arg == "--from") {
          options.fromSeconds = seconds;
          fromGiven = true;
        } else if (arg == "--to") {
          options.toSeconds = seconds;
          options.toGiven = true;
        } else {
          options.stillSeconds = seconds;
          options.still = true;
        }
      }
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') return bad("unknown option " + arg + " (see --help)");
    if (outputGiven) return bad("more than one OUTPUT: " + options.output + " and " + arg);
    options.output = arg;
    outputGiven = true;
  }
  if (!outputGiven) return bad("no OUTPUT file given (see --help)");

  const std::string& out = options.output;
  if (options.still) {
    if (!EndsWith(out, ".png")) return bad("--still writes a .png picture, not " + out);
    if (fromGiven || options.toGiven || options.lossless || options.crfGiven ||
        options.presetGiven) {
      return bad("--still takes neither --from, --to, --crf, --preset nor --lossless");
    }
    options.kind = OutputKind::kStillPng;
  } else if (EndsWith(out, ".png")) {
    return bad(out + ": a .png picture needs --still SECONDS");
  } else if (options.lossless) {
    if (!EndsWith(out, ".mkv")) return bad("--lossless writes a .mkv file, not " + out);
    if (options.crfGiven || options.presetGiven) {
      return bad("--crf and --preset have no meaning with --lossless");
    }
    options.kind = OutputKind::kLosslessMkv;
  } else if (EndsWith(out, ".mp4")) {
    options.kind = OutputKind::kH264Mp4;
  } else if (EndsWith(out, ".mkv")) {
    options.kind = OutputKind::kH264Mkv;
  } else {
    return bad(out + ": cannot write this kind of file; use .mp4, .mkv or (with --still) .png");
  }
  if (options.toGiven && !(options.fromSeconds < options.toSeconds)) {
    char line[160];
    std::snprintf(line, sizeof line, "--to %g must be later than --from %g", options.toSeconds,
                  options.fromSeconds);
    return bad(line);
  }
  return ParseOutcome::kRun;
}

}  // namespace tc::capture
