// The texture loading: three PNG files of one size decode to RGBA for the GPU, and each kind of
// broken or mismatched file is turned away with one line naming it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "assets/image.h"
#include "stb_image_write.h"
#include "test_files.h"

namespace tc {
namespace {

class ImageLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test::MakeScratchDir("images");
    for (int i = 0; i < kTextureFileCount; ++i) {
      names_[i] = dir_ + "/texture" + std::to_string(i + 1) + ".png";
      paths_[i] = names_[i].c_str();
    }
  }
  void TearDown() override {
    FreeTextureImages(images_);
    test::RemoveTree(dir_);
  }
  // The load refuses the second file, which is no regular file, and leaves nothing loaded.
  void ExpectRefusedAsNoFile();
  void WriteAll(int size) {
    for (int i = 0; i < kTextureFileCount; ++i) {
      test::WriteFile(names_[i], test::EncodePng(test::SolidImage(
                                     size, size, static_cast<uint8_t>(10 * i), 2, 3, 255)));
    }
  }

  std::string dir_;
  std::string names_[kTextureFileCount];
  const char* paths_[kTextureFileCount] = {};
  TextureImages images_;
};

TEST_F(ImageLoading, ThreeImagesOfOneSizeDecodeToRgba) {
  WriteAll(4);
  // A one-channel grey file of the same size: expanded to four channels, rows top-down.
  unsigned char grey[16] = {};
  for (int i = 12; i < 16; ++i)
    grey[i] = 200;  // only the last row is bright
  std::string png;
  stbi_write_png_to_func(
      [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size);
      },
      &png, 4, 4, 1, grey, 4);
  test::WriteFile(names_[2], png);
  ASSERT_TRUE(LoadTextureImages(paths_, 64, images_).ok);
  EXPECT_EQ(images_.width, 4);
  EXPECT_EQ(images_.height, 4);
  EXPECT_EQ(images_.pixels[1][0], 10);
  EXPECT_EQ(images_.pixels[2][0], 0);  // the file's first row comes first
  EXPECT_EQ(images_.pixels[2][4 * 12 + 0], 200);
  EXPECT_EQ(images_.pixels[2][4 * 12 + 2], 200);
  EXPECT_EQ(images_.pixels[2][4 * 12 + 3], 255);  // opaque alpha added
}

TEST_F(ImageLoading, ImageThatDoesNotDecodeIsRejected) {
  WriteAll(4);
  const std::string good = test::ReadFile(names_[1]);
  for (const std::string& bad :
       {good.substr(0, good.size() / 2), std::string(good.size(), 'x'), std::string()}) {
    test::WriteFile(names_[1], bad);
    const StartupStatus status = LoadTextureImages(paths_, 64, images_);
    EXPECT_FALSE(status.ok);
    EXPECT_NE(std::strstr(status.message, names_[1].c_str()), nullptr) << status.message;
    EXPECT_NE(std::strstr(status.message, "PNG"), nullptr) << status.message;
    EXPECT_EQ(images_.pixels[0], nullptr);
  }
}

// Another format under a .png name is not decoded, however small or well-formed it is.
TEST_F(ImageLoading, OnlyPngIsDecoded) {
  WriteAll(4);
  const std::string tga = test::HugeTgaHeader();
  ASSERT_EQ(tga.size(), 25u);
  std::string ppm = "P6\n4 4\n255\n" + std::string(48, '\x40');
  for (const std::string& other : {tga, ppm}) {
    test::WriteFile(names_[0], other);
    const StartupStatus status = LoadTextureImages(paths_, 64, images_);
    EXPECT_FALSE(status.ok);
    EXPECT_NE(std::strstr(status.message, names_[0].c_str()), nullptr) << status.message;
    EXPECT_NE(std::strstr(status.message, "not a PNG file"), nullptr) << status.message;
  }
}

// The header's size is judged before decoding: a 40-byte PNG that claims 20711 x 18254 pixels
// (its image data missing altogether) is refused for its size, not after allocating gigabytes.
TEST_F(ImageLoading, DeclaredSizeIsCheckedBeforeDecoding) {
  WriteAll(4);
  std::string png = test::EncodePng(test::SolidImage(4, 4, 1, 2, 3, 255)).substr(0, 33);
  const uint32_t width = 20711, height = 18254;
  for (int k = 0; k < 4; ++k) {
    png[16 + k] = static_cast<char>(width >> (24 - 8 * k));
    png[20 + k] = static_cast<char>(height >> (24 - 8 * k));
  }
  test::WriteFile(names_[1], png);
  StartupStatus status = LoadTextureImages(paths_, 16384, images_);
  EXPECT_FALSE(status.ok);
  EXPECT_NE(std::strstr(status.message, "image is 20711x18254, beyond the 16384x16384"), nullptr)
      << status.message;

  // The device's own limit lowers it further.
  test::WriteFile(names_[1], test::EncodePng(test::SolidImage(65, 65, 1, 2, 3, 255)));
  status = LoadTextureImages(paths_, 64, images_);
  EXPECT_NE(std::strstr(status.message, "beyond the 64x64"), nullptr) << status.message;

  // A size mismatch is found from the header too, whatever the pixel data would do.
  std::string mismatched = test::EncodePng(test::SolidImage(4, 5, 1, 2, 3, 255)).substr(0, 33);
  test::WriteFile(names_[2], mismatched);
  test::WriteFile(names_[1], test::EncodePng(test::SolidImage(4, 4, 1, 2, 3, 255)));
  status = LoadTextureImages(paths_, 64, images_);
  EXPECT_NE(std::strstr(status.message, "image is 4x5 but"), nullptr) << status.message;
}

// Found by the PNG fuzz target: an empty image data chunk before any with data made the decoder
// offset a null pointer. Chunks reaching past the end are refused the same way, before decoding.
TEST_F(ImageLoading, MalformedChunksAreRefusedBeforeDecoding) {
  WriteAll(4);
  const std::string good = test::EncodePng(test::SolidImage(4, 4, 1, 2, 3, 255));
  const std::string emptyIdat("\0\0\0\0IDAT\x35\xaf\x06\x1e", 12);
  test::WriteFile(names_[1], good.substr(0, 33) + emptyIdat + good.substr(33));
  StartupStatus status = LoadTextureImages(paths_, 64, images_);
  EXPECT_NE(std::strstr(status.message, "an image data chunk is empty"), nullptr) << status.message;

  std::string overlong = good;
  overlong[33] = '\x7f';  // the first chunk after the header now claims 2 GB
  test::WriteFile(names_[1], overlong);
  status = LoadTextureImages(paths_, 64, images_);
  EXPECT_NE(std::strstr(status.message, "a PNG chunk is cut short"), nullptr) << status.message;
  EXPECT_EQ(images_.pixels[0], nullptr);
}

void ImageLoading::ExpectRefusedAsNoFile() {
  const StartupStatus status = LoadTextureImages(paths_, 64, images_);
  EXPECT_NE(std::strstr(status.message, "not a regular file"), nullptr) << status.message;
  EXPECT_EQ(images_.pixels[0], nullptr);
}

TEST_F(ImageLoading, ImagesThatAreNotRegularFilesAreRefusedUnopened) {
  WriteAll(4);
  std::remove(names_[1].c_str());
  ASSERT_EQ(mkfifo(names_[1].c_str(), 0600), 0);
  ExpectRefusedAsNoFile();
  std::remove(names_[1].c_str());
  ASSERT_EQ(mkdir(names_[1].c_str(), 0700), 0);
  ExpectRefusedAsNoFile();
}

TEST_F(ImageLoading, MissingImageIsRejected) {
  WriteAll(4);
  std::remove(names_[2].c_str());
  const StartupStatus status = LoadTextureImages(paths_, 64, images_);
  EXPECT_FALSE(status.ok);
  EXPECT_NE(std::strstr(status.message, names_[2].c_str()), nullptr) << status.message;
}

TEST_F(ImageLoading, ImageOfAnotherSizeIsRejected) {
  WriteAll(4);
  test::WriteFile(names_[2], test::EncodePng(test::SolidImage(4, 5, 1, 2, 3, 255)));
  const StartupStatus status = LoadTextureImages(paths_, 64, images_);
  EXPECT_FALSE(status.ok);
  EXPECT_NE(std::strstr(status.message, names_[2].c_str()), nullptr) << status.message;
  EXPECT_NE(std::strstr(status.message, "4x5"), nullptr) << status.message;
  EXPECT_EQ(images_.pixels[0], nullptr);
}

}  // namespace
}  // namespace tc
