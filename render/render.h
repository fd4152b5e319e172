// The rendering verbs, declared once. Two twin backends implement them, chosen by CMake at compile
// time: render/gl/ (OpenGL 3.3 core through libepoxy, on Linux) and render/d3d11/ (Direct3D 11,
// on Windows); render/null/ draws nothing, for the tests' build of the entry procedure. Each
// backend defines the records RenderDevice, SceneResources, ShaderProgram and FrameReadback in
// its records.h and implements the verbs in the same files in the same order:
//   device.cpp     CreateRenderDevice / ReleaseRenderDevice
//   scene.cpp      LoadSceneResources / ReleaseSceneResources
//   shader.cpp     BuildShaderProgram / ReleaseShaderProgram (shader text in cube_shader.h)
//   frame.cpp      ClearFrame, BindCubeTexture, DrawCube, PresentFrame
//   readback.cpp   CreateFrameReadback / ReleaseFrameReadback, IssueFrameReadback,
//                  CollectFrameReadback
// On a web page render/gl/ is WebGL 2: its own records_webgl.h, device_webgl.cpp and
// frame_webgl.cpp stand for records.h, device.cpp and frame.cpp, and it has no read-back; the
// scene and the shader are OpenGL's, and so are the records scene_records.h holds. OpenGL alone
// has framebuffer_format.h: its framebuffer's format is asked for with the window.
// The window (base/window.h) owns what ties OpenGL and WebGL 2 to the window system: the context,
// the drawable's size and presenting, so those backends only draw. Direct3D 11 makes its swap
// chain on the window itself and presents through it, as its API has it.
// Every verb takes the records that own the objects it touches, and every release leaves its
// record as a fresh one, so a second release does nothing. docs/how-it-runs.md has the order in
// which the entry procedure calls them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/window_handle.h"
#include "base/resolution.h"
#include "base/resource_paths.h"
#include "base/status.h"
#include "demo/transform.h"
#include "render/scene_constants.h"
#include "render/viewport.h"

#if defined(TC_RENDER_D3D11)
#include "render/d3d11/records.h"
#elif defined(TC_RENDER_NULL)
#include "render/null/records.h"
#elif defined(TC_RENDER_WEBGL)
#include "render/gl/records_webgl.h"
#else
#include "render/gl/records.h"
#endif

namespace tc {

// How frames reach the screen. The default is the designed run: the picture fills the window and
// presentation never waits for the vertical blank.
struct PresentOptions {
  // The window is not the picture's size (it covers a display): the swap chain takes the window's
  // drawable size and the picture the largest centred rectangle of its proportions in it.
  bool fitToWindow = false;
  bool vsync = false;
};

// Device (context), swap chain or default framebuffer, depth buffer and fixed pipeline state, all
// sized `resolution` (or the window's drawable, when fitting). The release frees everything the
// create made, even after a failed create.
StartupStatus CreateRenderDevice(WindowHandle window, Resolution resolution, RenderDevice& device,
                                 const PresentOptions& present = PresentOptions{});
void ReleaseRenderDevice(RenderDevice& device);

// Mesh, vertex and index buffers, the three textures (from the files `resources` names) and the
// 128-byte constant buffer, whose initial content is `constants` (all zero at start-up). The
// release ends with the mesh document.
StartupStatus LoadSceneResources(RenderDevice& device, const SceneConstants& constants,
                                 const ResourcePaths& resources, SceneResources& scene);
void ReleaseSceneResources(SceneResources& scene);

// Compiles the cube shader from the text the program carries and makes the input layout.
StartupStatus BuildShaderProgram(RenderDevice& device, ShaderProgram& program);
void ReleaseShaderProgram(ShaderProgram& program);

// Per frame, in this order: ClearFrame, BindCubeTexture (only when the cycle advanced), DrawCube
// per cube (the first after ClearFrame also binds the whole pipeline, with the texture that
// BindCubeTexture bound last), PresentFrame.
void ClearFrame(RenderDevice& device);
void BindCubeTexture(RenderDevice& device, const SceneResources& scene, int32_t textureIndex);
void DrawCube(RenderDevice& device, const SceneResources& scene, const ShaderProgram& program,
              SceneConstants& constants, const Mat4& world);
void PresentFrame(RenderDevice& device);
// Ok while every cube since the device's create had its constants uploaded; else one line with
// how many were drawn with the previous cube's instead, and why the first upload failed.
inline StartupStatus DrawFailures(const RenderDevice& device) {
  if (device.failedUploads == 0) return StartupOk();
  return StartupFailure(
      "DrawCube: %lld cubes drawn without their constants (%s failed first: 0x%lx)",
      static_cast<long long>(device.failedUploads), RenderDevice::kUploadCall,
      device.firstUploadError);
}

// Finished frames copied back from the back buffer (its whole width x height, in RGBA bytes),
// through FrameReadback::kDepth copies in rotation so that reading need not wait for the GPU.
// IssueFrameReadback, after a frame's draws and before its PresentFrame, starts copying the back
// buffer; CollectFrameReadback hands over the oldest copy not yet collected, rows top-down,
// waiting only if it is not finished. Only with kDepth copies pending must a collect come before
// the next issue; an issue followed at once by a collect is a plain blocking read. The create
// fails when the copies cannot be made; the release frees what it made either way.
// The back buffer is the drawable the window system gave, which may differ from the resolution
// asked for (a high-density display): the create records its size in the record, and every
// buffer handed to a collect follows FrameReadbackBytes.
StartupStatus CreateFrameReadback(RenderDevice& device, FrameReadback& readback);
void ReleaseFrameReadback(FrameReadback& readback);
void IssueFrameReadback(RenderDevice& device, FrameReadback& readback);
// Writes FrameReadbackBytes(readback) bytes to `topDown`, which holds `capacity` bytes. Fails,
// saying why in one line, when the copy cannot be read, when `capacity` is short (nothing is
// written) and after a failed create; the copy counts as collected either way.
StartupStatus CollectFrameReadback(RenderDevice& device, FrameReadback& readback, uint8_t* topDown,
                                   size_t capacity);
inline size_t FrameReadbackBytes(const FrameReadback& readback) {
  return static_cast<size_t>(readback.width) * static_cast<size_t>(readback.height) * 4;
}
// What every collect checks before it reads: a made copy, and room for all of it.
inline StartupStatus FrameReadbackFits(const FrameReadback& readback, size_t capacity) {
  if (!readback.created) return StartupFailure("CollectFrameReadback: its create failed");
  if (capacity < FrameReadbackBytes(readback)) {
    return StartupFailure("CollectFrameReadback: a %dx%d frame does not fit in the buffer given",
                          readback.width, readback.height);
  }
  return StartupOk();
}
inline int64_t PendingFrameReadbacks(const FrameReadback& readback) {
  return readback.issued - readback.collected;
}

// Connects the choreography's frame pass (demo/frame.h) to the verbs and the objects they act on.
struct FrameRenderer {
  RenderDevice& device;
  const SceneResources& scene;
  const ShaderProgram& program;
  SceneConstants& constants;

  void ClearFrame() { tc::ClearFrame(device); }
  void BindCubeTexture(int32_t index) { tc::BindCubeTexture(device, scene, index); }
  void DrawCube(const Mat4& world) { tc::DrawCube(device, scene, program, constants, world); }
};

}  // namespace tc
