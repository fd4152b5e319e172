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

  // After an underrun the server has read past what was written: nothing is queued.
  const std::int64_t queued = std::max<std::int64_t>(0, report.writeFrames - report.readFrames);
  double latency =
      static_cast<double>(queued) / timeline.rate - report.transportSeconds + report.sinkSeconds;
  timeline.latencies[timeline.nextLatency] = latency;
  timeline.nextLatency = (timeline.nextLatency + 1) % kQuantumSteps;
  timeline.latencyCount = std::min(timeline.latencyCount + 1, kQuantumSteps);
  if (ServerQuantumFrames(timeline) > 0) {
    latency = 0.0;
    for (int i = 0; i < timeline.latencyCount; ++i) latency += timeline.latencies[i];
    latency /= static_cast<double>(timeline.latencyCount);
  }
  HeardAnchor anchor;
  anchor.frames = static_cast<double>(report.writeFrames);
  anchor.hostSeconds = report.hostSeconds + std::max(0.0, latency);
  return anchor;
}

}  // namespace tc
