// The superformula ring and its score of shape rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

#include "demo/frame.h"

namespace tc {
namespace {

bool SameRow(const ShapeParams& a, const ShapeParams& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

class ShapeTableTest : public ::testing::Test {
 protected:
  void SetUp() override { BuildShapeTable(table); }
  ShapeTable table;
};

TEST_F(ShapeTableTest, StartsWithTheFirstPhraseRow) {
  const ShapeParams a1 = {0.56f, 0.06f, 2.042f, 2.7f, 1.6f, 0.502f, 3.0f, 1.13f};
  EXPECT_TRUE(SameRow(table.rows[0], a1));
  EXPECT_TRUE(SameRow(table.rows[69], a1));  // phrase restarts after the second sweep
}

TEST_F(ShapeTableTest, RepeatedPhraseRowsAreEqual) {
  EXPECT_TRUE(SameRow(table.rows[5], table.rows[6]));
  EXPECT_TRUE(SameRow(table.rows[23], table.rows[24]));
  // Segment 2 plays A7..A9 four times after segment 1 ended on A9.
  for (int r = 9; r < 21; ++r)
    EXPECT_TRUE(SameRow(table.rows[r], table.rows[6 + (r - 9) % 3]));
}

TEST_F(ShapeTableTest, SegmentBoundariesLandOnTheirRows) {
  const ShapeParams a31 = {1.056f, 3.06f, 1.042f, 7.0f, 1.6f, 0.502f, 2.1206f, 2.0031f};
  const ShapeParams b1 = {0.56f, 0.16f, 2.042f, 2.7f, 1.5f, 0.702f, 3.0f, 0.53f};
  const ShapeParams b7 = {0.98874f, 0.13325f, 2.13793f, 4.5f, 1.8f, 0.57379f, 3.29779f, 1.73f};
  const ShapeParams b17 = {0.57181f, 0.02901f, 2.2376f, 7.5f, 1.9f, 0.20137f, 2.36767f, 3.73f};
  const ShapeParams a14 = {1.056f, 3.06f, 1.042f, 5.0f, 1.6f, 2.502f, 8.06f, 0.13f};
  const ShapeParams b50 = {-0.90896f, -0.01456f, 2.00634f, 17.7f,
                           2.9f,      -0.11814f, 3.08438f, 10.53f};
  EXPECT_TRUE(SameRow(table.rows[42], a31));
  EXPECT_TRUE(SameRow(table.rows[43], b1));
  EXPECT_TRUE(SameRow(table.rows[49], b7));
  EXPECT_TRUE(SameRow(table.rows[50], table.rows[6]));  // A7
  EXPECT_TRUE(SameRow(table.rows[68], b17));
  EXPECT_TRUE(SameRow(table.rows[225], a14));  // the last row a full run loads
  EXPECT_TRUE(SameRow(table.rows[294], b50));
}

TEST(RingRows, LoadsGrowTheRingAndHoldTheLastRow) {
  ShapeTable table;
  BuildShapeTable(table);
  RingState ring;
  for (int n = 1; n <= 300; ++n) {
    LoadNextShapeRow(ring, table);
    ASSERT_EQ(ring.nextShapeRow, n);
    ASSERT_EQ(ring.instanceCount, 1 + 5 * n);
    ASSERT_TRUE(SameRow(ring.shape, table.rows[n <= 295 ? n - 1 : 294])) << n;
  }
}

TEST(RingRows, ALoadDiscardsTheDrift) {
  ShapeTable table;
  BuildShapeTable(table);
  RingState ring;
  for (int i = 0; i < 6; ++i)
    LoadNextShapeRow(ring, table);  // row 5 (A6)
  for (int i = 0; i < 4; ++i)
    DriftRingShape(ring);
  LoadNextShapeRow(ring, table);  // row 6 (A7) equals row 5 but still resets
  EXPECT_TRUE(SameRow(ring.shape, table.rows[5]));
}

TEST(SuperformulaPoint, ZeroRadiusPowerPutsTheCubeAtTheCentre) {
  // A negative sinExponent makes A = powf(0, negative) = inf at phi = 0, so S and R are
  // infinite and the point collapses to the centre instead of dividing by infinity wrongly.
  ShapeParams s = {0.5f, 0.06f, 2.0f, 2.7f, 1.6f, -0.1f, 3.0f, 1.13f};
  Point2 p = SuperformulaPoint(s, 0.0f);
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(p.y, 0.0f);
  // R exactly zero takes the guard: both powers vanish.
  s = {INFINITY, INFINITY, 2.0f, 2.7f, 1.6f, 0.5f, 3.0f, 1.13f};
  p = SuperformulaPoint(s, 1.0f);
  EXPECT_EQ(p.x, 0.0f);
  EXPECT_EQ(p.y, 0.0f);
}

struct RingRun {
  DemoState state;
  Mat4 projection = {};
  ShapeTable table;
  std::ostringstream beats;
  std::vector<Mat4> ring;
  RingRun() { BuildShapeTable(table); }
  // Runs one frame and keeps the ring's matrices (the frame's cubes after the others).
  void Frame(float t) {
    struct Renderer {
      std::vector<Mat4>& out;
      void ClearFrame() { out.clear(); }
      void BindCubeTexture(int32_t) {}
      void DrawCube(const Mat4& m) { out.push_back(m); }
    } renderer{ring};
    const FrameEvents e = RunChoreographyFrame(state, projection, table, t, beats, renderer);
    const size_t others = 1 + (LatticeActive(e.timing.beat) ? 729 : 0);
    ring.erase(ring.begin(), ring.begin() + static_cast<long>(others));
  }
};

TEST(Ring, FirstFrameLoadsRowZeroAndDriftsOnce) {
  RingRun run;
  run.Frame(38.9f);  // beat 64: no ring yet
  EXPECT_TRUE(run.ring.empty());
  EXPECT_EQ(run.state.ring.instanceCount, 1);
  run.Frame(39.1f);  // beat 65
  const ShapeParams& s = run.state.ring.shape;
  EXPECT_EQ(s.cosDivisor, 0.56f + 0.010125f);
  EXPECT_EQ(s.sinDivisor, 0.06f + 0.00155f);
  EXPECT_EQ(s.sinExponent, 0.502f + 0.015f);
  EXPECT_NEAR(s.cosDivisor, 0.570125f, 1e-7f);
  ASSERT_EQ(run.ring.size(), 6u);
  EXPECT_NEAR(run.ring[0].m[12], 0.7168f, 1e-4f);
  EXPECT_EQ(run.ring[0].m[13], 0.0f);
  EXPECT_EQ(run.ring[0].m[14], -15.0f);
  EXPECT_NEAR(run.ring[1].m[12], -0.511f, 1e-3f);
  EXPECT_NEAR(run.ring[1].m[13], 0.271f, 1e-3f);
}

TEST(Ring, DriftsEveryFrameWithinABeat) {
  RingRun run;
  run.Frame(39.1f);
  const float first = run.state.ring.shape.cosDivisor;
  run.Frame(39.2f);
  EXPECT_EQ(run.state.ring.shape.cosDivisor, first + 0.010125f);
  EXPECT_EQ(run.ring.size(), 6u);
}

TEST(Ring, SkippedBeatsLoadOneRowPerEvent) {
  RingRun run;
  run.Frame(42.1f);  // beat 70: first event, row 0
  run.Frame(43.3f);  // beat 72: beat 71 skipped, row 1
  EXPECT_EQ(run.state.ring.nextShapeRow, 2);
  EXPECT_EQ(run.state.ring.instanceCount, 11);
}

TEST(Ring, PerCubeSpinStartsAtBeat128) {
  RingRun run;
  run.Frame(76.5f);  // beat 127: every cube turns like the central cube
  ASSERT_GE(run.ring.size(), 2u);
  for (int i = 0; i < 12; ++i)
    EXPECT_EQ(run.ring[0].m[i], run.ring[1].m[i]);
  run.Frame(76.9f);  // beat 128: cube 0 turns only about x, by the jitter
  EXPECT_EQ(run.ring[0].m[0], 1.0f);
  EXPECT_EQ(run.ring[0].m[1], 0.0f);
  EXPECT_EQ(run.ring[0].m[2], 0.0f);
  EXPECT_NE(run.ring[0].m[5], 1.0f);
  EXPECT_NE(run.ring[1].m[0], run.ring[2].m[0]);  // and the others each at a rate of their own
}

}  // namespace
}  // namespace tc
