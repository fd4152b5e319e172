#include "render/gl/framebuffer_format.h"

#if defined(__EMSCRIPTEN__)
#include <emscripten/html5.h>

#include "base/window_handle.h"
#else
#include <SDL.h>
#include <epoxy/gl.h>
#endif

namespace tc {

#if defined(__EMSCRIPTEN__)

// The page composites the canvas: an opaque drawing buffer shows the picture as drawn, alpha 0
// included. The browser presents each animation frame's drawing itself and never waits. No
// stencil: nothing tests it, and without one a software WebGL (SwiftShader) draws the heaviest
// frames about a fifth faster.
StartupStatus CreateWebGlContext(int& context) {
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = EM_FALSE;
  attributes.depth = EM_TRUE;
  attributes.stencil = EM_FALSE;
  attributes.antialias = EM_FALSE;
  attributes.premultipliedAlpha = EM_FALSE;
  attributes.preserveDrawingBuffer = EM_FALSE;
  attributes.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
  attributes.majorVersion = 2;
  attributes.minorVersion = 0;
  const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE made =
      emscripten_webgl_create_context(kWebCanvasSelector, &attributes);
  if (made <= 0) {
    return StartupFailure("CreateRenderDevice: this browser gives no WebGL 2 context (%d)",
                          static_cast<int>(made));
  }
  context = static_cast<int>(made);
  if (emscripten_webgl_make_context_current(made) != EMSCRIPTEN_RESULT_SUCCESS) {
    return StartupFailure("CreateRenderDevice: emscripten_webgl_make_context_current failed");
  }
  return StartupOk();
}

#else

namespace {

constexpr int kColourBits = 8;  // per channel, alpha included
constexpr int kDepthBits = 24;
constexpr int kStencilBits = 8;

}  // namespace

void RequestFramebufferFormat() {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, kColourBits);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, kColourBits);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, kColourBits);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, kColourBits);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, kDepthBits);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, kStencilBits);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, 0);
  SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, 0);
}

StartupStatus CheckFramebufferFormat() {
  if (epoxy_gl_version() < 33) {
    return StartupFailure("CreateRenderDevice: OpenGL %d.%d context, 3.3 needed",
                          epoxy_gl_version() / 10, epoxy_gl_version() % 10);
  }
  int depthBits = 0;
  int stencilBits = 0;
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depthBits);
  SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencilBits);
  if (depthBits < kDepthBits || stencilBits < kStencilBits) {
    return StartupFailure(
        "CreateRenderDevice: framebuffer has %d depth and %d stencil bits, %d and %d needed",
        depthBits, stencilBits, kDepthBits, kStencilBits);
  }
  return StartupOk();
}

#endif

}  // namespace tc
