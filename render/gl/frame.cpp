// Frame submission: clear, bind the whole pipeline at the frame's first draw, then per cube one
// upload of the 128 constant bytes followed by one indexed draw, and present without waiting for
// the vertical blank. Nothing is allocated and no result is examined here.
#include <SDL.h>

#include "render/gl/upload.h"
#include "render/render.h"

namespace tc {

void ClearFrame(RenderDevice& device) {
  // Colour to black with alpha 0, depth to 1.0; the stencil bits are never cleared.
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  device.pipelinePending = true;
}

void BindCubeTexture(RenderDevice& /*device*/, const SceneResources& scene, int32_t textureIndex) {
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, scene.textures[textureIndex]);
}

void BindPipeline(RenderDevice& device, const SceneResources& scene, const ShaderProgram& program,
                  int32_t textureIndex) {
  // 1. Viewport and depth range.
  glViewport(0, 0, device.width, device.height);
  glDepthRange(0.0, 1.0);
  // 2. The render target: the window's default framebuffer with its depth buffer.
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  // 3. The constants at binding 0 (the slot ring binds the slot it last wrote).
  glBindBufferRange(GL_UNIFORM_BUFFER, 0, scene.constantBuffer, device.constantOffset,
                    kConstantBytes);
  // 4.-6. Both stages (one program object) and the texture at unit 0.
  glUseProgram(program.program);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, scene.textures[textureIndex]);
  // 7. Rasterizer: solid, back faces culled, counter-clockwise triangles are front faces.
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_CULL_FACE);
  glCullFace(GL_BACK);
  glFrontFace(GL_CCW);
  // 8.-10. Input layout, vertex stream at offset 0 with the mesh's stride, index stream.
  glBindVertexArray(program.inputLayout);
  glBindBuffer(GL_ARRAY_BUFFER, scene.vertexBuffer);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, scene.vertexStride, nullptr);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, scene.indexBuffer);
  // 11. Triangle lists: the mode of every glDrawElements.
}

void DrawCube(RenderDevice& device, const SceneResources& scene, const ShaderProgram& program,
              SceneConstants& constants, const Mat4& world, int32_t textureIndex) {
  DrawCubeWith<kUploadStrategy>(device, scene, program, constants, world, textureIndex);
}

void PresentFrame(RenderDevice& device) {
  SDL_GL_SwapWindow(device.window);
}

void ReleaseRenderObjects(RenderDevice& /*device*/, SceneResources& scene, ShaderProgram& program) {
  // The window's framebuffer, depth buffer and fixed states have no objects of their own. Then, in
  // the order of the design: textures, constants, pixel and vertex stage, vertex and index
  // buffer, input layout, and last the mesh document.
  for (GLuint& texture : scene.textures) {
    glDeleteTextures(1, &texture);
    texture = 0;
  }
  glDeleteBuffers(1, &scene.constantBuffer);
  glDeleteProgram(program.program);
  glDeleteShader(program.pixelShader);
  glDeleteShader(program.vertexShader);
  glDeleteBuffers(1, &scene.vertexBuffer);
  glDeleteBuffers(1, &scene.indexBuffer);
  glDeleteVertexArrays(1, &program.inputLayout);
  scene.constantBuffer = scene.vertexBuffer = scene.indexBuffer = 0;
  program = ShaderProgram{};
  FreeMeshData(scene.mesh);
}

}  // namespace tc
