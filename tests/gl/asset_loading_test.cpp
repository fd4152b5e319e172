// The shared mesh and image loading: what a well-formed file yields for the GPU, and that each
// kind of broken file is turned away with one line naming it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "render/assets.h"
#include "stb_image_write.h"
#include "test_files.h"

namespace tc {
namespace {

using test::BuildGlb;
using test::GlbSpec;
using test::UnitCube;

class MeshLoading : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = test::MakeScratchDir("mesh"); }
  void TearDown() override {
    FreeMeshData(mesh_);
    test::RemoveTree(dir_);
  }
  StartupStatus Load(const GlbSpec& glb) { return LoadBytes(BuildGlb(glb)); }
  StartupStatus LoadBytes(const std::string& bytes) {
    path_ = dir_ + "/mesh2.glb";
    test::WriteFile(path_, bytes);
    return LoadMeshFile(path_.c_str(), mesh_);
  }
  // A rejected file: exit code 1, the file named, nothing left half-loaded.
  void ExpectRejected(const StartupStatus& status, const char* reason) {
    EXPECT_FALSE(status.ok);
    EXPECT_NE(std::strstr(status.message, path_.c_str()), nullptr) << status.message;
    EXPECT_NE(std::strstr(status.message, reason), nullptr) << status.message;
    EXPECT_EQ(std::strchr(status.message, '\n'), nullptr);
    EXPECT_EQ(mesh_.document, nullptr);
  }
  std::vector<float> Vertex(uint32_t i) const {
    std::vector<float> v(3);
    std::memcpy(v.data(), mesh_.vertexBytes + i * mesh_.vertexStride, 12);
    return v;
  }
  uint32_t Index(uint32_t i) const {
    if (mesh_.indexSize == 2) {
      uint16_t v;
      std::memcpy(&v, mesh_.indexBytes + 2 * i, 2);
      return v;
    }
    uint32_t v;
    std::memcpy(&v, mesh_.indexBytes + 4 * i, 4);
    return v;
  }

  std::string dir_;
  std::string path_;
  MeshData mesh_;
};

TEST_F(MeshLoading, PackedPositionsAndShortIndicesLoadAsTheyAre) {
  const GlbSpec cube = UnitCube();
  ASSERT_TRUE(Load(cube).ok);
  EXPECT_NE(mesh_.document, nullptr);
  EXPECT_EQ(mesh_.vertexStride, 12u);
  EXPECT_EQ(mesh_.vertexByteCount, 8u * 12u);
  EXPECT_EQ(mesh_.indexSize, 2u);
  EXPECT_EQ(mesh_.indexCount, 36u);
  EXPECT_EQ(mesh_.indexByteCount, 72u);
  EXPECT_EQ(Vertex(7), (std::vector<float>{0.5f, 0.5f, 0.5f}));
  for (uint32_t i = 0; i < 36; ++i)
    EXPECT_EQ(Index(i), cube.indices[i]);
}

TEST_F(MeshLoading, IndexWidthFollowsTheComponentType) {
  GlbSpec glb = UnitCube();
  glb.indexComponentType = test::kUnsignedInt;
  ASSERT_TRUE(Load(glb).ok);
  EXPECT_EQ(mesh_.indexSize, 4u);
  EXPECT_EQ(mesh_.indexByteCount, 144u);
  EXPECT_EQ(Index(35), glb.indices[35]);
}

TEST_F(MeshLoading, ByteIndicesAreWidenedToSixteenBits) {
  GlbSpec glb = UnitCube();
  glb.indexComponentType = test::kUnsignedByte;
  ASSERT_TRUE(Load(glb).ok);
  EXPECT_EQ(mesh_.indexSize, 2u);
  EXPECT_EQ(mesh_.indexCount, 36u);
  EXPECT_EQ(mesh_.indexByteCount, 72u);
  for (uint32_t i = 0; i < 36; ++i)
    EXPECT_EQ(Index(i), glb.indices[i]) << "index " << i;
}

TEST_F(MeshLoading, AccessorOffsetsInsideTheirViewsAreHonoured) {
  GlbSpec glb = UnitCube();
  glb.positionAccessorOffset = 24;
  glb.indexAccessorOffset = 6;
  ASSERT_TRUE(Load(glb).ok);
  EXPECT_EQ(Vertex(0), (std::vector<float>{-0.5f, -0.5f, -0.5f}));
  EXPECT_EQ(Vertex(7), (std::vector<float>{0.5f, 0.5f, 0.5f}));
  EXPECT_EQ(mesh_.vertexByteCount, 8u * 12u);
  EXPECT_EQ(Index(0), glb.indices[0]);
  EXPECT_EQ(Index(35), glb.indices[35]);
}

TEST_F(MeshLoading, InterleavedViewKeepsItsStride) {
  GlbSpec glb = UnitCube();
  glb.vertexByteStride = 32;
  ASSERT_TRUE(Load(glb).ok);
  EXPECT_EQ(mesh_.vertexStride, 32u);
  EXPECT_EQ(mesh_.vertexByteCount, 8u * 32u);
  EXPECT_EQ(Vertex(5), (std::vector<float>{0.5f, -0.5f, 0.5f}));
}

TEST_F(MeshLoading, MissingPiecesAreRejected) {
  GlbSpec glb = UnitCube();
  glb.withMesh = false;
  ExpectRejected(Load(glb), "no mesh");

  glb = UnitCube();
  glb.withPrimitive = false;
  ExpectRejected(Load(glb), "no primitive");

  glb = UnitCube();
  glb.firstAttribute = "NORMAL";
  ExpectRejected(Load(glb), "not the position");

  glb = UnitCube();
  glb.withIndices = false;
  ExpectRejected(Load(glb), "no index accessor");

  glb = UnitCube();
  glb.positionHasView = false;
  ExpectRejected(Load(glb), "position attribute has no buffer view");

  glb = UnitCube();
  glb.indexHasView = false;
  ExpectRejected(Load(glb), "index accessor has no buffer view");
}

TEST_F(MeshLoading, IndicesOtherThanUnsignedIntegersAreRejected) {
  for (int type : {5120 /* signed byte */, 5122 /* signed short */, test::kFloat}) {
    GlbSpec glb = UnitCube();
    glb.indexComponentType = type;
    ExpectRejected(Load(glb), "unsigned 8-, 16- or 32-bit");
  }
}

TEST_F(MeshLoading, AccessorsReachingPastTheirViewsAreRejected) {
  GlbSpec glb = UnitCube();
  glb.positionCount = 9;
  ExpectRejected(Load(glb), "position accessor does not fit");

  glb = UnitCube();
  glb.indexCount = 37;
  ExpectRejected(Load(glb), "index accessor does not fit");

  glb = UnitCube();
  glb.indexCount = 0;
  ExpectRejected(Load(glb), "index accessor does not fit");
}

TEST_F(MeshLoading, IndexPastTheVertexDataIsRejected) {
  GlbSpec glb = UnitCube();
  glb.indices[17] = 8;  // eight vertices: 0..7
  ExpectRejected(Load(glb), "index 8 points past the 8 vertices");

  // The last vertex itself is fine, also when the stride is wider than the position.
  glb = UnitCube();
  glb.vertexByteStride = 16;
  ASSERT_TRUE(Load(glb).ok);
}

TEST_F(MeshLoading, UnreadableFilesNameTheLibraryReason) {
  const std::string good = BuildGlb(UnitCube());
  ExpectRejected(LoadBytes(good.substr(0, good.size() / 2)), "cgltf_parse_file failed");
  ExpectRejected(LoadBytes(std::string(good.size(), 'x')), "cgltf_parse_file failed");
  path_ = dir_ + "/absent.glb";
  ExpectRejected(LoadMeshFile(path_.c_str(), mesh_), "file not found");
}

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
  ASSERT_TRUE(LoadTextureImages(paths_, images_).ok);
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
    const StartupStatus status = LoadTextureImages(paths_, images_);
    EXPECT_FALSE(status.ok);
    EXPECT_NE(std::strstr(status.message, names_[1].c_str()), nullptr) << status.message;
    EXPECT_NE(std::strstr(status.message, "stbi_load failed"), nullptr) << status.message;
    EXPECT_EQ(images_.pixels[0], nullptr);
  }
}

TEST_F(ImageLoading, MissingImageIsRejected) {
  WriteAll(4);
  std::remove(names_[2].c_str());
  const StartupStatus status = LoadTextureImages(paths_, images_);
  EXPECT_FALSE(status.ok);
  EXPECT_NE(std::strstr(status.message, names_[2].c_str()), nullptr) << status.message;
}

TEST_F(ImageLoading, ImageOfAnotherSizeIsRejected) {
  WriteAll(4);
  test::WriteFile(names_[2], test::EncodePng(test::SolidImage(4, 5, 1, 2, 3, 255)));
  const StartupStatus status = LoadTextureImages(paths_, images_);
  EXPECT_FALSE(status.ok);
  EXPECT_NE(std::strstr(status.message, names_[2].c_str()), nullptr) << status.message;
  EXPECT_NE(std::strstr(status.message, "4x5"), nullptr) << status.message;
  EXPECT_EQ(images_.pixels[0], nullptr);
}

}  // namespace
}  // namespace tc
