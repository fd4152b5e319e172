#include "audio/song_clock.h"

#include <algorithm>
#include <cmath>

namespace tc {
namespace {

// How fast the clock may be pulled towards the estimate: at most this fraction of real time
// faster or slower, so a correction is spread over frames instead of showing as a jump in the
// motion.
constexpr double kMaxSlewRate = 0.25;
// Time constant of the pull: an error of e is taken in at e / kSlewTimeConstant per second.
constexpr double kSlewTimeConstant = 0.1;
// A disagreement this large is not a report's jitter but a long stall of the frame loop or of the
// output: take the estimate at once when it lies ahead (going forward by a jump is still
// monotonic).
constexpr double kJumpAheadSeconds = 0.25;

}  // namespace

void ResetSongClock(SongClock& clock, double songSeconds) {
  clock = SongClock{};
  clock.floorSeconds = songSeconds;
  clock.lastSeconds = songSeconds;
}

double AdvanceSongClock(SongClock& clock, const HeardNote* note, double hostSeconds) {
  if (!clock.started) {
    clock.started = true;
    clock.lastHost = hostSeconds;
  }
  const double elapsed = std::max(0.0, hostSeconds - clock.lastHost);
  clock.lastHost = hostSeconds;
  if (note == nullptr) return clock.lastSeconds;

  const double target = HeardAt(*note, hostSeconds);
  double next = clock.lastSeconds;
  if (!clock.heard) {
    // Until the listener hears past the floor the picture waits there; then it starts from what
    // is heard, without a pull that would begin it early.
    if (target > clock.floorSeconds) {
      clock.heard = true;
      next = target;
    }
  } else {
    const double freeRun = clock.lastSeconds + elapsed;
    const double error = target - freeRun;
    if (error > kJumpAheadSeconds) {
      next = target;
    } else {
      const double limit = kMaxSlewRate * elapsed;
      const double pull = error * std::min(1.0, elapsed / kSlewTimeConstant);
      next = freeRun + std::clamp(pull, -limit, limit);
    }
    // Nothing past the mixed point has been mixed yet (or ever will be, at the song's end).
    next = std::min(next, note->mixedSeconds);
  }
  clock.lastSeconds = std::max(next, clock.lastSeconds);  // never backwards
  return clock.lastSeconds;
}

}  // namespace tc
