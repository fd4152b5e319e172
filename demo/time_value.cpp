#include "demo/time_value.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo/frame.h"
#include "demo/timeline.h"

namespace tc {
namespace {

void AfterTheEnd(const char* option, double seconds, const char* where, double whereSeconds,
                 char* error, size_t errorSize) {
  std::snprintf(error, errorSize, "option %s: %g s is after the end of the timeline (%s %.4f s)",
                option, seconds, where, whereSeconds);
}

}  // namespace

bool ReadDecimal(const char* text, double& value) {
  // strtod alone would take leading blanks, hex, "inf" and "nan": only the characters of a decimal
  // number may appear.
  if (*text == '\0') return false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (std::strchr("0123456789+-.eE", *c) == nullptr) return false;
  }
  errno = 0;
  char* end = nullptr;
  value = std::strtod(text, &end);
  return *end == '\0' && errno == 0 && std::isfinite(value);
}

bool ParseTimeSeconds(const char* option, const char* text, double& seconds, char* error,
                      size_t errorSize) {
  double value = 0.0;
  if (!ReadDecimal(text, value) || value < 0.0) {
    // Quoted as given, but a control character would break the one line.
    char shown[61];
    size_t n = 0;
    for (; n + 1 < sizeof shown && text[n] != '\0'; ++n) {
      const unsigned char c = static_cast<unsigned char>(text[n]);
      shown[n] = c < 0x20 || c == 0x7f ? '?' : text[n];
    }
    shown[n] = '\0';
    std::snprintf(error, errorSize, "option %s: '%s' is not a time in seconds (0 or more)", option,
                  shown);
    return false;
  }
  seconds = value == 0.0 ? 0.0 : value;  // "-0" is the start, and prints as 0
  return true;
}

bool StartInsideTimeline(const char* option, double seconds, char* error, size_t errorSize) {
  // The show ends with the beat after the last; a bound a beat later keeps the float conversion
  // below in range, and the float beat decides at the edge, as the frame pass counts.
  const double endSeconds = (kLastBeat + 1) * static_cast<double>(kBeatSeconds);
  const double beyond = endSeconds + kBeatSeconds;
  if (seconds < beyond && !TimelineEnded(BeatAt(static_cast<float>(seconds)))) return true;
  AfterTheEnd(option, seconds, "it ends at", endSeconds, error, errorSize);
  return false;
}

bool FrameInsideTimeline(const char* option, double seconds, int framesPerSecond, char* error,
                         size_t errorSize) {
  // FirstFrameAtOrAfter rounds up, and an integer frame lies after `last` exactly when the
  // rounded-up time does: the double says so without a cast.
  const int64_t last = TimelineEndFrame(framesPerSecond);
  if (seconds * framesPerSecond - kFrameRoundingSlack <= static_cast<double>(last)) return true;
  char where[40];
  std::snprintf(where, sizeof where, "its last frame at %d fps is at", framesPerSecond);
  AfterTheEnd(option, seconds, where, static_cast<double>(last) / framesPerSecond, error,
              errorSize);
  return false;
}

}  // namespace tc
