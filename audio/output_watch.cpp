#include "audio/output_watch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>

#include "audio/music.h"

namespace tc {

// A page has no threads to watch from.
#if !defined(__EMSCRIPTEN__)
namespace {

// How often the watch looks, and how soon a failed open is tried again: a restarted server is
// found within a tenth of a second of its start. While the frame thread seeks the song for a
// device about to start, the watch looks far more often: the seek reckons with a prompt start.
constexpr auto kLookInterval = std::chrono::milliseconds(100);
constexpr auto kSeekLookInterval = std::chrono::milliseconds(2);
constexpr double kRetrySeconds = 0.1;
// A reopened device takes its first mix after its start within a period or two where its server
// plays it; one that does not (a sink suspended) is tried anew, but not before a server that has
// just started runs its sinks: PulseAudio's take about 1.8 s.
constexpr double kFirstMixSeconds = 2.5;
// A started device whose server asks for nothing for this long is playing into a sink that was
// not running: what it was given first is stale by the time it is heard.
constexpr double kStaleStartSeconds = 0.3;

void Say(EventLines& lines, const char* format, const char* what) {
  char text[sizeof lines.pending];
  std::snprintf(text, sizeof text, format, what);
  SayEvent(lines, MonotonicSeconds(), text);
}

// The watch's own record of the output it looks after.
struct Watched {
  double startedAt = 0.0;     // the device's latest start
  double nextOpenAt = 0.0;    // when no device is open: the next try
  bool lost = false;          // since the last "lost" line, no "back" line yet
  bool awaitingSeek = false;  // a reopened device, not started until the song is sought
  bool awaitingMix = false;   // a reopened device, started, not yet taking sound
};

void CloseLost(MusicPlayer& player, Watched& watched) {
  char what[192];
  DescribeOutputDevice(player.output, what, sizeof what);
  if (!watched.lost)
    Say(player.watch.lines, "sound output lost: %s; the show goes on silently", what);
  watched.lost = true;
  player.handoff.playing.store(false, std::memory_order_release);
  watched.awaitingSeek = false;
  watched.awaitingMix = false;
  // The device's thread has stopped mixing, or mixes into nothing: stopping it ends that thread.
  if (player.output.deviceReady) ma_device_stop(&player.output.device);
  CloseOutputPosition(player.position);
  CloseOutputDevice(player.output);
  watched.nextOpenAt = MonotonicSeconds();
}

// Opens the default output again; the frame thread then seeks the song to where the show will be
// when the device starts, and the device starts at once after.
void TryOpen(MusicPlayer& player, Watched& watched) {
  const StartupStatus status = ReopenOutputDevice(player.output, player.request);
  if (!status.ok) {
    watched.nextOpenAt = MonotonicSeconds() + kRetrySeconds;
    return;
  }
  OpenOutputPosition(player.position, player.output.device, player.handoff.stamp);
  player.handoff.reopened.store(true, std::memory_order_release);
  watched.awaitingSeek = true;
}

void StartReopened(MusicPlayer& player, Watched& watched) {
  watched.awaitingSeek = false;
  // The old device's own stop, on closing it, is no news about the new one.
  player.handoff.stopped.store(false, std::memory_order_release);
  if (ma_device_start(&player.output.device) != MA_SUCCESS) {
    CloseOutputPosition(player.position);
    CloseOutputDevice(player.output);
    watched.nextOpenAt = MonotonicSeconds() + kRetrySeconds;
    return;
  }
  watched.startedAt = MonotonicSeconds();
  watched.awaitingMix = true;
}

void LookOnce(MusicPlayer& player, Watched& watched) {
  const double now = MonotonicSeconds();
  if (watched.awaitingSeek) {
    if (!player.handoff.reopened.load(std::memory_order_acquire)) StartReopened(player, watched);
  } else if (player.output.deviceReady) {
    const double lastMix = player.handoff.stamp.lastMixHost.load(std::memory_order_acquire);
    const double firstMixWait = std::max(kFirstMixSeconds, player.watch.lostAfterSeconds);
    if (watched.awaitingMix && lastMix > watched.startedAt) {
      // The new device takes sound (its first mixes, inside the start, fill its buffer). Where it
      // began only well after its start (a sink that was suspended), what it held is stale.
      watched.awaitingMix = false;
      if (lastMix - watched.startedAt > kStaleStartSeconds) {
        player.handoff.resync.store(true, std::memory_order_release);
      }
      player.handoff.playing.store(true, std::memory_order_release);
      if (watched.lost) {
        char what[192];
        DescribeOutputDevice(player.output, what, sizeof what);
        Say(player.watch.lines, "sound output back: %s", what);
        watched.lost = false;
      }
    } else if (player.handoff.stopped.exchange(false, std::memory_order_acq_rel) ||
               OutputLost(lastMix, watched.startedAt, now,
                          watched.awaitingMix ? firstMixWait : player.watch.lostAfterSeconds)) {
      CloseLost(player, watched);
    }
  }
  if (!player.output.deviceReady && MonotonicSeconds() >= watched.nextOpenAt) {
    TryOpen(player, watched);
  }
  FlushEvent(player.watch.lines, MonotonicSeconds());
}

void Watch(MusicPlayer& player) {
  OutputWatch& watch = player.watch;
  Watched watched;
  watched.startedAt = MonotonicSeconds();
  std::unique_lock<std::mutex> lock(watch.mutex);
  while (!watch.stopping) {
    watch.wake.wait_for(lock, watched.awaitingSeek ? kSeekLookInterval : kLookInterval);
    if (watch.stopping) break;
    lock.unlock();
    LookOnce(player, watched);
    lock.lock();
  }
}

}  // namespace
#endif

bool SayEvent(EventLines& lines, double nowSeconds, const char* text) {
  std::snprintf(lines.pending, sizeof lines.pending, "%s", text);
  lines.hasPending = true;
  return FlushEvent(lines, nowSeconds);
}

bool FlushEvent(EventLines& lines, double nowSeconds) {
  if (!lines.hasPending || nowSeconds - lines.lastSaidAt < 1.0) return false;
  std::fprintf(stderr, "%s\n", lines.pending);
  std::fflush(stderr);
  lines.hasPending = false;
  lines.lastSaidAt = nowSeconds;
  return true;
}

void StartOutputWatch(MusicPlayer& player) {
#if defined(__EMSCRIPTEN__)
  (void)player;
#else
  if (player.output.backend == ma_backend_null) return;
  OutputWatch& watch = player.watch;
  watch.stopping = false;
  watch.lostAfterSeconds = LostAfterSeconds(player.position.periodSeconds);
  watch.thread = std::thread(Watch, std::ref(player));
  watch.running = true;
#endif
}

void StopOutputWatch(MusicPlayer& player) {
  OutputWatch& watch = player.watch;
  if (!watch.running) return;
  {
    const std::lock_guard<std::mutex> lock(watch.mutex);
    watch.stopping = true;
  }
  watch.wake.notify_all();
  watch.thread.join();
  watch.running = false;
}

}  // namespace tc
