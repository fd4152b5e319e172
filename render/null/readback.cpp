// Null frame read-back: every frame collected is transparent black, the size of the picture.
// Twins: render/gl/readback.cpp, render/d3d11/readback.cpp.
#include <cstring>

#include "render/render.h"

namespace tc {

StartupStatus CreateFrameReadback(RenderDevice& device, FrameReadback& readback) {
  readback = FrameReadback{};
  readback.width = device.resolution.width;
  readback.height = device.resolution.height;
  readback.created = true;
  return StartupOk();
}

void ReleaseFrameReadback(FrameReadback& readback) {
  readback = FrameReadback{};
}

void IssueFrameReadback(RenderDevice& /*device*/, FrameReadback& readback) {
  ++readback.issued;
}

StartupStatus CollectFrameReadback(RenderDevice& /*device*/, FrameReadback& readback,
                                   uint8_t* topDown, size_t capacity) {
  ++readback.collected;
  if (StartupStatus fits = FrameReadbackFits(readback, capacity); !fits.ok) return fits;
  std::memset(topDown, 0, FrameReadbackBytes(readback));
  return StartupOk();
}

}  // namespace tc
