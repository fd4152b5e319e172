#include "tools/trace/song_time.h"

#include <cstdlib>

namespace tc {

bool ParseSongTime(const char* line, float& out, bool& blank) {
  const char* p = line;
  while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
    ++p;
  blank = (*p == '\0');
  if (blank) return false;
  char* end = nullptr;
  const float value = std::strtof(p, &end);
  if (end == p) return false;
  while (*end == ' ' || *end == '\t' || *end == '\r' || *end == '\n')
    ++end;
  if (*end != '\0') return false;
  out = value;  // ERANGE still yields the correctly rounded infinity or denormal
  return true;
}

}  // namespace tc
