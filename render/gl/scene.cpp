// The scene's GPU resources: the mesh's position stream and indices in two static buffers, the
// three textures (RGBA8, one level), and the 128-byte uniform buffer in stream storage.
// Everything but the uniform buffer is filled once at creation and never written again. Twin:
// render/d3d11/scene.cpp.
#include "assets/image.h"
#include "assets/mesh.h"
#include "render/render.h"

namespace tc {
namespace {

// Drains errors left by earlier calls, so the next glGetError speaks of what follows.
void ClearGlErrors() {
  while (glGetError() != GL_NO_ERROR) {
  }
}

// A static buffer, filled once at creation and never written again. Uploaded through
// GL_COPY_WRITE_BUFFER: buffers are untyped in GL, and this target needs no vertex array object
// bound (the element-array target would). WebGL 2 types a buffer by its first target and never
// lets index data serve another, so there each buffer goes up through the target it is drawn from
// (WebGL 2 has a default vertex array object to hold the index binding).
StartupStatus CreateStaticBuffer(GLenum drawTarget, const void* bytes, uint32_t byteCount,
                                 const char* meshPath, const char* what, GLuint& buffer) {
#if defined(__EMSCRIPTEN__)
  const GLenum target = drawTarget;
#else
  (void)drawTarget;
  const GLenum target = GL_COPY_WRITE_BUFFER;
#endif
  ClearGlErrors();
  glGenBuffers(1, &buffer);
  glBindBuffer(target, buffer);
  glBufferData(target, byteCount, bytes, GL_STATIC_DRAW);
  glBindBuffer(target, 0);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    return StartupFailure(
        "LoadSceneResources: %s: glBufferData of the %s (%u bytes) failed "
        "(GL error 0x%04x)",
        meshPath, what, byteCount, static_cast<unsigned>(error));
  }
  return StartupOk();
}

// Creates texture i from the decoded image i.
StartupStatus CreateTexture(const TextureImages& images, int i, const char* path,
                            SceneResources& scene) {
  ClearGlErrors();
  glGenTextures(1, &scene.textures[i]);
  glBindTexture(GL_TEXTURE_2D, scene.textures[i]);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
  // Rows tightly packed and uploaded in stb_image's order, so texture coordinate (0, 0) is the
  // file's first pixel.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, images.width, images.height, 0, GL_RGBA,
               GL_UNSIGNED_BYTE, images.pixels[i]);
  glBindTexture(GL_TEXTURE_2D, 0);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    return StartupFailure("LoadSceneResources: %s: glTexImage2D %dx%d failed (GL error 0x%04x)",
                          path, images.width, images.height, static_cast<unsigned>(error));
  }
  return StartupOk();
}

}  // namespace

StartupStatus LoadSceneResources(RenderDevice& /*device*/, const SceneConstants& constants,
                                 const ResourcePaths& resources, SceneResources& scene) {
  scene = SceneResources{};

  StartupStatus status = LoadMeshFile(resources.mesh, scene.mesh);
  if (!status.ok) return status;
  const MeshData& mesh = scene.mesh;
  scene.vertexStride = static_cast<GLsizei>(mesh.vertexStride);
  // Only 32-bit indices select GL_UNSIGNED_INT; 16-bit ones (and 8-bit ones, widened at load)
  // are GL_UNSIGNED_SHORT.
  scene.indexType = mesh.indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
  scene.indexCount = static_cast<GLsizei>(mesh.indexCount);

  status = CreateStaticBuffer(GL_ARRAY_BUFFER, mesh.vertexBytes, mesh.vertexByteCount,
                              resources.mesh, "vertex buffer", scene.vertexBuffer);
  if (!status.ok) return status;
  status = CreateStaticBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.indexBytes, mesh.indexByteCount,
                              resources.mesh, "index buffer", scene.indexBuffer);
  if (!status.ok) return status;

  TextureImages images;
  // GL 3.3 promises only 1024: the context says what it holds, and the images' headers are
  // checked against that. (Direct3D 11 fixes the size by feature level and has no query.)
  GLint maxTextureSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSide);
  const char* const texturePaths[kTextureFileCount] = {resources.textures[0], resources.textures[1],
                                                       resources.textures[2]};
  status = LoadTextureImages(texturePaths, maxTextureSide, images);
  if (!status.ok) return status;
  for (int i = 0; i < kTextureFileCount; ++i) {
    status = CreateTexture(images, i, texturePaths[i], scene);
    if (!status.ok) {
      FreeTextureImages(images);
      return status;
    }
  }
  FreeTextureImages(images);

  // Stream storage: DrawCube replaces all 128 bytes, invalidated, per cube.
  ClearGlErrors();
  glGenBuffers(1, &scene.constantBuffer);
  glBindBuffer(GL_UNIFORM_BUFFER, scene.constantBuffer);
  glBufferData(GL_UNIFORM_BUFFER, sizeof(SceneConstants), &constants, GL_STREAM_DRAW);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    return StartupFailure(
        "LoadSceneResources: glBufferData of the uniform buffer failed (GL error 0x%04x)",
        static_cast<unsigned>(error));
  }
  return StartupOk();
}

void ReleaseSceneResources(SceneResources& scene) {
  // Only names that were made: a record that never met a context calls no GL function.
  for (int i = 0; i < kTextureFileCount; ++i) {
    if (scene.textures[i] != 0) glDeleteTextures(1, &scene.textures[i]);
  }
  if (scene.constantBuffer != 0) glDeleteBuffers(1, &scene.constantBuffer);
  if (scene.vertexBuffer != 0) glDeleteBuffers(1, &scene.vertexBuffer);
  if (scene.indexBuffer != 0) glDeleteBuffers(1, &scene.indexBuffer);
  // The mesh document outlives every GPU object built from it.
  FreeMeshData(scene.mesh);
  scene = SceneResources{};
}

}  // namespace tc
