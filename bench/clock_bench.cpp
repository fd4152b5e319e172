// How many frames get a song time of their own: the real frame loop (app/show.h: the picture's
// clock read ahead by the present lead, the first frame held until the song is heard) at 64 x 64,
// where frames are cheapest and a clock that stands still shows most. Reads in one run both the
// sound library's cursor and the picture's time that drives the choreography, and prints the share
// of frames whose time differs from the previous frame's, for each. Run by hand from the
// repository root (it plays the song muted):
//   build/linux/bench/clock_bench [seconds]
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "app/show.h"

namespace {

tc::DemoState gDemoState;

bool Check(const tc::StartupStatus& status) {
  if (!status.ok) std::fprintf(stderr, "clock_bench: %s\n", status.message);
  return status.ok;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
  tc::PlaybackOptions options;
  options.mute = true;
  tc::StackOptions stackOptions;
  stackOptions.resolution = {64, 64};
  std::ostringstream beatLog;  // beat lines are not the point here
  tc::Show show;
  if (!Check(tc::OpenShow(options, stackOptions, gDemoState, show, beatLog))) return 1;
  if (!Check(tc::StartShowMusic(show))) return 1;

  long frames = 0;
  long distinctCursor = 0;
  long distinctClock = 0;
  long counted = 0;
  float lastCursor = -1.0f;
  float lastClock = -1.0f;
  float clock = 0.0f;
  while (clock < seconds && !tc::PumpWindowEvents()) {
    const float cursor = tc::ReadSongCursor(show.music);
    clock = tc::ShowPictureSeconds(show);
    // Counted from the first frame after the song is heard: until then the clock rightly stands
    // at the start (the output's latency), which says nothing about smoothness.
    if (clock > 0.0f) {
      ++counted;
      distinctCursor += cursor != lastCursor;
      distinctClock += clock != lastClock;
    }
    lastCursor = cursor;
    lastClock = clock;
    tc::DrawShowFrame(gDemoState, show, clock, beatLog);
    ++frames;
  }
  tc::CloseShow(show);

  const double pairs = counted > 0 ? static_cast<double>(counted) : 1.0;
  std::printf("clock_bench: %ld frames in %.1f s of song (%.0f per second) at 64x64\n", frames,
              static_cast<double>(clock), static_cast<double>(frames) / static_cast<double>(clock));
  std::printf("  library cursor: %5.1f%% of frames with a time of their own\n",
              100.0 * static_cast<double>(distinctCursor) / pairs);
  std::printf("  picture clock:  %5.1f%% of frames with a time of their own\n",
              100.0 * static_cast<double>(distinctClock) / pairs);
  return 0;
}
