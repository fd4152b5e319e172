#include "audio/song_clock.h"

#include <algorithm>
#include <cmath>

namespace tc {
namespace {

// How fast the clock may be pulled towards the cursor: at most this fraction of real time faster
// or slower, so a correction is spread over frames instead of showing as a jump in the motion.
constexpr double kMaxSlewRate = 0.25;
// Time constant of the pull: an error of e is taken in at e / kSlewTimeConstant per second.
constexpr double kSlewTimeConstant = 0.1;
// A disagreement this large is not jitter but a seek or a long stall: take the cursor at once
// when it lies ahead (going forward by a jump is still monotonic).
constexpr double kJumpAheadSeconds = 0.25;

}  // namespace

void ResetSongClock(SongClock& clock, const SongClockConfig& config, double songSeconds) {
  clock = SongClock{};
  clock.config = config;
  clock.floorSeconds = songSeconds;
  clock.lastCursorTime = songSeconds;
}

double AdvanceSongClock(SongClock& clock, double cursorSeconds, double cursorSinceHost,
                        double hostSeconds, bool playing) {
  const double period = clock.config.periodSeconds;
  if (!clock.started) {
    clock.started = true;
    clock.anchorCursor = cursorSeconds;
    clock.anchorHost = hostSeconds;
    clock.startHost = hostSeconds;
    clock.lastHost = hostSeconds;
    clock.lastCursorTime = std::max(clock.lastCursorTime, cursorSeconds);
  }
  const double elapsed = std::max(0.0, hostSeconds - clock.lastHost);
  clock.lastHost = hostSeconds;

  if (cursorSeconds != clock.anchorCursor) {
    clock.anchorCursor = cursorSeconds;
    // A step noted by the audio thread is dated by its note, which can only lie between the last
    // step and now; otherwise it happened at the latest now.
    clock.anchorHost = cursorSinceHost >= clock.anchorHost && cursorSinceHost <= hostSeconds
                           ? cursorSinceHost
                           : hostSeconds;
  }
  double next = clock.lastCursorTime;
  if (playing) {
    // Where the cursor would be now if it moved continuously: it has been at this value since
    // anchorHost, and it cannot have moved more than a period without being seen to step.
    const double target = cursorSeconds + std::min(hostSeconds - clock.anchorHost, period) -
                          kSongClockMarginPeriods * period;
    const double freeRun = clock.lastCursorTime + elapsed;
    const double error = target - freeRun;
    if (error > kJumpAheadSeconds) {
      next = target;
    } else {
      const double limit = kMaxSlewRate * elapsed;
      const double pull = error * std::min(1.0, elapsed / kSlewTimeConstant);
      next = freeRun + std::clamp(pull, -limit, limit);
    }
    // At most a period ahead of the cursor. A cursor step that comes late would stop the clock
    // dead at that bound; approaching it halfway per reading instead keeps every frame's time
    // its own, slower, until the step arrives.
    const double bound = cursorSeconds + period;
    if (next > bound) {
      next = clock.lastCursorTime < bound
                 ? clock.lastCursorTime + 0.5 * (bound - clock.lastCursorTime)
                 : bound;
    }
  } else {
    // A stopped song (or one at its end) stands still. The anchor follows, so the first reading
    // after the song resumes does not count the pause as time played.
    clock.anchorHost = hostSeconds;
  }
  next = std::max(next, clock.lastCursorTime);  // never backwards, whatever the cursor did
  clock.lastCursorTime = next;
  // Both bounds grow with time, so the reading stays monotonic. (While stopped, the time since the
  // start keeps growing, but the cursor bound holds the reading.)
  const double heard = std::min(next - clock.config.latencySeconds,
                                clock.floorSeconds + (hostSeconds - clock.startHost));
  return std::max(clock.floorSeconds, heard);
}

}  // namespace tc
