// Progress of a long capture on standard error: one line redrawn in place on a terminal, a line
// every few seconds otherwise (logs, CI), and a summary at the end.
#pragma once

#include <chrono>
#include <cstdint>

namespace tc::capture {

struct Progress {
  using Clock = std::chrono::steady_clock;
  int64_t total = 0;
  bool terminal = false;
  Clock::time_point start;
  Clock::time_point lastShown;
  bool lineOpen = false;  // a redrawn line is on screen without its line break
};

void StartProgress(Progress& progress, int64_t totalFrames);
// After `done` frames; rate limited, so it may be called every frame.
void ShowProgress(Progress& progress, int64_t done, float songSeconds);
// Ends a redrawn line so that the next message starts on a line of its own.
void EndProgressLine(Progress& progress);
double ElapsedSeconds(const Progress& progress);

}  // namespace tc::capture
