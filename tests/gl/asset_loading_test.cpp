// The shared mesh and image loading: what a well-formed file yields for the GPU, and that each
// kind of broken file is turned away with one line naming it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
    FreeMeshData(mesh_);
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
  glb.indexCount = 39;
  ExpectRejected(Load(glb), "index accessor does not fit");
}

// Counts whose byte span wraps in 64 bits: (count - 1) * size + offset + size comes to a multiple
// of 2^64, i.e. a small number, which a wrapping check takes for "fits" before the copy loop reads
// past the end of the file's buffer. The parser keeps the low 32 bits of a count, sign-extended.
TEST_F(MeshLoading, IndexCountsWhoseSpanWrapsAreRejected) {
  GlbSpec glb = UnitCube();
  glb.indexCountText = "9223372036854775807";  // read as 2^64 - 1, a multiple of 3
  glb.indexAccessorOffset = 2;
  ExpectRejected(Load(glb), "index accessor does not fit");

  glb = UnitCube();
  glb.indexCountText = "-4";  // read as 2^64 - 4, also a multiple of 3
  glb.indexAccessorOffset = 8;
  ExpectRejected(Load(glb), "index accessor does not fit");

  glb = UnitCube();
  glb.indexCountText = "-1";  // 2^64 - 1 again
  glb.indexComponentType = test::kUnsignedInt;
  glb.indexAccessorOffset = 4;
  ExpectRejected(Load(glb), "index accessor does not fit");
}

// A negative byteOffset becomes a huge unsigned one: offset + length wraps to a small end for a
// view that starts 8 bytes before its buffer.
TEST_F(MeshLoading, ViewsWithNegativeOffsetsAreRejected) {
  for (const char* offset : {"-8", "-848", "-1000000000000"}) {
    GlbSpec glb = UnitCube();
    glb.indexViewOffsetText = offset;
    ExpectRejected(Load(glb), "index accessor has no buffer view inside its buffer");
  }
}

TEST_F(MeshLoading, OnlyWholeTrianglesAreAccepted) {
  for (int64_t count : {0, 1, 2, 4, 35}) {
    GlbSpec glb = UnitCube();
    glb.indexCount = count;
    ExpectRejected(Load(glb), "is not a positive multiple of 3");
  }
  // Points, then modes glTF does not define (found by the mesh fuzz target: the parser stores
  // any number in its enum, and reading that back as an enum was undefined).
  for (int mode : {0, 8, 1000}) {
    GlbSpec glb = UnitCube();
    glb.primitiveMode = mode;
    ExpectRejected(Load(glb), "not a triangle list");
  }
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
  ExpectRejected(LoadBytes(good.substr(0, good.size() / 2)), "cgltf_parse failed");
  ExpectRejected(LoadBytes(std::string(good.size(), 'x')), "cgltf_parse failed");
  path_ = dir_ + "/absent.glb";
  ExpectRejected(LoadMeshFile(path_.c_str(), mesh_), "file not found");
  // A glTF text file is not what the name says.
  ExpectRejected(LoadBytes(R"({"asset":{"version":"2.0"}})"), "not a binary glTF file");
}

TEST_F(MeshLoading, BytesInMemoryLoadAsTheFileDoes) {
  const std::string bytes = BuildGlb(UnitCube());
  ASSERT_TRUE(LoadMeshBytes("memory", reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                            "", mesh_)
                  .ok);
  EXPECT_EQ(mesh_.indexCount, 36u);
  EXPECT_EQ(Vertex(7), (std::vector<float>{0.5f, 0.5f, 0.5f}));
}

// Only regular files are opened, so nothing can make start-up wait for a writer.
TEST_F(MeshLoading, FilesThatAreNotRegularAreRefusedUnopened) {
  path_ = dir_ + "/mesh2.glb";
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  ExpectRejected(LoadMeshFile(path_.c_str(), mesh_), "not a regular file");
  std::remove(path_.c_str());
  ASSERT_EQ(mkdir(path_.c_str(), 0700), 0);
  ExpectRejected(LoadMeshFile(path_.c_str(), mesh_), "not a regular file");
  rmdir(path_.c_str());
}

// --- Where a buffer's bytes may come from --------------------------------------------------------

TEST_F(MeshLoading, BufferInAFileBesideTheMeshLoads) {
  GlbSpec glb = UnitCube();
  glb.bufferUri = "cube%20data.bin";  // percent-encoded, as glTF writes it
  test::WriteFile(dir_ + "/cube data.bin", test::BinaryChunk(glb) + "trailing bytes");
  ASSERT_TRUE(Load(glb).ok);
  EXPECT_EQ(mesh_.indexCount, 36u);
  EXPECT_EQ(Vertex(7), (std::vector<float>{0.5f, 0.5f, 0.5f}));
}

TEST_F(MeshLoading, BufferUrisOutsideTheFolderAreRefused) {
  const struct {
    const char* uri;
    const char* reason;
  } kCases[] = {
      {"../../../../etc/passwd", "leaves the resources folder"},
      {"sub/../../cube.bin", "leaves the resources folder"},
      {"%2e%2e/cube.bin", "leaves the resources folder"},
      {"/dev/stdin", "is an absolute path"},
      {"file:///etc/passwd", "names a scheme or a drive"},
      {"C:cube.bin", "names a scheme or a drive"},
      {"..\\\\cube.bin", "contains a backslash"},
  };
  for (const auto& c : kCases) {
    GlbSpec glb = UnitCube();
    glb.bufferUri = c.uri;
    ExpectRejected(Load(glb), c.reason);
  }
}

TEST_F(MeshLoading, BufferFilesThatAreNotRegularAreRefusedUnopened) {
  ASSERT_EQ(mkfifo((dir_ + "/pipe.bin").c_str(), 0600), 0);
  ASSERT_EQ(mkdir((dir_ + "/folder.bin").c_str(), 0700), 0);
  for (const char* uri : {"pipe.bin", "folder.bin"}) {
    GlbSpec glb = UnitCube();
    glb.bufferUri = uri;
    ExpectRejected(Load(glb), "not a regular file");
  }
  GlbSpec glb = UnitCube();
  glb.bufferUri = "absent.bin";
  ExpectRejected(Load(glb), "file not found");
}

// The declared length is compared with the file's real size before a byte is read, so a short file
// never makes the loader allocate what the file merely claims.
TEST_F(MeshLoading, BuffersLongerThanTheirBytesAreRefused) {
  GlbSpec glb = UnitCube();
  glb.bufferUri = "cube.bin";
  glb.bufferByteLength = int64_t{1} << 30;
  test::WriteFile(dir_ + "/cube.bin", test::BinaryChunk(glb));
  ExpectRejected(Load(glb), "buffer 0 declares 1073741824 bytes but");

  glb = UnitCube();
  glb.bufferByteLength = static_cast<int64_t>(test::BinaryChunk(glb).size()) + 4;
  ExpectRejected(Load(glb), "but the binary chunk holds");

  glb = UnitCube();
  glb.bufferByteLength = 100;
  glb.bufferUri = "data:application/octet-stream;base64,AAAA";
  ExpectRejected(Load(glb), "its data URI holds at most 3");
}

TEST_F(MeshLoading, BufferInADataUriLoads) {
  GlbSpec glb = UnitCube();
  const std::string bin = test::BinaryChunk(glb);
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string base64;
  for (size_t i = 0; i < bin.size(); i += 3) {
    uint32_t group = 0;
    for (size_t k = 0; k < 3; ++k)
      group = group << 8 | (i + k < bin.size() ? static_cast<uint8_t>(bin[i + k]) : 0);
    for (size_t k = 0; k < 4; ++k)
      base64 += k <= (bin.size() - i) ? kDigits[(group >> (18 - 6 * k)) & 63] : '=';
  }
  glb.bufferUri = "data:application/octet-stream;base64," + base64;
  ASSERT_TRUE(Load(glb).ok);
  EXPECT_EQ(Vertex(7), (std::vector<float>{0.5f, 0.5f, 0.5f}));

  glb.bufferUri = "data:application/octet-stream," + base64;
  ExpectRejected(Load(glb), "data URI is not base64");
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

TEST_F(ImageLoading, ImagesThatAreNotRegularFilesAreRefusedUnopened) {
  WriteAll(4);
  std::remove(names_[1].c_str());
  ASSERT_EQ(mkfifo(names_[1].c_str(), 0600), 0);
  StartupStatus status = LoadTextureImages(paths_, 64, images_);
  EXPECT_NE(std::strstr(status.message, "not a regular file"), nullptr) << status.message;
  std::remove(names_[1].c_str());
  ASSERT_EQ(mkdir(names_[1].c_str(), 0700), 0);
  status = LoadTextureImages(paths_, 64, images_);
  EXPECT_NE(std::strstr(status.message, "not a regular file"), nullptr) << status.message;
  EXPECT_EQ(images_.pixels[0], nullptr);
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
