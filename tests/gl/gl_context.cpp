#include "gl_context.h"

#include <unistd.h>

#include <cstdlib>

#include "stb_image_write.h"

namespace tc::test {

bool GlContext::Open(Resolution wanted, std::string* error) {
  resolution = wanted;
  StartupStatus status = CreatePresentationWindow(resolution, window);
  if (status.ok) status = CreateRenderDevice(window, resolution, device);
  if (status.ok) status = BuildShaderProgram(device, resolution, program);
  if (!status.ok) *error = status.message;
  return status.ok;
}

void GlContext::Close() {
  if (program.program != 0) {
    glDeleteProgram(program.program);
    glDeleteShader(program.pixelShader);
    glDeleteShader(program.vertexShader);
    glDeleteVertexArrays(1, &program.inputLayout);
    program = ShaderProgram{};
  }
  ReleaseRenderDevice(device);
  if (window != nullptr) DestroyPresentationWindow(window);
  window = nullptr;
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
  const StartupStatus status = LoadSceneResources(device, zero, resources, scene);
  if (chdir(previous) != 0) *error = "cannot return to the working directory";
  if (!status.ok) *error = status.message;
  return status.ok;
}

void GlContext::ReleaseScene(SceneResources& scene) {
  for (GLuint& texture : scene.textures)
    glDeleteTextures(1, &texture);
  glDeleteBuffers(1, &scene.constantBuffer);
  glDeleteBuffers(1, &scene.vertexBuffer);
  glDeleteBuffers(1, &scene.indexBuffer);
  FreeMeshData(scene.mesh);
  scene = SceneResources{};
}

std::vector<Rgba> GlContext::ReadBackBuffer() const {
  std::vector<Rgba> pixels(static_cast<size_t>(resolution.width) * resolution.height);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, resolution.width, resolution.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
  return pixels;
}

Rgba GlContext::Pixel(const std::vector<Rgba>& pixels, int x, int yFromTop) const {
  const int row = resolution.height - 1 - yFromTop;
  return pixels[static_cast<size_t>(row) * resolution.width + x];
}

bool GlContext::SavePng(const std::vector<Rgba>& pixels, const std::string& path) const {
  // The screen shows no alpha: save the frame opaque, as it looks.
  std::vector<Rgba> opaque = pixels;
  for (Rgba& p : opaque)
    p.a = 255;
  stbi_flip_vertically_on_write(1);
  const int ok = stbi_write_png(path.c_str(), resolution.width, resolution.height, 4, opaque.data(),
                                resolution.width * 4);
  stbi_flip_vertically_on_write(0);
  return ok != 0;
}

}  // namespace tc::test
