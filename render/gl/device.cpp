// The OpenGL device: a 3.3 core context on the presentation window, whose default framebuffer
// (in the format render/gl/framebuffer_format.h asks for) is the swap chain's back buffer and the
// depth buffer; the fixed states Direct3D 11 gives by default, its default sampler among them;
// and the values of the one rasterizer state. Created once; the window is never resized. On a web
// page the same device is a WebGL 2 context on the page's canvas, whose size the page keeps. Twin:
// render/d3d11/device.cpp.
#if defined(__EMSCRIPTEN__)
#include <emscripten/html5.h>
#else
#include <SDL.h>
#endif

#include "render/gl/framebuffer_format.h"
#include "render/render.h"

namespace tc {

StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device,
                                 const PresentOptions& present) {
  device = RenderDevice{};
  device.window = window;
#if defined(__EMSCRIPTEN__)
  (void)present;  // the browser decides when frames are shown, and the page the canvas's size
  device.picture = resolution;
  const StartupStatus context = CreateWebGlContext(device.context);
  if (!context.ok) return context;
#else
  int width = resolution.width;
  int height = resolution.height;
  if (present.fitToWindow) {
    // The default framebuffer has the window's drawable size: on a HiDPI display that is more
    // pixels than the window has points. The picture goes into the largest centred part of it.
    SDL_GL_GetDrawableSize(window, &width, &height);
  }

  // The context, made current on the window; the window's visual fixed the framebuffer's format.
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (context == nullptr) {
    return StartupFailure("CreateRenderDevice: SDL_GL_CreateContext (OpenGL 3.3 core) failed: %s",
                          SDL_GetError());
  }
  device.context = context;
  if (SDL_GL_MakeCurrent(window, context) != 0) {
    return StartupFailure("CreateRenderDevice: SDL_GL_MakeCurrent failed: %s", SDL_GetError());
  }
  const StartupStatus format = CheckFramebufferFormat();
  if (!format.ok) return format;

  // Presentation waits for the vertical blank only when asked. GL keeps the swap interval in the
  // context; Direct3D 11 passes it to every Present. Some servers (Xvfb) do not support setting
  // it, which is harmless: they have no vertical blank to wait for.
  SDL_GL_SetSwapInterval(present.vsync ? 1 : 0);
#endif

    // The back buffer, its render target and the depth buffer are the default framebuffer's.

    // Counter-clockwise triangles are front faces; clockwise ones are culled.
#if !defined(__EMSCRIPTEN__)
  device.rasterizerState.fillMode = GL_FILL;
#endif
  device.rasterizerState.cullFace = GL_BACK;
  device.rasterizerState.frontFace = GL_CCW;
  device.rasterizerState.depthClamp = false;
  device.rasterizerState.scissorTest = false;

  // What Direct3D 11 gives without any state object, set once since nothing changes it: depth
  // test LESS with writes, no stencil, no blending, and linear sampling clamped on every axis
  // (the textures have one level, so the mip filter has nothing to blend).
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_BLEND);
#if !defined(__EMSCRIPTEN__)
  glDisable(GL_FRAMEBUFFER_SRGB);  // WebGL 2 has no such switch: its default framebuffer is linear
#endif
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glGenSamplers(1, &device.sampler);
  glSamplerParameteri(device.sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glSamplerParameteri(device.sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameteri(device.sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(device.sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(device.sampler, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glBindSampler(0, device.sampler);

  device.viewport.minDepth = 0.0;
  device.viewport.maxDepth = 1.0;
  // The demo's projection writes z / w in 0..1, as Direct3D clips it. Where the context can clip
  // that way the projection is used unchanged; elsewhere the vertex stage remaps z (cube_shader.h).
#if defined(__EMSCRIPTEN__)
  // WebGL 2 clips z to -w..w, always.
  device.clipControl = false;
  FitViewportToCanvas(device);
  return StartupOk();
#else
  device.clipControl = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
  if (device.clipControl) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);

  // GL counts the viewport's y from the bottom; the bars are equal, give or take one.
  const ViewportRect fit = present.fitToWindow
                               ? FitPicture(resolution, width, height)
                               : ViewportRect{0, 0, resolution.width, resolution.height};
  device.viewport.x = fit.x;
  device.viewport.y = height - fit.y - fit.height;
  device.viewport.width = fit.width;
  device.viewport.height = fit.height;
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
  // The sampler first, while its context is still current; the default framebuffer and the
  // fixed states go with the context.
  if (device.sampler != 0) glDeleteSamplers(1, &device.sampler);
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
