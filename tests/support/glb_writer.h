// The one writer of binary glTF files for every test program (Linux tests, the Windows tests under
// Wine, the fuzzers' seeds): one mesh, one primitive, a POSITION stream and an index list, with
// knobs to break or vary each piece the loader checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tc::test {

// glTF component types.
constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedShort = 5123;
constexpr int kUnsignedInt = 5125;
constexpr int kFloat = 5126;

struct GlbSpec {
  std::vector<float> positions;  // x, y, z per vertex
  std::vector<uint32_t> indices;
  int indexComponentType = kUnsignedShort;
  // Extra bytes in front of each accessor's first element inside its view.
  uint32_t positionAccessorOffset = 0;
  uint32_t indexAccessorOffset = 0;
  // 0: positions packed, no byteStride; otherwise each vertex is this many bytes, position first
  // and the rest filled with a recognisable junk float.
  uint32_t vertexByteStride = 0;
  // Counts written into the accessors; negative means the true count.
  int64_t positionCount = -1;
  int64_t indexCount = -1;
  // JSON number text written verbatim in place of the true value when not empty: for values no
  // int64 holds (2^64 - 1) or that must stay negative in the file.
  std::string indexCountText;
  std::string indexViewOffsetText;
  // The buffer's declared byteLength; negative means the true length.
  int64_t bufferByteLength = -1;
  // When not empty the buffer names this uri and the file has no binary chunk; the bytes the uri
  // should hold are BinaryChunk(glbSpec).
  std::string bufferUri;
  std::string firstAttribute = "POSITION";
  int primitiveMode = -1;  // glTF "mode"; negative leaves it out (triangles)
  bool withMesh = true;
  bool withPrimitive = true;
  bool withIndices = true;
  bool positionHasView = true;
  bool indexHasView = true;
};

// The whole .glb file.
std::string BuildGlb(const GlbSpec& glbSpec);
// The buffer's bytes: the vertex view, then the index view, each 4-byte aligned.
std::string BinaryChunk(const GlbSpec& glbSpec);
// A unit cube (-0.5..0.5) whose faces wind counter-clockwise seen from outside.
GlbSpec UnitCube();

}  // namespace tc::test
