// The outcome of a start-up step: success, or one line that says which step failed, on which file,
// and the library's own reason where it gives one. Every start-up failure ends the run with exit
// code 1 (2 is kept for bad command-line arguments), so the result carries no code of its own.
#pragma once

#include <cstdarg>
#include <cstdio>

namespace tc {

struct StartupStatus {
  bool ok = true;
  char message[512] = {};
};

inline StartupStatus StartupOk() {
  return StartupStatus{};
}

// printf-style: the compiler checks the arguments against the format.
inline StartupStatus StartupFailure(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline StartupStatus StartupFailure(const char* format, ...) {
  StartupStatus status;
  status.ok = false;
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
