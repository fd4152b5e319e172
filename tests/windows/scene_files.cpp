#include "tests/windows/scene_files.h"

#include <windows.h>

#include <cstdio>

#include "glb_writer.h"
#include "stb_image_write.h"

namespace tc::wintest {
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
  test::GlbSpec glbSpec;
  glbSpec.positions = mesh.positions;
  glbSpec.indices.assign(mesh.indices.begin(), mesh.indices.end());
  const std::string file = test::BuildGlb(glbSpec);
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
