// The demo's entry procedure, the same on every platform: start-up in a fixed order, the frame
// loop driven by the song clock, and shutdown in a fixed order (docs/how-it-runs.md). It owns
// every object of the run and hands them by reference to the operations; DemoState is the one
// process-wide state.
#include <cstdio>
#include <cstring>
#include <iostream>

#include "app/build_resolution.h"
#include "app/resource_lookup.h"
#include "app/window.h"
#include "audio/music.h"
#include "base/status.h"
#include "base/version.h"
#include "demo/frame.h"
#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "render/render.h"
#include "render/scene_constants.h"

namespace {

// Static storage: holds its initial values from program load on and is never reset.
tc::DemoState gDemoState;

// A start-up failure: one line on standard error, nothing released (the process ends at once).
int FailStartup(const tc::StartupStatus& status) {
  std::fprintf(stderr, "%s\n", status.message);
  return 1;
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
  tc::SceneConstants constants = {};  // all zero: the constant buffer's initial content
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
  status = tc::BuildShaderProgram(device, program);
  if (!status.ok) return FailStartup(status);
  // Last of the loading: the song, and with it the clock, starts only now.
  status = tc::StartMusic(music, resources);
  if (!status.ok) return FailStartup(status);
  tc::BuildShapeTable(table);

  // A close request or Escape that arrived during start-up ends the run before its first frame.
  bool quit = tc::PumpWindowEvents();
  tc::FrameRenderer renderer{device, scene, program, constants};
  while (!quit) {
    const float songSeconds = tc::ReadSongClock(music);
    const tc::FrameEvents events = tc::RunChoreographyFrame(
        state, constants.projectionMatrix, table, songSeconds, std::cout, renderer);
    tc::PresentFrame(device);
    // Window events are handled once per pass, so Escape and a close request take effect after
    // the frame in progress has been presented.
    const bool closed = tc::PumpWindowEvents();
    quit = closed || tc::TimelineEnded(events.timing.beat);
  }

  tc::StopMusic(music);
  tc::ShutdownMusic(music);
  tc::ReleaseShaderProgram(program);
  tc::ReleaseSceneResources(scene);  // ends with the mesh document
  tc::ReleaseRenderDevice(device);   // the pipeline objects, then context and device
  tc::DestroyPresentationWindow(window);
  std::cout.flush();
  return 0;
}
