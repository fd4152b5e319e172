// The pieces of the entry procedure that every platform runs the same way: start-up in its fixed
// order, one pass of the frame loop, and shutdown in its fixed order. The desktop main calls them
// from its own loop; the page (main_web.cpp) calls the frame pass from the browser's animation
// frames, because a page may not keep the thread.
#pragma once

#include <iosfwd>

#include "app/options.h"
#include "audio/music.h"
#include "audio/picture_timing.h"
#include "base/resolution.h"
#include "base/resource_paths.h"
#include "base/status.h"
#include "demo/frame.h"
#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "render/stack.h"

namespace tc {

// Everything one run owns. The audio library's threads keep pointers into the player: a Show
// stays at one address from OpenShow until CloseShow.
struct Show {
  PlaybackOptions options;
  DrawingStack stack;
  MusicPlayer music;
  ShapeTable table;
  ResourcePaths resources;
  // Where the song (re)started: the picture never reads before it.
  double startSeconds = 0.0;
  // When each frame's picture is seen, and the first frame's wait (audio/picture_timing.h).
  PictureTiming timing;
};

// Finds the files, opens the drawing stack, builds the shape table and replays a late start up to
// options.startSeconds (its beat line goes to `beatLog`). A failure has released what was made.
StartupStatus OpenShow(const PlaybackOptions& options, const StackOptions& stackOptions,
                       DemoState& state, Show& show, std::ostream& beatLog);

// Last of the loading: the song, and with it the clock, starts only now. A failure closes the
// drawing stack as well.
StartupStatus StartShowMusic(Show& show);

// The picture's time for what the listener hears when this frame reaches the screen: a positive
// offset shows the picture later than the sound. It never reads before the point the song
// (re)started from.
float ShowPictureSeconds(Show& show);

// One frame at `songSeconds`: the choreography's pass, presented, and its beat line (if any)
// handed to `beatLog` at once. A run's first frame is held until its start is heard (not on a
// page, which may not block: there the audio starts with the show).
FrameEvents DrawShowFrame(DemoState& state, Show& show, float songSeconds, std::ostream& beatLog);

// A new run from the top: the song from 0, a fresh DemoState, the random sequence and the
// constants as a new process has them, and texture 0 bound again.
void RestartShow(DemoState& state, Show& show);

// Stops the song, then releases the music and the drawing stack.
void CloseShow(Show& show);

}  // namespace tc
