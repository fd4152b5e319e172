// The smooth song clock against a scripted audio device. The device mixes one period at a time:
// its cursor jumps by a period at each mix and leads what is heard by `lead` seconds. The clock is
// configured with the latency that lead means for it (it aims half a period below the cursor's
// staircase), so a perfect clock reads exactly what is heard.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/song_clock.h"

namespace tc {
namespace {

struct ScriptedDevice {
  double period;
  double lead;
  double startSong = 0.0;  // the song position heard at host time 0
  // The cursor at host time t, for a song heard at `startSong + t`: the mixer has finished every
  // period whose end lies at most `lead` ahead of what is heard.
  double Cursor(double heard) const {
    return startSong + period * std::floor((heard - startSong + lead) / period + 1e-9);
  }
};

struct Reading {
  std::vector<double> host;
  std::vector<double> clock;
  std::vector<double> truth;
};

SongClock MakeClock(const ScriptedDevice& device, double start = 0.0) {
  SongClock clock;
  SongClockConfig config;
  config.periodSeconds = device.period;
  config.latencySeconds = device.lead - kSongClockMarginPeriods * device.period;
  ResetSongClock(clock, config, start);
  return clock;
}

void ExpectMonotonic(const Reading& run) {
  for (size_t i = 1; i < run.clock.size(); ++i) {
    ASSERT_GE(run.clock[i], run.clock[i - 1]) << "went backwards at frame " << i;
  }
}

double MaxErrorAfter(const Reading& run, double fromHost) {
  double worst = 0.0;
  for (size_t i = 0; i < run.clock.size(); ++i) {
    if (run.host[i] >= fromHost) worst = std::max(worst, std::fabs(run.clock[i] - run.truth[i]));
  }
  return worst;
}

// Reads the clock every `frame` seconds for `seconds` on a steadily playing device.
Reading Steady(const ScriptedDevice& device, double frame, double seconds) {
  SongClock clock = MakeClock(device);
  Reading run;
  for (double t = 0.0; t < seconds; t += frame) {
    run.host.push_back(t);
    run.truth.push_back(t);
    run.clock.push_back(AdvanceSongClock(clock, device.Cursor(t), t, true));
  }
  return run;
}

TEST(SongClock, FastFramesEachGetTheirOwnTimeAndFollowWhatIsHeard) {
  const ScriptedDevice device{0.010, 0.015};
  const Reading run = Steady(device, 1.0 / 300.0, 5.0);
  ExpectMonotonic(run);
  size_t distinct = 0;
  for (size_t i = 1; i < run.clock.size(); ++i)
    distinct += run.clock[i] != run.clock[i - 1];
  // Only the frames before the first sound is heard (the latency) share the start time.
  EXPECT_GE(distinct, run.clock.size() - 1 - 6);
  EXPECT_LT(MaxErrorAfter(run, 0.5), 0.002);
}

TEST(SongClock, LongPeriodsAndSlowFramesStayWithinAFrame) {
  // PulseAudio's default (826 frames at 44.1 kHz) and the demo's own 200 ms periods.
  for (const ScriptedDevice device : {ScriptedDevice{0.01873, 0.028}, ScriptedDevice{0.2, 0.35}}) {
    SCOPED_TRACE(device.period);
    const Reading run = Steady(device, 1.0 / 60.0, 10.0);
    ExpectMonotonic(run);
    // A cursor step is seen at the first frame after it: the clock trails by up to a frame.
    EXPECT_LT(MaxErrorAfter(run, 1.0), 1.0 / 60.0);
    size_t distinct = 0;
    for (size_t i = 1; i < run.clock.size(); ++i)
      distinct += run.clock[i] != run.clock[i - 1];
    EXPECT_GE(distinct, run.clock.size() - 1 - static_cast<size_t>(device.lead * 60.0) - 1);
  }
}

// A device whose mixes come early or late by turns, as PulseAudio's do (100 ms periods at
// intervals of 120, 90 and 90 ms), read at 10 000 frames per second.
TEST(SongClock, StepsThatComeEarlyOrLateStillGiveEveryFrameItsOwnTime) {
  const double period = 0.1;
  const double lead = 0.166;
  const double lateness[3] = {0.0, 0.2 * period, 0.1 * period};  // intervals 1.2, 0.9, 0.9
  SongClock clock = MakeClock(ScriptedDevice{period, lead});
  std::vector<double> errors;
  size_t readings = 0;
  size_t distinct = 0;
  double last = -1.0;
  for (double t = 0.0; t < 6.0; t += 1e-4) {
    // Mix k (the cursor reaching k periods) is due at k * period - lead and comes as late as its
    // place in the pattern makes it.
    long k = static_cast<long>(std::floor((t + lead) / period));
    while (k > 0 && k * period - lead + lateness[k % 3] > t)
      --k;
    const double value =
        static_cast<float>(AdvanceSongClock(clock, k * period, t, true));  // as the demo reads it
    if (t >= 1.0) {
      ++readings;
      distinct += value != last;
      errors.push_back(value - t);
    }
    last = value;
  }
  EXPECT_GE(static_cast<double>(distinct), 0.99 * static_cast<double>(readings));
  // Late steps shift the staircase a tenth of a period on average: that much is the latency's
  // business; the wobble around it stays well inside a period.
  const auto [low, high] = std::minmax_element(errors.begin(), errors.end());
  EXPECT_LT(*high - *low, 0.3 * period);
  EXPECT_LT(std::fabs(*low), 0.25 * period);
}

// With slow frames a step is seen only at the frame after it; the audio thread's note of when the
// cursor took its value dates the step exactly instead.
TEST(SongClock, StepsDatedByTheAudioThreadKeepSlowFramesOnTime) {
  const ScriptedDevice device{0.1, 0.166};
  const double frame = 1.0 / 15.0;
  SongClock noted = MakeClock(device);
  SongClock seen = MakeClock(device);
  double worstNoted = 0.0;
  double worstSeen = 0.0;
  for (double t = 0.0; t < 8.0; t += frame) {
    const double cursor = device.Cursor(t);
    const double stepHost = std::ceil((t + device.lead) / device.period - 1e-9) * device.period -
                            device.period - device.lead;  // when the cursor reached `cursor`
    const double a = AdvanceSongClock(noted, cursor, stepHost, t, true);
    const double b = AdvanceSongClock(seen, cursor, t, true);
    if (t >= 2.0) {
      worstNoted = std::max(worstNoted, std::fabs(a - t));
      worstSeen = std::max(worstSeen, std::fabs(b - t));
    }
  }
  EXPECT_LT(worstNoted, 0.005);
  EXPECT_GT(worstSeen, 0.02);  // what the note is for
  // A note that cannot be right (later than the reading, or older than the step before) is not
  // believed: the step is dated by the reading that sees it.
  SongClock wrong = MakeClock(device);
  SongClock plain = MakeClock(device);
  for (double t = 0.0; t < 3.0; t += frame) {
    const double cursor = device.Cursor(t);
    ASSERT_EQ(AdvanceSongClock(wrong, cursor, t + 1.0, t, true),
              AdvanceSongClock(plain, cursor, t, true));
  }
}

TEST(SongClock, NeverReadsBeforeTheStartWhileTheFirstSoundIsUnderway) {
  const ScriptedDevice device{0.1, 0.15, 100.0};
  SongClock clock = MakeClock(device, 100.0);
  // Before the first mix the cursor reads the seek target; the first sound is still in the buffer.
  EXPECT_EQ(AdvanceSongClock(clock, 100.0, 0.0, true), 100.0);
  EXPECT_EQ(AdvanceSongClock(clock, device.Cursor(100.05), 0.05, true), 100.0);
  const double later = AdvanceSongClock(clock, device.Cursor(100.5), 0.5, true);
  EXPECT_GT(later, 100.3);
  EXPECT_LE(later, 100.5 + device.period);
}

TEST(SongClock, FirstBurstOfMixingDoesNotRunTheClockAhead) {
  // The device fills its whole buffer (three periods) at once before playing the first of it.
  const ScriptedDevice device{0.2, 0.35};
  SongClock clock = MakeClock(device);
  Reading run;
  for (double t = 0.0; t < 5.0; t += 1.0 / 60.0) {
    const double cursor = std::max(3 * device.period, device.Cursor(t));
    run.host.push_back(t);
    run.truth.push_back(t);
    run.clock.push_back(AdvanceSongClock(clock, cursor, t, true));
    ASSERT_LE(run.clock.back(), t + 1e-12) << "ahead of anything heard at " << t;
  }
  ExpectMonotonic(run);
  EXPECT_LT(MaxErrorAfter(run, 2.0), 1.0 / 60.0);
}

TEST(SongClock, StalledCursorHoldsTheClockWithinOnePeriodThenConverges) {
  const ScriptedDevice device{0.010, 0.015};
  SongClock clock = MakeClock(device);
  Reading run;
  double heard = 0.0;
  double last = 0.0;
  for (double t = 0.0; t < 4.0; t += 1.0 / 200.0) {
    const bool stalled = t >= 1.0 && t < 1.3;  // the device takes nothing for 300 ms
    if (!stalled) heard += t - last;
    last = t;
    const double cursor = device.Cursor(heard);
    const double value = AdvanceSongClock(clock, cursor, t, true);
    if (stalled) {
      ASSERT_LE(value, cursor + device.period - clock.config.latencySeconds + 1e-12)
          << "ran ahead at " << t;
    }
    run.host.push_back(t);
    run.truth.push_back(heard);
    run.clock.push_back(value);
  }
  ExpectMonotonic(run);
  EXPECT_LT(MaxErrorAfter(run, 2.5), 0.002);
}

TEST(SongClock, CursorJumpingBackAfterAnUnderrunNeverTakesTheClockBack) {
  const ScriptedDevice device{0.010, 0.015};
  SongClock clock = MakeClock(device);
  Reading run;
  for (double t = 0.0; t < 5.0; t += 1.0 / 144.0) {
    // At 2 s the device replays the last 80 ms: what is heard steps back.
    const double heard = t < 2.0 ? t : t - 0.08;
    run.host.push_back(t);
    run.truth.push_back(heard);
    run.clock.push_back(AdvanceSongClock(clock, device.Cursor(heard), t, true));
  }
  ExpectMonotonic(run);
  // Slewed, not jumped: no frame-to-frame step much beyond the frame time itself.
  for (size_t i = 1; i < run.clock.size(); ++i) {
    ASSERT_LT(run.clock[i] - run.clock[i - 1], 1.3 / 144.0 + 1e-9) << "jumped at frame " << i;
  }
  // Back within the steady error of 144 fps readings (a cursor step is seen up to a frame late).
  EXPECT_LT(MaxErrorAfter(run, 3.0), 0.004);
}

TEST(SongClock, StoppedSongStandsStillAndResumesWithoutCountingThePause) {
  const ScriptedDevice device{0.010, 0.015};
  SongClock clock = MakeClock(device);
  double value = 0.0;
  for (double t = 0.0; t < 1.0; t += 0.005)
    value = AdvanceSongClock(clock, device.Cursor(t), t, true);
  const double atStop = value;
  for (double t = 1.0; t < 3.0; t += 0.005) {
    ASSERT_EQ(AdvanceSongClock(clock, device.Cursor(1.0), t, false), atStop);
  }
  // Playing again from where it stopped: the two seconds of pause are not played time.
  const double resumed = AdvanceSongClock(clock, device.Cursor(1.0), 3.0, true);
  EXPECT_LT(resumed - atStop, 0.011);
  for (double t = 3.0; t < 4.0; t += 0.005) {
    value = AdvanceSongClock(clock, device.Cursor(1.0 + (t - 3.0)), t, true);
  }
  EXPECT_NEAR(value, 2.0, 0.01);
}

TEST(SongClock, ReadingAfterALongPauseIsRightAtOnceAndResetStartsAfresh) {
  const ScriptedDevice device{0.010, 0.015};
  SongClock clock = MakeClock(device);
  for (double t = 0.0; t < 1.0; t += 0.005)
    AdvanceSongClock(clock, device.Cursor(t), t, true);
  // No reading for half a second (the process was not scheduled): the clock is right at once.
  const double after = AdvanceSongClock(clock, device.Cursor(1.5), 1.5, true);
  EXPECT_NEAR(after, 1.5, 0.005);
  // A seek back restarts the clock where the song now is.
  SongClockConfig config = clock.config;
  ResetSongClock(clock, config, 0.0);
  EXPECT_EQ(AdvanceSongClock(clock, 0.0, 1.01, true), 0.0);
}

}  // namespace
}  // namespace tc
