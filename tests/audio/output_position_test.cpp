// The audio thread's notes after each mix, and how the frame loop reads them, on the Null
// device's own clock and on the fallback (no report): what is published, and when it is not.
#include <gtest/gtest.h>

#include <memory>

#include "audio/music.h"
#include "audio/output_position.h"
#include "audio/output_watch.h"

namespace tc {
namespace {

constexpr double kRate = 44100.0;

struct Mixing {
  MixStamp stamp;
  OutputPosition position;
  explicit Mixing(PositionSource source) {
    position.source = source;
    position.stamp = &stamp;
    position.rate = kRate;
    position.bufferSeconds = 0.2;
  }
  // The latest note, as the frame loop reads it.
  struct Note {
    bool read = false;
    std::uint64_t frames = 0;
    double heard = 0.0;
    std::uint32_t epoch = 0;
  };
  Note Latest() const {
    Note note;
    note.read = ReadMixStamp(stamp, note.frames, note.heard, note.epoch);
    return note;
  }
};

TEST(MixNotes, NothingIsPublishedBeforeTheSongIsMixed) {
  Mixing mixing(PositionSource::kNullClock);
  NotePositionAfterMix(mixing.position, 441, false, 0, 0);
  EXPECT_FALSE(mixing.Latest().read);
  // ...but the pace of the mixes is, for the output's watch.
  EXPECT_GT(mixing.stamp.lastMixHost.load(), 0.0);
}

TEST(MixNotes, TheSongsEndIsHeardWhenItsLastMixedFrameIs) {
  Mixing mixing(PositionSource::kWholeBuffer);
  NotePositionAfterMix(mixing.position, 441, true, 1000, 0);
  const Mixing::Note end = mixing.Latest();
  ASSERT_TRUE(end.read);
  // Two more mixes leave the cursor where it was: the song has ended. Its end keeps its time.
  NotePositionAfterMix(mixing.position, 441, true, 1000, 0);
  NotePositionAfterMix(mixing.position, 441, true, 1000, 0);
  const Mixing::Note later = mixing.Latest();
  ASSERT_TRUE(later.read);
  EXPECT_EQ(later.frames, 1000u);
  EXPECT_NEAR(later.heard, end.heard, 0.02);  // the fallback re-dates by the clock, not the frames
  EXPECT_NEAR(mixing.stamp.queuedSeconds.load(), 0.2, 0.02);
}

TEST(MixNotes, ASeekWithTheSameCursorIsANewNote) {
  Mixing mixing(PositionSource::kNullClock);
  NotePositionAfterMix(mixing.position, 441, true, 5000, 0);
  NotePositionAfterMix(mixing.position, 441, true, 5000, 1);  // sought back to where it was
  const Mixing::Note note = mixing.Latest();
  ASSERT_TRUE(note.read);
  EXPECT_EQ(note.epoch, 1u);
}

TEST(MixNotes, TheFrameLoopTakesOnlyNotesOfTheSongAsItIsNow) {
  auto player = std::make_unique<MusicPlayer>();
  player->songSampleRate = 44100;
  ResetSongClock(player->clock, 0.0);
  // A note of the song before the latest seek (epoch 0, while the loop restarted at epoch 1).
  player->handoff.seekEpoch.store(1);
  PublishMixStamp(player->handoff.stamp, 441000, MonotonicSeconds() - 0.01, 0);
  EXPECT_EQ(ReadSongClock(*player), 0.0f);
  EXPECT_FALSE(player->clock.heard);
  PublishMixStamp(player->handoff.stamp, 441000, MonotonicSeconds() - 0.01, 1);
  EXPECT_NEAR(ReadSongClock(*player), 10.0f, 0.01f);
}

TEST(OutputEvents, AtMostOneLineASecondAndTheLatestIsTheOneKept) {
  EventLines lines;
  testing::internal::CaptureStderr();
  EXPECT_TRUE(SayEvent(lines, 10.0, "sound output lost: A"));
  EXPECT_FALSE(SayEvent(lines, 10.2, "sound output back: B"));
  EXPECT_FALSE(SayEvent(lines, 10.4, "sound output lost: C"));
  EXPECT_FALSE(FlushEvent(lines, 10.9));
  EXPECT_TRUE(FlushEvent(lines, 11.0));
  EXPECT_FALSE(FlushEvent(lines, 13.0));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "sound output lost: A\nsound output lost: C\n");
}

TEST(OutputEvents, AnOutputIsLostOnlyWellPastItsPeriodsAndItsStart) {
  const double after = LostAfterSeconds(0.05);
  EXPECT_GE(after, 0.5);  // past any stall of a real-time thread
  EXPECT_GE(LostAfterSeconds(0.2), 4 * 0.2);
  EXPECT_FALSE(OutputLost(10.0, 5.0, 10.0 + after * 0.9, after));
  EXPECT_TRUE(OutputLost(10.0, 5.0, 10.0 + after * 1.1, after));
  // A device that has just started has had no chance to mix yet.
  EXPECT_FALSE(OutputLost(0.0, 20.0, 20.0 + after * 0.9, after));
}

}  // namespace
}  // namespace tc
