// libFuzzer target: any bytes as one line of the trace tool's standard input.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "tools/trace/song_time.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The tool reads lines with fgets: no NUL inside, one at the end.
  std::string line(reinterpret_cast<const char*>(data), size);
  line.resize(std::strlen(line.c_str()));
  float value = 0.0f;
  bool blank = false;
  const bool parsed = tc::ParseSongTime(line.c_str(), value, blank);
  // A blank line is never a number, and a number is never blank.
  if (parsed && blank) __builtin_trap();
  return 0;
}
