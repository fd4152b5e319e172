// The outcome of a start-up step: success, or the exit code and one line that says which step
// failed, on which file, and the library's own reason where it gives one.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace tc {

struct StartupStatus {
  bool ok = true;
  int exitCode = 0;
  char message[512] = {};
};

inline StartupStatus StartupOk() {
  return StartupStatus{};
}

// printf-style: the compiler checks the arguments against the format.
inline StartupStatus StartupFailure(int exitCode, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

inline StartupStatus StartupFailure(int exitCode, const char* format, ...) {
  StartupStatus status;
  status.ok = false;
  status.exitCode = exitCode;
  va_list args;
  va_start(args, format);
  std::vsnprintf(status.message, sizeof status.message, format, args);
  va_end(args);
  // One line on standard error: fold any line breaks a library put into its reason.
  for (char* c = status.message; *c != '\0'; ++c) {
    if (*c == '\n' || *c == '\r') *c = ' ';
  }
  return status;
}

}  // namespace tc
