// Matrix math: row vectors, product order, the cube composite and the projection.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "demo/transform.h"

namespace tc {
namespace {

constexpr float kQuarterTurn = 1.57079637f;

struct Vec3 {
  float x, y, z;
};

// p * M for the point (x, y, z, 1).
Vec3 Apply(const Vec3& p, const Mat4& m) {
  return {p.x * m.m[0] + p.y * m.m[4] + p.z * m.m[8] + m.m[12],
          p.x * m.m[1] + p.y * m.m[5] + p.z * m.m[9] + m.m[13],
          p.x * m.m[2] + p.y * m.m[6] + p.z * m.m[10] + m.m[14]};
}

void ExpectNear(const Vec3& got, const Vec3& want) {
  EXPECT_NEAR(got.x, want.x, 1e-6f);
  EXPECT_NEAR(got.y, want.y, 1e-6f);
  EXPECT_NEAR(got.z, want.z, 1e-6f);
}

Mat4 Identity() {
  Mat4 m;
  SetIdentity(m);
  return m;
}

TEST(Multiply, IdentityOnEitherSideKeepsTheOtherOperand) {
  Mat4 a;
  for (int i = 0; i < 16; ++i)
    a.m[i] = 0.1f * static_cast<float>(i) - 0.7f;
  Mat4 out;
  Multiply(out, a, Identity());
  EXPECT_EQ(std::memcmp(&out, &a, sizeof a), 0);
  Multiply(out, Identity(), a);
  EXPECT_EQ(std::memcmp(&out, &a, sizeof a), 0);
}

TEST(Multiply, LeftOperandActsFirstOnARowVector) {
  Mat4 turn = Identity();
  RotateZ(turn, kQuarterTurn);
  Mat4 move = Identity();
  Translate(move, 3.0f, 0.0f, 0.0f);
  Mat4 turnThenMove;
  Multiply(turnThenMove, turn, move);
  ExpectNear(Apply({1, 0, 0}, turnThenMove), {3, 1, 0});
  Mat4 moveThenTurn;
  Multiply(moveThenTurn, move, turn);
  ExpectNear(Apply({1, 0, 0}, moveThenTurn), {0, 4, 0});
}

TEST(Multiply, SumsLeftToRightInSinglePrecision) {
  // (1e8 + 1) + -1e8 is 0 in floats; any other grouping, or a wider accumulator, gives 1.
  Mat4 a = {};
  a.m[0] = 1e8f;
  a.m[1] = 1.0f;
  a.m[2] = -1e8f;
  Mat4 b = Identity();
  b.m[4] = 1.0f;  // column 0 of b is (1, 1, 1, 0) so row 0 of a sums into element 0
  b.m[8] = 1.0f;
  Mat4 out;
  Multiply(out, a, b);
  EXPECT_EQ(out.m[0], 0.0f);
}

TEST(Rotations, QuarterTurnsFollowTheRightHandRule) {
  Mat4 m = Identity();
  RotateX(m, kQuarterTurn);
  ExpectNear(Apply({0, 1, 0}, m), {0, 0, 1});
  m = Identity();
  RotateY(m, kQuarterTurn);
  ExpectNear(Apply({0, 0, 1}, m), {1, 0, 0});
  m = Identity();
  RotateZ(m, kQuarterTurn);
  ExpectNear(Apply({1, 0, 0}, m), {0, 1, 0});
}

TEST(Rotations, LaterTurnsActAfterEarlierOnes) {
  Mat4 yThenX = Identity();
  RotateY(yThenX, kQuarterTurn);
  RotateX(yThenX, kQuarterTurn);
  ExpectNear(Apply({0, 0, 1}, yThenX), {1, 0, 0});
  Mat4 xThenY = Identity();
  RotateX(xThenY, kQuarterTurn);
  RotateY(xThenY, kQuarterTurn);
  ExpectNear(Apply({0, 0, 1}, xThenY), {0, -1, 0});
}

TEST(CubeWorldMatrix, TurnsAboutTheCubeCentreThenMoves) {
  Mat4 m;
  CubeWorldMatrix(m, kQuarterTurn, 0.0f, 0.0f, 0.0f, 0.0f, -5.0f);
  ExpectNear(Apply({0, 0, 1}, m), {1, 0, -5});
  CubeWorldMatrix(m, 0.0f, 0.0f, 0.0f, 1.5f, -2.0f, 7.0f);
  Mat4 expected = Identity();
  expected.m[12] = 1.5f;
  expected.m[13] = -2.0f;
  expected.m[14] = 7.0f;
  EXPECT_EQ(std::memcmp(&m, &expected, sizeof m), 0);
}

TEST(CubeWorldMatrix, AnInfiniteOffsetSpreadsThroughTheFullProduct) {
  // The translation is a real product: 0 * inf in the rotation rows becomes NaN.
  Mat4 m;
  CubeWorldMatrix(m, 0.0f, 0.0f, 0.0f, INFINITY, 0.0f, -15.0f);
  EXPECT_TRUE(std::isnan(m.m[0]));
  EXPECT_TRUE(std::isinf(m.m[12]));
  EXPECT_EQ(m.m[14], -15.0f);
}

TEST(Projection, FixedElementsAreRewrittenEveryTime) {
  Mat4 projection;
  std::memset(&projection, 0x7f, sizeof projection);
  MakeProjection(projection, 12.3f);
  const float* p = projection.m;
  const float fixed[] = {0, 0, -1, -1, 0, 0, -0.02f, 0};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(p[8 + i], fixed[i]) << i;
  for (int i : {1, 2, 3, 4, 6, 7})
    EXPECT_EQ(p[i], 0.0f) << i;
}

TEST(Projection, ScalesFollowTheSongInSteps) {
  Mat4 c = {};
  MakeProjection(c, 0.0f);
  EXPECT_TRUE(std::isinf(c.m[0]) && c.m[0] > 0);
  EXPECT_TRUE(std::isinf(c.m[5]) && c.m[5] > 0);
  MakeProjection(c, 0.6f);
  EXPECT_NEAR(c.m[5], 10.3196f, 1e-3f);
  EXPECT_NEAR(c.m[0], 5.8048f, 1e-3f);
  MakeProjection(c, 9.6f);
  EXPECT_NEAR(c.m[5], 0.02518f, 1e-5f);
  MakeProjection(c, 10.2f);
  EXPECT_NEAR(c.m[5], -0.07154f, 1e-5f);
  MakeProjection(c, 39.0f);
  EXPECT_NEAR(c.m[5], -243.2f, 0.1f);
  EXPECT_EQ(c.m[0], c.m[5] / 1.7777778f);
}

}  // namespace
}  // namespace tc
