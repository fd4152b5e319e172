#include "app/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/time_value.h"

namespace tc {
namespace {

// The largest shift worth offering: beyond a second the picture would show another beat.
constexpr double kMaxAvOffsetMs = 1000.0;
constexpr long kMaxDisplayIndex = 63;

void SetError(OptionsResult& result, const char* format, const char* a, const char* b = "") {
  result.action = OptionsAction::Fail;
  std::snprintf(result.error, sizeof result.error, format, a, b);
}

bool ParseIndex(const char* text, long& value) {
  if (*text == '\0') return false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return false;
  }
  errno = 0;
  char* end = nullptr;
  value = std::strtol(text, &end, 10);
  return *end == '\0' && errno == 0;
}

}  // namespace

OptionsResult ParseOptions(int argc, const char* const* argv) {
  OptionsResult result;
  PlaybackOptions& options = result.options;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    // "--name=value" and "--name value" are the same; `inlineValue` is null for the second form.
    char name[64];
    const char* inlineValue = nullptr;
    const char* equals = std::strchr(arg, '=');
    const size_t nameLength =
        equals != nullptr ? static_cast<size_t>(equals - arg) : std::strlen(arg);
    if (nameLength >= sizeof name) {
      SetError(result, "unknown option '%.40s...' (see --help)", arg);
      return result;
    }
    std::memcpy(name, arg, nameLength);
    name[nameLength] = '\0';
    if (equals != nullptr) inlineValue = equals + 1;

    const bool isFlag = std::strcmp(name, "--fullscreen") == 0 ||
                        std::strcmp(name, "--vsync") == 0 || std::strcmp(name, "--loop") == 0 ||
                        std::strcmp(name, "--mute") == 0 || std::strcmp(name, "--help") == 0 ||
                        std::strcmp(name, "-h") == 0 || std::strcmp(name, "--version") == 0;
    const bool takesValue = std::strcmp(name, "--display") == 0 ||
                            std::strcmp(name, "--start") == 0 ||
                            std::strcmp(name, "--av-offset") == 0;
    if (!isFlag && !takesValue) {
      SetError(result, "unknown option '%s' (see --help)", arg);
      return result;
    }
    if (isFlag) {
      if (inlineValue != nullptr) {
        SetError(result, "option %s takes no value (got '%s')", name, inlineValue);
        return result;
      }
      if (std::strcmp(name, "--help") == 0 || std::strcmp(name, "-h") == 0) {
        result.action = OptionsAction::PrintHelp;
        return result;
      }
      if (std::strcmp(name, "--version") == 0) {
        result.action = OptionsAction::PrintVersion;
        return result;
      }
      if (std::strcmp(name, "--fullscreen") == 0) options.fullscreen = true;
      if (std::strcmp(name, "--vsync") == 0) options.vsync = true;
      if (std::strcmp(name, "--loop") == 0) options.loop = true;
      if (std::strcmp(name, "--mute") == 0) options.mute = true;
      continue;
    }

    const char* value = inlineValue;
    if (value == nullptr) {
      if (i + 1 >= argc) {
        SetError(result, "option %s needs a value (see --help)", name);
        return result;
      }
      value = argv[++i];
    }
    if (std::strcmp(name, "--display") == 0) {
      long index = 0;
      if (!ParseIndex(value, index) || index > kMaxDisplayIndex) {
        SetError(result, "option --display: '%s' is not a display index (0, 1, ...)", value);
        return result;
      }
      options.display = static_cast<int>(index);
    } else if (std::strcmp(name, "--start") == 0) {
      double seconds = 0.0;
      if (!ParseTimeSeconds(name, value, seconds, result.error, sizeof result.error) ||
          !StartInsideTimeline(name, seconds, result.error, sizeof result.error)) {
        result.action = OptionsAction::Fail;
        return result;
      }
      options.startSeconds = seconds;
    } else {
      double ms = 0.0;
      if (!ReadDecimal(value, ms) || std::fabs(ms) > kMaxAvOffsetMs) {
        SetError(result, "option --av-offset: '%s' is not a shift in milliseconds (-1000 to %s)",
                 value, "1000");
        return result;
      }
      options.avOffsetMs = ms;
    }
  }
  return result;
}

const char* UsageText() {
  return "Usage: zephyrine-1080 | zephyrine-720 [options]\n"
         "Plays the show once in a borderless window at the top-left corner of the primary\n"
         "display; prints one line per beat on standard output.\n"
         "\n"
         "  --fullscreen        fill the whole display: the picture in the largest 16:9\n"
         "                      rectangle, centred, black bars elsewhere\n"
         "  --display N         open on display N (0 is the primary)\n"
         "  --vsync             present with vertical sync\n"
         "  --start SECONDS     begin the song and the show at that time (below 174)\n"
         "  --loop              when the show ends, start again from the beginning\n"
         "  --mute              play silently (the song still drives the show)\n"
         "  --av-offset MS      shift the picture against the sound: positive shows it\n"
         "                      later, negative earlier (-1000 to 1000)\n"
         "  --help, --version   this text, or the version, and exit\n"
         "\n"
         "Escape or closing the window ends the show. Exit codes: 0 after a run, 1 when\n"
         "start-up fails, 2 for a bad command line.\n";
}

}  // namespace tc
