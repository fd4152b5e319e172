// The ways of replacing the 128 constant bytes before each draw that the render benchmark
// compares. DrawCube uses the first (map with invalidation), chosen by this comparison; the other
// two live only here. All three invalidate the old content so the driver never waits for a draw
// still reading it.
#pragma once

#include <cstring>

#include "render/render.h"

namespace tc::bench {

enum class UploadStrategy {
  kMapInvalidate,  // glMapBufferRange with GL_MAP_INVALIDATE_BUFFER_BIT, copy, unmap: DrawCube's
  kOrphanSubData,  // glBufferData(nullptr) to orphan the storage, then glBufferSubData
  kSlotRing,       // next 128-byte slot of a larger buffer, bound with glBindBufferRange
};

constexpr GLsizeiptr kConstantBytes = sizeof(SceneConstants);
// Slots in the ring: more than the busiest frame draws, so a frame rarely wraps mid-way.
constexpr GLsizeiptr kRingSlots = 4096;

// A constant buffer of the benchmark's own, laid out for one strategy.
struct ConstantRing {
  GLuint buffer = 0;
  GLsizeiptr capacity = 0;
  GLintptr slotStride = 0;
  GLintptr offset = 0;  // where the current constants sit
};

inline void CreateConstantRing(UploadStrategy strategy, const SceneConstants& initial,
                               ConstantRing& ring) {
  GLint alignment = 0;
  glGetIntegerv(GL_UNIFORM_BUFFER_OFFSET_ALIGNMENT, &alignment);
  if (alignment < 1) alignment = 1;
  ring.slotStride = (kConstantBytes + alignment - 1) / alignment * alignment;
  ring.capacity =
      strategy == UploadStrategy::kSlotRing ? ring.slotStride * kRingSlots : kConstantBytes;
  ring.offset = 0;
  glGenBuffers(1, &ring.buffer);
  glBindBuffer(GL_UNIFORM_BUFFER, ring.buffer);
  glBufferData(GL_UNIFORM_BUFFER, ring.capacity, nullptr, GL_STREAM_DRAW);
  glBufferSubData(GL_UNIFORM_BUFFER, 0, kConstantBytes, &initial);
}

inline void ReleaseConstantRing(ConstantRing& ring) {
  if (ring.buffer != 0) glDeleteBuffers(1, &ring.buffer);
  ring = ConstantRing{};
}

// Uploads `constants` with `kStrategy` and leaves them bound at uniform binding 0.
template <UploadStrategy kStrategy>
void UploadConstants(ConstantRing& ring, const SceneConstants& constants) {
  glBindBuffer(GL_UNIFORM_BUFFER, ring.buffer);
  if constexpr (kStrategy == UploadStrategy::kMapInvalidate) {
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
    GLintptr offset = ring.offset + ring.slotStride;
    if (offset + kConstantBytes > ring.capacity) {
      offset = 0;
      glBufferData(GL_UNIFORM_BUFFER, ring.capacity, nullptr, GL_STREAM_DRAW);
    }
    void* mapped = glMapBufferRange(
        GL_UNIFORM_BUFFER, offset, kConstantBytes,
        GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_RANGE_BIT | GL_MAP_UNSYNCHRONIZED_BIT);
    if (mapped != nullptr) {
      std::memcpy(mapped, &constants, kConstantBytes);
      glUnmapBuffer(GL_UNIFORM_BUFFER);
      ring.offset = offset;
    }
  }
  glBindBufferRange(GL_UNIFORM_BUFFER, 0, ring.buffer, ring.offset, kConstantBytes);
}

}  // namespace tc::bench
