// Per-cube upload of SceneConstants into the uniform buffer, in each of the strategies that
// UploadStrategy names. DrawCube uses kUploadStrategy; the render benchmark times all three.
#pragma once

#include <cstring>

#include "demo/transform.h"
#include "render/gl/records.h"
#include "render/render.h"

namespace tc {

// Measured on llvmpipe (bench/render_bench.cpp, 64 x 64 target, 1861 cubes per frame); see the
// benchmark's output for the numbers that chose it.
constexpr UploadStrategy kUploadStrategy = UploadStrategy::kMapInvalidate;

constexpr GLsizeiptr kConstantBytes = sizeof(SceneConstants);
// Slots in the ring: more than the busiest frame draws, so a frame rarely wraps mid-way.
constexpr GLsizeiptr kRingSlots = 4096;

// Drains errors left by earlier calls, so the next glGetError speaks of what follows.
inline void ClearGlErrors() {
  while (glGetError() != GL_NO_ERROR) {
  }
}

// (Re)creates the storage of scene.constantBuffer for `strategy` with `initial` at offset 0.
// Returns the GL error when the driver refuses the storage, else GL_NO_ERROR.
inline GLenum AllocateConstantBuffer(RenderDevice& device, SceneResources& scene,
                                     UploadStrategy strategy, const SceneConstants& initial) {
  GLint alignment = 0;
  glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &alignment);
  if (alignment < 1) alignment = 1;
  const GLintptr stride = (kConstantBytes + alignment - 1) / alignment * alignment;
  scene.constantSlotStride = stride;
  scene.constantCapacity =
      strategy == UploadStrategy::kSlotRing ? stride * kRingSlots : kConstantBytes;
  device.constantOffset = 0;
  ClearGlErrors();
  glBindBuffer(GL_UNIFORM_BUFFER, scene.constantBuffer);
  glBufferData(GL_UNIFORM_BUFFER, scene.constantCapacity, nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_UNIFORM_BUFFER, 0, kConstantBytes, &initial);
  return glGetError();
}

template <UploadStrategy kStrategy>
inline void UploadConstants(RenderDevice& device, const SceneResources& scene,
                            const SceneConstants& constants) {
  glBindBuffer(GL_UNIFORM_BUFFER, scene.constantBuffer);
  if constexpr (kStrategy == UploadStrategy::kMapInvalidate) {
    // A failed mapping skips this cube's copy; the cube is still drawn with the old content.
    void* mapped = glMapBufferRange(GL_UNIFORM_BUFFER, 0, kConstantBytes,
                                    GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
    if (mapped != nullptr) {
      std::memcpy(mapped, &constants, kConstantBytes);
      glUnmapBuffer(GL_UNIFORM_BUFFER);
    }
  } else if constexpr (kStrategy == UploadStrategy::kOrphanSubData) {
    glBufferData(GL_UNIFORM_BUFFER, kConstantBytes, nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, kConstantBytes, &constants);
  } else {
    // Slots are written once per pass through the ring; at the wrap the whole storage is
    // orphaned, so no slot a queued draw still reads is ever overwritten and the mapping can skip
    // the driver's synchronisation.
    GLintptr offset = device.constantOffset + scene.constantSlotStride;
    if (offset + kConstantBytes > scene.constantCapacity) {
      offset = 0;
      glBufferData(GL_UNIFORM_BUFFER, scene.constantCapacity, nullptr, GL_STREAM_DRAW);
    }
    void* mapped = glMapBufferRange(
        GL_UNIFORM_BUFFER, offset, kConstantBytes,
        GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (mapped != nullptr) {
      std::memcpy(mapped, &constants, kConstantBytes);
      glUnmapBuffer(GL_UNIFORM_BUFFER);
      device.constantOffset = offset;
    }
    glBindBufferRange(GL_UNIFORM_BUFFER, 0, scene.constantBuffer, device.constantOffset,
                      kConstantBytes);
  }
}

// DrawCube with a chosen upload: store the world matrix, upload all 128 bytes, bind the pipeline
// if this is the frame's first draw, draw.
template <UploadStrategy kStrategy>
inline void DrawCubeWith(RenderDevice& device, const SceneResources& scene,
                         const ShaderProgram& program, SceneConstants& constants, const Mat4& world,
                         int32_t textureIndex) {
  constants.worldMatrix = world;
  UploadConstants<kStrategy>(device, scene, constants);
  if (device.pipelinePending) {
    BindPipeline(device, scene, program, textureIndex);
    device.pipelinePending = false;
  }
  glDrawElements(GL_TRIANGLES, scene.indexCount, scene.indexType, nullptr);
}

}  // namespace tc
