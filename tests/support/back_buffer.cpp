// The blocking form of the backend's frame read-back: one copy issued and collected at once.
#include "tests/support/back_buffer.h"

namespace tc::test {

bool ReadBackBuffer(RenderDevice& device, Pixels& pixels) {
  FrameReadback readback;
  bool ok = CreateFrameReadback(device, readback).ok;
  if (ok) {
    pixels.width = readback.width;
    pixels.height = readback.height;
    pixels.rgba.resize(FrameReadbackBytes(readback));
    IssueFrameReadback(device, readback);
    ok = CollectFrameReadback(device, readback, pixels.rgba.data(), pixels.rgba.size()).ok;
  }
  ReleaseFrameReadback(readback);
  return ok;
}

}  // namespace tc::test
