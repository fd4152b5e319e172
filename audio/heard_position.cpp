#include "audio/heard_position.h"

#include <algorithm>
#include <numeric>

namespace tc {

std::int64_t ServerQuantumFrames(const ServerTimeline& timeline) {
  if (timeline.stepCount < 3) return 0;  // two steps share a divisor too often by chance
  std::int64_t divisor = 0;
  for (int i = 0; i < timeline.stepCount; ++i)
    divisor = std::gcd(divisor, timeline.steps[i]);
  return divisor >= kMinQuantumFrames ? divisor : 0;
}

HeardAnchor AnchorFromReport(ServerTimeline& timeline, const ServerReport& report) {
  // Only forward steps count: a read index that stands still or goes back (a new stream, a
  // flush) says nothing about the quantum.
  if (timeline.lastReadFrames >= 0 && report.readFrames > timeline.lastReadFrames) {
    timeline.steps[timeline.nextStep] = report.readFrames - timeline.lastReadFrames;
    timeline.nextStep = (timeline.nextStep + 1) % kQuantumSteps;
    timeline.stepCount = std::min(timeline.stepCount + 1, kQuantumSteps);
  }
  timeline.lastReadFrames = report.readFrames;

  // Where frame 0 of the stream is heard, going by this report's read index; one quantum's
  // phase is averaged out where the index moves in quanta.
  const double rate = timeline.rate;
  double origin = report.hostSeconds - report.transportSeconds + report.sinkSeconds -
                  static_cast<double>(report.readFrames) / rate;
  timeline.origins[timeline.nextOrigin] = origin;
  timeline.nextOrigin = (timeline.nextOrigin + 1) % kQuantumSteps;
  timeline.originCount = std::min(timeline.originCount + 1, kQuantumSteps);
  const std::int64_t quantum = ServerQuantumFrames(timeline);
  if (quantum > 0) {
    origin = 0.0;
    for (int i = 0; i < timeline.originCount; ++i)
      origin += timeline.origins[i];
    origin /= static_cast<double>(timeline.originCount);
    // The graph takes a quantum at the start of a cycle and plays it through the next one: a
    // report, anywhere in the cycle, sees the read index a quantum and a half ahead of the sound
    // on the mean of the phases.
    origin += kQuantaReadAhead * static_cast<double>(quantum) / rate;
  }
  HeardAnchor anchor;
  anchor.frames = static_cast<double>(report.writeFrames);
  // After an underrun the server has read past what was written: the next frame written is
  // heard after the sink's own queue.
  anchor.hostSeconds = std::max(report.hostSeconds - report.transportSeconds + report.sinkSeconds,
                                origin + static_cast<double>(report.writeFrames) / rate);
  return anchor;
}

}  // namespace tc
