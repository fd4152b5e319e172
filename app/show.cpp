#include "app/show.h"

#include <cstdlib>
#include <ostream>

#include "app/start_position.h"
#include "audio/output_position.h"
#include "base/resource_lookup.h"

namespace tc {
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
  NoteClockRead(show.timing, MonotonicSeconds());
  const float heardSeconds = ReadSongClock(show.music, PictureLeadSeconds(show.timing));
  return OffsetPictureSeconds(heardSeconds, show.options.avOffsetMs, show.startSeconds);
}

FrameEvents DrawShowFrame(DemoState& state, Show& show, float songSeconds, std::ostream& beatLog) {
  FrameRenderer renderer = StackRenderer(show.stack);
  const FrameEvents events = RunChoreographyFrame(state, show.stack.constants.projectionMatrix,
                                                  show.table, songSeconds, beatLog, renderer);
  if (show.timing.firstFrame) WaitUntilSongHeard(show.music, PumpWindowEvents);
  PresentFrame(show.stack.device);
  NotePresented(show.timing, MonotonicSeconds());
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
  RestartPictureTiming(show.timing);
}

void CloseShow(Show& show) {
  StopMusic(show.music);
  ShutdownMusic(show.music);
  CloseDrawingStack(show.stack);
}

}  // namespace tc
