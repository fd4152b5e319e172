#include "glb_writer.h"

#include <cstring>
#include <sstream>

namespace tc::test {
namespace {

// Little-endian whatever the host, so the Windows and Linux builds write the same bytes.
void AppendU32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<char>(v >> (8 * i)));
}

void PadTo4(std::string& s, char fill) {
  while (s.size() % 4 != 0)
    s.push_back(fill);
}

int ComponentSize(int componentType) {
  switch (componentType) {
    case kUnsignedByte:
      return 1;
    case kUnsignedShort:
      return 2;
    default:
      return 4;
  }
}

void AppendIndex(std::string& out, uint32_t index, int componentType) {
  switch (ComponentSize(componentType)) {
    case 1:
      out.push_back(static_cast<char>(index));
      break;
    case 2:
      out.push_back(static_cast<char>(index));
      out.push_back(static_cast<char>(index >> 8));
      break;
    default:
      AppendU32(out, index);
      break;
  }
}

void AppendFloat(std::string& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  AppendU32(out, bits);
}

struct Layout {
  std::string bin;
  size_t vertexViewLength = 0;
  size_t indexViewOffset = 0;
  size_t indexViewLength = 0;
};

Layout LayOut(const GlbSpec& glbSpec) {
  Layout layout;
  std::string& bin = layout.bin;
  const size_t vertexCount = glbSpec.positions.size() / 3;
  bin.assign(glbSpec.positionAccessorOffset, '\x7f');
  for (size_t v = 0; v < vertexCount; ++v) {
    for (int c = 0; c < 3; ++c)
      AppendFloat(bin, glbSpec.positions[3 * v + c]);
    for (uint32_t b = 12; b + 4 <= glbSpec.vertexByteStride; b += 4)
      AppendFloat(bin, 1000.0f);
  }
  layout.vertexViewLength = bin.size();
  PadTo4(bin, '\0');
  layout.indexViewOffset = bin.size();
  bin.append(glbSpec.indexAccessorOffset, '\x7f');
  for (uint32_t index : glbSpec.indices)
    AppendIndex(bin, index, glbSpec.indexComponentType);
  layout.indexViewLength = bin.size() - layout.indexViewOffset;
  PadTo4(bin, '\0');
  return layout;
}

}  // namespace

std::string BinaryChunk(const GlbSpec& glbSpec) {
  return LayOut(glbSpec).bin;
}

std::string BuildGlb(const GlbSpec& glbSpec) {
  const Layout layout = LayOut(glbSpec);
  const std::string& bin = layout.bin;
  const int64_t positionCount = glbSpec.positionCount >= 0
                                    ? glbSpec.positionCount
                                    : static_cast<int64_t>(glbSpec.positions.size() / 3);
  const int64_t indexCount =
      glbSpec.indexCount >= 0 ? glbSpec.indexCount : static_cast<int64_t>(glbSpec.indices.size());

  std::ostringstream json;
  json << R"({"asset":{"version":"2.0"},"buffers":[{)";
  if (!glbSpec.bufferUri.empty()) json << R"("uri":")" << glbSpec.bufferUri << R"(",)";
  json << R"("byteLength":)"
       << (glbSpec.bufferByteLength >= 0 ? glbSpec.bufferByteLength
                                         : static_cast<int64_t>(bin.size()))
       << "}],";
  json << R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":)" << layout.vertexViewLength;
  if (glbSpec.vertexByteStride != 0) json << R"(,"byteStride":)" << glbSpec.vertexByteStride;
  json << R"(},{"buffer":0,"byteOffset":)";
  if (glbSpec.indexViewOffsetText.empty()) {
    json << layout.indexViewOffset;
  } else {
    json << glbSpec.indexViewOffsetText;
  }
  json << R"(,"byteLength":)" << layout.indexViewLength << "}],";
  json << R"("accessors":[{)";
  if (glbSpec.positionHasView) {
    json << R"("bufferView":0,"byteOffset":)" << glbSpec.positionAccessorOffset << ",";
  }
  json << R"("componentType":5126,"count":)" << positionCount << R"(,"type":"VEC3"},{)";
  if (glbSpec.indexHasView) {
    json << R"("bufferView":1,"byteOffset":)" << glbSpec.indexAccessorOffset << ",";
  }
  json << R"("componentType":)" << glbSpec.indexComponentType << R"(,"count":)";
  if (glbSpec.indexCountText.empty()) {
    json << indexCount;
  } else {
    json << glbSpec.indexCountText;
  }
  json << R"(,"type":"SCALAR"}])";
  if (glbSpec.withMesh) {
    json << R"(,"meshes":[{"primitives":[)";
    if (glbSpec.withPrimitive) {
      json << R"({"attributes":{")" << glbSpec.firstAttribute << R"(":0})";
      if (glbSpec.withIndices) json << R"(,"indices":1)";
      if (glbSpec.primitiveMode >= 0) json << R"(,"mode":)" << glbSpec.primitiveMode;
      json << "}";
    }
    json << "]}]";
  }
  json << "}";
  std::string jsonChunk = json.str();
  PadTo4(jsonChunk, ' ');

  const bool withBin = glbSpec.bufferUri.empty();
  std::string glb;
  AppendU32(glb, 0x46546C67u);  // "glTF"
  AppendU32(glb, 2);
  AppendU32(glb, static_cast<uint32_t>(12 + 8 + jsonChunk.size() + (withBin ? 8 + bin.size() : 0)));
  AppendU32(glb, static_cast<uint32_t>(jsonChunk.size()));
  AppendU32(glb, 0x4E4F534Au);  // "JSON"
  glb += jsonChunk;
  if (withBin) {
    AppendU32(glb, static_cast<uint32_t>(bin.size()));
    AppendU32(glb, 0x004E4942u);  // "BIN"
    glb += bin;
  }
  return glb;
}

GlbSpec UnitCube() {
  GlbSpec glbSpec;
  // Corner i has x = bit 0, y = bit 1, z = bit 2 (0 -> -0.5, 1 -> +0.5).
  for (int i = 0; i < 8; ++i) {
    glbSpec.positions.push_back((i & 1) ? 0.5f : -0.5f);
    glbSpec.positions.push_back((i & 2) ? 0.5f : -0.5f);
    glbSpec.positions.push_back((i & 4) ? 0.5f : -0.5f);
  }
  // Two triangles per face, counter-clockwise seen from outside (right-handed axes).
  glbSpec.indices = {
      1, 3, 7, 1, 7, 5,  // +x
      0, 4, 6, 0, 6, 2,  // -x
      2, 6, 7, 2, 7, 3,  // +y
      0, 1, 5, 0, 5, 4,  // -y
      4, 5, 7, 4, 7, 6,  // +z
      0, 2, 3, 0, 3, 1,  // -z
  };
  return glbSpec;
}

}  // namespace tc::test
