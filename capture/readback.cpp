#include "capture/readback.h"

#include <cstring>

namespace tc::capture {

void CreateReadbackRing(ReadbackRing& ring, Resolution resolution) {
  ring = ReadbackRing{};
  ring.resolution = resolution;
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(resolution.width) * resolution.height * 4;
  glGenBuffers(ReadbackRing::kDepth, ring.buffers);
  for (GLuint buffer : ring.buffers) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glBufferData(GL_PIXEL_PACK_BUFFER, bytes, nullptr, GL_STREAM_READ);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

void ReleaseReadbackRing(ReadbackRing& ring) {
  if (ring.buffers[0] != 0) glDeleteBuffers(ReadbackRing::kDepth, ring.buffers);
  ring = ReadbackRing{};
}

void IssueReadback(ReadbackRing& ring) {
  const GLuint buffer = ring.buffers[ring.issued % ReadbackRing::kDepth];
  glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, ring.resolution.width, ring.resolution.height, GL_RGBA, GL_UNSIGNED_BYTE,
               nullptr);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  ++ring.issued;
}

bool CollectReadback(ReadbackRing& ring, uint8_t* topDown) {
  const GLuint buffer = ring.buffers[ring.collected % ReadbackRing::kDepth];
  const size_t rowBytes = static_cast<size_t>(ring.resolution.width) * 4;
  const int height = ring.resolution.height;
  glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
  const void* mapped = glMapBufferRange(
      GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(rowBytes) * height, GL_MAP_READ_BIT);
  bool ok = mapped != nullptr;
  if (ok) {
    // OpenGL's row 0 is the bottom one.
    const uint8_t* bottomUp = static_cast<const uint8_t*>(mapped);
    for (int y = 0; y < height; ++y) {
      std::memcpy(topDown + static_cast<size_t>(y) * rowBytes,
                  bottomUp + static_cast<size_t>(height - 1 - y) * rowBytes, rowBytes);
    }
    ok = glUnmapBuffer(GL_PIXEL_PACK_BUFFER) == GL_TRUE;
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  ++ring.collected;
  return ok;
}

}  // namespace tc::capture
