// image-compare: compares two PNG frames of the same size channel by channel (red, green, blue)
// and passes when at least the given share of pixels differ by no more than the tolerance in
// every channel. On failure, or when asked, writes a difference image: each channel's absolute
// difference, amplified eight times.
//
//   image-compare <a.png> <b.png> <diff.png> [tolerance=3] [share=0.99]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "stb_image.h"
#include "stb_image_write.h"

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: image-compare <a.png> <b.png> <diff.png> [tolerance] [share]\n");
    return 2;
  }
  const int tolerance = argc > 4 ? std::atoi(argv[4]) : 3;
  const double share = argc > 5 ? std::atof(argv[5]) : 0.99;
  int wa, ha, wb, hb, channels;
  unsigned char* a = stbi_load(argv[1], &wa, &ha, &channels, 4);
  unsigned char* b = stbi_load(argv[2], &wb, &hb, &channels, 4);
  if (a == nullptr || b == nullptr) {
    std::printf("image-compare: cannot read %s\n", a == nullptr ? argv[1] : argv[2]);
    return 1;
  }
  if (wa != wb || ha != hb) {
    std::printf("image-compare: sizes differ: %dx%d and %dx%d\n", wa, ha, wb, hb);
    return 1;
  }
  const size_t count = static_cast<size_t>(wa) * ha;
  std::vector<unsigned char> diff(count * 4);
  size_t within = 0;
  size_t lit = 0;
  int largest = 0;
  for (size_t i = 0; i < count; ++i) {
    int worst = 0;
    for (int c = 0; c < 3; ++c) {
      const int d = std::abs(a[4 * i + c] - b[4 * i + c]);
      worst = std::max(worst, d);
      diff[4 * i + c] = static_cast<unsigned char>(std::min(255, d * 8));
    }
    diff[4 * i + 3] = 255;
    within += worst <= tolerance;
    lit += (a[4 * i] | a[4 * i + 1] | a[4 * i + 2]) != 0;
    largest = std::max(largest, worst);
  }
  const double agreed = static_cast<double>(within) / static_cast<double>(count);
  const bool ok = agreed >= share;
  std::printf(
      "image-compare: %s: %.3f%% of pixels within %d/255 (largest difference %d, %.1f%% "
      "of the frame lit)\n",
      ok ? "same" : "DIFFERENT", agreed * 100.0, tolerance, largest,
      100.0 * static_cast<double>(lit) / static_cast<double>(count));
  if (!ok) stbi_write_png(argv[3], wa, ha, 4, diff.data(), wa * 4);
  stbi_image_free(a);
  stbi_image_free(b);
  return ok ? 0 : 1;
}
