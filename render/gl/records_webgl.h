// The WebGL 2 records behind the rendering verbs, on a web page. Twin: records.h (OpenGL 3.3
// core), which this follows but for what WebGL 2 lacks: it only ever fills, has no depth clamp
// and no clip control, and its canvas may change size at any time.
// The canvas's drawing buffer stands in for the swap chain, its back buffer and the depth buffer
// (the page's canvas owns the context, and the browser presents); a vertex array object for the
// input layout; a uniform buffer at binding 0 for the constant buffer. Every object name is owned
// by its record (0 until created), and a release leaves the record as a fresh one, so a second
// release does nothing.
#pragma once

#include <GLES3/gl3.h>

#include <cstdint>

#include "base/resolution.h"
#include "base/window_handle.h"
#include "render/gl/scene_records.h"

namespace tc {

struct RenderDevice {
  WindowHandle window = nullptr;  // its context is current from its create on
  // The picture's size: each frame fits it into the drawing buffer anew.
  Resolution picture{0, 0};
  // Direct3D 11's default sampler (linear, clamped), bound to texture unit 0 for the whole run.
  GLuint sampler = 0;
  // The one rasterizer state: GL has no state object, so BindPipeline applies these values.
  struct {
    GLenum cullFace = GL_BACK;
    GLenum frontFace = GL_CCW;
    bool scissorTest = false;
  } rasterizerState;
  ViewportState viewport;
  // Always false: WebGL 2 clips z to -w..w, so the vertex stage remaps z itself.
  bool clipControl = false;
  // Set by ClearFrame: the frame's first DrawCube binds the whole pipeline.
  bool pipelinePending = true;
  // The texture BindCubeTexture bound last; the pipeline binds it again at each frame's first draw.
  int32_t boundTexture = 0;
  // WebGL's upload cannot fail where it could be seen without stalling the page for the GPU's
  // error state after every cube: it counts nothing (DrawFailures).
  int64_t failedUploads = 0;
  unsigned long firstUploadError = 0;
  static constexpr const char* kUploadCall = "glBufferSubData";
};

// The page resizes the canvas with the browser window: the viewport follows its drawing buffer
// (device_webgl.cpp), checked at each frame's clear.
void FitViewportToCanvas(RenderDevice& device);

}  // namespace tc
