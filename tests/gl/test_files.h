// Small asset files made by the tests themselves: binary glTF meshes (well-formed or broken in
// one chosen way), PNG images, a short stand-in song, and scratch folders to run in.
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

// One mesh, one primitive, a POSITION stream and an index list, with knobs to break or vary it.
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
  std::string firstAttribute = "POSITION";
  bool withMesh = true;
  bool withPrimitive = true;
  bool withIndices = true;
  bool positionHasView = true;
  bool indexHasView = true;
};

std::string BuildGlb(const GlbSpec& layout);
// A unit cube (-0.5..0.5) whose faces wind counter-clockwise seen from outside.
GlbSpec UnitCube();

// RGBA8 pixels, rows top-down.
struct Image {
  int width;
  int height;
  std::vector<uint8_t> rgba;
};
Image SolidImage(int width, int height, uint8_t r, uint8_t g, uint8_t b, uint8_t a);
std::string EncodePng(const Image& image);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// A fresh empty folder under the system's temp folder; removed by RemoveTree.
std::string MakeScratchDir(const std::string& tag);
void RemoveTree(const std::string& path);

// An MP3 (or, without the lame encoder, a WAV under the same name) of `seconds` of quiet tone.
void WriteStandInSong(const std::string& path, double seconds);

// Fills `dir`/resources with the five files the demo reads: the unit cube, three textures of
// `textureSize` squared (solid grey, red-ish, blue-ish), and a stand-in song of `songSeconds`.
void WriteStandInResources(const std::string& dir, int textureSize, double songSeconds);

// The repository's own resources folder, when all five real files are there.
bool RealResourcesPresent(std::string* folder);

}  // namespace tc::test
