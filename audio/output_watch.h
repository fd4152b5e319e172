// The output's watch: a thread of its own that notices when the output stops taking sound (a
// sound server that died or restarted, a stream that failed, a sink suspended for good, a device
// the backend stopped without being asked) and opens it again, with a fresh context, on whatever
// default output is there, for as long as the show runs. Opening can take a server's round trips
// or fail outright, so none of it happens on the frame thread: meanwhile the song clock goes on
// at the wall's pace (audio/song_clock.h), and the frame thread seeks the song to the show's
// position when the new device takes sound.
//
// One line on standard error for each change a viewer would want to know about, at most one a
// second.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tc {

struct MusicPlayer;

// At most one line a second: a line that comes sooner waits, and a later one replaces it.
struct EventLines {
  double lastSaidAt = -1e9;
  char pending[256] = {};
  bool hasPending = false;
};

// Says `text` now if a second has passed since the last line, else keeps it for later; true when
// it went out.
bool SayEvent(EventLines& lines, double nowSeconds, const char* text);
// Says a kept line once its second has come; true when it went out.
bool FlushEvent(EventLines& lines, double nowSeconds);

// How long an output may go without taking a mix before it counts as lost, for `periodSeconds`
// periods: well past any scheduling stall of a real-time audio thread, and past a server's own
// rerouting to another device, which stops and restarts the stream by itself.
inline double LostAfterSeconds(double periodSeconds) {
  const double periods = 4.0 * periodSeconds;
  return periods > 0.75 ? periods : 0.75;
}

// Whether an output last mixed at `lastMixSeconds`, started at `startedSeconds`, is lost at
// `nowSeconds`.
inline bool OutputLost(double lastMixSeconds, double startedSeconds, double nowSeconds,
                       double lostAfterSeconds) {
  const double since = lastMixSeconds > startedSeconds ? lastMixSeconds : startedSeconds;
  return nowSeconds - since > lostAfterSeconds;
}

struct OutputWatch {
  std::thread thread;
  std::mutex mutex;
  std::condition_variable wake;
  bool stopping = false;
  bool running = false;
  double lostAfterSeconds = 0.75;
  EventLines lines;
};

// After the device has started; nothing is watched on the silent Null device, which cannot be
// lost, nor on a page, which has no threads.
void StartOutputWatch(MusicPlayer& player);
// Before the device is stopped: ends the watch, whatever it was doing, and joins it.
void StopOutputWatch(MusicPlayer& player);

}  // namespace tc
