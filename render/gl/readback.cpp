// Frame read-back through kDepth pixel-pack buffers in rotation: each frame's back buffer is
// copied into the next buffer before it is presented, and the buffer is mapped only when that
// frame is collected, by which time the copy has usually finished. Twin: render/d3d11/readback.cpp.
#include <cstring>

#include "base/window.h"
#include "render/render.h"

namespace tc {

StartupStatus CreateFrameReadback(RenderDevice& device, FrameReadback& readback) {
  readback = FrameReadback{};
  // The whole back buffer: the window's drawable, whatever part of it the picture covers.
  GetWindowDrawableSize(device.window, readback.width, readback.height);
  const GLsizeiptr bytes = static_cast<GLsizeiptr>(readback.width) * readback.height * 4;
  // Errors left by earlier calls are drained, so that the check below speaks of these buffers.
  while (glGetError() != GL_NO_ERROR) {
  }
  glGenBuffers(FrameReadback::kDepth, readback.buffers);
  for (GLuint buffer : readback.buffers) {
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glBufferData(GL_PIXEL_PACK_BUFFER, bytes, nullptr, GL_STREAM_READ);
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  if (GLenum error = glGetError(); error != GL_NO_ERROR) {
    return StartupFailure(
        "CreateFrameReadback: %d pixel-pack buffers of %dx%d failed: GL error 0x%04x",
        FrameReadback::kDepth, readback.width, readback.height, static_cast<unsigned>(error));
  }
  readback.created = true;
  return StartupOk();
}

void ReleaseFrameReadback(FrameReadback& readback) {
  // Only names that were made: a record that never met a context calls no GL function.
  for (GLuint& buffer : readback.buffers) {
    if (buffer != 0) glDeleteBuffers(1, &buffer);
  }
  readback = FrameReadback{};
}

void IssueFrameReadback(RenderDevice& /*device*/, FrameReadback& readback) {
  const GLuint buffer = readback.buffers[readback.issued % FrameReadback::kDepth];
  ++readback.issued;
  // Without its buffer the read would go to client memory at address 0.
  if (!readback.created) return;
  glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, readback.width, readback.height, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

StartupStatus CollectFrameReadback(RenderDevice& /*device*/, FrameReadback& readback,
                                   uint8_t* topDown, size_t capacity) {
  const GLuint buffer = readback.buffers[readback.collected % FrameReadback::kDepth];
  ++readback.collected;
  if (StartupStatus fits = FrameReadbackFits(readback, capacity); !fits.ok) return fits;
  const size_t rowBytes = static_cast<size_t>(readback.width) * 4;
  const int height = readback.height;
  glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
  const void* mapped = glMapBufferRange(
      GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(rowBytes) * height, GL_MAP_READ_BIT);
  StartupStatus status;
  if (mapped == nullptr) {
    status = StartupFailure("CollectFrameReadback: glMapBufferRange failed: GL error 0x%04x",
                            static_cast<unsigned>(glGetError()));
  } else {
    // GL's row 0 is the bottom one.
    const uint8_t* bottomUp = static_cast<const uint8_t*>(mapped);
    for (int y = 0; y < height; ++y) {
      std::memcpy(topDown + static_cast<size_t>(y) * rowBytes,
                  bottomUp + static_cast<size_t>(height - 1 - y) * rowBytes, rowBytes);
    }
    // GL_FALSE: the buffer's storage was lost while mapped (a display mode change, say), and with
    // it the frame just copied.
    if (glUnmapBuffer(GL_PIXEL_PACK_BUFFER) != GL_TRUE) {
      status = StartupFailure("CollectFrameReadback: glUnmapBuffer: the copy was lost");
    }
  }
  glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
  return status;
}

}  // namespace tc
