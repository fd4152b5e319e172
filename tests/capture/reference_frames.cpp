// The demo's frames at fixed times the plainest way: the frame pass through the real render verbs
// on an off-screen context, each frame read back by the tests' shared back-buffer reader (a
// blocking read) before it is presented. The capture tests compare the capture tool's pipelined
// output with these.
//
//   capture_reference_frames 1080|720 FPS FIRST COUNT OUT.rgb
// writes frames FIRST .. FIRST + COUNT - 1 of a fresh run at FPS (frames before FIRST are run
// without drawing) as raw RGB24, top row first. Run from the folder that holds resources/.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

#include "demo/frame.h"
#include "demo/shape_table.h"
#include "render/stack.h"
#include "tests/support/back_buffer.h"

namespace {

tc::DemoState gDemoState;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: capture_reference_frames 1080|720 FPS FIRST COUNT OUT.rgb\n");
    return 2;
  }
  const tc::Resolution resolution =
      std::strcmp(argv[1], "720") == 0 ? tc::Resolution{1280, 720} : tc::Resolution{1920, 1080};
  const int fps = std::atoi(argv[2]);
  const long long first = std::atoll(argv[3]);
  const long long count = std::atoll(argv[4]);
  FILE* out = std::fopen(argv[5], "wb");
  if (out == nullptr || fps <= 0 || first < 0 || count <= 0) {
    std::fprintf(stderr, "capture_reference_frames: bad arguments\n");
    return 2;
  }
  tc::ResourcePaths resources;
  tc::SetResourceFolder(tc::kWorkingDirectoryResources, resources);
  tc::StackOptions options;
  options.resolution = resolution;
  options.placement.offscreen = true;
  tc::DrawingStack stack;
  const tc::StartupStatus status = tc::OpenDrawingStack(options, resources, stack);
  if (!status.ok) {
    std::fprintf(stderr, "%s\n", status.message);
    return 1;
  }
  tc::SceneConstants& constants = stack.constants;
  static tc::ShapeTable table;
  tc::BuildShapeTable(table);
  // Every frame before `first`, at its own float time.
  for (long long n = 0; n < first; ++n) {
    tc::NullRenderer none;
    std::ostringstream beats;
    tc::RunChoreographyFrame(gDemoState, constants.projectionMatrix, table,
                             tc::FixedRateFrameTime(n, fps), beats, none);
  }
  tc::BindCubeTexture(stack.device, stack.scene, gDemoState.textureIndex);
  tc::FrameRenderer renderer = tc::StackRenderer(stack);
  tc::test::Pixels pixels;
  std::vector<unsigned char> rgb(static_cast<size_t>(resolution.width) * resolution.height * 3);
  for (long long n = first; n < first + count; ++n) {
    std::ostringstream beats;
    tc::RunChoreographyFrame(gDemoState, constants.projectionMatrix, table,
                             tc::FixedRateFrameTime(n, fps), beats, renderer);
    if (!tc::test::ReadBackBuffer(stack.device, pixels) || pixels.width != resolution.width ||
        pixels.height != resolution.height) {
      std::fprintf(stderr, "capture_reference_frames: reading frame %lld back failed\n", n);
      return 1;
    }
    for (size_t i = 0, o = 0; i < pixels.rgba.size(); i += 4, o += 3) {
      rgb[o] = pixels.rgba[i];
      rgb[o + 1] = pixels.rgba[i + 1];
      rgb[o + 2] = pixels.rgba[i + 2];
    }
    std::fwrite(rgb.data(), 1, rgb.size(), out);
    tc::PresentFrame(stack.device);
  }
  tc::CloseDrawingStack(stack);
  return std::fclose(out) == 0 ? 0 : 1;
}
