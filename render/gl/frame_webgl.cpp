// Frame submission on WebGL 2: clear (fitting the picture into the canvas's drawing buffer
// again), bind the whole pipeline at the frame's first draw, then per cube one upload of the 128
// constant bytes followed by one indexed draw; the browser presents. Nothing is allocated and
// nothing is examined here. Twin: frame.cpp (OpenGL 3.3 core).

#include "base/window.h"
#include "render/render.h"

namespace tc {
namespace {

void SetCapability(GLenum capability, bool enabled) {
  if (enabled) {
    glEnable(capability);
  } else {
    glDisable(capability);
  }
}

// Everything the frame's draws rely on, bound once per frame at its first draw.
void BindPipeline(RenderDevice& device, const SceneResources& scene, const ShaderProgram& program) {
  // 1. Viewport and depth range.
  glViewport(device.viewport.x, device.viewport.y, device.viewport.width, device.viewport.height);
  glDepthRangef(device.viewport.minDepth, device.viewport.maxDepth);
  // 2. The render target: the canvas's drawing buffer with its depth buffer.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  // 3. The constants at binding 0.
  glBindBufferRange(GL_UNIFORM_BUFFER, 0, scene.constantBuffer, 0, sizeof(SceneConstants));
  // 4.-6. Both stages (one program object) and the texture at unit 0.
  glUseProgram(program.program);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, scene.textures[device.boundTexture]);
  // 7. The rasterizer state. WebGL 2 only ever fills, and has no depth clamp to turn off.
  glEnable(GL_CULL_FACE);
  glCullFace(device.rasterizerState.cullFace);
  glFrontFace(device.rasterizerState.frontFace);
  SetCapability(GL_SCISSOR_TEST, device.rasterizerState.scissorTest);
  // 8.-10. Input layout, vertex stream at offset 0 with the mesh's stride, index stream.
  glBindVertexArray(program.inputLayout);
  glBindBuffer(GL_ARRAY_BUFFER, scene.vertexBuffer);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, scene.vertexStride, nullptr);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, scene.indexBuffer);
  // 11. Triangle lists: the mode of every glDrawElements.
}

}  // namespace

void ClearFrame(RenderDevice& device) {
  // Colour to black with alpha 0, depth to 1.0; the stencil bits are never cleared.
  FitViewportToCanvas(device);
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepthf(1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  device.pipelinePending = true;
}

void BindCubeTexture(RenderDevice& device, const SceneResources& scene, int32_t textureIndex) {
  device.boundTexture = textureIndex;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, scene.textures[textureIndex]);
}

void DrawCube(RenderDevice& device, const SceneResources& scene, const ShaderProgram& program,
              SceneConstants& constants, const Mat4& world) {
  constants.worldMatrix = world;
  // WebGL 2 cannot map buffers (the library imitates it with a heap block per mapping): the same
  // 128 bytes go up as one sub-data upload, which replaces them all.
  glBindBuffer(GL_UNIFORM_BUFFER, scene.constantBuffer);
  glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof constants, &constants);
  if (device.pipelinePending) {
    BindPipeline(device, scene, program);
    device.pipelinePending = false;
  }
  glDrawElements(GL_TRIANGLES, scene.indexCount, scene.indexType, nullptr);
}

void PresentFrame(RenderDevice& device) {
  // The page's window presents: the browser shows what the animation frame drew once its callback
  // returns, and never waits.
  PresentWindow(device.window, false);
}

}  // namespace tc
