// The rendering verbs, declared once. CMake compiles exactly one backend: render/gl/ (OpenGL 3.3
// core through libepoxy, on Linux) or render/d3d11/ (Direct3D 11, on Windows). Each backend
// defines the three records RenderDevice, SceneResources and ShaderProgram in its records.h;
// every verb takes the records that own the objects it touches.
#pragma once

#include <cstdint>

#include "app/resolution.h"
#include "app/status.h"
#include "app/window.h"
#include "base/resource_paths.h"
#include "demo/timeline.h"
#include "demo/transform.h"

#if defined(TC_RENDER_D3D11)
#include "render/d3d11/records.h"
#else
#include "render/gl/records.h"
#endif

namespace tc {

// Device (context), swap chain or default framebuffer, depth buffer and fixed pipeline state.
StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device);

// Mesh, vertex and index buffers, the three textures (from the files `resources` names) and the
// 128-byte constant buffer, whose initial content is `constants` (all zero at start-up).
StartupStatus LoadSceneResources(RenderDevice& device, const SceneConstants& constants,
                                 const ResourcePaths& resources, SceneResources& scene);

// Compiles the cube shader from the text the program carries and makes the input layout.
StartupStatus BuildShaderProgram(RenderDevice& device, Resolution resolution,
                                 ShaderProgram& program);

// Per frame, in this order: ClearFrame, BindCubeTexture (only when the cycle advanced), DrawCube
// per cube (the first after ClearFrame also binds the whole pipeline), PresentFrame.
void ClearFrame(RenderDevice& device);
void BindCubeTexture(RenderDevice& device, const SceneResources& scene, int32_t textureIndex);
void BindPipeline(RenderDevice& device, const SceneResources& scene, const ShaderProgram& program,
                  int32_t textureIndex);
void DrawCube(RenderDevice& device, const SceneResources& scene, const ShaderProgram& program,
              SceneConstants& constants, const Mat4& world, int32_t textureIndex);
void PresentFrame(RenderDevice& device);

// Shutdown, in this order.
void ReleaseRenderObjects(RenderDevice& device, SceneResources& scene, ShaderProgram& program);
void ReleaseRenderDevice(RenderDevice& device);

// Connects the choreography's frame pass (demo/frame.h) to the verbs and the objects they act on.
struct FrameRenderer {
  RenderDevice& device;
  const SceneResources& scene;
  const ShaderProgram& program;
  SceneConstants& constants;
  const DemoState& state;

  void ClearFrame() { tc::ClearFrame(device); }
  void BindCubeTexture(int32_t index) { tc::BindCubeTexture(device, scene, index); }
  void DrawCube(const Mat4& world) {
    tc::DrawCube(device, scene, program, constants, world, state.textureIndex);
  }
};

}  // namespace tc
