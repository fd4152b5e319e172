// The trace tool's reading of one line of standard input as a song time.
#pragma once

namespace tc {

// Parses `line` (NUL-terminated) as a 32-bit float, rounded once from the decimal text. False for
// anything that is not a single number (surrounding white space allowed); `blank` tells a line of
// nothing but white space from one that holds something else.
bool ParseSongTime(const char* line, float& out, bool& blank);

}  // namespace tc
