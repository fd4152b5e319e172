// The audio thread's note of its latest mix, read by the frame loop while the audio thread keeps
// writing it: a reading is either a whole note or none, never half of one and half of the next.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "audio/mix_stamp.h"

namespace tc {
namespace {

TEST(MixStamp, NothingToReadBeforeTheFirstMix) {
  MixStamp stamp;
  std::uint64_t frames = 7;
  double host = 7.0;
  EXPECT_FALSE(ReadMixStamp(stamp, frames, host));
  PublishMixStamp(stamp, 441, 2.5);
  ASSERT_TRUE(ReadMixStamp(stamp, frames, host));
  EXPECT_EQ(frames, 441u);
  EXPECT_EQ(host, 2.5);
}

TEST(MixStamp, ReadsWhileTheWriterRunsAreWholeNotesInOrder) {
  MixStamp stamp;
  std::atomic<bool> done{false};
  constexpr std::uint64_t kNotes = 2000000;
  std::thread writer([&] {
    // Each note's host time is a function of its frames, so a torn note shows.
    for (std::uint64_t frames = 1; frames <= kNotes; ++frames)
      PublishMixStamp(stamp, frames, static_cast<double>(frames) * 0.25);
    done.store(true);
  });
  std::uint64_t whole = 0;
  std::uint64_t previous = 0;
  while (!done.load()) {
    std::uint64_t frames = 0;
    double host = 0.0;
    if (!ReadMixStamp(stamp, frames, host)) continue;
    ASSERT_EQ(host, static_cast<double>(frames) * 0.25) << "torn note at " << frames;
    ASSERT_GE(frames, previous);
    previous = frames;
    ++whole;
  }
  writer.join();
  EXPECT_GT(whole, 0u);
  std::uint64_t frames = 0;
  double host = 0.0;
  ASSERT_TRUE(ReadMixStamp(stamp, frames, host));
  EXPECT_EQ(frames, kNotes);
}

}  // namespace
}  // namespace tc
