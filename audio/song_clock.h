// The smooth song clock: what the listener hears now, read as often as frames are drawn.
//
// After each mix the audio thread notes how far the song has been mixed and when the listener
// will hear that point, as the output device itself reports it (audio/output_position.h). From
// such a note the position heard at any host time follows: the mixed point less the time still
// to go until it is heard. The clock follows that estimate on the monotonic host clock and is
// pulled onto it gently when a new report moves it: it never goes backwards, and stands at the
// point the song was started or sought to until the listener hears that point, so the picture
// does not run ahead while the output's buffer fills.
//
// The clock never waits for the output. A note goes stale once the host time passes the moment
// its mixed point is heard by more than the output's report can explain: the sink has then
// played everything it was given (a dead server, a suspended sink, a stream being moved). From
// there the clock goes on from its last reading at the wall's pace, and hands back to the heard
// position, gently again, when fresh notes come.
//
// Pure logic: the caller hands in the note and the host time, so tests can script both.
#pragma once

#include <limits>

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

// How long past the heard time of its mixed point a note still holds, for an output that mixes
// in periods of `periodSeconds`. A healthy output mixes again within a period, long before the
// listener reaches the end of what it mixed (a server's buffer is several periods); a report can
// place that end early by up to a graph's quantum (46 ms at 2048 frames) and lag a period behind
// the mix it dates. Two periods and the quantum cover both: past that the output has run dry.
inline double NoteLifetimeSeconds(double periodSeconds) {
  return 2.0 * periodSeconds + 0.05;
}

// A disagreement between the heard position and the clock this large is no report's jitter (a
// millisecond on PulseAudio, half a quantum on PipeWire), but a sound that went elsewhere in the
// song: a stream moved (the server replays or drops what the old sink held), resumed with stale
// sound, an output reopened, an underrun of more than a couple of periods. The song is then
// sought to the show's position rather than the picture pulled to the song's, so the show keeps
// the wall's pace.
constexpr double kSongAdriftSeconds = 0.1;

struct SongClock {
  double floorSeconds = 0.0;  // where the song was started or sought to: never read below it
  double endSeconds = std::numeric_limits<double>::infinity();  // the song's length
  double noteLifetimeSeconds = NoteLifetimeSeconds(0.05);
  bool heard = false;        // false until the listener has heard past the floor
  bool started = false;      // false until the first reading after a reset
  bool freeRunning = false;  // the last reading went on at the wall's pace, without the output
  double startHost = 0.0;    // the first reading's host time
  double lastHost = 0.0;
  double lastSeconds = 0.0;  // the clock's last reading
};

// How long a (re)started song may go without any note before the clock starts without it: the
// first mix of a started output comes at once, and after a seek within a period or two.
constexpr double kFirstNoteWaitSeconds = 1.0;

// A fresh clock for a song (re)started at `songSeconds`; the song's length and the output's note
// lifetime carry over.
void ResetSongClock(SongClock& clock, double songSeconds);

// The position heard at host time `hostSeconds`, from the latest note of the song as it is now
// (null while there is none). Call with non-decreasing host times.
double AdvanceSongClock(SongClock& clock, const HeardNote* note, double hostSeconds);

// Where to seek the song so that the first frame of the next mix, heard at host time
// `nextHeardHost`, carries what the clock will read then; `readingHost`: the host time of the
// clock's last reading.
inline double SongSeekTarget(const SongClock& clock, double readingHost, double nextHeardHost) {
  return clock.lastSeconds + (nextHeardHost - readingHost);
}

// When the first frame of the next mix is heard: right after what the latest mix, at host time
// `lastMixHost`, left `queuedSeconds` to be heard; no earlier than `nowSeconds`, where the output
// has played all it was given. (The seek is read by the next mix, up to a period after `now`,
// but lands behind what that mix's predecessors hold, so the wait is counted from the mix.)
inline double NextMixHeardHost(double lastMixHost, double queuedSeconds, double nowSeconds) {
  const double heard = lastMixHost + queuedSeconds;
  return heard > nowSeconds ? heard : nowSeconds;
}

// Whether a fresh note's heard position and the clock's last reading (both at `hostSeconds`)
// have parted by more than kSongAdriftSeconds, once the song is heard and before its end.
bool SongAdrift(const SongClock& clock, const HeardNote& note, double hostSeconds);

}  // namespace tc
