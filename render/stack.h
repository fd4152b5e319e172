// The drawing stack: the presentation window, the render device on it, the scene resources and the
// shader program, opened in that order and closed in the reverse order of use. Every program that
// draws (the demo, the capture tool, the benchmarks, the tests' helpers) opens it here, so
// start-up, its one-line diagnostics and the release order exist once.
//
//   OpenDrawingStack    CreatePresentationWindow  (base/window.h, app/window_*.cpp)
//                       CreateRenderDevice        (render/<backend>/device.cpp)
//                       LoadSceneResources        (render/<backend>/scene.cpp)
//                       BuildShaderProgram        (render/<backend>/shader.cpp)
//   per frame           StackRenderer(stack) hands the frame pass (demo/frame.h) its draw verbs;
//                       PresentFrame (render.h) shows the frame
//   CloseDrawingStack   ReleaseShaderProgram, ReleaseSceneResources (ends with the mesh document),
//                       ReleaseRenderDevice, DestroyPresentationWindow
#pragma once

#include "base/resolution.h"
#include "base/resource_paths.h"
#include "base/status.h"
#include "base/window.h"
#include "demo/shape_table.h"
#include "demo/timeline.h"
#include "render/render.h"
#include "render/scene_constants.h"

namespace tc {

struct StackOptions {
  Resolution resolution{0, 0};
  WindowPlacement placement;
  PresentOptions present;
};

// Everything the stack owns. The records stay at one address from open to close: the frame
// renderer holds references into them.
struct DrawingStack {
  WindowHandle window = nullptr;
  RenderDevice device;
  SceneResources scene;
  ShaderProgram program;
  SceneConstants constants = {};  // all zero: the constant buffer's initial content
};

// Opens the four layers in order from the files `resources` names. A failing step ends the
// opening at once: what the earlier steps made is released again, in the order of a close, and
// the step's one-line status is returned for the caller to print.
StartupStatus OpenDrawingStack(const StackOptions& options, const ResourcePaths& resources,
                               DrawingStack& stack);
// Releases whatever the stack holds; an empty or half-open stack is fine, and so is a second close.
void CloseDrawingStack(DrawingStack& stack);

// Brings a fresh run to frame `frame` of a fixed-rate run: the frames before it run without being
// drawn or announced, and the texture they cycled to is bound, so the stack draws `frame` next as
// that run does. Returns the number of frames run, which is `frame` itself.
int64_t FastForwardStack(DrawingStack& stack, const ShapeTable& table, DemoState& state,
                         int framesPerSecond, int64_t frame);

inline FrameRenderer StackRenderer(DrawingStack& stack) {
  return FrameRenderer{stack.device, stack.scene, stack.program, stack.constants};
}

}  // namespace tc
