// The OpenGL 3.3 core records behind the rendering verbs. Twins: render/d3d11/records.h and, on a
// web page, records_webgl.h.
// The Linux window's default framebuffer stands in for the swap chain, its back buffer and the
// depth buffer (the window owns the context and presents); a vertex array object for the input
// layout; a uniform buffer at binding 0 for the constant buffer; pixel-pack buffers for the staging
// copies. Every object name is owned by its record (0 until created), and a release leaves the
// record as a fresh one, so a second release does nothing.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

#include "base/resolution.h"
#include "base/window_handle.h"
#include "render/gl/scene_records.h"

namespace tc {

struct RenderDevice {
  WindowHandle window = nullptr;  // its context is current from its create on
  // Direct3D 11's default sampler (linear, clamped), bound to texture unit 0 for the whole run.
  GLuint sampler = 0;
  // The one rasterizer state: GL has no state object, so BindPipeline applies these values.
  struct {
    GLenum fillMode = GL_FILL;
    GLenum cullFace = GL_BACK;
    GLenum frontFace = GL_CCW;
    bool depthClamp = false;  // false: clipped at the near and far planes
    bool scissorTest = false;
  } rasterizerState;
  ViewportState viewport;
  // Clip-space depth 0..1 through glClipControl; without it the vertex stage remaps z itself.
  bool clipControl = false;
  bool waitForVerticalBlank = false;  // handed to every present, as Direct3D 11's sync interval
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

}  // namespace tc
