// The smooth song clock: what the listener hears now, read as often as frames are drawn.
//
// The sound library's cursor only moves when the audio thread has mixed another period (the
// device asks for 200 ms periods, audio/output_device.cpp), so read directly it gives many
// consecutive frames the same time. This clock runs on the monotonic host clock between cursor
// steps and is pulled back onto the cursor gently when the two disagree: it never goes backwards,
// never runs more than one period ahead of the cursor, and stands still while the song does not
// play. The output device's latency is subtracted, so it reads the position being heard rather
// than the one being mixed; and it never reads further from the start than the time since it
// started, which the device's first burst of mixing (it fills its whole buffer at once) would
// otherwise make it do.
//
// Pure logic: the caller hands in the cursor and the host time, so tests can script both.
#pragma once

namespace tc {

// The clock aims this fraction of a period below where a continuously moving cursor would be: on
// the middle of the cursor's staircase rather than its top. Cursor steps come a little early or
// late (PulseAudio mixes 100 ms periods at intervals of 90 to 120 ms); aimed at the top, the clock
// reached the bound a period ahead of the cursor at every late step and stood still there, up to
// 13% of the frames at 10 000 frames per second. A latency measured against this clock takes the
// margin in.
constexpr double kSongClockMarginPeriods = 0.5;

struct SongClockConfig {
  double periodSeconds = 0.010;  // the cursor's step: one period of the output device
  double latencySeconds = 0.0;   // from this clock's aim (mixed) to the listener (heard)
};

struct SongClock {
  SongClockConfig config;
  double floorSeconds = 0.0;  // where the song was started or sought to: never read below it
  bool started = false;       // false until the first reading after a reset
  double anchorCursor = 0.0;  // the cursor as last seen changing, in song seconds
  double anchorHost = 0.0;    // host time at which it took that value (or was first seen at it)
  double startHost = 0.0;     // host time of the first reading: the song is playing from then
  double lastHost = 0.0;
  double lastCursorTime = 0.0;  // the clock's last output, in cursor time (before latency)
};

// A fresh clock for a song (re)started at `songSeconds`; the next reading takes the cursor as is.
void ResetSongClock(SongClock& clock, const SongClockConfig& config, double songSeconds);

// The position heard at host time `hostSeconds`, given the cursor read at that moment and whether
// the song is playing. Call with non-decreasing host times. `cursorSinceHost` is the host time at
// which the cursor took its value, where the audio thread noted it; without it (a negative time)
// the clock dates a step to the reading that first sees it.
double AdvanceSongClock(SongClock& clock, double cursorSeconds, double cursorSinceHost,
                        double hostSeconds, bool playing);
inline double AdvanceSongClock(SongClock& clock, double cursorSeconds, double hostSeconds,
                               bool playing) {
  return AdvanceSongClock(clock, cursorSeconds, -1.0, hostSeconds, playing);
}

}  // namespace tc
