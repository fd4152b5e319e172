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

TEST(ServerReports, AGraphReadingInQuantaGetsTheMeanOfTheRecentReportsLatencies) {
  ServerTimeline timeline;
  timeline.rate = kRate;
  const std::int64_t quantum = 2048;
  std::int64_t read = 0;
  double latency[6] = {};
  for (int i = 0; i < 6; ++i) {
    read += quantum * (3 + i % 2);  // steps of 3 and 4 quanta
    // The queue seen swings by a quantum with the report's place in the graph's cycle.
    const std::int64_t queued = 4410 + (i % 2) * quantum;
    latency[i] = AnchorFromReport(timeline, Report(i, read + queued, read, 0.0)).hostSeconds - i;
  }
  // Until three steps show the quantum each report stands alone.
  EXPECT_NEAR(latency[1], (4410 + quantum) / kRate - 0.0005, 1e-12);
  EXPECT_EQ(ServerQuantumFrames(timeline), quantum);
  EXPECT_NEAR(latency[5], (4410 + quantum / 2.0) / kRate - 0.0005, 1e-12);
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
  ServerTimeline reported;
  reported.rate = kRate;
  HeardAnchor anchor;
  for (int i = 1; i <= 5; ++i)
    anchor = AnchorFromReport(reported, Report(1.0, 1024 * i, 1024 * i, 0.03));
  EXPECT_NEAR(anchor.hostSeconds, 1.0 - 0.0005 + 0.03, 1e-12);  // the sink's own figure only
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

TEST(PositionSources, EachBackendAsksItsOwnAndTheRestFallBackToTheWholeBuffer) {
  EXPECT_EQ(ChoosePositionSource(ma_backend_pulseaudio, true), PositionSource::kServerReport);
  EXPECT_EQ(ChoosePositionSource(ma_backend_alsa, true), PositionSource::kPcmDelay);
  EXPECT_EQ(ChoosePositionSource(ma_backend_wasapi, true), PositionSource::kDeviceClock);
  EXPECT_EQ(ChoosePositionSource(ma_backend_null, false), PositionSource::kNullClock);
  // Functions missing from the client library, and backends with no position we read.
  EXPECT_EQ(ChoosePositionSource(ma_backend_pulseaudio, false), PositionSource::kWholeBuffer);
  EXPECT_EQ(ChoosePositionSource(ma_backend_alsa, false), PositionSource::kWholeBuffer);
  EXPECT_EQ(ChoosePositionSource(ma_backend_webaudio, true), PositionSource::kWholeBuffer);
  EXPECT_EQ(ChoosePositionSource(ma_backend_jack, true), PositionSource::kWholeBuffer);
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
