// When each frame's picture is seen: the lead the clock is read with, and what the first frame of
// a run (or of a restart after any pause) leaves out of it.
#include <gtest/gtest.h>

#include "audio/picture_timing.h"

namespace tc {
namespace {

// Frames every `interval` seconds from `from`, each presented `readToPresent` after its reading.
double RunFrames(PictureTiming& timing, double from, int count, double interval,
                 double readToPresent) {
  double t = from;
  for (int i = 0; i < count; ++i, t += interval) {
    NoteClockRead(timing, t);
    NotePresented(timing, t + readToPresent);
  }
  return t;
}

TEST(PictureTiming, TheClockIsReadForTheMiddleOfTheFramesTimeOnScreen) {
  PictureTiming timing;
  RunFrames(timing, 10.0, 100, 1.0 / 60.0, 0.004);
  EXPECT_NEAR(PictureLeadSeconds(timing), 0.004 + 0.5 / 60.0, 1e-6);
}

TEST(PictureTiming, AFirstFrameAfterAPauseFeedsNothingIntoTheLead) {
  PictureTiming timing;
  const double end = RunFrames(timing, 10.0, 100, 1.0 / 60.0, 0.004);
  const double settled = PictureLeadSeconds(timing);
  // The show ended and a viewer asked for it again a minute later; the first frame of the new run
  // also waited half a second for its start to be heard.
  RestartPictureTiming(timing);
  NoteClockRead(timing, end + 60.0);
  NotePresented(timing, end + 60.5);
  EXPECT_EQ(PictureLeadSeconds(timing), settled);
  RunFrames(timing, end + 60.5 - 0.004 + 1.0 / 60.0, 2, 1.0 / 60.0, 0.004);
  EXPECT_NEAR(PictureLeadSeconds(timing), settled, 1e-9);
}

TEST(PictureTiming, AnOffsetShowsThePictureLaterButNeverBeforeTheStart) {
  EXPECT_EQ(OffsetPictureSeconds(50.0f, 0.0, 0.0), 50.0f);
  EXPECT_FLOAT_EQ(OffsetPictureSeconds(50.0f, 250.0, 0.0), 49.75f);
  EXPECT_FLOAT_EQ(OffsetPictureSeconds(50.0f, -250.0, 0.0), 50.25f);
  EXPECT_EQ(OffsetPictureSeconds(140.1f, 500.0, 140.0), 140.0f);
}

}  // namespace
}  // namespace tc
