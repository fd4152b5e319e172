// Pixel tests of the Direct3D 11 renderer: small scenes drawn through the real start-up
// operations and frame verbs, read back from the back buffer before presentation. Built once per
// build resolution.
#include <cmath>
#include <string>

#include "render/stack.h"
#include "tests/support/back_buffer.h"
#include "tests/windows/harness.h"
#include "tests/windows/scene_files.h"

namespace tc::wintest {
namespace {

constexpr Resolution kBuildResolution = {TC_WIDTH, TC_HEIGHT};
using test::PixelNear;
using test::Pixels;
using test::ReadBackBuffer;

// Everything a scene needs, opened through the drawing stack.
struct Renderer {
  DrawingStack stack;
  RenderDevice& device = stack.device;
  SceneResources& scene = stack.scene;
  SceneConstants& constants = stack.constants;
  bool ready = false;

  // Loads whatever scene files the working folder holds.
  bool Start() {
    ResourcePaths resources;
    SetResourceFolder(kWorkingDirectoryResources, resources);
    StackOptions options;
    options.resolution = kBuildResolution;
    const StartupStatus status = OpenDrawingStack(options, resources, stack);
    if (!status.ok) std::printf("  start-up failed: %s\n", status.message);
    ready = status.ok;
    return ready;
  }

  // A texture index binds that texture first; without one the cube takes the one bound last.
  void Draw(const Mat4& world, int32_t textureIndex = -1) {
    if (textureIndex >= 0) BindCubeTexture(device, scene, textureIndex);
    DrawCube(device, scene, stack.program, constants, world);
  }

  ~Renderer() { CloseDrawingStack(stack); }
};

Mat4 Identity() {
  Mat4 m;
  SetIdentity(m);
  return m;
}

Mat4 Moved(float x, float y, float z) {
  Mat4 m;
  CubeWorldMatrix(m, 0.0f, 0.0f, 0.0f, x, y, z);
  return m;
}

// The demo's own projection at a song time where the field of view is about 55 degrees.
void UseDemoProjection(Renderer& r) {
  MakeProjection(r.constants.projectionMatrix, 3.0f);
}

// What the pixel stage makes of one 8-bit channel with weight 9.2, 8.8 or 9 (the four pixel
// parameters read as zero), stored back into the 8-bit target.
uint8_t Brightened(uint8_t texel, double weight) {
  const double value = weight * (texel / 255.0) / 3.0;
  return static_cast<uint8_t>(std::lround(std::fmin(value, 1.0) * 255.0));
}

void Brightened(const uint8_t (&texel)[4], uint8_t (&out)[4]) {
  out[0] = Brightened(texel[0], 9.2);
  out[1] = Brightened(texel[1], 8.8);
  out[2] = Brightened(texel[2], 9.0);
  out[3] = Brightened(texel[3], 9.0);
}

// Pixel coordinates of a point given in normalised device coordinates (y up).
int PixelX(float ndcX) {
  return static_cast<int>((ndcX + 1.0f) * 0.5f * kBuildResolution.width);
}
int PixelY(float ndcY) {
  return static_cast<int>((1.0f - ndcY) * 0.5f * kBuildResolution.height);
}

bool Prepare(const TestMesh& mesh, const TestImage& image, Renderer& r) {
  std::string folder;
  if (!EnterFreshWorkingFolder(folder) || !WriteScene(mesh, image)) {
    std::printf("  could not write the scene files\n");
    return false;
  }
  return r.Start();
}

void ExpectPixel(const Pixels& pixels, int x, int y, const uint8_t (&expected)[4], int tolerance,
                 const char* what) {
  const uint8_t* p = pixels.At(x, y);
  TC_CHECK_MSG(PixelNear(pixels, x, y, expected, tolerance),
               "%s: pixel (%d, %d) is (%d, %d, %d, %d), expected (%d, %d, %d, %d) +- %d", what, x,
               y, p[0], p[1], p[2], p[3], expected[0], expected[1], expected[2], expected[3],
               tolerance);
}

const uint8_t kClear[4] = {0, 0, 0, 0};

void ClearColourIsTransparentBlack() {
  Renderer r;
  if (!Prepare(UnitCube(), SolidImage(4, 4, 200, 100, 50, 255), r))
    return TC_FAIL("scene set-up failed");
  ClearFrame(r.device);
  Pixels pixels;
  TC_CHECK(ReadBackBuffer(r.device, pixels));
  size_t notClear = 0;
  for (uint8_t byte : pixels.rgba)
    notClear += byte != 0;
  TC_CHECK_MSG(notClear == 0, "%zu bytes of the cleared frame are not zero", notClear);
  PresentFrame(r.device);
}

// A window-filling quad with a one-colour texture shows the pixel stage's output everywhere.
void ExpectSolidOutput(uint8_t r8, uint8_t g8, uint8_t b8, const uint8_t (&expected)[4]) {
  Renderer r;
  if (!Prepare(Quad(-1.0f, -1.0f, 1.0f, 1.0f, 0.0f), SolidImage(4, 4, r8, g8, b8, 255), r)) {
    return TC_FAIL("scene set-up failed");
  }
  r.constants.projectionMatrix = Identity();
  ClearFrame(r.device);
  r.Draw(Moved(0.0f, 0.0f, 0.5f));
  Pixels pixels;
  TC_CHECK(ReadBackBuffer(r.device, pixels));
  ExpectPixel(pixels, PixelX(0.0f), PixelY(0.0f), expected, 2, "centre");
  ExpectPixel(pixels, 3, 3, expected, 2, "top-left");
  PresentFrame(r.device);
}

void DarkTexelIsBrightened() {
  // (0.1, 0.2, 0.3, 1) comes out as about (0.307, 0.587, 0.9, 1).
  const uint8_t texel[4] = {26, 51, 77, 255};
  uint8_t expected[4];
  Brightened(texel, expected);
  TC_CHECK(std::abs(expected[0] - 80) <= 2 && std::abs(expected[1] - 150) <= 1 &&
           std::abs(expected[2] - 231) <= 1 && expected[3] == 255);
  ExpectSolidOutput(texel[0], texel[1], texel[2], expected);
}

void MidGreyTexelSaturatesToWhite() {
  const uint8_t white[4] = {255, 255, 255, 255};
  ExpectSolidOutput(128, 128, 128, white);
}

void CubeSeenFromOutsideIsDrawn() {
  Renderer r;
  if (!Prepare(UnitCube(), SolidImage(4, 4, 40, 40, 40, 255), r))
    return TC_FAIL("scene set-up failed");
  UseDemoProjection(r);
  ClearFrame(r.device);
  r.Draw(Moved(0.0f, 0.0f, -5.0f));
  Pixels pixels;
  TC_CHECK(ReadBackBuffer(r.device, pixels));
  uint8_t lit[4];
  Brightened({40, 40, 40, 255}, lit);
  ExpectPixel(pixels, PixelX(0.0f), PixelY(0.0f), lit, 2, "cube centre");
  ExpectPixel(pixels, 2, 2, kClear, 0, "background");
  PresentFrame(r.device);
}

void FacesSeenFromInsideAreCulled() {
  Renderer r;
  if (!Prepare(UnitCube(), SolidImage(4, 4, 40, 40, 40, 255), r))
    return TC_FAIL("scene set-up failed");
  UseDemoProjection(r);
  ClearFrame(r.device);
  r.Draw(Moved(0.0f, 0.0f, 0.0f));  // the camera sits at the cube's centre
  Pixels pixels;
  TC_CHECK(ReadBackBuffer(r.device, pixels));
  size_t drawn = 0;
  for (size_t i = 3; i < pixels.rgba.size(); i += 4)
    drawn += pixels.rgba[i] != 0;
  TC_CHECK_MSG(drawn == 0, "%zu pixels of inward-facing triangles were drawn", drawn);
  PresentFrame(r.device);
}

// Two cubes on the view axis, each with its own texture: the nearer one covers the centre,
// whichever is drawn first.
void NearerCubeWins(bool nearFirst) {
  Renderer r;
  std::string folder;
  if (!EnterFreshWorkingFolder(folder) || !WriteMeshFile(UnitCube()) ||
      !WriteTextureFile(0, SolidImage(4, 4, 60, 0, 0, 255)) ||
      !WriteTextureFile(1, SolidImage(4, 4, 0, 0, 60, 255)) ||
      !WriteTextureFile(2, SolidImage(4, 4, 0, 60, 0, 255)) || !r.Start()) {
    return TC_FAIL("scene set-up failed");
  }
  UseDemoProjection(r);
  ClearFrame(r.device);
  const Mat4 nearCube = Moved(0.0f, 0.0f, -4.0f);
  const Mat4 farCube = Moved(0.0f, 0.0f, -8.0f);
  if (nearFirst) {
    r.Draw(nearCube, 1);
    BindCubeTexture(r.device, r.scene, 0);
    r.Draw(farCube);
  } else {
    r.Draw(farCube, 0);
    BindCubeTexture(r.device, r.scene, 1);
    r.Draw(nearCube);
  }
  Pixels pixels;
  TC_CHECK(ReadBackBuffer(r.device, pixels));
  uint8_t blue[4];
  Brightened({0, 0, 60, 255}, blue);
  ExpectPixel(pixels, PixelX(0.0f), PixelY(0.0f), blue, 2, "centre shows the near cube");
  PresentFrame(r.device);
}

// Texture coordinates are ((x + z) * 2, (y + z) * 2) of the object-space position, clamped: a
// vertex at (-0.5, -0.5, 0) reads texel (0, 0), the first pixel of the file's first row, and one
// at (0.5, -0.5, 0.5) reads (2, 0), the last pixel of the first row.
void TextureCoordinatesFollowThePosition() {
  TestImage image = SolidImage(4, 4, 10, 10, 10, 255);
  const uint8_t firstTexel[4] = {20, 40, 60, 255};
  const uint8_t lastOfFirstRow[4] = {60, 20, 5, 255};
  for (int c = 0; c < 4; ++c) {
    image.rgba[c] = firstTexel[c];
    image.rgba[3 * 4 + c] = lastOfFirstRow[c];
  }
  TestMesh mesh = Quad(-0.5f, -0.5f, -0.3f, -0.3f, 0.0f);
  Append(mesh, Quad(0.45f, -0.5f, 0.5f, -0.45f, 0.5f));

  Renderer r;
  if (!Prepare(mesh, image, r)) return TC_FAIL("scene set-up failed");
  r.constants.projectionMatrix = Identity();
  ClearFrame(r.device);
  r.Draw(Moved(0.0f, 0.0f, 0.25f));
  Pixels pixels;
  TC_CHECK(ReadBackBuffer(r.device, pixels));
  uint8_t expected[4];
  Brightened(firstTexel, expected);
  ExpectPixel(pixels, PixelX(-0.45f), PixelY(-0.45f), expected, 2, "near (-0.5, -0.5, 0)");
  Brightened(lastOfFirstRow, expected);
  ExpectPixel(pixels, PixelX(0.49f), PixelY(-0.49f), expected, 2, "near (0.5, -0.5, 0.5)");
  // Lower half of the window in NDC is the lower half of the image: nothing above the centre.
  ExpectPixel(pixels, PixelX(-0.45f), PixelY(0.45f), kClear, 0, "mirror image above the centre");
  PresentFrame(r.device);
}

void WholeWindowIsCovered() {
  Renderer r;
  if (!Prepare(Quad(-1.0f, -1.0f, 1.0f, 1.0f, 0.0f), SolidImage(4, 4, 30, 30, 30, 255), r)) {
    return TC_FAIL("scene set-up failed");
  }
  r.constants.projectionMatrix = Identity();
  ClearFrame(r.device);
  r.Draw(Moved(0.0f, 0.0f, 0.5f));
  Pixels pixels;
  TC_CHECK(ReadBackBuffer(r.device, pixels));
  TC_CHECK_MSG(pixels.width == kBuildResolution.width && pixels.height == kBuildResolution.height,
               "back buffer is %dx%d", pixels.width, pixels.height);
  size_t uncovered = 0;
  for (size_t i = 3; i < pixels.rgba.size(); i += 4)
    uncovered += pixels.rgba[i] == 0;
  TC_CHECK_MSG(uncovered == 0, "%zu of %dx%d pixels not covered", uncovered, pixels.width,
               pixels.height);
  PresentFrame(r.device);
}

// kDepth frames in flight before the first collect, each a differently textured cube: they come
// back oldest first, as the capture tool relies on.
void PipelinedReadbackHandsFramesOverOldestFirst() {
  static_assert(FrameReadback::kDepth == 3, "one texture per frame in flight");
  Renderer r;
  std::string folder;
  if (!EnterFreshWorkingFolder(folder) || !WriteMeshFile(UnitCube()) ||
      !WriteTextureFile(0, SolidImage(4, 4, 60, 0, 0, 255)) ||
      !WriteTextureFile(1, SolidImage(4, 4, 0, 60, 0, 255)) ||
      !WriteTextureFile(2, SolidImage(4, 4, 0, 0, 60, 255)) || !r.Start()) {
    return TC_FAIL("scene set-up failed");
  }
  UseDemoProjection(r);
  FrameReadback readback;
  TC_CHECK(CreateFrameReadback(r.device, readback).ok);
  for (int32_t frame = 0; frame < FrameReadback::kDepth; ++frame) {
    ClearFrame(r.device);
    r.Draw(Moved(0.0f, 0.0f, -5.0f), frame);
    IssueFrameReadback(r.device, readback);
    PresentFrame(r.device);
  }
  Pixels pixels;
  pixels.width = readback.width;
  pixels.height = readback.height;
  pixels.rgba.resize(FrameReadbackBytes(readback));
  for (int frame = 0; frame < FrameReadback::kDepth; ++frame) {
    TC_CHECK(CollectFrameReadback(r.device, readback, pixels.rgba.data(), pixels.rgba.size()).ok);
    const uint8_t texel[4] = {static_cast<uint8_t>(frame == 0 ? 60 : 0),
                              static_cast<uint8_t>(frame == 1 ? 60 : 0),
                              static_cast<uint8_t>(frame == 2 ? 60 : 0), 255};
    uint8_t expected[4];
    Brightened(texel, expected);
    ExpectPixel(pixels, PixelX(0.0f), PixelY(0.0f), expected, 2, "centre of a collected frame");
  }
  ReleaseFrameReadback(readback);
}

}  // namespace
}  // namespace tc::wintest

int main() {
  using namespace tc::wintest;
  Suite suite;
  suite.Case("clear colour is transparent black", ClearColourIsTransparentBlack);
  suite.Case("texel (0.1, 0.2, 0.3, 1) is brightened", DarkTexelIsBrightened);
  suite.Case("texel (0.5, 0.5, 0.5, 1) saturates to white", MidGreyTexelSaturatesToWhite);
  suite.Case("cube seen from outside is drawn", CubeSeenFromOutsideIsDrawn);
  suite.Case("faces seen from inside are culled", FacesSeenFromInsideAreCulled);
  suite.Case("nearer cube wins when drawn last", [] { NearerCubeWins(false); });
  suite.Case("nearer cube wins when drawn first", [] { NearerCubeWins(true); });
  suite.Case("texture coordinates follow the position", TextureCoordinatesFollowThePosition);
  suite.Case("whole window is covered", WholeWindowIsCovered);
  suite.Case("pipelined read-back hands frames over oldest first",
             PipelinedReadbackHandsFramesOverOldestFirst);
  char name[64];
  std::snprintf(name, sizeof name, "pixel tests %dx%d", tc::wintest::kBuildResolution.width,
                tc::wintest::kBuildResolution.height);
  return suite.Finish(name);
}
