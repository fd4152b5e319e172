// Pixels through the real OpenGL operations on a real context: clear values, the pixel stage's
// arithmetic, culling, depth, the vertex stage's texture coordinates and the viewport.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "gl_context.h"
#include "test_files.h"

namespace tc {
namespace {

using test::Rgba;

// Texture bytes of the three stand-in textures.
constexpr uint8_t kDarkTexel[4] = {26, 51, 77, 255};     // about (0.1, 0.2, 0.3, 1)
constexpr uint8_t kGreyTexel[4] = {128, 128, 128, 255};  // about (0.5, 0.5, 0.5, 1)

// What the pixel stage makes of texel byte `t` in a channel with weight `w` (9.2, 8.8 or 9),
// stored by the 8-bit target.
int Expected(uint8_t t, double weight) {
  const double v = std::fmin(1.0, weight * (t / 255.0) / 3.0);
  return static_cast<int>(std::lround(v * 255.0));
}

void ExpectNear(const Rgba& p, int r, int g, int b, int a) {
  EXPECT_NEAR(p.r, r, 2);
  EXPECT_NEAR(p.g, g, 2);
  EXPECT_NEAR(p.b, b, 2);
  EXPECT_NEAR(p.a, a, 2);
}

class Pixels : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::getenv("DISPLAY") == nullptr) return;
    context_ = new test::GlContext;
    std::string error;
    if (!context_->Open({320, 180}, &error)) {
      openError_ = new std::string(error);
      return;
    }
    folder_ = new std::string(test::MakeScratchDir("pixels"));
    WriteResources(*folder_, test::UnitCube());
  }
  static void TearDownTestSuite() {
    if (context_ != nullptr) context_->Close();
    delete context_;
    context_ = nullptr;
    if (folder_ != nullptr) test::RemoveTree(*folder_);
    delete folder_;
    folder_ = nullptr;
  }
  static void WriteResources(const std::string& folder, const test::GlbSpec& mesh) {
    test::WriteStandInResources(folder, 4, 0.1);
    test::WriteFile(folder + "/resources/mesh2.glb", test::BuildGlb(mesh));
    test::Image dark = test::SolidImage(4, 4, kDarkTexel[0], kDarkTexel[1], kDarkTexel[2], 255);
    test::Image grey = test::SolidImage(4, 4, kGreyTexel[0], kGreyTexel[1], kGreyTexel[2], 255);
    // Texture 3 marks its first texel (first row, first column) and its last one.
    test::Image marked = test::SolidImage(4, 4, 0, 40, 0, 255);
    marked.rgba[0] = 60;
    marked.rgba[1] = 0;
    marked.rgba[15 * 4 + 1] = 0;
    marked.rgba[15 * 4 + 2] = 60;
    test::WriteFile(folder + "/resources/texture1.png", test::EncodePng(dark));
    test::WriteFile(folder + "/resources/texture2.png", test::EncodePng(grey));
    test::WriteFile(folder + "/resources/texture3.png", test::EncodePng(marked));
  }

  void SetUp() override {
    if (context_ == nullptr) GTEST_SKIP() << "no X display (DISPLAY unset)";
    ASSERT_EQ(openError_, nullptr) << *openError_;
    std::string error;
    ASSERT_TRUE(context_->LoadScene(*folder_, scene_, &error)) << error;
    MakeProjection(constants_.projectionMatrix, 3.0f);  // a field of view of about 55 degrees
  }
  void TearDown() override {
    if (context_ != nullptr) context_->ReleaseScene(scene_);
  }

  void Draw(float x, float y, float z, int32_t texture, float turnY = 0.0f) {
    Mat4 world;
    CubeWorldMatrix(world, turnY, 0.0f, 0.0f, x, y, z);
    BindCubeTexture(context_->stack.device, scene_, texture);
    DrawCube(context_->stack.device, scene_, context_->stack.program, constants_, world);
  }
  std::vector<Rgba> Read() { return context_->ReadBackBuffer(); }
  Rgba Centre(const std::vector<Rgba>& pixels) {
    return context_->Pixel(pixels, context_->resolution.width / 2, context_->resolution.height / 2);
  }

  static test::GlContext* context_;
  static std::string* folder_;
  static std::string* openError_;
  SceneResources scene_;
  SceneConstants constants_ = {};
};

test::GlContext* Pixels::context_ = nullptr;
std::string* Pixels::folder_ = nullptr;
std::string* Pixels::openError_ = nullptr;

TEST_F(Pixels, ClearLeavesBlackWithZeroAlpha) {
  ClearFrame(context_->stack.device);
  for (const Rgba& p : Read()) {
    ASSERT_EQ(p.r, 0);
    ASSERT_EQ(p.g, 0);
    ASSERT_EQ(p.b, 0);
    ASSERT_EQ(p.a, 0);
  }
  PresentFrame(context_->stack.device);
}

TEST_F(Pixels, PixelStageBrightensTheTexelThreefold) {
  ClearFrame(context_->stack.device);
  Draw(0, 0, -3, 0);
  const Rgba dark = Centre(Read());
  ExpectNear(dark, Expected(kDarkTexel[0], 9.2), Expected(kDarkTexel[1], 8.8),
             Expected(kDarkTexel[2], 9.0), 255);
  // About (0.307, 0.587, 0.9, 1).
  EXPECT_NEAR(dark.r / 255.0, 0.307, 0.015);
  EXPECT_NEAR(dark.g / 255.0, 0.587, 0.015);
  EXPECT_NEAR(dark.b / 255.0, 0.9, 0.015);

  ClearFrame(context_->stack.device);
  Draw(0, 0, -3, 1);
  ExpectNear(Centre(Read()), 255, 255, 255, 255);  // (0.5, 0.5, 0.5, 1) saturates to white
  PresentFrame(context_->stack.device);
}

TEST_F(Pixels, CubeSeenFromOutsideIsDrawnAndItsInsideFacesAreCulled) {
  ClearFrame(context_->stack.device);
  Draw(0, 0, -3, 1, 0.5f);
  const std::vector<Rgba> outside = Read();
  EXPECT_TRUE(test::IsLit(Centre(outside)));
  EXPECT_FALSE(test::IsLit(context_->Pixel(outside, 0, 0)));

  // The camera at the centre of the cube sees only the inner sides of its faces.
  ClearFrame(context_->stack.device);
  Draw(0, 0, 0, 1);
  for (const Rgba& p : Read())
    ASSERT_FALSE(test::IsLit(p));
  PresentFrame(context_->stack.device);
}

TEST_F(Pixels, NearerOfTwoOverlappingCubesWinsInEitherOrder) {
  const int nearRed = Expected(kDarkTexel[0], 9.2);
  for (bool nearFirst : {true, false}) {
    ClearFrame(context_->stack.device);
    if (nearFirst) {
      Draw(0, 0, -3, 0);
      BindCubeTexture(context_->stack.device, scene_, 1);
      Draw(0.2f, 0.1f, -4, 1);
    } else {
      Draw(0.2f, 0.1f, -4, 1);
      BindCubeTexture(context_->stack.device, scene_, 0);
      Draw(0, 0, -3, 0);
    }
    EXPECT_NEAR(Centre(Read()).r, nearRed, 2) << (nearFirst ? "near cube first" : "far first");
  }
  PresentFrame(context_->stack.device);
}

TEST_F(Pixels, DepthIsZOverWInZeroToOneAsOnDirect3D) {
  // The front face of a cube at z = -3 lies at z = -2.5, where the projection gives
  // z / w = (2.5 - 0.02) / 2.5 = 0.992. A -1..1 clip space would store (0.992 + 1) / 2 instead.
  ClearFrame(context_->stack.device);
  Draw(0, 0, -3, 0);
  float depth = 0.0f;
  glReadBuffer(GL_BACK);
  glReadPixels(context_->resolution.width / 2, context_->resolution.height / 2, 1, 1,
               GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
  EXPECT_NEAR(depth, 0.992f, 1e-4f);  // 24- or 32-bit depth buffers alike
  PresentFrame(context_->stack.device);
}

TEST_F(Pixels, TextureCoordinatesComeFromTheObjectSpacePosition) {
  // A square in the plane z = 0 from (-0.5, -0.5, 0) to (0.5, 0.5, 0), facing the camera.
  test::GlbSpec square;
  square.positions = {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0};
  square.indices = {0, 1, 2, 0, 2, 3};
  const std::string folder = test::MakeScratchDir("square");
  WriteResources(folder, square);
  SceneResources squareScene;
  std::string error;
  ASSERT_TRUE(context_->LoadScene(folder, squareScene, &error)) << error;
  test::RemoveTree(folder);

  ClearFrame(context_->stack.device);
  Mat4 world;
  CubeWorldMatrix(world, 0, 0, 0, 0, 0, -1.2f);
  BindCubeTexture(context_->stack.device, squareScene, 2);
  DrawCube(context_->stack.device, squareScene, context_->stack.program, constants_, world);
  const std::vector<Rgba> pixels = Read();
  context_->ReleaseScene(squareScene);
  PresentFrame(context_->stack.device);

  // Find the square's lit extent on screen.
  const int w = context_->resolution.width;
  const int h = context_->resolution.height;
  int left = w, right = -1, top = h, bottom = -1;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!test::IsLit(context_->Pixel(pixels, x, y))) continue;
      left = std::min(left, x);
      right = std::max(right, x);
      top = std::min(top, y);
      bottom = std::max(bottom, y);
    }
  }
  ASSERT_LT(left, right);
  // Near the vertex at (-0.5, -0.5, 0), and in the whole lower-left quarter, the coordinates are
  // (-1, -1)..(0, 0): clamped to the first texel, marked red.
  const Rgba lowerLeft = context_->Pixel(pixels, left + 1, bottom - 1);
  ExpectNear(lowerLeft, Expected(60, 9.2), 0, 0, 255);
  const Rgba quarter = context_->Pixel(pixels, (left * 3 + right) / 4, (top + bottom * 3) / 4);
  ExpectNear(quarter, Expected(60, 9.2), 0, 0, 255);
  // Near (0.5, 0.5, 0) the coordinates reach (1, 1): the last texel, marked blue.
  const Rgba upperRight = context_->Pixel(pixels, right - 1, top + 1);
  ExpectNear(upperRight, 0, 0, Expected(60, 9.0), 255);
}

TEST_F(Pixels, PipelinedReadbackHandsFramesOverOldestFirst) {
  // kDepth frames in flight before the first collect: a dark cube, nothing, a grey cube.
  RenderDevice& device = context_->stack.device;
  FrameReadback readback;
  ASSERT_TRUE(CreateFrameReadback(device, readback).ok);
  static_assert(FrameReadback::kDepth == 3, "one expected colour per frame in flight");
  for (int32_t frame = 0; frame < FrameReadback::kDepth; ++frame) {
    ClearFrame(device);
    if (frame != 1) Draw(0, 0, -3, frame == 0 ? 0 : 1);
    IssueFrameReadback(device, readback);
    PresentFrame(device);
  }
  std::vector<Rgba> pixels(FrameReadbackBytes(readback) / sizeof(Rgba));
  uint8_t* bytes = reinterpret_cast<uint8_t*>(pixels.data());
  const int expectedRed[] = {Expected(kDarkTexel[0], 9.2), 0, 255};
  for (int frame = 0; frame < FrameReadback::kDepth; ++frame) {
    ASSERT_TRUE(CollectFrameReadback(device, readback, bytes, FrameReadbackBytes(readback)).ok);
    EXPECT_NEAR(Centre(pixels).r, expectedRed[frame], 2) << "frame " << frame;
  }
  EXPECT_EQ(PendingFrameReadbacks(readback), 0);
  ReleaseFrameReadback(readback);
}

TEST_F(Pixels, ReadbackRefusesABufferSmallerThanTheDrawable) {
  // A buffer sized from the resolution asked for, one row short of the drawable: nothing may be
  // written past its end, and the failure says why.
  RenderDevice& device = context_->stack.device;
  FrameReadback readback;
  ASSERT_TRUE(CreateFrameReadback(device, readback).ok);
  const size_t rowBytes = static_cast<size_t>(readback.width) * 4;
  std::vector<uint8_t> buffer(FrameReadbackBytes(readback), 0xAB);
  ClearFrame(device);
  IssueFrameReadback(device, readback);
  const StartupStatus status =
      CollectFrameReadback(device, readback, buffer.data(), buffer.size() - rowBytes);
  EXPECT_FALSE(status.ok);
  EXPECT_NE(std::string(status.message).find("does not fit"), std::string::npos) << status.message;
  EXPECT_EQ(buffer.front(), 0xAB) << "written although it does not fit";
  EXPECT_EQ(PendingFrameReadbacks(readback), 0);
  PresentFrame(device);
  ReleaseFrameReadback(readback);
}

// A fresh window per resolution: the window, the default framebuffer and the viewport all have
// the build's size, so a cube right in front of the camera covers every pixel.
class FullWindow : public ::testing::TestWithParam<Resolution> {};

TEST_P(FullWindow, CubeInFrontOfTheCameraFillsEveryPixel) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (DISPLAY unset)";
  const Resolution resolution = GetParam();
  test::GlContext context;
  std::string error;
  ASSERT_TRUE(context.Open(resolution, &error)) << error;
  const std::string folder = test::MakeScratchDir("full");
  test::WriteStandInResources(folder, 4, 0.1);
  SceneResources scene;
  ASSERT_TRUE(context.LoadScene(folder, scene, &error)) << error;
  test::RemoveTree(folder);

  int x = -1, y = -1, w = 0, h = 0;
  SDL_GetWindowPosition(context.stack.window, &x, &y);
  SDL_GetWindowSize(context.stack.window, &w, &h);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, resolution.width);
  EXPECT_EQ(h, resolution.height);

  SceneConstants constants = {};
  MakeProjection(constants.projectionMatrix, 3.0f);
  Mat4 world;
  CubeWorldMatrix(world, 0, 0, 0, 0, 0, -0.6f);
  ClearFrame(context.stack.device);
  BindCubeTexture(context.stack.device, scene, 0);
  DrawCube(context.stack.device, scene, context.stack.program, constants, world);
  const std::vector<test::Rgba> pixels = context.ReadBackBuffer();
  size_t unlit = 0;
  for (const test::Rgba& p : pixels)
    unlit += test::IsLit(p) ? 0 : 1;
  EXPECT_EQ(unlit, 0u) << resolution.width << "x" << resolution.height;
  PresentFrame(context.stack.device);
  context.ReleaseScene(scene);
  context.Close();
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, FullWindow,
                         ::testing::Values(Resolution{1920, 1080}, Resolution{1280, 720}),
                         [](const ::testing::TestParamInfo<Resolution>& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

}  // namespace
}  // namespace tc
