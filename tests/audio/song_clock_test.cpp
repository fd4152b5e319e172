// The smooth song clock against scripted notes from the audio thread. The listener hears song
// time `HeardAt(t)` at host time t; each note says how far the song was mixed (a buffer ahead of
// what is heard) and when that point will be heard, as the output's report dates it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/song_clock.h"

namespace tc {
namespace {

struct ScriptedOutput {
  double startHost = 0.0;  // when the song's first point (startSong) is heard
  double startSong = 0.0;
  double buffer = 0.25;  // mixed this far ahead of what is heard
  double period = 0.05;  // a note after every mix

  double Heard(double host) const { return startSong + std::max(0.0, host - startHost); }
  // The latest note at host time `host`: the mix at the start of the current period.
  HeardNote Note(double host) const {
    const double mixHost = period * std::floor(host / period + 1e-9);
    HeardNote note;
    note.heardHostSeconds = mixHost + buffer;
    note.mixedSeconds = startSong + std::max(0.0, mixHost + buffer - startHost);
    return note;
  }
};

struct Readings {
  double worstError = 0.0;   // after the first second
  double worstStep = 0.0;    // largest reading-to-reading step less the host time between
  int repeatedReadings = 0;  // readings equal to the previous one once the song is heard
  bool wentBack = false;
};

Readings Read(SongClock& clock, const ScriptedOutput& output, double from, double to,
              double frame) {
  Readings run;
  double last = -1.0;
  for (double t = from; t < to; t += frame) {
    const HeardNote note = output.Note(t);
    const double value = AdvanceSongClock(clock, &note, t);
    if (last >= 0.0) {
      run.wentBack |= value < last;
      if (t > output.startHost + frame) run.repeatedReadings += value == last;
      run.worstStep = std::max(run.worstStep, value - last - frame);
    }
    if (t > from + 1.0)
      run.worstError = std::max(run.worstError, std::fabs(value - output.Heard(t)));
    last = value;
  }
  return run;
}

TEST(SongClock, FastAndSlowFramesFollowWhatIsHeardEachWithATimeOfItsOwn) {
  for (const double frame : {0.0001, 0.001, 0.0167, 0.05}) {
    ScriptedOutput output;
    SongClock clock;
    ResetSongClock(clock, 0.0);
    const Readings run = Read(clock, output, 0.0, 5.0, frame);
    EXPECT_FALSE(run.wentBack) << frame;
    EXPECT_EQ(run.repeatedReadings, 0) << frame;
    EXPECT_LT(run.worstError, 1e-6) << frame;
  }
}

TEST(SongClock, HoldsAtTheStartUntilTheListenerHearsIt) {
  ScriptedOutput output;
  output.startHost = 0.3;  // the buffer fills before the first sound leaves the output
  SongClock clock;
  ResetSongClock(clock, 0.0);
  for (double t = 0.0; t < 0.3; t += 0.001) {
    const HeardNote note = output.Note(t);
    ASSERT_EQ(AdvanceSongClock(clock, &note, t), 0.0) << t;
  }
  const HeardNote note = output.Note(0.3105);
  EXPECT_NEAR(AdvanceSongClock(clock, &note, 0.3105), 0.0105, 1e-9);
}

TEST(SongClock, WithoutAnyNoteWaitsASecondThenStartsAtTheWallsPace) {
  SongClock clock;
  ResetSongClock(clock, 100.0);
  EXPECT_EQ(AdvanceSongClock(clock, nullptr, 1.0), 100.0);
  EXPECT_EQ(AdvanceSongClock(clock, nullptr, 1.5), 100.0);
  AdvanceSongClock(clock, nullptr, 2.5);  // the output never mixed: the show starts
  EXPECT_NEAR(AdvanceSongClock(clock, nullptr, 7.5), 105.0, 1e-9);
  EXPECT_TRUE(clock.freeRunning);
}

TEST(SongClock, ASeekHoldsThereUntilItIsHeardThenFollows) {
  ScriptedOutput before;
  SongClock clock;
  ResetSongClock(clock, 0.0);
  Read(clock, before, 0.0, 3.0, 0.01);
  // A restart from 0 at host 3.0 (the loop), heard a buffer later; and a late start at 100 s.
  for (const double target : {0.0, 100.0}) {
    ScriptedOutput after;
    after.startHost = 3.0 + after.buffer;
    after.startSong = target;
    ResetSongClock(clock, target);
    const HeardNote early = after.Note(3.2);
    EXPECT_EQ(AdvanceSongClock(clock, &early, 3.2), target);
    const Readings run = Read(clock, after, 3.2, 6.0, 0.01);
    EXPECT_FALSE(run.wentBack);
    EXPECT_LT(run.worstError, 1e-6);
  }
}

TEST(SongClock, AReportThatJumpsIsTakenInGraduallyEitherWay) {
  for (const double jump : {0.04, -0.04}) {
    ScriptedOutput output;
    SongClock clock;
    ResetSongClock(clock, 0.0);
    Read(clock, output, 0.0, 2.0, 0.001);
    // A new report finds the sound 40 ms later (or earlier) than the reports before it.
    ScriptedOutput truth = output;
    truth.startHost += jump;
    const Readings during = Read(clock, truth, 2.0, 2.5, 0.001);
    EXPECT_FALSE(during.wentBack) << jump;
    // At most a quarter faster or slower than real time: no visible jump in the motion.
    EXPECT_LE(during.worstStep, 0.25 * 0.001 + 1e-9) << jump;
    const Readings settled = Read(clock, truth, 2.5, 4.0, 0.001);
    EXPECT_LT(settled.worstError, 0.001) << jump;
  }
}

// The output stops taking sound at host 2.0 (a server that died, a sink suspended): its last
// note's mixed end is heard at 2.25.
struct Outage {
  ScriptedOutput output;
  SongClock clock;
  HeardNote last;
  Outage() {
    ResetSongClock(clock, 0.0);
    Read(clock, output, 0.0, 2.0, 0.01);
    last = output.Note(2.0);
  }
  double ReadStale(double from, double to) {
    double value = 0.0;
    for (double t = from; t < to; t += 0.01)
      value = AdvanceSongClock(clock, &last, t);
    return value;
  }
};

TEST(SongClockFallback, AnOutputThatStopsIsLeftAtTheWallsPaceWithoutDrift) {
  Outage outage;
  // Held at what was mixed only while the report can still explain the silence...
  const double lifetime = outage.clock.noteLifetimeSeconds;
  const double held = outage.ReadStale(2.0, 2.25 + lifetime - 0.01);
  EXPECT_EQ(held, outage.last.mixedSeconds);
  EXPECT_FALSE(outage.clock.freeRunning);
  // ...then a minute on the monotonic clock alone, to the microsecond.
  const double from = AdvanceSongClock(outage.clock, &outage.last, 2.5);
  EXPECT_TRUE(outage.clock.freeRunning);
  const double after = AdvanceSongClock(outage.clock, &outage.last, 62.5);
  EXPECT_NEAR(after - from, 60.0, 1e-6);
}

TEST(SongClockFallback, SoundBackInPlaceIsTakenWithoutAJump) {
  Outage outage;
  outage.ReadStale(2.0, 8.0);
  // The sound comes back where the show is (the song was sought there), a little late against
  // the clock: the clock is pulled onto it gently, never back.
  ScriptedOutput back = outage.output;
  back.startHost = outage.output.startHost + 0.03;
  const Readings run = Read(outage.clock, back, 8.0, 10.0, 0.001);
  EXPECT_FALSE(run.wentBack);
  EXPECT_LE(run.worstStep, 0.25 * 0.001 + 1e-9);
  EXPECT_LT(std::fabs(AdvanceSongClock(outage.clock, nullptr, 10.0) - back.Heard(10.0)), 0.002);
}

TEST(SongClockFallback, SoundBackElsewhereIsTheSongsToMendNotThePictures) {
  for (const double shift : {6.0, -0.5}) {  // resumed where it stopped, or a jump ahead
    Outage outage;
    const double before = outage.ReadStale(2.0, 8.0);
    ScriptedOutput back = outage.output;
    back.startHost += shift;
    const HeardNote note = back.Note(8.0);
    EXPECT_TRUE(SongAdrift(outage.clock, note, 8.0)) << shift;
    const double after = AdvanceSongClock(outage.clock, &note, 8.01);
    EXPECT_GE(after, before) << shift;
    EXPECT_LE(after - before, 0.01 * 1.25 + 1e-9) << shift;
  }
}

TEST(SongClockFallback, ReportJitterAndTheSongsEndAreNoDrift) {
  ScriptedOutput output;
  SongClock clock;
  ResetSongClock(clock, 0.0);
  Read(clock, output, 0.0, 2.0, 0.01);
  ScriptedOutput jittered = output;
  jittered.startHost += 0.046;  // a whole PipeWire quantum
  EXPECT_FALSE(SongAdrift(clock, jittered.Note(2.0), 2.0));
  clock.endSeconds = 2.0;
  AdvanceSongClock(clock, nullptr, 5.0);
  EXPECT_EQ(clock.lastSeconds, 2.0);  // never past the song's length
  ScriptedOutput far = output;
  far.startHost -= 1.0;
  EXPECT_FALSE(SongAdrift(clock, far.Note(5.0), 5.0));
}

TEST(SongClock, AStalledFrameLoopCatchesUpAtOnce) {
  ScriptedOutput output;
  SongClock clock;
  ResetSongClock(clock, 0.0);
  Read(clock, output, 0.0, 2.0, 0.01);
  const HeardNote note = output.Note(2.6);
  EXPECT_NEAR(AdvanceSongClock(clock, &note, 2.6), output.Heard(2.6), 1e-9);
}

// An output that mixes 200 ms at a time and holds 800 ms behind each mix (Wine's driver): the
// frame loop asks for a seek anywhere in a period, and the next mix, up to a period later, reads
// it. The sought song must be heard where the show then is, whenever in the period it was asked.
TEST(SongSeek, LandsOnTheShowWhereverInThePeriodItIsAsked) {
  for (const double intoPeriod : {0.0, 0.07, 0.13, 0.199}) {
    ScriptedOutput output;
    output.buffer = 0.8;
    output.period = 0.2;
    SongClock clock;
    clock.noteLifetimeSeconds = NoteLifetimeSeconds(output.period);
    ResetSongClock(clock, 0.0);
    Read(clock, output, 0.0, 3.0, 0.01);
    // From the mix at 3.0 s on, the sound is heard 300 ms behind the show.
    ScriptedOutput behind = output;
    behind.startHost += 0.3;
    const double lastMix = 3.0;
    const double now = lastMix + intoPeriod;
    const HeardNote late = behind.Note(now);
    AdvanceSongClock(clock, &late, now);
    ASSERT_TRUE(SongAdrift(clock, late, now)) << intoPeriod;
    const double target = SongSeekTarget(clock, now, NextMixHeardHost(lastMix, output.buffer, now));
    // No note of the sought song until the next mix, whose first frame is heard right behind
    // what the output held.
    const double nextMix = lastMix + output.period;
    for (double t = now + 0.01; t < nextMix; t += 0.01)
      AdvanceSongClock(clock, nullptr, t);
    ScriptedOutput sought = output;
    sought.startSong = target;
    sought.startHost = lastMix + output.buffer;
    double worst = 0.0;
    for (double t = nextMix; t < 6.0; t += 0.01) {
      const HeardNote note = sought.Note(t);
      EXPECT_FALSE(SongAdrift(clock, note, t)) << intoPeriod << " at " << t;
      const double value = AdvanceSongClock(clock, &note, t);
      if (t >= sought.startHost) worst = std::max(worst, std::fabs(value - sought.Heard(t)));
    }
    EXPECT_LT(worst, 1e-6) << intoPeriod;
  }
}

TEST(SongSeek, AnOutputThatPlayedAllItHadHearsTheNextMixAtOnce) {
  EXPECT_DOUBLE_EQ(NextMixHeardHost(2.0, 0.8, 2.5), 2.8);
  EXPECT_DOUBLE_EQ(NextMixHeardHost(2.0, 0.8, 3.5), 3.5);  // the audio thread stalled
  EXPECT_DOUBLE_EQ(NextMixHeardHost(0.0, 0.0, 7.0), 7.0);  // no mix yet
}

}  // namespace
}  // namespace tc
