// Null frame submission: counts frames and draws, and logs the texture binds made between frames:
// those are the entry procedure's own (late start, loop restart), not the choreography's. Twins:
// render/gl/frame.cpp, render/d3d11/frame.cpp.
#include "render/null/script.h"
#include "render/render.h"

namespace tc {

void ClearFrame(RenderDevice& device) {
  device.pipelinePending = true;
  device.inFrame = true;
}

void BindCubeTexture(RenderDevice& device, const SceneResources& /*scene*/, int32_t textureIndex) {
  device.boundTexture = textureIndex;
  if (device.inFrame) return;
  NullLog("BindCubeTexture %d frames=%lld", textureIndex, static_cast<long long>(device.frames));
}

void DrawCube(RenderDevice& device, const SceneResources& /*scene*/,
              const ShaderProgram& /*program*/, SceneConstants& constants, const Mat4& world) {
  constants.worldMatrix = world;
  if (NullStepFails("DrawCube") && device.failedUploads++ == 0) device.firstUploadError = 1;
  device.pipelinePending = false;
  ++device.draws;
}

void PresentFrame(RenderDevice& device) {
  ++device.frames;
  device.inFrame = false;
}

}  // namespace tc
