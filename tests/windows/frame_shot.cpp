// frame-shot: renders chosen song times of the demo to PNG files, through the real start-up
// operations, the shared frame pass and the backend's verbs, so that the Direct3D 11 build (under
// Wine) and the OpenGL build can be compared frame for frame. The same source builds for both
// backends; only the read-back of the finished frame differs.
//
//   frame-shot <output-folder> <seconds>...
//
// Every song time is the single frame of a fresh run: new DemoState, all-zero SceneConstants, so
// the frame is a new-beat event (projection made, from beat 65 the ring's first row loaded and
// drifted once). The C libraries' rand() sequences differ, so before each frame rand() is reseeded
// until its next value is a multiple of ten: the jitter digit is then 0 on every platform and the
// jitter equals the song time. Frame i is written to <output-folder>/frame-<i>.png, top row first,
// opaque (the screen shows no alpha). Needs the demo's resources/ in the working directory.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "demo/frame.h"
#include "render/stack.h"
#include "stb_image_write.h"
#include "tests/support/back_buffer.h"

namespace {

// Swallows the beat lines of the shots.
struct NullBuffer : std::streambuf {
  int overflow(int c) override { return c; }
};

// Makes the next rand() a multiple of ten, whatever the C library's generator.
void ZeroNextJitterDigit() {
  for (unsigned seed = 1;; ++seed) {
    std::srand(seed);
    if (std::rand() % 10 == 0) {
      std::srand(seed);
      return;
    }
  }
}

// The finished frame, top row first, opaque (the screen shows no alpha).
bool ReadFrame(tc::RenderDevice& device, tc::Resolution resolution, tc::test::Pixels& pixels) {
  if (!tc::test::ReadBackBuffer(device, pixels)) return false;
  if (pixels.width != resolution.width || pixels.height != resolution.height) return false;
  for (size_t i = 3; i < pixels.rgba.size(); i += 4)
    pixels.rgba[i] = 255;
  return true;
}

int Fail(const tc::StartupStatus& status) {
  std::fprintf(stderr, "frame-shot: %s\n", status.message);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: frame-shot <output-folder> <seconds>...\n");
    return 2;
  }
  const tc::Resolution resolution = {1280, 720};
  tc::DrawingStack stack;
  tc::SceneConstants& constants = stack.constants;
  tc::ShapeTable table;

  tc::ResourcePaths resources;
  tc::SetResourceFolder(tc::kWorkingDirectoryResources, resources);
  tc::StackOptions options;
  options.resolution = resolution;
  const tc::StartupStatus status = tc::OpenDrawingStack(options, resources, stack);
  if (!status.ok) return Fail(status);
  tc::BuildShapeTable(table);

  NullBuffer nullBuffer;
  std::ostream beatLog(&nullBuffer);
  tc::test::Pixels pixels;
  int written = 0;
  for (int i = 2; i < argc; ++i) {
    char* end = nullptr;
    const float seconds = std::strtof(argv[i], &end);
    if (end == argv[i] || *end != '\0') {
      std::fprintf(stderr, "frame-shot: not a song time: %s\n", argv[i]);
      return 2;
    }
    tc::DemoState state;  // a fresh run
    constants = tc::SceneConstants{};
    tc::FrameRenderer renderer = tc::StackRenderer(stack);
    // A fresh run starts on texture 0, whatever the shot before it left bound.
    tc::BindCubeTexture(stack.device, stack.scene, state.textureIndex);
    ZeroNextJitterDigit();
    tc::RunChoreographyFrame(state, constants.projectionMatrix, table, seconds, beatLog, renderer);
    if (!ReadFrame(stack.device, resolution, pixels)) {
      std::fprintf(stderr, "frame-shot: could not read the frame at %s s\n", argv[i]);
      return 1;
    }
    tc::PresentFrame(stack.device);
    const std::string path = std::string(argv[1]) + "/frame-" + std::to_string(i - 2) + ".png";
    if (!stbi_write_png(path.c_str(), resolution.width, resolution.height, 4, pixels.rgba.data(),
                        resolution.width * 4)) {
      std::fprintf(stderr, "frame-shot: could not write %s\n", path.c_str());
      return 1;
    }
    ++written;
  }

  tc::CloseDrawingStack(stack);
  std::printf("frame-shot: %d frames at %dx%d\n", written, resolution.width, resolution.height);
  return 0;
}
