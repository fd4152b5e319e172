// The demo's entry procedure, the same on every platform: the command line first, start-up in a
// fixed order, the frame loop driven by the song clock, and shutdown in a fixed order
// (docs/how-it-runs.md). It owns every object of the run and hands them by reference to the
// operations; DemoState is the one process-wide state.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/build_resolution.h"
#include "app/options.h"
#include "app/show.h"
#include "base/status.h"
#include "base/version.h"
#include "base/window.h"

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
  // A well-formed index the machine has no display for is a start-up failure, like having no
  // display at all: the command line was fine, the machine was not.
  tc::StartupStatus status = tc::CheckDisplayIndex(options.display);
  if (!status.ok) {
    std::fprintf(stderr, "%s: %s\n", ProgramName(argv[0]), status.message);
    return 1;
  }

  tc::DemoState& state = gDemoState;
  tc::StackOptions stackOptions;
  stackOptions.resolution = tc::kBuildResolution;
  stackOptions.placement.fullscreen = options.fullscreen;
  stackOptions.placement.display = options.display;
  stackOptions.present.fitToWindow = options.fullscreen;
  stackOptions.present.vsync = options.vsync;

  // The files, the window, the device, the scene, the shader, the shape table and a late start's
  // replay; then the song, and with it the clock.
  tc::Show show;
  status = tc::OpenShow(options, stackOptions, state, show, std::cout);
  if (!status.ok) return FailStartup(status);
  status = tc::StartShowMusic(show);
  if (!status.ok) return FailStartup(status);

  // A close request or Escape that arrived during start-up ends the run before its first frame.
  bool quit = tc::PumpWindowEvents();
  while (!quit) {
    const float songSeconds = tc::ShowPictureSeconds(show);
    const tc::FrameEvents events = tc::DrawShowFrame(state, show, songSeconds, std::cout);
    // Window events are handled once per pass, so Escape and a close request take effect after
    // the frame in progress has been presented.
    const bool closed = tc::PumpWindowEvents();
    const bool ended = tc::TimelineEnded(events.timing.beat);
    if (ended && options.loop && !closed) {
      tc::RestartShow(state, show);
      quit = false;
    } else {
      quit = closed || ended;
    }
  }

  // Cubes drawn with another cube's constants spoil the picture without stopping the show: said
  // once, when it is over.
  const tc::StartupStatus drawn = tc::DrawFailures(show.stack.device);
  tc::CloseShow(show);
  std::cout.flush();
  if (!drawn.ok) std::fprintf(stderr, "%s: %s\n", ProgramName(argv[0]), drawn.message);
  return 0;
}
