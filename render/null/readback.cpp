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

bool CollectFrameReadback(RenderDevice& /*device*/, FrameReadback& readback, uint8_t* topDown) {
  ++readback.collected;
  if (!readback.created) return false;
  std::memset(topDown, 0, static_cast<size_t>(readback.width) * readback.height * 4);
  return true;
}

}  // namespace tc
