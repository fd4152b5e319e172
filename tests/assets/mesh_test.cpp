// The mesh loading: what a well-formed file yields for the GPU, and that each kind of broken file
// is turned away with one line naming it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "assets/mesh.h"
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

TEST_F(MeshLoading, IndexWidthFollowsTheComponentTypeAndBytesAreWidened) {
  const struct {
    int componentType;
    uint32_t indexSize;
  } cases[] = {{test::kUnsignedInt, 4u}, {test::kUnsignedByte, 2u}};
  for (const auto& c : cases) {
    GlbSpec glb = UnitCube();
    glb.indexComponentType = c.componentType;
    ASSERT_TRUE(Load(glb).ok) << c.componentType;
    EXPECT_EQ(mesh_.indexSize, c.indexSize);
    EXPECT_EQ(mesh_.indexCount, 36u);
    EXPECT_EQ(mesh_.indexByteCount, 36u * c.indexSize);
    for (uint32_t i = 0; i < 36; ++i)
      EXPECT_EQ(Index(i), glb.indices[i]) << "index " << i << ", type " << c.componentType;
  }
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
  const struct {
    void (*remove)(GlbSpec&);
    const char* reason;
  } cases[] = {
      {[](GlbSpec& g) { g.withMesh = false; }, "no mesh"},
      {[](GlbSpec& g) { g.withPrimitive = false; }, "no primitive"},
      {[](GlbSpec& g) { g.firstAttribute = "NORMAL"; }, "not the position"},
      {[](GlbSpec& g) { g.withIndices = false; }, "no index accessor"},
      {[](GlbSpec& g) { g.positionHasView = false; }, "position attribute has no buffer view"},
      {[](GlbSpec& g) { g.indexHasView = false; }, "index accessor has no buffer view"},
  };
  for (const auto& c : cases) {
    GlbSpec glb = UnitCube();
    c.remove(glb);
    ExpectRejected(Load(glb), c.reason);
  }
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

}  // namespace
}  // namespace tc
