// Writes the demo's three cube textures as 256 × 256 RGB PNG files.
//
//   asset-textures OUT_DIR      writes OUT_DIR/texture1.png, texture2.png and texture3.png
//
// The demo's pixel stage multiplies red by about 3.07, green by 2.93 and blue by 3 and clamps, so
// the pictures are drawn dark: almost every channel value stays below 80, where the brightened
// value still fits in a byte. The three flicker against each other every even second, so each has
// its own palette and structure: cool bevelled tiles, warm wavy bands, and a green circuit board.
// All randomness comes from a fixed-seed generator, so the files come out the same on every run.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "stb_image_write.h"
#include "tools/assets/prng.h"

namespace tc {
namespace {

constexpr int kSize = 256;

struct Rgb {
  int r, g, b;
};

class Image {
 public:
  Image() : pixels_(kSize * kSize * 3, 0) {}
  void Set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= kSize || y >= kSize) return;
    unsigned char* p = &pixels_[static_cast<size_t>(y * kSize + x) * 3];
    p[0] = Clamp(c.r);
    p[1] = Clamp(c.g);
    p[2] = Clamp(c.b);
  }
  void Fill(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x)
        Set(x, y, c);
    }
  }
  bool Write(const std::string& path) const {
    return stbi_write_png(path.c_str(), kSize, kSize, 3, pixels_.data(), kSize * 3) != 0;
  }

 private:
  static unsigned char Clamp(int v) { return static_cast<unsigned char>(std::clamp(v, 0, 255)); }
  std::vector<unsigned char> pixels_;
};

Rgb Mix(Rgb a, Rgb b, float t) {
  return {static_cast<int>(std::lround(a.r + (b.r - a.r) * t)),
          static_cast<int>(std::lround(a.g + (b.g - a.g) * t)),
          static_cast<int>(std::lround(a.b + (b.b - a.b) * t))};
}
Rgb Add(Rgb a, int d) {
  return {a.r + d, a.g + d, a.b + d};
}

// Cool tiles: an 8 × 8 checker of teal and indigo tiles, each bevelled (light top-left edge, dark
// bottom-right edge) with a thin grout line and a small amber diamond in every other tile.
// The grid is shifted by half a tile: the cube shader's texture coordinates leave 0..1 over most
// of every face and the clamping sampler smears the border texels across it, so the border rows
// run through the tiles' middles (and the corner texel is an amber diamond) instead of the
// near-black grout.
Image Tiles() {
  Image img;
  Prng rng(1u);
  const Rgb teal{10, 40, 46}, indigo{24, 18, 54}, grout{4, 5, 8}, amber{72, 50, 12};
  constexpr int kTile = 32;
  for (int ty = 0; ty < kSize / kTile; ++ty) {
    for (int tx = 0; tx < kSize / kTile; ++tx) {
      const bool odd = (tx + ty) % 2 == 1;
      const Rgb base = Add(odd ? indigo : teal, static_cast<int>(rng.Below(7)) - 3);
      for (int y = 0; y < kTile; ++y) {
        for (int x = 0; x < kTile; ++x) {
          Rgb c = base;
          if (x < 3 || y < 3) c = Add(base, 22);
          if (x >= kTile - 3 || y >= kTile - 3) c = Add(base, -6);
          if (x == 0 || y == 0) c = grout;
          const int d = std::abs(x - kTile / 2) + std::abs(y - kTile / 2);
          if (!odd && d <= 6) c = d >= 5 ? Add(amber, -30) : amber;
          img.Set((tx * kTile + x + kTile / 2) % kSize, (ty * kTile + y + kTile / 2) % kSize, c);
        }
      }
    }
  }
  return img;
}

// Warm bands: wavy horizontal bands through a palette of plum, rust, violet and ember, with a soft
// shading across each band and a thin bright seam between bands.
Image Bands() {
  Image img;
  Prng rng(2u);
  const Rgb palette[4] = {{58, 10, 38}, {70, 30, 8}, {34, 12, 62}, {76, 52, 14}};
  constexpr float kPeriod = 28.0f;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      const float wave = 7.0f * std::sin(static_cast<float>(x) * 2.0f * 3.14159265f / 64.0f);
      const float pos = (static_cast<float>(y) + wave) / kPeriod + 8.0f;
      const int band = static_cast<int>(std::floor(pos));
      const float frac = pos - static_cast<float>(band);
      Rgb c = Mix(palette[band % 4], {6, 4, 10}, 0.6f * frac);  // darker towards the band's end
      if (frac < 0.06f) c = {80, 66, 40};                       // the seam
      img.Set(x, y, Add(c, static_cast<int>(rng.Below(5)) - 2));
    }
  }
  return img;
}

// A circuit board: dark green with a faint grain, copper traces that wander along an 8-pixel
// grid ending in round pads, and a few dark chips with silver pins.
Image Circuit() {
  Image img;
  Prng rng(3u);
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x)
      img.Set(x, y, Add({6, 30, 14}, static_cast<int>(rng.Below(7)) - 3));
  }
  const Rgb trace{22, 66, 26}, copper{78, 54, 18}, hole{8, 10, 6};
  auto pad = [&](int cx, int cy) {
    for (int y = -3; y <= 3; ++y) {
      for (int x = -3; x <= 3; ++x) {
        const int d2 = x * x + y * y;
        if (d2 <= 10) img.Set(cx + x, cy + y, d2 <= 1 ? hole : copper);
      }
    }
  };
  constexpr int kGrid = 8;
  const int dirs[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  for (int t = 0; t < 40; ++t) {
    int gx = static_cast<int>(rng.Below(kSize / kGrid));
    int gy = static_cast<int>(rng.Below(kSize / kGrid));
    int dir = static_cast<int>(rng.Below(4));
    pad(gx * kGrid + 4, gy * kGrid + 4);
    const int steps = 4 + static_cast<int>(rng.Below(14));
    for (int s = 0; s < steps; ++s) {
      if (rng.Below(4) == 0) dir = (dir + (rng.Below(2) == 0 ? 1 : 3)) % 4;  // turn left or right
      const int nx = std::clamp(gx + dirs[dir][0], 0, kSize / kGrid - 1);
      const int ny = std::clamp(gy + dirs[dir][1], 0, kSize / kGrid - 1);
      const int x0 = std::min(gx, nx) * kGrid + 3, x1 = std::max(gx, nx) * kGrid + 6;
      const int y0 = std::min(gy, ny) * kGrid + 3, y1 = std::max(gy, ny) * kGrid + 6;
      img.Fill(x0, y0, x1, y1, trace);
      gx = nx;
      gy = ny;
    }
    pad(gx * kGrid + 4, gy * kGrid + 4);
  }
  for (int c = 0; c < 5; ++c) {
    const int w = 24 + 8 * static_cast<int>(rng.Below(4)),
              h = 16 + 8 * static_cast<int>(rng.Below(3));
    const int x0 = 8 + 8 * static_cast<int>(rng.Below((kSize - w - 16) / 8));
    const int y0 = 8 + 8 * static_cast<int>(rng.Below((kSize - h - 16) / 8));
    for (int x = x0 + 3; x < x0 + w - 2; x += 4) {  // pins above and below the body
      img.Fill(x, y0 - 4, x + 2, y0, {58, 58, 62});
      img.Fill(x, y0 + h, x + 2, y0 + h + 4, {58, 58, 62});
    }
    img.Fill(x0, y0, x0 + w, y0 + h, {14, 14, 17});
    img.Fill(x0 + 2, y0 + 2, x0 + 5, y0 + 5, {34, 34, 38});  // the pin-1 mark
  }
  return img;
}

}  // namespace
}  // namespace tc

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "asset-textures: usage: asset-textures OUT_DIR\n");
    return 1;
  }
  const std::string dir = argv[1];
  const tc::Image images[3] = {tc::Tiles(), tc::Bands(), tc::Circuit()};
  for (int i = 0; i < 3; ++i) {
    const std::string path = dir + "/texture" + std::to_string(i + 1) + ".png";
    if (!images[i].Write(path)) {
      std::fprintf(stderr, "asset-textures: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
