// Pixels through the real OpenGL operations on a real context: the table of pixel cases that the
// Direct3D 11 tests run under Wine too (tests/support/pixel_cases.h), and what only this backend
// has: the window SDL opens and the uniform block the shader program declares.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <string>
#include <vector>
#include <ostream>

#include "gl_context.h"
#include "test_files.h"
#include "render/scene_constants.h"
#include "tests/support/pixel_cases.h"

namespace tc::test {
// Failures name the case, not its address.
void PrintTo(const PixelCase* pixelCase, std::ostream* out) {
  *out << pixelCase->id;
}
}  // namespace tc::test

namespace tc {
namespace {

// One context for the whole table, at the smaller build's size.
class GlFixture : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::getenv("DISPLAY") == nullptr) return;
    context_ = new test::GlContext;
    std::string error;
    if (!context_->Open(kResolution, &error)) openError_ = new std::string(error);
  }
  static void TearDownTestSuite() {
    if (context_ != nullptr) context_->Close();
    delete context_;
    context_ = nullptr;
    delete openError_;
    openError_ = nullptr;
  }
  void SetUp() override {
    if (context_ == nullptr) GTEST_SKIP() << "no X display (DISPLAY unset)";
    ASSERT_EQ(openError_, nullptr) << *openError_;
  }

  static constexpr Resolution kResolution = {1280, 720};
  static test::GlContext* context_;
  static std::string* openError_;
};

test::GlContext* GlFixture::context_ = nullptr;
std::string* GlFixture::openError_ = nullptr;

class PixelCases : public GlFixture,
                   public ::testing::WithParamInterface<const test::PixelCase*> {};

TEST_P(PixelCases, Holds) {
  test::PixelRig rig{context_->stack, kResolution, {}};
  GetParam()->run(rig);
  for (const std::string& failure : rig.failures)
    ADD_FAILURE() << GetParam()->what << ": " << failure;
}

std::vector<const test::PixelCase*> AllCases() {
  std::vector<const test::PixelCase*> cases;
  for (size_t i = 0; i < test::kPixelCaseCount; ++i)
    cases.push_back(&test::kPixelCases[i]);
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Table, PixelCases, ::testing::ValuesIn(AllCases()),
                         [](const ::testing::TestParamInfo<const test::PixelCase*>& info) {
                           return std::string(info.param->id);
                         });

// The vertex stage reads the constants exactly as uploaded: its block has the record's size and
// each matrix at the record's offset, so a member added or moved on one side alone shows here.
using GlProgram = GlFixture;

TEST_F(GlProgram, UniformBlockHasTheConstantsLayout) {
  const GLuint program = context_->stack.program.program;
  const GLuint block = glGetUniformBlockIndex(program, "c");
  ASSERT_NE(block, GL_INVALID_INDEX);
  GLint size = 0;
  glGetActiveUniformBlockiv(program, block, GL_UNIFORM_BLOCK_DATA_SIZE, &size);
  EXPECT_EQ(size, static_cast<GLint>(sizeof(SceneConstants)));
  const char* names[] = {"projectionMatrix", "worldMatrix"};
  GLuint indices[2] = {GL_INVALID_INDEX, GL_INVALID_INDEX};
  glGetUniformIndices(program, 2, names, indices);
  ASSERT_NE(indices[0], GL_INVALID_INDEX);
  ASSERT_NE(indices[1], GL_INVALID_INDEX);
  GLint offsets[2] = {-1, -1};
  glGetActiveUniformsiv(program, 2, indices, GL_UNIFORM_OFFSET, offsets);
  EXPECT_EQ(offsets[0], static_cast<GLint>(offsetof(SceneConstants, projectionMatrix)));
  EXPECT_EQ(offsets[1], static_cast<GLint>(offsetof(SceneConstants, worldMatrix)));
}

// A fresh window per build size: at the screen's origin, of the build's size, its back buffer
// too, so that a window-filling quad covers every pixel.
TEST_F(GlFixture, ReadbackRefusesABufferSmallerThanTheDrawable) {
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

class FullWindow : public ::testing::TestWithParam<Resolution> {};

TEST_P(FullWindow, OpensAtTheOriginWithTheBuildsSize) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display (DISPLAY unset)";
  const Resolution resolution = GetParam();
  test::GlContext context;
  std::string error;
  ASSERT_TRUE(context.Open(resolution, &error)) << error;
  int x = -1, y = -1, w = 0, h = 0;
  SDL_GetWindowPosition(context.stack.window, &x, &y);
  SDL_GetWindowSize(context.stack.window, &w, &h);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, resolution.width);
  EXPECT_EQ(h, resolution.height);
  for (size_t i = 0; i < test::kPixelCaseCount; ++i) {
    if (std::string(test::kPixelCases[i].id) != "WholeWindowIsCovered") continue;
    test::PixelRig rig{context.stack, resolution, {}};
    test::kPixelCases[i].run(rig);
    for (const std::string& failure : rig.failures)
      ADD_FAILURE() << failure;
  }
  context.Close();
}

INSTANTIATE_TEST_SUITE_P(BothBuilds, FullWindow,
                         ::testing::Values(Resolution{1920, 1080}, Resolution{1280, 720}),
                         [](const ::testing::TestParamInfo<Resolution>& info) {
                           return std::to_string(info.param.width) + "x" +
                                  std::to_string(info.param.height);
                         });

// The window owns the context: the device's release leaves it, and what was made on it (the scene
// and the program), to the window, so a new device on the same window draws with them.
TEST(WindowContext, OutlivesTheDeviceMadeOnIt) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no X display";
  const Resolution resolution{320, 180};
  test::GlContext context;
  std::string error;
  ASSERT_TRUE(context.Open(resolution, &error)) << error;
  const std::string folder = test::MakeScratchDir("window_context");
  test::WriteStandInResources(folder, 4, 0.1);
  SceneResources scene;
  ASSERT_TRUE(context.LoadScene(folder, scene, &error)) << error;
  test::RemoveTree(folder);

  ReleaseRenderDevice(context.stack.device);
  const StartupStatus again =
      CreateRenderDevice(context.stack.window, resolution, context.stack.device);
  ASSERT_TRUE(again.ok) << again.message;

  SceneConstants constants = {};
  MakeProjection(constants.projectionMatrix, 3.0f);
  Mat4 world;
  CubeWorldMatrix(world, 0, 0, 0, 0, 0, -0.6f);
  ClearFrame(context.stack.device);
  BindCubeTexture(context.stack.device, scene, 0);
  DrawCube(context.stack.device, scene, context.stack.program, constants, world);
  const std::vector<test::Rgba> pixels = context.ReadBackBuffer();
  EXPECT_TRUE(std::all_of(pixels.begin(), pixels.end(), test::IsLit))
      << "the scene and the program made before the device's release no longer draw";
  PresentFrame(context.stack.device);
  context.ReleaseScene(scene);
  context.Close();
}

}  // namespace
}  // namespace tc
