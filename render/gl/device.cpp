// The OpenGL device: a 3.3 core context on the presentation window, whose default framebuffer
// (double-buffered RGBA8, 24-bit depth with 8-bit stencil, no multisampling) is the swap chain
// and depth buffer, plus the fixed states Direct3D 11 gives by default. On a web page the same
// device is a WebGL 2 context on the page's canvas. Twin: render/d3d11/device.cpp.
#if defined(__EMSCRIPTEN__)
#include <emscripten/html5.h>
#else
#include <SDL.h>
#endif

#include "render/render.h"

namespace tc {

#if defined(__EMSCRIPTEN__)
namespace {

// The page composites the canvas: an opaque drawing buffer shows the picture as drawn, alpha 0
// included. The browser presents each animation frame's drawing itself and never waits here.
StartupStatus OpenContext(WindowHandle /*window*/, Resolution resolution, RenderDevice& device) {
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = EM_FALSE;
  attributes.depth = EM_TRUE;
  attributes.stencil = EM_TRUE;
  attributes.antialias = EM_FALSE;
  attributes.premultipliedAlpha = EM_FALSE;
  attributes.preserveDrawingBuffer = EM_FALSE;
  attributes.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
  attributes.majorVersion = 2;
  attributes.minorVersion = 0;
  const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
      emscripten_webgl_create_context(kWebCanvasSelector, &attributes);
  if (context <= 0) {
    return StartupFailure("CreateRenderDevice: this browser gives no WebGL 2 context (%d)",
                          static_cast<int>(context));
  }
  device.context = static_cast<int>(context);
  device.picture = resolution;
  if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
    return StartupFailure("CreateRenderDevice: emscripten_webgl_make_context_current failed");
  }
  return StartupOk();
}

}  // namespace

StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device,
                                 const PresentOptions& /*present*/) {
  device = RenderDevice{};
  device.window = window;
  const StartupStatus status = OpenContext(window, resolution, device);
  if (!status.ok) return status;
#else
StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device,
                                 const PresentOptions& present) {
  device = RenderDevice{};
  device.window = window;
  // The framebuffer's format was requested from SDL before the window was created (the X visual
  // is fixed then); here the context is made on it.
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (context == nullptr) {
    return StartupFailure("CreateRenderDevice: SDL_GL_CreateContext (OpenGL 3.3 core) failed: %s",
                          SDL_GetError());
  }
  device.context = context;
  if (SDL_GL_MakeCurrent(window, context) != 0) {
    return StartupFailure("CreateRenderDevice: SDL_GL_MakeCurrent failed: %s", SDL_GetError());
  }
  if (epoxy_gl_version() < 33) {
    return StartupFailure("CreateRenderDevice: OpenGL %d.%d context, 3.3 needed",
                          epoxy_gl_version() / 10, epoxy_gl_version() % 10);
  }
  int depthBits = 0;
  int stencilBits = 0;
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depthBits);
  SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencilBits);
  if (depthBits < 24 || stencilBits < 8) {
    return StartupFailure(
        "CreateRenderDevice: framebuffer has %d depth and %d stencil bits, 24 and 8 needed",
        depthBits, stencilBits);
  }

  // By default presentation never waits for the vertical blank. Some servers (Xvfb) do not
  // support setting it, which is harmless: they have no vertical blank to wait for.
  SDL_GL_SetSwapInterval(present.vsync ? 1 : 0);

#endif

  // What Direct3D 11 gives without any state object: depth test LESS with writes, no stencil, no
  // blending; plus clipping at the near and far planes (no depth clamp).
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_SCISSOR_TEST);
#if !defined(__EMSCRIPTEN__)
  glDisable(GL_DEPTH_CLAMP);  // WebGL 2 has neither, and neither is ever on there
  glDisable(GL_FRAMEBUFFER_SRGB);
#endif
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

  // The demo's projection writes z / w in 0..1, as Direct3D clips it. Where the context can clip
  // that way the projection is used unchanged; elsewhere the vertex stage remaps z (cube_shader.h).
#if defined(__EMSCRIPTEN__)
  // WebGL 2 clips z to -w..w; the drawing buffer is the whole picture, its size kept by the page.
  device.clipControl = false;
  FitViewportToCanvas(device);
  return StartupOk();
#else
  device.clipControl = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
  if (device.clipControl) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);

  if (present.fitToWindow) {
    // The drawable, not the window: on a HiDPI display it has more pixels than the window has
    // points. GL counts the viewport's y from the bottom; the bars are equal, give or take one.
    int drawableWidth = 0;
    int drawableHeight = 0;
    SDL_GL_GetDrawableSize(window, &drawableWidth, &drawableHeight);
    const ViewportRect fit = FitPicture(resolution, drawableWidth, drawableHeight);
    device.viewport.x = fit.x;
    device.viewport.y = drawableHeight - fit.y - fit.height;
    device.viewport.width = fit.width;
    device.viewport.height = fit.height;
  } else {
    device.viewport.x = 0;
    device.viewport.y = 0;
    device.viewport.width = resolution.width;
    device.viewport.height = resolution.height;
  }
  return StartupOk();
#endif
}

#if defined(__EMSCRIPTEN__)
void FitViewportToCanvas(RenderDevice& device) {
  int width = 0;
  int height = 0;
  emscripten_webgl_get_drawing_buffer_size(device.context, &width, &height);
  const ViewportRect fit = FitPicture(device.picture, width, height);
  device.viewport.x = fit.x;
  device.viewport.y = height - fit.y - fit.height;
  device.viewport.width = fit.width;
  device.viewport.height = fit.height;
}
#endif

void ReleaseRenderDevice(RenderDevice& device) {
  // The default framebuffer, depth buffer and fixed states go with the context.
#if defined(__EMSCRIPTEN__)
  if (device.context > 0) {
    emscripten_webgl_make_context_current(0);
    emscripten_webgl_destroy_context(device.context);
  }
#else
  if (device.context != nullptr) {
    SDL_GL_MakeCurrent(device.window, nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(device.context));
  }
#endif
  device = RenderDevice{};
}

}  // namespace tc
