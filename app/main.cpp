// The demo's entry procedure, the same on every platform: start-up in a fixed order, the frame
// loop driven by the song clock, and shutdown in a fixed order. It owns every object of the run
// and hands them by reference to the operations; DemoState is the one process-wide state.
#include <cstdio>
#include <cstring>
#include <iostream>

#include "app/resolution.h"
#include "app/resource_lookup.h"
#include "app/status.h"
#include "app/window.h"
#include "audio/music.h"
#include "base/version.h"
#include "demo/frame.h"
#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "demo/transform.h"
#include "render/render.h"

namespace {

// Static storage: holds its initial values from program load on and is never reset.
tc::DemoState gDemoState;

// A start-up failure: one line on standard error, nothing released, the step's exit code.
int FailStartup(const tc::StartupStatus& status) {
  std::fprintf(stderr, "%s\n", status.message);
  return status.exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  tc::DemoState& state = gDemoState;
  const tc::Resolution resolution = tc::kBuildResolution;
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("zephyrine-%d %s\n", resolution.height, TC_VERSION);
    return 0;
  }

  tc::WindowHandle window = nullptr;
  tc::RenderDevice device;
  tc::SceneResources scene;
  tc::ShaderProgram program;
  // The audio library's threads keep pointers into the player: it stays here, at one address,
  // until main returns.
  tc::MusicPlayer music;
  tc::SceneConstants constants = {};  // all zero: the uniform buffer's initial content
  tc::ShapeTable table;
  tc::ResourcePaths resources;

  // Before the window: a run that cannot find its files ends without one flashing up.
  tc::StartupStatus status = tc::FindResourceFolder(resources);
  if (!status.ok) return FailStartup(status);
  status = tc::CreatePresentationWindow(resolution, window);
  if (!status.ok) return FailStartup(status);
  status = tc::CreateRenderDevice(window, resolution, device);
  if (!status.ok) return FailStartup(status);
  status = tc::LoadSceneResources(device, constants, resources, scene);
  if (!status.ok) return FailStartup(status);
  status = tc::BuildShaderProgram(device, resolution, program);
  if (!status.ok) return FailStartup(status);
  // Last of the loading: the song, and with it the clock, starts only now.
  status = tc::StartMusic(music, resources);
  if (!status.ok) return FailStartup(status);
  tc::BuildShapeTable(table);

  // A close request or Escape that arrived during start-up ends the run before its first frame.
  tc::PumpWindowEvents(state);
  if (!state.quitRequested) {
    tc::FrameRenderer renderer{device, scene, program, constants, state};
    for (;;) {
      const float songSeconds = tc::ReadSongClock(music);
      const tc::FrameEvents events =
          tc::RunChoreographyFrame(state, constants, table, songSeconds, std::cout, renderer);
      tc::PresentFrame(device);
      if (tc::TimelineEnded(events.timing.beat)) state.quitRequested = true;
      // Window events are handled once per pass, so Escape and a close request take effect
      // after the frame in progress has been presented.
      tc::PumpWindowEvents(state);
      if (state.quitRequested) break;
    }
  }

  tc::StopMusic(music);
  tc::ShutdownMusic(music);
  tc::ReleaseRenderObjects(device, scene, program);  // ends with the mesh document
  tc::ReleaseRenderDevice(device);
  tc::DestroyPresentationWindow(window);
  std::cout.flush();
  return 0;
}
