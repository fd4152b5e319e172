#include "capture/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tc::capture {

std::string TemporaryNameFor(const std::string& output) {
  const size_t slash = output.find_last_of('/');
  const size_t dot = output.find_last_of('.');
  const size_t stemEnd = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                             ? dot
                             : output.size();
  return output.substr(0, stemEnd) + ".partial-" + std::to_string(getpid()) +
         output.substr(stemEnd);
}

TemporaryOutput::~TemporaryOutput() noexcept {
  if (!path.empty() && !kept) unlink(path.c_str());
}

int CreateTemporaryOutput(const std::string& output, TemporaryOutput& temp) {
  const std::string path = TemporaryNameFor(output);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return errno;
  close(fd);
  temp.path = path;
  return 0;
}

bool KeepTemporaryOutput(TemporaryOutput& temp, const std::string& output, std::string& error) {
  if (rename(temp.path.c_str(), output.c_str()) != 0) {
    error = "cannot rename " + temp.path + " to " + output + ": " + std::strerror(errno);
    return false;
  }
  temp.kept = true;
  return true;
}

std::string FileSizeText(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return "size unknown";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(info.st_size) / 1e6);
  return text;
}

}  // namespace tc::capture
