// The one way the asset files are read. The resources folder is editable by anyone, so a path is
// only read when it names a regular file: its type is asked of the path before it is opened (a
// FIFO or a device would block start-up or read bytes that are not the asset's, so it is never
// opened) and of the open file again after (so a swap in between is caught); the open never waits
// for a writer. Sizes are checked against the caller's limit without arithmetic that can wrap.
// Each caller words the failure line itself, from the result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace tc {

// malloc'd bytes, so that a mesh document can take them over: cgltf releases its file data with
// free().
struct FileBytes {
  uint8_t* data = nullptr;
  size_t size = 0;
  FileBytes() = default;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes() { std::free(data); }
  uint8_t* Release() {
    uint8_t* bytes = data;
    data = nullptr;
    size = 0;
    return bytes;
  }
};

enum class ReadError {
  kNone,
  kMissing,     // no such file (or a folder on the way is no folder)
  kNotRegular,  // a folder, FIFO, device or the like, before or after the open
  kUnreadable,  // stat or open failed; errorNumber says why
  kTooLarge,    // more bytes wanted than the limit allows
  kShort,       // fewer bytes than wanted: a prefix longer than the file, or the file shrank
  kReadFailed,  // opened, but reading failed; errorNumber says why
  kOutOfMemory,
};

struct ReadResult {
  ReadError error = ReadError::kNone;
  int errorNumber = 0;
  uint64_t fileSize = 0;  // as the open file reported it
};

// Reads `path` when it is a regular file: the whole file when `prefix` is 0 (at most `maxBytes`),
// otherwise exactly its first `prefix` bytes (again at most `maxBytes`). `out` is replaced only on
// success.
ReadResult ReadRegularFile(const char* path, uint64_t maxBytes, uint64_t prefix, FileBytes& out);

// What went wrong, worded for a scene file's failure line; empty for kShort, which each caller
// words itself.
std::string ReadErrorText(const ReadResult& result, uint64_t maxBytes);

}  // namespace tc
