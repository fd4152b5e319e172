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

Layout LayOut(const GlbSpec& spec) {
  Layout layout;
  std::string& bin = layout.bin;
  const size_t vertexCount = spec.positions.size() / 3;
  bin.assign(spec.positionAccessorOffset, '\x7f');
  for (size_t v = 0; v < vertexCount; ++v) {
    for (int c = 0; c < 3; ++c)
      AppendFloat(bin, spec.positions[3 * v + c]);
    for (uint32_t b = 12; b + 4 <= spec.vertexByteStride; b += 4)
      AppendFloat(bin, 1000.0f);
  }
  layout.vertexViewLength = bin.size();
  PadTo4(bin, '\0');
  layout.indexViewOffset = bin.size();
  bin.append(spec.indexAccessorOffset, '\x7f');
  for (uint32_t index : spec.indices)
    AppendIndex(bin, index, spec.indexComponentType);
  layout.indexViewLength = bin.size() - layout.indexViewOffset;
  PadTo4(bin, '\0');
  return layout;
}

}  // namespace

std::string BinaryChunk(const GlbSpec& spec) {
  return LayOut(spec).bin;
}

std::string BuildGlb(const GlbSpec& spec) {
  const Layout layout = LayOut(spec);
  const std::string& bin = layout.bin;
  const int64_t positionCount = spec.positionCount >= 0
                                    ? spec.positionCount
                                    : static_cast<int64_t>(spec.positions.size() / 3);
  const int64_t indexCount =
      spec.indexCount >= 0 ? spec.indexCount : static_cast<int64_t>(spec.indices.size());

  std::ostringstream json;
  json << R"({"asset":{"version":"2.0"},"buffers":[{)";
  if (!spec.bufferUri.empty()) json << R"("uri":")" << spec.bufferUri << R"(",)";
  json << R"("byteLength":)"
       << (spec.bufferByteLength >= 0 ? spec.bufferByteLength : static_cast<int64_t>(bin.size()))
       << "}],";
  json << R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":)" << layout.vertexViewLength;
  if (spec.vertexByteStride != 0) json << R"(,"byteStride":)" << spec.vertexByteStride;
  json << R"(},{"buffer":0,"byteOffset":)";
  if (spec.indexViewOffsetText.empty()) {
    json << layout.indexViewOffset;
  } else {
    json << spec.indexViewOffsetText;
  }
  json << R"(,"byteLength":)" << layout.indexViewLength << "}],";
  json << R"("accessors":[{)";
  if (spec.positionHasView) {
    json << R"("bufferView":0,"byteOffset":)" << spec.positionAccessorOffset << ",";
  }
  json << R"("componentType":5126,"count":)" << positionCount << R"(,"type":"VEC3"},{)";
  if (spec.indexHasView) {
    json << R"("bufferView":1,"byteOffset":)" << spec.indexAccessorOffset << ",";
  }
  json << R"("componentType":)" << spec.indexComponentType << R"(,"count":)";
  if (spec.indexCountText.empty()) {
    json << indexCount;
  } else {
    json << spec.indexCountText;
  }
  json << R"(,"type":"SCALAR"}])";
  if (spec.withMesh) {
    json << R"(,"meshes":[{"primitives":[)";
    if (spec.withPrimitive) {
      json << R"({"attributes":{")" << spec.firstAttribute << R"(":0})";
      if (spec.withIndices) json << R"(,"indices":1)";
      if (spec.primitiveMode >= 0) json << R"(,"mode":)" << spec.primitiveMode;
      json << "}";
    }
    json << "]}]";
  }
  json << "}";
  std::string jsonChunk = json.str();
  PadTo4(jsonChunk, ' ');

  const bool withBin = spec.bufferUri.empty();
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
  GlbSpec spec;
  // Corner i has x = bit 0, y = bit 1, z = bit 2 (0 -> -0.5, 1 -> +0.5).
  for (int i = 0; i < 8; ++i) {
    spec.positions.push_back((i & 1) ? 0.5f : -0.5f);
    spec.positions.push_back((i & 2) ? 0.5f : -0.5f);
    spec.positions.push_back((i & 4) ? 0.5f : -0.5f);
  }
  // Two triangles per face, counter-clockwise seen from outside (right-handed axes).
  spec.indices = {
      1, 3, 7, 1, 7, 5,  // +x
      0, 4, 6, 0, 6, 2,  // -x
      2, 6, 7, 2, 7, 3,  // +y
      0, 1, 5, 0, 5, 4,  // -y
      4, 5, 7, 4, 7, 6,  // +z
      0, 2, 3, 0, 3, 1,  // -z
  };
  return spec;
}

}  // namespace tc::test
