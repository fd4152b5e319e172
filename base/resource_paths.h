// Where the five asset files are read from: one resources folder, chosen once at start-up
// (base/resource_lookup.h), and the full path of every file in it. The loaders take their paths
// from this record and name them in their failure lines.
#pragma once

#include <cstdio>

namespace tc {

constexpr int kTextureFileCount = 3;

// The folder as the program names it when it is found in the working directory.
#if defined(_WIN32)
constexpr char kPathSeparator = '\\';
constexpr const char* kWorkingDirectoryResources = "resources\\";
#else
constexpr char kPathSeparator = '/';
constexpr const char* kWorkingDirectoryResources = "resources/";
#endif

struct ResourcePaths {
  // Long enough for any path Linux accepts (PATH_MAX) and for Windows' long paths.
  static constexpr int kCapacity = 4096;
  char folder[kCapacity] = {};  // ends with the separator
  char mesh[kCapacity] = {};
  char textures[kTextureFileCount][kCapacity] = {};
  char song[kCapacity] = {};
};

// Fills every path from `folder`, which ends with the separator. False when a path would not fit
// (the record is then left holding truncated paths that must not be used).
inline bool SetResourceFolder(const char* folder, ResourcePaths& paths) {
  const int capacity = ResourcePaths::kCapacity;
  bool fits = std::snprintf(paths.folder, capacity, "%s", folder) < capacity;
  fits = std::snprintf(paths.mesh, capacity, "%smesh2.glb", folder) < capacity && fits;
  for (int i = 0; i < kTextureFileCount; ++i) {
    fits =
        std::snprintf(paths.textures[i], capacity, "%stexture%d.png", folder, i + 1) < capacity &&
        fits;
  }
  fits = std::snprintf(paths.song, capacity, "%saudio.mp3", folder) < capacity && fits;
  return fits;
}

}  // namespace tc
