// The OpenGL device: the fixed states Direct3D 11 gives by default, its default sampler among
// them, and the values of the one rasterizer state, on the 3.3 core context the window made
// current, whose default framebuffer (in the format render/gl/framebuffer_format.h asks for) is the
// swap chain's back buffer and the depth buffer. Created once; the window is never resized. Twins:
// render/d3d11/device.cpp and, on a web page, device_webgl.cpp.
#include "base/window.h"
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
    GetWindowDrawableSize(window, width, height);
  }

  // The window's visual fixed the framebuffer's format, and the window checked its depth and
  // stencil; what is left to check is the version of the context it made.
  const int version = epoxy_gl_version();
  if (version < 10 * kFramebufferGlMajor + kFramebufferGlMinor) {
    return StartupFailure("CreateRenderDevice: OpenGL %d.%d context, %d.%d needed", version / 10,
                          version % 10, kFramebufferGlMajor, kFramebufferGlMinor);
  }

  // Presentation waits for the vertical blank only when asked; the window presents.
  device.waitForVerticalBlank = present.vsync;

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

  device.viewport.minDepth = 0.0;
  device.viewport.maxDepth = 1.0;
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
  return StartupOk();
}

void ReleaseRenderDevice(RenderDevice& device) {
  // While the window's context is still current; the default framebuffer and the fixed states go
  // with the context, which goes with the window.
  if (device.sampler != 0) glDeleteSamplers(1, &device.sampler);
  device = RenderDevice{};
}

}  // namespace tc
