// Writes the demo's cube as a binary glTF 2.0 file.
//
//   asset-mesh OUT.glb
//
// A cube of edge 1 centred on the origin, with flat faces: 24 vertices (four per face, each with
// the face's normal) and 36 unsigned 16-bit indices, every face wound counter-clockwise seen from
// outside. The renderer binds the whole buffer view of the first attribute as its vertex buffer
// and reads a position from the first 12 bytes of each vertex, so POSITION is listed first and
// each interleaved 32-byte vertex starts with it; both accessors the renderer uses start at the
// beginning of their views.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kFaces = 6;
constexpr int kVertices = kFaces * 4;
constexpr int kIndices = kFaces * 6;
constexpr int kStride = 32;  // position (12 bytes), normal (12), texture coordinate (8)

struct Vec3 {
  float x, y, z;
};
Vec3 operator+(Vec3 a, Vec3 b) {
  return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec3 operator*(float s, Vec3 a) {
  return {s * a.x, s * a.y, s * a.z};
}

void PutU32(std::vector<unsigned char>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
void PutF32(std::vector<unsigned char>& out, float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  PutU32(out, bits);
}
void PutU16(std::vector<unsigned char>& out, uint16_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}

// The binary chunk: interleaved vertices, then the indices.
std::vector<unsigned char> CubeData() {
  // Each face: outward normal n and in-plane axes u, v with u × v = n, so the corners
  // -u-v, +u-v, +u+v, -u+v run counter-clockwise when seen from outside.
  struct Face {
    Vec3 n, u, v;
  };
  const Face faces[kFaces] = {
      {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
      {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}},
      {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}, {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
  };
  const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  std::vector<unsigned char> out;
  for (const Face& f : faces) {
    for (const auto& c : corners) {
      const Vec3 p = 0.5f * f.n + 0.5f * (c[0] * f.u) + 0.5f * (c[1] * f.v);
      for (float x : {p.x, p.y, p.z, f.n.x, f.n.y, f.n.z})
        PutF32(out, x);
      PutF32(out, 0.5f + 0.5f * c[0]);  // u grows along the face's u axis
      PutF32(out, 0.5f - 0.5f * c[1]);  // glTF's v grows downwards
    }
  }
  for (int f = 0; f < kFaces; ++f) {
    const int base = 4 * f;
    for (int k : {0, 1, 2, 0, 2, 3})
      PutU16(out, static_cast<uint16_t>(base + k));
  }
  return out;
}

std::string Json(size_t vertex_bytes, size_t index_bytes) {
  const std::string v = std::to_string(kVertices);
  return std::string("{\"asset\":{\"version\":\"2.0\",\"generator\":\"Tumblecrate asset-mesh\"},") +
         "\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"mesh\":0}]," +
         "\"meshes\":[{\"name\":\"cube\",\"primitives\":[{\"attributes\":" +
         "{\"POSITION\":0,\"NORMAL\":1,\"TEXCOORD_0\":2},\"indices\":3,\"mode\":4}]}]," +
         "\"buffers\":[{\"byteLength\":" + std::to_string(vertex_bytes + index_bytes) + "}]," +
         "\"bufferViews\":[" +
         "{\"buffer\":0,\"byteOffset\":0,\"byteLength\":" + std::to_string(vertex_bytes) +
         ",\"byteStride\":" + std::to_string(kStride) + ",\"target\":34962}," +
         "{\"buffer\":0,\"byteOffset\":" + std::to_string(vertex_bytes) +
         ",\"byteLength\":" + std::to_string(index_bytes) + ",\"target\":34963}]," +
         "\"accessors\":[" +
         "{\"bufferView\":0,\"byteOffset\":0,\"componentType\":5126,\"count\":" + v +
         ",\"type\":\"VEC3\",\"min\":[-0.5,-0.5,-0.5],\"max\":[0.5,0.5,0.5]}," +
         "{\"bufferView\":0,\"byteOffset\":12,\"componentType\":5126,\"count\":" + v +
         ",\"type\":\"VEC3\"}," +
         "{\"bufferView\":0,\"byteOffset\":24,\"componentType\":5126,\"count\":" + v +
         ",\"type\":\"VEC2\"}," +
         "{\"bufferView\":1,\"byteOffset\":0,\"componentType\":5123,\"count\":" +
         std::to_string(kIndices) + ",\"type\":\"SCALAR\",\"min\":[0],\"max\":[" +
         std::to_string(kVertices - 1) + "]}]}";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "asset-mesh: usage: asset-mesh OUT.glb\n");
    return 1;
  }
  std::vector<unsigned char> bin = CubeData();
  const size_t vertex_bytes = static_cast<size_t>(kVertices) * kStride;
  std::string json = Json(vertex_bytes, bin.size() - vertex_bytes);
  while (json.size() % 4 != 0)
    json += ' ';  // chunks are 4-byte aligned; JSON pads with spaces
  while (bin.size() % 4 != 0)
    bin.push_back(0);

  std::vector<unsigned char> out;
  PutU32(out, 0x46546C67u);  // "glTF"
  PutU32(out, 2);
  PutU32(out, static_cast<uint32_t>(12 + 8 + json.size() + 8 + bin.size()));
  PutU32(out, static_cast<uint32_t>(json.size()));
  PutU32(out, 0x4E4F534Au);  // "JSON"
  out.insert(out.end(), json.begin(), json.end());
  PutU32(out, static_cast<uint32_t>(bin.size()));
  PutU32(out, 0x004E4942u);  // "BIN\0"
  out.insert(out.end(), bin.begin(), bin.end());

  FILE* f = std::fopen(argv[1], "wb");
  const bool written = f != nullptr && std::fwrite(out.data(), 1, out.size(), f) == out.size();
  if (f == nullptr || std::fclose(f) != 0 || !written) {
    std::fprintf(stderr, "asset-mesh: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
