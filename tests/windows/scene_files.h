// Writes the scene files the renderer loads (resources\mesh2.glb, resources\texture1..3.png) into
// a fresh working folder, so each test scene can bring its own mesh and pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tc::wintest {

struct TestMesh {
  std::vector<float> positions;  // x, y, z per vertex
  std::vector<uint16_t> indices;
};

// A unit cube centred on the origin (corners at +-0.5), counter-clockwise seen from outside.
TestMesh UnitCube();
// One quad in the plane z, corners (x0, y0) and (x1, y1), counter-clockwise seen from +z.
TestMesh Quad(float x0, float y0, float x1, float y1, float z);
// Appends `more`'s triangles to `mesh`.
void Append(TestMesh& mesh, const TestMesh& more);

struct TestImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;  // rows top-down
};

TestImage SolidImage(int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a);

// Creates a new empty folder under the temporary folder and makes it the working directory.
bool EnterFreshWorkingFolder(std::string& folder);

// Writes resources\mesh2.glb (positions as the first attribute, 16-bit indices).
bool WriteMeshFile(const TestMesh& mesh);
// Writes resources\texture<index + 1>.png.
bool WriteTextureFile(int index, const TestImage& image);
// Writes the mesh and the same picture as all three textures.
bool WriteScene(const TestMesh& mesh, const TestImage& image);

}  // namespace tc::wintest
