// The picture's place in a drawable of another shape: full size when the shapes agree, bars on the
// long side otherwise, always centred and always of the picture's proportions.
#include <gtest/gtest.h>

#include "render/viewport.h"

namespace tc {
namespace {

constexpr Resolution k720 = {1280, 720};

void ExpectRect(const ViewportRect& r, int x, int y, int width, int height) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.width, width);
  EXPECT_EQ(r.height, height);
}

TEST(FitPicture, SameShapeFillsTheDrawable) {
  ExpectRect(FitPicture(k720, 1920, 1080), 0, 0, 1920, 1080);
}

TEST(FitPicture, WiderDrawableGetsBarsLeftAndRight) {
  ExpectRect(FitPicture(k720, 3440, 1440), 440, 0, 2560, 1440);  // 21:9
}

TEST(FitPicture, TallerDrawableGetsBarsAboveAndBelow) {
  ExpectRect(FitPicture(k720, 2560, 1600), 0, 80, 2560, 1440);  // 16:10
  const ViewportRect portrait = FitPicture(k720, 1080, 1920);
  EXPECT_EQ(portrait.width, 1080);
  EXPECT_EQ(portrait.height, 607);  // 1080 * 9 / 16, rounded down: never past the drawable
  EXPECT_EQ(portrait.y, (1920 - 607) / 2);
}

TEST(FitPicture, OddSizesStayInsideAndCentred) {
  for (int w = 1; w < 300; w += 7) {
    for (int h = 1; h < 300; h += 11) {
      const ViewportRect r = FitPicture(k720, w, h);
      ASSERT_LE(r.x + r.width, w);
      ASSERT_LE(r.y + r.height, h);
      ASSERT_LE(std::abs((w - r.width - r.x) - r.x), 1);
      ASSERT_LE(std::abs((h - r.height - r.y) - r.y), 1);
      // One side touches the drawable's edges; the other is as long as the proportions allow.
      ASSERT_TRUE(r.width == w || r.height == h);
      if (r.width == w) {
        ASSERT_EQ(r.height, w * 9 / 16);
      } else {
        ASSERT_EQ(r.width, h * 16 / 9);
      }
    }
  }
}

TEST(FitPicture, EmptyDrawableGivesAnEmptyRectangle) {
  const ViewportRect r = FitPicture(k720, 0, 1080);
  EXPECT_EQ(r.width, 0);
  EXPECT_EQ(r.height, 0);
}

}  // namespace
}  // namespace tc
