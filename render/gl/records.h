// The OpenGL 3.3 core (and WebGL 2) records behind the rendering verbs. Twin:
// render/d3d11/records.h.
// The default framebuffer of the SDL window stands in for the swap chain, its back buffer and the
// depth buffer; a vertex array object for the input layout; a uniform buffer at binding 0 for the
// constant buffer. Every object name is owned by its record (0 until created).
#pragma once

#if defined(__EMSCRIPTEN__)
#include <GLES3/gl3.h>
#else
#include <epoxy/gl.h>
#endif

#include <cstdint>

#include "base/resolution.h"
#include "render/assets.h"

#include "base/window_handle.h"

namespace tc {

struct RenderDevice {
  WindowHandle window = nullptr;
#if defined(__EMSCRIPTEN__)
  int context = 0;  // EMSCRIPTEN_WEBGL_CONTEXT_HANDLE: WebGL 2 on the page's canvas
  Resolution picture{0, 0};
#else
  void* context = nullptr;  // SDL_GLContext
#endif
  struct {
    GLint x = 0;
    GLint y = 0;
    GLsizei width = 0;
    GLsizei height = 0;
  } viewport;
  // Clip-space depth 0..1 through glClipControl; without it the vertex stage remaps z itself.
  bool clipControl = false;
  // Set by ClearFrame: the frame's first DrawCube binds the whole pipeline.
  bool pipelinePending = true;
  // The texture BindCubeTexture bound last; the pipeline binds it again at each frame's first draw.
  int32_t boundTexture = 0;
};

#if defined(__EMSCRIPTEN__)
// The page resizes the canvas with the browser window: the viewport follows its drawing buffer
// (device.cpp), checked at each frame's clear.
void FitViewportToCanvas(RenderDevice& device);
#endif

struct SceneResources {
  MeshData mesh;  // the cgltf document stays alive in here until shutdown
  GLuint vertexBuffer = 0;
  GLuint indexBuffer = 0;
  GLuint textures[kTextureFileCount] = {};
  GLuint constantBuffer = 0;  // 128 bytes, replaced before every draw
  // Derived from the mesh once at load; they never change during the run.
  GLsizei vertexStride = 0;
  GLenum indexType = GL_UNSIGNED_SHORT;
  GLsizei indexCount = 0;
};

struct ShaderProgram {
  GLuint vertexShader = 0;
  GLuint pixelShader = 0;
  GLuint program = 0;      // both stages linked
  GLuint inputLayout = 0;  // vertex array object: attribute 0 = three floats
};

}  // namespace tc
