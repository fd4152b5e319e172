#include "pixel_cases.h"

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "glb_writer.h"
#include "stb_image_write.h"
#include "tests/support/back_buffer.h"

namespace tc::test {
namespace {

namespace fs = std::filesystem;

struct Picture {
  int width = 4;
  int height = 4;
  std::vector<uint8_t> rgba;  // rows top-down
};

Picture Solid(uint8_t r, uint8_t g, uint8_t b) {
  Picture p;
  for (int i = 0; i < p.width * p.height; ++i)
    p.rgba.insert(p.rgba.end(), {r, g, b, 255});
  return p;
}

struct Mesh {
  std::vector<float> positions;  // x, y, z per vertex
  std::vector<uint32_t> indices;
};

// Corners at +-0.5, every face counter-clockwise seen from outside.
Mesh Cube() {
  Mesh mesh;
  // Corner i has x = bit 0, y = bit 1, z = bit 2 of i.
  for (int i = 0; i < 8; ++i) {
    mesh.positions.push_back((i & 1) ? 0.5f : -0.5f);
    mesh.positions.push_back((i & 2) ? 0.5f : -0.5f);
    mesh.positions.push_back((i & 4) ? 0.5f : -0.5f);
  }
  mesh.indices = {4, 5, 7, 4, 7, 6,   // +z
                  0, 2, 3, 0, 3, 1,   // -z
                  1, 3, 7, 1, 7, 5,   // +x
                  0, 4, 6, 0, 6, 2,   // -x
                  6, 7, 3, 6, 3, 2,   // +y
                  0, 1, 5, 0, 5, 4};  // -y
  return mesh;
}

// One quad in the plane z, corners (x0, y0) and (x1, y1), counter-clockwise seen from +z.
Mesh Quad(float x0, float y0, float x1, float y1, float z) {
  return {{x0, y0, z, x1, y0, z, x1, y1, z, x0, y1, z}, {0, 1, 2, 0, 2, 3}};
}

void Append(Mesh& mesh, const Mesh& more) {
  const uint32_t base = static_cast<uint32_t>(mesh.positions.size() / 3);
  mesh.positions.insert(mesh.positions.end(), more.positions.begin(), more.positions.end());
  for (uint32_t index : more.indices)
    mesh.indices.push_back(base + index);
}

void Fail(PixelRig& rig, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  rig.failures.emplace_back(text);
}

bool WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WriteSceneFiles(const fs::path& folder, const Mesh& mesh, const Picture (&textures)[3]) {
  std::error_code error;
  fs::create_directories(folder / "resources", error);
  if (error) return false;
  GlbSpec glb;
  glb.positions = mesh.positions;
  glb.indices = mesh.indices;
  if (!WriteBytes(folder / "resources" / "mesh2.glb", BuildGlb(glb))) return false;
  for (int i = 0; i < 3; ++i) {
    const fs::path file = folder / "resources" / ("texture" + std::to_string(i + 1) + ".png");
    const Picture& p = textures[i];
    if (stbi_write_png(file.string().c_str(), p.width, p.height, 4, p.rgba.data(), p.width * 4) ==
        0) {
      return false;
    }
  }
  return true;
}

// A fresh folder under the temporary folder. Two test programs may run at once, and process ids
// repeat under Wine: a random name, taken only when it does not exist yet.
fs::path FreshFolder() {
  static std::mt19937 names{std::random_device{}()};
  std::error_code error;
  const fs::path temp = fs::temp_directory_path(error);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = temp / ("tc-pixel-case-" + std::to_string(names()));
    if (fs::create_directory(folder, error)) return folder;
  }
  return {};
}

// A scene of the case's own: its files written to a scratch folder, loaded on the rig's device,
// and released and removed again at the end of the case.
class Scene {
 public:
  Scene(PixelRig& rig, const Mesh& mesh, const Picture (&textures)[3]) : folder_(FreshFolder()) {
    if (folder_.empty() || !WriteSceneFiles(folder_, mesh, textures)) {
      Fail(rig, "could not write the scene files under %s", folder_.string().c_str());
      return;
    }
    ResourcePaths paths;
    const std::string resources = (folder_ / "resources").string() + kPathSeparator;
    SetResourceFolder(resources.c_str(), paths);
    const SceneConstants zero = {};
    const StartupStatus status = LoadSceneResources(rig.stack.device, zero, paths, resources_);
    if (!status.ok) Fail(rig, "the scene did not load: %s", status.message);
    ok_ = status.ok;
  }
  Scene(PixelRig& rig, const Mesh& mesh, const Picture& texture)
      : Scene(rig, mesh, {texture, texture, texture}) {}
  ~Scene() {
    ReleaseSceneResources(resources_);
    std::error_code error;
    if (!folder_.empty()) fs::remove_all(folder_, error);
  }
  Scene(const Scene&) = delete;
  Scene& operator=(const Scene&) = delete;

  bool ok() const { return ok_; }
  SceneResources& resources() { return resources_; }

 private:
  fs::path folder_;
  SceneResources resources_;
  bool ok_ = false;
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
SceneConstants DemoProjection() {
  SceneConstants constants = {};
  MakeProjection(constants.projectionMatrix, 3.0f);
  return constants;
}

// Clip space is the scene: x, y and z of an object-space point at depth w = 1.
SceneConstants NoProjection() {
  SceneConstants constants = {};
  constants.projectionMatrix = Identity();
  return constants;
}

void Draw(PixelRig& rig, Scene& scene, SceneConstants& constants, const Mat4& world,
          int32_t texture) {
  BindCubeTexture(rig.stack.device, scene.resources(), texture);
  DrawCube(rig.stack.device, scene.resources(), rig.stack.program, constants, world);
}

bool Read(PixelRig& rig, Pixels& pixels) {
  if (ReadBackBuffer(rig.stack.device, pixels) && pixels.width > 0 && pixels.height > 0)
    return true;
  Fail(rig, "the back buffer could not be read");
  return false;
}

using Rgba8 = uint8_t[4];

// What the pixel stage makes of one 8-bit texel channel with weight 9.2 (red), 8.8 (green) or 9
// (blue, alpha), the four pixel parameters read as zero, stored back into the 8-bit target.
uint8_t Brightened(uint8_t texel, double weight) {
  const double value = weight * (texel / 255.0) / 3.0;
  return static_cast<uint8_t>(std::lround(std::fmin(value, 1.0) * 255.0));
}

void Brightened(uint8_t r, uint8_t g, uint8_t b, Rgba8& out) {
  out[0] = Brightened(r, 9.2);
  out[1] = Brightened(g, 8.8);
  out[2] = Brightened(b, 9.0);
  out[3] = 255;
}

const Rgba8 kClear = {0, 0, 0, 0};

// Pixel coordinates of a point given in normalised device coordinates (y up).
int PixelX(const Pixels& pixels, float ndcX) {
  return static_cast<int>((ndcX + 1.0f) * 0.5f * pixels.width);
}
int PixelY(const Pixels& pixels, float ndcY) {
  return static_cast<int>((1.0f - ndcY) * 0.5f * pixels.height);
}

void ExpectPixel(PixelRig& rig, const Pixels& pixels, int x, int y, const Rgba8& expected,
                 int tolerance, const char* what) {
  if (PixelNear(pixels, x, y, expected, tolerance)) return;
  const uint8_t* p = pixels.At(x, y);
  Fail(rig, "%s: pixel (%d, %d) is (%d, %d, %d, %d), expected (%d, %d, %d, %d) +- %d", what, x, y,
       p[0], p[1], p[2], p[3], expected[0], expected[1], expected[2], expected[3], tolerance);
}

size_t CountLit(const Pixels& pixels) {
  size_t lit = 0;
  for (size_t i = 0; i < pixels.rgba.size(); i += 4)
    lit += (pixels.rgba[i] | pixels.rgba[i + 1] | pixels.rgba[i + 2] | pixels.rgba[i + 3]) != 0;
  return lit;
}

// --- The cases --------------------------------------------------------------------------------

void ClearIsTransparentBlack(PixelRig& rig) {
  ClearFrame(rig.stack.device);
  Pixels pixels;
  if (!Read(rig, pixels)) return;
  const size_t lit = CountLit(pixels);
  if (lit != 0) Fail(rig, "%zu pixels of the cleared frame are not (0, 0, 0, 0)", lit);
  PresentFrame(rig.stack.device);
}

// A window-filling quad with a one-colour texture shows the pixel stage's output everywhere.
void ExpectSolidOutput(PixelRig& rig, uint8_t r, uint8_t g, uint8_t b, const Rgba8& expected) {
  Scene scene(rig, Quad(-1.0f, -1.0f, 1.0f, 1.0f, 0.0f), Solid(r, g, b));
  if (!scene.ok()) return;
  SceneConstants constants = NoProjection();
  ClearFrame(rig.stack.device);
  Draw(rig, scene, constants, Moved(0.0f, 0.0f, 0.5f), 0);
  Pixels pixels;
  if (Read(rig, pixels)) {
    ExpectPixel(rig, pixels, PixelX(pixels, 0.0f), PixelY(pixels, 0.0f), expected, 2, "centre");
    ExpectPixel(rig, pixels, 3, 3, expected, 2, "top-left");
  }
  PresentFrame(rig.stack.device);
}

void DarkTexelIsBrightenedThreefold(PixelRig& rig) {
  // (0.1, 0.2, 0.3, 1) comes out as about (0.31, 0.59, 0.91, 1).
  const Rgba8 expected = {80, 150, 231, 255};
  ExpectSolidOutput(rig, 26, 51, 77, expected);
}

void MidGreyTexelSaturatesToWhite(PixelRig& rig) {
  const Rgba8 white = {255, 255, 255, 255};
  ExpectSolidOutput(rig, 128, 128, 128, white);
}

void CubeSeenFromOutsideIsDrawn(PixelRig& rig) {
  Scene scene(rig, Cube(), Solid(40, 40, 40));
  if (!scene.ok()) return;
  SceneConstants constants = DemoProjection();
  ClearFrame(rig.stack.device);
  Draw(rig, scene, constants, Moved(0.0f, 0.0f, -5.0f), 0);
  Pixels pixels;
  if (Read(rig, pixels)) {
    Rgba8 lit;
    Brightened(40, 40, 40, lit);
    ExpectPixel(rig, pixels, PixelX(pixels, 0.0f), PixelY(pixels, 0.0f), lit, 2, "cube centre");
    ExpectPixel(rig, pixels, 2, 2, kClear, 0, "background");
  }
  PresentFrame(rig.stack.device);
}

void FacesSeenFromInsideAreCulled(PixelRig& rig) {
  Scene scene(rig, Cube(), Solid(40, 40, 40));
  if (!scene.ok()) return;
  SceneConstants constants = DemoProjection();
  ClearFrame(rig.stack.device);
  Draw(rig, scene, constants, Moved(0.0f, 0.0f, 0.0f), 0);  // the camera at the cube's centre
  Pixels pixels;
  if (Read(rig, pixels)) {
    const size_t drawn = CountLit(pixels);
    if (drawn != 0) Fail(rig, "%zu pixels of inward-facing triangles were drawn", drawn);
  }
  PresentFrame(rig.stack.device);
}

// Two cubes on the view axis, each with its own texture: the nearer one covers the centre,
// whichever is drawn first.
void NearerCubeWinsInEitherOrder(PixelRig& rig) {
  Scene scene(rig, Cube(), {Solid(60, 0, 0), Solid(0, 0, 60), Solid(0, 60, 0)});
  if (!scene.ok()) return;
  SceneConstants constants = DemoProjection();
  Rgba8 blue;
  Brightened(0, 0, 60, blue);
  for (bool nearFirst : {true, false}) {
    ClearFrame(rig.stack.device);
    if (nearFirst) {
      Draw(rig, scene, constants, Moved(0.0f, 0.0f, -4.0f), 1);
      Draw(rig, scene, constants, Moved(0.0f, 0.0f, -8.0f), 0);
    } else {
      Draw(rig, scene, constants, Moved(0.0f, 0.0f, -8.0f), 0);
      Draw(rig, scene, constants, Moved(0.0f, 0.0f, -4.0f), 1);
    }
    Pixels pixels;
    if (Read(rig, pixels)) {
      ExpectPixel(rig, pixels, PixelX(pixels, 0.0f), PixelY(pixels, 0.0f), blue, 2,
                  nearFirst ? "near cube drawn first" : "near cube drawn last");
    }
    PresentFrame(rig.stack.device);
  }
}

// Clip-space depth runs from 0 to w, as on Direct3D, on every OpenGL context: a quad at z / w =
// -0.25 lies in front of the near plane and is clipped, one at 0.25 is drawn, and one past w is
// clipped again. A -1..1 depth range would draw the first.
void DepthRunsFromZeroToW(PixelRig& rig) {
  Scene scene(rig, Quad(-1.0f, -1.0f, 1.0f, 1.0f, 0.0f), Solid(30, 30, 30));
  if (!scene.ok()) return;
  SceneConstants constants = NoProjection();
  for (const float z : {-0.25f, 0.25f, 1.25f}) {
    ClearFrame(rig.stack.device);
    Draw(rig, scene, constants, Moved(0.0f, 0.0f, z), 0);
    Pixels pixels;
    if (Read(rig, pixels)) {
      const size_t lit = CountLit(pixels);
      const bool inside = z >= 0.0f && z <= 1.0f;
      if (inside && lit != pixels.rgba.size() / 4) {
        Fail(rig, "a quad at depth %.2f covers %zu of %zu pixels, not all", z, lit,
             pixels.rgba.size() / 4);
      }
      if (!inside && lit != 0) Fail(rig, "a quad at depth %.2f was drawn (%zu pixels)", z, lit);
    }
    PresentFrame(rig.stack.device);
  }
}

// Texture coordinates are ((x + z) * 2, (y + z) * 2) of the object-space position, clamped: a
// vertex at (-0.5, -0.5, 0) reads texel (0, 0), the first pixel of the file's first row, and so
// does everything below and left of it; one at (0.5, -0.5, 0.5) reads (2, 0), the last pixel of
// the first row.
void TextureCoordinatesFollowThePosition(PixelRig& rig) {
  Picture picture = Solid(10, 10, 10);
  const uint8_t firstTexel[4] = {20, 40, 60, 255};
  const uint8_t lastOfFirstRow[4] = {60, 20, 5, 255};
  for (int c = 0; c < 4; ++c) {
    picture.rgba[c] = firstTexel[c];
    picture.rgba[3 * 4 + c] = lastOfFirstRow[c];
  }
  Mesh mesh = Quad(-0.5f, -0.5f, -0.3f, -0.3f, 0.0f);
  Append(mesh, Quad(0.45f, -0.5f, 0.5f, -0.45f, 0.5f));
  Scene scene(rig, mesh, picture);
  if (!scene.ok()) return;
  SceneConstants constants = NoProjection();
  ClearFrame(rig.stack.device);
  Draw(rig, scene, constants, Moved(0.0f, 0.0f, 0.25f), 0);
  Pixels pixels;
  if (Read(rig, pixels)) {
    Rgba8 expected;
    Brightened(firstTexel[0], firstTexel[1], firstTexel[2], expected);
    ExpectPixel(rig, pixels, PixelX(pixels, -0.48f), PixelY(pixels, -0.48f), expected, 2,
                "near (-0.5, -0.5, 0)");
    // Coordinates of (-0.4, -0.4, 0) are (-0.8, -0.8): clamped to the first texel too.
    ExpectPixel(rig, pixels, PixelX(pixels, -0.4f), PixelY(pixels, -0.4f), expected, 2,
                "inside the first quad, clamped");
    Brightened(lastOfFirstRow[0], lastOfFirstRow[1], lastOfFirstRow[2], expected);
    ExpectPixel(rig, pixels, PixelX(pixels, 0.49f), PixelY(pixels, -0.49f), expected, 2,
                "near (0.5, -0.5, 0.5)");
    // The lower half of the window is the lower half of the scene: nothing above the centre.
    ExpectPixel(rig, pixels, PixelX(pixels, -0.45f), PixelY(pixels, 0.45f), kClear, 0,
                "mirror image above the centre");
  }
  PresentFrame(rig.stack.device);
}

void WholeWindowIsCovered(PixelRig& rig) {
  Scene scene(rig, Quad(-1.0f, -1.0f, 1.0f, 1.0f, 0.0f), Solid(30, 30, 30));
  if (!scene.ok()) return;
  SceneConstants constants = NoProjection();
  ClearFrame(rig.stack.device);
  Draw(rig, scene, constants, Moved(0.0f, 0.0f, 0.5f), 0);
  Pixels pixels;
  if (Read(rig, pixels)) {
    if (pixels.width != rig.resolution.width || pixels.height != rig.resolution.height) {
      Fail(rig, "the back buffer is %dx%d, the window %dx%d", pixels.width, pixels.height,
           rig.resolution.width, rig.resolution.height);
    }
    const size_t uncovered = pixels.rgba.size() / 4 - CountLit(pixels);
    if (uncovered != 0) {
      Fail(rig, "%zu of %dx%d pixels not covered", uncovered, pixels.width, pixels.height);
    }
  }
  PresentFrame(rig.stack.device);
}

// As many frames in flight as the read-back holds before the first collect, each a differently
// textured cube: they come back oldest first, as the capture tool relies on.
void PipelinedReadbackHandsFramesOverOldestFirst(PixelRig& rig) {
  Scene scene(rig, Cube(), {Solid(60, 0, 0), Solid(0, 60, 0), Solid(0, 0, 60)});
  if (!scene.ok()) return;
  SceneConstants constants = DemoProjection();
  RenderDevice& device = rig.stack.device;
  FrameReadback readback;
  if (!CreateFrameReadback(device, readback).ok) return Fail(rig, "no frame read-back");
  const int depth = FrameReadback::kDepth;
  for (int frame = 0; frame < depth; ++frame) {
    ClearFrame(device);
    Draw(rig, scene, constants, Moved(0.0f, 0.0f, -5.0f), frame % 3);
    IssueFrameReadback(device, readback);
    PresentFrame(device);
  }
  Pixels pixels;
  pixels.width = readback.width;
  pixels.height = readback.height;
  pixels.rgba.resize(FrameReadbackBytes(readback));
  for (int frame = 0; frame < depth; ++frame) {
    if (!CollectFrameReadback(device, readback, pixels.rgba.data(), pixels.rgba.size()).ok) {
      Fail(rig, "frame %d of %d was not handed over", frame, depth);
      break;
    }
    Rgba8 expected;
    Brightened(frame % 3 == 0 ? 60 : 0, frame % 3 == 1 ? 60 : 0, frame % 3 == 2 ? 60 : 0, expected);
    char what[64];
    std::snprintf(what, sizeof what, "centre of collected frame %d", frame);
    ExpectPixel(rig, pixels, PixelX(pixels, 0.0f), PixelY(pixels, 0.0f), expected, 2, what);
  }
  if (PendingFrameReadbacks(readback) != 0) Fail(rig, "frames left pending after collecting all");
  ReleaseFrameReadback(readback);
}

}  // namespace

const PixelCase kPixelCases[] = {
    {"ClearIsTransparentBlack", "the clear colour is transparent black", ClearIsTransparentBlack},
    {"DarkTexelIsBrightenedThreefold", "texel (0.1, 0.2, 0.3, 1) is brightened",
     DarkTexelIsBrightenedThreefold},
    {"MidGreyTexelSaturatesToWhite", "texel (0.5, 0.5, 0.5, 1) saturates to white",
     MidGreyTexelSaturatesToWhite},
    {"CubeSeenFromOutsideIsDrawn", "a cube seen from outside is drawn", CubeSeenFromOutsideIsDrawn},
    {"FacesSeenFromInsideAreCulled", "faces seen from inside are culled",
     FacesSeenFromInsideAreCulled},
    {"NearerCubeWinsInEitherOrder", "the nearer cube wins, drawn first or last",
     NearerCubeWinsInEitherOrder},
    {"DepthRunsFromZeroToW", "clip-space depth runs from 0 to w", DepthRunsFromZeroToW},
    {"TextureCoordinatesFollowThePosition", "texture coordinates follow the position",
     TextureCoordinatesFollowThePosition},
    {"WholeWindowIsCovered", "a window-filling quad covers every pixel", WholeWindowIsCovered},
    {"PipelinedReadbackHandsFramesOverOldestFirst",
     "pipelined read-back hands frames over oldest first",
     PipelinedReadbackHandsFramesOverOldestFirst},
};
const size_t kPixelCaseCount = sizeof kPixelCases / sizeof kPixelCases[0];

bool WriteStandInScene(const std::string& folder) {
  const Picture grey = Solid(128, 128, 128);
  return WriteSceneFiles(fs::path(folder), Cube(), {grey, grey, grey});
}

}  // namespace tc::test
