// The type of a file, asked of its path before it is opened and of the open file again after, so
// that every loader reads regular files only: a FIFO, device or directory would block start-up or
// read bytes that are not the asset's. The same calls on both platforms' C libraries.
#pragma once

#include <sys/stat.h>

namespace tc {

#if defined(_WIN32)
using FileStat = struct _stat64;
inline int StatPath(const char* path, FileStat& info) {
  return _stat64(path, &info);
}
#else
using FileStat = struct stat;
inline int StatPath(const char* path, FileStat& info) {
  return stat(path, &info);
}
#endif

inline bool IsRegular(const FileStat& info) {
  return (info.st_mode & S_IFMT) == S_IFREG;
}

}  // namespace tc
