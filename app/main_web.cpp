// The demo's entry procedure on a web page. The start-up, the frame pass and the shutdown are the
// desktop's (app/show.h); what differs is who owns the loop. The browser does: main opens
// everything and returns, the page's click starts the song (a page may only start sound from a
// user's gesture), and each animation frame draws one pass. The song is decoded and its device
// opened before the start button shows, so the click only lets its AudioContext run. The page
// (web/index.html) passes the URL's options as the command line and shows what this reports through
// Module.tc* hooks.
//
// "--still SECONDS" draws the one frame a 60 fps run shows at that time, hands the page its
// picture, and stops: no song, nothing more drawn.
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "app/build_resolution.h"
#include "app/options.h"
#include "app/show.h"
#include "app/start_position.h"
#include "audio/music.h"
#include "base/status.h"
#include "demo/frame.h"
#include "demo/time_value.h"

namespace {

// Static storage, as on the desktop: the one process-wide state of the choreography.
tc::DemoState gDemoState;

// The browser keeps calling into the program after main has returned: the run lives from main's
// first line until the page goes away.
struct WebRun {
  tc::Show show;
  bool open = false;
  bool songLoaded = false;  // StartMusic has run: the song plays as soon as its context runs
  bool started = false;     // the start button was clicked and the song has not ended
  bool playing = false;     // its AudioContext runs and frames are drawn
};
WebRun* gRun = nullptr;

constexpr int kStillFramesPerSecond = 60;

// A start-up failure: its one line in the console and on the page.
void ReportFailure(const char* message) {
  std::fprintf(stderr, "%s\n", message);
  EM_ASM(
      {
        if (Module.tcFailed) Module.tcFailed(UTF8ToString($0));
      },
      message);
}

// The AudioContext of the song's device has started: until it runs, the song does not move.
EM_JS(int, SongContextRunning, (int deviceIndex), {
  const device = window.miniaudio && window.miniaudio.get_device_by_index(deviceIndex);
  return device && device.webaudio && device.webaudio.state == 'running' ? 1 : 0;
});

// Lets the song's AudioContext run; called from the page's click, the gesture a browser asks for.
EM_JS(void, ResumeSongContext, (int deviceIndex), {
  const device = window.miniaudio && window.miniaudio.get_device_by_index(deviceIndex);
  if (device && device.webaudio && device.webaudio.state != 'running') device.webaudio.resume();
});

// One line for each beat a slow frame stepped over, naming this frame's time, before the pass
// prints the beat the frame is in.
void AnnounceSkippedBeats(const tc::DemoState& state, float songSeconds, std::ostream& beatLog) {
  const float beat = tc::BeatAt(songSeconds);
  for (float skipped = state.lastBeat + 1.0f; skipped < beat; skipped += 1.0f) {
    tc::AnnounceBeat(skipped, songSeconds, beatLog);
  }
}

EM_BOOL OnAnimationFrame(double /*time*/, void* userData) {
  WebRun& run = *static_cast<WebRun*>(userData);
  tc::Show& show = run.show;
  if (!SongContextRunning(show.music.output.device.webaudio.deviceIndex)) return EM_TRUE;
  if (!run.playing) {
    run.playing = true;
    EM_ASM({
      if (Module.tcPlaying) Module.tcPlaying();
    });
  }
  const float songSeconds = tc::ShowPictureSeconds(show);
  AnnounceSkippedBeats(gDemoState, songSeconds, std::cout);
  const tc::FrameEvents events = tc::DrawShowFrame(gDemoState, show, songSeconds, std::cout);
  if (!tc::TimelineEnded(events.timing.beat)) return EM_TRUE;
  if (show.options.loop) {
    tc::RestartShow(gDemoState, show);
    return EM_TRUE;
  }
  // The end: the song stops and the page offers to play again. The last frame stays on screen.
  std::cout.flush();
  tc::StopMusic(show.music);
  tc::ShutdownMusic(show.music);
  run.songLoaded = false;
  run.playing = false;
  run.started = false;
  EM_ASM({
    if (Module.tcEnded) Module.tcEnded();
  });
  return EM_FALSE;
}

// Takes "--still SECONDS" (or "--still=SECONDS") out of the command line; the rest is the
// desktop's. False, with the line that says why, when its value is not a time whose frame the
// timeline draws: replaying the choreography up to a time past its end would keep the page busy
// for minutes.
bool TakeStillOption(int& argc, char** argv, bool& still, double& seconds, char* error,
                     size_t errorSize) {
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const char* value = nullptr;
    if (std::strcmp(argv[i], "--still") == 0 && i + 1 < argc) {
      value = argv[++i];
    } else if (std::strncmp(argv[i], "--still=", 8) == 0) {
      value = argv[i] + 8;
    } else {
      argv[kept++] = argv[i];
      continue;
    }
    if (!tc::ParseTimeSeconds("--still", value, seconds, error, errorSize) ||
        !tc::FrameInsideTimeline("--still", seconds, kStillFramesPerSecond, error, errorSize)) {
      return false;
    }
    still = true;
  }
  argc = kept;
  return true;
}

// Draws the frame a fixed 60 fps run shows at `seconds` (the capture tool's --still at 60 fps)
// and hands its picture to the page while the drawing buffer still holds it.
void DrawStill(tc::Show& show, double seconds) {
  tc::DemoState& state = gDemoState;
  const int64_t frame = tc::FirstFrameAtOrAfter(seconds, kStillFramesPerSecond);
  tc::FastForwardStack(show.stack, show.table, state, kStillFramesPerSecond, frame);
  const float songSeconds = tc::FixedRateFrameTime(frame, kStillFramesPerSecond);
  tc::DrawShowFrame(state, show, songSeconds, std::cout);
  EM_ASM(
      {
        if (Module.tcStillDrawn) Module.tcStillDrawn($0);
      },
      static_cast<double>(songSeconds));
}

// Decodes the song and starts it on a device whose AudioContext may still wait for the click.
bool LoadSong(WebRun& run) {
  const tc::StartupStatus status = tc::StartMusic(run.show.music, run.show.resources,
                                                  run.show.startSeconds, run.show.options.mute);
  if (!status.ok) {
    ReportFailure(status.message);
    return false;
  }
  run.songLoaded = true;
  return true;
}

}  // namespace

// The page's start button: called from its click, so the song's AudioContext may start.
extern "C" EMSCRIPTEN_KEEPALIVE int tc_web_start() {
  if (gRun == nullptr || !gRun->open || gRun->started) return 0;
  if (!gRun->songLoaded && !LoadSong(*gRun)) return 0;
  ResumeSongContext(gRun->show.music.output.device.webaudio.deviceIndex);
  gRun->started = true;
  emscripten_request_animation_frame_loop(OnAnimationFrame, gRun);
  return 1;
}

// The page's "play again": a new run from the top, the restart --loop makes. The song was closed
// at the end, so it is opened again (from the top) before the restart seeks it; the restart also
// marks the next frame as a run's first, so the pause before the click never counts as a frame's
// time.
extern "C" EMSCRIPTEN_KEEPALIVE int tc_web_play_again() {
  if (gRun == nullptr || !gRun->open || gRun->started) return 0;
  gRun->show.startSeconds = 0.0;
  if (!gRun->songLoaded && !LoadSong(*gRun)) return 0;
  tc::RestartShow(gDemoState, gRun->show);
  return tc_web_start();
}

// The time between presents as the song clock's reading averages it (app/show.h), for the page's
// tests: a pause between runs must never count as a frame's time.
extern "C" EMSCRIPTEN_KEEPALIVE double tc_web_frame_interval() {
  return gRun != nullptr ? gRun->show.timing.frameInterval : 0.0;
}

int main(int argc, char** argv) {
  bool still = false;
  double stillSeconds = 0.0;
  char stillError[tc::kTimeErrorSize];
  if (!TakeStillOption(argc, argv, still, stillSeconds, stillError, sizeof stillError)) {
    char line[300];
    std::snprintf(line, sizeof line, "zephyrine-web: %s", stillError);
    ReportFailure(line);
    return tc::kExitBadArguments;
  }
  const tc::OptionsResult parsed = tc::ParseOptions(argc, argv);
  if (parsed.action != tc::OptionsAction::Run) {
    char line[300];
    std::snprintf(line, sizeof line, "zephyrine-web: %s",
                  parsed.action == tc::OptionsAction::Fail ? parsed.error : "no such option here");
    ReportFailure(line);
    return tc::kExitBadArguments;
  }

  // Opened once and kept: the browser calls back into it after main returns.
  gRun = new WebRun;
  tc::StackOptions stackOptions;
  stackOptions.resolution = tc::kBuildResolution;
  // A still is the build's picture size; the show follows the page at the device's pixel ratio.
  stackOptions.placement.fullscreen = !still;
  stackOptions.present.fitToWindow = !still;
  tc::StartupStatus status =
      tc::OpenShow(parsed.options, stackOptions, gDemoState, gRun->show, std::cout);
  if (!status.ok) {
    ReportFailure(status.message);
    return 1;
  }
  gRun->open = true;
  if (still) {
    DrawStill(gRun->show, stillSeconds);
    return 0;
  }
  // Everything is loaded before the start button shows: a bad song is reported now, not after
  // the click.
  if (!LoadSong(*gRun)) {
    tc::CloseDrawingStack(gRun->show.stack);
    gRun->open = false;
    return 1;
  }
  EM_ASM({
    if (Module.tcReady) Module.tcReady();
  });
  return 0;
}
