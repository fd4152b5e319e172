// The OpenGL device: a 3.3 core context on the presentation window, whose default framebuffer
// (in the format render/gl/framebuffer_format.h asks for) is the swap chain's back buffer and the
// depth buffer; the fixed states Direct3D 11 gives by default, its default sampler among them;
// and the values of the one rasterizer state. Created once; the window is never resized. Twin:
// render/d3d11/device.cpp.
#include <SDL.h>

#include "render/gl/framebuffer_format.h"
#include "render/render.h"

namespace tc {

StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device,
                                 const PresentOptions& present) {
  device = RenderDevice{};
  device.window = window;
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

  // The back buffer, its render target and the depth buffer are the default framebuffer's.

  // Counter-clockwise triangles are front faces; clockwise ones are culled.
  device.rasterizerState.fillMode = GL_FILL;
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
  glDisable(GL_FRAMEBUFFER_SRGB);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glGenSamplers(1, &device.sampler);
  glSamplerParameteri(device.sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glSamplerParameteri(device.sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameteri(device.sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(device.sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(device.sampler, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glBindSampler(0, device.sampler);

  // The demo's projection writes z / w in 0..1, as Direct3D clips it. Where the context can clip
  // that way the projection is used unchanged; elsewhere the vertex stage remaps z (cube_shader.h).
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
  device.viewport.minDepth = 0.0;
  device.viewport.maxDepth = 1.0;
  return StartupOk();
}

void ReleaseRenderDevice(RenderDevice& device) {
  // The sampler first, while its context is still current; the default framebuffer and the
  // fixed states go with the context.
  if (device.sampler != 0) glDeleteSamplers(1, &device.sampler);
  if (device.context != nullptr) {
    SDL_GL_MakeCurrent(device.window, nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(device.context));
  }
  device = RenderDevice{};
}

}  // namespace tc
