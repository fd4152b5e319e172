// Scene resources on the GPU: the mesh's position stream and indices in two static buffers, the
// three textures (RGBA8, one level, linear filtering, clamped), and the uniform buffer that
// receives SceneConstants before every draw. Twin: render/d3d11/scene.cpp.
#include "render/render.h"

namespace tc {
namespace {

// Drains errors left by earlier calls, so the next glGetError speaks of what follows.
void ClearGlErrors() {
  while (glGetError() != GL_NO_ERROR) {
  }
}

StartupStatus GlFailure(const char* what, const char* path, GLenum error) {
  return StartupFailure("LoadSceneResources: %s%s failed: GL error 0x%04x", what, path,
                        static_cast<unsigned>(error));
}

// Uploads through GL_COPY_WRITE_BUFFER: buffers are untyped in GL, and this target needs no
// vertex array object bound (the element-array target would). WebGL 2 types a buffer by its first
// target and never lets index data serve another, so there each buffer goes up through the target
// it is drawn from (WebGL 2 has a default vertex array object to hold the index binding).
GLuint CreateStaticBuffer(GLenum drawTarget, const void* data, GLsizeiptr size) {
#if defined(__EMSCRIPTEN__)
  const GLenum target = drawTarget;
#else
  (void)drawTarget;
  const GLenum target = GL_COPY_WRITE_BUFFER;
#endif
  GLuint buffer = 0;
  glGenBuffers(1, &buffer);
  glBindBuffer(target, buffer);
  glBufferData(target, size, data, GL_STATIC_DRAW);
  glBindBuffer(target, 0);
  return buffer;
}

}  // namespace

StartupStatus LoadSceneResources(RenderDevice& /*device*/, const SceneConstants& constants,
                                 const ResourcePaths& resources, SceneResources& scene) {
  scene = SceneResources{};
  StartupStatus status = LoadMeshFile(resources.mesh, scene.mesh);
  if (!status.ok) return status;
  const MeshData& mesh = scene.mesh;
  scene.vertexStride = static_cast<GLsizei>(mesh.vertexStride);
  scene.indexType = mesh.indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
  scene.indexCount = static_cast<GLsizei>(mesh.indexCount);

  ClearGlErrors();
  scene.vertexBuffer = CreateStaticBuffer(GL_ARRAY_BUFFER, mesh.vertexBytes, mesh.vertexByteCount);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    return GlFailure("vertex buffer of ", resources.mesh, error);
  }
  scene.indexBuffer =
      CreateStaticBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.indexBytes, mesh.indexByteCount);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    return GlFailure("index buffer of ", resources.mesh, error);
  }

  // The images' declared size is checked against what this context can hold before decoding.
  GLint maxTextureSide = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSide);
  TextureImages images;
  const char* const texturePaths[kTextureFileCount] = {resources.textures[0], resources.textures[1],
                                                       resources.textures[2]};
  status = LoadTextureImages(texturePaths, maxTextureSide, images);
  if (!status.ok) return status;
  // Rows go up in stb_image's order, so texture coordinate (0, 0) is each file's first pixel.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glGenTextures(kTextureFileCount, scene.textures);
  for (int i = 0; i < kTextureFileCount; ++i) {
    glBindTexture(GL_TEXTURE_2D, scene.textures[i]);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    // Direct3D's default sampler: linear filtering, clamped on every axis (one level, so the
    // mip filter has nothing to blend).
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, images.width, images.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, images.pixels[i]);
    if (GLenum error = glGetError(); error != GL_NO_ERROR) {
      FreeTextureImages(images);
      return StartupFailure("LoadSceneResources: %s: texture of %dx%d failed: GL error 0x%04x",
                            texturePaths[i], images.width, images.height,
                            static_cast<unsigned>(error));
    }
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  FreeTextureImages(images);

  // Stream storage of exactly 128 bytes: DrawCube replaces all of it, invalidated, per cube.
  glGenBuffers(1, &scene.constantBuffer);
  glBindBuffer(GL_UNIFORM_BUFFER, scene.constantBuffer);
  glBufferData(GL_UNIFORM_BUFFER, sizeof(SceneConstants), nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof(SceneConstants), &constants);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    return GlFailure("uniform buffer of the scene constants", "", error);
  }
  return StartupOk();
}

void ReleaseSceneResources(SceneResources& scene) {
  // Only names that were made: a record that never met a context calls no GL function.
  for (GLuint& texture : scene.textures) {
    if (texture != 0) glDeleteTextures(1, &texture);
  }
  if (scene.constantBuffer != 0) glDeleteBuffers(1, &scene.constantBuffer);
  if (scene.vertexBuffer != 0) glDeleteBuffers(1, &scene.vertexBuffer);
  if (scene.indexBuffer != 0) glDeleteBuffers(1, &scene.indexBuffer);
  // The mesh document outlives every GPU object built from it.
  FreeMeshData(scene.mesh);
  scene = SceneResources{};
}

}  // namespace tc
