// Loading of the scene's files, shared by every render backend: the cube mesh from a binary glTF
// file (cgltf) and the three textures from PNG files (stb_image, PNG decoder only). The folder the
// files come from is editable by anyone, so every file is taken as hostile: it must be a regular
// file, the mesh may only reach its own bytes, a data: URI or a plain file beside it, an image
// must be a PNG whose declared size the GPU can hold, and every size is checked without
// arithmetic that can wrap. A bad file ends start-up with one line naming it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/resource_paths.h"
#include "base/status.h"

struct cgltf_data;

namespace tc {

// The largest texture side either backend accepts (Direct3D 11's required limit); a device that
// reports less lowers it further.
constexpr int kMaxTextureSide = 16384;
// Upper bounds on what one mesh (file plus external buffers) and one image file may occupy.
constexpr uint64_t kMaxMeshBytes = 256u << 20;
constexpr uint64_t kMaxImageFileBytes = 256u << 20;

// Frees a parsed document (cgltf_free).
struct MeshDocumentDeleter {
  void operator()(cgltf_data* document) const;
};

// The position stream and the indices of the first primitive of the first mesh, ready to copy into
// GPU buffers. Every pointer points into `document` (or into `widenedIndices`), which lives until
// FreeMeshData at shutdown, or until the record goes out of scope when start-up ends early.
struct MeshData {
  std::unique_ptr<cgltf_data, MeshDocumentDeleter> document;
  // From the position accessor's first element to the end of its buffer view; each vertex begins
  // with three floats, `vertexStride` bytes apart.
  const uint8_t* vertexBytes = nullptr;
  uint32_t vertexByteCount = 0;
  uint32_t vertexStride = 0;
  // Tightly packed unsigned indices, 2 or 4 bytes each (8-bit files are widened to 2); a positive
  // multiple of three (whole triangles).
  const uint8_t* indexBytes = nullptr;
  uint32_t indexByteCount = 0;
  uint32_t indexCount = 0;
  uint32_t indexSize = 0;
  std::unique_ptr<uint16_t[]> widenedIndices;
};

// Reads `path` (a regular file), parses it, loads its buffers and checks that the mesh, its first
// primitive (triangles), the position attribute listed first, the index accessor and both buffer
// views are there and consistent. Buffers named by a relative uri are read from the folder that
// holds `path`. On failure the document is freed again and `mesh` stays empty.
StartupStatus LoadMeshFile(const char* path, MeshData& mesh);
// The same for a file's bytes already in memory (copied); `name` is what failures call it and
// `bufferFolder` (ending in a separator, or empty for the working directory) is where relative
// buffer uris are looked for.
StartupStatus LoadMeshBytes(const char* name, const uint8_t* bytes, size_t size,
                            const char* bufferFolder, MeshData& mesh);
void FreeMeshData(MeshData& mesh);

// Three images decoded to 8-bit RGBA, rows top-down as stored in the files, all of one size.
struct TextureImages {
  unsigned char* pixels[kTextureFileCount] = {};
  int width = 0;
  int height = 0;
};

// Reads and decodes `paths` in order. Each must be a regular file holding a PNG whose declared
// width and height are at most `maxSide` (and kMaxTextureSide) and equal to the first image's;
// both are checked from the header before any pixel is decoded. On failure the images decoded so
// far are released again.
StartupStatus LoadTextureImages(const char* const (&paths)[kTextureFileCount], int maxSide,
                                TextureImages& images);
void FreeTextureImages(TextureImages& images);

// One PNG file's bytes to RGBA8, under the same checks; `wantWidth`/`wantHeight` of 0 accept any
// size, otherwise the image must have that size (`sizeSource` names the file that set it). The
// pixels are released with FreeImagePixels.
StartupStatus DecodePngImage(const char* name, const uint8_t* bytes, size_t size, int maxSide,
                             int wantWidth, int wantHeight, const char* sizeSource,
                             unsigned char*& pixels, int& width, int& height);
void FreeImagePixels(unsigned char* pixels);

}  // namespace tc
