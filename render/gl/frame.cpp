// Frame submission: clear, bind the whole pipeline at the frame's first draw, then per cube one
// upload of the 128 constant bytes followed by one indexed draw, and present (waiting for
// the vertical blank only when asked). Nothing is allocated and only the mapping's result is
// examined here: a failed one is counted for DrawFailures. Twins: render/d3d11/frame.cpp and, on
// a web page, frame_webgl.cpp.
#include <cstring>

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
  glDepthRange(device.viewport.minDepth, device.viewport.maxDepth);
  // 2. The render target: the window's default framebuffer with its depth buffer.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  // 3. The constants at binding 0.
  glBindBufferRange(GL_UNIFORM_BUFFER, 0, scene.constantBuffer, 0, sizeof(SceneConstants));
  // 4.-6. Both stages (one program object) and the texture at unit 0.
  glUseProgram(program.program);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, scene.textures[device.boundTexture]);
  // 7. The rasterizer state.
  // WebGL 2 only ever fills, and has no depth clamp to turn off.
  glPolygonMode(GL_FRONT_AND_BACK, device.rasterizerState.fillMode);
  SetCapability(GL_DEPTH_CLAMP, device.rasterizerState.depthClamp);
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
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
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
  // Invalidating the whole buffer lets the driver hand out fresh storage instead of waiting for
  // the draws still reading the old content. A failed mapping skips this cube's copy, and is
  // counted; the cube is still drawn with what the buffer held before.
  glBindBuffer(GL_UNIFORM_BUFFER, scene.constantBuffer);
  void* mapped = glMapBufferRange(GL_UNIFORM_BUFFER, 0, sizeof(SceneConstants),
                                  GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
  if (mapped != nullptr) {
    std::memcpy(mapped, &constants, sizeof constants);
    glUnmapBuffer(GL_UNIFORM_BUFFER);
  } else if (device.failedUploads++ == 0) {
    device.firstUploadError = glGetError();
  }
  if (device.pipelinePending) {
    BindPipeline(device, scene, program);
    device.pipelinePending = false;
  }
  glDrawElements(GL_TRIANGLES, scene.indexCount, scene.indexType, nullptr);
}

void PresentFrame(RenderDevice& device) {
  // The window owns the context and presents it.
  PresentWindow(device.window, device.waitForVerticalBlank);
}

}  // namespace tc
