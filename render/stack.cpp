#include "render/stack.h"

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

}  // namespace tc
