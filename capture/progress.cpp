#include "capture/progress.h"

#include <unistd.h>

#include <cstdio>

namespace tc::capture {

void StartProgress(Progress& progress, int64_t totalFrames) {
  progress.total = totalFrames;
  progress.terminal = isatty(STDERR_FILENO) == 1;
  progress.start = Progress::Clock::now();
  progress.lastShown = progress.start;
  progress.lineOpen = false;
}

double ElapsedSeconds(const Progress& progress) {
  return std::chrono::duration<double>(Progress::Clock::now() - progress.start).count();
}

void ShowProgress(Progress& progress, int64_t done, float songSeconds) {
  const auto now = Progress::Clock::now();
  const double sinceShown = std::chrono::duration<double>(now - progress.lastShown).count();
  const bool last = done == progress.total;
  if (!(sinceShown >= (progress.terminal ? 0.25 : 5.0) || (last && progress.terminal))) return;
  progress.lastShown = now;
  const double elapsed = ElapsedSeconds(progress);
  const double fps = elapsed > 0.0 ? static_cast<double>(done) / elapsed : 0.0;
  const double left = fps > 0.0 ? static_cast<double>(progress.total - done) / fps : 0.0;
  char line[160];
  std::snprintf(line, sizeof line,
                "zephyrine-capture: frame %lld of %lld (%5.1f%%), song %6.2f s, %5.1f fps, "
                "%d:%02d left",
                static_cast<long long>(done), static_cast<long long>(progress.total),
                100.0 * static_cast<double>(done) / static_cast<double>(progress.total),
                static_cast<double>(songSeconds), fps, static_cast<int>(left) / 60,
                static_cast<int>(left) % 60);
  if (progress.terminal) {
    std::fprintf(stderr, "\r%s\x1b[K", line);
    progress.lineOpen = true;
  } else {
    std::fprintf(stderr, "%s\n", line);
  }
  std::fflush(stderr);
}

void EndProgressLine(Progress& progress) {
  if (progress.lineOpen) std::fputc('\n', stderr);
  progress.lineOpen = false;
}

}  // namespace tc::capture
