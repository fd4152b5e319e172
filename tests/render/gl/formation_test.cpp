// The demo's own frames on screen: the choreography's frame pass drawing through the real OpenGL
// verbs at chosen song times. As the wall, the lattice and the ring come in, more of the screen
// is lit. The frames are saved as PNG files in the test's output folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "demo/frame.h"
#include "gl_context.h"
#include "test_files.h"

namespace tc {
namespace {

// The demo's own adapter to the render verbs, counting the cubes it draws.
struct CountingRenderer {
  FrameRenderer inner;
  int cubes = 0;
  void ClearFrame() { inner.ClearFrame(); }
  void BindCubeTexture(int32_t i) { inner.BindCubeTexture(i); }
  void DrawCube(const Mat4& world) {
    ++cubes;
    inner.DrawCube(world);
  }
};

TEST(Formations, MoreOfTheScreenLightsUpAsTheFormationsComeIn) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (DISPLAY unset)";
  test::GlContext context;
  std::string error;
  ASSERT_TRUE(context.Open({1920, 1080}, &error)) << error;
  // The real pictures where they are present, else stand-ins of our own.
  std::string folder;
  std::string scratch;
  if (test::RealResourcesPresent(&folder)) {
    folder += "/..";
  } else {
    scratch = folder = test::MakeScratchDir("formations");
    test::WriteStandInResources(folder, 16, 0.1);
  }
  SceneResources scene;
  ASSERT_TRUE(context.LoadScene(folder, scene, &error)) << error;
  if (!scratch.empty()) test::RemoveTree(scratch);

  // One fresh run, fed song times 30 ms apart (so every beat is seen and the ring takes each
  // shape row), drawing only at the chosen moments.
  DemoState state;
  SceneConstants constants = {};
  Mat4& projection = constants.projectionMatrix;
  static ShapeTable table;
  BuildShapeTable(table);
  std::ostringstream beats;
  NullRenderer idle;
  CountingRenderer renderer{{context.stack.device, scene, context.stack.program, constants}};

  struct Shot {
    float seconds;
    const char* name;
    int cubes;
    size_t lit;
  };
  // Times where this run's field of view shows each formation well (the projection follows the
  // song time, so some moments are zoomed far in or far out).
  Shot shots[] = {{12.0f, "central", 0, 0},
                  {24.0f, "wall", 0, 0},
                  {30.0f, "lattice", 0, 0},
                  {80.0f, "ring", 0, 0},
                  {104.0f, "lattice-ring", 0, 0}};
  float t = 0.0f;
  const std::string output = TC_TEST_OUTPUT_DIR;
  for (Shot& shot : shots) {
    for (; t < shot.seconds; t += 0.03f) {
      RunChoreographyFrame(state, projection, table, t, beats, idle);
    }
    renderer.cubes = 0;
    RunChoreographyFrame(state, projection, table, shot.seconds, beats, renderer);
    const std::vector<test::Rgba> pixels = context.ReadBackBuffer();
    PresentFrame(context.stack.device);
    shot.cubes = renderer.cubes;
    for (const test::Rgba& p : pixels)
      shot.lit += test::IsLit(p) ? 1 : 0;
    const std::string path = output + "/frame-" + shot.name + ".png";
    EXPECT_TRUE(context.SavePng(pixels, path)) << path;
    std::printf("%6.1f s: %4d cubes, %7zu lit pixels -> %s\n", shot.seconds, shot.cubes, shot.lit,
                path.c_str());
  }
  context.ReleaseScene(scene);
  context.Close();

  EXPECT_EQ(shots[0].cubes, 1);                        // the central cube alone
  EXPECT_EQ(shots[1].cubes, 1 + 81);                   // and the wall
  EXPECT_EQ(shots[2].cubes, 1 + 729);                  // the lattice instead of the wall
  EXPECT_EQ(shots[3].cubes, 1 + (1 + 5 * 69));         // the ring, five cubes more per beat from 65
  EXPECT_EQ(shots[4].cubes, 1 + 729 + (1 + 5 * 109));  // the wobbling lattice and the ring

  EXPECT_GT(shots[0].lit, 0u);
  EXPECT_GT(shots[1].lit, 10 * shots[0].lit);
  EXPECT_GT(shots[2].lit, shots[1].lit);
  EXPECT_GT(shots[3].lit, 10 * shots[0].lit);
  EXPECT_GT(shots[4].lit, shots[1].lit);
}

}  // namespace
}  // namespace tc
