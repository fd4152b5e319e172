// The OpenGL device: a 3.3 core context on the presentation window, whose default framebuffer
// (in the format render/gl/framebuffer_format.h asks for) is the swap chain and depth buffer, plus
// the fixed states Direct3D 11 gives by default. Twin: render/d3d11/device.cpp.
#include <SDL.h>

#include "render/gl/framebuffer_format.h"
#include "render/render.h"

namespace tc {

StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device,
                                 const PresentOptions& present) {
  device = RenderDevice{};
  device.window = window;
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

  // By default presentation never waits for the vertical blank. Some servers (Xvfb) do not
  // support setting it, which is harmless: they have no vertical blank to wait for.
  SDL_GL_SetSwapInterval(present.vsync ? 1 : 0);

  // What Direct3D 11 gives without any state object: depth test LESS with writes, no stencil, no
  // blending; plus clipping at the near and far planes (no depth clamp).
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_BLEND);
  glDisable(GL_SCISSOR_TEST);
  glDisable(GL_DEPTH_CLAMP);
  glDisable(GL_FRAMEBUFFER_SRGB);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);

  // The demo's projection writes z / w in 0..1, as Direct3D clips it. Where the context can clip
  // that way the projection is used unchanged; elsewhere the vertex stage remaps z (cube_shader.h).
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
}

void ReleaseRenderDevice(RenderDevice& device) {
  // The default framebuffer, depth buffer and fixed states go with the context.
  if (device.context != nullptr) {
    SDL_GL_MakeCurrent(device.window, nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(device.context));
  }
  device = RenderDevice{};
}

}  // namespace tc
