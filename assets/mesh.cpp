#include "assets/mesh.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "assets/file_read.h"
#include "cgltf.h"

namespace tc {
namespace {

// A name from a file, fit for one line of a message: at most 64 characters, printable ASCII.
std::string Printable(const char* text) {
  std::string out;
  for (const char* c = text; *c != '\0'; ++c) {
    if (out.size() == 64) {
      out += "...";
      break;
    }
    out += (*c >= 0x20 && *c < 0x7f) ? *c : '?';
  }
  return out;
}

// a * b + c, false when it does not fit in 64 bits.
bool MulAdd(uint64_t a, uint64_t b, uint64_t c, uint64_t& out) {
  uint64_t product = 0;
  return !__builtin_mul_overflow(a, b, &product) && !__builtin_add_overflow(product, c, &out);
}

const char* CgltfResultName(cgltf_result result) {
  switch (result) {
    case cgltf_result_success:
      return "success";
    case cgltf_result_data_too_short:
      return "data too short";
    case cgltf_result_unknown_format:
      return "not a binary glTF file";
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

// The folder part of `path`, separator included ("" for a bare name).
std::string FolderOf(const char* path) {
  const char* cut = nullptr;
  for (const char* c = path; *c != '\0'; ++c) {
    if (*c == '/' || *c == '\\') cut = c + 1;
  }
  return cut == nullptr ? std::string() : std::string(path, cut);
}

// A buffer uri that names a file: relative, inside the folder (no ".." segment), no scheme, no
// drive, no backslash. `uri` is already percent-decoded, so "%2e%2e" is caught as "..".
const char* UriPathProblem(const std::string& uri) {
  if (uri.empty()) return "is empty";
  if (uri.find(':') != std::string::npos) return "names a scheme or a drive";
  if (uri.find('\\') != std::string::npos) return "contains a backslash";
  if (uri[0] == '/') return "is an absolute path";
  size_t start = 0;
  for (;;) {
    const size_t end = uri.find('/', start);
    const std::string segment = uri.substr(start, end == std::string::npos ? end : end - start);
    if (segment == "..") return "leaves the resources folder";
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return nullptr;
}

StartupStatus TooLarge(const char* path) {
  return StartupFailure("LoadSceneResources: %s: the file and its buffers exceed %llu bytes", path,
                        static_cast<unsigned long long>(kMaxMeshBytes));
}

// Gives every buffer its bytes: the file's own binary chunk, a base64 data: URI, or a regular file
// in `folder`, each holding at least the declared byteLength (checked before anything is read),
// and all of them together at most kMaxMeshBytes beside the file itself.
StartupStatus LoadBuffers(const char* path, const std::string& folder, uint64_t fileBytes,
                          cgltf_data* document) {
  uint64_t total = fileBytes;
  for (cgltf_size i = 0; i < document->buffers_count; ++i) {
    cgltf_buffer& buffer = document->buffers[i];
    const unsigned long index = static_cast<unsigned long>(i);
    const unsigned long long declared = buffer.size;
    if (buffer.uri == nullptr) {
      if (i != 0 || document->bin == nullptr) {
        return StartupFailure("LoadSceneResources: %s: buffer %lu has no uri and no binary chunk",
                              path, index);
      }
      if (buffer.size > document->bin_size) {
        return StartupFailure(
            "LoadSceneResources: %s: buffer 0 declares %llu bytes but the "
            "binary chunk holds %llu",
            path, declared, static_cast<unsigned long long>(document->bin_size));
      }
      buffer.data = const_cast<void*>(document->bin);
      buffer.data_free_method = cgltf_data_free_method_none;
      continue;
    }
    if (buffer.size == 0) continue;  // nothing to read; a view into it cannot fit
    const uint64_t room = kMaxMeshBytes - total;
    if (std::strncmp(buffer.uri, "data:", 5) == 0) {
      const char* comma = std::strchr(buffer.uri, ',');
      if (comma == nullptr || comma - buffer.uri < 12 ||
          std::strncmp(comma - 7, ";base64", 7) != 0) {
        return StartupFailure("LoadSceneResources: %s: buffer %lu: data URI is not base64", path,
                              index);
      }
      // Four characters carry three bytes: a shorter text cannot hold what the buffer declares.
      const uint64_t capacity = std::strlen(comma + 1) / 4 * 3 + std::strlen(comma + 1) % 4 * 3 / 4;
      if (buffer.size > capacity) {
        return StartupFailure(
            "LoadSceneResources: %s: buffer %lu declares %llu bytes but its data "
            "URI holds at most %llu",
            path, index, declared, static_cast<unsigned long long>(capacity));
      }
      if (buffer.size > room) return TooLarge(path);
      total += buffer.size;
      cgltf_options options;
      std::memset(&options, 0, sizeof options);
      const cgltf_result result =
          cgltf_load_buffer_base64(&options, buffer.size, comma + 1, &buffer.data);
      if (result != cgltf_result_success) {
        buffer.data = nullptr;
        return StartupFailure("LoadSceneResources: %s: buffer %lu: data URI: %s", path, index,
                              CgltfResultName(result));
      }
      buffer.data_free_method = cgltf_data_free_method_memory_free;
      continue;
    }
    std::string uri = buffer.uri;
    uri.resize(cgltf_decode_uri(&uri[0]));
    if (const char* problem = UriPathProblem(uri)) {
      return StartupFailure("LoadSceneResources: %s: buffer %lu: uri \"%s\" %s", path, index,
                            Printable(uri.c_str()).c_str(), problem);
    }
    const std::string bufferPath = folder + uri;
    FileBytes bytes;
    const ReadResult read = ReadRegularFile(bufferPath.c_str(), room, buffer.size, bytes);
    if (read.error == ReadError::kShort) {
      return StartupFailure(
          "LoadSceneResources: %s: buffer %lu declares %llu bytes but %s holds "
          "%llu",
          path, index, declared, Printable(bufferPath.c_str()).c_str(),
          static_cast<unsigned long long>(read.fileSize));
    }
    if (read.error == ReadError::kTooLarge) return TooLarge(path);
    if (read.error != ReadError::kNone) {
      return StartupFailure("LoadSceneResources: %s: buffer %lu: %s: %s", path, index,
                            Printable(bufferPath.c_str()).c_str(),
                            ReadErrorText(read, kMaxMeshBytes).c_str());
    }
    total += buffer.size;
    buffer.data = bytes.Release();
    buffer.data_free_method = cgltf_data_free_method_memory_free;
  }
  return StartupOk();
}

// The bytes of `view` inside its loaded buffer, or nullptr when the view or its buffer is missing
// or the view does not lie wholly inside the buffer's loaded bytes.
const uint8_t* ViewBytes(const cgltf_buffer_view* view) {
  if (view == nullptr || view->buffer == nullptr || view->buffer->data == nullptr) return nullptr;
  uint64_t end = 0;
  if (__builtin_add_overflow(view->offset, view->size, &end)) return nullptr;
  if (end > view->buffer->size) return nullptr;
  return static_cast<const uint8_t*>(view->buffer->data) + view->offset;
}

// True when every element of `accessor` lies inside its buffer view: the last element starts at
// offset + stride * (count - 1) and is `elementSize` long.
bool AccessorFitsView(const cgltf_accessor* accessor, uint64_t elementSize) {
  if (accessor->count == 0) return false;
  uint64_t start = 0;
  uint64_t end = 0;
  return MulAdd(accessor->count - 1, accessor->stride, accessor->offset, start) &&
         !__builtin_add_overflow(start, elementSize, &end) && end <= accessor->buffer_view->size;
}

// The checks of the parsed, loaded document; fills `mesh` on success.
StartupStatus CheckMesh(const char* path, cgltf_data* document, MeshData& mesh) {
  if (document->meshes_count == 0) return MeshFailure(path, "the file has no mesh");
  const cgltf_mesh& firstMesh = document->meshes[0];
  if (firstMesh.primitives_count == 0) return MeshFailure(path, "the first mesh has no primitive");
  const cgltf_primitive& primitive = firstMesh.primitives[0];
  // cgltf copies the file's "mode" number into the enum unchecked, and reading an enum that holds
  // no enumerator is undefined: compare its bytes instead.
  int mode = 0;
  static_assert(sizeof mode == sizeof primitive.type, "the primitive type is an int-sized enum");
  std::memcpy(&mode, &primitive.type, sizeof mode);
  if (mode != cgltf_primitive_type_triangles) {
    return MeshFailure(path, "the first primitive is not a triangle list");
  }

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
  if (vertexView == nullptr) {
    return MeshFailure(path, "the position attribute has no buffer view inside its buffer");
  }
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
  if (indexView == nullptr) {
    return MeshFailure(path, "the index accessor has no buffer view inside its buffer");
  }
  if (indices->stride != indexSize) {
    return MeshFailure(path, "the indices are not tightly packed");
  }
  if (indices->count == 0 || indices->count % 3 != 0) {
    return StartupFailure(
        "LoadSceneResources: %s: the index count %llu is not a positive "
        "multiple of 3",
        path, static_cast<unsigned long long>(indices->count));
  }
  if (!AccessorFitsView(indices, indexSize)) {
    return MeshFailure(path, "the index accessor does not fit inside its buffer view");
  }

  // The GPU vertex buffer starts at the accessor's first element, so both backends bind it at
  // offset 0; it runs to the end of the view, which may interleave further attributes. Both
  // differences are safe: the accessor fits inside the view.
  const uint64_t vertexByteCount = positions->buffer_view->size - positions->offset;
  const uint64_t vertexCount = (vertexByteCount - kPositionSize) / positions->stride + 1;
  const uint64_t indexCount = indices->count;
  // Both APIs size buffers in 32 bits; the widened or packed index bytes must fit too.
  if (vertexByteCount > UINT32_MAX || indexCount > UINT32_MAX / 4) {
    return MeshFailure(path, "the mesh is too large for a GPU buffer");
  }
  const uint8_t* indexBytes = indexView + indices->offset;
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
  return StartupOk();
}

// Parses `bytes` as a binary glTF file (and nothing else), loads its buffers and checks the mesh.
// The document takes the bytes over.
StartupStatus LoadMeshDocument(const char* path, FileBytes& bytes, const std::string& folder,
                               MeshData& mesh) {
  cgltf_options options;
  std::memset(&options, 0, sizeof options);
  options.type = cgltf_file_type_glb;
  cgltf_data* document = nullptr;
  const cgltf_result result = cgltf_parse(&options, bytes.data, bytes.size, &document);
  if (result != cgltf_result_success) {
    return StartupFailure("LoadSceneResources: %s: cgltf_parse failed: %s", path,
                          CgltfResultName(result));
  }
  const uint64_t fileBytes = bytes.size;
  // Freed with the document (cgltf's default release is free()), as cgltf_parse_file's is.
  document->file_data = bytes.Release();
  // Freed again on every failure below; on success the document is the mesh's until shutdown.
  std::unique_ptr<cgltf_data, MeshDocumentDeleter> owned(document);

  StartupStatus status = LoadBuffers(path, folder, fileBytes, document);
  if (!status.ok) return status;
  MeshData loaded;
  status = CheckMesh(path, document, loaded);
  if (!status.ok) return status;
  mesh = std::move(loaded);
  mesh.document = std::move(owned);
  return StartupOk();
}

}  // namespace

StartupStatus LoadMeshFile(const char* path, MeshData& mesh) {
  FileBytes bytes;
  const ReadResult read = ReadRegularFile(path, kMaxMeshBytes, 0, bytes);
  if (read.error != ReadError::kNone) {
    return MeshFailure(path, ReadErrorText(read, kMaxMeshBytes).c_str());
  }
  return LoadMeshDocument(path, bytes, FolderOf(path), mesh);
}

StartupStatus LoadMeshBytes(const char* name, const uint8_t* bytes, size_t size,
                            const char* bufferFolder, MeshData& mesh) {
  if (size > kMaxMeshBytes) return MeshFailure(name, "the file is too large");
  FileBytes copy;
  copy.data = static_cast<uint8_t*>(std::malloc(size + 1));
  if (copy.data == nullptr) return MeshFailure(name, "out of memory");
  if (size != 0) std::memcpy(copy.data, bytes, size);
  copy.size = size;
  return LoadMeshDocument(name, copy, bufferFolder != nullptr ? bufferFolder : "", mesh);
}

void MeshDocumentDeleter::operator()(cgltf_data* document) const {
  cgltf_free(document);
}

void FreeMeshData(MeshData& mesh) {
  mesh = MeshData{};
}

}  // namespace tc
