// How many frames get a song time of their own: the real frame loop at 64 x 64 (where frames are
// cheapest and a clock that stands still shows most), reading in one run both the sound library's
// cursor and the smooth song clock, the latter driving the choreography as in the demo. Prints
// the share of frames whose time differs from the previous frame's, for each. Run by hand from
// the repository root (it plays the song muted):
//   build/linux/bench/clock_bench [seconds]
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "audio/music.h"
#include "demo/frame.h"
#include "render/stack.h"

namespace {

tc::DemoState gDemoState;

bool Check(const tc::StartupStatus& status) {
  if (!status.ok) std::fprintf(stderr, "clock_bench: %s\n", status.message);
  return status.ok;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
  const tc::Resolution resolution = {64, 64};
  tc::DrawingStack stack;
  tc::MusicPlayer music;
  tc::ShapeTable table;
  tc::ResourcePaths resources;
  tc::SetResourceFolder(tc::kWorkingDirectoryResources, resources);
  tc::StackOptions options;
  options.resolution = resolution;
  if (!Check(tc::OpenDrawingStack(options, resources, stack))) return 1;
  tc::BuildShapeTable(table);
  if (!Check(tc::StartMusic(music, resources, 0.0, true))) {
    tc::CloseDrawingStack(stack);
    return 1;
  }

  std::ostringstream beatLog;  // beat lines are not the point here
  tc::FrameRenderer renderer = tc::StackRenderer(stack);
  long frames = 0;
  long distinctCursor = 0;
  long distinctClock = 0;
  long counted = 0;
  float lastCursor = -1.0f;
  float lastClock = -1.0f;
  float clock = 0.0f;
  while (clock < seconds && !tc::PumpWindowEvents()) {
    const float cursor = tc::ReadSongCursor(music);
    clock = tc::ReadSongClock(music);
    // Counted from the first frame after the song is heard: until then the clock rightly stands
    // at the start (the output's latency), which says nothing about smoothness.
    if (clock > 0.0f) {
      ++counted;
      distinctCursor += cursor != lastCursor;
      distinctClock += clock != lastClock;
    }
    lastCursor = cursor;
    lastClock = clock;
    tc::RunChoreographyFrame(gDemoState, stack.constants.projectionMatrix, table, clock, beatLog,
                             renderer);
    tc::PresentFrame(stack.device);
    ++frames;
  }
  tc::StopMusic(music);
  tc::ShutdownMusic(music);
  tc::CloseDrawingStack(stack);

  const double pairs = counted > 0 ? static_cast<double>(counted) : 1.0;
  std::printf("clock_bench: %ld frames in %.1f s of song (%.0f per second) at 64x64\n", frames,
              static_cast<double>(clock), static_cast<double>(frames) / static_cast<double>(clock));
  std::printf("  library cursor: %5.1f%% of frames with a time of their own\n",
              100.0 * static_cast<double>(distinctCursor) / pairs);
  std::printf("  smooth clock:   %5.1f%% of frames with a time of their own\n",
              100.0 * static_cast<double>(distinctClock) / pairs);
  return 0;
}
