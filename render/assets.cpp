#include "render/assets.h"

#include <cstring>

#include "cgltf.h"
#include "stb_image.h"

namespace tc {
namespace {

const char* CgltfResultName(cgltf_result result) {
  switch (result) {
    case cgltf_result_success:
      return "success";
    case cgltf_result_data_too_short:
      return "data too short";
    case cgltf_result_unknown_format:
      return "unknown format";
    case cgltf_result_invalid_json:
      return "invalid JSON";
    case cgltf_result_invalid_gltf:
      return "invalid glTF";
    case cgltf_result_invalid_options:
      return "invalid options";
    case cgltf_result_file_not_found:
      return "file not found";
    case cgltf_result_io_error:
      return "I/O error";
    case cgltf_result_out_of_memory:
      return "out of memory";
    case cgltf_result_legacy_gltf:
      return "legacy glTF";
    default:
      return "unknown error";
  }
}

StartupStatus MeshFailure(const char* path, const char* reason) {
  return StartupFailure("LoadSceneResources: %s: %s", path, reason);
}

// The bytes of `view` inside its loaded buffer, or nullptr when the view or its buffer is missing
// or the view reaches past the end of the buffer.
const uint8_t* ViewBytes(const cgltf_buffer_view* view) {
  if (view == nullptr || view->buffer == nullptr || view->buffer->data == nullptr) return nullptr;
  const uint64_t end = static_cast<uint64_t>(view->offset) + view->size;
  if (end > view->buffer->size) return nullptr;
  return static_cast<const uint8_t*>(view->buffer->data) + view->offset;
}

// True when every element of `accessor` lies inside its buffer view.
bool AccessorFitsView(const cgltf_accessor* accessor, uint64_t elementSize) {
  if (accessor->count == 0) return false;
  const uint64_t last = static_cast<uint64_t>(accessor->offset) +
                        static_cast<uint64_t>(accessor->count - 1) * accessor->stride + elementSize;
  return last <= accessor->buffer_view->size;
}

}  // namespace

StartupStatus LoadMeshFile(const char* path, MeshData& mesh) {
  // All-zero options: file type from the content, default callbacks, automatic token count.
  cgltf_options options;
  std::memset(&options, 0, sizeof options);
  cgltf_data* document = nullptr;
  cgltf_result result = cgltf_parse_file(&options, path, &document);
  if (result != cgltf_result_success) {
    return StartupFailure("LoadSceneResources: %s: cgltf_parse_file failed: %s", path,
                          CgltfResultName(result));
  }
  // Freed again on every failure below; on success the document is the mesh's until shutdown.
  struct DocumentGuard {
    cgltf_data* document;
    ~DocumentGuard() {
      if (document != nullptr) cgltf_free(document);
    }
  } guard{document};

  result = cgltf_load_buffers(&options, document, path);
  if (result != cgltf_result_success) {
    return StartupFailure("LoadSceneResources: %s: cgltf_load_buffers failed: %s", path,
                          CgltfResultName(result));
  }

  if (document->meshes_count == 0) return MeshFailure(path, "the file has no mesh");
  const cgltf_mesh& firstMesh = document->meshes[0];
  if (firstMesh.primitives_count == 0) return MeshFailure(path, "the first mesh has no primitive");
  const cgltf_primitive& primitive = firstMesh.primitives[0];

  // The vertex stage reads three floats from the start of each vertex of the first attribute's
  // stream, so that attribute must be the position.
  if (primitive.attributes_count == 0 ||
      primitive.attributes[0].type != cgltf_attribute_type_position) {
    return MeshFailure(path, "the first attribute of the first primitive is not the position");
  }
  const cgltf_accessor* positions = primitive.attributes[0].data;
  if (positions == nullptr || positions->is_sparse || positions->type != cgltf_type_vec3 ||
      positions->component_type != cgltf_component_type_r_32f || positions->normalized) {
    return MeshFailure(path, "the position attribute is not three 32-bit floats per vertex");
  }
  const uint8_t* vertexView = ViewBytes(positions->buffer_view);
  if (vertexView == nullptr) return MeshFailure(path, "the position attribute has no buffer view");
  constexpr uint64_t kPositionSize = 3 * sizeof(float);
  // D3D11 and GL both cap a vertex stride at 2048 bytes.
  if (positions->stride < kPositionSize || positions->stride > 2048) {
    return MeshFailure(path, "the position stride is out of range");
  }
  if (!AccessorFitsView(positions, kPositionSize)) {
    return MeshFailure(path, "the position accessor does not fit inside its buffer view");
  }

  const cgltf_accessor* indices = primitive.indices;
  if (indices == nullptr) return MeshFailure(path, "the first primitive has no index accessor");
  uint64_t indexSize = 0;
  switch (indices->component_type) {
    case cgltf_component_type_r_8u:
      indexSize = 1;
      break;
    case cgltf_component_type_r_16u:
      indexSize = 2;
      break;
    case cgltf_component_type_r_32u:
      indexSize = 4;
      break;
    default:
      break;
  }
  if (indexSize == 0 || indices->type != cgltf_type_scalar || indices->is_sparse) {
    return MeshFailure(path, "the indices are not unsigned 8-, 16- or 32-bit scalars");
  }
  const uint8_t* indexView = ViewBytes(indices->buffer_view);
  if (indexView == nullptr) return MeshFailure(path, "the index accessor has no buffer view");
  if (indices->stride != indexSize) {
    return MeshFailure(path, "the indices are not tightly packed");
  }
  if (!AccessorFitsView(indices, indexSize)) {
    return MeshFailure(path, "the index accessor does not fit inside its buffer view");
  }

  // The GPU vertex buffer starts at the accessor's first element, so both backends bind it at
  // offset 0; it runs to the end of the view, which may interleave further attributes.
  const uint64_t vertexByteCount = positions->buffer_view->size - positions->offset;
  const uint64_t vertexCount = (vertexByteCount - kPositionSize) / positions->stride + 1;
  const uint8_t* indexBytes = indexView + indices->offset;
  const uint64_t indexCount = indices->count;
  uint64_t largest = 0;
  for (uint64_t i = 0; i < indexCount; ++i) {
    uint64_t index = 0;
    if (indexSize == 1) {
      index = indexBytes[i];
    } else if (indexSize == 2) {
      uint16_t v;
      std::memcpy(&v, indexBytes + 2 * i, sizeof v);
      index = v;
    } else {
      uint32_t v;
      std::memcpy(&v, indexBytes + 4 * i, sizeof v);
      index = v;
    }
    if (index > largest) largest = index;
  }
  if (largest >= vertexCount) {
    return StartupFailure(
        "LoadSceneResources: %s: index %llu points past the %llu vertices of "
        "the position data",
        path, static_cast<unsigned long long>(largest),
        static_cast<unsigned long long>(vertexCount));
  }

  mesh.vertexBytes = vertexView + positions->offset;
  mesh.vertexByteCount = static_cast<uint32_t>(vertexByteCount);
  mesh.vertexStride = static_cast<uint32_t>(positions->stride);
  mesh.indexCount = static_cast<uint32_t>(indexCount);
  if (indexSize == 1) {
    // Neither API has 8-bit index buffers: widen to 16 bits once, here.
    mesh.widenedIndices.reset(new uint16_t[indexCount]);
    for (uint64_t i = 0; i < indexCount; ++i)
      mesh.widenedIndices[i] = indexBytes[i];
    mesh.indexBytes = reinterpret_cast<const uint8_t*>(mesh.widenedIndices.get());
    mesh.indexSize = 2;
  } else {
    mesh.indexBytes = indexBytes;
    mesh.indexSize = static_cast<uint32_t>(indexSize);
  }
  mesh.indexByteCount = mesh.indexCount * mesh.indexSize;
  mesh.document = document;
  guard.document = nullptr;
  return StartupOk();
}

void FreeMeshData(MeshData& mesh) {
  if (mesh.document != nullptr) cgltf_free(mesh.document);
  mesh = MeshData{};
}

StartupStatus LoadTextureImages(const char* const (&paths)[kTextureFileCount],
                                TextureImages& images) {
  for (int i = 0; i < kTextureFileCount; ++i) {
    int width = 0;
    int height = 0;
    int channelsInFile = 0;
    // Four 8-bit channels whatever the file holds; rows top-down (no vertical flip).
    unsigned char* pixels = stbi_load(paths[i], &width, &height, &channelsInFile, 4);
    if (pixels == nullptr) {
      const char* reason = stbi_failure_reason();
      FreeTextureImages(images);
      return StartupFailure("LoadSceneResources: %s: stbi_load failed: %s", paths[i],
                            reason != nullptr ? reason : "unknown error");
    }
    if (i > 0 && (width != images.width || height != images.height)) {
      stbi_image_free(pixels);
      const int firstWidth = images.width;
      const int firstHeight = images.height;
      FreeTextureImages(images);
      return StartupFailure("LoadSceneResources: %s: image is %dx%d but %s is %dx%d", paths[i],
                            width, height, paths[0], firstWidth, firstHeight);
    }
    images.pixels[i] = pixels;
    images.width = width;
    images.height = height;
  }
  return StartupOk();
}

void FreeTextureImages(TextureImages& images) {
  for (unsigned char*& pixels : images.pixels) {
    if (pixels != nullptr) stbi_image_free(pixels);
    pixels = nullptr;
  }
}

}  // namespace tc
