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
  EXPECT_EQ(frames, 7u);  // a failed read leaves what the caller had
  EXPECT_EQ(host, 7.0);
  PublishMixStamp(stamp, 441, 2.5);
  ASSERT_TRUE(ReadMixStamp(stamp, frames, host));
  EXPECT_EQ(frames, 441u);
  EXPECT_EQ(host, 2.5);
}

TEST(MixStamp, ReadsWhileTheWriterRunsAreWholeNotesInOrder) {
  MixStamp stamp;
  std::atomic<bool> readerDone{false};
  std::uint64_t written = 0;
  std::thread writer([&] {
    // Each note's host time is a function of its frames, so a torn note shows. The writer keeps
    // going for as long as the reader reads.
    while (!readerDone.load(std::memory_order_relaxed)) {
      ++written;
      PublishMixStamp(stamp, written, static_cast<double>(written) * 0.25);
    }
  });
  std::uint64_t frames = 0;
  double host = 0.0;
  while (!ReadMixStamp(stamp, frames, host)) {
  }
  std::uint64_t whole = 0;
  std::uint64_t torn = 0;
  std::uint64_t outOfOrder = 0;
  std::uint64_t previous = 0;
  for (int attempt = 0; attempt < 300000; ++attempt) {
    if (!ReadMixStamp(stamp, frames, host)) continue;
    ++whole;
    torn += host != static_cast<double>(frames) * 0.25;
    outOfOrder += frames < previous;
    previous = frames;
  }
  readerDone.store(true);
  writer.join();
  EXPECT_EQ(torn, 0u);
  EXPECT_EQ(outOfOrder, 0u);
  EXPECT_GT(whole, 0u);
  ASSERT_TRUE(ReadMixStamp(stamp, frames, host));
  EXPECT_EQ(frames, written);
}

}  // namespace
}  // namespace tc
