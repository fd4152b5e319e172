#include "audio/picture_timing.h"

namespace tc {
namespace {

// How fast the present lead and the frame interval follow the frames' own times.
constexpr double kPresentLeadWeight = 0.25;

}  // namespace

void NotePresented(PictureTiming& timing, double hostSeconds) {
  if (!timing.firstFrame) {
    timing.presentLead +=
        kPresentLeadWeight * (hostSeconds - timing.clockReadAt - timing.presentLead);
    timing.frameInterval +=
        kPresentLeadWeight * (hostSeconds - timing.presentedAt - timing.frameInterval);
  }
  timing.presentedAt = hostSeconds;
  timing.firstFrame = false;
}

float OffsetPictureSeconds(float heardSeconds, double avOffsetMs, double floorSeconds) {
  const double offsetSeconds = avOffsetMs / 1000.0;
  if (offsetSeconds == 0.0) return heardSeconds;
  const double shifted = static_cast<double>(heardSeconds) - offsetSeconds;
  return static_cast<float>(shifted < floorSeconds ? floorSeconds : shifted);
}

}  // namespace tc
