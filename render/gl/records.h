// The OpenGL 3.3 core (and WebGL 2) records behind the rendering verbs. Twin:
// render/d3d11/records.h.
// The default framebuffer of the SDL window stands in for the swap chain, its back buffer and the
// depth buffer; a vertex array object for the input layout; a uniform buffer at binding 0 for the
// constant buffer; pixel-pack buffers for the staging copies. Every object name is owned by its
// record (0 until created), and a release leaves the record as a fresh one, so a second release
// does nothing.
#pragma once

#if defined(__EMSCRIPTEN__)
#include <GLES3/gl3.h>
#else
#include <epoxy/gl.h>
#endif

#include <cstdint>

#include "assets/mesh.h"
#include "base/resolution.h"
#include "base/resource_paths.h"
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
  // Direct3D 11's default sampler (linear, clamped), bound to texture unit 0 for the whole run.
  GLuint sampler = 0;
  // The one rasterizer state: GL has no state object, so BindPipeline applies these values.
  struct {
#if !defined(__EMSCRIPTEN__)
    GLenum fillMode = GL_FILL;  // WebGL 2 only ever fills
#endif
    GLenum cullFace = GL_BACK;
    GLenum frontFace = GL_CCW;
    bool depthClamp = false;  // false: clipped at the near and far planes
    bool scissorTest = false;
  } rasterizerState;
  struct {
    GLint x = 0;
    GLint y = 0;
    GLsizei width = 0;
    GLsizei height = 0;
    double minDepth = 0.0;
    double maxDepth = 1.0;
  } viewport;
  // Clip-space depth 0..1 through glClipControl; without it the vertex stage remaps z itself.
  bool clipControl = false;
  // Set by ClearFrame: the frame's first DrawCube binds the whole pipeline.
  bool pipelinePending = true;
  // Cubes drawn without their own constants, their upload having failed, and the GL error of the
  // first: a capture with such frames is no capture (DrawFailures, render.h).
  int64_t failedUploads = 0;
  unsigned long firstUploadError = 0;
  static constexpr const char* kUploadCall = "glMapBufferRange";
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
  GLuint constantBuffer = 0;  // 128 bytes, stream storage, replaced before every draw
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

struct FrameReadback {
  static constexpr int kDepth = 3;
  GLuint buffers[kDepth] = {};  // pixel-pack buffers, one whole back buffer each
  int width = 0;
  int height = 0;
  bool created = false;
  int64_t issued = 0;     // frames whose copy has been started
  int64_t collected = 0;  // frames handed over
};

}  // namespace tc
