// libFuzzer target: any bytes as a texture file. The side limit is lower than the GPU's so that a
// run spends its time in the header and decoder checks rather than in filling large images.
#include <cstddef>
#include <cstdint>

#include "assets/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  unsigned char* pixels = nullptr;
  int width = 0;
  int height = 0;
  const tc::StartupStatus status =
      tc::DecodePngImage("fuzz.png", data, size, 2048, 0, 0, "", pixels, width, height);
  if (status.ok) {
    if (pixels == nullptr || width < 1 || height < 1 || width > 2048 || height > 2048) {
      __builtin_trap();
    }
    // The last pixel's bytes must be there.
    const size_t last = (static_cast<size_t>(width) * height - 1) * 4;
    volatile unsigned char alpha = pixels[last + 3];
    (void)alpha;
  } else if (pixels != nullptr) {
    __builtin_trap();
  }
  tc::FreeImagePixels(pixels);
  return 0;
}
