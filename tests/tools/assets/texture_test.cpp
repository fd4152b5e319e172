// The three cube textures as the renderer loads them (stb_image, expanded to RGBA) and as the
// pixel stage shows them: red × 9.2/3, green × 8.8/3, blue × 3, clamped to a byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "stb_image.h"

namespace {

struct Texture {
  int width = 0, height = 0, channels_in_file = 0;
  std::vector<unsigned char> rgba;
};

Texture Load(int n) {
  const std::string path = TC_RESOURCES_DIR "/texture" + std::to_string(n) + ".png";
  Texture t;
  unsigned char* p = stbi_load(path.c_str(), &t.width, &t.height, &t.channels_in_file, 4);
  if (p != nullptr) {
    t.rgba.assign(p, p + static_cast<size_t>(t.width) * t.height * 4);
    stbi_image_free(p);
  }
  return t;
}

// What the demo puts on screen for one channel value.
int Shown(int channel, unsigned char v) {
  const float gain[3] = {9.2f / 3.0f, 8.8f / 3.0f, 3.0f};
  return std::min(255, static_cast<int>(v * gain[channel]));
}

class Textures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (int i = 0; i < 3; ++i)
      textures_[i] = Load(i + 1);
  }
  static std::array<Texture, 3> textures_;
};
std::array<Texture, 3> Textures::textures_;

TEST_F(Textures, AllThreeDecodeTo256By256With8BitChannels) {
  for (int i = 0; i < 3; ++i) {
    const Texture& t = textures_[i];
    ASSERT_FALSE(t.rgba.empty()) << "texture" << i + 1 << ".png: " << stbi_failure_reason();
    EXPECT_EQ(t.width, 256) << "texture" << i + 1;
    EXPECT_EQ(t.height, 256) << "texture" << i + 1;
    EXPECT_TRUE(t.channels_in_file == 3 || t.channels_in_file == 4) << "texture" << i + 1;
    EXPECT_FALSE(stbi_is_16_bit(
        (std::string(TC_RESOURCES_DIR "/texture") + std::to_string(i + 1) + ".png").c_str()));
  }
}

// Values above about 83 saturate after brightening; the pictures must stay dark enough that
// their structure is still visible on screen.
TEST_F(Textures, StructureSurvivesThePixelStagesBrightening) {
  for (int i = 0; i < 3; ++i) {
    const Texture& t = textures_[i];
    ASSERT_FALSE(t.rgba.empty());
    size_t dark = 0, values = 0;
    std::vector<bool> seen(1 << 18, false);  // shown colours, 6 bits per channel
    size_t distinct = 0;
    double sum = 0.0, sum2 = 0.0;
    for (size_t p = 0; p < t.rgba.size(); p += 4) {
      int key = 0;
      double luma = 0.0;
      for (int c = 0; c < 3; ++c) {
        dark += t.rgba[p + c] <= 83;
        ++values;
        const int shown = Shown(c, t.rgba[p + c]);
        key = key * 64 + shown / 4;
        luma += shown / 3.0;
      }
      if (!seen[key]) {
        seen[key] = true;
        ++distinct;
      }
      sum += luma;
      sum2 += luma * luma;
    }
    const double pixels = static_cast<double>(t.rgba.size() / 4);
    const double spread = std::sqrt(sum2 / pixels - (sum / pixels) * (sum / pixels));
    EXPECT_GE(static_cast<double>(dark) / values, 0.95) << "texture" << i + 1 << " is too bright";
    EXPECT_GE(distinct, 8u) << "texture" << i + 1 << " is nearly flat on screen";
    EXPECT_GT(spread, 8.0) << "texture" << i + 1 << " has too little contrast on screen";
  }
}

// The demo flickers among the three every even second: any two must look clearly different.
TEST_F(Textures, EachPairDiffersClearlyOnScreen) {
  for (int a = 0; a < 3; ++a) {
    for (int b = a + 1; b < 3; ++b) {
      ASSERT_EQ(textures_[a].rgba.size(), textures_[b].rgba.size());
      double diff = 0.0;
      for (size_t p = 0; p < textures_[a].rgba.size(); p += 4) {
        for (int c = 0; c < 3; ++c) {
          diff += std::abs(Shown(c, textures_[a].rgba[p + c]) - Shown(c, textures_[b].rgba[p + c]));
        }
      }
      diff /= static_cast<double>(textures_[a].rgba.size() / 4 * 3);
      EXPECT_GT(diff, 40.0) << "texture" << a + 1 << " and texture" << b + 1;
    }
  }
}

}  // namespace
