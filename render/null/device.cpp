// The null device: nothing to create, so it only follows what the entry procedure asks. Twins:
// render/gl/device.cpp, render/d3d11/device.cpp.
#include "render/null/script.h"
#include "render/render.h"

namespace tc {

StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device,
                                 const PresentOptions& /*present*/) {
  device = RenderDevice{};
  device.window = window;
  device.resolution = resolution;
  const StartupStatus status = NullStep("CreateRenderDevice");
  device.created = status.ok;
  return status;
}

void ReleaseRenderDevice(RenderDevice& device) {
  if (device.created) {
    NullLog("ReleaseRenderDevice frames=%lld draws=%lld", static_cast<long long>(device.frames),
            static_cast<long long>(device.draws));
  }
  device = RenderDevice{};
}

}  // namespace tc
