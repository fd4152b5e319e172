// Loading of the scene's files, shared by every render backend: the cube mesh from a binary glTF
// file (cgltf) and the three textures from PNG files (stb_image). Both are checked before anything
// reaches the GPU, so a bad file ends start-up with one line naming it instead of a crash or an
// out-of-bounds read.
#pragma once

#include <cstdint>
#include <memory>

#include "base/resource_paths.h"
#include "base/status.h"

struct cgltf_data;

namespace tc {

// The position stream and the indices of the first primitive of the first mesh, ready to copy into
// GPU buffers. Every pointer points into `document` (or into `widenedIndices`), which lives until
// FreeMeshData at shutdown.
struct MeshData {
  cgltf_data* document = nullptr;
  // From the position accessor's first element to the end of its buffer view; each vertex begins
  // with three floats, `vertexStride` bytes apart.
  const uint8_t* vertexBytes = nullptr;
  uint32_t vertexByteCount = 0;
  uint32_t vertexStride = 0;
  // Tightly packed unsigned indices, 2 or 4 bytes each (8-bit files are widened to 2).
  const uint8_t* indexBytes = nullptr;
  uint32_t indexByteCount = 0;
  uint32_t indexCount = 0;
  uint32_t indexSize = 0;
  std::unique_ptr<uint16_t[]> widenedIndices;
};

// Parses `path`, loads its buffers and checks that the mesh, its first primitive, the position
// attribute listed first, the index accessor and both buffer views are there and consistent.
// On failure the document is freed again and `mesh` stays empty.
StartupStatus LoadMeshFile(const char* path, MeshData& mesh);
void FreeMeshData(MeshData& mesh);

// Three images decoded to 8-bit RGBA, rows top-down as stored in the files, all of one size.
struct TextureImages {
  unsigned char* pixels[kTextureFileCount] = {};
  int width = 0;
  int height = 0;
};

// Decodes `paths` in order; an image that does not decode, or whose size differs from the first
// one's, is a failure (the images decoded so far are released again).
StartupStatus LoadTextureImages(const char* const (&paths)[kTextureFileCount],
                                TextureImages& images);
void FreeTextureImages(TextureImages& images);

}  // namespace tc
