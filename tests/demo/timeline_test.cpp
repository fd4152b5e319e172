// The song clock: beats, jitter, the texture flicker, the once-per-beat event and the windows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

#include "demo/frame.h"
#include "demo/timeline.h"

namespace tc {
namespace {

TEST(FrameTiming, BeatIsTheFloorOfASinglePrecisionDivision) {
  EXPECT_EQ(ComputeFrameTiming(0.0f).beat, 0.0f);
  EXPECT_EQ(ComputeFrameTiming(0.59f).beat, 0.0f);
  EXPECT_EQ(ComputeFrameTiming(0.6f).beat, 1.0f);
  // 1.8 is stored as 1.79999995; divided in doubles it would floor to 2 as well, but 3 would be
  // the mistake of comparing against 3 * 0.6 in single precision.
  EXPECT_EQ(ComputeFrameTiming(1.8f).beat, 2.0f);
  EXPECT_EQ(ComputeFrameTiming(173.99998f).beat, 289.0f);
  // In doubles 174 / 0.6f is 289.99999; the single-precision division rounds up to 290.
  EXPECT_EQ(ComputeFrameTiming(174.0f).beat, 290.0f);
}

TEST(BeatGrid, AFixedRateRunEntersEachBeatOnItsFirstFrameWithTheFloatBeat) {
  EXPECT_EQ(FirstFrameOfBeat(0.0f, 60), 0);
  EXPECT_EQ(FirstFrameOfBeat(1.0f, 60), 36);
  // Frame 108 is at 1.8 s, stored as 1.79999995: still beat 2, so beat 3 begins a frame late.
  EXPECT_EQ(FirstFrameOfBeat(3.0f, 60), 109);
}

TEST(BeatGrid, TheTimelineEndsOnTheFirstFrameAfterTheLastBeat) {
  // 174 s, where the single-precision beat turns 290 though 174 / 0.6 in doubles is still 289.
  EXPECT_EQ(TimelineEndFrame(60), 10440);
  EXPECT_EQ(TimelineEndFrame(10), 1740);
  EXPECT_EQ(TimelineEndFrame(1), 174);
  EXPECT_EQ(TimelineEndFrame(60), FirstFrameOfBeat(kLastBeat + 1, 60));
}

TEST(BeatGrid, BeatsStartOnWholeAudioFrames) {
  EXPECT_EQ(BeatSampleFrames(44100), 26460);
  EXPECT_EQ(BeatSampleFrames(48000), 28800);
  EXPECT_EQ(BeatStartSampleFrame(kLastBeat + 1, 44100), 290 * 26460);
  EXPECT_EQ(BeatStartSampleFrame(31.75, 44100), 840105);
}

TEST(FrameTiming, JitterAddsZeroToNineMilliseconds) {
  for (float t : {0.0f, 0.25f, 39.0f, 96.6f, 173.9f}) {
    for (int i = 0; i < 50; ++i) {
      const FrameTiming timing = ComputeFrameTiming(t);
      const double ms = (static_cast<double>(timing.jitterSeconds) - t) * 1000.0;
      const double digit = std::round(ms);
      EXPECT_GE(digit, 0.0);
      EXPECT_LE(digit, 9.0);
      EXPECT_NEAR(ms, digit, 0.02) << "t=" << t;  // float rounding of the sum near 174 s
      EXPECT_EQ(timing.songSeconds, t);
    }
  }
}

TEST(FrameTiming, DrawsExactlyOneRandomValuePerFrame) {
  std::srand(12345);
  const int first = std::rand();
  const int second = std::rand();
  std::srand(12345);
  const FrameTiming timing = ComputeFrameTiming(0.0f);
  EXPECT_EQ(timing.jitterSeconds, static_cast<float>((first % 10) * 0.001));
  EXPECT_EQ(std::rand(), second);
}

TEST(TextureCycle, AdvancesOnEveryFrameOfAnEvenSecondOnly) {
  DemoState state;
  FrameTiming timing = {0.3f, 0.3f, 0.0f};
  EXPECT_TRUE(StepTextureCycle(state, timing));
  EXPECT_EQ(state.textureIndex, 1);
  timing.songSeconds = 1.5f;
  EXPECT_FALSE(StepTextureCycle(state, timing));
  EXPECT_EQ(state.textureIndex, 1);
  timing.songSeconds = 2.0f;
  EXPECT_TRUE(StepTextureCycle(state, timing));
  EXPECT_EQ(state.textureIndex, 2);
}

TEST(TextureCycle, ThreeFramesOfAnEvenSecondComeBackToTheSameTexture) {
  DemoState state;
  state.textureIndex = 2;
  const FrameTiming timing = {4.5f, 4.5f, 7.0f};
  int seen[3] = {};
  for (int i = 0; i < 3; ++i) {
    StepTextureCycle(state, timing);
    ++seen[state.textureIndex];
  }
  EXPECT_EQ(state.textureIndex, 2);
  EXPECT_EQ(seen[0] + seen[1] + seen[2], 3);
  EXPECT_EQ(seen[0], 1);
  EXPECT_EQ(seen[1], 1);
}

TEST(TextureCycle, OutOfRangeSongTimesAreHandledWithoutUndefinedConversion) {
  // x86 converts NaN and out-of-range values to INT32_MIN, an even number.
  DemoState state;
  const float odd[] = {-1.5f, 3.999f};
  const float even[] = {-0.5f, 2147483648.0f, -3e9f, NAN, INFINITY};
  for (float t : odd)
    EXPECT_FALSE(StepTextureCycle(state, FrameTiming{t, t, 0.0f})) << t;
  for (float t : even)
    EXPECT_TRUE(StepTextureCycle(state, FrameTiming{t, t, 0.0f})) << t;
}

TEST(NewBeat, FirstFrameAnnouncesBeatZero) {
  DemoState state;
  std::ostringstream out;
  EXPECT_TRUE(HandleNewBeat(state, FrameTiming{0.0f, 0.004f, 0.0f}, out));
  EXPECT_EQ(out.str(), "?? Beat #0 at time 0 sec\n");
  EXPECT_EQ(state.lastBeat, 0.0f);
}

TEST(NewBeat, LineUsesSixSignificantDigits) {
  DemoState state;
  std::ostringstream out;
  HandleNewBeat(state, FrameTiming{3.0012345f, 3.0f, 5.0f}, out);
  HandleNewBeat(state, FrameTiming{173.99998f, 174.0f, 289.0f}, out);
  EXPECT_EQ(out.str(), "?? Beat #5 at time 3.00123 sec\n?? Beat #289 at time 174 sec\n");
}

TEST(NewBeat, FiresOncePerBeatWhateverTheJitter) {
  DemoState state;
  std::ostringstream out;
  EXPECT_TRUE(HandleNewBeat(state, FrameTiming{40.0f, 40.001f, 66.0f}, out));
  EXPECT_FALSE(HandleNewBeat(state, FrameTiming{40.1f, 40.109f, 66.0f}, out));
  EXPECT_FALSE(HandleNewBeat(state, FrameTiming{40.2f, 40.2f, 66.0f}, out));
  // Skipped beats 67 and 68 get no line of their own.
  EXPECT_TRUE(HandleNewBeat(state, FrameTiming{41.5f, 41.5f, 69.0f}, out));
  EXPECT_EQ(out.str(), "?? Beat #66 at time 40 sec\n?? Beat #69 at time 41.5 sec\n");
}

TEST(NewBeat, AFailedClockReadingAfterTheStartFiresNothing) {
  DemoState state;
  std::ostringstream out;
  HandleNewBeat(state, FrameTiming{0.7f, 0.7f, 1.0f}, out);
  EXPECT_FALSE(HandleNewBeat(state, FrameTiming{0.0f, 0.0f, 0.0f}, out));
  EXPECT_FALSE(HandleNewBeat(state, FrameTiming{NAN, NAN, NAN}, out));
  EXPECT_EQ(state.lastBeat, 1.0f);
}

TEST(BeatWindows, FormationsOpenAndCloseOnTheirBeats) {
  struct Row {
    float beat;
    bool wall, lattice, wobble, ring, ringWobble, ended;
  };
  const Row rows[] = {
      {0, false, false, false, false, false, false}, {31, false, false, false, false, false, false},
      {32, true, false, false, false, false, false}, {47, true, false, false, false, false, false},
      {48, false, true, false, false, false, false}, {64, false, true, false, false, false, false},
      {65, false, true, false, true, false, false},  {79, false, true, false, true, false, false},
      {80, false, false, false, true, false, false}, {127, false, false, false, true, false, false},
      {128, false, false, false, true, true, false}, {160, false, false, false, true, true, false},
      {161, false, true, false, true, true, false},  {162, false, true, true, true, true, false},
      {182, false, true, true, true, true, false},   {183, false, false, true, true, true, false},
      {289, false, false, true, true, true, false},  {290, false, false, true, true, true, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.beat);
    EXPECT_EQ(WallActive(r.beat), r.wall);
    EXPECT_EQ(LatticeActive(r.beat), r.lattice);
    if (LatticeActive(r.beat)) {
      EXPECT_EQ(LatticeWobble(r.beat), r.wobble);
    }
    EXPECT_EQ(RingActive(r.beat), r.ring);
    EXPECT_EQ(RingWobble(r.beat), r.ringWobble);
    EXPECT_EQ(TimelineEnded(r.beat), r.ended);
  }
}

}  // namespace
}  // namespace tc
