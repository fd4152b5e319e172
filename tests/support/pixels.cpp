#include <cstdlib>

#include "tests/support/back_buffer.h"

namespace tc::test {

bool PixelNear(const Pixels& pixels, int x, int y, const uint8_t (&expected)[4], int tolerance) {
  const uint8_t* p = pixels.At(x, y);
  for (int c = 0; c < 4; ++c) {
    if (std::abs(static_cast<int>(p[c]) - static_cast<int>(expected[c])) > tolerance) return false;
  }
  return true;
}

}  // namespace tc::test
