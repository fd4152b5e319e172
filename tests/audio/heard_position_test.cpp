// Where the output's frames are heard, from scripted server reports and from each backend's rule.
#include <gtest/gtest.h>

#include "audio/heard_position.h"
#include "audio/output_position.h"

namespace tc {
namespace {

constexpr double kRate = 44100.0;

ServerReport Report(double host, std::int64_t write, std::int64_t read, double sink) {
  ServerReport report;
  report.hostSeconds = host;
  report.writeFrames = write;
  report.readFrames = read;
  report.transportSeconds = 0.0005;
  report.sinkSeconds = sink;
  return report;
}

TEST(ServerReports, TheWriteIndexIsHeardAfterTheQueueAndTheSinkLessTransport) {
  ServerTimeline timeline;
  timeline.rate = kRate;
  const HeardAnchor anchor = AnchorFromReport(timeline, Report(10.0, 44100, 39690, 0.02));
  EXPECT_EQ(anchor.frames, 44100.0);
  EXPECT_NEAR(anchor.hostSeconds, 10.0 + 0.1 - 0.0005 + 0.02, 1e-12);
  // Frames after the anchor are heard at the output's rate.
  EXPECT_NEAR(HeardHostOf(anchor, kRate, 44100.0 + 2205.0), anchor.hostSeconds + 0.05, 1e-12);
}

TEST(ServerReports, AGraphReadingInQuantaIsHeardTheCycleAfterItReads) {
  // The sound moves on continuously. The graph takes a whole 2048-frame quantum at the start of
  // each cycle and plays it through the next, so the read index runs one to two quanta ahead of
  // what is heard, depending on where in the cycle a report falls.
  ServerTimeline timeline;
  timeline.rate = kRate;
  const std::int64_t quantum = 2048;
  double rawSpread[2] = {1e9, -1e9};
  double spread[2] = {1e9, -1e9};
  for (int i = 0; i < 16; ++i) {
    const double host = 0.1 * i;
    const std::int64_t sound = 1000 + 4410 * i;
    const std::int64_t read = (sound / quantum + 2) * quantum;
    const std::int64_t write = sound + 4410 + (i % 3) * 1000;  // written in bursts
    const HeardAnchor anchor = AnchorFromReport(timeline, Report(host, write, read, 0.0));
    // Where each places the sound that is heard at `host`, against where it is.
    const double placed = anchor.hostSeconds - (write - sound) / kRate - host;
    const double raw = (sound - read) / kRate;
    if (i >= 8) {
      rawSpread[0] = std::min(rawSpread[0], raw);
      rawSpread[1] = std::max(rawSpread[1], raw);
      spread[0] = std::min(spread[0], placed);
      spread[1] = std::max(spread[1], placed);
    }
  }
  EXPECT_EQ(ServerQuantumFrames(timeline), quantum);
  EXPECT_GT(rawSpread[1] - rawSpread[0], 0.5 * quantum / kRate);
  EXPECT_LT(spread[1] - spread[0], 0.25 * quantum / kRate);
  // On the sound, not a quantum or more early as the read index alone would place it.
  EXPECT_GT(spread[0], -0.0005 - 0.3 * quantum / kRate);
  EXPECT_LT(spread[1], -0.0005 + 0.3 * quantum / kRate);
}

TEST(ServerReports, AServerThatReadsAnyAmountShowsNoQuantumAndEachReportStands) {
  ServerTimeline any;
  any.rate = kRate;
  std::int64_t read = 0;
  for (const std::int64_t step : {826, 1652, 827, 2205}) {
    read += step;
    AnchorFromReport(any, Report(1.0, read + 100, read, 0.0));
  }
  EXPECT_EQ(ServerQuantumFrames(any), 0);
  const HeardAnchor anchor = AnchorFromReport(any, Report(2.0, read + 441, read, 0.03));
  EXPECT_NEAR(anchor.hostSeconds, 2.0 + 0.01 - 0.0005 + 0.03, 1e-12);
}

TEST(ServerReports, TheQuantumFollowsTheGraphWhenItChanges) {
  ServerTimeline timeline;
  timeline.rate = kRate;
  std::int64_t read = 0;
  for (int i = 0; i < 5; ++i) {
    read += 1024;
    AnchorFromReport(timeline, Report(i, read, read, 0.0));
  }
  EXPECT_EQ(ServerQuantumFrames(timeline), 1024);
  for (int i = 0; i < kQuantumSteps; ++i) {
    read += 2048 * (1 + i % 2);
    AnchorFromReport(timeline, Report(i, read, read, 0.0));
  }
  EXPECT_EQ(ServerQuantumFrames(timeline), 2048);
}

TEST(ServerReports, AfterAnUnderrunNothingIsQueued) {
  ServerTimeline timeline;
  timeline.rate = kRate;
  const HeardAnchor anchor = AnchorFromReport(timeline, Report(5.0, 1000, 3000, 0.01));
  EXPECT_NEAR(anchor.hostSeconds, 5.0 + 0.01 - 0.0005, 1e-12);
}

TEST(PositionSources, WithoutAReportAMixIsDatedByItsSourcesRule) {
  // The Null device plays a mix from the moment it is made; the fallback hears the mix's last
  // frame once the whole buffer before it has played.
  const HeardAnchor null = MixAnchor(PositionSource::kNullClock, 1000.0, 3205.0, 7.0, 0.15);
  EXPECT_EQ(null.frames, 1000.0);
  EXPECT_EQ(null.hostSeconds, 7.0);
  const HeardAnchor whole = MixAnchor(PositionSource::kWholeBuffer, 1000.0, 3205.0, 7.0, 0.15);
  EXPECT_EQ(whole.frames, 3205.0);
  EXPECT_EQ(whole.hostSeconds, 7.15);
}

}  // namespace
}  // namespace tc
