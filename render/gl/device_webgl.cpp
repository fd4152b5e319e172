// The WebGL 2 device: the fixed states Direct3D 11 gives by default, its default sampler among
// them, and the values of the one rasterizer state, on the context the page's canvas made current,
// whose drawing buffer is the swap chain's back buffer and the depth buffer. Created once; the
// page resizes the canvas with the browser window, and each frame's clear fits the picture into
// it again. Twin: device.cpp (OpenGL 3.3 core).
#include "base/window.h"
#include "render/render.h"

namespace tc {

StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device,
                                 const PresentOptions& present) {
  device = RenderDevice{};
  device.window = window;
  device.picture = resolution;
  // The browser decides when frames are shown, and the page the canvas's size.
  (void)present;

  // The canvas's context took its format when it was made; WebGL 2 it is, or the page had none.

  // The back buffer, its render target and the depth buffer are the drawing buffer's.

  // Counter-clockwise triangles are front faces; clockwise ones are culled. WebGL 2 only ever
  // fills, and has no depth clamp: it clips at the near and far planes.
  device.rasterizerState.cullFace = GL_BACK;
  device.rasterizerState.frontFace = GL_CCW;
  device.rasterizerState.scissorTest = false;

  // What Direct3D 11 gives without any state object, set once since nothing changes it: depth
  // test LESS with writes, no stencil, no blending, and linear sampling clamped on every axis
  // (the textures have one level, so the mip filter has nothing to blend). WebGL 2 has no sRGB
  // switch: its default framebuffer is linear.
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glDisable(GL_STENCIL_TEST);
  glDisable(GL_BLEND);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  glGenSamplers(1, &device.sampler);
  glSamplerParameteri(device.sampler, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glSamplerParameteri(device.sampler, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glSamplerParameteri(device.sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(device.sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glSamplerParameteri(device.sampler, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  glBindSampler(0, device.sampler);

  device.viewport.minDepth = 0.0f;
  device.viewport.maxDepth = 1.0f;
  // The demo's projection writes z / w in 0..1, as Direct3D clips it. WebGL 2 clips z to -w..w,
  // always: the vertex stage remaps z (cube_shader.h).
  device.clipControl = false;

  FitViewportToCanvas(device);
  return StartupOk();
}

void FitViewportToCanvas(RenderDevice& device) {
  // GL counts the viewport's y from the bottom; the bars are equal, give or take one.
  int width = 0;
  int height = 0;
  GetWindowDrawableSize(device.window, width, height);
  const ViewportRect fit = FitPicture(device.picture, width, height);
  device.viewport.x = fit.x;
  device.viewport.y = height - fit.y - fit.height;
  device.viewport.width = fit.width;
  device.viewport.height = fit.height;
}

void ReleaseRenderDevice(RenderDevice& device) {
  // While the canvas's context is still current; the drawing buffer and the fixed states go with
  // the context, which goes with the window.
  if (device.sampler != 0) glDeleteSamplers(1, &device.sampler);
  device = RenderDevice{};
}

}  // namespace tc
