// The cube mesh from a binary glTF file (cgltf), checked and handed to the render backends, which
// only upload it. The folder the file comes from is editable by anyone, so it is taken as hostile:
// it must be a regular file, it may only reach its own bytes, a data: URI or a plain file beside
// it, and every size is checked without arithmetic that can wrap. A bad file ends start-up with
// one line naming it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/status.h"

struct cgltf_data;

namespace tc {

// Upper bound on what one mesh (file plus external buffers) may occupy.
constexpr uint64_t kMaxMeshBytes = 256u << 20;

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

}  // namespace tc
