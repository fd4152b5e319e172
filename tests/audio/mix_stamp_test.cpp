// The audio thread's note of its latest mix, read by the frame loop while the audio thread keeps
// writing it: a reading is either a whole note or none, never half of one and half of the next.
#include <gtest/gtest.h>

#include <cstdint>

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

}  // namespace
}  // namespace tc
