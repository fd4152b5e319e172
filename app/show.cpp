#include "app/show.h"

#include <chrono>
#include <cstdlib>
#include <ostream>
#include <thread>

#include "app/start_position.h"
#include "audio/output_position.h"
#include "base/resource_lookup.h"

namespace tc {
namespace {

// How fast the present lead and the frame interval follow the frames' own times.
constexpr double kPresentLeadWeight = 0.25;

#if !defined(__EMSCRIPTEN__)
// Waits until the listener hears the song's start (or the point a restart sought), pumping window
// events so a close or Escape meanwhile is seen. Gives up after a few seconds (a song that cannot
// start): the frames then show the start until it does.
void WaitUntilSongHeard(MusicPlayer& music) {
  constexpr int kMaxWaitMilliseconds = 3000;
  for (int waited = 0; waited < kMaxWaitMilliseconds; ++waited) {
    if (PumpWindowEvents() || SongHeard(music)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}
#endif

}  // namespace

StartupStatus OpenShow(const PlaybackOptions& options, const StackOptions& stackOptions,
                       DemoState& state, Show& show, std::ostream& beatLog) {
  show.options = options;
  // Before the window: a run that cannot find its files ends without one flashing up.
  StartupStatus status = FindResourceFolder(show.resources);
  if (!status.ok) return status;
  // A failed step has released what the steps before it made, in the order of shutdown.
  status = OpenDrawingStack(stackOptions, show.resources, show.stack);
  if (!status.ok) return status;
  BuildShapeTable(show.table);
  // A late start replays the choreography up to the start before the song (and with it the
  // clock) runs, and binds the texture the replayed frames cycled to.
  show.startSeconds = options.startSeconds;
  if (show.startSeconds > 0.0) {
    ReplayToStart(state, show.stack.constants.projectionMatrix, show.table, show.startSeconds,
                  beatLog);
    beatLog.flush();
    BindCubeTexture(show.stack.device, show.stack.scene, state.textureIndex);
  }
  return StartupOk();
}

StartupStatus StartShowMusic(Show& show) {
  const StartupStatus status =
      StartMusic(show.music, show.resources, show.startSeconds, show.options.mute);
  if (!status.ok) CloseDrawingStack(show.stack);
  return status;
}

float ShowPictureSeconds(Show& show) {
  show.clockReadAt = MonotonicSeconds();
  const float heardSeconds =
      ReadSongClock(show.music, show.presentLead + 0.5 * show.frameInterval);
  const double offsetSeconds = show.options.avOffsetMs / 1000.0;
  if (offsetSeconds == 0.0) return heardSeconds;
  const double shifted = static_cast<double>(heardSeconds) - offsetSeconds;
  return static_cast<float>(shifted < show.startSeconds ? show.startSeconds : shifted);
}

FrameEvents DrawShowFrame(DemoState& state, Show& show, float songSeconds, std::ostream& beatLog) {
  FrameRenderer renderer = StackRenderer(show.stack);
  const FrameEvents events = RunChoreographyFrame(state, show.stack.constants.projectionMatrix,
                                                  show.table, songSeconds, beatLog, renderer);
#if !defined(__EMSCRIPTEN__)
  if (show.firstFrame) WaitUntilSongHeard(show.music);
#endif
  PresentFrame(show.stack.device);
  const double presentedAt = MonotonicSeconds();
  if (!show.firstFrame) {
    show.presentLead += kPresentLeadWeight * (presentedAt - show.clockReadAt - show.presentLead);
    show.frameInterval +=
        kPresentLeadWeight * (presentedAt - show.presentedAt - show.frameInterval);
  }
  show.presentedAt = presentedAt;
  show.firstFrame = false;
  // Each beat line reaches a pipe or file as it happens: one write per beat.
  if (events.newBeat) beatLog.flush();
  return events;
}

void RestartShow(DemoState& state, Show& show) {
  show.startSeconds = 0.0;
  SeekSong(show.music, 0.0);
  state = DemoState{};
  std::srand(1);
  show.stack.constants = SceneConstants{};
  BindCubeTexture(show.stack.device, show.stack.scene, state.textureIndex);
  show.firstFrame = true;
}

void CloseShow(Show& show) {
  StopMusic(show.music);
  ShutdownMusic(show.music);
  CloseDrawingStack(show.stack);
}

}  // namespace tc
