#include "render/null/script.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tc {

bool NullStepFails(const char* verb) {
  const char* failing = std::getenv("TC_NULL_FAIL");
  return failing != nullptr && std::strcmp(failing, verb) == 0;
}

StartupStatus NullStep(const char* verb) {
  if (NullStepFails(verb)) return StartupFailure("%s: failed as TC_NULL_FAIL asked", verb);
  NullLog("%s", verb);
  return StartupOk();
}

void NullLog(const char* format, ...) {
  const char* path = std::getenv("TC_NULL_LOG");
  if (path == nullptr) return;
  // Opened per line: the window and the backend write to it in turn, and a line must be there
  // even when the run ends abruptly.
  FILE* log = std::fopen(path, "a");
  if (log == nullptr) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(log, format, args);
  va_end(args);
  std::fputc('\n', log);
  std::fclose(log);
}

}  // namespace tc
