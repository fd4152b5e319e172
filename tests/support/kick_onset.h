// Finds where a kick of the song starts in decoded audio: shared by the song's own test and the
// capture's sync test, so both judge sync with the same detector.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace tc::test {

// Where the kick nearest `expected` starts, in frames of mono audio at `framesPerMs` frames per
// millisecond, or -1 when there is no distinct onset. The music dips for the last 15 ms before
// each kick, so the loudest 1 ms block of the gap 15 to 6 ms before the beat gives the background,
// the loudest block up to 40 ms after the gap the kick's peak. The onset is the first sample after
// the gap that rises a quarter of the way from one to the other.
inline long FindKickOnset(const std::vector<float>& x, long expected, long framesPerMs) {
  const long gap = expected - 15 * framesPerMs, from = expected - 6 * framesPerMs,
             to = expected + 40 * framesPerMs;
  if (gap < 0 || to > static_cast<long>(x.size())) return -1;
  auto blockPeak = [&](long start) {
    float m = 0.0f;
    for (long i = start; i < start + framesPerMs; ++i)
      m = std::max(m, std::fabs(x[i]));
    return m;
  };
  float floor = 0.0f, peak = 0.0f;
  for (long b = gap; b < from; b += framesPerMs)
    floor = std::max(floor, blockPeak(b));
  for (long b = from; b < to; b += framesPerMs)
    peak = std::max(peak, blockPeak(b));
  if (peak < 3.0f * floor || peak < 0.02f) return -1;
  const float threshold = floor + 0.25f * (peak - floor);
  for (long i = from; i < to; ++i) {
    if (std::fabs(x[i]) > threshold) return i;
  }
  return -1;
}

}  // namespace tc::test
