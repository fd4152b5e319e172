#include "assets/file_read.h"

#include <fcntl.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tc {
namespace {

// The same calls on both platforms' C libraries.
#if defined(_WIN32)
using FileStat = struct _stat64;
int StatPath(const char* path, FileStat& info) {
  return _stat64(path, &info);
}
#else
using FileStat = struct stat;
int StatPath(const char* path, FileStat& info) {
  return stat(path, &info);
}
#endif

bool IsRegular(const FileStat& info) {
  return (info.st_mode & S_IFMT) == S_IFREG;
}

}  // namespace

ReadResult ReadRegularFile(const char* path, uint64_t maxBytes, uint64_t prefix, FileBytes& out) {
  ReadResult result;
  FileStat info;
  if (StatPath(path, info) != 0) {
    result.errorNumber = errno;
    result.error =
        (errno == ENOENT || errno == ENOTDIR) ? ReadError::kMissing : ReadError::kUnreadable;
    return result;
  }
  if (!IsRegular(info)) {
    result.error = ReadError::kNotRegular;
    return result;
  }
#if defined(_WIN32)
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) {
    result.errorNumber = errno;
    result.error = ReadError::kUnreadable;
    return result;
  }
  struct FileCloser {
    FILE* file;
    ~FileCloser() { std::fclose(file); }
  } closer{file};
  if (_fstat64(_fileno(file), &info) != 0 || !IsRegular(info)) {
    result.error = ReadError::kNotRegular;
    return result;
  }
#else
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    result.errorNumber = errno;
    result.error = ReadError::kUnreadable;
    return result;
  }
  struct FdCloser {
    int fd;
    ~FdCloser() { close(fd); }
  } closer{fd};
  if (fstat(fd, &info) != 0 || !IsRegular(info)) {
    result.error = ReadError::kNotRegular;
    return result;
  }
#endif
  result.fileSize = info.st_size < 0 ? 0 : static_cast<uint64_t>(info.st_size);
  uint64_t wanted = result.fileSize;
  if (prefix != 0) {
    if (prefix > result.fileSize) {
      result.error = ReadError::kShort;
      return result;
    }
    wanted = prefix;
  }
  if (wanted > maxBytes || wanted > SIZE_MAX - 1) {
    result.error = ReadError::kTooLarge;
    return result;
  }
  FileBytes bytes;
  bytes.data = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(wanted) + 1));
  if (bytes.data == nullptr) {
    result.error = ReadError::kOutOfMemory;
    return result;
  }
  size_t done = 0;
  while (done < wanted) {
#if defined(_WIN32)
    const size_t got = std::fread(bytes.data + done, 1, static_cast<size_t>(wanted) - done, file);
    if (got == 0) {
      result.errorNumber = std::ferror(file) ? EIO : 0;
      result.error = std::ferror(file) ? ReadError::kReadFailed : ReadError::kShort;
      return result;
    }
#else
    const ssize_t got = read(fd, bytes.data + done, static_cast<size_t>(wanted) - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      // Shrunk since fstat, or unreadable (EISDIR and the like cannot happen past the check).
      result.errorNumber = got < 0 ? errno : 0;
      result.error = got < 0 ? ReadError::kReadFailed : ReadError::kShort;
      return result;
    }
#endif
    done += static_cast<size_t>(got);
  }
  std::free(out.data);
  out.data = bytes.Release();
  out.size = static_cast<size_t>(wanted);
  return result;
}

std::string ReadErrorText(const ReadResult& result, uint64_t maxBytes) {
  switch (result.error) {
    case ReadError::kNone:
    case ReadError::kShort:
      return std::string();
    case ReadError::kMissing:
      return "file not found";
    case ReadError::kNotRegular:
      return "not a regular file";
    case ReadError::kUnreadable:
    case ReadError::kReadFailed:
      return std::string("cannot be read: ") + std::strerror(result.errorNumber);
    case ReadError::kTooLarge:
      return "larger than " + std::to_string(maxBytes) + " bytes";
    case ReadError::kOutOfMemory:
      return "out of memory";
  }
  return std::string();
}

}  // namespace tc
