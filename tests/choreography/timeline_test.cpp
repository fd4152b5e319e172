#include <gtest/gtest.h>
#include "demo/timeline.h"
TEST(Placeholder, Builds) { EXPECT_TRUE(tc::WallActive(32.0f)); }
