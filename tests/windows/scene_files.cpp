#include "tests/windows/scene_files.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "stb_image_write.h"

namespace tc::wintest {
namespace {

void AppendU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

TestMesh UnitCube() {
  TestMesh mesh;
  // Corner i has x = bit 0, y = bit 1, z = bit 2 of i.
  for (int i = 0; i < 8; ++i) {
    mesh.positions.push_back((i & 1) ? 0.5f : -0.5f);
    mesh.positions.push_back((i & 2) ? 0.5f : -0.5f);
    mesh.positions.push_back((i & 4) ? 0.5f : -0.5f);
  }
  mesh.indices = {4, 5, 7, 4, 7, 6,   // +z
                  0, 2, 3, 0, 3, 1,   // -z
                  1, 3, 7, 1, 7, 5,   // +x
                  0, 4, 6, 0, 6, 2,   // -x
                  6, 7, 3, 6, 3, 2,   // +y
                  0, 1, 5, 0, 5, 4};  // -y
  return mesh;
}

TestMesh Quad(float x0, float y0, float x1, float y1, float z) {
  TestMesh mesh;
  mesh.positions = {x0, y0, z, x1, y0, z, x1, y1, z, x0, y1, z};
  mesh.indices = {0, 1, 2, 0, 2, 3};
  return mesh;
}

void Append(TestMesh& mesh, const TestMesh& more) {
  const uint16_t base = static_cast<uint16_t>(mesh.positions.size() / 3);
  mesh.positions.insert(mesh.positions.end(), more.positions.begin(), more.positions.end());
  for (uint16_t index : more.indices)
    mesh.indices.push_back(static_cast<uint16_t>(base + index));
}

TestImage SolidImage(int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  TestImage image;
  image.width = width;
  image.height = height;
  for (int i = 0; i < width * height; ++i) {
    image.rgba.insert(image.rgba.end(), {r, g, b, a});
  }
  return image;
}

bool EnterFreshWorkingFolder(std::string& folder) {
  char temp[MAX_PATH];
  if (GetTempPathA(MAX_PATH, temp) == 0) return false;
  // Process ids repeat under Wine and earlier runs leave their folders behind: take the first
  // name that does not exist yet.
  static int counter = 0;
  char name[MAX_PATH];
  for (;;) {
    std::snprintf(name, sizeof name, "%stc-scene-%lu-%d", temp, GetCurrentProcessId(), ++counter);
    if (CreateDirectoryA(name, nullptr)) break;
    if (GetLastError() != ERROR_ALREADY_EXISTS || counter > 100000) return false;
  }
  if (!SetCurrentDirectoryA(name)) return false;
  folder = name;
  return CreateDirectoryA("resources", nullptr) != 0;
}

bool WriteMeshFile(const TestMesh& mesh) {
  const uint32_t positionBytes = static_cast<uint32_t>(mesh.positions.size() * sizeof(float));
  const uint32_t indexBytes = static_cast<uint32_t>(mesh.indices.size() * sizeof(uint16_t));
  std::vector<uint8_t> bin(positionBytes + indexBytes);
  std::memcpy(bin.data(), mesh.positions.data(), positionBytes);
  std::memcpy(bin.data() + positionBytes, mesh.indices.data(), indexBytes);
  while (bin.size() % 4 != 0)
    bin.push_back(0);

  char json[1024];
  std::snprintf(json, sizeof json,
                "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"byteLength\":%zu}],"
                "\"bufferViews\":[{\"buffer\":0,\"byteOffset\":0,\"byteLength\":%u},"
                "{\"buffer\":0,\"byteOffset\":%u,\"byteLength\":%u}],"
                "\"accessors\":[{\"bufferView\":0,\"componentType\":5126,\"count\":%zu,"
                "\"type\":\"VEC3\"},{\"bufferView\":1,\"componentType\":5123,\"count\":%zu,"
                "\"type\":\"SCALAR\"}],"
                "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},\"indices\":1}]}]}",
                bin.size(), positionBytes, positionBytes, indexBytes, mesh.positions.size() / 3,
                mesh.indices.size());
  std::vector<uint8_t> jsonChunk(json, json + std::strlen(json));
  while (jsonChunk.size() % 4 != 0)
    jsonChunk.push_back(' ');

  std::vector<uint8_t> file;
  AppendU32(file, 0x46546C67u);  // "glTF"
  AppendU32(file, 2);
  AppendU32(file, static_cast<uint32_t>(12 + 8 + jsonChunk.size() + 8 + bin.size()));
  AppendU32(file, static_cast<uint32_t>(jsonChunk.size()));
  AppendU32(file, 0x4E4F534Au);  // "JSON"
  file.insert(file.end(), jsonChunk.begin(), jsonChunk.end());
  AppendU32(file, static_cast<uint32_t>(bin.size()));
  AppendU32(file, 0x004E4942u);  // "BIN"
  file.insert(file.end(), bin.begin(), bin.end());

  FILE* out = std::fopen("resources\\mesh2.glb", "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  return std::fclose(out) == 0 && written;
}

bool WriteTextureFile(int index, const TestImage& image) {
  char path[64];
  std::snprintf(path, sizeof path, "resources\\texture%d.png", index + 1);
  return stbi_write_png(path, image.width, image.height, 4, image.rgba.data(), image.width * 4) !=
         0;
}

bool WriteScene(const TestMesh& mesh, const TestImage& image) {
  if (!WriteMeshFile(mesh)) return false;
  for (int i = 0; i < 3; ++i) {
    if (!WriteTextureFile(i, image)) return false;
  }
  return true;
}

}  // namespace tc::wintest
