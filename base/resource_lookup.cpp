// The executable's own folder comes from the system, not from argv[0], which names whatever the
// caller chose (often a bare name found on PATH).
#include "base/resource_lookup.h"

#include <cstring>
#include <cwchar>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tc {
namespace {

constexpr int kCapacity = ResourcePaths::kCapacity;

#if defined(_WIN32)

bool IsFolder(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The C library opens files by narrow names in the system code page: a path with a character
// that page lacks is given by its short (8.3) form instead, when the volume keeps one.
bool ToNarrowPath(const wchar_t* wide, char (&narrow)[kCapacity]) {
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, narrow, kCapacity, nullptr,
                              &lossy);
  if (n > 0 && !lossy) return true;
  wchar_t shortPath[MAX_PATH];
  const DWORD length = GetShortPathNameW(wide, shortPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  lossy = FALSE;
  n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, shortPath, -1, narrow, kCapacity, nullptr,
                          &lossy);
  return n > 0 && !lossy;
}

// "<folder of the executable>\resources" in `narrow`; true when it is a folder.
bool FindBesideExecutable(char (&narrow)[kCapacity]) {
  constexpr DWORD kWideCapacity = 32768;  // the longest path Windows has
  wchar_t wide[kWideCapacity];
  const DWORD length = GetModuleFileNameW(nullptr, wide, kWideCapacity);
  std::snprintf(narrow, kCapacity, "(the executable's path is unknown)");
  if (length == 0 || length >= kWideCapacity) return false;
  wchar_t* separator = std::wcsrchr(wide, L'\\');
  if (wchar_t* slash = std::wcsrchr(wide, L'/'); slash != nullptr && slash > separator) {
    separator = slash;
  }
  if (separator == nullptr) return false;
  constexpr wchar_t kName[] = L"resources";
  if (static_cast<DWORD>(separator - wide) + 1 + sizeof kName / sizeof kName[0] > kWideCapacity) {
    return false;
  }
  std::wcscpy(separator + 1, kName);
  if (!IsFolder(wide)) {
    // Named in the failure line as well as the code page allows.
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, kCapacity, nullptr, nullptr);
    narrow[kCapacity - 1] = '\0';
    return false;
  }
  if (!ToNarrowPath(wide, narrow)) {
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, kCapacity, nullptr, nullptr);
    narrow[kCapacity - 1] = '\0';
    std::strncat(narrow, " (not expressible in this system's code page)",
                 kCapacity - 1 - std::strlen(narrow));
    return false;
  }
  return true;
}

bool WorkingDirectoryHasResources() {
  const DWORD attributes = GetFileAttributesA("resources");
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void DescribeWorkingDirectoryResources(char (&described)[kCapacity]) {
  char cwd[kCapacity - 16];  // room for the folder's name after it
  const DWORD length = GetCurrentDirectoryA(sizeof cwd, cwd);
  if (length == 0 || length >= sizeof cwd) {
    std::snprintf(described, kCapacity, "resources");
  } else {
    const bool endsWithSeparator = cwd[length - 1] == '\\' || cwd[length - 1] == '/';
    std::snprintf(described, kCapacity, "%s%sresources", cwd, endsWithSeparator ? "" : "\\");
  }
}

#else

bool IsFolder(const char* path) {
  struct stat info;
  return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// "<folder of the executable>/resources" in `path`; true when it is a folder.
bool FindBesideExecutable(char (&path)[kCapacity]) {
  const ssize_t length = readlink("/proc/self/exe", path, kCapacity - 1);
  if (length <= 0 || length >= kCapacity - 1) {
    std::snprintf(path, kCapacity, "(the executable's path is unknown: /proc/self/exe)");
    return false;
  }
  path[length] = '\0';
  char* separator = std::strrchr(path, '/');
  if (separator == nullptr) return false;
  constexpr char kName[] = "resources";
  if ((separator - path) + 1 + static_cast<ssize_t>(sizeof kName) > kCapacity) return false;
  std::memcpy(separator + 1, kName, sizeof kName);
  return IsFolder(path);
}

bool WorkingDirectoryHasResources() {
  return IsFolder("resources");
}

void DescribeWorkingDirectoryResources(char (&described)[kCapacity]) {
  char cwd[kCapacity - 16];  // room for the folder's name after it
  if (getcwd(cwd, sizeof cwd) == nullptr) {
    std::snprintf(described, kCapacity, "resources");
  } else {
    std::snprintf(described, kCapacity, "%s%sresources", cwd,
                  std::strcmp(cwd, "/") == 0 ? "" : "/");
  }
}

#endif

}  // namespace

StartupStatus FindResourceFolder(ResourcePaths& paths) {
  // Named exactly as before, relative, so every message about a file reads as it always has.
  if (WorkingDirectoryHasResources()) {
    SetResourceFolder(kWorkingDirectoryResources, paths);
    return StartupOk();
  }
  char beside[kCapacity];
  if (FindBesideExecutable(beside)) {
    const size_t length = std::strlen(beside);
    if (length + 2 <= static_cast<size_t>(kCapacity)) {
      beside[length] = kPathSeparator;
      beside[length + 1] = '\0';
      if (SetResourceFolder(beside, paths)) return StartupOk();
    }
    return StartupFailure("FindResourceFolder: %s: path too long", beside);
  }
  char working[kCapacity];
  DescribeWorkingDirectoryResources(working);
  return StartupFailure(
      "FindResourceFolder: no resources folder in the working directory (%s) "
      "or beside the executable (%s)",
      working, beside);
}

}  // namespace tc
