// libFuzzer target: any bytes as the mesh file. Relative buffer uris are looked for in the seed
// folder's buffers/ (TC_FUZZ_BUFFER_DIR), which holds one small valid buffer file.
#include <cstddef>
#include <cstdint>

#include "assets/mesh.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tc::MeshData mesh;
  const tc::StartupStatus status =
      tc::LoadMeshBytes("fuzz.glb", data, size, TC_FUZZ_BUFFER_DIR "/", mesh);
  if (status.ok) {
    // Touch every byte the GPU upload would read, so a range that reaches too far is reported.
    unsigned sum = 0;
    for (uint32_t i = 0; i < mesh.vertexByteCount; ++i)
      sum += mesh.vertexBytes[i];
    for (uint32_t i = 0; i < mesh.indexByteCount; ++i)
      sum += mesh.indexBytes[i];
    if (mesh.indexCount == 0 || mesh.indexCount % 3 != 0 ||
        mesh.indexByteCount != mesh.indexCount * mesh.indexSize) {
      __builtin_trap();
    }
    (void)sum;
  }
  tc::FreeMeshData(mesh);
  return 0;
}
