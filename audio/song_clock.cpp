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
// (A larger disagreement is the song's to mend, not the picture's: SongAdrift.)
constexpr double kSlewTimeConstant = 0.1;

bool Fresh(const SongClock& clock, const HeardNote* note, double hostSeconds) {
  return note != nullptr && hostSeconds <= note->heardHostSeconds + clock.noteLifetimeSeconds;
}

}  // namespace

void ResetSongClock(SongClock& clock, double songSeconds) {
  const double endSeconds = clock.endSeconds;
  const double lifetime = clock.noteLifetimeSeconds;
  clock = SongClock{};
  clock.endSeconds = endSeconds;
  clock.noteLifetimeSeconds = lifetime;
  clock.floorSeconds = songSeconds;
  clock.lastSeconds = songSeconds;
}

double AdvanceSongClock(SongClock& clock, const HeardNote* note, double hostSeconds) {
  if (!clock.started) {
    clock.started = true;
    clock.startHost = hostSeconds;
    clock.lastHost = hostSeconds;
  }
  const double elapsed = std::max(0.0, hostSeconds - clock.lastHost);
  clock.lastHost = hostSeconds;
  const bool fresh = Fresh(clock, note, hostSeconds);

  double next = clock.lastSeconds;
  if (!clock.heard) {
    if (fresh) {
      // Until the listener hears past the floor the picture waits there; then it starts from
      // what is heard, without a pull that would begin it early.
      const double target = HeardAt(*note, hostSeconds);
      if (target > clock.floorSeconds) {
        clock.heard = true;
        next = target;
      }
    } else if (note != nullptr || hostSeconds - clock.startHost > kFirstNoteWaitSeconds) {
      // The output ran dry before the start was heard, or never mixed: the show starts now.
      clock.heard = true;
      clock.freeRunning = true;
    }
  } else if (fresh) {
    const double target = HeardAt(*note, hostSeconds);
    const double freeRun = clock.lastSeconds + elapsed;
    const double error = target - freeRun;
    const double limit = kMaxSlewRate * elapsed;
    const double pull = error * std::min(1.0, elapsed / kSlewTimeConstant);
    next = freeRun + std::clamp(pull, -limit, limit);
    // Nothing past the mixed point has been mixed yet (or ever will be, at the song's end).
    next = std::min(next, note->mixedSeconds);
    clock.freeRunning = false;
  } else {
    next = clock.lastSeconds + elapsed;
    clock.freeRunning = true;
  }
  next = std::min(next, clock.endSeconds);
  clock.lastSeconds = std::max(next, clock.lastSeconds);  // never backwards
  return clock.lastSeconds;
}

bool SongAdrift(const SongClock& clock, const HeardNote& note, double hostSeconds) {
  if (!clock.heard || !Fresh(clock, &note, hostSeconds) || clock.lastSeconds >= clock.endSeconds)
    return false;
  return std::fabs(HeardAt(note, hostSeconds) - clock.lastSeconds) > kSongAdriftSeconds;
}

}  // namespace tc
