// The smooth song clock: what the listener hears now, read as often as frames are drawn.
//
// After each mix the audio thread notes how far the song has been mixed and when the listener
// will hear that point, as the output device itself reports it (audio/output_position.h). From
// such a note the position heard at any host time follows: the mixed point less the time still
// to go until it is heard. The clock follows that estimate on the monotonic host clock and is
// pulled onto it gently when a new report moves it: it never goes backwards, never runs past what
// was mixed, and stands at the point the song was started or sought to until the listener hears
// that point, so the picture does not run ahead while the output's buffer fills.
//
// Pure logic: the caller hands in the note and the host time, so tests can script both.
#pragma once

namespace tc {

// The audio thread's note, in song time: the song mixed up to `mixedSeconds`, which the listener
// hears at host time `heardHostSeconds`.
struct HeardNote {
  double mixedSeconds = 0.0;
  double heardHostSeconds = 0.0;
};

// The position a note gives at host time `hostSeconds`: never past what was mixed.
inline double HeardAt(const HeardNote& note, double hostSeconds) {
  const double toGo = note.heardHostSeconds - hostSeconds;
  return note.mixedSeconds - (toGo > 0.0 ? toGo : 0.0);
}

struct SongClock {
  double floorSeconds = 0.0;  // where the song was started or sought to: never read below it
  bool heard = false;         // false until the listener has heard past the floor
  bool started = false;       // false until the first reading after a reset
  double lastHost = 0.0;
  double lastSeconds = 0.0;  // the clock's last reading
};

// A fresh clock for a song (re)started at `songSeconds`.
void ResetSongClock(SongClock& clock, double songSeconds);

// The position heard at host time `hostSeconds`, from the latest note of the song as it is now
// (null while there is none: the clock stays where it is). Call with non-decreasing host times.
double AdvanceSongClock(SongClock& clock, const HeardNote* note, double hostSeconds);

}  // namespace tc
