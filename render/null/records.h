// The null backend's records: the verbs draw nothing, they only check what a real backend would
// be handed and count what they are asked. The tests' build of the demo uses it to run the entry
// procedure without a display or a GPU. Twins: render/gl/records.h, render/d3d11/records.h.
#pragma once

#include <cstdint>

#include "base/resolution.h"
#include "base/window_handle.h"
#include "assets/mesh.h"
#include "base/resource_paths.h"

namespace tc {

struct RenderDevice {
  WindowHandle window = nullptr;
  Resolution resolution{0, 0};  // the back buffer a real backend would have
  bool created = false;
  bool pipelinePending = true;
  bool inFrame = false;  // from ClearFrame to PresentFrame
  int32_t boundTexture = 0;
  int64_t frames = 0;  // PresentFrame calls
  int64_t draws = 0;   // DrawCube calls
  // Cubes whose constants could not be uploaded (TC_NULL_FAIL=DrawCube), as a real backend counts
  // them.
  int64_t failedUploads = 0;
  unsigned long firstUploadError = 0;
  static constexpr const char* kUploadCall = "the null upload (TC_NULL_FAIL)";
};

struct SceneResources {
  MeshData mesh;  // parsed and checked like a real backend's, kept until the release
  bool loaded = false;
};

struct ShaderProgram {
  bool built = false;
};

struct FrameReadback {
  static constexpr int kDepth = 3;
  int width = 0;
  int height = 0;
  bool created = false;
  int64_t issued = 0;
  int64_t collected = 0;
};

}  // namespace tc
