// Reading finished frames back from the GPU without waiting for them: each frame's back buffer is
// copied into one of a few pixel-pack buffers in rotation before it is presented, and mapped only
// when that buffer comes round again, by which time the copy has long finished.
#pragma once

#include <epoxy/gl.h>

#include <cstdint>

#include "base/resolution.h"

namespace tc::capture {

struct ReadbackRing {
  static constexpr int kDepth = 3;
  GLuint buffers[kDepth] = {};
  Resolution resolution{0, 0};
  int64_t issued = 0;     // frames whose copy has been started
  int64_t collected = 0;  // frames handed on
};

void CreateReadbackRing(ReadbackRing& ring, Resolution resolution);
void ReleaseReadbackRing(ReadbackRing& ring);

// Starts copying the current back buffer; call before PresentFrame. Only when no buffer is free
// (Pending == kDepth) must CollectReadback come first.
void IssueReadback(ReadbackRing& ring);
inline int64_t Pending(const ReadbackRing& ring) {
  return ring.issued - ring.collected;
}
// Copies the oldest pending frame into `topDown` (W x H x 4 bytes, RGBA) with the first row at
// the top, as video and image files store it. False when the driver cannot map the buffer.
bool CollectReadback(ReadbackRing& ring, uint8_t* topDown);

}  // namespace tc::capture
