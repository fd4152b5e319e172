#include "render/stack.h"

#include "demo/frame.h"

namespace tc {

StartupStatus OpenDrawingStack(const StackOptions& options, const ResourcePaths& resources,
                               DrawingStack& stack) {
  stack.constants = SceneConstants{};
  StartupStatus status =
      CreatePresentationWindow(options.resolution, options.placement, stack.window);
  if (status.ok) {
    status = CreateRenderDevice(stack.window, options.resolution, stack.device, options.present);
  }
  if (status.ok) status = LoadSceneResources(stack.device, stack.constants, resources, stack.scene);
  if (status.ok) status = BuildShaderProgram(stack.device, stack.program);
  // A failed start ends the way a finished run does. (Under Wine, a run that returned with its
  // window and device still alive once hung on its way out.)
  if (!status.ok) CloseDrawingStack(stack);
  return status;
}

void CloseDrawingStack(DrawingStack& stack) {
  ReleaseShaderProgram(stack.program);
  ReleaseSceneResources(stack.scene);
  ReleaseRenderDevice(stack.device);
  // The window's release also ends the platform's video layer, which the window's create started
  // even when the create failed.
  DestroyPresentationWindow(stack.window);
  stack.window = nullptr;
}

// Frame times rise by far more than a float's step, so "before the frame's own time" is exactly the
// frames 0 .. frame - 1.
int64_t FastForwardStack(DrawingStack& stack, const ShapeTable& table, DemoState& state,
                         int framesPerSecond, int64_t frame) {
  const double seconds = static_cast<double>(FixedRateFrameTime(frame, framesPerSecond));
  const int64_t run = FastForwardChoreography(state, stack.constants.projectionMatrix, table,
                                              framesPerSecond, seconds);
  BindCubeTexture(stack.device, stack.scene, state.textureIndex);
  return run;
}

}  // namespace tc
