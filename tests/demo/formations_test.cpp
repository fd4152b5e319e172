// The grid formations and the frame pass: which cubes a frame draws, in which order, and how.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <vector>

#include "demo/frame.h"

namespace tc {
namespace {

// Records what the frame pass asks of a renderer.
struct RecordingRenderer {
  std::vector<Mat4> cubes;
  std::vector<int32_t> textures;
  int clears = 0;
  void ClearFrame() { ++clears; }
  void BindCubeTexture(int32_t i) { textures.push_back(i); }
  void DrawCube(const Mat4& world) { cubes.push_back(world); }
};

struct DemoRun {
  DemoState state;
  Mat4 projection = {};
  ShapeTable table;
  std::ostringstream beats;
  DemoRun() { BuildShapeTable(table); }
  RecordingRenderer Frame(float t) {
    RecordingRenderer r;
    RunChoreographyFrame(state, projection, table, t, beats, r);
    return r;
  }
};

void ExpectTranslation(const Mat4& m, float x, float y, float z) {
  EXPECT_EQ(m.m[12], x);
  EXPECT_EQ(m.m[13], y);
  EXPECT_EQ(m.m[14], z);
  EXPECT_EQ(m.m[15], 1.0f);
}

bool SameRotation(const Mat4& a, const Mat4& b) {
  for (int i = 0; i < 12; ++i) {
    if (a.m[i] != b.m[i]) return false;
  }
  return true;
}

TEST(FramePass, CubeCountsFollowTheBeatWindows) {
  // Beat times without skipping: each frame sits in the middle of its beat.
  DemoRun run;
  auto countAt = [&run](float beat) { return run.Frame(beat * 0.6f + 0.3f).cubes.size(); };
  EXPECT_EQ(countAt(0), 1u);
  EXPECT_EQ(countAt(31), 1u);
  EXPECT_EQ(countAt(32), 82u);
  EXPECT_EQ(countAt(47), 82u);
  EXPECT_EQ(countAt(48), 730u);
  EXPECT_EQ(countAt(64), 730u);
  EXPECT_EQ(countAt(65), 730u + 6u);  // the ring's first frame loads row 0: six cubes
  EXPECT_EQ(countAt(66), 730u + 11u);
  EXPECT_EQ(countAt(80), 1u + 16u);
}

TEST(FramePass, CentralCubeComesFirstEveryFrame) {
  DemoRun run;
  for (float t : {0.0f, 20.0f, 30.0f, 100.0f}) {
    const RecordingRenderer r = run.Frame(t);
    ASSERT_FALSE(r.cubes.empty());
    ExpectTranslation(r.cubes[0], 0.0f, 0.0f, -5.0f);
    EXPECT_EQ(r.clears, 1);
  }
}

TEST(FramePass, TextureIsBoundOnlyWhenTheCycleAdvances) {
  DemoRun run;
  EXPECT_EQ(run.Frame(0.5f).textures, std::vector<int32_t>{1});
  EXPECT_EQ(run.Frame(1.5f).textures, std::vector<int32_t>{});
  EXPECT_EQ(run.Frame(2.5f).textures, std::vector<int32_t>{2});
  EXPECT_EQ(run.Frame(2.6f).textures, std::vector<int32_t>{0});
}

TEST(FramePass, ProjectionChangesOnlyOnANewBeat) {
  DemoRun run;
  run.Frame(0.7f);
  const Mat4 atBeat1 = run.projection;
  run.Frame(1.1f);
  EXPECT_EQ(std::memcmp(&atBeat1, &run.projection, sizeof atBeat1), 0);
  run.Frame(1.3f);
  EXPECT_NE(std::memcmp(&atBeat1, &run.projection, sizeof atBeat1), 0);
  EXPECT_EQ(run.beats.str(), "?? Beat #1 at time 0.7 sec\n?? Beat #2 at time 1.3 sec\n");
}

TEST(Wall, RowsGoBottomToTopAndLeftToRight) {
  const FrameTiming timing = {20.0f, 20.004f, 33.0f};
  std::vector<Mat4> cubes;
  EmitWall(timing, [&cubes](const Mat4& m) { cubes.push_back(m); });
  ASSERT_EQ(cubes.size(), 81u);
  ExpectTranslation(cubes[0], -10.0f, -10.0f, -15.0f);
  ExpectTranslation(cubes[1], -7.5f, -10.0f, -15.0f);
  ExpectTranslation(cubes[9], -10.0f, -7.5f, -15.0f);
  ExpectTranslation(cubes[80], 10.0f, 10.0f, -15.0f);
  Mat4 central;
  CubeWorldMatrix(central, timing.songSeconds, timing.jitterSeconds, timing.jitterSeconds, 0, 0,
                  -5);
  for (const Mat4& m : cubes)
    EXPECT_TRUE(SameRotation(m, central));
}

TEST(Lattice, LayersGoFarToNear) {
  const FrameTiming timing = {30.0f, 30.001f, 50.0f};
  std::vector<Mat4> cubes;
  EmitLattice(timing, [&cubes](const Mat4& m) { cubes.push_back(m); });
  ASSERT_EQ(cubes.size(), 729u);
  ExpectTranslation(cubes[0], -10.0f, -10.0f, -10.0f);
  ExpectTranslation(cubes[1], -7.5f, -10.0f, -10.0f);
  ExpectTranslation(cubes[9], -10.0f, -7.5f, -10.0f);
  ExpectTranslation(cubes[81], -10.0f, -10.0f, -7.5f);
  ExpectTranslation(cubes[728], 10.0f, 10.0f, 10.0f);
}

// The 3 x 3 part of a world matrix only turns: its rows are of unit length and at right angles.
void ExpectPureRotation(const Mat4& m) {
  for (int r = 0; r < 3; ++r) {
    for (int s = r; s < 3; ++s) {
      const float dot = m.m[r * 4] * m.m[s * 4] + m.m[r * 4 + 1] * m.m[s * 4 + 1] +
                        m.m[r * 4 + 2] * m.m[s * 4 + 2];
      EXPECT_NEAR(dot, r == s ? 1.0f : 0.0f, 1e-5f) << "rows " << r << ", " << s;
    }
  }
}

TEST(Lattice, WobblesFromBeat162Only) {
  std::vector<Mat4> cubes;
  auto collect = [&cubes](const Mat4& m) { cubes.push_back(m); };
  Mat4 central;
  const FrameTiming calm = {96.9f, 96.905f, 161.0f};
  EmitLattice(calm, collect);
  CubeWorldMatrix(central, calm.songSeconds, calm.jitterSeconds, calm.jitterSeconds, 0, 0, -5);
  for (const Mat4& m : cubes)
    ASSERT_TRUE(SameRotation(m, central));
  const std::vector<Mat4> calmCubes = cubes;

  cubes.clear();
  const FrameTiming wobbly = {97.5f, 97.507f, 162.0f};
  EmitLattice(wobbly, collect);
  ASSERT_EQ(cubes.size(), calmCubes.size());
  for (size_t i = 0; i < cubes.size(); ++i) {
    SCOPED_TRACE(i);
    // The wobble turns the cubes where they stand: the grid does not move.
    ExpectTranslation(cubes[i], calmCubes[i].m[12], calmCubes[i].m[13], calmCubes[i].m[14]);
    ExpectPureRotation(cubes[i]);
    if (HasFailure()) return;
  }
  // Every cube turns at a rate of its own: its column, row and layer each count, so no two of
  // the 729 share a rotation.
  for (size_t i = 0; i < cubes.size(); ++i) {
    for (size_t k = i + 1; k < cubes.size(); ++k)
      ASSERT_FALSE(SameRotation(cubes[i], cubes[k])) << "cubes " << i << " and " << k;
  }
}

}  // namespace
}  // namespace tc
