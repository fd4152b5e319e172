// The demo's entry procedure, the same on every platform: the command line first, start-up in a
// fixed order, the frame loop driven by the song clock, and shutdown in a fixed order
// (docs/how-it-runs.md). It owns every object of the run and hands them by reference to the
// operations; DemoState is the one process-wide state.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <thread>

#include "app/build_resolution.h"
#include "app/options.h"
#include "app/start_position.h"
#include "audio/music.h"
#include "base/resource_lookup.h"
#include "base/status.h"
#include "base/version.h"
#include "base/window.h"
#include "demo/frame.h"
#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "render/stack.h"

namespace {

// Static storage: holds its initial values from program load on. Only --loop ever resets it, when
// the show starts over: each pass is a new run.
tc::DemoState gDemoState;

// A start-up failure before anything was made: one line on standard error.
int FailStartup(const tc::StartupStatus& status) {
  std::fprintf(stderr, "%s\n", status.message);
  return 1;
}

const char* ProgramName(const char* argv0) {
  if (argv0 == nullptr || *argv0 == '\0') return "zephyrine";
  const char* slash = std::strrchr(argv0, '/');
  const char* backslash = std::strrchr(argv0, '\\');
  if (backslash != nullptr && (slash == nullptr || backslash > slash)) slash = backslash;
  return slash != nullptr ? slash + 1 : argv0;
}

// The picture's time for a heard song time: a positive offset shows the picture later than the
// sound. It never reads before the point the song (re)started from.
float PictureSeconds(float heardSeconds, double offsetSeconds, double startSeconds) {
  if (offsetSeconds == 0.0) return heardSeconds;
  const double shifted = static_cast<double>(heardSeconds) - offsetSeconds;
  return static_cast<float>(shifted < startSeconds ? startSeconds : shifted);
}

// Waits until the listener hears the song's start (or the point a restart sought), pumping window
// events; true when a close request or Escape came meanwhile. Gives up after a few seconds (a song
// that cannot start): the frames then show the start until it does.
bool WaitUntilSongHeard(tc::MusicPlayer& music) {
  constexpr int kMaxWaitMilliseconds = 3000;
  for (int waited = 0; waited < kMaxWaitMilliseconds; ++waited) {
    if (tc::PumpWindowEvents()) return true;
    if (tc::SongHeard(music)) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return tc::PumpWindowEvents();
}

}  // namespace

int main(int argc, char** argv) {
  const tc::OptionsResult parsed = tc::ParseOptions(argc, argv);
  switch (parsed.action) {
    case tc::OptionsAction::PrintHelp:
      std::fputs(tc::UsageText(), stdout);
      return 0;
    case tc::OptionsAction::PrintVersion:
      std::printf("zephyrine-%d %s\n", tc::kBuildResolution.height, TC_VERSION);
      return 0;
    case tc::OptionsAction::Fail:
      std::fprintf(stderr, "%s: %s\n", ProgramName(argv[0]), parsed.error);
      return tc::kExitBadArguments;
    case tc::OptionsAction::Run:
      break;
  }
  const tc::PlaybackOptions& options = parsed.options;
  tc::StartupStatus status = tc::CheckDisplayIndex(options.display);
  if (!status.ok) {
    std::fprintf(stderr, "%s: %s\n", ProgramName(argv[0]), status.message);
    return tc::kExitBadArguments;
  }

  tc::DemoState& state = gDemoState;
  const tc::Resolution resolution = tc::kBuildResolution;
  const double avOffsetSeconds = options.avOffsetMs / 1000.0;

  // The window, the device, the scene and the shader, opened and closed as one.
  tc::DrawingStack stack;
  // The audio library's threads keep pointers into the player: it stays here, at one address,
  // until main returns.
  tc::MusicPlayer music;
  tc::ShapeTable table;
  tc::ResourcePaths resources;

  // Before the window: a run that cannot find its files ends without one flashing up.
  status = tc::FindResourceFolder(resources);
  if (!status.ok) return FailStartup(status);
  tc::StackOptions stackOptions;
  stackOptions.resolution = resolution;
  stackOptions.placement.fullscreen = options.fullscreen;
  stackOptions.placement.display = options.display;
  stackOptions.present.fitToWindow = options.fullscreen;
  stackOptions.present.vsync = options.vsync;
  // A failed step has released what the steps before it made, in the order of shutdown.
  status = tc::OpenDrawingStack(stackOptions, resources, stack);
  if (!status.ok) return FailStartup(status);
  tc::SceneConstants& constants = stack.constants;
  tc::BuildShapeTable(table);
  // A late start replays the choreography up to the start before the song (and with it the
  // clock) runs, and binds the texture the replayed frames cycled to.
  double startSeconds = options.startSeconds;
  if (startSeconds > 0.0) {
    tc::ReplayToStart(state, constants.projectionMatrix, table, startSeconds, std::cout);
    std::cout.flush();
    tc::BindCubeTexture(stack.device, stack.scene, state.textureIndex);
  }
  // Last of the loading: the song, and with it the clock, starts only now.
  status = tc::StartMusic(music, resources, startSeconds, options.mute);
  if (!status.ok) {
    const int exitCode = FailStartup(status);
    tc::CloseDrawingStack(stack);
    return exitCode;
  }

  // A close request or Escape that arrived during start-up ends the run before its first frame.
  bool quit = tc::PumpWindowEvents();
  tc::FrameRenderer renderer = tc::StackRenderer(stack);
  // From reading the clock to presenting the frame, averaged over the last few frames.
  constexpr double kPresentLeadWeight = 0.25;
  double presentLead = 0.0;
  // The first frame of a run shows the song's start: drawn while the output's buffer fills, it
  // is presented when the listener hears the start.
  bool firstFrame = true;
  while (!quit) {
    // The frame shows what is heard when it reaches the screen: the clock is read that far ahead,
    // going by how long the last frames took from reading it to presenting.
    const double readAt = tc::MonotonicSeconds();
    const float heardSeconds = tc::ReadSongClock(music, presentLead);
    const float songSeconds = PictureSeconds(heardSeconds, avOffsetSeconds, startSeconds);
    const tc::FrameEvents events = tc::RunChoreographyFrame(
        state, constants.projectionMatrix, table, songSeconds, std::cout, renderer);
    if (firstFrame && WaitUntilSongHeard(music)) break;
    tc::PresentFrame(stack.device);
    if (!firstFrame) {
      presentLead += kPresentLeadWeight * (tc::MonotonicSeconds() - readAt - presentLead);
    }
    firstFrame = false;
    // Each beat line reaches a pipe or file as it happens: one write per beat.
    if (events.newBeat) std::cout.flush();
    // Window events are handled once per pass, so Escape and a close request take effect after
    // the frame in progress has been presented.
    const bool closed = tc::PumpWindowEvents();
    const bool ended = tc::TimelineEnded(events.timing.beat);
    if (ended && options.loop && !closed) {
      // A new run from the top: the song from 0, a fresh DemoState, the random sequence and the
      // constants as a new process has them, and texture 0 bound again.
      startSeconds = 0.0;
      tc::SeekSong(music, 0.0);
      state = tc::DemoState{};
      std::srand(1);
      constants = tc::SceneConstants{};
      tc::BindCubeTexture(stack.device, stack.scene, state.textureIndex);
      firstFrame = true;
      quit = false;
    } else {
      quit = closed || ended;
    }
  }

  tc::StopMusic(music);
  tc::ShutdownMusic(music);
  tc::CloseDrawingStack(stack);
  std::cout.flush();
  return 0;
}
