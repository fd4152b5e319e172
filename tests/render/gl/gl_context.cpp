#include "gl_context.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "stb_image_write.h"
#include "tests/support/back_buffer.h"
#include "test_files.h"

namespace tc::test {

bool GlContext::Open(Resolution wanted, std::string* error) {
  resolution = wanted;
  std::string folder;
  if (!RealResourcesPresent(&folder)) {
    *error = "the repository's resources folder is incomplete";
    return false;
  }
  ResourcePaths resources;
  SetResourceFolder((folder + "/").c_str(), resources);
  StackOptions options;
  options.resolution = resolution;
  const StartupStatus status = OpenDrawingStack(options, resources, stack);
  if (!status.ok) *error = status.message;
  return status.ok;
}

void GlContext::Close() {
  CloseDrawingStack(stack);
}

bool GlContext::LoadScene(const std::string& folder, SceneResources& scene, std::string* error) {
  char previous[4096];
  if (getcwd(previous, sizeof previous) == nullptr || chdir(folder.c_str()) != 0) {
    *error = "cannot enter " + folder;
    return false;
  }
  const SceneConstants zero = {};
  ResourcePaths resources;
  SetResourceFolder(kWorkingDirectoryResources, resources);
  const StartupStatus status = LoadSceneResources(stack.device, zero, resources, scene);
  if (chdir(previous) != 0) *error = "cannot return to the working directory";
  if (!status.ok) *error = status.message;
  return status.ok;
}

void GlContext::ReleaseScene(SceneResources& scene) {
  ReleaseSceneResources(scene);
}

std::vector<Rgba> GlContext::ReadBackBuffer() {
  std::vector<Rgba> pixels(static_cast<size_t>(resolution.width) * resolution.height);
  Pixels read;
  if (tc::test::ReadBackBuffer(stack.device, read) && read.width == resolution.width &&
      read.height == resolution.height) {
    std::memcpy(pixels.data(), read.rgba.data(), read.rgba.size());
  }
  return pixels;
}

Rgba GlContext::Pixel(const std::vector<Rgba>& pixels, int x, int yFromTop) const {
  return pixels[static_cast<size_t>(yFromTop) * resolution.width + x];
}

bool GlContext::SavePng(const std::vector<Rgba>& pixels, const std::string& path) const {
  // The screen shows no alpha: save the frame opaque, as it looks.
  std::vector<Rgba> opaque = pixels;
  for (Rgba& p : opaque)
    p.a = 255;
  const int ok = stbi_write_png(path.c_str(), resolution.width, resolution.height, 4, opaque.data(),
                                resolution.width * 4);
  return ok != 0;
}

}  // namespace tc::test
