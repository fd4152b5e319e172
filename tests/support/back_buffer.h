// The finished frame, read back from the back buffer after the draws and before PresentFrame,
// while the buffer still holds it. One reader for every test and tool that looks at pixels, on
// whichever backend the build has (its FrameReadback, render/render.h).
#pragma once

#include <cstdint>
#include <vector>

#include "render/render.h"

namespace tc::test {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // rows top-down, 4 bytes per pixel

  const uint8_t* At(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// The whole back buffer (the window's drawable), rows top-down.
bool ReadBackBuffer(RenderDevice& device, Pixels& pixels);

// True when every channel of the pixel at (x, y) is within `tolerance` of `expected`.
bool PixelNear(const Pixels& pixels, int x, int y, const uint8_t (&expected)[4], int tolerance);

}  // namespace tc::test
