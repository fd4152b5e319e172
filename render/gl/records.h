// The OpenGL 3.3 core records behind the rendering verbs. The default framebuffer of the SDL
// window stands in for the swap chain, its back buffer and the depth buffer; a vertex array
// object stands in for the input layout; a uniform buffer at binding 0 for the constant buffer.
#pragma once

#include <epoxy/gl.h>

#include "render/assets.h"

struct SDL_Window;

namespace tc {

// How DrawCube replaces the 128 bytes of constants before each draw. All three invalidate the
// old content so the driver never waits for a draw still reading it; kUploadStrategy (upload.h)
// names the one the demo uses, chosen by measurement (bench/render_bench.cpp).
enum class UploadStrategy {
  kMapInvalidate,  // glMapBufferRange with GL_MAP_INVALIDATE_BUFFER_BIT, copy, unmap
  kOrphanSubData,  // glBufferData(nullptr) to orphan the storage, then glBufferSubData
  kSlotRing,       // next 128-byte slot of a larger buffer, bound with glBindBufferRange
};

struct RenderDevice {
  SDL_Window* window = nullptr;
  void* context = nullptr;  // SDL_GLContext
  int width = 0;
  int height = 0;
  // Clip-space depth 0..1 through glClipControl; without it the vertex stage remaps z itself.
  bool clipControl = false;
  // Set by ClearFrame: the frame's first DrawCube binds the whole pipeline.
  bool pipelinePending = true;
  // Where the current constants sit inside the constant buffer (only the slot ring moves it).
  GLintptr constantOffset = 0;
};

struct SceneResources {
  MeshData mesh;  // the cgltf document stays alive in here until shutdown
  GLuint vertexBuffer = 0;
  GLuint indexBuffer = 0;
  GLuint textures[kTextureFileCount] = {};
  GLuint constantBuffer = 0;
  GLsizei vertexStride = 0;
  GLenum indexType = GL_UNSIGNED_SHORT;
  GLsizei indexCount = 0;
  GLsizeiptr constantCapacity = 0;
  GLintptr constantSlotStride = 0;
};

struct ShaderProgram {
  GLuint vertexShader = 0;
  GLuint pixelShader = 0;
  GLuint program = 0;
  GLuint inputLayout = 0;  // vertex array object: attribute 0 = three floats
};

}  // namespace tc
