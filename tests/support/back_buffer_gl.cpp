// OpenGL: glReadPixels from GL_BACK, whose rows come bottom-up, turned top-down. Twin:
// back_buffer_d3d11.cpp.
#include <SDL.h>

#include <cstring>

#include "tests/support/back_buffer.h"

namespace tc::test {

bool ReadBackBuffer(RenderDevice& device, Pixels& pixels) {
  int width = 0;
  int height = 0;
  SDL_GL_GetDrawableSize(device.window, &width, &height);
  if (width <= 0 || height <= 0) return false;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  std::vector<uint8_t> bottomUp(rowBytes * height);
  glReadBuffer(GL_BACK);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
  if (glGetError() != GL_NO_ERROR) return false;
  pixels.width = width;
  pixels.height = height;
  pixels.rgba.resize(bottomUp.size());
  for (int y = 0; y < height; ++y) {
    std::memcpy(&pixels.rgba[static_cast<size_t>(y) * rowBytes],
                &bottomUp[static_cast<size_t>(height - 1 - y) * rowBytes], rowBytes);
  }
  return true;
}

}  // namespace tc::test
